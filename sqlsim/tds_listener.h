// A TDS server in front of a simulated server: real clients (the FreeTDS ODBC driver, tsql,
// other TDS 7.0-7.4 clients) connect over TCP, log in with a SQL Server login and run SQL
// batches. One thread per connection; every call into the simulated server holds one lock, so
// the server sees one batch at a time. No TLS: the pre-login answer says encryption is not
// supported.
#pragma once

#include "sqlsim/server.h"

#include <QString>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

namespace sqlsim {

class TdsListener {
public:
    explicit TdsListener(Server& server) : server_(server) {}
    ~TdsListener();
    TdsListener(const TdsListener&) = delete;
    TdsListener& operator=(const TdsListener&) = delete;

    // Binds HOST:PORT (port 0: a free port) and listens. False with a message on failure.
    bool Listen(const QString& host, quint16 port, QString* error);
    // The address bound, as HOST:PORT with the actual port.
    QString Address() const;
    // Accepts connections until Stop is called (from another thread or a signal-safe place).
    void Serve();
    // Stops accepting, ends every connection and waits for their threads.
    void Stop();

private:
    void RunConnection(int fd, quint16 spid);

    Server& server_;
    std::mutex engine_;  // held for every call into server_ and its sessions
    int listenFd_ = -1;
    QString host_;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> nextSpid_{51};
    std::mutex connectionsMutex_;
    std::map<int, std::thread> connections_;  // by socket
    std::vector<std::thread> finished_;       // ended, waiting to be joined
};

}  // namespace sqlsim
