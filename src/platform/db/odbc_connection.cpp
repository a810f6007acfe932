#include "platform/db/odbc_connection.h"

#include "platform/tovimar_exception.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cstdlib>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC must use 16-bit SQLWCHAR");

namespace {
const QString kSource = QStringLiteral("OdbcConnection");

QString EnvironmentSetting(const char* name) {
    const char* value = std::getenv(name);
    return value ? QString::fromLocal8Bit(value).trimmed() : QString();
}

SQLWCHAR* WideMutable(QString& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }
QString FromWide(const SQLWCHAR* text, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

// Every diagnostic record of a handle, read until SQL_NO_DATA.
QList<OdbcDiagRecord> ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    QList<OdbcDiagRecord> records;
    if (!handle) return records;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[4096];
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, message,
                                            static_cast<SQLSMALLINT>(std::size(message)), &length);
        if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE || rc == SQL_ERROR) break;
        OdbcDiagRecord record;
        record.SqlState = FromWide(state, 5);
        record.NativeError = native;
        const qsizetype available = static_cast<qsizetype>(std::size(message)) - 1;
        record.Message = FromWide(message, qMin<qsizetype>(length, available));
        records.append(record);
    }
    return records;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Settings and the connection string

namespace {
std::mutex storedSettingsMutex;
OdbcSettings storedSettings;
}  // namespace

void SetStoredOdbcSettings(const OdbcSettings& settings) {
    std::lock_guard lock(storedSettingsMutex);
    storedSettings = settings;
}

OdbcSettings CurrentOdbcSettings() {
    OdbcSettings settings;
    {
        std::lock_guard lock(storedSettingsMutex);
        settings = storedSettings;
    }
    const QString driver = EnvironmentSetting("TOVIMAR_ODBC_DRIVER");
    if (!driver.isEmpty()) settings.Driver = driver;
    const QString tds = EnvironmentSetting("TOVIMAR_TDS_VERSION");
    if (!tds.isEmpty()) {
        if (tds.compare(QStringLiteral("auto"), Qt::CaseInsensitive) == 0 ||
            tds.compare(QStringLiteral("none"), Qt::CaseInsensitive) == 0)
            settings.TdsVersion.clear();
        else
            settings.TdsVersion = tds;
    }
    return settings;
}

bool IsFreeTdsDriver(const QString& driver) {
    return driver.contains(QStringLiteral("freetds"), Qt::CaseInsensitive) ||
           driver.contains(QStringLiteral("tdsodbc"), Qt::CaseInsensitive);
}

QString QuoteOdbcValue(const QString& value, bool freeTds) {
    if (value.contains(QChar(0)))
        throw TovimarException(5, kSource, QStringLiteral("A connection value must not contain a NUL character."));
    if (freeTds) {
        // FreeTDS ends the value at the first "};", so such a value cannot be passed.
        if (value.contains(QStringLiteral("};")))
            throw TovimarException(
                5, kSource,
                QStringLiteral("The FreeTDS driver cannot accept a connection value that contains \"};\"."));
        return QLatin1Char('{') + value + QLatin1Char('}');
    }
    QString escaped = value;
    escaped.replace(QLatin1Char('}'), QStringLiteral("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}

QString BuildOdbcConnectionString(const OdbcSettings& settings, const QString& serverName,
                                  const QString& databaseName, const QString& userName,
                                  const QString& password) {
    const bool freeTds = IsFreeTdsDriver(settings.Driver);
    QString text;
    auto add = [&](const char* key, const QString& value) {
        text += QLatin1String(key) + QLatin1Char('=') + QuoteOdbcValue(value, freeTds) + QLatin1Char(';');
    };
    add("DRIVER", settings.Driver);
    add("SERVER", serverName);
    add("DATABASE", databaseName);
    if (userName.isEmpty()) {
        add("Trusted_Connection", QStringLiteral("Yes"));
    } else {
        add("UID", userName);
        add("PWD", password);
    }
    if (!settings.TdsVersion.isEmpty()) add("TDS_Version", settings.TdsVersion);
    return text;
}

// ---------------------------------------------------------------------------------------------
// Diagnostics

DbError MapDiagRecord(const OdbcDiagRecord& record) {
    DbError error;
    error.Number = record.NativeError;
    QString message = record.Message;
    // Drivers put "[vendor][driver][SQL Server]" in front of the server's text.
    qsizetype pos = 0;
    while (pos < message.size() && message.at(pos) == QLatin1Char('[')) {
        const qsizetype close = message.indexOf(QLatin1Char(']'), pos);
        if (close < 0) break;
        pos = close + 1;
    }
    error.Description = message.mid(pos).trimmed();
    error.Informational = record.SqlState.startsWith(QStringLiteral("01"));
    return error;
}

QList<DbError> MapDiagRecords(const QList<OdbcDiagRecord>& records) {
    QList<DbError> errors;
    errors.reserve(records.size());
    for (const OdbcDiagRecord& record : records) errors.append(MapDiagRecord(record));
    return errors;
}

DbError ConnectFailureError(const QList<OdbcDiagRecord>& records) {
    const QList<DbError> errors = MapDiagRecords(records);
    for (const DbError& error : errors)
        if (!error.Informational && error.Number != 0) return error;
    // The driver reports what went wrong (an unknown host, a refused connection) as a notice
    // with its own number next to a general error without one: the notice says more. The
    // notices of a login that got under way (changed database or language) do not.
    for (const DbError& error : errors)
        if (error.Number != 0 && error.Number != 5701 && error.Number != 5703) return error;
    return FirstError(errors);
}

bool IsCancelRecord(const OdbcDiagRecord& record) { return record.SqlState == QStringLiteral("HY008"); }

int AdoTypeFromOdbc(int sqlType, const QString& typeName) {
    const QString name = typeName.trimmed().toLower();
    if (name == QStringLiteral("money") || name == QStringLiteral("smallmoney")) return AdoType::Currency;
    if (name == QStringLiteral("timestamp")) return AdoType::Binary;
    switch (sqlType) {
    case SQL_BIT: return AdoType::Boolean;
    case SQL_TINYINT: return AdoType::UnsignedTinyInt;
    case SQL_SMALLINT: return AdoType::SmallInt;
    case SQL_INTEGER: return AdoType::Integer;
    case SQL_BIGINT: return AdoType::BigInt;
    case SQL_REAL: return AdoType::Single;
    case SQL_FLOAT:
    case SQL_DOUBLE: return AdoType::Double;
    case SQL_DECIMAL:
    case SQL_NUMERIC: return AdoType::Numeric;
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME: return AdoType::DBTimeStamp;
    case SQL_CHAR: return AdoType::Char;
    case SQL_VARCHAR: return AdoType::VarChar;
    case SQL_LONGVARCHAR: return AdoType::LongVarChar;
    case SQL_WCHAR: return AdoType::WChar;
    case SQL_WVARCHAR: return AdoType::VarWChar;
    case SQL_WLONGVARCHAR: return AdoType::LongVarWChar;
    case SQL_BINARY: return AdoType::Binary;
    case SQL_VARBINARY: return AdoType::VarBinary;
    case SQL_LONGVARBINARY: return AdoType::LongVarBinary;
    case SQL_GUID: return AdoType::Guid;
    case -150: return AdoType::Variant;  // SQL_SS_VARIANT
    default: return AdoType::VarWChar;
    }
}

// ---------------------------------------------------------------------------------------------
// Handles

namespace {
// One ODBC handle, freed when it ends.
class OdbcHandle {
public:
    OdbcHandle() = default;
    OdbcHandle(SQLSMALLINT type, SQLHANDLE handle) : type_(type), handle_(handle) {}
    ~OdbcHandle() { Reset(); }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    OdbcHandle(OdbcHandle&& other) noexcept : type_(other.type_), handle_(other.handle_) { other.handle_ = nullptr; }
    OdbcHandle& operator=(OdbcHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            type_ = other.type_;
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }
    SQLHANDLE Get() const { return handle_; }
    void Reset() {
        if (handle_) SQLFreeHandle(type_, handle_);
        handle_ = nullptr;
    }

private:
    SQLSMALLINT type_ = SQL_HANDLE_ENV;
    SQLHANDLE handle_ = nullptr;
};

OdbcHandle Allocate(SQLSMALLINT type, SQLHANDLE parent) {
    SQLHANDLE handle = nullptr;
    const SQLRETURN rc = SQLAllocHandle(type, parent, &handle);
    if (!SQL_SUCCEEDED(rc) || !handle) {
        const SQLSMALLINT parentType = type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
        const DbError error = FirstError(MapDiagRecords(ReadDiagnostics(parentType, parent)));
        throw TovimarException(error.Number, kSource,
                               QStringLiteral("Cannot allocate an ODBC handle: ") + error.Description);
    }
    return OdbcHandle(type, handle);
}
}  // namespace

struct OdbcConnection::Handles {
    OdbcHandle Environment;
    OdbcHandle Connection;
    bool Connected = false;
    std::mutex StatementMutex;  // guards Statement against SQLCancel from the caller's thread
    SQLHSTMT Statement = nullptr;
};

OdbcConnection::OdbcConnection(const QString& serverName, const QString& databaseName,
                               const QString& connectionString)
    : handles_(std::make_unique<Handles>()), serverName_(serverName), databaseName_(databaseName) {
    handles_->Environment = Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(handles_->Environment.Get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    handles_->Connection = Allocate(SQL_HANDLE_DBC, handles_->Environment.Get());
    // An unreachable server fails after 15 seconds instead of hanging (the usual login time-out).
    SQLSetConnectAttr(handles_->Connection.Get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    QString text = connectionString;
    SQLWCHAR out[1024];
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc =
        SQLDriverConnectW(handles_->Connection.Get(), nullptr, WideMutable(text), SQL_NTS, out,
                          static_cast<SQLSMALLINT>(std::size(out)), &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        const QList<OdbcDiagRecord> records = ReadDiagnostics(SQL_HANDLE_DBC, handles_->Connection.Get());
        const DbError error = ConnectFailureError(records);
        throw TovimarException(error.Number, QStringLiteral("OpenConnection"), error.Description);
    }
    handles_->Connected = true;
}

OdbcConnection::~OdbcConnection() {
    JoinWorker();
    std::lock_guard<std::mutex> lock(handles_->StatementMutex);
    if (handles_->Connected) SQLDisconnect(handles_->Connection.Get());
    handles_->Connected = false;
}

void OdbcConnection::CancelRunning() {
    std::lock_guard<std::mutex> lock(handles_->StatementMutex);
    if (handles_->Statement) SQLCancel(handles_->Statement);
}

namespace {
// Reads one column of the current row with SQLGetData, in pieces for long values.
DbValue ReadColumn(SQLHSTMT stmt, SQLUSMALLINT column, int sqlType, int adoType, QList<OdbcDiagRecord>& diagnostics,
                   bool& failed) {
    SQLLEN indicator = 0;
    auto check = [&](SQLRETURN rc) {
        if (rc == SQL_SUCCESS_WITH_INFO || rc == SQL_ERROR) {
            const QList<OdbcDiagRecord> records = ReadDiagnostics(SQL_HANDLE_STMT, stmt);
            for (const OdbcDiagRecord& record : records)
                if (record.SqlState != QStringLiteral("01004")) diagnostics.append(record);  // truncation: read on
        }
        if (rc == SQL_ERROR) failed = true;
        return SQL_SUCCEEDED(rc);
    };
    switch (adoType) {
    case AdoType::Boolean:
    case AdoType::UnsignedTinyInt:
    case AdoType::SmallInt:
    case AdoType::Integer:
    case AdoType::BigInt: {
        SQLBIGINT v = 0;
        if (!check(SQLGetData(stmt, column, SQL_C_SBIGINT, &v, sizeof v, &indicator))) return DbValue::Null();
        if (indicator == SQL_NULL_DATA) return DbValue::Null();
        return adoType == AdoType::Boolean ? DbValue::FromBool(v != 0) : DbValue::FromInt(v);
    }
    case AdoType::Single:
    case AdoType::Double: {
        double v = 0;
        if (!check(SQLGetData(stmt, column, SQL_C_DOUBLE, &v, sizeof v, &indicator))) return DbValue::Null();
        if (indicator == SQL_NULL_DATA) return DbValue::Null();
        return DbValue::FromFloat(v);
    }
    case AdoType::DBTimeStamp: {
        SQL_TIMESTAMP_STRUCT ts{};
        if (!check(SQLGetData(stmt, column, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &indicator)))
            return DbValue::Null();
        if (indicator == SQL_NULL_DATA) return DbValue::Null();
        return DbValue::FromDateTime(QDateTime(QDate(ts.year, ts.month, ts.day),
                                               QTime(ts.hour, ts.minute, ts.second, static_cast<int>(ts.fraction / 1000000))));
    }
    case AdoType::Binary:
    case AdoType::VarBinary:
    case AdoType::LongVarBinary: {
        QByteArray data;
        char buffer[8192];
        for (;;) {
            const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_BINARY, buffer, sizeof buffer, &indicator);
            if (rc == SQL_NO_DATA) break;
            if (!check(rc)) return DbValue::Null();
            if (indicator == SQL_NULL_DATA) return DbValue::Null();
            const qsizetype got = (indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(sizeof buffer))
                                      ? static_cast<qsizetype>(sizeof buffer)
                                      : static_cast<qsizetype>(indicator);
            data.append(buffer, got);
            if (rc == SQL_SUCCESS) break;
        }
        return DbValue::FromBinary(data);
    }
    default: {
        QString text;
        SQLWCHAR buffer[4096];
        const SQLLEN capacity = static_cast<SQLLEN>(sizeof buffer) - static_cast<SQLLEN>(sizeof(SQLWCHAR));
        for (;;) {
            const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
            if (rc == SQL_NO_DATA) break;
            if (!check(rc)) return DbValue::Null();
            if (indicator == SQL_NULL_DATA) return DbValue::Null();
            const SQLLEN bytes = (indicator == SQL_NO_TOTAL || indicator > capacity) ? capacity : indicator;
            text += FromWide(buffer, static_cast<qsizetype>(bytes / static_cast<SQLLEN>(sizeof(SQLWCHAR))));
            if (rc == SQL_SUCCESS) break;
        }
        if (adoType == AdoType::Numeric || adoType == AdoType::Decimal) return DbValue::FromDecimal(text);
        if (adoType == AdoType::Currency) return DbValue::FromCurrency(text);
        (void)sqlType;
        return DbValue::FromString(text);
    }
    }
}
}  // namespace

DbBatchOutcome OdbcConnection::RunBatch(const QString& sql) {
    DbBatchOutcome outcome;
    OdbcHandle statement = Allocate(SQL_HANDLE_STMT, handles_->Connection.Get());
    SQLHSTMT stmt = statement.Get();
    {
        std::lock_guard<std::mutex> lock(handles_->StatementMutex);
        handles_->Statement = stmt;
    }
    QList<OdbcDiagRecord> diagnostics;
    auto collect = [&](SQLRETURN rc) {
        if (rc == SQL_SUCCESS_WITH_INFO || rc == SQL_ERROR) diagnostics.append(ReadDiagnostics(SQL_HANDLE_STMT, stmt));
        if (rc == SQL_ERROR) outcome.Failed = true;
    };

    QString text = sql;
    SQLRETURN rc = SQLExecDirectW(stmt, WideMutable(text), SQL_NTS);
    collect(rc);
    if (rc == SQL_NO_DATA) {
        // The batch's first statement changed no rows; later statements may still have results.
        rc = SQLMoreResults(stmt);
        collect(rc);
    }
    // Walk every result: rows, counts and the messages between them. After an error the
    // following results may still carry messages or rows, so keep going until SQL_NO_DATA.
    for (int guard = 0; rc != SQL_NO_DATA && rc != SQL_INVALID_HANDLE && guard < 1000000; ++guard) {
        if (SQL_SUCCEEDED(rc)) {
            SQLSMALLINT columnCount = 0;
            SQLNumResultCols(stmt, &columnCount);
            if (columnCount > 0) {
                DbResultSet resultSet;
                std::vector<int> sqlTypes;
                for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columnCount); ++c) {
                    SQLWCHAR name[256];
                    SQLSMALLINT nameLength = 0, dataType = 0, digits = 0, nullable = 0;
                    SQLULEN size = 0;
                    SQLDescribeColW(stmt, c, name, static_cast<SQLSMALLINT>(std::size(name)), &nameLength, &dataType,
                                    &size, &digits, &nullable);
                    SQLWCHAR typeName[128];
                    SQLSMALLINT typeNameLength = 0;
                    SQLColAttributeW(stmt, c, SQL_DESC_TYPE_NAME, typeName, sizeof typeName, &typeNameLength, nullptr);
                    const QString type =
                        FromWide(typeName, qMin<qsizetype>(typeNameLength / static_cast<SQLSMALLINT>(sizeof(SQLWCHAR)),
                                                            static_cast<qsizetype>(std::size(typeName)) - 1));
                    resultSet.Columns.push_back(
                        DbColumn{FromWide(name, qMin<qsizetype>(nameLength, static_cast<qsizetype>(std::size(name)) - 1)),
                                 AdoTypeFromOdbc(dataType, type)});
                    sqlTypes.push_back(dataType);
                }
                for (;;) {
                    const SQLRETURN fetch = SQLFetch(stmt);
                    if (fetch == SQL_NO_DATA) break;
                    collect(fetch);
                    if (!SQL_SUCCEEDED(fetch)) break;
                    std::vector<DbValue> row;
                    row.reserve(static_cast<size_t>(columnCount));
                    bool failed = false;
                    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columnCount); ++c)
                        row.push_back(ReadColumn(stmt, c, sqlTypes[c - 1], resultSet.Columns[c - 1].Type, diagnostics,
                                                 failed));
                    if (failed) outcome.Failed = true;
                    resultSet.Rows.push_back(std::move(row));
                }
                outcome.ResultSets.push_back(std::move(resultSet));
            } else {
                SQLLEN count = 0;
                if (SQL_SUCCEEDED(SQLRowCount(stmt, &count)) && count > 0) outcome.RowsAffected += count;
            }
        }
        const qsizetype before = diagnostics.size();
        rc = SQLMoreResults(stmt);
        collect(rc);
        if (rc == SQL_ERROR && diagnostics.size() == before) break;  // a driver that has nothing more to say
    }

    {
        std::lock_guard<std::mutex> lock(handles_->StatementMutex);
        handles_->Statement = nullptr;
        statement.Reset();
    }
    for (const OdbcDiagRecord& record : diagnostics)
        if (IsCancelRecord(record)) outcome.Cancelled = true;
    outcome.Errors = MapDiagRecords(diagnostics);
    for (const DbError& error : outcome.Errors)
        if (!error.Informational) outcome.Failed = true;
    return outcome;
}

std::shared_ptr<DbConnection> OpenConnection(const QString& serverName, const QString& databaseName,
                                             const QString& userName, const QString& password) {
    // A blank name would make the driver try some default server or database instead.
    if (serverName.trimmed().isEmpty() || databaseName.trimmed().isEmpty())
        throw TovimarException(5, QStringLiteral("OpenConnection"),
                               QStringLiteral("You have to specify Server- und Database-Name!"));
    const QString connectionString =
        BuildOdbcConnectionString(CurrentOdbcSettings(), serverName, databaseName, userName, password);
    return std::make_shared<OdbcConnection>(serverName, databaseName, connectionString);
}
