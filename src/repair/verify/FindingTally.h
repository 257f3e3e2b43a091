// Findings of a check gathered by kind: each kind becomes one detail line of
// the run log with its count and the first few examples, so that a file
// with thousands of faults still reads in a few lines.
#ifndef REMDO_REPAIR_VERIFY_FINDINGTALLY_H_
#define REMDO_REPAIR_VERIFY_FINDINGTALLY_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace remdo::repair {

class TFindingTally {
 public:
  static constexpr std::size_t kExamples = 3;

  // Counts amount findings of kind `what` about `subject` (a file name);
  // example says where the first of them lies (empty: none to show).
  void Add(std::string_view subject, std::string_view what, std::string example, std::size_t amount = 1);
  // A finding that stands alone, without count.
  void Note(std::string_view subject, std::string_view text);

  bool Empty() const { return kinds_.empty(); }
  // "    Books.PX: entries pointing at no block: 2 (block 70, block 71)",
  // one line a kind, in the order the kinds were first met.
  std::vector<std::string> Lines() const;

 private:
  struct TKind {
    std::string head;  // "Books.PX: entries pointing at no block"
    std::size_t count = 0;
    bool counted = true;
    std::vector<std::string> examples;
    bool examplesLeftOut = false;
  };
  std::vector<TKind> kinds_;
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_VERIFY_FINDINGTALLY_H_
