#include "repair/verify/FindingTally.h"

#include <algorithm>

namespace remdo::repair {

namespace {
// Detail lines of the run log start with four blanks.
constexpr std::string_view kIndent = "    ";
}  // namespace

void TFindingTally::Add(std::string_view subject, std::string_view what, std::string example, std::size_t amount) {
  if (amount == 0) return;
  const std::string head = std::string(subject) + ": " + std::string(what);
  auto it = std::find_if(kinds_.begin(), kinds_.end(), [&](const TKind& k) { return k.head == head; });
  if (it == kinds_.end()) it = kinds_.insert(kinds_.end(), TKind{head, 0, true, {}, false});
  it->count += amount;
  if (example.empty()) return;
  if (it->examples.size() < kExamples) {
    it->examples.push_back(std::move(example));
  } else {
    it->examplesLeftOut = true;
  }
}

void TFindingTally::Note(std::string_view subject, std::string_view text) {
  kinds_.push_back({std::string(subject) + ": " + std::string(text), 1, false, {}, false});
}

std::vector<std::string> TFindingTally::Lines() const {
  std::vector<std::string> lines;
  for (const TKind& kind : kinds_) {
    std::string line = std::string(kIndent) + kind.head;
    if (kind.counted) line += ": " + std::to_string(kind.count);
    if (!kind.examples.empty()) {
      line += " (";
      for (std::size_t i = 0; i < kind.examples.size(); ++i) line += (i > 0 ? ", " : "") + kind.examples[i];
      line += kind.examplesLeftOut ? ", ...)" : ")";
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace remdo::repair
