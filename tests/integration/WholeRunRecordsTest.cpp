// Whole repair runs on generated current-layout catalogues damaged in
// several ways at once: the run ends without failures, no record the raw
// reader found in the damaged catalogue is lost (each is in its repaired
// table, among the rejected records or in the kept original files), and
// every table of the data folder afterwards reads back with the raw reader,
// the engine and pxlib (the data file alone for memo tables). The same
// holds when the machine crashes anywhere in a run and the next run goes
// over what it left: every record is in its table, among the rejected
// records, in the kept originals or in the saved copy, and no scratch file
// is left.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "damage/Damage.h"
#include "env/FileCopy.h"
#include "env/FileStream.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Text.h"
#include "generator/CatalogueGenerator.h"
#include "integration/WholeRunFixture.h"
#include "paradox/PxlibReader.h"
#include "paradox/components/Table.h"
#include "paradox/format/PxObject.h"
#include "remdo-table/FolderCompare.h"
#include "repair/AutomaticBackup.h"
#include "support/FaultFileSystem.h"
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

// --- Crashes anywhere in a run ---

// The records the raw reader finds in each table of a folder, by file name.
using TTableRows = std::map<std::string, std::vector<std::string>>;

TTableRows TableRows(const std::string& folder) {
  TTableRows tables;
  for (const auto& entry : env::DefaultFileSystem().Find(folder + "*.db", env::attr::kAnyFile)) {
    std::string error;
    tables[entry.name] = tools::RecordTexts(env::DefaultFileSystem(), folder + entry.name, error);
  }
  return tables;
}

// A table file kept for table (file name "Books.db"): the same name, or the
// name followed by "_2", "_3" ...
bool IsKeptCopy(const std::string& file, const std::string& table) {
  const std::string name = env::UpperCase(file.substr(0, file.size() - 3));
  const std::string base = env::UpperCase(table.substr(0, table.size() - 3));
  if (name == base) return true;
  return name.size() > base.size() + 1 && name.compare(0, base.size(), base) == 0 && name[base.size()] == '_' &&
         name.find_first_not_of("0123456789", base.size() + 1) == std::string::npos;
}

// The records of before found nowhere in the data folder: not in the table,
// nor in its saved copy, nor in a file kept for it in Rejected\<run>\ or
// Rejected\<run>\Original\, as multisets.
std::vector<std::string> LostRecords(const std::string& table, const std::vector<std::string>& before) {
  std::map<std::string, int> counts;
  for (const auto& row : before) ++counts[row];
  auto& fileSystem = env::DefaultFileSystem();
  const auto takeRows = [&](const std::string& path) {
    std::string error;
    for (const auto& row : tools::RecordTexts(fileSystem, path, error)) {
      const auto found = counts.find(row);
      if (found != counts.end() && found->second > 0) --found->second;
    }
  };
  takeRows(kDataFolder + table);
  takeRows(repair::SaveFolder() + table);
  for (const auto& path : test::FilesBelow(kDataFolder + std::string("Rejected\\"), {".db"})) {
    if (IsKeptCopy(std::string(env::NamePart(path)), table)) takeRows(path);
  }
  std::vector<std::string> lost;
  for (const auto& [row, count] : counts) lost.insert(lost.end(), count, row);
  return lost;
}

// Scratch files of a run left in the data folder or the save folder (the
// recovery table and the tables of refused records are kept on purpose).
std::vector<std::string> ScratchFilesLeft() {
  std::vector<std::string> left;
  for (const std::string& folder : {std::string(kDataFolder), repair::SaveFolder()}) {
    for (const char* pattern : {"temptbl1.*", "*.new", "*.~cp", "*.commit"}) {
      for (const auto& entry : env::DefaultFileSystem().Find(folder + pattern, env::attr::kAnyFile)) {
        left.push_back(folder + entry.name);
      }
    }
  }
  return left;
}

// Every file below folder (a trailing separator) by its path below it.
using TFolderFiles = std::map<std::string, std::vector<std::byte>>;

void ReadFiles(const std::string& folder, const std::string& below, TFolderFiles& files) {
  for (const auto& entry : env::DefaultFileSystem().Find(folder + below + "*", env::attr::kDirectory)) {
    if ((entry.attributes & env::attr::kDirectory) != 0) {
      ReadFiles(folder, below + entry.name + "\\", files);
    } else {
      files[below + entry.name] = test::ReadWholeFile(folder + below + entry.name);
    }
  }
}

// The damaged catalogue of the crash runs: a few hundred books in two
// folders, damaged in several ways; generated once, by the first run.
struct TDamagedCatalogue {
  TFolderFiles files;
  TTableRows before;
};

class TCrashedRun : public TDamagedRun {
 public:
  TCrashedRun() {
    static const TDamagedCatalogue damaged = Make();
    for (const auto& [path, bytes] : damaged.files) {
      EXPECT_TRUE(env::MakeFolders(env::DefaultFileSystem(), std::string(env::FolderPart(kDataFolder + path))));
      test::WriteWholeFile(kDataFolder + path, bytes);
    }
    before = damaged.before;
  }

  // Runs the program with the file system stopping at the nth counted call
  // and staying stopped until the process is gone, as after a crash there
  // (boxes shown on the way are answered No); returns the calls counted,
  // all of those of the run when it never got that far.
  long CrashAt(long n) {
    test::TFaultFileSystem faults(files);
    test::TInstalledFileSystem installed(faults);
    const test::TInstalledDialogs quiet(quietDialogs);
    faults.Arm(n, test::TFault::kStop);
    try {
      Start();
    } catch (const std::exception&) {
      // A crash: what the error would have done next never happens.
    }
    Restart();
    failedCall = faults.FailedCall();
    return faults.Calls();
  }

  TTableRows before;
  std::string failedCall;

 private:
  TDamagedCatalogue Make() {
    Generate(200, 2, 31);
    Damage(tools::TDamageKind::kDuplicateKey, "Books", 11);
    Damage(tools::TDamageKind::kTruncatedFile, "Prices", 12);
    Damage(tools::TDamageKind::kZeroedBlock, "BkSeries", 13);
    Damage(tools::TDamageKind::kMissingTable, "Fldr0002", 1);
    Damage(tools::TDamageKind::kStaleIndexes, "Calendar", 15);
    TDamagedCatalogue damaged;
    ReadFiles(kDataFolder, "", damaged.files);
    damaged.before = TableRows(kDataFolder);
    return damaged;
  }
  class TQuietDialogs final : public env::TDialogs {
   public:
    bool Show(const env::TMessageBox& box) override { return !box.IsQuestion(); }
  } quietDialogs;
};

// The stop points: count the calls of an undisturbed run, then spread the
// stop points evenly over them, the first call and the last among them.
std::vector<long> StopPoints(int wanted) {
  TCrashedRun run;
  const long calls = run.CrashAt(LONG_MAX);
  EXPECT_GT(calls, 1000);
  std::vector<long> points;
  for (int i = 0; i < wanted; ++i) {
    const long n = 1 + (calls - 1) * i / std::max(wanted - 1, 1);
    if (points.empty() || points.back() != n) points.push_back(n);
  }
  return points;
}

// After a crash at each stop point, a new run on what is on disk runs to
// its end without failures; no record of the damaged catalogue is lost, no
// scratch file is left, and every table reads back. The loop ends at the
// first stop point that fails, whose trace names the call that failed.
void CrashAtEachStopPoint(int wanted) {
  for (const long n : StopPoints(wanted)) {
    TCrashedRun run;
    run.CrashAt(n);
    SCOPED_TRACE("crash at call " + std::to_string(n) + ": " + run.failedCall);
    EXPECT_NE(run.failedCall, "");  // the crashed run got that far
    run.Start();
    EXPECT_TRUE(run.Logged("All tables completed.")) << ::testing::PrintToString(run.form->LogFileMemo.lines);
    EXPECT_EQ(run.form->RunState.FailureCount, 0);
    for (const auto& [table, rows] : run.before) {
      EXPECT_EQ(LostRecords(table, rows), std::vector<std::string>{}) << table;
    }
    EXPECT_EQ(ScratchFilesLeft(), std::vector<std::string>{});
    ExpectEveryTableReadable(run);
    if (::testing::Test::HasFailure()) break;
  }
}

// 200 crashes spread over the run (labelled long).
TEST(WholeRunCrash, AnyCrashPointLosesNoRecordAndTheNextRunEnds) { CrashAtEachStopPoint(200); }

// Five of them, for the runs that leave out the long tests.
TEST(WholeRunCrash, FiveCrashPointsLoseNoRecordAndTheNextRunEnds) { CrashAtEachStopPoint(5); }

}  // namespace
}  // namespace remdo::app
