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
    // Appending gives the same bytes, ASCII (encoded in place) or not.
    QByteArray bytes("log:");
    for (const QString& line : {QStringLiteral("GO"), text, QString(), QStringLiteral("-- STATUS=OK.")})
        AppendEncodedLocalText(bytes, line);
    EXPECT_EQ(bytes, "log:GO" + text.toUtf8() + "-- STATUS=OK.");
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
