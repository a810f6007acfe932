#include "platform/local_text.h"

#include "platform/tovimar_exception.h"

#include <clocale>
#include <gtest/gtest.h>

namespace {
// Sets LC_CTYPE for one test and puts the previous value back.
class CtypeLocale {
public:
    explicit CtypeLocale(const char* name) : previous_(std::setlocale(LC_CTYPE, nullptr)) {
        Active = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~CtypeLocale() { std::setlocale(LC_CTYPE, previous_.c_str()); }
    bool Active = false;

private:
    std::string previous_;
};
}  // namespace

TEST(LocalTextTest, TheCLocaleWritesUtf8InsteadOfLosingCharacters) {
    CtypeLocale locale("C");
    ASSERT_TRUE(locale.Active);
    EXPECT_EQ(LocalTextEncodingName(), QStringLiteral("UTF-8"));
    const QString text = QStringLiteral("Z\u00fcrich \u2603 \x01\x02\x03\r\n");
    EXPECT_EQ(EncodeLocalText(text), text.toUtf8());
    EXPECT_EQ(DecodeLocalText(text.toUtf8()), text);
    // A text that begins with a byte order mark keeps it when written.
    EXPECT_EQ(EncodeLocalText(QStringLiteral("\ufeffx")), QByteArray("\xef\xbb\xbfx"));
    // Appending gives the same bytes, ASCII (copied eight characters at a time, then one by one)
    // or not, wherever the first other character stands.
    const QString lines[] = {QStringLiteral("GO"), text, QString(), QStringLiteral("-- STATUS=OK."),
                             QStringLiteral("ALTER TABLE [dbo].[T1] ADD CONSTRAINT [PK_T1]\r\n\t~\x7f"),
                             QStringLiteral("0123456\u0080"), QStringLiteral("01234567\u00ff"),
                             QStringLiteral("0123456789abcde\u0100x"), QStringLiteral("\u00e9") + QString(20, u'a')};
    QByteArray bytes("log:");
    QByteArray expected("log:");
    for (const QString& line : lines) {
        AppendEncodedLocalText(bytes, line);
        expected += line.toUtf8();
    }
    EXPECT_EQ(bytes, expected);
}

TEST(LocalTextTest, ALatin1LocaleWritesLatin1AndRefusesWhatItCannotHold) {
    CtypeLocale locale("en_US.ISO-8859-1");
    if (!locale.Active) GTEST_SKIP() << "no ISO-8859-1 locale installed";
    EXPECT_EQ(EncodeLocalText(QStringLiteral("Z\u00fcrich")), QByteArray("Z\xfcrich"));
    EXPECT_EQ(DecodeLocalText(QByteArray("Z\xfcrich")), QStringLiteral("Z\u00fcrich"));
    EXPECT_THROW(EncodeLocalText(QStringLiteral("\u2603")), TovimarException);
    QByteArray bytes("x");
    EXPECT_THROW(AppendEncodedLocalText(bytes, QStringLiteral("\u2603")), TovimarException);
    AppendEncodedLocalText(bytes, QStringLiteral("y\u00fc"));
    EXPECT_EQ(bytes, QByteArray("xy\xfc"));
}
