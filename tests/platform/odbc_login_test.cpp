// What the FreeTDS driver really sends for the connection string OdbcConnection builds: a
// listener on loopback plays the server just far enough to receive the TDS 7.0 login packet,
// and the test reads user name, password and database back out of it. This shows that a ";"
// or "}" in a value reaches the server unchanged and adds no attribute.
#include "platform/db/db_connection.h"
#include "platform/tovimar_exception.h"

#include <QByteArray>
#include <QString>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <sql.h>
#include <sqlext.h>
#include <thread>

namespace {

bool FreeTdsRegistered() {
    SQLHENV env = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return false;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[256], attrs[256];
    SQLSMALLINT nameLength = 0, attrsLength = 0;
    bool found = false;
    for (SQLUSMALLINT dir = SQL_FETCH_FIRST;
         SQL_SUCCEEDED(SQLDrivers(env, dir, name, sizeof name, &nameLength, attrs, sizeof attrs, &attrsLength));
         dir = SQL_FETCH_NEXT)
        if (qstricmp(reinterpret_cast<char*>(name), "FreeTDS") == 0) found = true;
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return found;
}

// Accepts one connection and collects the TDS packets of the first message (up to the packet
// flagged end-of-message), without the 8-byte packet headers.
class LoginCatcher {
public:
    LoginCatcher() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 1) != 0)
            return;
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoginCatcher() {
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) ::close(listener_);
    }
    int Port() const { return port_; }
    QByteArray Message() {
        if (thread_.joinable()) thread_.join();
        return message_;
    }

private:
    static bool ReadFull(int fd, char* buffer, size_t size) {
        while (size > 0) {
            const ssize_t got = ::recv(fd, buffer, size, 0);
            if (got <= 0) return false;
            buffer += got;
            size -= static_cast<size_t>(got);
        }
        return true;
    }
    void Serve() {
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0) return;
        for (;;) {
            char header[8];
            if (!ReadFull(fd, header, sizeof header)) break;
            const int length = (static_cast<unsigned char>(header[2]) << 8) | static_cast<unsigned char>(header[3]);
            if (length < 8) break;
            QByteArray body(length - 8, '\0');
            if (!ReadFull(fd, body.data(), static_cast<size_t>(body.size()))) break;
            message_ += body;
            if (header[1] & 0x01) break;  // end of message
        }
        ::close(fd);  // the driver reports a failed login; we have what we came for
    }

    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    QByteArray message_;
};

// A string of the login packet: offset and length (in characters) at the given place of the
// fixed part, UTF-16LE text.
QString LoginString(const QByteArray& login, int place, bool password = false) {
    auto word = [&](int at) {
        return (static_cast<unsigned char>(login.at(at + 1)) << 8) | static_cast<unsigned char>(login.at(at));
    };
    const int offset = word(place);
    const int chars = word(place + 2);
    QByteArray bytes = login.mid(offset, chars * 2);
    if (password)
        for (char& c : bytes) {
            const unsigned char b = static_cast<unsigned char>(c) ^ 0xA5;
            c = static_cast<char>(((b & 0x0F) << 4) | (b >> 4));
        }
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

TEST(OdbcLogin, ValuesWithSemicolonsAndBracesReachTheServerUnchanged) {
    if (!FreeTdsRegistered()) GTEST_SKIP() << "the FreeTDS ODBC driver is not registered";
    struct Case {
        QString User, Password, Database;
    };
    const Case cases[] = {
        {QStringLiteral("us;er}}x"), QStringLiteral("p}w;DATABASE=master;UID=sa"), QStringLiteral("my;db{x}")},
        {QStringLiteral("{sa}"), QStringLiteral("ends in a brace}"), QStringLiteral("pubs")},
    };
    // TDS 7.0 sends the login packet first thing (no pre-login exchange).
    struct TdsVersion70 {
        TdsVersion70() { ::setenv("TOVIMAR_TDS_VERSION", "7.0", 1); }
        ~TdsVersion70() { ::unsetenv("TOVIMAR_TDS_VERSION"); }
    } tds70;
    for (const Case& c : cases) {
        LoginCatcher catcher;
        ASSERT_GT(catcher.Port(), 0);
        EXPECT_THROW(OpenConnection(QStringLiteral("127.0.0.1,%1").arg(catcher.Port()), c.Database, c.User, c.Password),
                     TovimarException);
        const QByteArray login = catcher.Message();
        ASSERT_GT(login.size(), 94) << "no login packet received";
        EXPECT_EQ(LoginString(login, 40), c.User);
        EXPECT_EQ(LoginString(login, 44, true), c.Password);
        EXPECT_EQ(LoginString(login, 68), c.Database);
    }
}

// Through the real driver manager and FreeTDS: a port nobody listens on fails with a clear error
// instead of hanging or crashing. Blank names are refused before any driver is asked.
TEST(OdbcConnection, UnreachableServerRaisesTheDriversError) {
    for (const auto& [server, database] : {std::pair{" ", "pubs"}, std::pair{"127.0.0.1,1", "\t"}}) {
        try {
            OpenConnection(QLatin1String(server), QLatin1String(database), QString(), QString());
            ADD_FAILURE() << "no error for blank names";
        } catch (const TovimarException& e) {
            EXPECT_EQ(e.Number, 5);
        }
    }
    if (!FreeTdsRegistered()) GTEST_SKIP() << "the FreeTDS ODBC driver is not registered";

    try {
        OpenConnection(QStringLiteral("127.0.0.1,1"), QStringLiteral("pubs"), QStringLiteral("sa"), QStringLiteral("x;y"));
        FAIL() << "expected a connection error";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Source, QStringLiteral("OpenConnection"));
        EXPECT_FALSE(e.Description.isEmpty());
        EXPECT_FALSE(e.Description.startsWith(QLatin1Char('[')));
    }
}

}  // namespace
