#include "sqlsim/tds_listener.h"

#include "sqlsim/tds_protocol.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>

namespace sqlsim {

namespace {

const QString kServerName = QStringLiteral("SQLSIM");
constexpr qsizetype kMaxMessage = 64 * 1024 * 1024;  // a larger client message ends the connection

struct ClientMessage {
    std::uint8_t type = 0;
    QByteArray payload;
};

bool ReadFull(int fd, char* buffer, size_t size) {
    while (size > 0) {
        const ssize_t got = ::recv(fd, buffer, size, 0);
        if (got <= 0) return false;
        buffer += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

// One whole client message: its packets up to the one flagged end-of-message. An attention
// packet is a message of its own.
bool ReadMessage(int fd, ClientMessage& message) {
    message.payload.clear();
    for (;;) {
        char header[tds::kHeaderSize];
        if (!ReadFull(fd, header, sizeof header)) return false;
        const tds::PacketHeader h = tds::ParseHeader(header);
        if (h.length < tds::kHeaderSize) return false;
        const qsizetype body = h.length - tds::kHeaderSize;
        if (message.payload.size() + body > kMaxMessage) return false;
        message.type = h.type;
        const qsizetype at = message.payload.size();
        message.payload.resize(at + body);
        if (body > 0 && !ReadFull(fd, message.payload.data() + at, static_cast<size_t>(body))) return false;
        if (h.status & 0x01) return true;
    }
}

bool SendAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t sent = ::send(fd, p, left, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        p += sent;
        left -= static_cast<size_t>(sent);
    }
    return true;
}

void SetReceiveTimeout(int fd, int seconds) {
    timeval tv{};
    tv.tv_sec = seconds;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

// Messages read by a connection's reader thread, for its worker. An attention request also
// cancels the running batch at once.
class Inbox {
public:
    void Push(ClientMessage m) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(std::move(m));
        }
        ready_.notify_one();
    }
    void Close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        ready_.notify_one();
    }
    // False once the reader has ended and everything it read was taken.
    bool Pop(ClientMessage& m) {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return closed_ || !queue_.empty(); });
        if (queue_.empty()) return false;
        m = std::move(queue_.front());
        queue_.pop_front();
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<ClientMessage> queue_;
    bool closed_ = false;
};

// The reply to one SQL batch: each result set with its DONE, the messages, the final DONE.
QByteArray BatchReply(const BatchResult& result, int version, const QString& databaseBefore, const QString& databaseAfter) {
    tds::TokenWriter w(version);
    if (databaseAfter.compare(databaseBefore, Qt::CaseSensitive) != 0) {
        w.EnvChange(tds::kEnvDatabase, databaseAfter, databaseBefore);
        w.Message(Message{5701, 0, 1, QStringLiteral("Changed database context to '%1'.").arg(databaseAfter)}, kServerName);
    }
    for (const ResultSet& rs : result.resultSets) {
        if (rs.columns.empty()) continue;
        const std::vector<tds::WireColumn> columns = tds::DescribeColumns(rs);
        w.ColMetadata(columns);
        for (const auto& row : rs.rows) w.Row(columns, row);
        w.Done(tds::kDone, tds::kDoneMore | tds::kDoneCount, rs.rows.size());
    }
    bool error = false;
    for (const Message& m : result.messages) {
        w.Message(m, kServerName);
        error = error || m.severity > 10;
    }
    std::uint16_t status = error ? tds::kDoneError : 0;
    if (result.rowsAffected > 0) status |= tds::kDoneCount;
    w.Done(tds::kDone, status, static_cast<std::uint64_t>(std::max<long long>(result.rowsAffected, 0)));
    return w.Take();
}

}  // namespace

TdsListener::~TdsListener() { Stop(); }

bool TdsListener::Listen(const QString& host, quint16 port, QString* error) {
    addrinfo hints{};
    hints.ai_family = 0;  // IPv4 or IPv6, whichever the host name gives
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const QByteArray hostBytes = host.toUtf8();
    const QByteArray portBytes = QByteArray::number(port);
    const int rc = ::getaddrinfo(hostBytes.constData(), portBytes.constData(), &hints, &found);
    if (rc != 0) {
        if (error) *error = QStringLiteral("cannot resolve %1: %2").arg(host, QString::fromLocal8Bit(gai_strerror(rc)));
        return false;
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
    for (addrinfo* a = found; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 16) == 0) {
            sockaddr_storage bound{};
            socklen_t length = sizeof bound;
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
            port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                      : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
            host_ = host;
            listenFd_ = fd;
            return true;
        }
        ::close(fd);
    }
    if (error) *error = QStringLiteral("cannot listen on %1:%2: %3").arg(host).arg(port).arg(QString::fromLocal8Bit(strerror(errno)));
    return false;
}

QString TdsListener::Address() const { return host_ + QLatin1Char(':') + QString::number(port_); }

void TdsListener::Serve() {
    while (!stop_.load() && listenFd_ >= 0) {
        pollfd p{listenFd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, 200);
        {
            std::lock_guard<std::mutex> lock(connectionsMutex_);
            for (std::thread& t : finished_) t.join();
            finished_.clear();
        }
        if (ready <= 0 || stop_.load()) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const quint16 spid = static_cast<quint16>(nextSpid_.fetch_add(1));
        std::lock_guard<std::mutex> lock(connectionsMutex_);
        connections_.emplace(fd, std::thread([this, fd, spid] {
                                 RunConnection(fd, spid);
                                 std::lock_guard<std::mutex> done(connectionsMutex_);
                                 auto it = connections_.find(fd);
                                 finished_.push_back(std::move(it->second));
                                 connections_.erase(it);
                                 ::close(fd);
                             }));
    }
}

void TdsListener::Stop() {
    stop_.store(true);
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(connectionsMutex_);
        for (auto& [fd, thread] : connections_) ::shutdown(fd, SHUT_RDWR);
    }
    // The connection threads move themselves to finished_ as they end.
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(connectionsMutex_);
            for (std::thread& t : finished_) threads.push_back(std::move(t));
            finished_.clear();
            if (connections_.empty()) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (std::thread& t : threads) t.join();
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
}

void TdsListener::RunConnection(int fd, quint16 spid) {
    int version = 0x701;
    int packetSize = tds::kDefaultPacketSize;
    auto send = [&](const QByteArray& tokens) { return SendAll(fd, tds::Packetize(tds::kTabularResult, tokens, packetSize, spid)); };

    // Pre-login and login, with a time limit so that a silent client does not keep a thread.
    SetReceiveTimeout(fd, 30);
    ClientMessage message;
    if (!ReadMessage(fd, message)) return;
    if (message.type == tds::kPreLogin) {
        const std::optional<QByteArray> reply = tds::PreLoginResponse(message.payload);
        if (!reply || !send(*reply) || !ReadMessage(fd, message)) return;
    }
    if (message.type != tds::kLogin7) return;
    const std::optional<tds::Login7> login = tds::ParseLogin7(message.payload);
    if (!login) return;
    version = tds::NegotiateVersion(login->tdsVersion);
    if (login->packetSize >= 512 && login->packetSize <= 32767) packetSize = static_cast<int>(login->packetSize);

    auto refuse = [&](std::initializer_list<Message> messages) {
        tds::TokenWriter w(version);
        for (const Message& m : messages) w.Message(m, kServerName);
        w.Done(tds::kDone, tds::kDoneError, 0);
        send(w.Take());
    };
    if (login->integratedSecurity) {
        refuse({Message{18452, 14, 1, QStringLiteral("Login failed for user '(null)'. Reason: Not associated with a trusted SQL Server connection.")}});
        return;
    }
    const QString loginFailed = QStringLiteral("Login failed for user '%1'.").arg(login->userName);
    std::unique_ptr<Session> session;
    {
        std::lock_guard<std::mutex> lock(engine_);
        const std::optional<QString> defaultDatabase = server_.CheckLogin(login->userName, login->password);
        if (!defaultDatabase) {
            refuse({Message{18456, 14, 1, loginFailed}});
            return;
        }
        const QString database = login->database.isEmpty() ? *defaultDatabase : login->database;
        session = server_.Connect(database);
        if (!session) {
            refuse({Message{4060, 11, 1, QStringLiteral("Cannot open database requested in login '%1'. Login fails.").arg(database)},
                    Message{18456, 14, 1, loginFailed}});
            return;
        }
    }
    // Ends the session under the engine lock (an open transaction rolls back).
    auto endSession = [&] {
        std::lock_guard<std::mutex> lock(engine_);
        session.reset();
    };

    {
        const QString database = session->CurrentDatabase();
        tds::TokenWriter w(version);
        w.EnvChange(tds::kEnvDatabase, database, QStringLiteral("master"));
        w.Message(Message{5701, 0, 2, QStringLiteral("Changed database context to '%1'.").arg(database)}, kServerName);
        if (version >= 0x701) w.CollationChange();
        w.EnvChange(tds::kEnvLanguage, QStringLiteral("us_english"), QString());
        w.Message(Message{5703, 0, 1, QStringLiteral("Changed language setting to us_english.")}, kServerName);
        w.LoginAck(QStringLiteral("Microsoft SQL Server"));
        w.EnvChange(tds::kEnvPacketSize, QString::number(packetSize), QString::number(packetSize));
        w.Done(tds::kDone, tds::kDoneFinal, 0);
        if (!send(w.Take())) return endSession();
    }
    SetReceiveTimeout(fd, 0);

    // A reader thread takes the client's messages as they come, so that an attention request
    // reaches the running batch.
    Inbox inbox;
    Session* running = session.get();
    std::thread reader([&] {
        ClientMessage m;
        while (ReadMessage(fd, m)) {
            if (m.type == tds::kAttention) running->Cancel();
            inbox.Push(std::move(m));
        }
        running->Cancel();  // the client has gone: stop what runs for it
        inbox.Close();
    });

    while (inbox.Pop(message)) {
        if (message.type == tds::kAttention) {
            // The reply to the cancelled request has ended; acknowledge the attention.
            session->ClearCancel();
            tds::TokenWriter w(version);
            w.Done(tds::kDone, tds::kDoneAttn, 0);
            if (!send(w.Take())) break;
            continue;
        }
        if (message.type != tds::kSqlBatch) {
            tds::TokenWriter w(version);
            w.Message(Message{0, 16, 1, QStringLiteral("This server accepts SQL batches only (request type %1).").arg(message.type)}, kServerName);
            w.Done(tds::kDone, tds::kDoneError, 0);
            if (!send(w.Take())) break;
            continue;
        }
        const std::optional<QString> text = tds::ParseSqlBatch(message.payload, version);
        if (!text) break;
        BatchResult result;
        QString before, after;
        {
            std::lock_guard<std::mutex> lock(engine_);
            before = session->CurrentDatabase();
            result = session->Execute(*text);
            after = session->CurrentDatabase();
        }
        if (!send(BatchReply(result, version, before, after))) break;
        bool fatal = false;
        for (const Message& m : result.messages) fatal = fatal || m.severity >= 20;
        if (fatal) break;  // a severity 20 error ends the connection
    }
    ::shutdown(fd, SHUT_RDWR);
    reader.join();
    endSession();
}

}  // namespace sqlsim
