#include "repair/verify/FindingTally.h"

#include <algorithm>

namespace remdo::repair {

void TFindingTally::Add(std::string_view file, TFindingCode code, TPlace example, std::size_t amount) {
  if (amount == 0) return;
  auto it = std::find_if(findings_.begin(), findings_.end(),
                         [&](const TFinding& f) { return f.code == code && f.count && f.file == file; });
  if (it == findings_.end()) {
    TFinding finding = MakeFinding(code);
    finding.file = std::string(file);
    finding.count = 0;
    it = findings_.insert(findings_.end(), std::move(finding));
  }
  *it->count += static_cast<std::int64_t>(amount);
  if (example.text.empty()) return;
  if (it->examples.size() < kExamples) {
    it->examples.push_back(std::move(example));
  } else {
    it->examplesLeftOut = true;
  }
}

void TFindingTally::Note(std::string_view file, TFindingCode code, std::vector<std::string> args) {
  TFinding finding = MakeFinding(code, std::move(args));
  finding.file = std::string(file);
  findings_.push_back(std::move(finding));
}

}  // namespace remdo::repair
