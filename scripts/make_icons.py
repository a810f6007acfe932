#!/usr/bin/env python3
"""Draws the tree and list icons of the desktop program (16 x 16 PNG files, one per image name)
into src/app/icons/. Each icon is a coloured tile with a short white label in a 3 x 5 pixel font,
so the set needs nothing but this script. Run it again after changing the table below."""
import os
import struct
import zlib

FONT = {
    'A': ["010", "101", "111", "101", "101"], 'B': ["110", "101", "110", "101", "110"],
    'C': ["011", "100", "100", "100", "011"], 'D': ["110", "101", "101", "101", "110"],
    'E': ["111", "100", "110", "100", "111"], 'F': ["111", "100", "110", "100", "100"],
    'G': ["011", "100", "101", "101", "011"], 'I': ["111", "010", "010", "010", "111"],
    'K': ["101", "101", "110", "101", "101"], 'M': ["10001", "11011", "10101", "10001", "10001"],
    'N': ["1001", "1101", "1011", "1001", "1001"], 'P': ["110", "101", "110", "100", "100"],
    'R': ["110", "101", "110", "101", "101"], 'S': ["011", "100", "010", "001", "110"],
    'T': ["111", "010", "010", "010", "010"], 'U': ["101", "101", "101", "101", "111"],
    'V': ["101", "101", "101", "101", "010"], 'X': ["101", "101", "010", "101", "101"],
    '+': ["000", "010", "111", "010", "000"], '-': ["000", "000", "111", "000", "000"],
    '!': ["1", "1", "1", "0", "1"], '~': ["0000", "0101", "1010", "0000", "0000"],
}

# image file -> (label, tile colour, label scale)
ICONS = {
    "SQLDatabase": ("DB", (60, 90, 140), 1), "SQLInclude": ("+", (40, 150, 60), 2),
    "SQLIncludeForce": ("++", (20, 100, 40), 2), "SQLExclude": ("-", (200, 60, 50), 2),
    "SQLExcludeForce": ("--", (140, 30, 30), 2), "SQLFilter": ("F", (120, 70, 160), 2),
    "SQLTable": ("T", (40, 110, 200), 2), "SQLColumn": ("C", (30, 150, 150), 2),
    "SQLCollation": ("A", (150, 120, 60), 2), "SQLUser": ("U", (150, 100, 60), 2),
    "SQLIndex": ("IX", (220, 130, 30), 1), "SQLFTI": ("FT", (110, 110, 110), 1),
    "SQLDefault": ("DF", (90, 140, 60), 1), "SQLConstraint": ("CK", (170, 90, 130), 1),
    "SQLRelation": ("FK", (80, 80, 170), 1), "SQLTrigger": ("TR", (190, 80, 40), 1),
    "SQLView": ("V", (60, 140, 100), 2), "SQLProc": ("P", (100, 80, 150), 2),
    "SQLFunction": ("FN", (130, 60, 150), 1), "SQLProc2": ("FG", (100, 100, 60), 1),
    "SQLGrant": ("G", (180, 150, 30), 2), "SQLCreate": ("+", (30, 160, 60), 2),
    "SQLReCreate": ("R+", (30, 120, 120), 1), "SQLDelete": ("X", (210, 50, 40), 2),
    "SQLModify": ("~", (220, 150, 20), 2), "SQLRename": ("RN", (60, 120, 200), 1),
    "SQLError": ("!", (200, 20, 20), 2),
}


def draw(label, colour, scale):
    size = 16
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    for y in range(1, 15):
        for x in range(1, 15):
            corner = (x in (1, 14)) and (y in (1, 14))
            if not corner:
                px[y][x] = colour + (255,)
    glyphs = [FONT[c] for c in label]
    width = sum(len(g[0]) * scale for g in glyphs) + (len(glyphs) - 1) * scale
    x0 = (size - width) // 2
    y0 = (size - 5 * scale) // 2
    for g in glyphs:
        for gy, row in enumerate(g):
            for gx, bit in enumerate(row):
                if bit == '1':
                    for dy in range(scale):
                        for dx in range(scale):
                            px[y0 + gy * scale + dy][x0 + gx * scale + dx] = (255, 255, 255, 255)
        x0 += (len(g[0]) + 1) * scale
    return px


def png(px):
    raw = b"".join(b"\x00" + b"".join(struct.pack("BBBB", *p) for p in row) for row in px)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", len(px[0]), len(px), 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "app", "icons")
    os.makedirs(folder, exist_ok=True)
    for name, (label, colour, scale) in ICONS.items():
        with open(os.path.join(folder, name + ".png"), "wb") as f:
            f.write(png(draw(label, colour, scale)))
    with open(os.path.join(folder, "icons.qrc"), "w") as f:
        f.write("<RCC>\n  <qresource prefix=\"/icons\">\n")
        for name in ICONS:
            f.write(f"    <file>{name}.png</file>\n")
        f.write("  </qresource>\n</RCC>\n")


if __name__ == "__main__":
    main()
