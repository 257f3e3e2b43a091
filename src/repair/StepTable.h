// A table component opened for one repair step: opened exclusively on a
// folder and table name (and an index, when one is named) when made, and
// closed when the step leaves its scope, also when an error leaves it.
// Close() reports a failure to write the table; the destructor, reached when
// an error is already on its way, swallows it.
#ifndef REMDO_REPAIR_STEPTABLE_H_
#define REMDO_REPAIR_STEPTABLE_H_

#include <string>

#include "env/Errors.h"
#include "paradox/components/Table.h"

namespace remdo::repair {

class TStepTable {
 public:
  // Throws what TTable::Open throws (EDBEngineError).
  TStepTable(paradox::TTable& table, std::string folder, std::string name, std::string indexName = {}) : table_(table) {
    table_.Close();
    table_.SetDatabaseName(std::move(folder));
    table_.SetTableName(std::move(name));
    table_.SetIndexName(std::move(indexName));
    table_.SetExclusive(true);
    table_.Open();
  }
  ~TStepTable() {
    try {
      table_.Close();
    } catch (const env::ERemdoError&) {
    }
  }
  TStepTable(const TStepTable&) = delete;
  TStepTable& operator=(const TStepTable&) = delete;

  void Close() { table_.Close(); }
  paradox::TTable& operator*() const { return table_; }
  paradox::TTable* operator->() const { return &table_; }

 private:
  paradox::TTable& table_;
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_STEPTABLE_H_
