// A text dump of a database's catalog and rows, for tests that check that a sequence of changes
// (or a rollback) leaves everything as it was.
#pragma once

#include "sim_test_util.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace simtest {

// The system tables as sorted text lines. With `byName`, object ids are replaced by the names
// of their objects and dates and schema versions are left out, so that objects dropped and
// created again compare equal.
inline QStringList CatalogDump(sqlsim::Session& s, bool byName) {
    QHash<long long, QString> names;
    if (byName) {
        sqlsim::ResultSet o = Query(s, QStringLiteral("SELECT id, name FROM sysobjects"));
        for (const auto& row : o.rows) names.insert(row[0].AsInt(), QStringLiteral("#") + row[1].AsString());
    }
    static const QSet<QString> idColumns = {"id", "parent_obj", "constid", "fkeyid", "rkeyid", "cdefault", "domain", "depid",
                                            "deltrig", "instrig", "updtrig"};
    static const QSet<QString> skipped = {"crdate", "refdate", "createdate", "updatedate", "schema_ver", "base_schema_ver",
                                          "stats_schema_ver", "version", "first", "root", "firstiam"};
    QStringList lines;
    const char* tables[] = {"sysobjects", "syscolumns", "syscomments", "sysindexes", "sysindexkeys", "sysreferences",
                            "sysforeignkeys", "sysusers", "sysmembers", "syspermissions", "sysprotects", "systypes", "sysdepends"};
    for (const char* t : tables) {
        sqlsim::BatchResult r = s.Execute(QStringLiteral("SELECT * FROM ") + QLatin1String(t));
        if (r.resultSets.empty()) continue;
        const sqlsim::ResultSet& rs = r.resultSets[0];
        for (const auto& row : rs.rows) {
            QString line = QLatin1String(t);
            for (size_t c = 0; c < rs.columns.size(); ++c) {
                const QString col = rs.columns[c].name.toLower();
                if (byName && skipped.contains(col)) continue;
                QString v = row[c].IsNull() ? QStringLiteral("NULL") : row[c].AsString();
                if (byName && idColumns.contains(col) && !row[c].IsNull() && names.contains(row[c].AsInt()))
                    v = names.value(row[c].AsInt());
                line += u'|' + col + u'=' + v;
            }
            lines << line;
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Every row of the listed tables, in key order.
inline QStringList RowsDump(sqlsim::Session& s, const QStringList& tables) {
    QStringList lines;
    for (const QString& t : tables) {
        sqlsim::BatchResult r = s.Execute(QStringLiteral("SELECT * FROM ") + t);
        if (r.resultSets.empty()) { lines << t + QStringLiteral(": missing"); continue; }
        for (const auto& row : r.resultSets[0].rows) {
            QString line = t;
            for (const auto& v : row) line += u'|' + (v.IsNull() ? QStringLiteral("NULL") : v.AsString());
            lines << line;
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The first line where two dumps differ, for readable failures.
inline std::string FirstDifference(const QStringList& a, const QStringList& b) {
    for (int i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i]) return (a[i] + QStringLiteral("\n  vs\n") + b[i]).toStdString();
    if (a.size() != b.size()) return "sizes differ: " + std::to_string(a.size()) + " vs " + std::to_string(b.size());
    return std::string();
}

}  // namespace simtest
