// The in-place sort of chunked entries against std::sort of the same
// entries: small and large ranges (the large ones move in place), widths
// under and over eight bytes, few distinct bytes (long runs of equal keys
// that end in a distinct tail, as titles many books share) and many.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "paradox/engine/EntrySort.h"

namespace remdo::paradox {
namespace {

constexpr std::size_t kShift = 12;

TEST(EntrySort, OrdersEntriesAsStdSortDoes) {
  struct TCase {
    std::size_t count;
    std::size_t width;
    std::size_t keyWidth;
    int distinct;  // values a key byte takes, but for its last four
  };
  const TCase cases[] = {{0, 6, 6, 2},       {1, 6, 6, 2},       {31, 10, 8, 256},      {5000, 6, 4, 3},
                         {20000, 30, 28, 2}, {70000, 12, 12, 1}, {300000, 13, 11, 256}, {300000, 7, 7, 4}};
  std::mt19937 random(5);
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << " entries of " << c.width);
    std::vector<std::vector<std::byte>> expected(c.count, std::vector<std::byte>(c.width));
    for (auto& entry : expected) {
      for (std::size_t b = 0; b < c.width; ++b) {
        const bool tail = b + 4 >= c.keyWidth;
        entry[b] = static_cast<std::byte>(tail ? random() % 256 : random() % c.distinct);
      }
    }
    std::vector<std::unique_ptr<std::byte[]>> chunks;
    for (std::size_t i = 0; i < c.count; ++i) {
      if (i % (std::size_t{1} << kShift) == 0) chunks.push_back(std::make_unique<std::byte[]>(c.width << kShift));
      std::memcpy(chunks.back().get() + (i % (std::size_t{1} << kShift)) * c.width, expected[i].data(), c.width);
    }
    SortEntriesByKeyBytes({chunks, kShift, c.width, c.count}, c.keyWidth);
    std::vector<std::vector<std::byte>> sorted;
    for (std::size_t i = 0; i < c.count; ++i) {
      const std::byte* entry = chunks[i >> kShift].get() + (i % (std::size_t{1} << kShift)) * c.width;
      sorted.emplace_back(entry, entry + c.width);
    }
    // Entries of equal keys may come in either order: the sorted ones are
    // a permutation of the given ones, ordered by their keys.
    const auto byKey = [&](const auto& a, const auto& b) { return std::memcmp(a.data(), b.data(), c.keyWidth) < 0; };
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), byKey));
    std::sort(expected.begin(), expected.end());
    std::sort(sorted.begin(), sorted.end());
    EXPECT_TRUE(sorted == expected);
  }
}

}  // namespace
}  // namespace remdo::paradox
