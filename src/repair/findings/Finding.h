// One finding as a record: its kind's code and what it is about. Text is
// made only where a report is written: FindingLines for the run log's lines,
// FindingsJson.h for the machine-readable report.
#ifndef REMDO_REPAIR_FINDINGS_FINDING_H_
#define REMDO_REPAIR_FINDINGS_FINDING_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "repair/findings/FindingKinds.h"

namespace remdo::repair {

// Where in a file one instance of a finding lies. block and slot are -1
// where they do not apply; text is how the report names the place.
struct TPlace {
  std::string text;
  std::int64_t block = -1;
  std::int64_t slot = -1;

  TPlace() = default;
  TPlace(std::string placeText) : text(std::move(placeText)) {}  // NOLINT: a place known by its text only
  TPlace(std::string placeText, std::int64_t inBlock, std::int64_t inSlot = -1)
      : text(std::move(placeText)), block(inBlock), slot(inSlot) {}
};

struct TFinding {
  TFindingCode code = TFindingCode::kHeaderRecords;
  // The file it is about, for file lines ("Books.PX"); empty for the table.
  std::string file;
  // The text's arguments, in the order of its placeholders.
  std::vector<std::string> args;
  // How many instances, for kinds that count them.
  std::optional<std::int64_t> count;
  // The first few instances.
  std::vector<TPlace> examples;
  bool examplesLeftOut = false;

  const TFindingKind& Kind() const { return KindOf(code); }
};

// A finding that stands alone: code and arguments.
TFinding MakeFinding(TFindingCode code, std::vector<std::string> args = {});

// The kind's text with the finding's arguments in place.
std::string FindingText(const TFinding& finding);

// The run log's lines: a damage line starts with "  -- ", a detail line with
// four blanks; a table line's examples follow on lines of their own, a file
// line carries its count and examples ("Books.PX: entries pointing at no
// block: 2 (block 70, block 71)").
std::vector<std::string> FindingLines(const TFinding& finding);
// Every finding's lines in order.
std::vector<std::string> FindingLines(const std::vector<TFinding>& findings);

// The one line of a finding without examples, as the repair logs it.
std::string FindingLine(TFindingCode code, std::vector<std::string> args = {});

// "1 record", "3 records".
std::string CountOf(std::int64_t n, std::string_view word);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_FINDINGS_FINDING_H_
