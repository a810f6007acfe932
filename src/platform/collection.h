#pragma once
// Collection<T>: an ordered list whose items may carry a unique, case-insensitive string key.
// Lookup by key is a hash lookup; lookup by position is direct (positions are 0-based here);
// iteration follows insertion order. Adding a key twice is an error, as is asking for a key
// or position that is not there through the throwing accessors.
#include "platform/tovimar_exception.h"

#include <QHash>
#include <QString>
#include <utility>
#include <vector>

namespace collection_detail {
inline QString FoldKey(const QString& key) { return key.toCaseFolded(); }
}  // namespace collection_detail

template <class T>
class Collection {
public:
    struct Entry {
        T Value;
        QString Key;  // empty: the item carries no key
    };

    qsizetype Count() const { return static_cast<qsizetype>(items_.size()); }
    bool IsEmpty() const { return items_.empty(); }

    // Appends an item; throws error 457 when the key is already present.
    void Add(T value, const QString& key = QString()) { Insert(Count(), std::move(value), key); }

    // Inserts an item before position pos (pos == Count() appends).
    void Insert(qsizetype pos, T value, const QString& key = QString()) {
        if (pos < 0 || pos > Count()) throw OutOfRange();
        if (!key.isEmpty()) {
            const QString folded = collection_detail::FoldKey(key);
            if (index_.contains(folded))
                throw TovimarException(457, QStringLiteral("Collection"),
                                       QStringLiteral("This key is already associated with an element of this collection"));
            index_.insert(folded, pos);
        }
        items_.insert(items_.begin() + pos, Entry{std::move(value), key});
        if (pos != Count() - 1) Reindex(pos + 1);
    }

    bool Contains(const QString& key) const {
        return !key.isEmpty() && index_.contains(collection_detail::FoldKey(key));
    }
    // Position of the key, or -1.
    qsizetype IndexOf(const QString& key) const {
        if (key.isEmpty()) return -1;
        auto it = index_.constFind(collection_detail::FoldKey(key));
        return it == index_.cend() ? -1 : it.value();
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
        const QString key = items_[static_cast<size_t>(pos)].Key;
        if (!key.isEmpty()) index_.remove(collection_detail::FoldKey(key));
        items_.erase(items_.begin() + pos);
        Reindex(pos);
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
        index_.clear();
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
    void Reindex(qsizetype from) {
        for (qsizetype i = from; i < Count(); ++i) {
            const QString& key = items_[static_cast<size_t>(i)].Key;
            if (!key.isEmpty()) index_[collection_detail::FoldKey(key)] = i;
        }
    }

    std::vector<Entry> items_;
    QHash<QString, qsizetype> index_;
};
