// Findings of a check gathered by kind and file: each becomes one record
// with its count and the first few examples, so that a file with thousands
// of faults still reads in a few lines.
#ifndef REMDO_REPAIR_VERIFY_FINDINGTALLY_H_
#define REMDO_REPAIR_VERIFY_FINDINGTALLY_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "repair/findings/Finding.h"

namespace remdo::repair {

class TFindingTally {
 public:
  static constexpr std::size_t kExamples = 3;

  // Counts amount findings of kind code about file; example says where the
  // first of them lies (empty text: none to show).
  void Add(std::string_view file, TFindingCode code, TPlace example, std::size_t amount = 1);
  // A finding that stands alone, without count.
  void Note(std::string_view file, TFindingCode code, std::vector<std::string> args = {});

  bool Empty() const { return findings_.empty(); }
  // In the order the kinds were first met.
  const std::vector<TFinding>& Findings() const { return findings_; }

 private:
  std::vector<TFinding> findings_;
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_VERIFY_FINDINGTALLY_H_
