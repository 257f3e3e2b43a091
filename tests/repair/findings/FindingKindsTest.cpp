#include <gtest/gtest.h>

#include <set>

#include "repair/findings/Finding.h"
#include "repair/findings/FindingKinds.h"

namespace remdo::repair {
namespace {

// Codes are what scripts read: each appears once, in order, in the hundred
// of its area, with a name of its own and a text whose placeholders are
// numbered from 0 without gaps.
TEST(FindingKinds, CodesAreUniqueOrderedAndInTheirArea) {
  std::set<std::string_view> names;
  int previous = 0;
  for (const TFindingKind& kind : FindingKinds()) {
    const int code = static_cast<int>(kind.code);
    EXPECT_GT(code, previous) << kind.name;
    previous = code;
    EXPECT_EQ(code / 100, static_cast<int>(kind.area) + 1) << kind.name;
    EXPECT_TRUE(names.insert(kind.name).second) << kind.name;
    EXPECT_EQ(&KindOf(kind.code), &kind);
    std::size_t placeholders = 0;
    for (std::size_t at = kind.text.find('{'); at != std::string_view::npos; at = kind.text.find('{', at + 1)) {
      EXPECT_EQ(kind.text[at + 1] - '0', static_cast<int>(placeholders)) << kind.text;
      ++placeholders;
    }
  }
}

// A finding's lines: the prefix its severity gives, arguments in place, a
// count word-formed, and examples inline for a file, on lines of their own
// for a table line.
TEST(FindingKinds, LinesAreMadeFromTheTable) {
  TFinding passed = MakeFinding(TFindingCode::kBlocksPassedOver, {"12"});
  passed.count = 12;
  passed.examples = {TPlace("block 3: every byte zero, no record", 3)};
  passed.examplesLeftOut = true;
  EXPECT_EQ(FindingLines(passed), (std::vector<std::string>{"  -- 12 blocks passed over",
                                                            "     block 3: every byte zero, no record",
                                                            "     and 11 more"}));
  TFinding entries = MakeFinding(TFindingCode::kEntriesPointingAtNoBlock);
  entries.file = "Books.PX";
  entries.count = 2;
  entries.examples = {TPlace("block 70", 70), TPlace("block 71", 71)};
  EXPECT_EQ(FindingLines(entries),
            std::vector<std::string>{"  -- Books.PX: entries pointing at no block of the file: 2 (block 70, block 71)"});
  EXPECT_EQ(FindingLine(TFindingCode::kRecordsNotFound, {"1"}), "  -- 1 record not found");
  EXPECT_EQ(FindingLine(TFindingCode::kKeysOutOfOrder, {"0"}), "    keys out of order  : 0");
  EXPECT_EQ(FindingText(MakeFinding(TFindingCode::kTreeEntryCountDiffers, {"9", "7"})),
            "the header counts 9 entries, the tree holds 7");
}

}  // namespace
}  // namespace remdo::repair
