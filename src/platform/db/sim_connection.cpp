#include "platform/db/sim_connection.h"

#include "platform/tovimar_exception.h"
#include "sqlsim/server.h"
#include "sqlsim/value_ops.h"

int AdoTypeFromXType(int xtype) {
    using namespace sqlsim;
    switch (xtype) {
    case XImage: return AdoType::LongVarBinary;
    case XText: return AdoType::LongVarChar;
    case XUniqueIdentifier: return AdoType::Guid;
    case XTinyInt: return AdoType::UnsignedTinyInt;
    case XSmallInt: return AdoType::SmallInt;
    case XInt: return AdoType::Integer;
    case XSmallDateTime:
    case XDateTime: return AdoType::DBTimeStamp;
    case XReal: return AdoType::Single;
    case XMoney:
    case XSmallMoney: return AdoType::Currency;
    case XFloat: return AdoType::Double;
    case XSqlVariant: return AdoType::Variant;
    case XNText: return AdoType::LongVarWChar;
    case XBit: return AdoType::Boolean;
    case XDecimal:
    case XNumeric: return AdoType::Numeric;
    case XBigInt: return AdoType::BigInt;
    case XVarBinary: return AdoType::VarBinary;
    case XVarChar: return AdoType::VarChar;
    case XBinary:
    case XTimestamp: return AdoType::Binary;
    case XChar: return AdoType::Char;
    case XNVarChar: return AdoType::VarWChar;
    case XNChar: return AdoType::WChar;
    default: return AdoType::Variant;
    }
}

namespace {

// The value of a row being handed over: its text is moved out, not copied.
DbValue ToDbValue(sqlsim::Value& value) {
    using K = sqlsim::Value::Kind;
    switch (value.GetKind()) {
    case K::Null: return DbValue::Null();
    case K::Int:
        if (value.XTypeCode() == sqlsim::XBit) return DbValue::FromBool(value.AsInt() != 0);
        return DbValue::FromInt(value.AsInt());
    case K::Float: return DbValue::FromFloat(value.AsDouble());
    case K::Decimal: {
        const QString text = sqlsim::DecimalText(value.DecimalScaled(), value.DecimalScale());
        if (value.XTypeCode() == sqlsim::XMoney || value.XTypeCode() == sqlsim::XSmallMoney)
            return DbValue::FromCurrency(text);
        return DbValue::FromDecimal(text);
    }
    case K::DateTime: return DbValue::FromDateTime(value.AsDateTime());
    case K::String: return DbValue::FromString(value.TakeText());
    case K::Binary: return DbValue::FromBinary(value.AsBinary());
    }
    return DbValue::Null();
}
}  // namespace

SimConnection::SimConnection(std::shared_ptr<sqlsim::Server> server, const QString& databaseName,
                             const QString& serverName)
    : server_(std::move(server)), databaseName_(databaseName), serverName_(serverName) {
    if (!server_) throw TovimarException(17, QStringLiteral("OpenConnection"), QStringLiteral("SQL Server does not exist or access denied."));
    session_ = server_->Connect(databaseName);
    if (!session_)
        throw TovimarException(4060, QStringLiteral("OpenConnection"),
                               QStringLiteral("Cannot open database requested in login '%1'. Login fails.")
                                   .arg(databaseName));
}

SimConnection::~SimConnection() { JoinWorker(); }

void SimConnection::CancelRunning() { session_->Cancel(); }

// The simulated server keeps a cancel request until a batch has seen it; one that came in after
// the previous batch had ended was meant for that batch, not for this one.
void SimConnection::PrepareRun() { session_->ClearCancel(); }

DbBatchOutcome SimConnection::RunBatch(const QString& sql) {
    sqlsim::BatchResult result = session_->Execute(sql);
    DbBatchOutcome outcome;
    outcome.Cancelled = result.cancelled;
    outcome.RowsAffected = result.rowsAffected;
    for (const sqlsim::Message& message : result.messages) {
        DbError error;
        error.Number = message.number;
        error.Description = message.text;
        error.Informational = message.severity <= 10;
        if (!error.Informational) outcome.Failed = true;
        outcome.Errors.append(error);
    }
    outcome.ResultSets.reserve(result.resultSets.size());
    for (sqlsim::ResultSet& source : result.resultSets) {
        DbResultSet target;
        target.Columns.reserve(source.columns.size());
        for (const sqlsim::ResultColumn& column : source.columns)
            target.Columns.push_back(DbColumn{column.name, AdoTypeFromXType(column.xtype)});
        target.Rows.reserve(source.rows.size());
        for (std::vector<sqlsim::Value>& row : source.rows) {
            std::vector<DbValue> values;
            values.reserve(row.size());
            for (sqlsim::Value& value : row) values.push_back(ToDbValue(value));
            target.Rows.push_back(std::move(values));
            std::vector<sqlsim::Value>().swap(row);  // large results are not held twice
        }
        outcome.ResultSets.push_back(std::move(target));
    }
    return outcome;
}
