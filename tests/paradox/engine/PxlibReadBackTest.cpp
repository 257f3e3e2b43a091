// pxlib reads what the engine writes: records by its own chain walk, and the
// primary index checked against the data file (pxlib follows one or two
// index levels).
#include <gtest/gtest.h>

#include <random>

#include "paradox/EngineFixture.h"
#include "paradox/PxlibReader.h"
#include "paradox/components/Table.h"

namespace remdo::paradox {
namespace {

using testing::Fld;
using testing::Record;

class PxlibReadBack : public testing::TEngineTest {};

struct TShape {
  const char* name;
  int level;
  int blockSize;
  int records;  // inserted in random key order
};

TEST_F(PxlibReadBack, ReadsTablesOfEveryWrittenLevelAndShape) {
  if (!testing::HavePxlib()) GTEST_SKIP() << "pxlib not available";
  const TShape shapes[] = {
      {"empty.db", 4, 2048, 0},          {"one.db", 5, 1024, 1},       {"level4.db", 4, 4096, 700},
      {"level5.db", 5, 8192, 5000},      {"level7.db", 7, 32768, 20000},
      {"twolevels.db", 5, 2048, 60000},  // more data blocks than one index block holds
  };
  std::mt19937 random(7);
  for (const TShape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    TCrTblDesc desc = testing::TableDesc(shape.name, {Fld("Book", 'N'), Fld("Token", 'S'), Fld("Title", 'A', 21)}, 2);
    testing::AddOption(desc, "LEVEL", std::to_string(shape.level));
    testing::AddOption(desc, "BLOCK SIZE", std::to_string(shape.blockSize));
    Create(desc);
    std::vector<int> keys(static_cast<std::size_t>(shape.records));
    for (int i = 0; i < shape.records; ++i) keys[static_cast<std::size_t>(i)] = i;
    std::shuffle(keys.begin(), keys.end(), random);
    TTable table;
    table.SetDatabaseName(folder_.Path());
    table.SetTableName(shape.name);
    table.Open();
    for (const int key : keys) table.AppendRecord({key * 0.5, key % 7, "title " + std::to_string(key)});
    table.Close();
    const auto ours = testing::ReadTableFile(PathOf(shape.name));
    const auto theirs = testing::ReadWithPxlib(PathOf(shape.name), PathOf(std::string(shape.name, 0, std::string(shape.name).size() - 3) + ".PX"));
    ASSERT_TRUE(theirs.has_value());
    EXPECT_EQ(theirs->records, ours.records);
    EXPECT_EQ(static_cast<int>(theirs->records.size()), shape.records);
    if (shape.records > 0) {
      EXPECT_TRUE(theirs->indexAccepted);
    }
  }
}

}  // namespace
}  // namespace remdo::paradox
