#include "sqlsim/server.h"

namespace sqlsim {

struct ServerState {};
struct SessionState { QString database; };

Value Value::Null(int xtype) { Value v; v.xtype_ = xtype; return v; }
Value Value::Int(long long x, int xtype) { Value v; v.kind_ = Kind::Int; v.i_ = x; v.xtype_ = xtype; return v; }
Value Value::Float(double x, int xtype) { Value v; v.kind_ = Kind::Float; v.d_ = x; v.xtype_ = xtype; return v; }
Value Value::Decimal(long long s, int sc, int xtype) { Value v; v.kind_ = Kind::Decimal; v.i_ = s; v.scale_ = sc; v.xtype_ = xtype; return v; }
Value Value::DateTime(const QDateTime& x, int xtype) { Value v; v.kind_ = Kind::DateTime; v.t_ = x; v.xtype_ = xtype; return v; }
Value Value::String(const QString& x, int xtype) { Value v; v.kind_ = Kind::String; v.s_ = x; v.xtype_ = xtype; return v; }
Value Value::Binary(const QByteArray& x, int xtype) { Value v; v.kind_ = Kind::Binary; v.b_ = x; v.xtype_ = xtype; return v; }
long long Value::AsInt() const { return i_; }
double Value::AsDouble() const { return d_; }
QString Value::AsString() const { return s_; }
QByteArray Value::AsBinary() const { return b_; }
QDateTime Value::AsDateTime() const { return t_; }

Session::Session(Server& server, const QString& database) : server_(server), state_(new SessionState{database}) {}
Session::~Session() = default;
BatchResult Session::Execute(const QString&) { return {}; }
BatchResult Session::ExecuteScript(const QString&) { return {}; }
void Session::Cancel() { cancelRequested_ = true; }
QString Session::CurrentDatabase() const { return state_->database; }

Server::Server() : state_(new ServerState) {}
Server::~Server() = default;
std::unique_ptr<Session> Server::Connect(const QString& database) {
    return std::unique_ptr<Session>(new Session(*this, database));
}
QString VersionString() { return QStringLiteral("Microsoft SQL Server  2000 - 8.00.2039 (simulated by sqlsim)"); }

}  // namespace sqlsim
