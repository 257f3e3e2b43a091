// The safeguard for every supported driver: the records of every keyed data
// file and every secondary index file the engine wrote are, neighbour by
// neighbour, in the order our comparator gives.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "paradox/SampleWalk.h"
#include "paradox/index/Collation.h"

namespace remdo::paradox {
namespace {

std::vector<std::string> KeyedFiles(const std::string& samples) {
  std::vector<std::string> extensions = {".db"};
  const char digits[] = "0123456789ABCDEF";
  for (const char a : std::string(digits)) {
    for (const char b : std::string(digits)) extensions.push_back(std::string(".x") + a + b);
    extensions.push_back(std::string(".xg") + a);
  }
  return test::FilesBelow(samples, extensions);
}

struct TTally {
  std::size_t files = 0;
  std::size_t pairs = 0;
  std::size_t alphaDecided = 0;  // pairs whose first differing field is alpha
};

// The index of the first field in which two keys differ (fields.size() when
// equal).
std::size_t FirstDifference(const test::TSampleTable& t, std::size_t keyFields, std::span<const std::byte> a,
                            std::span<const std::byte> b) {
  std::size_t offset = 0;
  for (std::size_t f = 0; f < keyFields; ++f) {
    const std::size_t w = t.fields[f].width;
    if (!std::equal(a.begin() + offset, a.begin() + offset + w, b.begin() + offset)) return f;
    offset += w;
  }
  return keyFields;
}

TEST(CollationSamples, EngineWrittenKeysAreInOurOrder) {
  REMDO_SAMPLES_OR_SKIP(samples);
  std::map<std::string, TTally> tally;
  std::size_t unsupported = 0;
  for (const auto& path : KeyedFiles(samples)) {
    const auto t = test::LoadSampleTable(path);
    if (!t || t->keyFields == 0 || t->fileType == 2) continue;
    // A descending composite index (byte 0x55 bit 4) is in reverse order.
    if ((std::to_integer<unsigned>(t->bytes[0x55]) & 0x10) != 0) continue;
    const TCollation* c = t->driverName.empty() ? FindCollationBySortOrder(t->sortOrder) : FindCollation(t->driverName);
    if (!c) {
      ++unsupported;
      continue;
    }
    const std::span<const TKeyField> key(t->fields.data(), t->keyFields);
    TTally& n = tally[c->DriverName()];
    ++n.files;
    for (std::size_t i = 1; i < t->recordOffsets.size(); ++i) {
      const auto a = t->Record(i - 1);
      const auto b = t->Record(i);
      ASSERT_LE(CompareKeys(*c, key, a.data(), b.data()), 0) << path << " record " << i;
      const std::size_t f = FirstDifference(*t, t->keyFields, a, b);
      ++n.pairs;
      if (f < t->keyFields && t->fields[f].type == 1) ++n.alphaDecided;
    }
  }
  for (const auto& [driver, n] : tally) {
    std::printf("%-9s %3zu files %7zu pairs %7zu decided by an alpha field\n", driver.c_str(), n.files, n.pairs,
                n.alphaDecided);
  }
  std::printf("%zu keyed files of drivers without a known order\n", unsupported);
  EXPECT_GE(tally["ascii"].alphaDecided, 120000u);
  EXPECT_GE(tally["DBWINUS0"].alphaDecided, 1000u);
  EXPECT_GE(tally["nordan40"].alphaDecided, 200u);
  EXPECT_GE(tally["ANSII850"].alphaDecided, 20u);
  EXPECT_GE(tally["ANSIINTL"].files, 1u);
}

}  // namespace
}  // namespace remdo::paradox
