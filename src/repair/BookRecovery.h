// Follow-up repairs across tables after the tables themselves are checked:
// book records of Books whose title was lost are filled in again from the
// expanded titles, the reissues and the genres, and the genre records that
// the books call for are made again.
#ifndef REMDO_REPAIR_BOOKRECOVERY_H_
#define REMDO_REPAIR_BOOKRECOVERY_H_

#include "repair/RepairContext.h"

namespace remdo::repair {

// Fills in the Books records whose title is empty. Genre, ExpTitle and
// Reissues are only looked up: one the engine cannot open is left out with
// a line in the log file, and the books that needed Genre or Reissues are
// kept in the run state for the two fills below. An engine error on Books
// itself passes.
void RecoverBooks(TRepairContext& context);
// After Genre's own check: the genre tokens, and after Reissues' own check:
// the reissue date, of the books RecoverBooks could not give them.
void FillAwaitedGenres(TRepairContext& context);
void FillAwaitedReissueDates(TRepairContext& context);
// Appends the Genre records that the fields G0 to G7 of Books call for;
// a Books the engine cannot open gives nothing (a line in the log file).
void RecoverGenres(TRepairContext& context);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_BOOKRECOVERY_H_
