#pragma once
// The data copy reads Source rows through the Source database's connection.
#include "compare/generation_context.h"

#include <memory>

class DbConnection;

class ConnectionSourceData : public SourceDataReader {
public:
    explicit ConnectionSourceData(std::shared_ptr<DbConnection> connection) : connection_(std::move(connection)) {}
    // Runs the query and reads its first result set; throws TovimarException when it fails.
    SourceRows Query(const QString& sql) override;

private:
    std::shared_ptr<DbConnection> connection_;
};
