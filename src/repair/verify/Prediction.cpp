// Predictions in words and the summary's verdicts.
#include "repair/verify/Prediction.h"

#include <algorithm>

namespace remdo::repair {

namespace {

// The repair would leave the table as it holds its records now.
bool ChangesNothing(const TTableOutcome& outcome) {
  return outcome.ok && !outcome.recreated && !outcome.damageSeen && outcome.refused == 0 && !outcome.indexRecovery &&
         !outcome.merged && outcome.missing == 0;
}

}  // namespace

std::int64_t RecordsWouldBeMissing(const TTableOutcome& outcome) {
  if (outcome.ok && outcome.merged) return 0;
  return std::max<std::int64_t>(0, outcome.missing - outcome.fromIndexes);
}

std::vector<TFinding> PredictionFindings(const TTableOutcome& outcome, bool filesDamaged) {
  std::string what;
  if (outcome.recreated) {
    what = outcome.ok ? "create it anew and refill it from the folder index" : "fail to create it anew";
  } else if (!outcome.ok) {
    what = "fail; the table would stay as it is";
  } else if (outcome.merged) {
    what = "rebuild it and merge from the saved copy";
  } else if (outcome.indexRecovery) {
    what = "rebuild it and recover up to " + CountOf(outcome.fromIndexes, "record") + " from index files";
  } else if (outcome.refused > 0) {
    what = "rebuild it with " + CountOf(outcome.refused, "record") + " refused";
  } else if (ChangesNothing(outcome) && !filesDamaged) {
    what = "change nothing";
  } else {
    what = "rebuild it";
  }
  std::vector<TFinding> findings = {MakeFinding(TFindingCode::kRepairWould, {what})};
  const std::int64_t missing = RecordsWouldBeMissing(outcome);
  if (missing > 0) findings.push_back(MakeFinding(TFindingCode::kRecordsWouldBeMissing, {std::to_string(missing)}));
  return findings;
}

TVerdict JudgeTable(const std::optional<TTableFindings>& findings, const std::optional<TTableOutcome>& outcome) {
  if (findings && findings->unreadable && !(outcome && outcome->ok)) return TVerdict::kUnreadable;
  const bool damaged = !findings || findings->damaged || (outcome && !ChangesNothing(*outcome));
  if (!damaged) return TVerdict::kSound;
  if (outcome) return outcome->ok && RecordsWouldBeMissing(*outcome) == 0 ? TVerdict::kRepairable : TVerdict::kLoss;
  // Without a prediction only what the walk saw decides.
  if (!findings) return TVerdict::kLoss;
  return findings->unreadable ? TVerdict::kUnreadable : TVerdict::kRepairable;
}

std::string_view VerdictName(TVerdict verdict) {
  static_assert(static_cast<int>(TVerdict::kUnreadable) == static_cast<int>(TTableEffect::kUnreadable));
  return EffectName(static_cast<TTableEffect>(verdict));
}

std::string SummaryLine(const std::vector<TVerdict>& verdicts) {
  const auto count = [&verdicts](TVerdict verdict) {
    return std::to_string(std::count(verdicts.begin(), verdicts.end(), verdict));
  };
  return count(TVerdict::kSound) + " sound, " + count(TVerdict::kRepairable) + " damaged and repairable, " +
         count(TVerdict::kLoss) + " damaged with loss, " + count(TVerdict::kUnreadable) + " unreadable.";
}

}  // namespace remdo::repair
