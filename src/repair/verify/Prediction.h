// What a repair run would do with one table, in words, from the outcome the
// repair's own check recorded on a scratch copy of the data folder; and the
// verdict of the verify-only run's summary.
#ifndef REMDO_REPAIR_VERIFY_PREDICTION_H_
#define REMDO_REPAIR_VERIFY_PREDICTION_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "repair/RunState.h"
#include "repair/verify/TableFindings.h"

namespace remdo::repair {

// Records the table would lack after a repair: those the rebuild could not
// transfer, less those recovered from index files; none after a merge from
// the saved copy, whose records are not counted here.
std::int64_t RecordsWouldBeMissing(const TTableOutcome& outcome);

// "a repair would ..." and, when records would be missing, a second finding
// saying how many. filesDamaged: the table's files hold damage its
// records do not show (a missing or stray index, a broken memo reference),
// which the repair's rebuild mends even where every record stays.
std::vector<TFinding> PredictionFindings(const TTableOutcome& outcome, bool filesDamaged = false);

enum class TVerdict { kSound, kRepairable, kLoss, kUnreadable };

// The verdict on one table. findings is empty for a missing table file;
// outcome is empty when no prediction was made or the repair would not
// check the table.
TVerdict JudgeTable(const std::optional<TTableFindings>& findings, const std::optional<TTableOutcome>& outcome);

// "sound", "repairable", "loss", "unreadable".
std::string_view VerdictName(TVerdict verdict);

// The summary line from the verdicts' counts.
std::string SummaryLine(const std::vector<TVerdict>& verdicts);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_VERIFY_PREDICTION_H_
