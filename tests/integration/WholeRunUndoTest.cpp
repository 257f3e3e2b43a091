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
#include <string>
#include <vector>

#include "damage/Damage.h"
#include "env/FileSystem.h"
#include "env/Path.h"
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

TFolderImage ImageOfDataFolder() {
  auto& fileSystem = env::DefaultFileSystem();
  TFolderImage image;
  for (const auto& path : repair::DataFolderFiles(fileSystem, kDataFolder)) {
    image[env::UpperCase(path)] = {test::ReadWholeFile(kDataFolder + path),
                                   fileSystem.Attributes(kDataFolder + path).value_or(0)};
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
    before = ImageOfDataFolder();
  }
  void Repair() {
    RestartWith({"+!"});
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
};

// A healthy catalogue, each kind of damage on Books, and records lost from
// BookInfo, whose saved records are merged into it with their memos (its
// memo file is written in place).
std::vector<TDamageCase> DamageCases() {
  std::vector<TDamageCase> cases{{std::nullopt, "Books"}};
  for (const auto kind : tools::AllDamageKinds()) cases.push_back({kind, "Books"});
  cases.push_back({tools::TDamageKind::kTruncatedFile, "BookInfo"});
  return cases;
}

TEST(WholeRunUndo, EveryDamageKindIsUndoneToTheLastByte) {
  for (const auto& damage : DamageCases()) {
    SCOPED_TRACE(damage.kind ? std::string(tools::DamageKindName(*damage.kind)) + " " + damage.table : "healthy");
    TUndoneRun run(damage.kind, damage.table);
    run.Repair();
    EXPECT_NE(Differences(run.before, run.repaired), std::vector<std::string>{});
    run.Undo();
    EXPECT_TRUE(run.Logged("The run of " + run.form->RunState.UndoneRun + " is undone."))
        << ::testing::PrintToString(run.form->LogFileMemo.lines);
    EXPECT_EQ(Differences(run.before, ImageOfDataFolder()), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace remdo::app
