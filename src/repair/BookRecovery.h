// Follow-up repairs across tables after the tables themselves are checked:
// book records of Books whose title was lost are filled in again from the
// expanded titles, the reissues and the genres, and the genre records that
// the books call for are made again.
#ifndef REMDO_REPAIR_BOOKRECOVERY_H_
#define REMDO_REPAIR_BOOKRECOVERY_H_

#include "repair/RepairContext.h"

namespace remdo::repair {

// Fills in the Books records whose title is empty.
void RecoverBooks(TRepairContext& context);
// Appends the Genre records that the fields G0 to G7 of Books call for.
void RecoverGenres(TRepairContext& context);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_BOOKRECOVERY_H_
