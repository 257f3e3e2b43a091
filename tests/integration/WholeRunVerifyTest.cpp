// The verify-only run on generated catalogues with each kind of damage:
// its finding for the damaged table, a data folder left exactly as it was
// (bytes, size, time and attributes of every file), and predictions that a
// following repair run bears out table by table.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "damage/Damage.h"
#include "env/Errors.h"
#include "env/FileSystem.h"
#include "env/Registry.h"
#include "env/Shell.h"
#include "integration/WholeRunFixture.h"
#include "remdo-table/RemdoTable.h"
#include "repair/TableSequence.h"
#include "repair/findings/FindingKinds.h"
#include "repair/verify/Prediction.h"
#include "support/TestSupport.h"

namespace remdo::app {
namespace {

using test::kDataFolder;
using Lines = std::vector<std::string>;

constexpr const char* kTempFolder = "C:\\Temp\\";
constexpr const char* kDocuments = "C:\\Docs\\";

struct TFileState {
  std::string bytes;
  std::optional<std::int64_t> time;
  std::optional<std::uint32_t> attributes;
  bool operator==(const TFileState&) const = default;
};

// Every file and folder below folder with its bytes, time and attributes.
void Snapshot(const std::string& folder, std::map<std::string, TFileState>& files) {
  auto& fileSystem = env::DefaultFileSystem();
  for (const auto& entry : fileSystem.Find(folder + "*", env::attr::kAnyFile | env::attr::kDirectory)) {
    const std::string path = folder + entry.name;
    TFileState state{"", fileSystem.ModifiedTime(path), fileSystem.Attributes(path)};
    if ((entry.attributes & env::attr::kDirectory) != 0) {
      Snapshot(path + "\\", files);
    } else {
      const auto file = fileSystem.Open(path, env::TOpenMode::kRead);
      state.bytes.resize(file->Size());
      file->ReadAt(0, std::as_writable_bytes(std::span<char>(state.bytes)));
    }
    files[path] = std::move(state);
  }
}

// The lines of each table's section of a verify report, by the name in
// its "Checking" line.
std::map<std::string, Lines> Sections(const Lines& log) {
  std::map<std::string, Lines> sections;
  Lines* section = nullptr;
  for (const auto& line : log) {
    if (line.rfind("Checking ", 0) == 0) {
      section = &sections[line.substr(9, line.size() - 12)];
    } else if (line.empty()) {
      section = nullptr;
    } else if (section != nullptr) {
      section->push_back(line);
    }
  }
  return sections;
}

std::string DisplayName(const std::string& table) {
  for (const auto& row : repair::SequenceRows(true)) {
    if (row.tableName == table) return std::string(row.displayName);
  }
  return table;
}

// The line the verify run must write for the damage the tool reports.
std::string ExpectedFinding(const tools::TDamageReport& report) {
  const std::int64_t header = report.headerCountAfter;
  const auto plural = [](std::int64_t n) { return std::to_string(n) + " record" + (n == 1 ? "" : "s"); };
  switch (report.kind) {
    case tools::TDamageKind::kDuplicateKey:
      return "    duplicate keys     : " + std::to_string(report.duplicateKeys.size());
    case tools::TDamageKind::kMissingTable:
      return "  -- table not found: " + std::string(env::NamePart(report.path)).substr(0, 8);
    case tools::TDamageKind::kForeignFile:
      return "  -- unreadable table format";
    case tools::TDamageKind::kMissingPrimaryIndex: {
      const std::string_view name = env::NamePart(report.path);
      return "  -- " + std::string(name.substr(0, name.find('.'))) + ".PX: missing";
    }
    case tools::TDamageKind::kTrailingPartBlock:
      return "  -- partial block: file ends";
    default:
      break;
  }
  if (report.recordsAfter > header) return "  -- " + plural(report.recordsAfter - header) + " past the header count";
  if (report.recordsAfter < header) return "  -- " + plural(header - report.recordsAfter) + " not found";
  return "";
}

// The memo counts (intact, re-linked, cut, unlinked) that a section's
// prediction or the repair's line about a new memo file gives; empty when
// it has neither.
std::vector<int> MemoCounts(const Lines& section) {
  static const std::regex counts(R"(new (memo file|one was written): (\d+) values? intact, (\d+) re-linked, (\d+) cut to their leader, (\d+) unlinked)");
  for (const auto& line : section) {
    std::smatch m;
    if (std::regex_search(line, m, counts)) return {std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5])};
  }
  return {};
}

struct TVerifyCase {
  const char* kind;
  const char* table;
  std::uint64_t seed;
};

// A generated catalogue, a temporary folder and a documents folder on the
// test's drive C:.
void PrepareVerify(testing::TWholeRunFixture& run) {
  run.platform.platform.facts.folders[env::TSpecialFolder::kTemp] = kTempFolder;
  run.platform.platform.facts.folders[env::TSpecialFolder::kPersonal] = kDocuments;
  run.platform.drive.Folder(kTempFolder);
  run.platform.drive.Folder(kDocuments);
  tools::TCatalogueOptions options;
  options.books = 60;
  options.folders = 2;
  options.memoPerMille = 250;
  options.seed = 5;
  run.catalogue = tools::GenerateCatalogue(kDataFolder, options);
}

// The JSON report holds in its documented fields what the text report says:
// a finding object for each finding line of a table's section, of a kind
// the findings table knows, and each table's verdict.
void ExpectJsonReport(const std::string& path, const std::map<std::string, Lines>& sections) {
  const auto bytes = test::ReadWholeFile(path);
  const auto json = nlohmann::json::parse(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  EXPECT_EQ(json.at("format"), 1);
  EXPECT_EQ(json.at("run"), "verify");
  EXPECT_TRUE(json.at("data_folder").is_string() && json.at("started").is_string());
  std::map<std::string, std::size_t> damage;
  for (const auto& f : json.at("findings")) {
    EXPECT_EQ(f.at("type"), "finding");
    const auto& kind = repair::KindOf(static_cast<repair::TFindingCode>(f.at("code").get<int>()));
    EXPECT_EQ(static_cast<int>(kind.code), f.at("code").get<int>());
    EXPECT_EQ(f.at("name"), kind.name);
    EXPECT_EQ(f.at("area"), repair::AreaName(kind.area));
    EXPECT_EQ(f.at("severity"), repair::SeverityName(kind.severity));
    EXPECT_EQ(f.at("effect"), repair::EffectName(kind.effect));
    EXPECT_TRUE(f.at("table").is_string() && f.at("file").is_string() && f.at("text").is_string());
    EXPECT_TRUE(f.at("args").is_array() && f.at("more_examples").is_boolean());
    for (const auto& place : f.at("examples")) EXPECT_TRUE(place.at("text").is_string());
    if (f.contains("count")) EXPECT_TRUE(f.at("count").is_number_integer());
    if (f.at("severity") == "damage") ++damage[f.at("table").get<std::string>()];
  }
  for (const auto& t : json.at("tables")) {
    EXPECT_EQ(t.at("type"), "table");
    const std::string verdict = t.at("verdict");
    EXPECT_TRUE(verdict == "sound" || verdict == "repairable" || verdict == "loss" || verdict == "unreadable");
    EXPECT_TRUE(t.at("action").is_string() && t.at("findings").is_number_integer());
    const std::string table = t.at("table");
    const auto section = sections.find(DisplayName(table));
    ASSERT_NE(section, sections.end()) << table;
    const auto lines = std::count_if(section->second.begin(), section->second.end(),
                                     [](const std::string& line) { return line.rfind("  -- ", 0) == 0; });
    EXPECT_EQ(static_cast<std::size_t>(lines), damage[table]) << table;
  }
  EXPECT_EQ(json.at("tables").size(), sections.size());
}

class TVerifyRun : public testing::TWholeRunFixture, public ::testing::TestWithParam<TVerifyCase> {
 public:
  TVerifyRun() : TWholeRunFixture({"VERIFY"}) { PrepareVerify(*this); }
};

TEST_P(TVerifyRun, FindsTheDamageChangesNothingAndForetellsTheRepair) {
  const TVerifyCase& c = GetParam();
  const auto kind = tools::DamageKindFromName(c.kind);
  ASSERT_TRUE(kind);
  tools::TDamageOptions damageOptions;
  damageOptions.seed = c.seed;
  const tools::TDamageReport report = tools::Damage(*kind, kDataFolder + std::string(c.table) + ".db", damageOptions);
  // The whole drive: the data folder above all, and nothing the scratch
  // repair might have written elsewhere.
  std::map<std::string, TFileState> before;
  Snapshot("C:\\", before);

  Start();
  const Lines verifyLog = form->LogFileMemo.lines;
  ASSERT_TRUE(form->RunResult());
  std::map<std::string, TFileState> after;
  Snapshot("C:\\", after);
  const std::string reportFile = kDocuments + std::string("Remdo verify.txt");
  EXPECT_EQ(after.erase(reportFile), 1u) << "no report in the documents folder";
  EXPECT_EQ(after.erase(kDocuments + std::string("Remdo verify.json")), 1u) << "no JSON report beside it";
  // The two folders written into (the scratch copy came and went) have a
  // new time.
  for (const char* folder : {"C:\\Docs", "C:\\Temp"}) {
    EXPECT_TRUE(before.erase(folder) == 1 && after.erase(folder) == 1) << folder;
  }
  for (const auto& [path, state] : after) EXPECT_TRUE(before.count(path) == 1 && before.at(path) == state) << path;
  EXPECT_EQ(after.size(), before.size()) << "files were added or removed";
  EXPECT_EQ(std::count(verifyLog.begin(), verifyLog.end(), "Predictions left out"), 0);
  EXPECT_FALSE(std::any_of(verifyLog.begin(), verifyLog.end(), [](const std::string& line) {
    return line.find("refused, as this run writes nothing") != std::string::npos;
  })) << "the verify run tried to write outside its copy";

  const auto sections = Sections(verifyLog);
  ExpectJsonReport(kDocuments + std::string("Remdo verify.json"), sections);
  const std::string finding = ExpectedFinding(report);
  const Lines& damaged = sections.at(DisplayName(c.table));
  // Memo damage is foretold, but for flipped bytes, which mostly fall in a
  // value's text where no reader can tell them.
  if (std::string_view(c.kind).starts_with("memo-") && std::string_view(c.kind) != "memo-flipped-bytes") {
    EXPECT_FALSE(MemoCounts(damaged).empty()) << "no memo prediction";
  }
  if (!finding.empty()) {
    EXPECT_TRUE(std::any_of(damaged.begin(), damaged.end(),
                            [&finding](const std::string& line) { return line.rfind(finding, 0) == 0; }))
        << "no \"" << finding << "\" for " << c.table;
  }
  // remdo-table verify gives the same findings for the damaged table.
  if (finding.find("table not found") == std::string::npos) {
    std::ostringstream out;
    std::ostringstream err;
    (void)tools::RunRemdoTable({"verify", kDataFolder + std::string(c.table) + ".db"}, out, err);
    Lines findings(damaged.begin(), std::find_if(damaged.begin(), damaged.end(), [](const std::string& line) {
                     return line.rfind("  -- a repair would", 0) == 0;
                   }));
    std::string expected = "Checking " + std::string(c.table) + "...\n";
    for (const auto& line : findings) expected += line + "\n";
    EXPECT_EQ(out.str(), expected);
  }
  const bool damageFound = std::any_of(sections.begin(), sections.end(), [](const auto& section) {
    return std::any_of(section.second.begin(), section.second.end(), [](const std::string& line) {
      return line.rfind("  -- ", 0) == 0 && line.find("change nothing") == std::string::npos;
    });
  });
  EXPECT_EQ(*form->RunResult(), damageFound);

  RestartWith({});
  Start();
  auto repairSections = Sections(form->LogFileMemo.lines);
  std::map<std::string, repair::TTableOutcome> outcomes;
  for (const auto& outcome : form->RunState.TableOutcomes) outcomes[outcome.table] = outcome;
  // The repair's table outcomes for scripts, beside what it set aside, as
  // the report at the window's close writes them.
  form->WriteRunReport();
  const std::string rejected = kDataFolder + form->Repair.RejectedFolderName();
  if (env::DefaultFileSystem().FolderExists(rejected)) {
    const auto bytes = test::ReadWholeFile(rejected + "Remdo run.json");
    const auto json = nlohmann::json::parse(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    EXPECT_EQ(json.at("run"), "repair");
    ASSERT_EQ(json.at("tables").size(), form->RunState.TableOutcomes.size());
    for (std::size_t i = 0; i < json.at("tables").size(); ++i) {
      const auto& table = json.at("tables")[i];
      EXPECT_EQ(table.at("table"), form->RunState.TableOutcomes[i].table);
      EXPECT_EQ(table.at("verdict") == "sound", table.at("action") == "change nothing") << table.dump();
    }
  }
  for (const auto& [table, outcome] : outcomes) {
    const auto section = sections.find(DisplayName(table));
    ASSERT_NE(section, sections.end()) << table << " was not verified";
    // Damage the verify run found in the table's files beside its
    // predictions: the repair mends it, even where its records stay as
    // they are. (A missing table has no files to find damage in.)
    const bool filesDamaged = std::any_of(section->second.begin(), section->second.end(), [](const std::string& line) {
      return line.rfind("  -- ", 0) == 0 && line.find("a repair would") == std::string::npos &&
             line.find("would be missing") == std::string::npos && line.rfind("  -- table not found", 0) != 0;
    });
    for (const auto& line : repair::FindingLines(repair::PredictionFindings(outcome, filesDamaged))) {
      EXPECT_NE(std::find(section->second.begin(), section->second.end(), line), section->second.end())
          << table << ": the repair did \"" << line << "\", which the verify run did not foretell";
    }
    EXPECT_EQ(MemoCounts(section->second), MemoCounts(repairSections[DisplayName(table)])) << table;
  }
  // Every memo reference of the damaged table resolves after the repair.
  std::ostringstream dump;
  std::ostringstream dumpErrors;
  (void)tools::RunRemdoTable({"dump", kDataFolder + std::string(c.table) + ".db"}, dump, dumpErrors);
  EXPECT_EQ(dump.str().find("memo unreadable"), std::string::npos) << dumpErrors.str();
}

INSTANTIATE_TEST_SUITE_P(
    DamageKinds, TVerifyRun,
    ::testing::Values(TVerifyCase{"truncated-file", "Prices", 2}, TVerifyCase{"trailing-part-block", "Genre", 1},
                      TVerifyCase{"zeroed-block", "BkSeries", 3}, TVerifyCase{"duplicate-key", "Books", 2},
                      TVerifyCase{"count-too-high", "Reissues", 1}, TVerifyCase{"count-too-low", "Pubs", 1},
                      TVerifyCase{"missing-table", "Fldr0002", 1}, TVerifyCase{"missing-px", "AuthX", 1},
                      TVerifyCase{"stale-indexes", "BookRef", 1}, TVerifyCase{"read-only", "Pubs", 1},
                      TVerifyCase{"foreign-file", "CharX", 1}, TVerifyCase{"block-next-link", "Books", 1},
                      TVerifyCase{"block-prev-link", "BookInfo", 1}, TVerifyCase{"block-last-offset", "Books", 2},
                      TVerifyCase{"count-zero", "Prices", 1}, TVerifyCase{"missing-indexes", "Books", 1},
                      TVerifyCase{"memo-flipped-bytes", "Books", 1}, TVerifyCase{"memo-zeroed-unit", "AuthX", 1},
                      TVerifyCase{"memo-truncated", "BookInfo", 1}, TVerifyCase{"memo-header", "Contact", 1},
                      TVerifyCase{"memo-descriptor", "Books", 3}, TVerifyCase{"memo-descriptor", "AuthX", 3},
                      TVerifyCase{"memo-deleted", "BookInfo", 1}),
    [](const auto& info) {
      std::string name = std::string(info.param.kind) + "_" + info.param.table;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

TEST(VerifyRun, ShowsRootCausesAndWithoutRoomForACopyLeavesThePredictionsOut) {
  testing::TWholeRunFixture run({"VERIFY"});
  PrepareVerify(run);
  run.platform.platform.facts.freeBytes["C:\\"] = 2 * test::kMegabyte;
  const auto report = tools::Damage(tools::TDamageKind::kCountTooHigh, kDataFolder + std::string("Reissues.db"));
  // A stale lock file: a root cause the window shows, and left in place.
  test::WriteWholeFile(kDataFolder + std::string("PARADOX.LCK"), std::string_view("lock"));
  run.Start();
  const Lines& log = run.form->LogFileMemo.lines;
  const Lines& shown = run.form->RepairProgressMemo.lines;
  for (const std::string line : {"Root causes:", "    Lock file C:\\FENRO\\PARADOX.LCK: stale: no program holds it"}) {
    EXPECT_EQ(std::count(shown.begin(), shown.end(), line), 1) << line;
  }
  EXPECT_TRUE(env::DefaultFileSystem().FileExists(kDataFolder + std::string("PARADOX.LCK")));
  const auto left = std::find_if(log.begin(), log.end(), [](const std::string& line) {
    return line.rfind("Predictions left out: the temporary folder has 2 MB free, a repair of a copy needs ", 0) == 0;
  });
  EXPECT_NE(left, log.end());
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& line) { return line.find("a repair would") != std::string::npos; }),
            0);
  EXPECT_TRUE(
      run.Logged("  -- " + std::to_string(report.headerCountAfter - report.recordsAfter) + " records not found"));
  ASSERT_TRUE(run.form->RunResult());
  EXPECT_TRUE(*run.form->RunResult());
}

TEST(VerifyRun, CancelDuringTheScratchRepairAsksTheUserAndStops) {
  testing::TWholeRunFixture run({"VERIFY"});
  PrepareVerify(run);
  std::map<std::string, TFileState> before;
  Snapshot(kDataFolder, before);
  // The first message the scratch repair pumps is a click on Cancel.
  run.dialogs.ExpectQuestion(env::TBoxKind::kYesNo, "Are you sure?", "Stop?", true);
  run.view.onPump = [&run] {
    run.view.onPump = nullptr;
    run.form->CloseBtnClick();
  };
  run.Start();
  EXPECT_TRUE(run.form->RunState.Interrupted);
  EXPECT_TRUE(run.Logged("...program stopped."));
  std::map<std::string, TFileState> after;
  Snapshot(kDataFolder, after);
  EXPECT_EQ(after, before);
  std::map<std::string, TFileState> scratch;
  Snapshot(kTempFolder, scratch);
  EXPECT_TRUE(scratch.empty()) << "the scratch copy was left behind";
}

// A write planted in the verify run, as a forgotten write in its code would
// be: refused outside the scratch copy (a ".." climbing out of it too),
// listed in the report, and the data folder left as it was; inside the
// copy it goes through.
TEST(VerifyRun, AWriteOutsideTheScratchCopyIsRefusedAndListed) {
  testing::TWholeRunFixture run({"VERIFY"});
  PrepareVerify(run);
  // Leftovers are listed once each, by their kind; another program's
  // file that ends alike is not ours.
  for (const char* name : {"Books.db.runs.new", "notes.txt.new"}) {
    test::WriteWholeFile(kDataFolder + std::string(name), std::string_view("x"));
  }
  std::map<std::string, TFileState> before;
  Snapshot(kDataFolder, before);
  const std::string books = kDataFolder + std::string("Books.db");
  bool planted = false;
  run.view.onPump = [&] {
    if (planted) return;
    planted = true;
    auto& fileSystem = env::DefaultFileSystem();
    EXPECT_THROW(fileSystem.Open(books, env::TOpenMode::kReadWrite), env::EFOpenError);
    EXPECT_THROW(fileSystem.Open(kTempFolder + std::string("RemdoVerify1\\..\\..\\FENRO\\Books.db"),
                                 env::TOpenMode::kCreate),
                 env::EFCreateError);
    EXPECT_FALSE(fileSystem.Remove(kDataFolder + std::string("Genre.db")));
    EXPECT_FALSE(fileSystem.Rename(books, kTempFolder + std::string("RemdoVerifyBooks.db"), false));
    EXPECT_FALSE(fileSystem.SetAttributes(books, env::attr::kReadOnly));
    EXPECT_FALSE(env::DefaultRegistry().CreateKey(env::TRegistryRoot::kCurrentUser, "Software\\FENRO"));
    EXPECT_FALSE(env::DefaultShell().Open("C:\\FENRO\\FENRO.exe", ""));
    EXPECT_NO_THROW(fileSystem.Open("c:/temp/remdoverify-planted.txt", env::TOpenMode::kCreate));
  };
  run.Start();
  ASSERT_TRUE(planted);
  std::map<std::string, TFileState> after;
  Snapshot(kDataFolder, after);
  EXPECT_EQ(after, before);
  const std::string refused = "  -- refused, as this run writes nothing: ";
  for (const std::string& what : std::vector<std::string>{"open for writing " + books, "delete C:\\FENRO\\Genre.db", "rename " + books,
                                 "set attributes of " + books, "create registry key Software\\FENRO",
                                 "start C:\\FENRO\\FENRO.exe"}) {
    EXPECT_TRUE(run.Logged(refused + what)) << what;
  }
  EXPECT_FALSE(run.Logged(refused + "open for writing c:/temp/remdoverify-planted.txt"));
  const auto& log = run.form->LogFileMemo.lines;
  EXPECT_EQ(std::count(log.begin(), log.end(), "    Books.db.runs.new (temporary file)"), 1);
  EXPECT_FALSE(std::any_of(log.begin(), log.end(),
                           [](const std::string& line) { return line.find("notes.txt.new") != std::string::npos; }));
}

}  // namespace
}  // namespace remdo::app
