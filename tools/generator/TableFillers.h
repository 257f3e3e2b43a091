// The tables of each layout and the functions that fill them. Each filler
// writes its table's records in ascending key order from the model's facts.
#ifndef REMDO_TOOLS_GENERATOR_TABLEFILLERS_H_
#define REMDO_TOOLS_GENERATOR_TABLEFILLERS_H_

#include <functional>
#include <string_view>
#include <vector>

#include "generator/CatalogueGenerator.h"
#include "generator/CatalogueModel.h"
#include "generator/TableWriter.h"

namespace remdo::paradox {
class TDatabase;
}

namespace remdo::tools {

using TFill = void (*)(TTableWriter& table, const TCatalogueModel& model);

struct TTablePlan {
  std::string_view name;
  int structure;
  TFill fill;
};

// The tables of the layout except the folder tables, in the order of the
// layout's data-set file list.
std::vector<TTablePlan> CurrentLayoutPlan(const TCatalogueOptions& options);
std::vector<TTablePlan> EarlierLayoutPlan();

// Shared by both layouts (structures 3, 7 and 13).
void FillBookInfo(TTableWriter& table, const TCatalogueModel& model);
void FillCharacters(TTableWriter& table, const TCatalogueModel& model);
void FillPrices(TTableWriter& table, const TCatalogueModel& model);

// Writes the folder table of every folder whose table name the filter
// accepts, all in one pass over the books: structure 22 for folder 3 and 21
// for the others in the current layout, 14 in the earlier one (and in the
// current one with earlierFolderTables).
std::vector<TGeneratedTable> WriteFolderTables(paradox::TDatabase& database, const TCatalogueModel& model,
                                               const std::function<bool(std::string_view)>& wanted);

// "Fldr" and the folder number with at least four digits.
std::string FolderTableFileStem(int folder);

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_GENERATOR_TABLEFILLERS_H_
