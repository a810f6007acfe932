// Helpers shared by the simulator tests.
#pragma once

#include "sqlsim/server.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace simtest {

inline QString ReadSample(const char* name) {
    QFile f(QStringLiteral(TOVIMAR_SAMPLES_DIR "/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(f.readAll());
}

inline bool SamplesPresent() {
    return QFile::exists(QStringLiteral(TOVIMAR_SAMPLES_DIR "/instnwnd.sql")) &&
           QFile::exists(QStringLiteral(TOVIMAR_SAMPLES_DIR "/instpubs.sql"));
}

// Messages of severity 11 and more, one per line, for assertion output.
inline QString Errors(const sqlsim::BatchResult& r) {
    QStringList lines;
    for (const auto& m : r.messages)
        if (m.severity >= 11) lines << QStringLiteral("Msg %1, Level %2: %3").arg(m.number).arg(m.severity).arg(m.text);
    return lines.join(u'\n');
}

// A test on one connection to a fresh server, in tempdb unless SetUp says otherwise.
class SessionTest : public ::testing::Test {
protected:
    // Runs a script that must raise no error.
    void Run(const QString& script) {
        ASSERT_EQ(Errors(session_->ExecuteScript(script)).toStdString(), std::string()) << script.left(300).toStdString();
    }
    // The numbers of the errors a batch reports, in order.
    std::vector<int> ErrorNumbers(const QString& sql) {
        std::vector<int> out;
        for (const auto& m : session_->Execute(sql).messages)
            if (m.severity >= 11) out.push_back(m.number);
        return out;
    }
    sqlsim::Server server_;
    std::unique_ptr<sqlsim::Session> session_ = server_.Connect(QStringLiteral("tempdb"));
};

// One server with Northwind and pubs loaded, shared by the tests of a program.
struct Samples {
    sqlsim::Server server;
    sqlsim::BatchResult northwind, pubs;
};
inline Samples* LoadedSamples() {
    static std::unique_ptr<Samples> samples = [] {
        if (!SamplesPresent()) return std::unique_ptr<Samples>();
        auto s = std::make_unique<Samples>();
        auto session = s->server.Connect();
        s->northwind = session->ExecuteScript(ReadSample("instnwnd.sql"));
        s->pubs = session->ExecuteScript(ReadSample("instpubs.sql"));
        return s;
    }();
    return samples.get();
}

inline int Col(const sqlsim::ResultSet& rs, const char* name) {
    for (size_t i = 0; i < rs.columns.size(); ++i)
        if (rs.columns[i].name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    ADD_FAILURE() << "no column " << name;
    return -1;
}

inline QString Text(const sqlsim::ResultSet& rs, size_t row, const char* name) {
    int c = Col(rs, name);
    if (c < 0 || row >= rs.rows.size()) return QStringLiteral("<missing>");
    const sqlsim::Value& v = rs.rows[row][c];
    return v.IsNull() ? QStringLiteral("NULL") : v.AsString();
}

inline long long Int(const sqlsim::ResultSet& rs, size_t row, const char* name) {
    int c = Col(rs, name);
    if (c < 0 || row >= rs.rows.size()) return -99999;
    return rs.rows[row][c].AsInt();
}

// Runs a batch that must succeed and return exactly one result set.
inline sqlsim::ResultSet Query(sqlsim::Session& s, const QString& sql) {
    sqlsim::BatchResult r = s.Execute(sql);
    EXPECT_EQ(Errors(r).toStdString(), std::string()) << sql.left(300).toStdString();
    EXPECT_EQ(r.resultSets.size(), 1u) << sql.left(300).toStdString();
    return r.resultSets.empty() ? sqlsim::ResultSet() : r.resultSets[0];
}

// What a batch gives: "Msg N" for its first error, else the first cell of its first result set
// ("NULL", or "<none>" when there is no row).
inline std::string Outcome(sqlsim::Session& s, const QString& sql) {
    const sqlsim::BatchResult r = s.Execute(sql);
    for (const auto& m : r.messages)
        if (m.severity >= 11) return "Msg " + std::to_string(m.number);
    if (r.resultSets.empty() || r.resultSets[0].rows.empty()) return "<none>";
    const sqlsim::Value& v = r.resultSets[0].rows[0][0];
    return v.IsNull() ? "NULL" : v.AsString().toStdString();
}

// What a query gives for the rows `where` picks: "" all rows, "#N" row N,
// "Col=value,Col=value" the rows with those (trimmed) values. `column` "#rows" is their number;
// "col&mask" a bit of a column; otherwise the column's distinct values in row order, joined by ",".
inline std::string Values(const sqlsim::ResultSet& rs, const QString& where, const QString& column) {
    std::vector<size_t> picked;
    for (size_t i = 0; i < rs.rows.size(); ++i) {
        bool match = true;
        if (where.startsWith(u'#')) match = i == where.mid(1).toUInt();
        else if (!where.isEmpty())
            for (const QString& condition : where.split(u',')) {
                const QString name = condition.section(u'=', 0, 0), value = condition.section(u'=', 1);
                if (Text(rs, i, name.toLatin1().constData()).trimmed() != value) match = false;
            }
        if (match) picked.push_back(i);
    }
    if (column == QLatin1String("#rows")) return std::to_string(picked.size());
    QStringList values;
    for (size_t i : picked) {
        const QString value = column.contains(u'&')
            ? QString::number(Int(rs, i, column.section(u'&', 0, 0).toLatin1().constData()) & column.section(u'&', 1).toLongLong())
            : Text(rs, i, column.toLatin1().constData());
        if (!values.contains(value)) values << value;
    }
    return values.isEmpty() ? "<no row>" : values.join(u',').toStdString();
}

}  // namespace simtest
