#include "app/comparison_session.h"

#include "compare/connection_source_data.h"

SessionPtr MakeComparisonSession(std::shared_ptr<Tovimar_Database> db1, std::shared_ptr<Tovimar_Database> db2,
                                 bool ignoreDataLoss) {
    auto session = std::make_shared<ComparisonSession>();
    session->DB1 = std::move(db1);
    session->DB2 = std::move(db2);
    session->Context.DB1 = session->DB1.get();
    session->Context.DB2 = session->DB2.get();
    session->Context.IgnoreDataLoss = ignoreDataLoss;
    if (session->DB1 && session->DB1->Connection) {
        session->SourceData = std::make_unique<ConnectionSourceData>(session->DB1->Connection);
        session->Context.SourceData = session->SourceData.get();
    }
    return session;
}
