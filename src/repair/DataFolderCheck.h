// The check of the data folder before the first table: that it holds
// tables at all, and that it and its picture and map subfolders are not
// read-only. The run goes on whatever it finds.
#ifndef REMDO_REPAIR_DATAFOLDERCHECK_H_
#define REMDO_REPAIR_DATAFOLDERCHECK_H_

#include "repair/RepairContext.h"

namespace remdo::repair {

void CheckDataFolder(TRepairContext& context);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_DATAFOLDERCHECK_H_
