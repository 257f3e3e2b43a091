// The sorting load against a model: keys in random order with repeats,
// spread over many runs, spilled, kept in memory or both, come out once each
// in key order.
#include "paradox/engine/SortingLoad.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "paradox/codes/Coding.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

TEST(SortingLoad, AnswersKeyViolationsAndMergesEveryRunInOrder) {
  // Runs kept in memory: none, the first ten until the load passes its bound, all.
  for (const auto& [keyWidth, keptRuns] : {std::pair{4u, 0u}, {12u, 0u}, {4u, 10u}, {12u, 1000u}}) {
    SCOPED_TRACE(testing::Message() << keyWidth << " " << keptRuns);
    remdo::test::TScratchFolder folder;
    std::set<std::vector<std::byte>> model;
    std::vector<std::vector<std::byte>> records;
    {
      // 16-byte records, runs of 64 records: about 30 runs.
      TSortingLoad load(env::RealFileSystem(), folder / "runs.new", 16, keyWidth, 64 * 16, keptRuns * 64 * 16);
      std::mt19937 random(static_cast<unsigned>(keyWidth));
      for (int i = 0; i < 3000; ++i) {
        std::vector<std::byte> record(16);
        EncodeFieldInteger(record.data() + (keyWidth == 12 ? 8 : 0), static_cast<std::int64_t>(random() % 2500), 4);
        EncodeFieldInteger(record.data() + 12, i, 4);
        const std::vector<std::byte> key(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(keyWidth));
        const bool fresh = model.insert(key).second;
        EXPECT_EQ(load.Add(record), fresh) << i;
        if (fresh) records.push_back(record);
      }
      EXPECT_EQ(load.Count(), model.size());
      EXPECT_EQ(env::RealFileSystem().FileExists(folder / "runs.new"), keptRuns < 30);
      std::vector<std::vector<std::byte>> merged;
      load.Merge([&](std::span<const std::byte> r) { merged.emplace_back(r.begin(), r.end()); });
      std::sort(records.begin(), records.end(), [&](const auto& a, const auto& b) {
        return std::lexicographical_compare(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(keyWidth), b.begin(),
                                            b.begin() + static_cast<std::ptrdiff_t>(keyWidth));
      });
      EXPECT_EQ(merged, records);
    }
    EXPECT_FALSE(env::RealFileSystem().FileExists(folder / "runs.new"));  // the scratch file goes with the load
  }
}

}  // namespace
}  // namespace remdo::paradox
