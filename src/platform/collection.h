#pragma once
// Collection<T>: an ordered list whose items may carry a unique, case-insensitive string key.
// Lookup by key is a hash lookup; lookup by position is direct (positions are 0-based here);
// iteration follows insertion order. Adding a key twice is an error, as is asking for a key
// or position that is not there through the throwing accessors.
#include "platform/tovimar_exception.h"

#include <QHashFunctions>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace collection_detail {

// Keys are hashed and compared as their case-folded forms. Keys of plain ASCII, nearly all of
// them, are folded on the fly; any other key is folded into a temporary first, so the result is
// the same as comparing toCaseFolded() copies (a key beyond ASCII may fold to an ASCII one).
inline bool IsAscii(QStringView text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x80) return false;
    return true;
}
inline char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

// Lowers the ASCII letters of four 16-bit characters in the lanes of a 64-bit word, each below
// 0x80: adding 0x3F sets a lane's bit 7 from 'A' up and adding 0x25 from 'Z' + 1 up, so bit 7 of
// the first and not the second marks an upper-case letter; no lane carries into the next.
constexpr std::uint64_t BeyondAscii = 0xFF80FF80FF80FF80u;
inline std::uint64_t LowerWord(std::uint64_t w) {
    const std::uint64_t upper = (w + 0x003F003F003F003Fu) & ~(w + 0x0025002500250025u) & 0x0080008000800080u;
    return w + (upper >> 2);
}
// Lowers the n characters of key into lower, four at a time; false when a character is beyond
// ASCII (lower then holds a part).
inline bool LowerAscii(const QChar* key, qsizetype n, char16_t* lower) {
    qsizetype i = 0;
    for (; i + 4 <= n; i += 4) {
        std::uint64_t w;
        std::memcpy(&w, key + i, sizeof w);
        if (w & BeyondAscii) return false;
        w = LowerWord(w);
        std::memcpy(lower + i, &w, sizeof w);
    }
    for (; i < n; ++i) {
        const char16_t c = key[i].unicode();
        if (c >= 0x80) return false;
        lower[i] = AsciiLower(c);
    }
    return true;
}

inline size_t FoldedHash(const QString& key) {
    // Seeded per process, so that names chosen to collide cannot make lookups slow.
    const size_t seed = QHashSeed::globalSeed();
    constexpr qsizetype Buffer = 64;
    char16_t lower[Buffer];
    if (key.size() <= Buffer && LowerAscii(key.constData(), key.size(), lower))
        return qHash(QStringView(lower, key.size()), seed);
    return qHash(QStringView(key.toCaseFolded()), seed);
}

// One pass over both keys while they are plain ASCII. Folding maps each character on its own,
// so two ASCII characters that differ at a position where both keys were ASCII so far tell the
// keys apart whatever follows; any other character sends the pair to the full comparison.
inline bool FoldedEqual(const QString& x, const QString& y) {
    const char16_t* p = reinterpret_cast<const char16_t*>(x.constData());
    const char16_t* q = reinterpret_cast<const char16_t*>(y.constData());
    const qsizetype common = std::min(x.size(), y.size());
    // Four characters at a time while they are ASCII; a word with any other character is
    // compared a character at a time below.
    qsizetype i = 0;
    for (; i + 4 <= common; i += 4) {
        std::uint64_t a, b;
        std::memcpy(&a, p + i, sizeof a);
        std::memcpy(&b, q + i, sizeof b);
        if ((a | b) & BeyondAscii) break;
        if (a != b && LowerWord(a) != LowerWord(b)) return false;
    }
    for (; i < common; ++i) {
        if ((p[i] | q[i]) >= 0x80) return x.toCaseFolded() == y.toCaseFolded();
        if (AsciiLower(p[i]) != AsciiLower(q[i])) return false;
    }
    if (x.size() == y.size()) return true;
    const QString& longer = x.size() > y.size() ? x : y;
    if (IsAscii(QStringView(longer).sliced(common))) return false;
    return x.toCaseFolded() == y.toCaseFolded();
}

// The index of a collection's keys: an open-addressing table of positions (-1: free) in one
// heap block that also holds its size and the number of keyed items, so that a collection is a
// vector and one pointer (a table holds nine of them). None while no item carries a key, nor
// while the collection is small enough to be searched item by item.
class KeySlots {
public:
    KeySlots() = default;
    KeySlots(const KeySlots& other) : block_(other.block_ ? Allocate(other.Size()) : nullptr) {
        if (block_) std::memcpy(block_, other.block_, Bytes(other.Size()));
    }
    KeySlots(KeySlots&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    KeySlots& operator=(KeySlots other) noexcept {
        std::swap(block_, other.block_);
        return *this;
    }
    ~KeySlots() { std::free(block_); }

    bool IsEmpty() const { return block_ == nullptr; }
    size_t Size() const { return block_ ? static_cast<size_t>(block_[0]) : 0; }
    size_t Keyed() const { return block_ ? static_cast<size_t>(block_[1]) : 0; }
    void SetKeyed(size_t keyed) { block_[1] = static_cast<qint32>(keyed); }
    qint32& operator[](size_t i) { return block_[2 + i]; }
    qint32 operator[](size_t i) const { return block_[2 + i]; }
    // Size slots, all free, none keyed.
    void Reset(size_t size) {
        std::free(block_);
        block_ = Allocate(size);
        block_[0] = static_cast<qint32>(size);
        block_[1] = 0;
        std::memset(block_ + 2, 0xFF, size * sizeof(qint32));
    }
    void Clear() {
        std::free(block_);
        block_ = nullptr;
    }

private:
    static size_t Bytes(size_t size) { return (size + 2) * sizeof(qint32); }
    static qint32* Allocate(size_t size) {
        void* block = std::malloc(Bytes(size));
        if (!block) throw std::bad_alloc();
        return static_cast<qint32*>(block);
    }
    qint32* block_ = nullptr;  // size, keyed items, then the slots
};

}  // namespace collection_detail

template <class T>
class Collection {
public:
    struct Entry {
        T Value;
        QString Key;  // empty: the item carries no key
        size_t Hash = 0;  // of the folded key
    };

    qsizetype Count() const { return static_cast<qsizetype>(items_.size()); }
    bool IsEmpty() const { return items_.empty(); }

    // Appends an item; throws error 457 when the key is already present.
    void Add(T value, const QString& key = QString()) { Insert(Count(), std::move(value), key); }

    // Appends an item under a key that the caller knows is not present, without searching for
    // it: a key made of keys that are unique already (a table's name and a name unique in that
    // table). A key added twice this way would be found only once.
    void AddNew(T value, const QString& key) {
        Q_ASSERT(!key.isEmpty() && IndexOf(key) < 0);
        const size_t hash = collection_detail::FoldedHash(key);
        items_.push_back(Entry{std::move(value), key, hash});
        IndexLast();
    }

    // As Add, with the key's hash (FoldedHash(key)) kept by a caller that adds many items under
    // keys of the same text to different collections.
    void AddHashed(T value, const QString& key, size_t hash) {
        Q_ASSERT(!key.isEmpty() && hash == collection_detail::FoldedHash(key));
        InsertHashed(Count(), std::move(value), key, hash);
    }

    // Inserts an item before position pos (pos == Count() appends).
    void Insert(qsizetype pos, T value, const QString& key = QString()) {
        InsertHashed(pos, std::move(value), key, key.isEmpty() ? 0 : collection_detail::FoldedHash(key));
    }

    // Insert with the key's hash (anything for an empty key).
    void InsertHashed(qsizetype pos, T value, const QString& key, size_t hash) {
        if (pos < 0 || pos > Count()) throw OutOfRange();
        if (key.isEmpty()) {
            hash = 0;
        } else {
            if (Locate(key, hash) >= 0)
                throw TovimarException(457, QStringLiteral("Collection"),
                                       QStringLiteral("This key is already associated with an element of this collection"));
        }
        items_.insert(items_.begin() + pos, Entry{std::move(value), key, hash});
        if (key.isEmpty()) {
            if (pos != Count() - 1) Rebuild(slots_.Size());  // the keyed items behind it moved
            return;
        }
        if (!slots_.IsEmpty() && pos != Count() - 1)
            Rebuild(slots_.Size() * ((slots_.Keyed() + 1) * 2 > slots_.Size() ? 2 : 1));
        else
            IndexLast();
    }

    // Makes room for count items in all, so that adding up to that many moves nothing (the
    // index of the keys, made with the first key, is sized for them too).
    void Reserve(qsizetype count) {
        if (count > Count()) items_.reserve(static_cast<size_t>(count));
    }

    bool Contains(const QString& key) const { return IndexOf(key) >= 0; }
    // Position of the key, or -1.
    qsizetype IndexOf(const QString& key) const {
        if (key.isEmpty() || items_.empty()) return -1;
        return Locate(key, collection_detail::FoldedHash(key));
    }
    // Position of the key of an entry of another collection, or -1 (the entry's hash is reused).
    qsizetype IndexOfKeyOf(const Entry& entry) const {
        if (entry.Key.isEmpty() || items_.empty()) return -1;
        return Locate(entry.Key, entry.Hash);
    }
    // The item under key, or a default-constructed T (a null pointer, an empty string) when absent.
    T Item(const QString& key) const {
        const qsizetype i = IndexOf(key);
        return i < 0 ? T() : items_[static_cast<size_t>(i)].Value;
    }
    // Pointer to the stored item under key, or nullptr.
    T* Find(const QString& key) {
        const qsizetype i = IndexOf(key);
        return i < 0 ? nullptr : &items_[static_cast<size_t>(i)].Value;
    }
    const T* Find(const QString& key) const {
        const qsizetype i = IndexOf(key);
        return i < 0 ? nullptr : &items_[static_cast<size_t>(i)].Value;
    }

    const T& At(qsizetype pos) const { Check(pos); return items_[static_cast<size_t>(pos)].Value; }
    T& At(qsizetype pos) { Check(pos); return items_[static_cast<size_t>(pos)].Value; }
    const T& operator[](qsizetype pos) const { return At(pos); }
    T& operator[](qsizetype pos) { return At(pos); }
    const QString& KeyAt(qsizetype pos) const { Check(pos); return items_[static_cast<size_t>(pos)].Key; }

    void RemoveAt(qsizetype pos) {
        Check(pos);
        items_.erase(items_.begin() + pos);
        Rebuild(slots_.Size());
    }
    // Removes the item under key; returns false when there is none.
    bool Remove(const QString& key) {
        const qsizetype i = IndexOf(key);
        if (i < 0) return false;
        RemoveAt(i);
        return true;
    }
    void Clear() {
        items_.clear();
        slots_.Clear();
    }

    // Iteration over the values in order.
    class const_iterator {
    public:
        using Inner = typename std::vector<Entry>::const_iterator;
        explicit const_iterator(Inner it) : it_(it) {}
        const T& operator*() const { return it_->Value; }
        const T* operator->() const { return &it_->Value; }
        const_iterator& operator++() { ++it_; return *this; }
        bool operator!=(const const_iterator& o) const { return it_ != o.it_; }
        bool operator==(const const_iterator& o) const { return it_ == o.it_; }
    private:
        Inner it_;
    };
    const_iterator begin() const { return const_iterator(items_.cbegin()); }
    const_iterator end() const { return const_iterator(items_.cend()); }

    const std::vector<Entry>& Entries() const { return items_; }

private:
    static TovimarException OutOfRange() {
        return TovimarException(9, QStringLiteral("Collection"), QStringLiteral("Subscript out of range"));
    }
    void Check(qsizetype pos) const {
        if (pos < 0 || pos >= Count()) throw OutOfRange();
    }

    // Up to this many items are searched one by one, by their hashes, without an index: most of
    // a table's collections (its indexes, constraints, triggers) and a permission's columns.
    static constexpr size_t Searched = 8;

    // The index is an open-addressing table of positions (-1: free) in items_, at most half full,
    // probed linearly from the key's hash. It holds no copy of the keys: they stay in items_.
    // Without it the items are searched in order (an item without a key has none to match).
    qsizetype Locate(const QString& key, size_t hash) const {
        if (slots_.IsEmpty()) {
            for (size_t pos = 0; pos < items_.size(); ++pos) {
                const Entry& entry = items_[pos];
                if (entry.Hash == hash && !entry.Key.isEmpty() && collection_detail::FoldedEqual(entry.Key, key))
                    return static_cast<qsizetype>(pos);
            }
            return -1;
        }
        const size_t mask = slots_.Size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const qint32 pos = slots_[i];
            if (pos < 0) return -1;
            const Entry& entry = items_[static_cast<size_t>(pos)];
            if (entry.Hash == hash && collection_detail::FoldedEqual(entry.Key, key)) return pos;
        }
    }
    // Indexes the last item, which carries a key: the index is made with the first key (sized
    // for the room reserved) and doubled when it would be more than half full.
    void IndexLast() {
        if (slots_.IsEmpty()) {
            if (items_.size() <= Searched) return;
            size_t size = 16;
            while (size < items_.capacity() * 2) size *= 2;
            Rebuild(size);
        } else if ((slots_.Keyed() + 1) * 2 > slots_.Size()) {
            Rebuild(slots_.Size() * 2);
        } else {
            Place(static_cast<qint32>(items_.size() - 1));
            slots_.SetKeyed(slots_.Keyed() + 1);
        }
    }
    void Place(qint32 pos) {
        const size_t mask = slots_.Size() - 1;
        size_t i = items_[static_cast<size_t>(pos)].Hash & mask;
        while (slots_[i] >= 0) i = (i + 1) & mask;
        slots_[i] = pos;
    }
    // Indexes every keyed item afresh in size slots (at least 16); no index without keys or for
    // a collection that is searched item by item.
    void Rebuild(size_t size) {
        size_t keyed = 0;
        for (const Entry& entry : items_) keyed += entry.Key.isEmpty() ? 0 : 1;
        if (keyed == 0 || items_.size() <= Searched) {
            slots_.Clear();
            return;
        }
        size = std::max<size_t>(size, 16);
        while (size < keyed * 2) size *= 2;
        slots_.Reset(size);
        for (size_t pos = 0; pos < items_.size(); ++pos)
            if (!items_[pos].Key.isEmpty()) Place(static_cast<qint32>(pos));
        slots_.SetKeyed(keyed);
    }

    std::vector<Entry> items_;
    collection_detail::KeySlots slots_;  // size 0 or a power of two
};
