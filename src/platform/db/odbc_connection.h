#pragma once
// DbConnection over unixODBC, normally with the FreeTDS driver.
//
// The connection string is built from the four connection parameters. Every value is enclosed
// in braces and followed by ";" so that a name or password cannot add attributes. Drivers
// differ in how a "}" inside braces is written: standard drivers want it doubled; FreeTDS ends
// a braced value at the first "}" followed by ";" and keeps "}}" as two characters, so for
// FreeTDS the value is written as is and a value holding "};" is refused.
//
// Background execution: FreeTDS has no asynchronous statement mode, so the statement runs on
// a worker thread and Cancel calls SQLCancel from the caller's thread; a mutex keeps that call
// from overlapping the freeing of the statement or the disconnect.
#include "platform/db/db_connection.h"

#include <QList>
#include <QString>
#include <memory>
#include <mutex>

// The settings that shape an ODBC connection.
struct OdbcSettings {
    QString Driver = QStringLiteral("FreeTDS");  // "OdbcDriver"
    QString TdsVersion = QStringLiteral("7.1");  // empty: let the driver negotiate
};

// The settings in force: those the settings store handed over (SetStoredOdbcSettings, else the
// defaults above), overridden by the environment variables TOVIMAR_ODBC_DRIVER and
// TOVIMAR_TDS_VERSION ("auto" or "none" leaves the TDS version to the driver).
OdbcSettings CurrentOdbcSettings();
// The settings the user stored; new connections use them.
void SetStoredOdbcSettings(const OdbcSettings& settings);

// True when the driver name names FreeTDS (its name or its library).
bool IsFreeTdsDriver(const QString& driver);

// "{" + value + "}" by the driver's quoting rules (see above). Throws TovimarException when
// FreeTDS cannot carry the value.
QString QuoteOdbcValue(const QString& value, bool freeTds);

// The complete connection string: DRIVER, SERVER, DATABASE, then UID and PWD, or
// Trusted_Connection when the user name is empty, then TDS_Version when set.
QString BuildOdbcConnectionString(const OdbcSettings& settings, const QString& serverName,
                                  const QString& databaseName, const QString& userName,
                                  const QString& password);

// One diagnostic record as SQLGetDiagRec returns it.
struct OdbcDiagRecord {
    QString SqlState;
    long NativeError = 0;
    QString Message;
};

// The record as the engine reports it: the message without the "[vendor][component]"
// prefixes, informational when the SQLSTATE is of class 01 (warnings and notices).
DbError MapDiagRecord(const OdbcDiagRecord& record);
QList<DbError> MapDiagRecords(const QList<OdbcDiagRecord>& records);
// The entry that describes a failed connect, the most specific first: the first error that
// carries a native number, else the first notice with one (the driver reports an unknown host
// so, next to a general error without a number; 5701 and 5703 aside), else the first error,
// else the first record.
DbError ConnectFailureError(const QList<OdbcDiagRecord>& records);
// True when the record reports a cancelled operation (SQLSTATE HY008).
bool IsCancelRecord(const OdbcDiagRecord& record);

// The ADO type code of an ODBC column (SQL type and the server's type name).
int AdoTypeFromOdbc(int sqlType, const QString& typeName);

class OdbcConnection : public DbConnection {
public:
    // Connects; throws TovimarException with the driver's native error and description.
    OdbcConnection(const QString& serverName, const QString& databaseName, const QString& connectionString);
    ~OdbcConnection() override;

    QString ServerName() const override { return serverName_; }
    QString DatabaseName() const override { return databaseName_; }

protected:
    DbBatchOutcome RunBatch(const QString& sql) override;
    void CancelRunning() override;

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
    QString serverName_;
    QString databaseName_;
};
