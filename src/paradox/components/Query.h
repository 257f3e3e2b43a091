// The query component of the class library over the engine: one local SQL
// statement run on the tables of a database's folder (see SqlStatement.h for
// the one form the engine runs). It connects to its folder for each run; the
// repair's RunSqlStatement runs its statements on the run's own connection
// instead (RunSqlUpdate).
#ifndef REMDO_PARADOX_COMPONENTS_QUERY_H_
#define REMDO_PARADOX_COMPONENTS_QUERY_H_

#include <cstddef>
#include <string>

namespace remdo::paradox {

class TQuery {
 public:
  // The folder whose tables the statement names.
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(std::string folder) { databaseName_ = std::move(folder); }
  const std::string& SQL() const { return sql_; }
  void SetSQL(std::string text) { sql_ = std::move(text); }

  // Runs the statement (starting the engine when nobody has). Throws
  // EDBEngineError: an invalid folder, and every failure SqlStatement.h
  // lists.
  void ExecSQL();
  // The records the last ExecSQL changed.
  std::size_t RowsAffected() const { return rowsAffected_; }

 private:
  std::string databaseName_;
  std::string sql_;
  std::size_t rowsAffected_ = 0;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_COMPONENTS_QUERY_H_
