// remdo-table dump of tables with memo and BLOB fields: the sample tables'
// whole values as the engine reads them from their memo files, and a
// generated table whose memo file is missing or damaged, dumped whole but
// for the values that need the file, each cell saying why, with one line on
// the error stream and exit status 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "env/Path.h"
#include "paradox/components/Table.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/MemoFormat.h"
#include "remdo-table/RemdoTable.h"
#include "remdo-table/TableFile.h"
#include "remdo-table/ValueText.h"
#include "support/TestSupport.h"
#include "tools/GeneratedCatalogue.h"
#include "tools/ToolRun.h"

namespace remdo::tools {
namespace {

using testing::CodePageOf;
using testing::ParseCsv;
using testing::RunTool;
using testing::TRow;
using testing::TRun;

// Checks every blob column of the dump's rows against the values the engine
// reads, as sorted lists (the engine may walk the records in key order).
// Returns the values longer than their field's leader, which only the memo
// file holds.
int ExpectBlobColumnsAsTheEngineReads(const std::string& path, const std::vector<TRow>& rows) {
  const std::uint16_t codePage = CodePageOf(path);
  paradox::TTable table;
  table.SetDatabaseName(std::string(env::FolderPart(path)));
  table.SetTableName(std::string(env::NamePart(path)));
  table.Open();
  EXPECT_EQ(rows.size(), static_cast<std::size_t>(table.RecordCount()) + 1);
  int beyondLeader = 0;
  for (int i = 0; i < table.FieldCount(); ++i) {
    paradox::TField& field = table.Fields(i);
    if (!field.IsBlob()) continue;
    const auto kind = *paradox::BlobKindOf(static_cast<std::uint8_t>(field.DataType()));
    const auto leader = static_cast<std::size_t>(field.Size()) - paradox::TBlobDescriptor::kSize;
    std::vector<std::string> expected;
    for (table.First(); !table.Eof() && !table.IsEmpty(); table.Next()) {
      const std::vector<std::byte> value = field.AsBytes();
      if (value.size() > leader) ++beyondLeader;
      expected.push_back(BlobText(kind, value, codePage));
    }
    std::vector<std::string> dumped;
    for (std::size_t r = 1; r < rows.size(); ++r) dumped.push_back(rows[r].at(static_cast<std::size_t>(i)));
    std::sort(expected.begin(), expected.end());
    std::sort(dumped.begin(), dumped.end());
    EXPECT_EQ(dumped, expected) << field.FieldName();
  }
  table.Close();
  return beyondLeader;
}

TEST(DumpCommand, SampleTablesShowTheWholeValuesOfTheirMemoFiles) {
  REMDO_SAMPLES_OR_SKIP(samples);
  int beyondLeader = 0;
  for (const char* sample :
       {"paradoxdriver/db/HERCULES.DB", "paradoxdriver/db/CUSTOMER.DB", "paradoxdriver/fields/fmemo.db",
        "paradoxdriver/fields/graphic.db", "paradoxdriver/fields/memo.db", "paradoxdriver/fields/ole.db",
        "paradoxdriver/history/note1251/NOTE1251.DB", "python-pxlib/KOMMENT.DB", "rparadox/biolife.db",
        "rparadox/mushrooms.db", "medilink/testtab.DB"}) {
    SCOPED_TRACE(sample);
    const std::string path = samples + sample;
    const TRun run = RunTool({"dump", path});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("could not be read"), std::string::npos) << run.err;  // NOTE1251: a code page warning
    beyondLeader += ExpectBlobColumnsAsTheEngineReads(path, ParseCsv(run.out));
  }
  EXPECT_GT(beyondLeader, 100);
}

// One generated Books table (its memo column the blurb) in a scratch folder.
class DumpCommandMemoFile : public ::testing::Test {
 protected:
  void SetUp() override {
    TCatalogueOptions options;
    options.books = 400;
    options.memoPerMille = 600;
    options.seed = 11;
    options.saveFolder = false;
    options.onlyTables = {"Books"};
    (void)testing::GenerateUnsynced(folder_.Path(), options);
    for (const auto& entry : env::RealFileSystem().Find(folder_ / "*.*", 0)) {
      const std::string_view extension = env::ExtensionPart(entry.name);
      if (env::SameText(extension, ".db")) path_ = folder_ / entry.name;
      if (env::SameText(extension, ".mb")) memo_ = folder_ / entry.name;
    }
    ASSERT_FALSE(path_.empty());
    ASSERT_FALSE(memo_.empty());
    const testing::TRawTable raw = testing::ReadRaw(path_);
    for (std::size_t i = 0; i < raw.fields.size(); ++i) {
      if (raw.fields[i].type == static_cast<int>(paradox::TBlobKind::kMemo)) column_ = i;
    }
    ASSERT_NE(column_, raw.fields.size()) << "no memo field";
    for (const auto& record : raw.records) {
      const auto& field = raw.fields[column_];
      const auto bytes = std::span<const std::byte>(record).subspan(static_cast<std::size_t>(field.offset),
                                                                    static_cast<std::size_t>(field.width));
      references_.push_back(paradox::DescriptorOfField(bytes));
    }
  }

  test::TScratchFolder folder_;
  std::string path_;
  std::string memo_;
  std::size_t column_ = 0;
  // The memo field's reference of each record, in the dump's order.
  std::vector<paradox::TBlobDescriptor> references_;
};

TEST_F(DumpCommandMemoFile, AWholeFileGivesTheEnginesValues) {
  const TRun run = RunTool({"dump", path_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_GT(ExpectBlobColumnsAsTheEngineReads(path_, ParseCsv(run.out)), 100);
}

TEST_F(DumpCommandMemoFile, AMissingOrDamagedFileCostsOnlyTheValuesStoredInIt) {
  const TRun whole = RunTool({"dump", path_});
  ASSERT_EQ(whole.status, 0) << whole.err;
  const std::vector<TRow> wholeRows = ParseCsv(whole.out);
  ASSERT_EQ(wholeRows.size(), references_.size() + 1);
  const std::vector<std::byte> original = test::ReadWholeFile(memo_);
  constexpr std::uint32_t kFirstBlock = paradox::memo::kUnit;
  const struct {
    const char* name;
    std::function<void(std::vector<std::byte>&)> damage;  // the memo file's bytes; null: removed
    std::string reason;
    // Which stored values are lost.
    std::function<bool(const paradox::TBlobDescriptor&)> lost;
  } cases[] = {
      {"missing", nullptr, "The memo file " + env::ChangeExtension(path_, ".MB") + " is missing",
       [](const auto&) { return true; }},
      {"not a memo file", [](auto& bytes) { bytes[0] = std::byte{0x41}; }, "does not start with a memo header block",
       [](const auto&) { return true; }},
      {"cut after its header", [](auto& bytes) { bytes.resize(paradox::memo::kUnit); }, "beyond the end of the file",
       [](const auto&) { return true; }},
      {"first block zeroed",
       [](auto& bytes) { std::fill(bytes.begin() + kFirstBlock, bytes.begin() + 2 * kFirstBlock, std::byte{0}); },
       "is the header block", [](const auto& d) { return d.blockOffset == kFirstBlock; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    (void)env::RealFileSystem().Remove(memo_);
    if (c.damage) {
      std::vector<std::byte> bytes = original;
      c.damage(bytes);
      test::WriteWholeFile(memo_, bytes);
    }
    const TRun run = RunTool({"dump", path_});
    EXPECT_EQ(run.status, 1);
    const std::vector<TRow> rows = ParseCsv(run.out);
    ASSERT_EQ(rows.size(), wholeRows.size());
    std::size_t lost = 0;
    std::size_t values = 0;
    std::size_t stored = 0;
    for (std::size_t r = 1; r < rows.size(); ++r) {
      const paradox::TBlobDescriptor& d = references_[r - 1];
      values += d.IsBlank() ? 0 : 1;
      stored += paradox::IsStoredBlob(d) ? 1 : 0;
      for (std::size_t i = 0; i < rows[r].size(); ++i) {
        if (i != column_ || !paradox::IsStoredBlob(d) || !c.lost(d)) {
          EXPECT_EQ(rows[r][i], wholeRows[r][i]) << "record " << r << " field " << i;
          continue;
        }
        ++lost;
        EXPECT_EQ(rows[r][i].rfind("<memo unreadable: ", 0), 0u) << rows[r][i];
        EXPECT_NE(rows[r][i].find(c.reason), std::string::npos) << rows[r][i];
      }
    }
    EXPECT_GT(stored, 100u);
    EXPECT_GT(lost, 0u);
    EXPECT_EQ(run.err, "remdo-table: " + path_ + ": " + std::to_string(lost) + " of " + std::to_string(values) +
                           " memo and BLOB values could not be read; their cells say why.\n");
  }
  test::WriteWholeFile(memo_, original);
  EXPECT_EQ(RunTool({"dump", path_}).out, whole.out);
}

}  // namespace
}  // namespace remdo::tools
