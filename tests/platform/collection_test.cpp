#include "platform/collection.h"

#include <gtest/gtest.h>
#include <memory>

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
