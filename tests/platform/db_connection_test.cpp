#include "platform/db/db_connection.h"
#include "platform/db/odbc_connection.h"
#include "platform/tovimar_exception.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>
#include <sql.h>
#include <sqlext.h>

namespace {

OdbcSettings FreeTds() { return OdbcSettings{QStringLiteral("FreeTDS"), QStringLiteral("7.1")}; }

// Every value quoted, the TDS version pinned for FreeTDS; an empty user is an integrated login;
// host,port passes through; other drivers get closing braces doubled. FreeTDS refuses a value it
// cannot carry (Expected null) rather than pass on a broken string.
TEST(OdbcConnectionString, ValuesAreQuotedForTheDriver) {
    const OdbcSettings standard{QStringLiteral("ODBC Driver 17 for SQL Server"), QString()};
    const struct {
        OdbcSettings Settings;
        const char *Server, *Database, *User, *Password, *Expected;
    } cases[] = {
        {FreeTds(), "SRV\\INST", "Sales", "sa", "secret",
         "DRIVER={FreeTDS};SERVER={SRV\\INST};DATABASE={Sales};UID={sa};PWD={secret};TDS_Version={7.1};"},
        {FreeTds(), "db.example.com,1433", "Sales", "", "ignored",
         "DRIVER={FreeTDS};SERVER={db.example.com,1433};DATABASE={Sales};Trusted_Connection={Yes};TDS_Version={7.1};"},
        {standard, "h", "d", "u", "x};y", "DRIVER={ODBC Driver 17 for SQL Server};SERVER={h};DATABASE={d};UID={u};PWD={x}};y};"},
        // Semicolons cannot add attributes; a closing brace not followed by ";" is harmless for FreeTDS.
        {FreeTds(), "h", "d", "u", "a;DATABASE=master;x}b}",
         "DRIVER={FreeTDS};SERVER={h};DATABASE={d};UID={u};PWD={a;DATABASE=master;x}b}};TDS_Version={7.1};"},
        {FreeTds(), "h", "d", "u", "x};DATABASE={master", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Password);
        try {
            EXPECT_EQ(BuildOdbcConnectionString(c.Settings, QString::fromUtf8(c.Server), QString::fromUtf8(c.Database),
                                                QString::fromUtf8(c.User), QString::fromUtf8(c.Password)),
                      QString::fromUtf8(c.Expected));
            EXPECT_NE(c.Expected, nullptr) << "expected an error";
        } catch (const TovimarException& e) {
            EXPECT_EQ(c.Expected, nullptr) << e.Description.toStdString();
            EXPECT_TRUE(e.Description.contains(QStringLiteral("};"))) << e.Description.toStdString();
        }
    }
}

TEST(OdbcConnectionString, DriverIsRecognisedByNameOrLibrary) {
    EXPECT_TRUE(IsFreeTdsDriver(QStringLiteral("freetds")));
    EXPECT_TRUE(IsFreeTdsDriver(QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so")));
    EXPECT_FALSE(IsFreeTdsDriver(QStringLiteral("ODBC Driver 18 for SQL Server")));
}

TEST(OdbcSettingsFromEnvironment, DriverAndTdsVersionCanBeOverridden) {
    ::setenv("TOVIMAR_ODBC_DRIVER", "MyDriver", 1);
    ::setenv("TOVIMAR_TDS_VERSION", "auto", 1);
    const OdbcSettings settings = CurrentOdbcSettings();
    ::unsetenv("TOVIMAR_ODBC_DRIVER");
    ::unsetenv("TOVIMAR_TDS_VERSION");
    EXPECT_EQ(settings.Driver, QStringLiteral("MyDriver"));
    EXPECT_EQ(settings.TdsVersion, QString());
    EXPECT_EQ(CurrentOdbcSettings().Driver, QStringLiteral("FreeTDS"));
    EXPECT_EQ(CurrentOdbcSettings().TdsVersion, QStringLiteral("7.1"));
}

TEST(OdbcDiagnostics, PrefixesAreStrippedAndNoticesMarked) {
    const QList<DbError> errors = MapDiagRecords({
        {QStringLiteral("01000"), 5701, QStringLiteral("[FreeTDS][SQL Server]Changed database context to 'pubs'.")},
        {QStringLiteral("42S02"), 208, QStringLiteral("[FreeTDS][SQL Server]Invalid object name 'nix'.")},
        {QStringLiteral("HY000"), 0, QStringLiteral("plain text [not a prefix]")},
    });
    ASSERT_EQ(errors.size(), 3);
    EXPECT_EQ(errors[0], (DbError{5701, QStringLiteral("Changed database context to 'pubs'."), true}));
    EXPECT_EQ(errors[1], (DbError{208, QStringLiteral("Invalid object name 'nix'."), false}));
    EXPECT_EQ(errors[2].Description, QStringLiteral("plain text [not a prefix]"));
    EXPECT_EQ(FirstError(errors).Number, 208);
}

TEST(OdbcDiagnostics, ConnectFailurePrefersTheRecordWithAServerNumber) {
    const DbError error = ConnectFailureError({
        {QStringLiteral("08001"), 0, QStringLiteral("[unixODBC][FreeTDS][SQL Server]Unable to connect to data source")},
        {QStringLiteral("28000"), 18456, QStringLiteral("[FreeTDS][SQL Server]Login failed for user 'sa'.")},
    });
    EXPECT_EQ(error, (DbError{18456, QStringLiteral("Login failed for user 'sa'."), false}));
    EXPECT_EQ(ConnectFailureError({{QStringLiteral("08001"), 0, QStringLiteral("[FreeTDS]No route")}}).Description,
              QStringLiteral("No route"));
    // An unknown host: the driver's own numbered notice says what happened, not the general error;
    // the notices of a login under way do not.
    EXPECT_EQ(ConnectFailureError({
                  {QStringLiteral("01000"), 5701, QStringLiteral("[FreeTDS][SQL Server]Changed database context to 'master'.")},
                  {QStringLiteral("01000"), 20013, QStringLiteral("[FreeTDS][SQL Server]Unknown host machine name.")},
                  {QStringLiteral("08001"), 0, QStringLiteral("[FreeTDS][SQL Server]Unable to connect to data source")},
              }),
              (DbError{20013, QStringLiteral("Unknown host machine name."), true}));
    EXPECT_TRUE(IsCancelRecord({QStringLiteral("HY008"), 0, QStringLiteral("Operation canceled")}));
}

TEST(OdbcTypes, BinaryAndTimestampColumnsReadAsBinaryForTheDataCopy) {
    EXPECT_EQ(AdoTypeFromOdbc(SQL_BINARY, QStringLiteral("binary")), AdoType::Binary);
    EXPECT_EQ(AdoTypeFromOdbc(SQL_BINARY, QStringLiteral("timestamp")), AdoType::Binary);
    EXPECT_EQ(AdoTypeFromOdbc(SQL_VARBINARY, QStringLiteral("varbinary")), AdoType::VarBinary);
    EXPECT_EQ(AdoTypeFromOdbc(SQL_DECIMAL, QStringLiteral("money")), AdoType::Currency);
    EXPECT_EQ(AdoTypeFromOdbc(SQL_WVARCHAR, QStringLiteral("nvarchar")), AdoType::VarWChar);
    EXPECT_EQ(AdoTypeFromOdbc(SQL_TYPE_TIMESTAMP, QStringLiteral("datetime")), AdoType::DBTimeStamp);
}

TEST(DbCursor, ReadsByNameCaseInsensitivelyAndByPositionAndNamesAnUnknownColumn) {
    DbResultSet rs;
    // Of two columns whose names differ only in case, the first is the one read by either name.
    rs.Columns = {{QStringLiteral("ID"), AdoType::Integer}, {QStringLiteral("Name"), AdoType::VarChar},
                  {QStringLiteral("id"), AdoType::Integer}};
    rs.Rows = {{DbValue::FromInt(1), DbValue::FromString(QStringLiteral("a")), DbValue::FromInt(9)},
               {DbValue::FromInt(2), DbValue::Null(), DbValue::FromInt(9)}};
    DbCursor cursor(std::move(rs));
    ASSERT_FALSE(cursor.EndOfRows());
    EXPECT_EQ(cursor.Value(QStringLiteral("id")).ToInt(), 1);
    EXPECT_EQ(cursor.Value(QStringLiteral("ID")).ToInt(), 1);
    EXPECT_EQ(cursor.Value(QStringLiteral("NAME")).ToString(), QStringLiteral("a"));
    try {
        cursor.Value(QStringLiteral("Missing"));
        ADD_FAILURE() << "no error for an unknown column";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, 3265);
    }
    cursor.MoveNext();
    EXPECT_TRUE(cursor.ValueAt(1).IsNull());
    cursor.MoveNext();
    EXPECT_TRUE(cursor.EndOfRows());
    EXPECT_THROW(cursor.Value(QStringLiteral("ID")), TovimarException);  // past the end
    EXPECT_TRUE(DbCursor().EndOfRows());
}

// A value of every kind survives copies, moves and assignment over a value of another kind, and
// compares equal to the original only (the payload lives in a union switched on the kind).
TEST(DbValue, EveryKindCopiesMovesAndComparesByKindAndPayload) {
    const QDateTime when(QDate(2024, 1, 2), QTime(3, 4, 5));
    const std::vector<std::pair<DbValue, QString>> values = {
        {DbValue(), QString()},
        {DbValue::Null(), QString()},
        {DbValue::FromBool(true), QStringLiteral("True")},
        {DbValue::FromInt(-7), QStringLiteral("-7")},
        {DbValue::FromFloat(2.5), QStringLiteral("2.5")},
        {DbValue::FromCurrency(QStringLiteral("-12.3456")), QStringLiteral("-12.3456")},
        {DbValue::FromDecimal(QStringLiteral("0.050")), QStringLiteral("0.050")},
        {DbValue::FromDateTime(when), QStringLiteral("2024-01-02 03:04:05")},
        {DbValue::FromString(QStringLiteral("text")), QStringLiteral("text")},
        {DbValue::FromBinary(QByteArray("\x01\xAB", 2)), QStringLiteral("0x01AB")},
    };
    for (size_t i = 0; i < values.size(); ++i) {
        const DbValue& original = values[i].first;
        SCOPED_TRACE(values[i].second.toStdString() + " #" + std::to_string(i));
        for (size_t j = 0; j < values.size(); ++j) EXPECT_EQ(original == values[j].first, i == j) << j;
        DbValue copy(original);
        EXPECT_EQ(copy, original);
        EXPECT_EQ(copy.ToString(), values[i].second);
        const DbValue moved(std::move(copy));
        EXPECT_EQ(moved, original);
        for (const auto& [other, text] : values) {
            DbValue target = other;
            target = original;
            EXPECT_EQ(target, original);
            DbValue source = original;
            target = other;
            target = std::move(source);
            EXPECT_EQ(target.ToString(), values[i].second);
        }
        DbValue self = original;
        self = *&self;
        EXPECT_EQ(self, original);
    }
    EXPECT_EQ(DbValue::FromString(QStringLiteral(" 42 ")).ToInt(), 42);
    EXPECT_EQ(DbValue::FromDecimal(QStringLiteral("2.5")).ToInt(), 3);
    EXPECT_EQ(DbValue::FromBool(true).ToInt(), 1);
}

// A connection on a fake server. A batch answers with its own text in one row; one starting with
// FAIL fails with 208, one starting with PRINT also leaves a notice, and BLOCK runs until it is
// cancelled. Start holds a batch back before the server begins it, HandOver after the server has
// finished it (the window in which a late Cancel arrives). The server keeps a cancel request
// until a batch has seen it, as the simulator does.
class FakeConnection : public DbConnection {
public:
    explicit FakeConnection(bool ahead = false) : ahead_(ahead) {}
    ~FakeConnection() override { JoinWorker(); }
    QString ServerName() const override { return QStringLiteral("S"); }
    QString DatabaseName() const override { return QStringLiteral("D"); }
    QStringList Ran() {
        std::lock_guard<std::mutex> lock(ranMutex_);
        return ran_;
    }
    std::atomic<bool> Start{true};
    std::atomic<bool> ServerDone{false};
    std::atomic<bool> HandOver{true};

protected:
    bool RunsQueriesAhead() const override { return ahead_; }
    DbBatchOutcome RunBatch(const QString& sql) override {
        while (!Start.load()) std::this_thread::yield();
        {
            std::lock_guard<std::mutex> lock(ranMutex_);
            ran_.append(sql);
        }
        if (sql == QLatin1String("BLOCK"))
            while (!cancel_.load()) std::this_thread::yield();
        DbBatchOutcome outcome;
        if (cancel_.exchange(false)) {
            outcome.Cancelled = true;
            outcome.Failed = true;
            outcome.Errors.append(DbError{0, QStringLiteral("Operation canceled"), false});
        } else if (sql.startsWith(QLatin1String("FAIL"))) {
            outcome.Failed = true;
            outcome.Errors.append(DbError{208, QStringLiteral("Invalid object name '%1'.").arg(sql), false});
        } else {
            DbResultSet rs;
            rs.Columns = {{QStringLiteral("sql"), AdoType::VarChar}};
            rs.Rows = {{DbValue::FromString(sql)}};
            outcome.ResultSets.push_back(std::move(rs));
            if (sql.startsWith(QLatin1String("PRINT"))) outcome.Errors.append(DbError{0, QStringLiteral("done"), true});
        }
        ServerDone = true;
        while (!HandOver.load()) std::this_thread::yield();
        return outcome;
    }
    void CancelRunning() override { cancel_ = true; }
    void PrepareRun() override { cancel_ = false; }

private:
    const bool ahead_;
    std::atomic<bool> cancel_{false};
    std::mutex ranMutex_;
    QStringList ran_;
};

void WaitUntilRunning(FakeConnection& connection) {
    while (connection.Ran().isEmpty()) std::this_thread::yield();
}

QString Answer(DbConnection& connection, const char* sql) {
    return connection.RunQuery(QLatin1String(sql))->Value(QStringLiteral("sql")).ToString();
}

TEST(DbConnectionAsync, PollCancelAndCollectTheOutcome) {
    FakeConnection connection;
    connection.ExecuteAsync(QStringLiteral("BLOCK"));
    WaitUntilRunning(connection);
    EXPECT_TRUE(connection.IsExecuting());
    // A second statement while one runs is refused, not interleaved.
    EXPECT_THROW(connection.ExecuteSQL(QStringLiteral("SELECT 1")), TovimarException);
    connection.Cancel();
    const DbBatchOutcome outcome = connection.FinishExecute();
    EXPECT_TRUE(outcome.Cancelled);
    EXPECT_FALSE(connection.IsExecuting());
    ASSERT_EQ(connection.Errors().size(), 1);
    EXPECT_EQ(connection.Errors()[0].Description, QStringLiteral("Operation canceled"));

    connection.ExecuteAsync(QStringLiteral("SELECT 2"));
    const DbBatchOutcome second = connection.FinishExecute();
    EXPECT_FALSE(second.Failed);
    ASSERT_EQ(second.ResultSets.size(), 1u);
    EXPECT_EQ(second.ResultSets[0].Rows[0][0].ToString(), QStringLiteral("SELECT 2"));
    // The synchronous calls share the same path and keep notices in the message list.
    EXPECT_TRUE(connection.ExecuteSQL(QStringLiteral("PRINT 3")));
    EXPECT_EQ(connection.Errors().size(), 1);
    EXPECT_TRUE(connection.Errors()[0].Informational);
    EXPECT_EQ(Answer(connection, "SELECT 4"), QStringLiteral("SELECT 4"));
}

TEST(DbConnectionAsync, ACancelAfterTheBatchEndedDoesNotStopTheNextStatement) {
    FakeConnection connection;
    connection.HandOver = false;
    connection.ExecuteAsync(QStringLiteral("UPDATE t SET a = 1"));
    while (!connection.ServerDone.load()) std::this_thread::yield();
    connection.Cancel();  // too late for this batch: the server has finished it
    connection.HandOver = true;
    EXPECT_FALSE(connection.FinishExecute().Cancelled);
    // The rollback that follows a failure must run, not be cancelled by the stale request.
    EXPECT_FALSE(connection.Execute(QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK")).Cancelled);
}

TEST(DbConnectionAsync, ACancelBeforeTheBatchStartsStopsIt) {
    FakeConnection connection;
    for (int i = 0; i < 50; ++i) {
        connection.Start = false;
        connection.ExecuteAsync(QStringLiteral("SELECT 1"));
        connection.Cancel();  // before or while the worker starts the batch: never lost
        connection.Start = true;
        EXPECT_TRUE(connection.FinishExecute().Cancelled) << "run " << i;
    }
}

// Queued queries answer, asked in any order, as each asked on its own: rows, error and message
// list; each runs once. A statement drops what is queued, and so does the end of the connection.
TEST(DbConnectionQueue, QueuedQueriesAnswerAsQueriesAskedOneByOne) {
    FakeConnection connection(true);
    for (const char* sql : {"A", "FAIL B", "C"}) connection.QueueQuery(QLatin1String(sql));
    EXPECT_EQ(Answer(connection, "C"), QStringLiteral("C"));
    EXPECT_EQ(Answer(connection, "D"), QStringLiteral("D"));  // not queued
    try {
        connection.RunQuery(QStringLiteral("FAIL B"));
        ADD_FAILURE() << "no error";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, 208);
        EXPECT_EQ(e.Description, QStringLiteral("Invalid object name 'FAIL B'."));
    }
    EXPECT_EQ(connection.Errors().size(), 1);
    EXPECT_EQ(Answer(connection, "A"), QStringLiteral("A"));
    EXPECT_TRUE(connection.Errors().isEmpty());
    QStringList ran = connection.Ran();
    ran.sort();
    EXPECT_EQ(ran, (QStringList{QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("D"), QStringLiteral("FAIL B")}));

    connection.QueueQuery(QStringLiteral("BLOCK"));
    connection.QueueQuery(QStringLiteral("E"));
    EXPECT_TRUE(connection.ExecuteSQL(QStringLiteral("F")));  // cancels BLOCK, drops E
    EXPECT_EQ(Answer(connection, "E"), QStringLiteral("E"));
    ran = connection.Ran();
    EXPECT_EQ(ran.count(QStringLiteral("E")), 1);
    EXPECT_EQ(ran.mid(ran.size() - 2), (QStringList{QStringLiteral("F"), QStringLiteral("E")}));
}

// Ending the connection stops a running statement and a query run ahead: it must cancel and
// join, not hang or crash.
TEST(DbConnectionAsync, EndingTheConnectionStopsWhatRuns) {
    for (const bool ahead : {false, true}) {
        auto connection = std::make_unique<FakeConnection>(ahead);
        if (ahead)
            connection->QueueQuery(QStringLiteral("BLOCK"));
        else
            connection->ExecuteAsync(QStringLiteral("BLOCK"));
        WaitUntilRunning(*connection);
        connection.reset();
    }
}

}  // namespace
