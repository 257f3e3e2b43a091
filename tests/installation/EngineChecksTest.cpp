// The engine checks at process start: the version question, the
// installation-run words, the memory settings, the shared folder and its
// "NET DIR" record, over a fake registry, a scratch drive C: and a fake
// engine library.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <tuple>

#include "env/Dialogs.h"
#include "env/EngineLibrary.h"
#include "env/PeImage.h"
#include "env/TestPlatform.h"
#include "installation/EngineChecks.h"
#include "installation/EngineVersion.h"
#include "support/ScriptedDialogs.h"

namespace remdo::installation {
namespace {

using test::TScratchDriveC;
using test::TScriptedDialogs;
using test::TTestPlatform;

constexpr std::string_view kEngineKey = "Software\\Borland\\Database Engine";
constexpr std::string_view kSettingsKey = "SOFTWARE\\Borland\\Database Engine\\Settings\\System\\INIT";
const std::string kMissing = EngineQuestion(0);
const std::string kOld = EngineQuestion(5);

// An engine library over a list of (node name, value) records; every call
// is logged, and each call may be made to fail.
struct TFakeEngine {
  std::vector<std::pair<std::string, std::string>> records;
  std::vector<std::string> calls;
  std::set<std::string> failing;

  class TLibrary final : public env::TEngineLibrary {
   public:
    explicit TLibrary(TFakeEngine& engine) : e_(engine) {}
    std::uint16_t Init() override { return Call("init"); }
    std::uint16_t OpenConfigList(std::string_view path, env::TConfigAccess access) override {
      return Call("open " + std::string(path) + (access == env::TConfigAccess::kWrite ? " write" : " read"));
    }
    std::uint16_t SetToBegin() override {
      next_ = 0;
      return Call("begin");
    }
    std::uint16_t NextRecord(env::TConfigRecord& record) override {
      if (next_ >= e_.records.size()) return 8705;  // end of table
      record.SetNodeName(e_.records[next_].first);
      (void)record.SetValue(e_.records[next_].second);
      ++next_;
      return Call("next");
    }
    std::uint16_t ModifyRecord(const env::TConfigRecord& record) override {
      if (Call("modify") != 0) return 1;
      e_.records[next_ - 1].second = record.Value();
      return 0;
    }
    void Exit() override { (void)Call("exit"); }

   private:
    std::uint16_t Call(const std::string& call) {
      e_.calls.push_back(call);
      return e_.failing.count(call.substr(0, call.find(' '))) ? 1 : 0;
    }
    TFakeEngine& e_;
    std::size_t next_ = 0;
  };

  // Installs a loader that gives this engine (or nothing, when the library
  // cannot be loaded).
  void Install(bool loads = true) {
    env::InstallEngineLibraryLoader([this, loads](std::string_view path) -> std::unique_ptr<env::TEngineLibrary> {
      calls.push_back("load " + std::string(path));
      if (!loads) return nullptr;
      return std::make_unique<TLibrary>(*this);
    });
  }
  ~TFakeEngine() { env::InstallEngineLibraryLoader({}); }
};

// An engine library of the given file version in C:\BDE, named by DLLPATH.
void InstallEngine(test::TTestPlatform& platform, test::TScratchDriveC& c, std::optional<test::TPeOptions> pe) {
  platform.registry.SetString(env::TRegistryRoot::kLocalMachine, kEngineKey, "DLLPATH", "C:\\None;C:\\BDE");
  c.Folder("C:\\BDE");
  if (pe) test::WriteWholeFile(std::string("C:\\BDE\\IDAPI32.DLL"), test::BuildPe(*pe));
}

TEST(EngineChecks, QuestionForEveryEngineVersion) {
  struct TCase {
    std::array<std::uint16_t, 4> version;  // {0, ...}: no library; {9, ...}: one without version
    const std::string& question;
  };
  const std::string none;
  const std::vector<TCase> cases = {
      {{5, 0, 3, 1}, kOld},     {{5, 1, 0, 0}, none},     {{5, 2, 0, 2}, none},  {{4, 0, 0, 0}, kOld},
      {{4, 51, 0, 0}, none},    {{5, 11, 0, 0}, none},    {{5, 10, 0, 0}, kOld}, {{3, 5, 0, 0}, kOld},
      {{0, 0, 0, 0}, kMissing}, {{9, 9, 9, 9}, kMissing},
  };
  for (const TCase& t : cases) {
    SCOPED_TRACE(testing::Message() << t.version[0] << "." << t.version[1]);
    test::TTestPlatform platform;
    test::TScratchDriveC c;
    test::TPeOptions pe;
    pe.version = t.version;
    pe.resourceType = t.version[0] == 9 ? 3 : 16;
    InstallEngine(platform, c, t.version[0] == 0 ? std::nullopt : std::optional(pe));
    TScriptedDialogs dialogs;
    test::TInstalledDialogs installed(dialogs);
    if (!t.question.empty()) dialogs.ExpectQuestion(env::TBoxKind::kWarningYesNo, t.question, env::kErrorCaption, true);
    CheckEngineInstalled();
    const std::vector<std::string> opened = {"open " + std::string(kEngineDownloadPage) + " "};
    EXPECT_EQ(platform.shell.calls, t.question.empty() ? std::vector<std::string>{} : opened);
  }
}

TEST(EngineChecks, NoDllPathAsksForAnEngineAndNoOpensNothing) {
  test::TTestPlatform platform;
  TScriptedDialogs dialogs;
  test::TInstalledDialogs installed(dialogs);
  dialogs.ExpectQuestion(env::TBoxKind::kWarningYesNo, kMissing, env::kErrorCaption, false);
  CheckEngineInstalled();
  EXPECT_TRUE(platform.shell.calls.empty());
}

TEST(EngineChecks, VersionOfAFoundLibraryIsKept) {
  test::TTestPlatform platform;
  test::TScratchDriveC c;
  InstallEngine(platform, c, test::TPeOptions{});
  EXPECT_DOUBLE_EQ(GetEngineVersionNumber(), 5.2);
  ASSERT_TRUE(c.fileSystem.Remove("C:\\BDE\\IDAPI32.DLL"));
  EXPECT_DOUBLE_EQ(GetEngineVersionNumber(), 5.2);
}

TEST(EngineChecks, InstallationRunWords) {
  const std::vector<std::tuple<const char*, std::vector<std::string>, bool>> cases = {
      {"C:\\P\\remdo.exe", {}, false},
      {"C:\\P\\remdo.exe", {"inst"}, true},
      {"C:\\P\\remdo.exe", {"Installing"}, true},
      {"C:\\P\\remdo.exe", {"INSTALL"}, false},
      {"C:\\P\\BRemd.exe", {}, true},
      {"C:\\P\\SetupInstall.exe", {}, true},
      {"C:\\P\\upgrade2.exe", {}, true},
      {"C:\\P\\UPDATER.EXE", {}, true},
      {"C:\\P\\remdinst1.exe", {}, false},
      {"C:\\Install\\remdo.exe", {}, false},
  };
  for (const auto& [path, params, expected] : cases) {
    EXPECT_EQ(IsInstallationRun(path, params), expected) << path << " " << params.size();
  }
}

TEST(EngineChecks, TuneEngineSettingsThresholds) {
  using TValues = std::vector<std::optional<std::string>>;  // buffer, handles, shared size, location
  struct TCase {
    const char* what;
    std::uint64_t megabytes;
    TValues before;
    TValues after;  // empty: nothing written and no box
  };
  const TValues typical = {"2048", "48", "4096", " 0x5BDE0000 "};
  const std::vector<TCase> cases = {
      {"1 GB", 1024, typical, {"20480", "128", "16384", "0x5BDE0000"}},
      {"2 GB", 2048, typical, {"20480", "128", "60000", "0x5BDE0000"}},
      {"1500 MB", 1500, typical, {"20480", "128", "60000", "0x5BDE0000"}},
      {"900 MB", 900, typical, {"20480", "128", "16384", "0x5BDE0000"}},
      {"899 MB", 899, typical, {}},
      {"16382", 1024, {"2048", "48", "16382", ""}, {"20480", "128", "16384", "5BDE"}},
      {"16383", 1024, {"2048", "48", "16383", ""}, {}},
      {"no location", 1024, {"2048", "48", std::nullopt, std::nullopt}, {"20480", "128", "16384", "5BDE"}},
      {"no buffer", 1024, {std::nullopt, "48", "4096", "x"}, {}},
      {"handles not a number", 1024, {"2048", "lots", "4096", "x"}, {}},
      {"zero buffer", 1024, {"0", "48", "4096", "x"}, {}},
  };
  const char* names[] = {"MAXBUFSIZE", "MAXFILEHANDLES", "SHAREDMEMSIZE", "SHAREDMEMLOCATION"};
  for (const TCase& t : cases) {
    SCOPED_TRACE(t.what);
    test::TTestPlatform platform;
    platform.facts.memoryBytes = t.megabytes * 1048576;
    platform.registry.CreateKey(env::TRegistryRoot::kLocalMachine, kSettingsKey);
    for (int i = 0; i < 4; ++i) {
      if (t.before[i])
        platform.registry.SetString(env::TRegistryRoot::kLocalMachine, kSettingsKey, names[i], *t.before[i]);
    }
    TScriptedDialogs dialogs;
    test::TInstalledDialogs installed(dialogs);
    if (!t.after.empty()) dialogs.ExpectBox(env::TBoxKind::kInfo, "BDE settings changed.", "Remdo");
    TuneEngineSettings();
    const TValues& expected = t.after.empty() ? t.before : t.after;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(platform.registry.ReadString(env::TRegistryRoot::kLocalMachine, kSettingsKey, names[i]), expected[i])
          << names[i];
    }
  }
}

TEST(EngineChecks, TuneEngineSettingsNeverCreatesTheKey) {
  test::TTestPlatform platform;
  platform.facts.memoryBytes = 4096ull * 1048576;
  TScriptedDialogs dialogs;
  test::TInstalledDialogs installed(dialogs);
  TuneEngineSettings();
  EXPECT_FALSE(platform.registry.KeyExists(env::TRegistryRoot::kLocalMachine, kSettingsKey));
}

TEST(EngineChecks, EngineNetDirChoice) {
  struct TCase {
    bool commonAppData;  // a Common AppData folder exists
    bool bde;            // C:\BDE exists
    const char* folder;
  };
  const std::vector<TCase> cases = {
      {true, false, "C:\\ProgramData\\FENRO\\"},
      {false, true, "C:\\FENRO\\"},
      {false, false, "C:\\Temp\\"},
  };
  for (const TCase& t : cases) {
    test::TTestPlatform platform;
    test::TScratchDriveC c;
    platform.facts.folders[env::TSpecialFolder::kCommonAppData] = "C:\\ProgramData\\";
    platform.facts.folders[env::TSpecialFolder::kTemp] = "C:\\Temp\\";
    if (t.commonAppData) c.Folder("C:\\ProgramData");
    if (t.bde) c.Folder("C:\\BDE");
    EXPECT_EQ(EngineNetDir(), t.folder);
    EXPECT_TRUE(c.fileSystem.FolderExists(t.commonAppData ? "C:\\ProgramData\\FENRO" : "C:\\FENRO"));
    c.Folder("C:\\ProgramData\\FENRO");  // chosen once per process
    EXPECT_EQ(EngineNetDir(), t.folder);
  }
}

TEST(EngineChecks, SetParadoxNetDirOutcomes) {
  const std::string kLong = "C:\\" + std::string(124, 'n');  // with its separator 128 characters
  struct TCase {
    const char* what;
    std::string folder;
    std::vector<std::pair<std::string, std::string>> records;
    std::set<std::string> failing;
    const char* box;                 // the error box, or none
    const char* netDir;              // the "NET DIR" record afterwards, or none
    std::vector<std::string> calls;  // after the load
  };
  const std::vector<std::pair<std::string, std::string>> kList = {
      {"VERSION", "4.0"}, {"net dir", "C:\\OLD\\"}, {"LANGDRIVER", "ascii"}};
  const std::vector<std::string> kWhole = {
      "init", "open \\DRIVERS\\PARADOX\\INIT write", "begin", "next", "next", "modify", "next", "exit"};
  const std::vector<TCase> cases = {
      {"rewritten", "C:\\Shared  ", kList, {}, nullptr, "C:\\Shared\\", kWhole},
      {"no record",
       "C:\\Shared",
       {{"VERSION", "4.0"}},
       {},
       "Could not find NET DIR record",
       nullptr,
       {"init", "open \\DRIVERS\\PARADOX\\INIT write", "begin", "next", "exit"}},
      {"not positioned",
       "C:\\Shared",
       kList,
       {"begin"},
       "Could not set BDE records.",
       "C:\\OLD\\",
       {"init", "open \\DRIVERS\\PARADOX\\INIT write", "begin", "exit"}},
      {"no list",
       "C:\\Shared",
       kList,
       {"open"},
       nullptr,
       "C:\\OLD\\",
       {"init", "open \\DRIVERS\\PARADOX\\INIT write", "exit"}},
      {"no start", "C:\\Shared", kList, {"init"}, "Could not initialize BDE on first try.", "C:\\OLD\\", {"init"}},
      {"write refused", "C:\\Shared", kList, {"modify"}, "Could not write NET DIR record.", "C:\\OLD\\", kWhole},
      {"no drive", "Shared", kList, {}, "Program directory not listed.", "C:\\OLD\\", {}},
      {"missing folder", "C:\\Gone", kList, {}, nullptr, "C:\\OLD\\", {}},
      {"too long", kLong, kList, {}, "Program directory not listed.", "C:\\OLD\\", {}},
  };
  for (const TCase& t : cases) {
    SCOPED_TRACE(t.what);
    test::TTestPlatform platform;
    test::TScratchDriveC c;
    InstallEngine(platform, c, test::TPeOptions{});
    c.Folder("C:\\Shared");
    c.Folder(kLong);
    platform.facts.programPath = "C:\\Prog\\remdo.exe";
    c.File("C:\\Prog\\resetbde.ini");
    TFakeEngine engine;
    engine.records = t.records;
    engine.failing = t.failing;
    engine.Install();
    TScriptedDialogs dialogs;
    test::TInstalledDialogs installed(dialogs);
    if (t.box != nullptr) dialogs.ExpectBox(env::TBoxKind::kError, t.box, env::kErrorCaption);
    SetParadoxNetDir(t.folder);
    std::vector<std::string> calls = t.calls;
    if (!calls.empty()) calls.insert(calls.begin(), "load C:\\BDE\\IDAPI32.DLL");
    EXPECT_EQ(engine.calls, calls);
    const auto netDir =
        std::find_if(engine.records.begin(), engine.records.end(), [](const auto& r) { return r.first == "net dir"; });
    EXPECT_EQ(netDir == engine.records.end() ? "" : netDir->second, t.netDir == nullptr ? "" : t.netDir);
    // The reset marker goes with a record written, and only then.
    const bool rewritten = t.netDir != nullptr && std::string_view(t.netDir) == "C:\\Shared\\";
    EXPECT_EQ(c.fileSystem.FileExists("C:\\Prog\\resetbde.ini"), !rewritten);
  }
}

TEST(EngineChecks, SetParadoxNetDirWithoutALibrary) {
  for (const bool listed : {false, true}) {
    test::TTestPlatform platform;
    test::TScratchDriveC c;
    c.Folder("C:\\Shared");
    if (listed) InstallEngine(platform, c, test::TPeOptions{});
    TFakeEngine engine;
    engine.Install(false);
    TScriptedDialogs dialogs;
    test::TInstalledDialogs installed(dialogs);
    dialogs.ExpectBox(env::TBoxKind::kError, "Could not initialize BDE on first try.", env::kErrorCaption);
    SetParadoxNetDir("C:\\Shared");
    EXPECT_EQ(engine.calls.size(), listed ? 1u : 0u);  // a listed library that does not load
  }
}

TEST(EngineChecks, StartOrderAndOrdinaryStartsWriteNothing) {
  for (const bool installing : {false, true}) {
    test::TTestPlatform platform;
    test::TScratchDriveC c;
    platform.facts.memoryBytes = 2048ull * 1048576;
    platform.facts.folders[env::TSpecialFolder::kCommonAppData] = "C:\\ProgramData\\";
    c.Folder("C:\\ProgramData");
    platform.registry.SetString(env::TRegistryRoot::kLocalMachine, kSettingsKey, "MAXBUFSIZE", "2048");
    platform.registry.SetString(env::TRegistryRoot::kLocalMachine, kSettingsKey, "MAXFILEHANDLES", "48");
    TFakeEngine engine;
    engine.records = {{"NET DIR", ""}};
    engine.Install();
    TScriptedDialogs dialogs;
    test::TInstalledDialogs installed(dialogs);
    dialogs.ExpectQuestion(env::TBoxKind::kWarningYesNo, kMissing, env::kErrorCaption, false);
    if (installing) {
      dialogs.ExpectBox(env::TBoxKind::kInfo, "BDE settings changed.", "Remdo");
      dialogs.ExpectBox(env::TBoxKind::kError, "Could not initialize BDE on first try.", env::kErrorCaption);
    }
    CheckEngineAtStart("C:\\Prog\\remdo.exe", {installing ? "INST" : "PACK"});
    EXPECT_EQ(platform.registry.ReadString(env::TRegistryRoot::kLocalMachine, kSettingsKey, "MAXBUFSIZE"),
              installing ? "20480" : "2048");
    EXPECT_TRUE(engine.calls.empty());  // no library is listed
    EXPECT_EQ(c.fileSystem.FolderExists("C:\\ProgramData\\FENRO"), installing);
  }
}

#ifdef REMDO_ENGINE_STANDIN
constexpr std::string_view kStandIn = REMDO_ENGINE_STANDIN;
#else
constexpr std::string_view kStandIn;
#endif

// The real loader on the stand-in library (Windows build, under Wine).
TEST(EngineChecks, StandInLibraryThroughDllPath) {
  if (kStandIn.empty()) GTEST_SKIP() << "the stand-in library is built by the Windows build only";
  struct TCase {
    const char* list;
    const char* box;
    const char* listAfter;
    const char* log;
  };
  const char* kCalls = "DbiInit\nDbiOpenCfgInfoList read-write\nDbiSetToBegin\nDbiGetNextRecord write lock\n";
  const std::vector<TCase> cases = {
      {"VERSION=4.0\nNET DIR=C:\\OLD\n", nullptr, "VERSION=4.0\nNET DIR=@\n",
       "+DbiGetNextRecord write lock\nDbiModifyRecord\nDbiGetNextRecord write lock\nDbiExit\n"},
      {"VERSION=4.0\n", "Could not find NET DIR record", nullptr, "+DbiGetNextRecord write lock\nDbiExit\n"},
      {"fail=DbiSetToBegin\nNET DIR=C:\\OLD\n", "Could not set BDE records.", nullptr,
       "DbiInit\nDbiOpenCfgInfoList read-write\nDbiSetToBegin\nDbiExit\n"},
      {"fail=DbiInit\nNET DIR=C:\\OLD\n", "Could not initialize BDE on first try.", nullptr, "DbiInit\n"},
  };
  for (const TCase& t : cases) {
    SCOPED_TRACE(t.list);
    test::TScratchFolder dir;
    test::TTestPlatform platform;
    ASSERT_TRUE(env::MakeFolders(env::RealFileSystem(), dir / "bde"));
    ASSERT_TRUE(env::MakeFolders(env::RealFileSystem(), dir / "shared"));
    test::WriteWholeFile(dir / "bde\\IDAPI32.DLL", test::ReadWholeFile(std::string(kStandIn)));
    test::WriteWholeFile(dir / "bde\\standin.cfg", t.list);
    test::WriteWholeFile(dir / "resetbde.ini", "");
    platform.facts.programPath = dir / "remdo.exe";
    platform.registry.SetString(env::TRegistryRoot::kLocalMachine, kEngineKey, "DLLPATH", dir / "none;" + dir / "bde");
    EXPECT_EQ(GetEngineVersionText(), "5.2.0");
    TScriptedDialogs dialogs;
    test::TInstalledDialogs installed(dialogs);
    if (t.box != nullptr) dialogs.ExpectBox(env::TBoxKind::kError, t.box, env::kErrorCaption);
    SetParadoxNetDir(dir / "shared");
    const auto text = [](const std::string& path) {
      const auto bytes = test::ReadWholeFile(path);
      return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    };
    std::string listAfter = t.listAfter == nullptr ? t.list : t.listAfter;
    if (const auto at = listAfter.find('@'); at != std::string::npos) listAfter.replace(at, 1, dir / "shared\\");
    EXPECT_EQ(text(dir / "bde\\standin.cfg"), listAfter);
    std::string log = t.log;
    if (log[0] == '+') log = kCalls + log.substr(1);
    EXPECT_EQ(text(dir / "bde\\standin.log"), log);
    EXPECT_EQ(env::RealFileSystem().FileExists(dir / "resetbde.ini"), t.listAfter == nullptr);
    // Reading the setting, as every repair run does for its root causes,
    // opens the list read-only and locks nothing.
    if (t.box != nullptr) continue;
    test::WriteWholeFile(dir / "bde\\standin.log", "");
    EXPECT_EQ(ReadParadoxNetDir().folder, dir / "shared\\");
    EXPECT_EQ(text(dir / "bde\\standin.log"),
              "DbiInit\nDbiOpenCfgInfoList read-only\nDbiSetToBegin\nDbiGetNextRecord no lock\n"
              "DbiGetNextRecord no lock\nDbiExit\n");
    EXPECT_EQ(text(dir / "bde\\standin.cfg"), listAfter);
  }
}

}  // namespace
}  // namespace remdo::installation
