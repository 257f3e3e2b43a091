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

#include "app/AppTestPlatform.h"
#include "app/FormTestSupport.h"
#include "app/MainForm.h"
#include "app/TableSequence.h"
#include "damage/Damage.h"
#include "env/FileCopy.h"
#include "env/FileStream.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "generator/CatalogueGenerator.h"
#include "paradox/PxObject.h"
#include "paradox/Table.h"
#include "remdo-table/FolderCompare.h"
#include "repair/AutomaticBackup.h"
#include "support/PassThroughFileSystem.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#ifdef REMDO_HAVE_PXLIB
extern "C" {
#include <paradox.h>
}
#endif

namespace remdo::app {
namespace {

using test::kDataFolder;
using test::kProgramFolder;
constexpr const char* kBeforeFolder = "C:\\Before\\";

class TDamagedRun {
 public:
  TDamagedRun()
      : installed(dialogs),
        commandLine(kProgramFolder + std::string("FenroRemdo.exe"), {}),
        form(std::make_unique<TMainForm>(commandLine, view, false)) {
    form->SetTableSequence(RepairTableSequence());
  }
  ~TDamagedRun() {
    try {
      if (created) form->FormDestroy();
    } catch (const std::exception& e) {
      ADD_FAILURE() << "FormDestroy: " << e.what();
    }
  }

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
  void Run() {
    form->FormCreate();
    created = true;
    form->FormPaint();
    form->Timer1Timer();
  }
  bool Logged(const std::string& line) const {
    const auto& log = form->LogFileMemo.lines;
    return std::count(log.begin(), log.end(), line) > 0;
  }

  test::TAppPlatform platform;
  test::TPassThroughFileSystem files{platform.drive.fileSystem, false};
  test::TInstalledFileSystem filesInstalled{files};
  test::TScriptedDialogs dialogs;
  test::TInstalledDialogs installed;
  TCommandLine commandLine;
  test::THeadlessView view;
  std::unique_ptr<TMainForm> form;
  tools::TGeneratedCatalogue catalogue;
  bool created = false;
};

// The records pxlib reads from a data file, or -1 when it cannot open it.
long PxlibRecords(const std::string& hostPath) {
#ifdef REMDO_HAVE_PXLIB
  pxdoc_t* doc = PX_new();
  if (doc == nullptr || PX_open_file(doc, hostPath.c_str()) < 0) {
    if (doc != nullptr) PX_delete(doc);
    return -1;
  }
  const int count = PX_get_num_records(doc);
  std::vector<char> data(static_cast<std::size_t>(PX_get_recordsize(doc)));
  long read = 0;
  for (int i = 0; i < count; ++i) {
    if (PX_get_record(doc, i, data.data()) == nullptr) break;
    ++read;
  }
  PX_close(doc);
  PX_delete(doc);
  return read;
#else
  (void)hostPath;
  return -2;
#endif
}

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

    const long pxlib = PxlibRecords(run.platform.drive.HostRoot() + "FENRO/" + entry.name);
    if (pxlib != -2) {
      EXPECT_EQ(pxlib, static_cast<long>(rows.size())) << entry.name;
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
  run.Run();

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
  run.Run();
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
