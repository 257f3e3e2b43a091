// The damage tool on a generated Books table: for every kind the raw reader
// afterwards finds exactly what the report says (the records it names
// unreachable are gone, the rest unchanged and in order, phantoms where it
// says), the engine sees the damage where it should, the same seed does the
// same damage, and damage that cannot be done leaves the file alone.
#include "damage/Damage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "catalogue/TableCreation.h"
#include "damage/DamageCommand.h"
#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/components/Database.h"
#include "paradox/components/Table.h"
#include "paradox/components/TableOptions.h"
#include "paradox/engine/DbiCalls.h"
#include "tools/GeneratedCatalogue.h"

namespace remdo::tools {
namespace {

using testing::ReadRaw;
using testing::SharedCatalogue;
using testing::TRawTable;
using testing::TRecordBytes;

// A scratch copy of a generated table's files.
class DamageFixture : public ::testing::Test {
 protected:
  std::string Copy(std::string_view table) {
    const std::string& from = SharedCatalogue(true).folder.Path();
    for (const env::TFindEntry& entry : env::DefaultFileSystem().Find(from + std::string(table) + ".*", 0)) {
      test::WriteWholeFile(folder_ / entry.name, test::ReadWholeFile(from + entry.name));
    }
    return folder_ / (std::string(table) + ".db");
  }
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const env::TFindEntry& entry : env::DefaultFileSystem().Find(folder_ / "*", env::attr::kReadOnly)) {
      names.insert(entry.name);
    }
    return names;
  }
  // The ordinals the engine refuses when the file's records go raw into a
  // fresh table of the Books structure, in file order.
  std::vector<std::int64_t> RefusedByTheEngine(const TRawTable& table) {
    paradox::TDatabase database;
    database.SetDatabaseName(folder_.Path());
    database.Open();
    EXPECT_TRUE(catalogue::CreateParadoxTable(database.Handle(), "temptbl1.db", catalogue::SchemaLanguageDriver(31),
                                            catalogue::GetTableSchema(31), catalogue::SchemaLevel(31)));
    paradox::TTable scratch;
    scratch.SetDatabaseName(folder_.Path());
    scratch.SetTableName("temptbl1.db");
    scratch.Open();
    std::vector<std::int64_t> refused;
    for (std::size_t r = 0; r < table.records.size(); ++r) {
      const std::uint16_t code = paradox::DbiInsertRecord(scratch.Handle(), paradox::TDbiLock::kNoLock, table.records[r]);
      if (code == paradox::kDbiErrKeyViol) refused.push_back(static_cast<std::int64_t>(r));
    }
    scratch.Close();
    return refused;
  }
  test::TScratchFolder folder_;
};

// What the walk must find after the damage: the records not named
// unreachable, in their order, and a duplicated key where the report says.
std::vector<TRecordBytes> Expected(const TRawTable& before, const TDamageReport& report, int keyWidth) {
  std::vector<TRecordBytes> expected;
  for (std::size_t r = 0; r < before.records.size(); ++r) {
    const auto ordinal = static_cast<std::int64_t>(r);
    if (report.IsUnreachable(ordinal)) continue;
    TRecordBytes record = before.records[r];
    for (const std::int64_t duplicate : report.duplicateKeys) {
      if (duplicate == ordinal) std::copy_n(before.records[r - 1].begin(), keyWidth, record.begin());
    }
    expected.push_back(std::move(record));
  }
  return expected;
}

struct TRecordCase {
  TDamageKind kind;
  std::uint64_t seed;
};

class DamageToRecords : public DamageFixture, public ::testing::WithParamInterface<TRecordCase> {};

std::vector<TRecordCase> RecordCases() {
  std::vector<TRecordCase> cases;
  for (const TDamageKind kind :
       {TDamageKind::kTruncatedFile, TDamageKind::kTrailingPartBlock, TDamageKind::kBlockNextLink,
        TDamageKind::kBlockPrevLink, TDamageKind::kBlockLastOffset, TDamageKind::kZeroedBlock,
        TDamageKind::kDuplicateKey, TDamageKind::kCountTooHigh, TDamageKind::kCountTooLow, TDamageKind::kCountZero}) {
    for (const std::uint64_t seed : {1, 2, 3, 4, 5, 6}) cases.push_back({kind, seed});
  }
  return cases;
}

std::string KindAndSeed(const ::testing::TestParamInfo<TRecordCase>& info) {
  std::string name(DamageKindName(info.param.kind));
  std::erase(name, '-');
  return name + "_seed" + std::to_string(info.param.seed);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamageToRecords, ::testing::ValuesIn(RecordCases()), KindAndSeed);

TEST_P(DamageToRecords, ReaderFindsWhatTheReportSays) {
  const std::string path = Copy("Books");
  const TRawTable before = ReadRaw(path);
  TDamageOptions options;
  options.seed = GetParam().seed;
  const TDamageReport report = Damage(GetParam().kind, path, options);
  const TRawTable after = ReadRaw(path);
  EXPECT_EQ(report.recordsBefore, static_cast<std::int64_t>(before.records.size()));
  EXPECT_EQ(report.recordsAfter, static_cast<std::int64_t>(after.records.size()));
  EXPECT_EQ(report.headerCountBefore, before.headerCount);
  EXPECT_EQ(report.headerCountAfter, after.headerCount);
  EXPECT_TRUE(after.records == Expected(before, report, 4)) << FormatDamageReport(report);
  EXPECT_EQ(report.changedFiles, std::vector<std::string>{"Books.db"});
  EXPECT_FALSE(report.summary.empty());
}

// Each kind changes what it says it changes: records lost only where
// blocks or the file's end were spoilt, keys doubled only by duplicate-key,
// counts only by the count kinds, and the chain links spoilt so that the
// engine refuses the table while the raw walk loses nothing.
TEST_P(DamageToRecords, TheDamageIsOfItsKind) {
  const std::string path = Copy("Books");
  const std::vector<std::byte> pristine = test::ReadWholeFile(path);
  TDamageOptions options;
  options.seed = GetParam().seed;
  const TDamageReport report = Damage(GetParam().kind, path, options);
  const TDamageKind kind = GetParam().kind;
  const bool losesRecords = kind == TDamageKind::kTruncatedFile || kind == TDamageKind::kTrailingPartBlock ||
                            kind == TDamageKind::kBlockLastOffset || kind == TDamageKind::kZeroedBlock;
  EXPECT_EQ(report.UnreachableCount() > 0, losesRecords);
  EXPECT_EQ(report.duplicateKeys.empty(), kind != TDamageKind::kDuplicateKey);
  EXPECT_EQ(report.phantomRecords, 0);
  const std::int32_t before = report.headerCountBefore;
  const std::int32_t after = report.headerCountAfter;
  switch (kind) {
    case TDamageKind::kCountTooHigh: EXPECT_GT(after, before); break;
    case TDamageKind::kCountTooLow: EXPECT_LT(after, before); break;
    case TDamageKind::kCountZero: EXPECT_EQ(after, 0); break;
    default: EXPECT_EQ(after, before);
  }
  if (kind == TDamageKind::kTruncatedFile || kind == TDamageKind::kTrailingPartBlock) {
    EXPECT_EQ(static_cast<std::int64_t>(env::DefaultFileSystem().Open(path, env::TOpenMode::kRead)->Size()),
              report.offset);
  }
  if (kind == TDamageKind::kBlockNextLink || kind == TDamageKind::kBlockPrevLink) {
    const std::vector<std::byte> damaged = test::ReadWholeFile(path);
    ASSERT_EQ(damaged.size(), pristine.size());
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < damaged.size(); ++i) {
      if (damaged[i] != pristine[i]) changed.push_back(i);
    }
    ASSERT_FALSE(changed.empty());
    EXPECT_GE(changed.front(), static_cast<std::size_t>(report.offset));
    EXPECT_LT(changed.back(), static_cast<std::size_t>(report.offset + 2));
    EXPECT_EQ(static_cast<std::size_t>(report.offset), 2048 + report.block * 8192 + (kind == TDamageKind::kBlockNextLink ? 0 : 2));
  }
  // The engine follows the next links (the previous ones it does not read).
  if (kind == TDamageKind::kBlockNextLink) {
    paradox::TTable table;
    table.SetDatabaseName(folder_.Path());
    table.SetTableName("Books.db");
    EXPECT_THROW(table.Open(), env::EDBEngineError);
  }
}

TEST_F(DamageFixture, DuplicateKeyMakesTheEngineRefuseTheNamedRecord) {
  const std::string path = Copy("Books");
  TDamageOptions options;
  options.record = 200;
  const TDamageReport report = Damage(TDamageKind::kDuplicateKey, path, options);
  EXPECT_EQ(report.duplicateKeys, std::vector<std::int64_t>{201});
  EXPECT_EQ(RefusedByTheEngine(ReadRaw(path)), std::vector<std::int64_t>{201});
}

TEST_F(DamageFixture, OptionsPlaceTheDamage) {
  const std::string path = Copy("Books");
  const TRawTable pristine = ReadRaw(path);
  const auto perBlock = static_cast<std::int64_t>((8192 - 6) / pristine.records[0].size());
  const auto total = static_cast<std::int64_t>(pristine.records.size());
  TDamageOptions options;
  options.block = 3;
  TDamageReport report = Damage(TDamageKind::kTruncatedFile, path, options);
  EXPECT_EQ(report.unreachable, (std::vector<TRecordRange>{{3 * perBlock, total - 3 * perBlock}}));
  EXPECT_EQ(report.offset, 2048 + 3 * 8192);

  Copy("Books");
  report = Damage(TDamageKind::kZeroedBlock, path, options);
  EXPECT_EQ(report.unreachable, (std::vector<TRecordRange>{{3 * perBlock, perBlock}}));
  EXPECT_EQ(report.block, 3);

  Copy("Books");
  options = {};
  options.amount = 5;
  report = Damage(TDamageKind::kTrailingPartBlock, path, options);
  const std::int64_t lastBlockFirst = (total - 1) / perBlock * perBlock;
  EXPECT_EQ(report.unreachable, (std::vector<TRecordRange>{{lastBlockFirst + 5, total - lastBlockFirst - 5}}));
  EXPECT_EQ(ReadRaw(path).records.size(), static_cast<std::size_t>(lastBlockFirst + 5));

  Copy("Books");
  options.amount = 1000;
  report = Damage(TDamageKind::kCountTooHigh, path, options);
  EXPECT_EQ(report.headerCountAfter, total + 1000);
  report = Damage(TDamageKind::kCountTooLow, path, options);
  EXPECT_EQ(report.headerCountAfter, total);
}

class DamageToMemos : public DamageFixture, public ::testing::WithParamInterface<TRecordCase> {
 protected:
  std::string MemoPath() {
    for (const std::string& name : Files()) {
      if (env::SameText(env::ExtensionPart(name), ".mb")) return folder_ / name;
    }
    return {};
  }
};

std::vector<TRecordCase> MemoCases() {
  std::vector<TRecordCase> cases;
  for (const TDamageKind kind : {TDamageKind::kMemoFlippedBytes, TDamageKind::kMemoZeroedUnit,
                                 TDamageKind::kMemoTruncated, TDamageKind::kMemoHeader, TDamageKind::kMemoDescriptor,
                                 TDamageKind::kMemoDeleted}) {
    for (const std::uint64_t seed : {1, 2, 3}) cases.push_back({kind, seed});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamageToMemos, ::testing::ValuesIn(MemoCases()), KindAndSeed);

// The memo damage lands where the report says and only there: the named
// unit started a block of values (type 2 or 3) before, the data file is
// untouched, and the same seed on a fresh copy does the same damage.
TEST_P(DamageToMemos, DamageLandsInTheNamedUnit) {
  constexpr std::size_t kUnit = 4096;
  const std::string path = Copy("Books");
  const std::string memoPath = MemoPath();
  ASSERT_FALSE(memoPath.empty());
  const std::vector<std::byte> data = test::ReadWholeFile(path), before = test::ReadWholeFile(memoPath);
  TDamageOptions options;
  options.seed = GetParam().seed;
  const TDamageReport report = Damage(GetParam().kind, path, options);
  EXPECT_EQ(report.recordsAfter, report.recordsBefore);
  if (GetParam().kind == TDamageKind::kMemoDescriptor) {
    // Only the reference's 10 bytes, after the leader, differ; it pointed into the .MB.
    const std::vector<std::byte> damaged = test::ReadWholeFile(path);
    EXPECT_EQ(test::ReadWholeFile(memoPath), before);
    ASSERT_EQ(damaged.size(), data.size());
    const auto at = static_cast<std::size_t>(report.offset);
    EXPECT_FALSE(std::equal(data.begin() + at, data.begin() + at + 10, damaged.begin() + at));
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + at, damaged.begin()));
    EXPECT_TRUE(std::equal(data.begin() + at + 10, data.end(), damaged.begin() + at + 10));
    EXPECT_NE(paradox::GetU32(data.data() + at), 0u);
    return;
  }
  EXPECT_EQ(test::ReadWholeFile(path), data);
  if (GetParam().kind == TDamageKind::kMemoDeleted) {
    EXPECT_FALSE(env::DefaultFileSystem().FileExists(memoPath));
    EXPECT_EQ(report.removedFiles.size(), 1u);
    return;
  }
  const std::vector<std::byte> after = test::ReadWholeFile(memoPath);
  const auto unit = static_cast<std::size_t>(report.block);
  const std::size_t start = GetParam().kind == TDamageKind::kMemoHeader ? 0 : unit * kUnit;
  if (GetParam().kind != TDamageKind::kMemoHeader) {
    ASSERT_GE(unit, 1u);
    EXPECT_TRUE(before.at(start) == std::byte{2} || before.at(start) == std::byte{3}) << FormatDamageReport(report);
  }
  if (GetParam().kind == TDamageKind::kMemoTruncated) {
    EXPECT_EQ(after.size(), start);
    EXPECT_TRUE(std::equal(after.begin(), after.end(), before.begin()));
  } else {
    ASSERT_EQ(after.size(), before.size());
    const auto firstChange = static_cast<std::size_t>(std::mismatch(after.begin(), after.end(), before.begin()).first - after.begin());
    const auto endOfChange = static_cast<std::size_t>(after.rend() - std::mismatch(after.rbegin(), after.rend(), before.rbegin()).first);
    ASSERT_LT(firstChange, after.size()) << "nothing changed";
    EXPECT_EQ(static_cast<std::int64_t>(firstChange), report.offset);
    EXPECT_GE(firstChange, start);
    EXPECT_LE(endOfChange, start + kUnit);
    if (GetParam().kind == TDamageKind::kMemoFlippedBytes) {
      EXPECT_GE(firstChange, start + 12);
    }
    if (GetParam().kind == TDamageKind::kMemoZeroedUnit) {
      EXPECT_EQ(std::count(after.begin() + start, after.begin() + start + kUnit, std::byte{0}), kUnit);
    }
  }
  test::WriteWholeFile(memoPath, before);
  const TDamageReport again = Damage(GetParam().kind, path, options);
  EXPECT_EQ(test::ReadWholeFile(memoPath), after);
  EXPECT_EQ(again.summary, report.summary);
}

TEST_F(DamageFixture, SameSeedSameDamageOtherSeedsOtherPlaces) {
  std::set<std::int64_t> blocks;
  for (const std::uint64_t seed : {21, 22, 23, 24, 25, 26, 27, 28}) {
    TDamageOptions options;
    options.seed = seed;
    const std::string path = Copy("Books");
    const TDamageReport first = Damage(TDamageKind::kBlockLastOffset, path, options);
    const std::vector<std::byte> damaged = test::ReadWholeFile(path);
    Copy("Books");
    const TDamageReport second = Damage(TDamageKind::kBlockLastOffset, path, options);
    EXPECT_EQ(FormatDamageReport(first), FormatDamageReport(second));
    EXPECT_TRUE(damaged == test::ReadWholeFile(path));
    blocks.insert(first.block);
  }
  EXPECT_GT(blocks.size(), 3u);
}

// Damage that cannot be done throws and leaves every file as it was.
TEST_F(DamageFixture, ImpossibleDamageChangesNothing) {
  const std::string path = Copy("Books");
  const std::vector<std::byte> pristine = test::ReadWholeFile(path);
  const auto attempt = [&](TDamageKind kind, auto&& set) {
    TDamageOptions options;
    set(options);
    EXPECT_THROW(Damage(kind, path, options), EDamageError) << DamageKindName(kind);
    EXPECT_TRUE(test::ReadWholeFile(path) == pristine) << DamageKindName(kind);
  };
  attempt(TDamageKind::kZeroedBlock, [](TDamageOptions& o) { o.block = 10000; });
  attempt(TDamageKind::kTruncatedFile, [](TDamageOptions& o) { o.block = -1; });
  attempt(TDamageKind::kDuplicateKey, [](TDamageOptions& o) { o.record = 1499; });
  attempt(TDamageKind::kCountTooLow, [](TDamageOptions& o) { o.amount = 1501; });
  attempt(TDamageKind::kCountTooHigh, [](TDamageOptions& o) { o.amount = 0; });
  attempt(TDamageKind::kTrailingPartBlock, [](TDamageOptions& o) { o.amount = 100; });
  attempt(TDamageKind::kStaleIndexes, [](TDamageOptions& o) { o.field = 9; });
  const std::string missing = folder_ / "Nothing.db";
  EXPECT_THROW(Damage(TDamageKind::kZeroedBlock, missing), EDamageError);
  EXPECT_THROW(Damage(TDamageKind::kMissingTable, missing), EDamageError);
}

TEST_F(DamageFixture, MissingFilesAreDeleted) {
  const std::string path = Copy("Books");
  std::set<std::string> family = Files();
  ASSERT_EQ(family.count("Books.px"), 1u);
  TDamageReport report = Damage(TDamageKind::kMissingPrimaryIndex, path);
  EXPECT_EQ(report.removedFiles, std::vector<std::string>{"Books.px"});
  family.erase("Books.px");
  EXPECT_EQ(Files(), family);
  EXPECT_EQ(report.recordsAfter, report.recordsBefore);
  EXPECT_THROW(Damage(TDamageKind::kMissingPrimaryIndex, path), EDamageError);

  report = Damage(TDamageKind::kMissingTable, path);
  EXPECT_EQ(report.removedFiles, std::vector<std::string>(family.begin(), family.end()));
  EXPECT_EQ(report.unreachable, (std::vector<TRecordRange>{{0, 1500}}));
  EXPECT_FALSE(report.walkableAfter);
  EXPECT_TRUE(Files().empty());
}

TEST_F(DamageFixture, ReadOnlyMarksTheWholeFamily) {
  const std::string path = Copy("Books");
  const std::set<std::string> family = Files();
  const TDamageReport report = Damage(TDamageKind::kReadOnly, path);
  EXPECT_EQ(report.changedFiles, std::vector<std::string>(family.begin(), family.end()));
  EXPECT_GE(report.changedFiles.size(), 4u);  // data, primary index, memo, secondary indexes
  for (const std::string& name : report.changedFiles) {
    const auto bits = env::DefaultFileSystem().Attributes(folder_ / name);
    ASSERT_TRUE(bits.has_value());
    EXPECT_NE(*bits & env::attr::kReadOnly, 0u) << name;
    EXPECT_TRUE(env::DefaultFileSystem().SetAttributes(folder_ / name, env::attr::kArchive));
  }
  EXPECT_EQ(report.recordsAfter, 1500);
}

TEST_F(DamageFixture, ForeignFileTakesTheTablesName) {
  const std::string path = Copy("Books");
  TDamageReport report = Damage(TDamageKind::kForeignFile, path);
  EXPECT_FALSE(report.walkableAfter);
  EXPECT_EQ(report.UnreachableCount(), 1500);
  paradox::TPxObject reader(env::DefaultFileSystem().Open(path, env::TOpenMode::kRead));
  EXPECT_EQ(reader.RecordCount(), 0);
  EXPECT_FALSE(reader.HasFields());
  EXPECT_THROW(reader.FirstRecord(), env::EReadError);

  const std::string genre = SharedCatalogue(true).folder.Path() + "Genre.db";
  TDamageOptions options;
  options.source = genre;
  report = Damage(TDamageKind::kForeignFile, path, options);
  EXPECT_TRUE(report.walkableAfter);
  EXPECT_EQ(report.UnreachableCount(), 0);  // nothing of Books was left to lose
  EXPECT_EQ(report.phantomRecords, static_cast<std::int64_t>(ReadRaw(genre).records.size()));
  EXPECT_TRUE(ReadRaw(path).records == ReadRaw(genre).records);
}

// Books has the indexes Main (field 2) and Sort Title (field 4): one field's
// pair or all of them go stale or missing.
TEST_F(DamageFixture, IndexFilesOfOneFieldOrAll) {
  const std::string path = Copy("Books");
  const std::set<std::string> family = Files();
  ASSERT_EQ(family, (std::set<std::string>{"Books.db", "Books.mb", "Books.px", "Books.x02", "Books.x04",
                                           "Books.y02", "Books.y04"}));
  const auto x04 = test::ReadWholeFile(folder_ / "Books.x04");
  const auto y04 = test::ReadWholeFile(folder_ / "Books.y04");
  const auto x02 = test::ReadWholeFile(folder_ / "Books.x02");
  TDamageOptions options;
  options.field = 4;
  TDamageReport report = Damage(TDamageKind::kStaleIndexes, path, options);
  EXPECT_EQ(report.changedFiles, (std::vector<std::string>{"Books.x04", "Books.y04"}));
  const auto staleX = test::ReadWholeFile(folder_ / "Books.x04");
  const auto staleY = test::ReadWholeFile(folder_ / "Books.y04");
  ASSERT_EQ(staleX.size(), x04.size());
  for (std::size_t i = 0; i < x04.size(); ++i) {
    EXPECT_EQ(staleX[i] != x04[i], i == 0x2E || i == 0x2F) << "byte " << i;
  }
  for (std::size_t i = 0; i < y04.size(); ++i) EXPECT_EQ(staleY[i] != y04[i], i == 0x2C) << "byte " << i;
  EXPECT_TRUE(test::ReadWholeFile(folder_ / "Books.x02") == x02);

  report = Damage(TDamageKind::kMissingIndexes, path, options);
  EXPECT_EQ(report.removedFiles, (std::vector<std::string>{"Books.x04", "Books.y04"}));
  options.field = 9;
  EXPECT_THROW(Damage(TDamageKind::kMissingIndexes, path, options), EDamageError);
  report = Damage(TDamageKind::kMissingIndexes, path);
  EXPECT_EQ(report.removedFiles, (std::vector<std::string>{"Books.x02", "Books.y02"}));
  EXPECT_EQ(Files(), (std::set<std::string>{"Books.db", "Books.mb", "Books.px"}));
  EXPECT_EQ(report.recordsAfter, 1500);
}

struct TCommandRun {
  int status;
  std::string out;
  std::string err;
};

TCommandRun RunCommand(const std::vector<std::string>& words) {
  std::ostringstream out, err;
  const int status = RunDamage(words, out, err);
  return {status, out.str(), err.str()};
}

TEST_F(DamageFixture, CommandPrintsTheReport) {
  const std::string path = Copy("Books");
  const TCommandRun run = RunCommand({"zeroed-block", path, "--block", "2", "--seed", "4"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("zeroed-block: block 2 (8192 bytes at offset 18432) zeroed\n", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("unreachable records: 150 to 224 (75)\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("phantom records"), std::string::npos) << run.out;

  const TCommandRun list = RunCommand({"--list"});
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(static_cast<std::size_t>(std::count(list.out.begin(), list.out.end(), '\n')), AllDamageKinds().size());
  for (const TDamageKind kind : AllDamageKinds()) {
    EXPECT_EQ(DamageKindFromName(DamageKindName(kind)), kind);
    EXPECT_NE(list.out.find(std::string(DamageKindName(kind)) + "\n"), std::string::npos);
  }

  EXPECT_EQ(RunCommand({"missing-px", folder_ / "Nothing.db"}).status, 1);
  for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
           {}, {"zeroed-block"}, {"melted", path}, {"zeroed-block", path, "--block"},
           {"zeroed-block", path, "--block", "x"}, {"zeroed-block", path, "--colour", "red"}}) {
    const TCommandRun bad = RunCommand(words);
    EXPECT_EQ(bad.status, 2) << ::testing::PrintToString(words);
    EXPECT_NE(bad.err.find("usage: remdo-damage"), std::string::npos);
  }
}

}  // namespace
}  // namespace remdo::tools
