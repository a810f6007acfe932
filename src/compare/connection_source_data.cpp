#include "compare/connection_source_data.h"

#include "platform/db/db_connection.h"
#include "platform/tovimar_exception.h"

SourceRows ConnectionSourceData::Query(const QString& sql) {
    if (!connection_)
        throw TovimarException(3709, QStringLiteral("DataCopySQL"), QStringLiteral("The Source database has no connection"));
    const std::unique_ptr<DbCursor> cursor = connection_->RunQuery(sql);
    SourceRows rows;
    if (!cursor) return rows;
    for (int i = 0; i < cursor->ColumnCount(); ++i) {
        rows.ColumnNames << cursor->ColumnName(i);
        rows.ColumnTypes << cursor->ColumnType(i);
    }
    for (; !cursor->EndOfRows(); cursor->MoveNext()) {
        QList<DbValue> row;
        row.reserve(cursor->ColumnCount());
        for (int i = 0; i < cursor->ColumnCount(); ++i) row << cursor->ValueAt(i);
        rows.Rows << row;
    }
    return rows;
}
