#include "schema/snapshot_file.h"

#include "platform/app_paths.h"
#include "platform/block_arena.h"
#include "platform/file_output.h"
#include "platform/local_text.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "schema/sql_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <type_traits>
#include <vector>

namespace {

const QString CRLF = QStringLiteral("\r\n");
const QString ReaderSource = QStringLiteral("LoadSchemaFile");
const QString WriterSource = QStringLiteral("SaveSchemaFile");
// The last record of every file: the number of records before it, so that a file cut short at a
// record boundary is told from a smaller database.
const QString EndRecord = QStringLiteral("End");

// ---- Escapes ---------------------------------------------------------------------------------

// Reads one escape starting at the "\" at text[pos] and appends its meaning to out. Returns the
// number of characters consumed and sets lineBreak when the escape was a continued line.
qsizetype DecodeEscape(const QString& text, qsizetype pos, QString& out, bool& lineBreak) {
    lineBreak = false;
    const qsizetype len = text.size();
    if (pos + 1 >= len) return 1;  // a final "\" with nothing after it marks no value character
    const QChar next = text[pos + 1];
    switch (next.unicode()) {
    case '\\': out += QLatin1Char('\\'); return 2;
    case ';': out += QLatin1Char(';'); return 2;
    case 'r':
    case 'R': out += QLatin1Char('\n'); return 2;
    case 'n':
    case 'N': out += QLatin1Char('\r'); return 2;
    case '\n':
        out += CRLF;
        lineBreak = true;
        return 2;
    case '\r':
        if (pos + 2 < len && text[pos + 2] == QLatin1Char('\n')) {
            out += CRLF;
            lineBreak = true;
            return 3;
        }
        break;
    default: break;
    }
    out += QLatin1Char('\\');  // not an escape: the backslash is part of the value
    return 1;
}

// The fields of one record as views: into the file's text for a field without escapes (nearly
// all of them), into Owned for a field whose escapes had to be decoded. Owned's strings keep
// their characters in place when the vector grows, so the views stay valid until the next record.
struct RecordFields {
    // Views[0] to Views[Count - 1] are the fields; the elements after them are room for more,
    // so that the scanner writes each field without a call or a check of the vector's size.
    std::vector<QStringView> Views;
    qsizetype Count = 0;
    std::vector<QString> Owned;
    // The fields from this one on are views of a kept copy of the same text (a repeated record
    // tail), not of the file's text: they are one stretch with each other, not with those before.
    qsizetype KeptFrom = std::numeric_limits<qsizetype>::max();

    qsizetype size() const { return Count; }
    QStringView value(qsizetype n) const { return n < size() ? Views[static_cast<size_t>(n)] : QStringView(); }
    void clear() {
        Count = 0;
        KeptFrom = std::numeric_limits<qsizetype>::max();
        Owned.clear();
    }
    void push_back(QStringView field) {
        if (Count == static_cast<qsizetype>(Views.size())) Views.resize(Views.size() * 2 + 32);
        Views[static_cast<size_t>(Count++)] = field;
    }
};

// Drops the first n elements of a buffer by moving the rest to its front, so that the buffer
// keeps its room for what is appended next (removing them from the front would leave that room
// unusable, and the next append would copy everything into a new block).
template <class Buffer>
void KeepFrom(Buffer& buffer, qsizetype n) {
    if (n <= 0) return;
    const qsizetype left = buffer.size() - n;
    if (left > 0) std::memmove(buffer.data(), buffer.constData() + n, static_cast<size_t>(left) * sizeof(*buffer.constData()));
    buffer.truncate(left);
}

// The bytes of a snapshot decoded a piece at a time, so that neither all of the file's bytes nor
// all of its decoded text are held while the records are read. In UTF-8 a piece ends after a line
// feed that an ASCII character follows (in a snapshot, nearly every line): no character is split
// and no piece begins with a byte order mark, so each piece decodes alone exactly as it would
// within the whole. Text in any other encoding is decoded whole, as one piece.
class TextPieces {
public:
    // From bytes already in memory, or from an open device read as it goes.
    explicit TextPieces(const QByteArray& bytes)
        : bytes_(bytes), device_(nullptr), pieces_(IsUtf8()), total_(bytes.size()) {}
    explicit TextPieces(QIODevice& device)
        : device_(&device), pieces_(IsUtf8()), total_(device.isSequential() ? 0 : device.size()) {}

    // The size of the snapshot in bytes (0 when it is not known) and how many of them have been
    // decoded so far.
    qint64 TotalBytes() const { return total_; }
    qint64 DecodedBytes() const { return decoded_; }

    // Appends the decoded text of the next piece (at least about minBytes bytes of the file, or
    // the rest) to text; false when nothing is left.
    bool AppendNext(QString& text, qsizetype minBytes) {
        minBytes = std::max(minBytes, PieceBytes);
        if (device_) {
            if (!pieces_) {
                bytes_ = device_->readAll();
                device_ = nullptr;
            } else {
                // Bytes up to the next cut, read on from where the last piece ended; the bytes
                // searched already are not searched again (a line may be very long). What is
                // left moves to the front of the buffer, which keeps its room from piece to
                // piece: a fresh block per piece would be copied into and faulted in each time.
                KeepFrom(bytes_, pos_);
                pos_ = 0;
                qsizetype from = minBytes - 1;
                while (device_ && CutAfter(from) < 0) {
                    from = std::max(from, bytes_.size() - 1);
                    // Read straight behind the bytes at hand.
                    const qsizetype had = bytes_.size();
                    bytes_.resize(had + minBytes);
                    const qint64 got = device_->read(bytes_.data() + had, minBytes);
                    bytes_.resize(had + std::max<qint64>(got, 0));
                    if (got <= 0) device_ = nullptr;  // the end of the file, or it cannot be read on
                }
            }
        }
        if (pos_ >= bytes_.size()) {
            bytes_ = QByteArray();  // let go of the bytes as soon as they are decoded
            pos_ = 0;
            return false;
        }
        qsizetype end = pieces_ ? CutAfter(pos_ + minBytes - 1) : -1;
        if (end < 0) end = bytes_.size();
        AppendLocalText(text, QByteArrayView(bytes_.constData() + pos_, end - pos_));
        decoded_ += end - pos_;
        pos_ = end;
        return true;
    }

private:
    static constexpr qsizetype PieceBytes = qsizetype(1) << 16;
    static bool IsUtf8() { return LocalTextEncodingName().compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0; }

    // The end of a piece: just after the first line feed at or after from that an ASCII byte
    // follows; -1 when the bytes at hand hold no such place.
    qsizetype CutAfter(qsizetype from) const {
        const char* data = bytes_.constData();
        for (qsizetype i = from; i + 1 < bytes_.size(); ++i) {
            const void* feed = std::memchr(data + i, '\n', static_cast<size_t>(bytes_.size() - 1 - i));
            if (!feed) return -1;
            i = static_cast<const char*>(feed) - data;
            if (static_cast<unsigned char>(data[i + 1]) < 0x80) return i + 1;
        }
        return -1;
    }

    QByteArray bytes_;
    qsizetype pos_ = 0;  // in bytes_: where the next piece begins
    QIODevice* device_;
    const bool pieces_;
    const qint64 total_;
    qint64 decoded_ = 0;
};

// True for the characters that end a run of ordinary ones: "\\", ";", LF, CR and NUL. Those below 64
// are told by one bit each.
inline bool EndsRun(char16_t c) {
    constexpr quint64 below64 = (quint64(1) << 0) | (quint64(1) << '\n') | (quint64(1) << '\r') | (quint64(1) << ';');
    return c < 64 ? ((below64 >> c) & 1) != 0 : c == u'\\';
}

// Splits the decoded text of a file into records, one logical line at a time, decoding every
// field's escapes in the same left-to-right pass (so "\\" before ";" or before a continued line
// cannot be mistaken for an escaped separator or a continuation mark). The text is read a piece
// at a time: a record that goes on past the end of the text at hand is read again from its
// start once the next piece is there.
class RecordScanner {
public:
    explicit RecordScanner(TextPieces& pieces) : pieces_(pieces) {}

    // The next record's fields (element 0 is the text before the first ";"); false at the end.
    bool Next(RecordFields& fields) {
        for (;;) {
            fields.clear();
            if (pos_ >= text_.size() && !Refill()) return false;
            const qsizetype start = pos_;
            const int line = line_;
            if (Scan(fields, ended_)) return true;
            // The record goes on in the next piece.
            fields.clear();
            pos_ = start;
            line_ = line;
            if (!Refill()) {
                Scan(fields, true);  // the last record of the file, without a line end
                return true;
            }
        }
    }

    // The physical line (1-based) on which the last record began.
    int StartLine() const { return startLine_; }
    // About how many bytes of the file the records so far took (a character of the text at
    // hand is taken for one byte).
    qint64 BytesRead() const { return pieces_.DecodedBytes() - (text_.size() - pos_); }

private:
    // Drops the text before pos_ and appends the next piece; false when there is none.
    bool Refill() {
        if (ended_) return false;
        KeepFrom(text_, pos_);
        pos_ = 0;
        if (!pieces_.AppendNext(text_, text_.size() * 2)) {
            ended_ = true;
            return false;
        }
        return true;
    }

    // Reads the record at pos_; false when the text at hand ends inside it and last is not set.
    // Each run of ordinary characters is passed over in one tight loop; a plain field (nearly all
    // of them) becomes a view of the text where it ends. A field with escapes is decoded into
    // owned from its first "\\" on, and its decoded text moves into the record. The fields are
    // written straight into the room of fields.Views, which grows (out of line) when full.
    bool Scan(RecordFields& fields, bool last) {
        startLine_ = line_;
        const qsizetype len = text_.size();
        const char16_t* const data = reinterpret_cast<const char16_t*>(text_.constData());
        // A QString's characters are followed by a NUL, which ends a run as well: the run's loop
        // need not check for the end of the text (a NUL within the text is an ordinary character).
        Q_ASSERT(data[len] == 0);
        qsizetype pos = pos_;
        qsizetype fieldStart = pos;
        bool escaped = false;  // the field so far is in owned, not a plain run of the text
        qsizetype tailStart = -1;  // where field TailFirstField began when it may be kept
        QString owned;
        qsizetype count = fields.Count;
        QStringView* out = fields.Views.data() + count;
        QStringView* room = fields.Views.data() + fields.Views.size();
        const auto endField = [&](qsizetype end) {
            if (Q_UNLIKELY(out == room)) {
                fields.Count = count;
                Grow(fields);
                out = fields.Views.data() + count;
                room = fields.Views.data() + fields.Views.size();
            }
            if (Q_LIKELY(!escaped)) {
                *out = QStringView(data + fieldStart, end - fieldStart);
            } else {
                *out = EndEscaped(fields, owned);
                escaped = false;
            }
            ++out;
            ++count;
        };
        for (;;) {
            const qsizetype run = pos;
            while (!EndsRun(data[pos])) ++pos;
            if (Q_UNLIKELY(escaped)) owned += QStringView(data + run, pos - run);
            if (pos >= len) break;
            const char16_t c = data[pos];
            if (c == u';') {
                endField(pos);
                fieldStart = ++pos;
                if (count == TailFirstField) {
                    if (const Tail* tail = RepeatedTail(data + pos, len - pos)) {
                        if (Q_UNLIKELY(room - out < tail->Fields)) {
                            fields.Count = count;
                            Grow(fields, tail->Fields);
                            out = fields.Views.data() + count;
                        }
                        // The fields are views of the kept copy, which stays as it is until
                        // the next record is scanned.
                        std::memcpy(static_cast<void*>(out), tail->Views, static_cast<size_t>(tail->Fields) * sizeof(QStringView));
                        fields.Count = count + tail->Fields;
                        fields.KeptFrom = count;
                        pos_ = pos + tail->Chars;
                        ++line_;
                        return true;
                    }
                    tailStart = pos;
                }
            } else if (c == u'\\') {
                tailStart = -1;  // a tail with escapes is not kept
                if (!escaped) {
                    owned = QString(reinterpret_cast<const QChar*>(data + fieldStart), pos - fieldStart);
                    escaped = true;
                }
                bool lineBreak = false;
                pos += DecodeEscape(text_, pos, owned, lineBreak);
                if (lineBreak) ++line_;
            } else if (c == u'\n' || (c == u'\r' && data[pos + 1] == u'\n')) {
                // A line feed, or a carriage return and line feed, ends the record.
                endField(pos);
                fields.Count = count;
                pos_ = pos + (c == u'\n' ? 1 : 2);
                ++line_;
                if (tailStart >= 0) KeepTail(fields, data + tailStart, pos_ - tailStart);
                return true;
            } else {
                // A carriage return without a line feed after it, or a NUL, is an ordinary
                // character.
                if (escaped) owned += QChar(c);
                ++pos;
            }
        }
        pos_ = pos;
        fields.Count = count;
        if (!last) return false;
        endField(pos);
        fields.Count = count;
        return true;
    }

    // Moves the decoded text of a field with escapes into the record and returns its view.
    Q_NEVER_INLINE static QStringView EndEscaped(RecordFields& fields, QString& owned) {
        fields.Owned.push_back(std::move(owned));
        owned = QString();
        return fields.Owned.back();
    }
    Q_NEVER_INLINE static void Grow(RecordFields& fields, qsizetype atLeast = 0) {
        fields.Views.resize(std::max(fields.Views.size() * 2 + 32, static_cast<size_t>(fields.Count + atLeast)));
    }

    // Records of one kind repeat their text after the first fields: a column's type, size,
    // nullability and collation, an index's flags and file group. The text of a record from
    // field TailFirstField through its line end is kept, with where its fields lie, when it has
    // no escapes; a later record whose text there is the same (its line end included) is split
    // the same way, so its fields are taken from the kept ones without scanning them again: they
    // are then views of the kept copy of that text (RecordFields::KeptFrom).
    static constexpr qsizetype TailFirstField = 4;
    static constexpr qsizetype TailHashChars = 16;  // the characters the slot is chosen by
    static constexpr qsizetype TailMaxChars = 160;
    static constexpr int TailMaxFields = 32;
    static constexpr size_t TailSlots = 64;
    struct Tail {
        qsizetype Chars = 0;  // 0: the slot is empty
        int Fields = 0;
        QStringView Views[TailMaxFields];  // the fields, within Text
        char16_t Text[TailMaxChars];
    };

    // A slot by the first TailHashChars characters of the text (there must be that many).
    static size_t TailSlot(const char16_t* text) {
        quint64 words[4];
        std::memcpy(words, text, sizeof words);
        static_assert(sizeof words == TailHashChars * sizeof(char16_t));
        const quint64 mix = (words[0] * 0x9E3779B97F4A7C15ULL) ^ (words[1] * 0xC2B2AE3D27D4EB4FULL) ^
                            (words[2] * 0x165667B19E3779F9ULL) ^ (words[3] * 0x27D4EB2F165667C5ULL);
        return static_cast<size_t>((mix ^ (mix >> 29)) * 0x9E3779B97F4A7C15ULL >> 58) & (TailSlots - 1);
    }

    // The kept tail that the text at hand (left characters of it) begins with; null when none.
    const Tail* RepeatedTail(const char16_t* text, qsizetype left) const {
        if (left < TailHashChars || tails_.empty()) return nullptr;
        const Tail& tail = tails_[TailSlot(text)];
        if (tail.Chars == 0 || tail.Chars > left ||
            std::memcmp(tail.Text, text, static_cast<size_t>(tail.Chars) * sizeof(char16_t)) != 0)
            return nullptr;
        return &tail;
    }

    // Keeps the fields from TailFirstField on of the record just read, which are plain views of
    // the chars characters at text (their line end included).
    Q_NEVER_INLINE void KeepTail(const RecordFields& fields, const char16_t* text, qsizetype chars) {
        const qsizetype count = fields.Count - TailFirstField;
        if (chars < TailHashChars || chars > TailMaxChars || count > TailMaxFields) return;
        if (tails_.empty()) tails_.resize(TailSlots);
        Tail& tail = tails_[TailSlot(text)];
        std::memcpy(tail.Text, text, static_cast<size_t>(chars) * sizeof(char16_t));
        for (qsizetype i = 0; i < count; ++i) {
            const QStringView field = fields.Views[static_cast<size_t>(TailFirstField + i)];
            tail.Views[i] = QStringView(tail.Text + (field.utf16() - text), field.size());
        }
        tail.Chars = chars;
        tail.Fields = static_cast<int>(count);
    }

    TextPieces& pieces_;
    QString text_;
    qsizetype pos_ = 0;
    bool ended_ = false;  // no piece is left
    int line_ = 1;
    int startLine_ = 1;
    std::vector<Tail> tails_;  // TailSlots of them once the first is kept
};

// ---- Reading values --------------------------------------------------------------------------

[[noreturn]] void Fail(long number, const QString& description) {
    throw TovimarException(number, ReaderSource, description);
}

// The leading whole number of the text (blanks, an optional sign and digits; 0 when there is
// none), which must lie in [low, high].
qint64 LeadingNumber(QStringView text, qint64 low, qint64 high) {
    const qsizetype len = text.size();
    // Nearly every number is a few plain digits: read at once when they are all there is.
    if (len > 0 && len <= 9) {
        qint64 value = 0;
        qsizetype i = 0;
        for (; i < len; ++i) {
            const unsigned digit = static_cast<unsigned>(text[i].unicode()) - u'0';
            if (digit > 9) break;
            value = value * 10 + digit;
        }
        if (i == len && value >= low && value <= high) return value;
    }
    qsizetype i = 0;
    while (i < len && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
    bool negative = false;
    if (i < len && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    const qint64 limit = std::max(high, -low);
    qint64 value = 0;
    for (; i < len && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 + (text[i].unicode() - '0');
        if (value > limit) break;
    }
    if (negative) value = -value;
    if (value > limit || value < low || value > high)
        Fail(6, QStringLiteral("Overflow: the number %1 is out of range").arg(text.left(40)));
    return value;
}

long ReadLong(QStringView text) {
    return static_cast<long>(LeadingNumber(text, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}
int ReadInteger(QStringView text) {
    return static_cast<int>(LeadingNumber(text, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()));
}
quint8 ReadByte(QStringView text) { return static_cast<quint8>(LeadingNumber(text, 0, 255)); }
// A flag is true when its leading number is not zero, however large it is.
bool ReadFlag(QStringView text) {
    qsizetype i = 0;
    const qsizetype len = text.size();
    while (i < len && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
    if (i < len && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) ++i;
    for (; i < len && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i)
        if (text[i] != QLatin1Char('0')) return true;
    return false;
}

// The strings of one load: a short text read many times (a column name, a data type, an owner,
// a file group) is held once and shared by every object that has it, instead of one copy each.
// Names that are unique anyway (tables, indexes, constraints) are not pooled. Each entry holds
// the text's bracket-quoted form as well (a column's key in its table), made when first asked
// for. The entries are found through an open-addressing table of pointers, at most half full,
// hashed with the process's seed (names chosen to collide cannot make a load slow).
class StringPool {
public:
    struct Entry {
        QString Text;
        QString Quoted;  // empty until asked for
        size_t QuotedHash = 0;  // Quoted's collection_detail::FoldedHash, made with it
        size_t Hash = 0;
    };

    // The entry of a short text that is not empty; none for an empty or a long one.
    Entry* Find(QStringView text) {
        if (text.isEmpty() || text.size() > MaxLength) return nullptr;
        // Most texts are one of a few that repeat (types, collations, owners, the column names
        // tables share): a small table of recent entries, chosen by the length and three
        // characters, answers them without hashing the text. A miss costs one short comparison.
        Entry*& recent = recent_[RecentSlot(text)];
        if (recent && recent->Text.size() == text.size() &&
            std::memcmp(recent->Text.constData(), text.data(), static_cast<size_t>(text.size()) * sizeof(QChar)) == 0)
            return recent;
        recent = Lookup(text);
        return recent;
    }

    QString Get(QStringView text) {
        if (const Entry* entry = Find(text)) return entry->Text;
        return text.isEmpty() ? QString() : text.toString();
    }

    static const QString& Quoted(Entry& entry) {
        if (entry.Quoted.isEmpty()) {
            entry.Quoted = QuoteName(entry.Text);
            entry.QuotedHash = collection_detail::FoldedHash(entry.Quoted);
        }
        return entry.Quoted;
    }

private:
    // The entry of the text in the hash table, made when it is not there.
    Entry* Lookup(QStringView text) {
        const size_t hash = qHash(text, seed_);
        if ((count_ + 1) * 2 > slots_.size()) Grow();
        const size_t mask = slots_.size() - 1;
        size_t i = hash & mask;
        for (; slots_[i]; i = (i + 1) & mask) {
            Entry* entry = slots_[i];
            if (entry->Hash == hash && QStringView(entry->Text) == text) return entry;
        }
        Entry* entry = &entries_.emplace_back(Entry{text.toString(), QString(), 0, hash});
        slots_[i] = entry;
        ++count_;
        return entry;
    }

    static size_t RecentSlot(QStringView text) {
        const qsizetype n = text.size();
        const size_t mix = static_cast<size_t>(n) * 7 + text[0].unicode() * 31u + text[n / 2].unicode() * 13u +
                           text[n - 1].unicode();
        return mix & (RecentSlots - 1);
    }

    void Grow() {
        std::vector<Entry*> table(std::max<size_t>(slots_.size() * 2, 256), nullptr);
        const size_t mask = table.size() - 1;
        for (Entry& entry : entries_) {
            size_t i = entry.Hash & mask;
            while (table[i]) i = (i + 1) & mask;
            table[i] = &entry;
        }
        slots_ = std::move(table);
    }

    static constexpr qsizetype MaxLength = 64;
    static constexpr size_t RecentSlots = 256;
    Entry* recent_[RecentSlots] = {};
    const size_t seed_ = QHashSeed::globalSeed();
    std::deque<Entry> entries_;  // entries stay where they are as more are added
    std::vector<Entry*> slots_;  // size 0 or a power of two; null: free
    size_t count_ = 0;
};

// The fields of one record, with the checks every record needs.
class Record {
public:
    explicit Record(const RecordFields& fields, StringPool* pool = nullptr) : fields_(fields), pool_(pool) {}
    QStringView TypeView() const { return fields_.value(1); }
    QString Type() const { return Make(TypeView()); }
    // Field n (numbered as elements of the split line, from 2).
    QStringView View(qsizetype n) const {
        if (Q_UNLIKELY(n >= fields_.size())) FailShort(n);
        return fields_.Views[static_cast<size_t>(n)];
    }
    QString Text(qsizetype n) const {
        const QStringView text = View(n);
        return text.isEmpty() ? QString() : text.toString();  // an empty field reads as a null text
    }
    // Field n as a text that many records repeat (a column name, a type, an owner): pooled.
    QString Shared(qsizetype n) const { return Make(View(n)); }
    // Field n as a name, pooled, and its bracket-quoted form into quoted when that is given,
    // with the quoted form's hash as a key (collection_detail::FoldedHash) into quotedHash when
    // that is given too.
    QString SharedName(qsizetype n, QString* quoted, size_t* quotedHash = nullptr) const {
        const QStringView text = View(n);
        if (StringPool::Entry* entry = pool_ ? pool_->Find(text) : nullptr) {
            if (quoted) {
                *quoted = StringPool::Quoted(*entry);
                if (quotedHash) *quotedHash = entry->QuotedHash;
            }
            return entry->Text;
        }
        QString name = text.isEmpty() ? QString() : text.toString();
        if (quoted) {
            *quoted = QuoteName(name);
            if (quotedHash) *quotedHash = collection_detail::FoldedHash(*quoted);
        }
        return name;
    }
    // Fields first to last as the one stretch of the file's text they were split from (or of
    // the kept copy of a repeated tail that holds them all): there when the record had no
    // escapes (its fields are then plain views of the text, one ";" apart) and has field last.
    bool Span(qsizetype first, qsizetype last, QStringView& span) const {
        if (!fields_.Owned.empty() || last >= fields_.size() || (first < fields_.KeptFrom && last >= fields_.KeptFrom))
            return false;
        const QStringView from = fields_.Views[static_cast<size_t>(first)];
        const QStringView to = fields_.Views[static_cast<size_t>(last)];
        span = QStringView(from.data(), to.data() + to.size() - from.data());
        return true;
    }
    long Long(qsizetype n) const { return ReadLong(View(n)); }
    bool Flag(qsizetype n) const { return ReadFlag(View(n)); }
    quint8 Byte(qsizetype n) const { return ReadByte(View(n)); }
    qsizetype Size() const { return fields_.size(); }

private:
    [[noreturn]] Q_DECL_COLD_FUNCTION void FailShort(qsizetype n) const {
        Fail(9, QStringLiteral("The %1 record has %2 fields; at least %3 are needed")
                    .arg(Type(), QString::number(fields_.size() - 2), QString::number(n - 1)));
    }
    QString Make(QStringView text) const {
        if (pool_) return pool_->Get(text);
        return text.isEmpty() ? QString() : text.toString();
    }
    const RecordFields& fields_;
    StringPool* pool_;
};

template <class T>
T* Require(T* parent, const Record& record, const char* parentKind) {
    if (!parent)
        Fail(91, QStringLiteral("The %1 record has no %2 record before it").arg(record.Type(), QLatin1String(parentKind)));
    return parent;
}

// ---- Writing ---------------------------------------------------------------------------------

class RecordWriter {
public:
    // Starts a record of the given type; fields follow through operator<<.
    RecordWriter& Begin(const QString& type) {
        ++records_;
        out_ += QLatin1Char(';');
        out_ += type;
        return *this;
    }
    RecordWriter& operator<<(const QString& text) {
        out_ += QLatin1Char(';');
        out_ += EncodeCacheField(text);
        return *this;
    }
    RecordWriter& operator<<(bool value) { return *this << FormatCacheValue(value); }
    RecordWriter& operator<<(long value) { return *this << FormatCacheValue(value); }
    RecordWriter& operator<<(int value) { return *this << FormatCacheValue(value); }
    RecordWriter& operator<<(quint8 value) { return *this << FormatCacheValue(static_cast<int>(value)); }
    void End() { out_ += CRLF; }
    void AppendLine(const QString& line) {
        ++records_;
        out_ += line;
        out_ += CRLF;
    }
    // Ends the file with the End record, which carries the number of records before it.
    void Close() {
        const long count = records_;
        Begin(EndRecord) << count;
        End();
    }
    const QString& Text() const { return out_; }

private:
    QString out_;
    long records_ = 0;
};

void WriteNames(RecordWriter& w, const QString& type, const Collection<QString>& names) {
    for (const QString& name : names) {
        w.Begin(type) << name;
        w.End();
    }
}

void WriteTable(RecordWriter& w, const Tovimar_Table& table) {
    w.Begin(QStringLiteral("Table")) << table.Name << table.Owner << table.FTI_Catalog << table.FTI_UniqueIndex
                                     << table.FTI_ChangeTracking << table.FTI_BackgroundUpdate << table.FileGroupName
                                     << table.TextFileGroupName;
    w.End();
    for (const FieldPtr& field : table.Fields) w.AppendLine(FormatFieldRecord(QStringLiteral("TableColumn"), *field));
    for (const IndexPtr& index : table.Indexes) {
        w.Begin(QStringLiteral("Index")) << index->Name << index->IsUnique << index->IsPrimaryKey << index->IsClustered
                                         << index->IsUniqueConstraint << index->IsPadIndex << index->IgnoreDupKey
                                         << index->Statistics_NoRecompute << index->FileGroupName
                                         << index->IndexFillFactor;
        w.End();
        WriteNames(w, QStringLiteral("IndexFieldName"), index->FieldNames);
    }
    for (const DefaultPtr& def : table.Defaults) {
        w.Begin(QStringLiteral("Default")) << def->Name << def->Value
                                           << (def->Field ? def->Field->FullName(false) : QString());
        w.End();
    }
    for (const CheckPtr& check : table.Checks) {
        w.Begin(QStringLiteral("Check")) << check->Name << check->Value << check->NotForRepl << check->NoCheckConstraint;
        w.End();
    }
    for (const RelationPtr& relation : table.Relations) {
        w.Begin(QStringLiteral("Relation")) << relation->Name << relation->NotForRepl << relation->NoCheckConstraint
                                            << relation->DeleteCascade << relation->UpdateCascade
                                            << relation->PrimaryTableFullName;
        w.End();
        WriteNames(w, QStringLiteral("RelationFieldName"), relation->FieldNames);
        WriteNames(w, QStringLiteral("RelationPrimaryFieldName"), relation->PrimaryFieldNames);
    }
    for (const TriggerPtr& trigger : table.Triggers) {
        w.Begin(QStringLiteral("Trigger")) << trigger->Name << trigger->ObjStatus << trigger->Definition;
        w.End();
    }
}

QString SchemaText(const Tovimar_Database& db) {
    RecordWriter w;
    w.Begin(QStringLiteral("Database")) << db.Name << db.Server << db.Version << db.CmptLevel << db.SrvVer
                                        << db.DefaultFileGroupID;
    w.End();
    for (const Tovimar_FileGroup& group : db.FileGroups) {
        w.Begin(QStringLiteral("FileGroup")) << group.ID << group.Name;
        w.End();
    }
    for (const TablePtr& table : db.Tables) WriteTable(w, *table);
    for (const ViewPtr& view : db.Views) {
        w.Begin(QStringLiteral("View")) << view->Name << view->Owner << view->ObjStatus << view->Definition;
        w.End();
        for (const FieldPtr& field : view->Fields) w.AppendLine(FormatFieldRecord(QStringLiteral("ViewField"), *field));
    }
    for (const ProcedurePtr& procedure : db.Procedures) {
        w.Begin(QStringLiteral("Procedure")) << procedure->Name << procedure->Owner << procedure->ObjStatus;
        w.End();
        for (int number : procedure->DefinitionsNumbers()) {
            w.Begin(QStringLiteral("ProcedureDefinition")) << number << procedure->Definition(number);
            w.End();
        }
    }
    for (const FunctionPtr& function : db.Functions) {
        w.Begin(QStringLiteral("Function")) << function->Name << function->Owner << function->ObjStatus
                                            << function->Definition;
        w.End();
    }
    for (const RolePtr& role : db.Roles) {
        w.Begin(QStringLiteral("Role")) << role->Name;
        w.End();
        WriteNames(w, QStringLiteral("RoleMemberName"), role->MemberNames);
    }
    for (const PermissionPtr& permission : db.Permissions) {
        const Tovimar_DbObject* secured = permission->SecObject;
        w.Begin(QStringLiteral("Permission")) << permission->Name << permission->Grantee << permission->Grantor
                                              << permission->SelectRight << permission->InsertRight
                                              << permission->UpdateRight << permission->DeleteRight
                                              << permission->ExecRight << permission->DRIRight
                                              << (secured ? secured->Typ : QString())
                                              << (secured ? secured->FullName() : QString());
        w.End();
        WriteNames(w, QStringLiteral("SelectDeny"), permission->SelectDeny);
        WriteNames(w, QStringLiteral("SelectGrant"), permission->SelectGrant);
        WriteNames(w, QStringLiteral("UpdateDeny"), permission->UpdateDeny);
        WriteNames(w, QStringLiteral("UpdateGrant"), permission->UpdateGrant);
        WriteNames(w, QStringLiteral("ReferenceDeny"), permission->ReferenceDeny);
        WriteNames(w, QStringLiteral("ReferenceGrant"), permission->ReferenceGrant);
    }
    for (const CatalogPtr& catalog : db.Catalogs) {
        w.Begin(QStringLiteral("Catalog")) << catalog->Name;
        w.End();
    }
    // Written after every other kind: a reader that does not know the record skips it.
    for (const TypePtr& type : db.Types) {
        w.Begin(QStringLiteral("Type")) << type->Name << type->BaseType << type->DataSize << type->DataPrecision
                                        << type->DataDecimals << type->AllowNulls;
        w.End();
    }
    for (const QString& bound : db.BoundObjects) {
        w.Begin(QStringLiteral("BoundObject")) << bound;
        w.End();
    }
    w.Close();
    return w.Text();
}

// ---- Reading ---------------------------------------------------------------------------------

// The fields of a column record after its name and id (fields 4 to 18), read into column.
void ReadFieldTail(const Record& r, Tovimar_Field& field) {
    field.DataType = r.Shared(4);
    field.CanBeNull = r.Flag(5);
    field.DataSize = r.Long(6);
    field.DataPrecision = r.Long(7);
    field.DataDecimals = r.Long(8);
    field.Identity = r.Flag(9);
    field.IdentityNoRepl = r.Flag(10);
    field.IdentitySeed = r.Long(11);
    field.IdentityIncr = r.Long(12);
    field.IsRowGUID = r.Flag(13);
    field.Collation = r.Shared(14);
    field.Formula = r.Text(15);
    field.FTI_Field = r.Flag(16);
    field.FTI_ImageTypeField = r.Shared(17);
    field.FTI_Language = r.Long(18);
}

// to = from, inline: the text is shared (a reference more), as assignment shares it, without
// the call into the library that QString's assignment is.
inline void ShareText(QString& to, const QString& from) { to.data_ptr() = from.data_ptr(); }

// The same members copied from a column read from the same text of those fields.
void CopyFieldTail(const Tovimar_Field& from, Tovimar_Field& field) {
    ShareText(field.DataType, from.DataType);
    field.CanBeNull = from.CanBeNull;
    field.DataSize = from.DataSize;
    field.DataPrecision = from.DataPrecision;
    field.DataDecimals = from.DataDecimals;
    field.Identity = from.Identity;
    field.IdentityNoRepl = from.IdentityNoRepl;
    field.IdentitySeed = from.IdentitySeed;
    field.IdentityIncr = from.IdentityIncr;
    field.IsRowGUID = from.IsRowGUID;
    ShareText(field.Collation, from.Collation);
    ShareText(field.Formula, from.Formula);
    field.FTI_Field = from.FTI_Field;
    ShareText(field.FTI_ImageTypeField, from.FTI_ImageTypeField);
    field.FTI_Language = from.FTI_Language;
}

// A column from the fields of a column record; its Parent is set. key, when given, receives the
// column's key in its parent (its FullName without the table), and keyHash that key's hash in
// the parent's Fields when given too.
FieldPtr ReadField(const Record& r, Tovimar_FieldOwner& parent, QString* key = nullptr, size_t* keyHash = nullptr) {
    auto field = std::make_shared<Tovimar_Field>();
    field->Name = r.SharedName(2, key, keyHash);
    field->ColID = ReadInteger(r.View(3));
    ReadFieldTail(r, *field);
    field->Parent = &parent;
    return field;
}

// Record types are compared without regard to case; a type of another length is told apart
// before any character is compared.
// Types of plain ASCII (all that are written) are compared here letter by letter; any other
// character takes the full comparison, which folds case beyond ASCII.
template <size_t N>
Q_ALWAYS_INLINE bool Is(QStringView type, const char (&name)[N]) {
    constexpr qsizetype length = static_cast<qsizetype>(N - 1);
    if (type.size() != length) return false;
    // Every type name is made of letters, so a character matches a letter of the name when it
    // equals it with the case bit (0x20) set on both. All characters are looked at, without a
    // branch per character: a mismatch anywhere, or a character beyond ASCII anywhere.
    const char16_t* text = type.utf16();
    if constexpr (length >= 4) {
        // Four characters at a time: the words at 0, 4, 8, ... and the last four, which may
        // overlap the word before.
        constexpr quint64 caseBits = 0x0020002000200020ULL;
        quint64 any = 0;
        quint64 differ = 0;
        for (qsizetype i = 0; i < length; i += 4) {
            const qsizetype at = std::min(i, length - 4);
            quint64 word;
            std::memcpy(&word, text + at, sizeof word);
            const quint64 letters = quint64(quint8(name[at])) | quint64(quint8(name[at + 1])) << 16 |
                                    quint64(quint8(name[at + 2])) << 32 | quint64(quint8(name[at + 3])) << 48;
            any |= word;
            differ |= (word | caseBits) ^ (letters | caseBits);
        }
        if (Q_UNLIKELY((any & 0xFF80FF80FF80FF80ULL) != 0))
            return type.compare(QLatin1StringView(name, length), Qt::CaseInsensitive) == 0;
        return differ == 0;
    } else {
        char16_t any = 0;
        char16_t differ = 0;
        for (qsizetype i = 0; i < length; ++i) {
            any |= text[i];
            differ |= static_cast<char16_t>((text[i] | 0x20) ^ (static_cast<char16_t>(name[i]) | 0x20));
        }
        if (Q_UNLIKELY(any >= 0x80)) return type.compare(QLatin1StringView(name, length), Qt::CaseInsensitive) == 0;
        return differ == 0;
    }
}

// first + "." + second, made in one string of its size (the operators copy first and then grow
// the copy twice).
QString JoinNames(const QString& first, const QString& second) {
    QString joined(first.size() + 1 + second.size(), Qt::Uninitialized);
    QChar* out = joined.data();
    std::memcpy(out, first.constData(), static_cast<size_t>(first.size()) * sizeof(QChar));
    out[first.size()] = QLatin1Char('.');
    std::memcpy(out + first.size() + 1, second.constData(), static_cast<size_t>(second.size()) * sizeof(QChar));
    return joined;
}

// The last n characters of text as a string that shares text's block (a reference more, no
// copy). Only a tail can be shared this way: it ends where text ends, so it is terminated as
// every string is; writing to either copies it first, as with any shared string.
QString SharedTail(const QString& text, qsizetype n) {
    Q_ASSERT(n > 0 && n <= text.size() && text.data_ptr().d);
    QString::DataPointer tail = text.data_ptr();
    tail.ptr += tail.size - n;
    tail.size = n;
    return QString(std::move(tail));
}

// One read of one file into one model: the current parents of the records that follow them.
class SchemaReader {
public:
    SchemaReader(Tovimar_Database& db, bool headerOnly, Progress* progress)
        : db_(db),
          headerOnly_(headerOnly),
          progress_(progress),
          fresh_(db.Tables.IsEmpty() && db.Indexes.IsEmpty() && db.Relations.IsEmpty() && db.Defaults.IsEmpty() &&
                 db.Checks.IsEmpty() && db.Triggers.IsEmpty()),
          codeKeysAreNames_(db.Tables.IsEmpty() && db.Views.IsEmpty() && db.Procedures.IsEmpty() &&
                            db.Functions.IsEmpty()) {}

    enum class Outcome { Continue, Done, Cancelled };

    Outcome Read(const RecordFields& fields) {
        const Record r(fields, &pool_);
        const QStringView type = r.TypeView();
        if (Is(type, "Database")) return ReadDatabase(r);
        if (Is(type, "FileGroup")) {
            // Keyed by the number as GroupName looks it up ("#1" also for a stored "01").
            const long id = r.Long(2);
            db_.FileGroups.Add(Tovimar_FileGroup{id, r.Text(3)}, QStringLiteral("#") + QString::number(id));
        } else if (Is(type, "Table")) {
            return ReadTable(r);
        } else if (Is(type, "TableColumn")) {
            Tovimar_Table* table = Require(table_, r, "Table");
            QString key;
            size_t keyHash = 0;
            FieldPtr field = ReadColumn(r, *table, key, keyHash);
            table->AddField(field, key, keyHash);
            if (field->FTI_Field) {
                if (!table->FTI_Columns) table->FTI_Columns.emplace();
                table->FTI_Columns->Add(field, field->Name);
            }
        } else if (Is(type, "Index")) {
            Tovimar_Table* table = Require(table_, r, "Table");
            auto index = blocks_.Make<Tovimar_Index>();
            index->Name = r.Text(2);
            index->IsUnique = r.Flag(3);
            index->IsPrimaryKey = r.Flag(4);
            index->IsClustered = r.Flag(5);
            index->IsUniqueConstraint = r.Flag(6);
            index->IsPadIndex = r.Flag(7);
            index->IgnoreDupKey = r.Flag(8);
            index->Statistics_NoRecompute = r.Flag(9);
            index->FileGroupName = r.Shared(10);
            // Files written before the fill factor was stored do not know it.
            index->FillFactorKnown = r.Size() > 11;
            if (index->FillFactorKnown) index->IndexFillFactor = r.Byte(11);
            index->Table = table;
            AddToTable(table->Indexes, db_.Indexes, index);
            if (index->IsPrimaryKey) table->PrimaryKey = index.get();
            index_ = index.get();
        } else if (Is(type, "IndexFieldName")) {
            Require(index_, r, "Index")->FieldNames.Add(r.Shared(2));
        } else if (Is(type, "Default")) {
            Tovimar_Table* table = Require(table_, r, "Table");
            auto def = blocks_.Make<Tovimar_Default>();
            def->Name = r.Text(2);
            def->Value = r.Text(3);
            def->Table = table;
            const FieldPtr field = table->Fields.Item(r.Text(4));
            if (!field)
                Fail(5, QStringLiteral("The default %1 names the column %2, which the table %3 does not have")
                            .arg(def->Name, r.Text(4), table->FullName()));
            AddToTable(table->Defaults, db_.Defaults, def);
            field->Default = def.get();
            def->Field = field.get();
        } else if (Is(type, "Check")) {
            Tovimar_Table* table = Require(table_, r, "Table");
            auto check = blocks_.Make<Tovimar_Check>();
            check->Name = r.Text(2);
            check->Value = r.Text(3);
            check->NotForRepl = r.Flag(4);
            check->NoCheckConstraint = r.Flag(5);
            check->Table = table;
            AddToTable(table->Checks, db_.Checks, check);
        } else if (Is(type, "Relation")) {
            Tovimar_Table* table = Require(table_, r, "Table");
            auto relation = blocks_.Make<Tovimar_Relation>();
            relation->Name = r.Text(2);
            relation->NotForRepl = r.Flag(3);
            relation->NoCheckConstraint = r.Flag(4);
            relation->DeleteCascade = r.Flag(5);
            relation->UpdateCascade = r.Flag(6);
            relation->PrimaryTableFullName = r.Text(7);
            relation->Table = table;
            AddToTable(table->Relations, db_.Relations, relation);
            relation_ = relation.get();
        } else if (Is(type, "RelationFieldName")) {
            Require(relation_, r, "Relation")->FieldNames.Add(r.Shared(2));
        } else if (Is(type, "RelationPrimaryFieldName")) {
            Require(relation_, r, "Relation")->PrimaryFieldNames.Add(r.Shared(2));
        } else if (Is(type, "Trigger")) {
            return ReadTrigger(r);
        } else if (Is(type, "View")) {
            return ReadView(r);
        } else if (Is(type, "ViewField")) {
            Tovimar_View* view = Require(view_, r, "View");
            QString key;
            size_t keyHash = 0;
            FieldPtr field = ReadColumn(r, *view, key, keyHash);
            view->AddField(field, key, keyHash);
        } else if (Is(type, "Procedure")) {
            return ReadProcedure(r);
        } else if (Is(type, "ProcedureDefinition")) {
            Require(procedure_, r, "Procedure")->SetDefinition(ReadInteger(r.View(2)), r.Text(3));
        } else if (Is(type, "Function")) {
            return ReadFunction(r);
        } else if (Is(type, "Role")) {
            auto role = std::make_shared<Tovimar_Role>();
            role->Name = r.Text(2);
            role->SetDatabase(&db_);
            db_.Roles.Add(role, role->FullName());
            role->CalcObjectIncluded();
            role_ = role.get();
        } else if (Is(type, "RoleMemberName")) {
            Require(role_, r, "Role")->MemberNames.Add(r.Text(2));
        } else if (Is(type, "Permission")) {
            ReadPermission(r);
        } else if (Is(type, "SelectDeny")) {
            AddColumnName(r, &Tovimar_Permission::SelectDeny);
        } else if (Is(type, "SelectGrant")) {
            AddColumnName(r, &Tovimar_Permission::SelectGrant);
        } else if (Is(type, "UpdateDeny")) {
            AddColumnName(r, &Tovimar_Permission::UpdateDeny);
        } else if (Is(type, "UpdateGrant")) {
            AddColumnName(r, &Tovimar_Permission::UpdateGrant);
        } else if (Is(type, "ReferenceDeny")) {
            AddColumnName(r, &Tovimar_Permission::ReferenceDeny);
        } else if (Is(type, "ReferenceGrant")) {
            AddColumnName(r, &Tovimar_Permission::ReferenceGrant);
        } else if (Is(type, "Catalog")) {
            auto catalog = std::make_shared<Tovimar_Catalog>();
            catalog->Name = r.Text(2);
            catalog->SetDatabase(&db_);
            db_.Catalogs.Add(catalog, catalog->FullName());
            catalog->CalcObjectIncluded();
        } else if (Is(type, "Type")) {
            auto userType = std::make_shared<Tovimar_Type>();
            userType->Name = r.Text(2);
            userType->BaseType = r.Text(3);
            userType->DataSize = ReadInteger(r.View(4));
            userType->DataPrecision = ReadInteger(r.View(5));
            userType->DataDecimals = ReadInteger(r.View(6));
            userType->AllowNulls = r.Flag(7);
            userType->SetDatabase(&db_);
            db_.Types.Add(userType, userType->FullName());
        } else if (Is(type, "BoundObject")) {
            db_.BoundObjects << r.Text(2);
        }
        // Records of any other type are skipped.
        return Outcome::Continue;
    }

    // Sizes the database-wide collections of the tables and their contents for factor times
    // what they hold (the file read so far is a part of the whole; a table of the part read
    // tells about the rest), so that they fill without moving.
    void SizeFor(double factor) {
        const auto size = [factor](auto& collection) {
            collection.Reserve(static_cast<qsizetype>(static_cast<double>(collection.Count()) * factor * 1.1) + 16);
        };
        size(db_.Tables);
        size(db_.Indexes);
        size(db_.Relations);
        size(db_.Defaults);
        size(db_.Checks);
        size(db_.Triggers);
    }

    // After the last record: every relation finds its referenced table.
    void Finish() {
        for (const RelationPtr& relation : db_.Relations) {
            const TablePtr primary = db_.Tables.Item(relation->PrimaryTableFullName);
            if (!primary)
                Fail(5, QStringLiteral("The relation %1 references the table %2, which the file does not hold")
                            .arg(relation->FullName(true), relation->PrimaryTableFullName));
            relation->PrimaryTable = primary.get();
        }
    }

private:
    // Adds an object of the current table to the table's collection and the database's, keyed
    // by its FullName without and with the table's (made once per table).
    // In a model that was empty when the read began, the key in the database's collection is
    // not searched for first: every key there came from this file, the key in the table has
    // just been added to the table's collection, which refuses one twice, and the table's
    // FullName is unique in Tables; both are bracket-quoted, so their join cannot be the join of
    // another pair.
    // The key in the table is the tail of the key in the database, in the same block.
    // The object's FullName(false) is its quoted Name, written straight after the table's.
    template <class P>
    void AddToTable(Collection<P>& inTable, Collection<P>& inDatabase, const P& object) {
        static_assert(std::is_base_of_v<Tovimar_TableObject, typename P::element_type>);
        const QString joined = QuoteNameAfter(tableName_, object->Name);
        inTable.Add(object, SharedTail(joined, joined.size() - tableName_.size() - 1));
        if (fresh_)
            inDatabase.AddNew(object, joined);
        else
            inDatabase.Add(object, joined);
    }

    // A column record as ReadField reads it. The columns of a database have few distinct texts
    // after their name and id (a type, its size, nullability, a collation, all in one stretch of
    // the record): the values read from such a text are kept, in a slot chosen by its hash, and
    // a later record with the same text takes a copy of them instead of reading its fields again.
    FieldPtr ReadColumn(const Record& r, Tovimar_FieldOwner& parent, QString& key, size_t& keyHash) {
        QStringView text;
        if (!r.Span(4, 18, text)) return ReadField(r, parent, &key, &keyHash);
        FieldTail& tail = tails_[TailSlot(text)];
        if (!tail.Source || tail.Text.size() != text.size() ||
            std::memcmp(tail.Text.constData(), text.data(), static_cast<size_t>(text.size()) * sizeof(QChar)) != 0) {
            FieldPtr field = ReadField(r, parent, &key, &keyHash);
            tail.Text = text.toString();
            tail.Source = field;
            return field;
        }
        auto field = blocks_.Make<Tovimar_Field>();
        field->Name = r.SharedName(2, &key, &keyHash);
        field->ColID = ReadInteger(r.View(3));
        CopyFieldTail(*tail.Source, *field);
        field->Parent = &parent;
        return field;
    }

    // A slot by the text's length and a few of its characters: the type's first letters, and
    // two from its size and collation (a text is at least the 14 separators long).
    static size_t TailSlot(QStringView text) {
        const qsizetype n = text.size();
        const size_t mix = static_cast<size_t>(n) * 7 + text[0].unicode() * 31u + text[1].unicode() * 17u +
                           text[n / 3].unicode() * 13u + text[n / 2].unicode() * 5u;
        return mix & (TailSlots - 1);
    }

    // Reports the object about to be loaded; true when the user cancelled. The message is made
    // in one buffer that keeps its room from object to object.
    bool Announce(QStringView type, QStringView fullName) {
        if (!progress_) return false;
        message_.truncate(0);
        message_ += QLatin1StringView("Loading saved ");
        message_ += type;
        message_ += QLatin1Char(' ');
        message_ += fullName;
        return progress_->ShowMessage(message_);
    }

    Outcome ReadDatabase(const Record& r) {
        db_.Name = r.Text(2);
        db_.Server = r.Text(3);
        db_.Version = r.Text(4);
        db_.CmptLevel = r.Long(5);
        db_.SrvVer = r.Long(6);
        // Restored as well, so that rewriting a snapshot reproduces it exactly; the catalog
        // loader reads this id only while it queries the server, never after a cache load.
        if (r.Size() > 7) db_.DefaultFileGroupID = r.Long(7);
        return headerOnly_ ? Outcome::Done : Outcome::Continue;
    }

    Outcome ReadTable(const Record& r) {
        auto table = blocks_.Make<Tovimar_Table>();
        table->Name = r.Text(2);
        table->Owner = r.Shared(3);
        table->FTI_Catalog = r.Shared(4);
        table->FTI_UniqueIndex = r.Text(5);
        table->FTI_ChangeTracking = r.Flag(6);
        table->FTI_BackgroundUpdate = r.Flag(7);
        table->FileGroupName = r.Shared(8);
        table->TextFileGroupName = r.Shared(9);
        table->Typ = r.Type();
        // The tables of a database tend to be alike: the column collections are sized for as
        // many columns as the table before (up to 64), so that most fill without moving.
        // So are their indexes and constraints.
        if (table_) {
            const qsizetype columns = std::min<qsizetype>(table_->Fields.Count(), 64);
            table->Fields.Reserve(columns);
            table->FieldsByColID.Reserve(columns);
            table->Indexes.Reserve(std::min<qsizetype>(table_->Indexes.Count(), 16));
            table->Relations.Reserve(std::min<qsizetype>(table_->Relations.Count(), 16));
        }
        table->SetDatabase(&db_);
        const QString fullName = table->FullName();
        if (Announce(r.TypeView(), fullName)) return Outcome::Cancelled;
        db_.Tables.Add(table, fullName);
        tableName_ = fullName;
        table->CalcObjectIncluded();
        table_ = table.get();
        return Outcome::Continue;
    }

    Outcome ReadTrigger(const Record& r) {
        Tovimar_Table* table = Require(table_, r, "Table");
        auto trigger = blocks_.Make<Tovimar_Trigger>();
        trigger->Name = r.Text(2);
        trigger->ObjStatus = r.Long(3);
        trigger->Definition = r.Text(4);
        trigger->Table = table;
        if (Announce(r.TypeView(), tableName_ + QLatin1Char('.') + trigger->FullName(false))) return Outcome::Cancelled;
        AddToTable(table->Triggers, db_.Triggers, trigger);
        trigger->CalcObjectIncluded();
        return Outcome::Continue;
    }

    Outcome ReadView(const Record& r) {
        auto view = std::make_shared<Tovimar_View>();
        view->Name = r.Text(2);
        view->Owner = r.Shared(3);
        view->ObjStatus = r.Long(4);
        view->Definition = r.Text(5);
        view->Typ = r.Type();
        view->SetDatabase(&db_);
        if (Announce(r.TypeView(), view->FullName())) return Outcome::Cancelled;
        db_.Views.Add(view, view->FullName());
        view->CalcObjectIncluded();
        view_ = view.get();
        return Outcome::Continue;
    }

    Outcome ReadProcedure(const Record& r) {
        auto procedure = std::make_shared<Tovimar_Procedure>();
        procedure->Name = r.Text(2);
        procedure->Owner = r.Shared(3);
        procedure->ObjStatus = r.Long(4);
        procedure->Typ = r.Type();
        procedure->SetDatabase(&db_);
        if (Announce(r.TypeView(), procedure->FullName())) return Outcome::Cancelled;
        db_.Procedures.Add(procedure, procedure->FullName());
        procedure->CalcObjectIncluded();
        procedure_ = procedure.get();
        return Outcome::Continue;
    }

    Outcome ReadFunction(const Record& r) {
        auto function = std::make_shared<Tovimar_Function>();
        function->Name = r.Text(2);
        function->Owner = r.Shared(3);
        function->ObjStatus = r.Long(4);
        function->Definition = r.Text(5);
        function->Typ = r.Type();
        function->SetDatabase(&db_);
        if (Announce(r.TypeView(), function->FullName())) return Outcome::Cancelled;
        db_.Functions.Add(function, function->FullName());
        function->CalcObjectIncluded();
        return Outcome::Continue;
    }

    void ReadPermission(const Record& r) {
        // A database tends to hold a permission or so for each object: the collection is sized
        // for one each before the first is added.
        if (db_.Permissions.IsEmpty())
            db_.Permissions.Reserve(db_.Tables.Count() + db_.Views.Count() + db_.Procedures.Count() +
                                    db_.Functions.Count());
        auto permission = blocks_.Make<Tovimar_Permission>();
        const QStringView name = r.View(2);
        QString quotedGrantee;
        permission->Grantee = r.SharedName(3, &quotedGrantee);
        permission->Grantor = r.Shared(4);
        permission->SelectRight = r.Byte(5);
        permission->InsertRight = r.Byte(6);
        permission->UpdateRight = r.Byte(7);
        permission->DeleteRight = r.Byte(8);
        permission->ExecRight = r.Byte(9);
        permission->DRIRight = r.Byte(10);
        const QStringView securedType = r.View(11);
        const QString securedName = r.Text(12);
        permission->SetDatabase(&db_);
        Tovimar_DbObject* secured = nullptr;
        const QString* securedKey = nullptr;  // the secured object's key in its collection
        const auto find = [&](const auto& collection) {
            const qsizetype at = collection.IndexOf(securedName);
            if (at < 0) return;
            secured = collection.At(at).get();
            securedKey = &collection.KeyAt(at);
        };
        if (Is(securedType, "Table"))
            find(db_.Tables);
        else if (Is(securedType, "View"))
            find(db_.Views);
        else if (Is(securedType, "Procedure"))
            find(db_.Procedures);
        else if (Is(securedType, "Function"))
            find(db_.Functions);
        else
            Fail(5, QStringLiteral("The permission %1 secures an object of the unknown type \"%2\"")
                        .arg(name.toString(), securedType.toString()));
        if (!secured)
            Fail(5, QStringLiteral("The permission %1 secures the %2 %3, which the file does not hold before it")
                        .arg(name.toString(), securedType.toString(), securedName));
        permission->SecObject = secured;
        // Its FullName: the secured object's, which is the object's key when this read added it
        // (nothing renames it meanwhile), and the quoted grantee, which came with the grantee.
        const QString key = codeKeysAreNames_ ? JoinNames(*securedKey, quotedGrantee) : permission->FullName();
        // The stored name is nearly always that text: it is then shared, not held twice.
        permission->Name = name == key ? key : r.Text(2);
        db_.Permissions.Add(permission, key);
        permission_ = permission.get();
    }

    void AddColumnName(const Record& r, Collection<QString> Tovimar_Permission::*list) {
        Tovimar_Permission* permission = Require(permission_, r, "Permission");
        const QString& column = r.Shared(2);
        (permission->*list).Add(column, column);
    }

    Tovimar_Database& db_;
    const bool headerOnly_;
    Progress* const progress_;
    const bool fresh_;  // the tables and their contents' collections were empty at the start
    // The tables, views, procedures and functions were empty at the start: every one of them is
    // keyed by its FullName, as this read added it.
    const bool codeKeysAreNames_;
    Tovimar_Table* table_ = nullptr;
    QString tableName_;  // table_'s FullName
    Tovimar_Index* index_ = nullptr;
    Tovimar_Relation* relation_ = nullptr;
    Tovimar_View* view_ = nullptr;
    Tovimar_Procedure* procedure_ = nullptr;
    Tovimar_Role* role_ = nullptr;
    Tovimar_Permission* permission_ = nullptr;
    StringPool pool_;
    QString message_;  // Announce's
    // ReadColumn's: the text of fields 4 to 18 of a column record and the column read from it.
    struct FieldTail {
        QString Text;
        FieldPtr Source;
    };
    static constexpr size_t TailSlots = 64;
    FieldTail tails_[TailSlots];
    // The blocks of the columns read through tails_ (nearly all of them) and of the tables and
    // their indexes, constraints, triggers and permissions: the numerous objects of a model.
    BlockArena blocks_;
};

}  // namespace

// ---- Values and fields -----------------------------------------------------------------------

QString EncodeCacheField(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 8 + 4);
    const qsizetype len = text.size();
    for (qsizetype i = 0; i < len; ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case ';': out += QLatin1String("\\;"); break;
        case '\r':
            if (i + 1 < len && text[i + 1] == QLatin1Char('\n')) {
                out += QLatin1String("\\\r\n");  // a real line break, continued on the next line
                ++i;
            } else {
                out += QLatin1String("\\n");  // a lone carriage return
            }
            break;
        case '\n': out += QLatin1String("\\r"); break;  // a lone line feed
        default: out += c; break;
        }
    }
    return out;
}

QString DecodeCacheField(const QString& text) {
    QString out;
    out.reserve(text.size());
    const qsizetype len = text.size();
    for (qsizetype i = 0; i < len;) {
        if (text[i] == QLatin1Char('\\')) {
            bool lineBreak = false;
            i += DecodeEscape(text, i, out, lineBreak);
        } else {
            out += text[i];
            ++i;
        }
    }
    return out;
}

QString FormatFieldRecord(const QString& recordType, const Tovimar_Field& column) {
    RecordWriter w;
    w.Begin(recordType) << column.Name << column.ColID << column.DataType << column.CanBeNull << column.DataSize
                        << column.DataPrecision << column.DataDecimals << column.Identity << column.IdentityNoRepl
                        << column.IdentitySeed << column.IdentityIncr << column.IsRowGUID << column.Collation
                        << column.Formula << column.FTI_Field << column.FTI_ImageTypeField << column.FTI_Language;
    return w.Text();
}

FieldPtr ReadFieldRecord(const QStringList& fields, Tovimar_FieldOwner& parent) {
    RecordFields views;
    for (const QString& field : fields) views.push_back(field);
    return ReadField(Record(views), parent);
}

// ---- Files -----------------------------------------------------------------------------------

QString GetCacheFileName(const Tovimar_Database& db) {
    QString name = db.FullName();
    name.replace(QLatin1Char('\\'), QLatin1Char('$'));
    name.replace(QLatin1Char('.'), QLatin1Char('-'));
    return QStringLiteral("Tovimar_") + name + QStringLiteral(".schema");
}

QString GetCacheFilePath(const Tovimar_Database& db) { return QDir(SchemasFolder()).filePath(GetCacheFileName(db)); }

void SaveSchemaFile(const QString& path, const Tovimar_Database& db) {
    WriteWholeFile(path, EncodeLocalText(SchemaFileText(db)), WriterSource);
}

QString SchemaFileText(const Tovimar_Database& db) { return SchemaText(db); }

namespace {

bool ReadSchemaText(TextPieces& text, Tovimar_Database& db, bool headerOnly, Progress* progress,
                    const QString& sourceName) {
    const QString where = sourceName.isEmpty() ? QString() : sourceName + QStringLiteral(", ");
    RecordScanner scanner(text);
    SchemaReader reader(db, headerOnly, progress);
    RecordFields fields;
    long records = 0;  // the records before the End record; blank lines are none
    bool ended = false;
    // Once a sixteenth of the file has been read, the database-wide collections are sized for
    // the whole of it.
    const qint64 totalBytes = text.TotalBytes();
    bool sized = totalBytes <= 0;
    try {
        while (scanner.Next(fields)) {
            const bool blank = fields.size() == 1 && fields.value(0).isEmpty();
            if (blank) continue;
            if (ended) Fail(62, QStringLiteral("the file goes on after its End record"));
            if (Is(fields.value(1), "End")) {
                const long counted = Record(fields).Long(2);
                if (counted != records)
                    Fail(62, QStringLiteral("the End record counts %1 records, but the file holds %2: the file is "
                                            "damaged")
                                 .arg(counted)
                                 .arg(records));
                ended = true;
                continue;
            }
            ++records;
            if (!sized && records % 1024 == 0) {
                const qint64 done = scanner.BytesRead();
                if (done > 0 && done * 16 >= totalBytes) {
                    reader.SizeFor(static_cast<double>(totalBytes) / static_cast<double>(done));
                    sized = true;
                }
            }
            switch (reader.Read(fields)) {
            case SchemaReader::Outcome::Continue: break;
            case SchemaReader::Outcome::Done: return true;
            case SchemaReader::Outcome::Cancelled: return false;
            }
        }
    } catch (const TovimarException& e) {
        throw TovimarException(e.Number, ReaderSource,
                               QStringLiteral("%1line %2: %3").arg(where, QString::number(scanner.StartLine()), e.Description));
    }
    if (!ended)
        throw TovimarException(62, ReaderSource,
                               where + QStringLiteral("the file ends without its End record: it is incomplete (cut "
                                                      "off while it was written or copied)"));
    try {
        reader.Finish();
    } catch (const TovimarException& e) {
        throw TovimarException(e.Number, ReaderSource, where + e.Description);
    }
    return true;
}

}  // namespace

bool ReadSchemaBytes(const QByteArray& bytes, Tovimar_Database& db, bool headerOnly, Progress* progress,
                     const QString& sourceName) {
    TextPieces text(bytes);
    return ReadSchemaText(text, db, headerOnly, progress, sourceName);
}

bool LoadSchemaFile(const QString& path, Tovimar_Database& db, bool headerOnly, Progress* progress) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // The file is read and decoded as its records are read; an error closes it on the way out.
    TextPieces text(file);
    return ReadSchemaText(text, db, headerOnly, progress, QDir::toNativeSeparators(path));
}

void SaveToCache(const Tovimar_Database& db) {
    if (db.CreateCache) SaveSchemaFile(GetCacheFilePath(db), db);
}

bool LoadFromCache(Tovimar_Database& db, bool headerOnly, Progress* progress) {
    if (!db.UseCache) return false;
    if (!LoadSchemaFile(GetCacheFilePath(db), db, headerOnly, progress)) {
        db.Version.clear();
        return false;
    }
    return true;
}
