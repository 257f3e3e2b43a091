// The query component: connects to its folder for the statement's run.
#include "paradox/components/Query.h"

#include "paradox/engine/Engine.h"
#include "paradox/engine/SqlStatement.h"

namespace remdo::paradox {

void TQuery::ExecSQL() {
  rowsAffected_ = 0;
  const TSqlUpdate statement = ParseSqlStatement(sql_);
  TEngineSession& session = TEngineSession::Instance();
  if (!session.Started()) session.Start();
  TDbConnection& database = session.Connect(databaseName_);
  try {
    rowsAffected_ = RunSqlUpdate(database, statement);
  } catch (...) {
    session.Disconnect(database);
    throw;
  }
  session.Disconnect(database);
}

}  // namespace remdo::paradox
