// The query component: connects to its folder for the statement's run.
#include "paradox/components/Query.h"

#include "paradox/engine/Engine.h"
#include "paradox/engine/SqlStatement.h"

namespace remdo::paradox {

void TQuery::ExecSQL() {
  rowsAffected_ = 0;
  const TSqlUpdate statement = ParseSqlStatement(sql_);
  const TConnectionLease lease = TEngineSession::Instance().Lease(databaseName_);
  rowsAffected_ = RunSqlUpdate(*lease, statement);
}

}  // namespace remdo::paradox
