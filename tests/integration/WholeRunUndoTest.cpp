// A repair run followed by an undo, on generated catalogues damaged in each
// way the damage tool knows and on a healthy one: every file of the data
// folder (the save folder included) is afterwards byte for byte and
// attribute for attribute as before the repair, and no file the repair
// made is left. An undo stopped at any file-system call leaves every table
// old or new, and the next undo finishes it; a catalogue changed after the
// repair is put back only when the question is answered Yes.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "damage/Damage.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/SystemInfo.h"
#include "env/Text.h"
#include "integration/WholeRunFixture.h"
#include "paradox/family/FamilyCommit.h"
#include "repair/AutomaticBackup.h"
#include "repair/RunKeeping.h"
#include "support/FaultFileSystem.h"
#include "support/TestSupport.h"

namespace remdo::app {
namespace {

using test::kDataFolder;

struct TFileImage {
  std::vector<std::byte> bytes;
  std::uint32_t attributes = 0;
  bool operator==(const TFileImage&) const = default;
};
using TFolderImage = std::map<std::string, TFileImage>;  // by upper-cased path

// The settings files that turning the online options off writes outside
// the data folder.
std::vector<std::string> SettingsFiles() {
  return {env::GetWindowsFolder() + "FENRO.ini", env::GetProgramFolder() + "FENRO1.ini"};
}

// The data folder's files by their paths below it, and the settings files
// that exist by their full paths.
TFolderImage ImageOfDataFolder() {
  auto& fileSystem = env::DefaultFileSystem();
  TFolderImage image;
  for (const auto& path : repair::DataFolderFiles(fileSystem, kDataFolder)) {
    image[env::UpperCase(path)] = {test::ReadWholeFile(kDataFolder + path),
                                   fileSystem.Attributes(kDataFolder + path).value_or(0)};
  }
  for (const auto& path : SettingsFiles()) {
    if (fileSystem.FileExists(path)) image[env::UpperCase(path)] = {test::ReadWholeFile(path), 0};
  }
  return image;
}

// The names of the files whose bytes or attributes differ, or that only
// one image has.
std::vector<std::string> Differences(const TFolderImage& expected, const TFolderImage& actual) {
  std::vector<std::string> names;
  for (const auto& [path, file] : expected) {
    const auto found = actual.find(path);
    if (found == actual.end() || !(found->second == file)) names.push_back(path);
  }
  for (const auto& [path, file] : actual) {
    if (expected.count(path) == 0) names.push_back(path + " (made by the repair)");
  }
  return names;
}

class TUndoneRun : public testing::TWholeRunFixture {
 public:
  // A catalogue whose last backup is a month old, so that the repair's
  // automatic backup replaces the save folder's files.
  explicit TUndoneRun(std::optional<tools::TDamageKind> damage, const std::string& table = "Books") {
    tools::TCatalogueOptions options;
    options.books = 150;
    options.folders = 2;
    options.memoPerMille = 300;
    options.seed = 41;
    catalogue = tools::GenerateCatalogue(kDataFolder, options);
    const auto now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    for (const auto& entry : env::DefaultFileSystem().Find(repair::SaveFolder() + "*", 0)) {
      (void)env::DefaultFileSystem().SetModifiedTime(repair::SaveFolder() + entry.name, now - 30 * 86400);
    }
    if (damage) tools::Damage(*damage, kDataFolder + table + ".db", tools::TDamageOptions{});
    platform.platform.facts.folders[env::TSpecialFolder::kWindows] = "C:\\WINDOWS\\";
    platform.drive.Folder("C:\\WINDOWS\\");
    env::ForgetSystemInfo();
    test::WriteWholeFile(SettingsFiles().front(), std::string_view("[Online]\r\nUpdates=1\r\n"));
    before = ImageOfDataFolder();
  }
  // The repair, with the online options turned off at its end.
  void Repair() {
    RestartWith({"+!"});
    form->TurnOffOnlineOptionsChk.checked = true;
    Start();
    repaired = ImageOfDataFolder();
  }
  void Undo() {
    RestartWith({"UNDO"});
    Start();
  }
  TFolderImage before;
  TFolderImage repaired;
};

struct TDamageCase {
  std::optional<tools::TDamageKind> kind;  // nothing: a healthy catalogue
  std::string table;
  // The manifest lost the lines of the files kept under their own paths,
  // as a crash before their flush loses them.
  bool keptLinesLost = false;
};

void LoseKeptLines(const std::string& manifest) {
  const auto bytes = test::ReadWholeFile(manifest);
  std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size()), kept;
  for (std::size_t at = 0, eol; (eol = text.find("\r\n", at)) != std::string::npos; at = eol + 2) {
    std::string line = text.substr(at, eol - at);
    const std::size_t path = line.find('|') + 1, keptAt = line.find('|', path) + 1;
    const std::string own = "\\Before\\" + line.substr(path, keptAt - 1 - path) + "|";
    if (line.starts_with("kept|") && line.find(own, keptAt) != std::string::npos) {
      line = "listed|" + line.substr(path, keptAt - path) + line.substr(line.find('|', keptAt));
    }
    kept += line + "\r\n";
  }
  test::WriteWholeFile(manifest, kept);
}

// A healthy catalogue, each kind of damage on Books, and records lost from
// BookInfo, whose saved records are merged into it with their memos (its
// memo file is written in place).
std::vector<TDamageCase> DamageCases() {
  std::vector<TDamageCase> cases{{std::nullopt, "Books"}};
  for (const auto kind : tools::AllDamageKinds()) cases.push_back({kind, "Books"});
  cases.push_back({tools::TDamageKind::kTruncatedFile, "BookInfo"});
  return cases;
}

void RepairAndUndoEach(const std::vector<TDamageCase>& cases) {
  for (const auto& damage : cases) {
    SCOPED_TRACE(damage.kind ? std::string(tools::DamageKindName(*damage.kind)) + " " + damage.table : "healthy");
    TUndoneRun run(damage.kind, damage.table);
    run.Repair();
    EXPECT_NE(Differences(run.before, run.repaired), std::vector<std::string>{});
    if (damage.keptLinesLost) LoseKeptLines(kDataFolder + run.form->Repair.RejectedFolderName() + "undo.txt");
    run.Undo();
    EXPECT_TRUE(run.Logged("The run of " + run.form->RunState.UndoneRun + " is undone."))
        << ::testing::PrintToString(run.form->LogFileMemo.lines);
    EXPECT_EQ(Differences(run.before, ImageOfDataFolder()), std::vector<std::string>{});
  }
}

// Every case (labelled long), and three of them: healthy, a table taken
// back, a memo file written in place; and a manifest that lost lines.
TEST(WholeRunUndo, EveryDamageKindIsUndoneToTheLastByte) { RepairAndUndoEach(DamageCases()); }
TEST(WholeRunUndo, ThreeDamageCasesAreUndoneToTheLastByte) {
  const auto cases = DamageCases();
  RepairAndUndoEach(
      {cases.front(), {tools::TDamageKind::kMissingTable, "Books"}, cases.back(), {std::nullopt, "Books", true}});
}

// The catalogue used after the repair: a table written again. Without the
// confirmation nothing changes and the run ends as stopped; with it, the
// repair's files go all the same.
TEST(WholeRunUndo, ChangedAfterTheRepairOnlyWhenConfirmed) {
  for (const bool confirmed : {false, true}) {
    TUndoneRun run(tools::TDamageKind::kDuplicateKey);
    run.Repair();
    auto changed = test::ReadWholeFile(kDataFolder + std::string("Books.db"));
    changed.push_back(std::byte{0});
    test::WriteWholeFile(kDataFolder + std::string("Books.db"), changed);
    const TFolderImage used = ImageOfDataFolder();
    run.dialogs.Answer(confirmed);
    run.Undo();
    ASSERT_FALSE(run.dialogs.Boxes().empty());
    EXPECT_NE(run.dialogs.Boxes().back().text.find("Books"), std::string::npos);
    EXPECT_EQ(Differences(confirmed ? run.before : used, ImageOfDataFolder()), std::vector<std::string>{});
    EXPECT_EQ(run.form->RunState.UndoneRun.empty(), !confirmed);
    // A refused undo ends as stopped by the user, never as a finished one.
    EXPECT_EQ(run.form->RunState.Interrupted, !confirmed);
  }
}

// A crash inside the swap of Books once its new files are in place: the
// next start keeps Books' old files for the run that never ended, and its
// undo puts them back, unless a table is newer and the answer is No.
TEST(WholeRunUndo, ACrashInsideACommitIsUndoneOnlyWhenNotUsedSince) {
  for (const bool usedSince : {false, true}) {
    TUndoneRun run(tools::TDamageKind::kDuplicateKey);
    test::TFaultFileSystem faults(run.files);
    auto installed = std::make_unique<test::TInstalledFileSystem>(faults);
    faults.ArmAtCall("Rename " + std::string(kDataFolder) + "Books.db.old", test::TFault::kStop);
    EXPECT_ANY_THROW(run.Repair());  // the crash
    installed.reset();
    run.Restart();
    const std::string used = kDataFolder + std::string("Books.db");
    if (usedSince) {
      test::WriteWholeFile(used, std::string_view("written by the catalogue"));
      (void)env::DefaultFileSystem().SetModifiedTime(used, *env::DefaultFileSystem().ModifiedTime(used) + 100);
      run.dialogs.Answer(false);
    }
    const auto crashed = test::ReadWholeFile(used);
    run.Undo();
    EXPECT_EQ(run.dialogs.Boxes().empty(), !usedSince);
    EXPECT_EQ(test::ReadWholeFile(used), usedSince ? crashed : run.before.at("BOOKS.DB").bytes);
    if (!usedSince) EXPECT_EQ(Differences(run.before, ImageOfDataFolder()), std::vector<std::string>{});
  }
}

// At a run's start the Before\ folders and manifests of all but the two
// latest earlier runs go, their Original\ folders stay; a drive with less
// free space than the data set keeps nothing for this run.
TEST(WholeRunUndo, EarlierRunsPrunedAndNoKeepingWithoutSpace) {
  for (const bool space : {true, false}) {
    TUndoneRun run(std::nullopt);
    const std::string rejected = kDataFolder + std::string("Rejected\\");
    const std::vector<std::string> earlier{"20200101-000001", "20200101-000002", "20200101-000003"};
    for (const auto& name : earlier) {
      for (const char* file : {"\\Before\\Books.db", "\\Original\\Books.db", "\\undo.txt"}) {
        ASSERT_TRUE(env::MakeFolders(env::DefaultFileSystem(), env::FolderPart(rejected + name + file)));
        test::WriteWholeFile(rejected + name + file, std::string_view("x"));
      }
    }
    if (!space) run.platform.platform.facts.freeBytes["C:\\"] = 1024;
    env::ForgetSystemInfo();
    run.Repair();
    auto& fileSystem = env::DefaultFileSystem();
    EXPECT_EQ(run.Logged("This run cannot be undone: the drive has less free space than the data set."), !space);
    EXPECT_TRUE(run.Logged("    Deleted the files kept for an undo of the run of " + earlier[0] +
                           "; only the last three runs keep theirs."));
    for (const auto& name : earlier) {
      const bool kept = name != earlier[0];
      EXPECT_EQ(fileSystem.FileExists(rejected + name + "\\Before\\Books.db"), kept) << name;
      EXPECT_EQ(fileSystem.FileExists(rejected + name + "\\undo.txt"), kept) << name;
      EXPECT_TRUE(fileSystem.FileExists(rejected + name + "\\Original\\Books.db")) << name;
    }
    const std::string manifest = kDataFolder + run.form->Repair.RejectedFolderName() + "undo.txt";
    EXPECT_EQ(fileSystem.FileExists(manifest), space);
  }
}

// --- An undo stopped at a file-system call ---

// A table's family in an image: its folder and base name ("SAVE\BOOKS").
std::string FamilyOf(const std::string& path) {
  const std::string_view name = env::NamePart(path);
  return std::string(env::FolderPart(path)) + std::string(name.substr(0, name.find('.')));
}

TFolderImage FamilyFiles(const TFolderImage& image, const std::string& family) {
  TFolderImage files;
  for (const auto& [path, file] : image) {
    if (FamilyOf(path) == family && !path.ends_with(".UNDO")) files[path].bytes = file.bytes;
  }
  return files;
}

// The tables whose files are neither all as before the repair nor all as
// after it.
std::vector<std::string> MixedTables(const TFolderImage& before, const TFolderImage& after, const TFolderImage& now) {
  std::set<std::string> families;
  for (const auto* image : {&before, &after, &now}) {
    for (const auto& [path, file] : *image) families.insert(FamilyOf(path));
  }
  std::vector<std::string> mixed;
  for (const auto& family : families) {
    const TFolderImage files = FamilyFiles(now, family);
    if (files != FamilyFiles(before, family) && files != FamilyFiles(after, family)) mixed.push_back(family);
  }
  return mixed;
}

// The whole data folder, Rejected\ included, with the files' times, to go
// back to after each stop.
struct TStoredFile {
  TFileImage image;
  std::int64_t time = 0;
};
std::map<std::string, TStoredFile> EveryFile(const std::string& below = "") {
  std::map<std::string, TStoredFile> files;
  auto& fileSystem = env::DefaultFileSystem();
  for (const auto& entry : fileSystem.Find(kDataFolder + below + "*", env::attr::kAnyFile | env::attr::kDirectory)) {
    const std::string path = below + entry.name;
    if ((entry.attributes & env::attr::kDirectory) != 0) {
      files.merge(EveryFile(path + "\\"));
    } else {
      files[path] = {{test::ReadWholeFile(kDataFolder + path), entry.attributes},
                     fileSystem.ModifiedTime(kDataFolder + path).value_or(0)};
    }
  }
  return files;
}

void PutBack(const std::map<std::string, TStoredFile>& files) {
  auto& fileSystem = env::DefaultFileSystem();
  ASSERT_TRUE(repair::RemoveFolderTree(fileSystem, kDataFolder));
  for (const auto& [path, file] : files) {
    ASSERT_TRUE(env::MakeFolders(fileSystem, env::FolderPart(kDataFolder + path)));
    test::WriteWholeFile(kDataFolder + path, file.image.bytes);
    (void)fileSystem.SetModifiedTime(kDataFolder + path, file.time);
    (void)fileSystem.SetAttributes(kDataFolder + path, file.image.attributes);
  }
}

// Stops an undo at each of wanted calls spread over it, or (wanted 0) at
// every call whose number leaves the remainder shard when divided by
// kShards: every table is old or new once the next start has settled the
// commits, and the next undo puts everything back.
constexpr int kShards = 8;

void StopUndoAtEachCall(long wanted, int shard = 0) {
  TUndoneRun run(tools::TDamageKind::kTruncatedFile, "BookInfo");
  run.Repair();
  const auto repairedFiles = EveryFile();
  // Boxes of the stopped process (a question asked when a file can no
  // longer be read) get No.
  class TQuietDialogs final : public env::TDialogs {
   public:
    bool Show(const env::TMessageBox& box) override { return !box.IsQuestion(); }
  } quietDialogs;
  const auto undoCalls = [&](long stopAt) {
    test::TFaultFileSystem faults(run.files);
    test::TInstalledFileSystem installed(faults);
    const test::TInstalledDialogs quiet(quietDialogs);
    faults.Arm(stopAt, test::TFault::kStop);
    try {
      run.Undo();
    } catch (const std::exception&) {
      // A crash: nothing more of that process happens.
    }
    run.Restart();
    return faults.Calls();
  };
  const long calls = undoCalls(LONG_MAX);
  const long points = wanted == 0 ? calls : wanted;
  for (long i = wanted == 0 ? shard : 0; i < points && !::testing::Test::HasFailure(); i += wanted == 0 ? kShards : 1) {
    const long n = wanted == 0 ? i + 1 : 1 + (calls - 1) * i / std::max(points - 1, 1L);
    SCOPED_TRACE("stopped at call " + std::to_string(n) + " of " + std::to_string(calls));
    PutBack(repairedFiles);
    undoCalls(n);
    std::vector<std::string> warnings;
    (void)paradox::SettleFamilyCommits(env::DefaultFileSystem(), kDataFolder, warnings);
    (void)paradox::SettleFamilyCommits(env::DefaultFileSystem(), repair::SaveFolder(), warnings);
    EXPECT_EQ(MixedTables(run.before, run.repaired, ImageOfDataFolder()), std::vector<std::string>{});
    run.Undo();
    EXPECT_EQ(Differences(run.before, ImageOfDataFolder()), std::vector<std::string>{});
  }
}

// Every call (labelled long), in shards that each keep within the time a
// test may take, and eight calls spread over the undo.
class WholeRunUndoStopShard : public ::testing::TestWithParam<int> {};
TEST_P(WholeRunUndoStopShard, AnyStoppedUndoLeavesTablesOldOrNewAndTheNextFinishes) {
  StopUndoAtEachCall(0, GetParam());
}
INSTANTIATE_TEST_SUITE_P(EveryCall, WholeRunUndoStopShard, ::testing::Range(0, kShards));
TEST(WholeRunUndoStop, EightStoppedUndosLeaveTablesOldOrNewAndTheNextFinishes) { StopUndoAtEachCall(8); }

}  // namespace
}  // namespace remdo::app
