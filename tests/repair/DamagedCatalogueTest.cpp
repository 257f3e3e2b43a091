// The table check on a generated current-layout catalogue, damaged in one
// way per case with the damage tool: the check's result as its parameters
// make it, no record the raw reader found in the damaged table lost (it is
// in the repaired table, among the rejected records or in the kept original
// files), the other tables untouched, and a repaired table readable by the
// engine, the raw reader and pxlib.
#include <gtest/gtest.h>

#include "damage/Damage.h"
#include "env/FileCopy.h"
#include "env/Path.h"
#include "generator/CatalogueGenerator.h"
#include "remdo-table/FolderCompare.h"
#include "repair/RepairFixture.h"

namespace remdo::repair {
namespace {

using testing::TRepairTest;
using tools::TDamageKind;

// The catalogue of every case, generated into the data folder.
tools::TCatalogueOptions CatalogueOptions() {
  tools::TCatalogueOptions options;
  options.books = 800;
  options.folders = 4;
  options.memoPerMille = 400;
  options.seed = 5;
  return options;
}

// Copies the plain files of folder from into folder to (made when missing).
void CopyFiles(const std::string& from, const std::string& to) {
  auto& fileSystem = env::DefaultFileSystem();
  ASSERT_TRUE(env::MakeFolders(fileSystem, to)) << to;
  for (const auto& entry : fileSystem.Find(from + "*", 0)) {
    test::WriteWholeFile(to + entry.name, test::ReadWholeFile(from + entry.name));
  }
}

struct TDamageCase {
  const char* label;
  TDamageKind kind;
  const char* table;
  // The table's row of the check: structure, tolerance, restore, verify.
  std::int32_t structure;
  std::int32_t tolerance;
  bool restore;
  bool verify;
  bool repaired;  // the check's expected result
};

void PrintTo(const TDamageCase& c, std::ostream* out) { *out << c.label; }

class DamagedCatalogueTest : public TRepairTest, public ::testing::WithParamInterface<TDamageCase> {
 protected:
  void SetUp() override {
    // A data folder without the rejected records of an earlier case.
    test::RemoveTree(Data("Rejected"));
    tools::GenerateCatalogue(test::kDataFolder, CatalogueOptions());
  }
  // The data folder's files as the check finds them.
  test::TScratchFolder before_;
};

TEST_P(DamagedCatalogueTest, NoRecordIsLostAndTheRepairedTableReadsBack) {
  const TDamageCase& c = GetParam();
  const std::string table = c.table;
  tools::TDamageOptions options;
  options.seed = 3;
  const tools::TDamageReport damage = tools::Damage(c.kind, Data(table + ".db"), options);
  CopyFiles(test::kDataFolder, before_.Path());

  const bool repaired = CheckTable(*context, table, table, c.structure, c.tolerance, c.restore, c.verify);
  EXPECT_EQ(repaired, c.repaired) << ::testing::PrintToString(run.FileLines());
  EXPECT_EQ(run.state.FailureCount, repaired ? 0 : 1);

  const tools::TFolderComparison comparison =
      tools::CompareFolders(env::DefaultFileSystem(), before_.Path(), test::kDataFolder);
  for (const auto& row : comparison.tables) {
    EXPECT_EQ(row.lost, 0) << row.name << " " << row.note;
    if (env::SameText(row.name, table)) {
      EXPECT_EQ(row.before, damage.walkableAfter ? damage.recordsAfter : 0);
      if (repaired) {
        EXPECT_GE(row.after + row.rejected, row.before - damage.phantomRecords) << row.name;
      }
    } else {
      EXPECT_EQ(row.after, row.before) << row.name;
      EXPECT_EQ(row.recovered + row.rejected + row.original, 0) << row.name;
    }
  }
  if (repaired) {
    ExpectReadable(table, testing::RawRecords(Data(table + ".db")).size());
    EXPECT_FALSE(Exists("temptbl1.db"));
  }
}

// The catalogue's tables with their rows of the current layout's sequence.
const TDamageCase kCases[] = {
    {"DuplicateKeyInBooks", TDamageKind::kDuplicateKey, "Books", 31, 8, false, false, true},
    {"TruncatedBooksBeyondTolerance", TDamageKind::kTruncatedFile, "Books", 31, 8, false, false, false},
    {"TruncatedPricesRestoredFromSave", TDamageKind::kTruncatedFile, "Prices", 13, 0, true, false, true},
    {"ZeroedBlockInSeriesFromIndexes", TDamageKind::kZeroedBlock, "BkSeries", 28, 0, false, true, true},
    {"MissingPrimaryIndexOfFolderThree", TDamageKind::kMissingPrimaryIndex, "Fldr0003", 22, 7, false, true, true},
    {"DuplicateKeyInFolderTable", TDamageKind::kDuplicateKey, "Fldr0001", 21, 7, false, true, true},
    {"NextLinkOfCharacters", TDamageKind::kBlockNextLink, "CharX", 7, 500, false, false, true},
    {"LastOffsetOfReissues", TDamageKind::kBlockLastOffset, "Reissues", 30, 64, false, false, true},
    {"TrailingPartBlockOfGenres", TDamageKind::kTrailingPartBlock, "Genre", 27, 10240, false, false, true},
    {"HeaderCountOfCalendarTooHigh", TDamageKind::kCountTooHigh, "Calendar", 33, 0, false, true, true},
    {"HeaderCountOfLocalesZero", TDamageKind::kCountZero, "LocNames", 38, 0, true, false, true},
    {"MissingPrimaryIndexOfAuthors", TDamageKind::kMissingPrimaryIndex, "AuthX", 34, 0, false, false, true},
    {"StaleIndexesOfGroupIndexing", TDamageKind::kStaleIndexes, "BookInx", 36, 0, false, true, true},
    {"MissingIndexesOfFolders", TDamageKind::kMissingIndexes, "Folders", 35, 999999, false, false, true},
    {"ReadOnlyPublishers", TDamageKind::kReadOnly, "Pubs", 23, 84, false, false, true},
    {"MissingPersonalNotes", TDamageKind::kMissingTable, "BookInfo", 3, 0, true, false, false},
    {"ForeignFileForImages", TDamageKind::kForeignFile, "Images", 29, 444, false, false, false},
};

INSTANTIATE_TEST_SUITE_P(Kinds, DamagedCatalogueTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace remdo::repair
