// Whole repair runs on generated current-layout catalogues damaged in
// several ways at once: the run ends without failures, no record the raw
// reader found in the damaged catalogue is lost (each is in its repaired
// table, among the rejected records or in the kept original files), and
// every table of the data folder afterwards reads back with the raw reader,
// the engine and pxlib (the data file alone for memo tables).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "damage/Damage.h"
#include "env/FileCopy.h"
#include "env/FileStream.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "generator/CatalogueGenerator.h"
#include "integration/WholeRunFixture.h"
#include "paradox/PxlibReader.h"
#include "paradox/components/Table.h"
#include "paradox/format/PxObject.h"
#include "remdo-table/FolderCompare.h"
#include "repair/AutomaticBackup.h"
#include "support/TestSupport.h"

namespace remdo::app {
namespace {

using test::kDataFolder;
constexpr const char* kBeforeFolder = "C:\\Before\\";

class TDamagedRun : public testing::TWholeRunFixture {
 public:
  void Generate(std::int32_t books, int folders, std::uint64_t seed) {
    tools::TCatalogueOptions options;
    options.books = books;
    options.folders = folders;
    options.memoPerMille = 300;
    options.seed = seed;
    catalogue = tools::GenerateCatalogue(kDataFolder, options);
  }
  void Damage(tools::TDamageKind kind, const std::string& table, std::uint64_t seed) {
    tools::TDamageOptions options;
    options.seed = seed;
    tools::Damage(kind, kDataFolder + table + ".db", options);
  }
  // The data folder's plain files as the run finds them.
  void KeepBefore() {
    auto& fileSystem = env::DefaultFileSystem();
    ASSERT_TRUE(env::MakeFolders(fileSystem, kBeforeFolder));
    for (const auto& entry : fileSystem.Find(kDataFolder + std::string("*"), 0)) {
      test::WriteWholeFile(kBeforeFolder + entry.name, test::ReadWholeFile(kDataFolder + entry.name));
    }
  }
};

// Every table of the data folder reads back: the raw walk without a read
// error and with the header's count, the engine's count, pxlib's.
void ExpectEveryTableReadable(const TDamagedRun& run) {
  for (const auto& entry : env::DefaultFileSystem().Find(kDataFolder + std::string("*.db"), 0)) {
    const std::string path = kDataFolder + entry.name;
    std::string error;
    const auto rows = tools::RecordTexts(env::DefaultFileSystem(), path, error);
    EXPECT_EQ(error, "") << entry.name;
    paradox::TPxObject reader(env::TFileStream(env::DefaultFileSystem(), path, env::TOpenMode::kRead));
    EXPECT_EQ(static_cast<std::size_t>(reader.RecordCount()), rows.size()) << entry.name;

    paradox::TTable table;
    table.SetDatabaseName(kDataFolder);
    table.SetTableName(entry.name);
    table.Open();
    EXPECT_EQ(static_cast<std::size_t>(table.RecordCount()), rows.size()) << entry.name;
    table.Close();

    if (paradox::testing::HavePxlib()) {
      const auto pxlib = paradox::testing::ReadWithPxlib(run.platform.drive.HostRoot() + "FENRO/" + entry.name);
      EXPECT_TRUE(pxlib.has_value()) << "pxlib cannot open " << entry.name;
      if (pxlib) {
        EXPECT_EQ(pxlib->records.size(), rows.size()) << entry.name;
      }
    }
  }
}

TEST(WholeRunRecords, DamagedCatalogueLosesNoRecordAndReadsBack) {
  TDamagedRun run;
  run.Generate(400, 5, 21);
  run.Damage(tools::TDamageKind::kDuplicateKey, "Books", 11);
  run.Damage(tools::TDamageKind::kTruncatedFile, "Prices", 12);
  run.Damage(tools::TDamageKind::kZeroedBlock, "BkSeries", 13);
  run.Damage(tools::TDamageKind::kMissingTable, "Fldr0002", 1);
  ASSERT_TRUE(env::DefaultFileSystem().Remove(repair::SaveFolder() + "Fldr0002.db"));
  run.Damage(tools::TDamageKind::kMissingPrimaryIndex, "AuthX", 1);
  run.Damage(tools::TDamageKind::kReadOnly, "Pubs", 1);
  run.Damage(tools::TDamageKind::kBlockNextLink, "CharX", 14);
  run.Damage(tools::TDamageKind::kStaleIndexes, "Calendar", 15);
  run.KeepBefore();
  run.Start();

  EXPECT_TRUE(run.Logged("All tables completed.")) << ::testing::PrintToString(run.form->LogFileMemo.lines);
  EXPECT_EQ(run.form->RunState.FailureCount, 0);
  const auto comparison = tools::CompareFolders(env::DefaultFileSystem(), kBeforeFolder, kDataFolder);
  for (const auto& table : comparison.tables) {
    EXPECT_EQ(table.lost, 0) << table.name << " " << table.note;
    EXPECT_GE(table.after, 1) << table.name;
  }
  ExpectEveryTableReadable(run);
}

TEST(WholeRunRecords, HealthyCatalogueKeepsEveryRecord) {
  TDamagedRun run;
  run.Generate(300, 3, 22);
  run.KeepBefore();
  run.Start();
  EXPECT_TRUE(run.Logged("All tables completed."));
  const auto comparison = tools::CompareFolders(env::DefaultFileSystem(), kBeforeFolder, kDataFolder);
  for (const auto& table : comparison.tables) {
    EXPECT_EQ(table.after, table.before) << table.name;
    EXPECT_EQ(table.lost + table.recovered + table.rejected + table.original, 0) << table.name;
  }
  EXPECT_TRUE(comparison.keptFiles.empty());
  ExpectEveryTableReadable(run);
}

}  // namespace
}  // namespace remdo::app
