// The move out of Program Files on a scratch drive C: with the installer's
// answers scripted: each case arranges the catalogue's folder, its
// VirtualStore twin and the preferred folder C:\FENRO\, and looks at where
// the data set is afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "env/IniFile.h"
#include "env/TestPlatform.h"
#include "installation/CompleteDataSet.h"
#include "installation/DataFolder.h"
#include "installation/Relocation.h"
#include "installation/StartUpNotes.h"
#include "support/ScriptedDialogs.h"

namespace remdo::installation {
namespace {

constexpr const char* kPreferred = "C:\\FENRO\\";
constexpr const char* kProgram = "C:\\Tools\\RemdoUpdate.exe";
constexpr const char* kNotRelocated = "FENRO files could not be relocated.";
constexpr const char* kCompleteThere =
    "Your FENRO data files have been found in the Program Files folder\rwhich has been determined to cause "
    "confusion for PCs in Vista.\r\rAlthough it is preferred that your files be moved to C:\\FENRO,\rdata files "
    "have been found to already exist in that folder.\r\rWould you like to use and update the files located there?";
constexpr const char* kSomeThere =
    "Your FENRO data files have been found in the Program Files folder\rwhich has been determined to cause "
    "confusion for PCs in Vista.\r\rAlthough it is preferred that your files be moved to C:\\FENRO\rsome data "
    "files have been found to already exist in that folder\r-- but not all of them.Would you like to move them "
    "all, and then use those files?";

enum class TOutcome { kStays, kMoves, kFails };
class Relocation;
using TStep = std::function<void(Relocation&)>;

struct TCase {
  const char* name;
  const char* catalogue;  // under Program Files, or a whole path
  bool earlier = false;   // Windows XP, 32-bit
  bool twin = true;       // the catalogue's VirtualStore twin exists
  char box = 0;           // 'A', 'B' (the questions) or 'E' (the error box)
  bool answer = false;
  TOutcome outcome = TOutcome::kMoves;
  const char* books = "twin";  // C:\FENRO\Books.db afterwards, when moved
  TStep arrange = nullptr, verify = nullptr;
};

void PrintTo(const TCase& k, std::ostream* out) { *out << k.name; }

class Relocation : public ::testing::TestWithParam<TCase> {
 public:
  test::TTestPlatform platform;
  test::TScratchDriveC c;
  test::TScriptedDialogs dialogs;
  test::TInstalledDialogs installed{dialogs};
  std::string old, twin;  // the catalogue's folder and its VirtualStore twin

  bool Exists(const std::string& path) { return env::DefaultFileSystem().FileExists(path); }

  void SetUp() override {
    const TCase& k = GetParam();
    const std::string programFiles = k.earlier ? "C:\\Program Files\\" : "C:\\Program Files (x86)\\";
    if (k.earlier) platform.facts.version = {5, 1, 2600};
    platform.registry.SetString(env::TRegistryRoot::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                                "ProgramFilesDir", programFiles);
    platform.facts.folders[env::TSpecialFolder::kLocalAppData] = "C:\\Users\\Ann\\AppData\\Local\\";
    platform.facts.folders[env::TSpecialFolder::kTemp] = "C:\\Temp\\";
    platform.facts.programPath = kProgram;
    old = k.catalogue[1] == ':' ? k.catalogue : programFiles + k.catalogue;
    twin = "C:\\Users\\Ann\\AppData\\Local\\VirtualStore\\" + old.substr(3);
    for (const auto name : kCompleteDataSetFiles) c.File(old + std::string(name), "old " + std::string(name));
    for (const char* name : {"Books.X02", "Books.X10", "FENRO notes.txt", "CoverPix\\a.jpg"}) c.File(old + name);
    if (k.twin) {
      for (const char* name : {"Books.db", "Genre.db", "Books.XG0", "CoverPix\\b.jpg"}) c.File(twin + name, "twin");
    }
    c.File(kProgram, "program");
    c.Folder("C:\\Temp");
    if (k.arrange) k.arrange(*this);
    if (k.box == 'E') dialogs.ExpectBox(env::TBoxKind::kError, kNotRelocated, env::kErrorCaption);
    if (k.box == 'A' || k.box == 'B') {
      dialogs.ExpectQuestion(env::TBoxKind::kWarningYesNo, k.box == 'A' ? kCompleteThere : kSomeThere,
                             env::kWarningCaption, k.answer);
    }
  }
};

TEST_P(Relocation, LeavesTheDataSetInOnePlace) {
  const TCase& k = GetParam();
  const std::string folder = RelocateFromProgramFiles(old);
  dialogs.Verify();
  EXPECT_EQ(RelocationFailed(), k.outcome == TOutcome::kFails);
  if (k.outcome == TOutcome::kMoves) {
    EXPECT_EQ(folder, kPreferred);
    EXPECT_EQ(c.Read("C:\\FENRO\\Books.db"), k.books);
    EXPECT_TRUE(Exists(old + "Books.db1") && Exists(old + "BookInx.DB1") && !Exists(old + "Books.db"));
    for (const std::string& file :
         {old + "FENRO4.ini", std::string("C:\\Temp\\FENRO.ini"), std::string("C:\\FENRO\\FENRO4.ini")}) {
      EXPECT_EQ(env::TIniFile(env::DefaultFileSystem(), file).ReadString("FENRO", "DataDir", ""), "C:\\FENRO") << file;
    }
  } else {
    EXPECT_EQ(folder, old);
    EXPECT_TRUE(Exists(old + "Books.db") && !Exists(old + "Books.db1") && !Exists(old + "FENRO4.ini"));
    EXPECT_FALSE(Exists("C:\\Temp\\FENRO.ini"));
  }
  if (k.verify) k.verify(*this);
}

void SomeTablesThere(Relocation& t) { t.c.File("C:\\FENRO\\Pubs.db", "stale"); }
// Hidden, system and read-only tables count as well.
void HiddenTablesThere(Relocation& t) {
  SomeTablesThere(t);
  ASSERT_TRUE(env::DefaultFileSystem().SetAttributes("C:\\FENRO\\Pubs.db",
                                                     env::attr::kHidden | env::attr::kSystem | env::attr::kReadOnly));
}
void CompleteThere(Relocation& t) {
  for (const auto name : kCompleteDataSetFiles) t.c.File(kPreferred + std::string(name), "kept");
}
void PreferredIsAFile(Relocation& t) { t.c.File("C:\\FENRO"); }
void OldFolderIncomplete(Relocation& t) { ASSERT_TRUE(env::DefaultFileSystem().Remove(t.old + "Fldr0002.db")); }
void ProgramMissing(Relocation&) { ASSERT_TRUE(env::DefaultFileSystem().Remove(kProgram)); }
void RetiredBefore(Relocation& t) { t.c.File(t.old + "Genre.db1", "earlier"); }
// The shell reports success, but one file arrives short.
TStep Shorten(std::string name) {
  return [name](Relocation& t) {
    t.platform.shell.afterCopy = [name](std::string_view target) {
      const std::string file = std::string(target) + name;
      if (env::DefaultFileSystem().FileExists(file))
        env::DefaultFileSystem().Open(file, env::TOpenMode::kReadWrite)->Truncate(1);
    };
  };
}
// The twin of a sub-folder the catalogue does not use.
void NestedFolderThere(Relocation& t) {
  t.c.File(t.old + "FENRO\\readme.txt");
  t.c.File(t.twin + "FENRO\\Books.db", "wrong twin");
}
void TwinCopyFails(Relocation& t) { t.platform.shell.failCopyFrom = t.twin; }
void LocalAppDataUnknown(Relocation& t) { t.platform.facts.folders.erase(env::TSpecialFolder::kLocalAppData); }
void LeftoverStaging(Relocation& t) { t.c.File("C:\\FENRO.~new\\Stale.db", "stale"); }
void LocksAndRetiredInTwin(Relocation& t) {
  for (const char* name : {"PDOXUSRS.LCK", "PARADOX.LCK", "Books.lck", "PDOXUSRS.NET", "Genre.db1"}) {
    t.c.File(t.twin + name, "twin");
  }
  t.c.File("C:\\FENRO\\Genre.db1", "kept");
}

void EverythingArrived(Relocation& t) {
  for (const char* name : {"Pubs.db", "Books.X02", "Books.XG0", "FENRO notes.txt", "CoverPix\\a.jpg", "CoverPix\\b.jpg",
                           "RemdoUpdate.exe"}) {
    EXPECT_TRUE(t.Exists(kPreferred + std::string(name))) << name;
  }
  EXPECT_FALSE(t.Exists("C:\\FENRO\\Books.X10"));  // neither x0? nor in the twin
  EXPECT_TRUE(t.Exists(t.old + "Books.X02") && t.Exists(t.old + "Books.mb"));
  EXPECT_TRUE(t.Exists(t.twin + "Genre.db1") && !t.Exists(t.twin + "Genre.db"));
  EXPECT_TRUE(TakeStartUpNotes().empty());
}
void OldPubsArrived(Relocation& t) { EXPECT_EQ(t.c.Read("C:\\FENRO\\Pubs.db"), "old Pubs.db"); }
// A failed move leaves neither a partial data set nor the staging folder.
void NothingLeftBehind(Relocation& t) {
  EXPECT_FALSE(t.Exists("C:\\FENRO\\BookInx.DB") || t.Exists("C:\\FENRO\\Books.db"));
  EXPECT_FALSE(env::DefaultFileSystem().Attributes("C:\\FENRO.~new").has_value());
}
TStep ShortCopyNoted(std::string name) {
  return [name](Relocation& t) {
    EXPECT_EQ(TakeStartUpNotes(), std::vector<std::string>{"    C:\\FENRO\\" + name + " is not a whole copy"});
    NothingLeftBehind(t);
  };
}
void NoLocksNorReplacedRetiredTable(Relocation& t) {
  for (const char* name : {"PDOXUSRS.LCK", "PARADOX.LCK", "Books.lck", "PDOXUSRS.NET"}) {
    EXPECT_FALSE(t.Exists(kPreferred + std::string(name))) << name;
  }
  EXPECT_EQ(t.c.Read("C:\\FENRO\\Genre.db1"), "kept");
}
void StagingReplaced(Relocation& t) {
  EXPECT_FALSE(t.Exists("C:\\FENRO\\Stale.db") || env::DefaultFileSystem().Attributes("C:\\FENRO.~new"));
}
void RenameNoted(Relocation& t) {
  EXPECT_TRUE(t.Exists(t.old + "Genre.db"));
  const auto notes = TakeStartUpNotes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind("    Could not rename " + t.old + "Genre.db to Genre.db1: ", 0), 0u) << notes[0];
}

constexpr bool kEarlier = true, kNoTwin = false, kYes = true, kNo = false;
constexpr TOutcome kMoves = TOutcome::kMoves, kStays = TOutcome::kStays, kFails = TOutcome::kFails;

// name, catalogue, earlier Windows, twin exists, box, answer, outcome, C:\FENRO\Books.db, arrange, verify
const TCase kCases[] = {
    {"EmptyPreferredFolderTakesEverythingUnasked", "FENRO\\FENRO\\", !kEarlier, true, 0, kNo, kMoves, "twin", nullptr,
     EverythingArrived},
    {"SomeTablesThereMoveOnYes", "FENRO\\", !kEarlier, true, 'B', kYes, kMoves, "twin", SomeTablesThere,
     OldPubsArrived},
    {"SomeTablesThereStayOnNo", "FENRO\\", !kEarlier, true, 'B', kNo, kStays, "", HiddenTablesThere},
    {"CompleteSetThereIsUsedOnYes", "FENRO\\", !kEarlier, true, 'A', kYes, kMoves, "kept", CompleteThere},
    {"CompleteSetThereStayOnNo", "FENRO\\", !kEarlier, true, 'A', kNo, kStays, "", CompleteThere},
    {"EarlierWindowsMovesNothing", "FENRO\\", kEarlier, true, 0, kNo, kStays},
    {"OutsideProgramFilesMovesNothing", "C:\\Data\\", !kEarlier, true, 0, kNo, kStays},
    {"PreferredFolderCannotBeMade", "FENRO\\", !kEarlier, true, 'E', kNo, kFails, "", PreferredIsAFile},
    {"IncompleteCopyKeepsTheOldFolder", "FENRO\\", !kEarlier, true, 'E', kNo, kStays, "", OldFolderIncomplete},
    {"ShortTableKeepsTheOldFolder", "FENRO\\", !kEarlier, true, 'E', kNo, kStays, "", Shorten("Books.db"),
     ShortCopyNoted("Books.db")},
    {"ShortMemoKeepsTheOldFolder", "FENRO\\", !kEarlier, true, 'E', kNo, kStays, "", Shorten("Books.MB"),
     ShortCopyNoted("Books.MB")},
    {"FailedCopyKeepsTheOldFolderSilently", "FENRO\\", !kEarlier, true, 0, kNo, kStays, "", ProgramMissing,
     NothingLeftBehind},
    {"FailedTwinCopyLeavesNoHalfCopy", "FENRO\\", !kEarlier, true, 0, kNo, kStays, "", TwinCopyFails,
     NothingLeftBehind},
    {"LeftoverStagingIsDiscarded", "FENRO\\", !kEarlier, true, 0, kNo, kMoves, "twin", LeftoverStaging,
     StagingReplaced},
    {"TwinLocksAndRetiredTablesStay", "FENRO\\", !kEarlier, true, 0, kNo, kMoves, "twin", LocksAndRetiredInTwin,
     NoLocksNorReplacedRetiredTable},
    {"MissingTwinCopiesNothingMore", "FENRO\\", !kEarlier, kNoTwin, 0, kNo, kMoves, "old Books.db"},
    {"TwinOfTheFolderFound", "FENRO 5\\", !kEarlier, true, 0, kNo, kMoves, "twin"},
    {"NestedFolderTwinIsNotUsed", "FENRO\\", !kEarlier, true, 0, kNo, kMoves, "twin", NestedFolderThere},
    {"UnknownTwinMovesNothing", "FENRO\\", !kEarlier, true, 0, kNo, kStays, "", LocalAppDataUnknown},
    {"TableRetiredBeforeIsNoted", "FENRO\\", !kEarlier, true, 0, kNo, kMoves, "twin", RetiredBefore, RenameNoted},
};

INSTANTIATE_TEST_SUITE_P(Cases, Relocation, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace remdo::installation
