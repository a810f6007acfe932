#include "platform/collection.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <random>

TEST(CollectionTest, KeysAreCaseInsensitiveUniqueAndOrderIsInsertionOrder) {
    Collection<QString> c;
    c.Add(QStringLiteral("one"), QStringLiteral("[dbo].[Orders]"));
    c.Add(QStringLiteral("two"));  // no key
    c.Add(QStringLiteral("three"), QStringLiteral("[dbo].[Ärger]"));
    EXPECT_EQ(c.Item(QStringLiteral("[DBO].[orders]")), QStringLiteral("one"));
    EXPECT_EQ(c.Item(QStringLiteral("[dbo].[ärger]")), QStringLiteral("three"));
    EXPECT_EQ(c.Item(QStringLiteral("missing")), QString());
    EXPECT_THROW(c.Add(QStringLiteral("dup"), QStringLiteral("[DBO].[ORDERS]")), TovimarException);
    ASSERT_EQ(c.Count(), 3);
    EXPECT_EQ(c[1], QStringLiteral("two"));
}

TEST(CollectionTest, RemoveAndInsertKeepKeyLookupsRight) {
    Collection<std::shared_ptr<int>> c;
    for (int i = 0; i < 5; ++i) c.Add(std::make_shared<int>(i), QString::number(i));
    EXPECT_TRUE(c.Remove(QStringLiteral("1")));
    EXPECT_FALSE(c.Remove(QStringLiteral("1")));
    c.Insert(0, std::make_shared<int>(9), QStringLiteral("9"));
    EXPECT_EQ(*c.Item(QStringLiteral("4")), 4);
    EXPECT_EQ(c.IndexOf(QStringLiteral("4")), 4);
    EXPECT_EQ(c.IndexOf(QStringLiteral("9")), 0);
    EXPECT_EQ(c.Item(QStringLiteral("1")), nullptr);
    std::vector<int> order;
    for (const auto& p : c) order.push_back(*p);
    EXPECT_EQ(order, (std::vector<int>{9, 0, 2, 3, 4}));
    c.Add(std::make_shared<int>(1), QStringLiteral("1"));  // a removed key can be added again
    EXPECT_THROW(c.At(6), TovimarException);
}

// Keys are hashed and compared as their case-folded forms, four ASCII characters at a time:
// every character around the letters' bounds, at every position of keys up to and beyond the 64
// lowered in place, against a key of 'q's and one of another length.
TEST(CollectionTest, KeysHashAndCompareAsTheirFoldedForms) {
    const QString edges = QStringLiteral("@AMQZ[`amqz{\x7F_1.]") + QChar(0x80) + QChar(0xC4) + QChar(0x212A);
    const size_t seed = QHashSeed::globalSeed();
    for (qsizetype length : {0, 1, 3, 4, 5, 8, 31, 63, 64, 65, 70}) {
        const QString plain(length, QLatin1Char('q'));
        for (const QChar c : edges) {
            for (qsizetype at = 0; at < length; ++at) {
                QString key = plain;
                key[at] = c;
                const QString folded = key.toCaseFolded();
                ASSERT_EQ(collection_detail::FoldedHash(key), qHash(QStringView(folded), seed)) << qPrintable(key);
                ASSERT_EQ(collection_detail::FoldedEqual(key, plain), folded == plain) << qPrintable(key);
                const QString longer = plain + QChar(0x212A);
                ASSERT_EQ(collection_detail::FoldedEqual(key, longer), folded == longer.toCaseFolded());
            }
        }
    }
}

// Collections of up to 8 items are searched item by item, larger ones through the index; a run of
// random adds (keyed or not, in the middle or at the end), removals and copies crosses that
// bound both ways and must find every key where a plain list finds it.
TEST(CollectionTest, KeyLookupsAgreeWithASearchOfEveryItem) {
    std::mt19937 random(16);
    Collection<int> c;
    std::vector<std::pair<int, QString>> plain;
    const auto check = [&](const Collection<int>& col) {
        ASSERT_EQ(col.Count(), static_cast<qsizetype>(plain.size()));
        for (int key = 0; key < 40; ++key) {
            const QString text = QStringLiteral("Key%1").arg(key);
            qsizetype expected = -1;
            for (size_t i = 0; i < plain.size(); ++i)
                if (plain[i].second.compare(text, Qt::CaseInsensitive) == 0) expected = static_cast<qsizetype>(i);
            ASSERT_EQ(col.IndexOf(text.toUpper()), expected) << qPrintable(text);
        }
        for (size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(col[static_cast<qsizetype>(i)], plain[i].first);
    };
    for (int step = 0; step < 3000; ++step) {
        const int op = static_cast<int>(random() % 10);
        if (op < 6 || plain.size() < 2) {
            const int value = step;
            QString key;
            if (op != 0) key = QStringLiteral("key%1").arg(random() % 40);
            const bool taken = !key.isEmpty() && std::any_of(plain.begin(), plain.end(), [&](const auto& item) {
                return item.second.compare(key, Qt::CaseInsensitive) == 0;
            });
            const size_t pos = op == 5 ? random() % (plain.size() + 1) : plain.size();
            if (taken) {
                EXPECT_THROW(c.Insert(static_cast<qsizetype>(pos), value, key), TovimarException);
                continue;
            }
            c.Insert(static_cast<qsizetype>(pos), value, key);
            plain.insert(plain.begin() + static_cast<std::ptrdiff_t>(pos), {value, key});
        } else if (op < 9) {
            const size_t pos = random() % plain.size();
            c.RemoveAt(static_cast<qsizetype>(pos));
            plain.erase(plain.begin() + static_cast<std::ptrdiff_t>(pos));
        } else {
            const Collection<int> copy = c;
            check(copy);
            c = copy;
        }
        check(c);
        if (plain.size() > 24 && op == 8) {  // back to small now and then
            while (plain.size() > 3) {
                c.RemoveAt(0);
                plain.erase(plain.begin());
            }
        }
    }
}
