// remdo-table run in-process on hand-built table files: the CSV of every
// field type (memo and graphic values from a memo file), code page
// conversion, the info report, and the exit status and one-line message for
// usage errors and damaged files.
#include "remdo-table/RemdoTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "env/FileSystem.h"
#include "paradox/TableImage.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "support/TestSupport.h"
#include "tools/ToolRun.h"

namespace remdo::tools {
namespace {

namespace ft = paradox::fieldtype;
using test::Alpha;
using test::Blank;
using test::Int;
using test::Raw;
using test::Record;
using test::TBytes;
using test::TTableImage;
using testing::RunTool;
using testing::TRun;

// One table with a field of every type the tool writes: a record with a
// value in each (picture: the graphic field's bytes, blank when empty), a
// blank record, and when note is given a record with that memo field alone.
TTableImage EveryType(const TBytes& picture = {}, const TBytes& note = {}) {
  TTableImage t;
  t.fields = {{ft::kAlpha, 10, "Name"},  {ft::kDate, 4, "Day"},        {ft::kShort, 2, "Small"},
              {ft::kLong, 4, "Big"},     {ft::kMoney, 8, "Price"},     {ft::kNumber, 8, "Ratio"},
              {ft::kLogical, 1, "Flag"}, {ft::kTime, 4, "At"},         {ft::kTimestamp, 8, "Stamp"},
              {ft::kAutoIncrement, 4, "Id"}, {ft::kBcd, 2, "Amount"}, {ft::kBytes, 3, "Raw"},
              {ft::kMemo, 15, "Note"},   {ft::kGraphic, 12, "Picture"}};
  TBytes bcd(17);
  bcd[0] = std::byte{0xC2};
  bcd[15] = std::byte{0x01};
  bcd[16] = std::byte{0x23};
  const TBytes memo = Raw({'h', 'i', '\r', '\n', 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0});  // 4 bytes in the leader
  const TBytes filled = Record({Alpha("a,\"b\"", 10), Int(728783, 4), Int(-5, 2), Int(70000, 4), test::Float(-2.5),
                                test::Float(1.25), Raw({0x81}), Int(3601000, 4), test::Float(63716202001000.0),
                                Int(1, 4), bcd, Raw({0x01, 0x0A, 0xFF}), memo, picture.empty() ? Blank(12) : picture});
  const int size = static_cast<int>(filled.size());
  std::vector<TBytes> records = {filled, Blank(size)};
  if (!note.empty()) {
    TBytes noteOnly = Blank(size);
    std::copy(note.begin(), note.end(), noteOnly.end() - 12 - static_cast<std::ptrdiff_t>(note.size()));
    records.push_back(noteOnly);
  }
  t.blocks = {records};
  return t;
}

class RemdoTable : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const TBytes& bytes) {
    const std::string path = folder_ / name;
    test::WriteWholeFile(path, bytes);
    return path;
  }
  test::TScratchFolder folder_;
};

TEST_F(RemdoTable, DumpWritesEveryTypeAsCsv) {
  // A graphic and a memo longer than their leaders, in the table's memo file.
  TBytes picture(12);
  TBytes note(15);
  {
    paradox::TMemoFileBuilder memo(env::RealFileSystem(), folder_ / "every.MB");
    TBytes graphic(10000, std::byte{0xCD});
    graphic[8] = std::byte{0xAB};
    memo.AddToField(picture, paradox::TBlobKind::kGraphic, graphic);
    memo.AddToField(note, paradox::TBlobKind::kMemo, test::Bytes("a longer memo,\r\nwith a \x01 control"));
    memo.Finish();
  }
  ASSERT_EQ(picture[0], std::byte{0xAB});  // the leader shows the payload after the prefix
  const auto run = RunTool({"dump", Write("every.db", EveryType(picture, note).Build())});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "Name,Day,Small,Big,Price,Ratio,Flag,At,Stamp,Id,Amount,Raw,Note,Picture\r\n"
            "\"a,\"\"b\"\"\",1996-05-04,-5,70000,-2.5,1.25,true,01:00:01,2020-02-01T01:00:01,1,1.23,010AFF,"
            "\"hi\r\n\",<10000 bytes>\r\n"
            ",,,,,,,,,,,,,\r\n"
            ",,,,,,,,,,,,\"a longer memo,\r\nwith a \\x01 control\",\r\n");
}

TEST_F(RemdoTable, DumpConvertsTheTablesCodePageToUtf8) {
  struct Case { int version; std::uint16_t codePage; int byte; std::string utf8; bool warning; };
  const Case cases[] = {
      {11, 1252, 0xE9, "\xC3\xA9", false},  // e acute
      {11, 850, 0x81, "\xC3\xBC", false},   // u umlaut
      {11, 866, 0xA0, "\xD0\xB0", false},   // Cyrillic a
      {11, 1250, 0x8A, "\xC5\xA0", false},  // S caron
      {4, 0, 0x81, "\xC3\xBC", false},      // no code page recorded: 437
      {11, 936, 0xE9, "\xC3\xA9", true},    // not supported: Latin-1 and a warning
  };
  for (const auto& c : cases) {
    TTableImage t;
    t.version = c.version;
    t.codePage = c.codePage;
    t.fields = {{ft::kAlpha, 4, "T"}};
    t.blocks = {{Raw({'x', c.byte, 0, 0})}};
    const auto run = RunTool({"dump", Write("cp.db", t.Build())});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "T\r\nx" + c.utf8 + "\r\n") << c.codePage;
    EXPECT_EQ(run.err.find("code page " + std::to_string(c.codePage) + " is not supported") != std::string::npos,
              c.warning)
        << run.err;
  }
}

TEST_F(RemdoTable, InfoReportsLayoutCountsAndCompanions) {
  TTableImage t;
  t.fields = {{ft::kShort, 2, "Id"}, {ft::kAlpha, 6, "Name"}};
  t.fileType = 0;
  t.keyFields = 1;
  std::vector<TBytes> block;
  for (int i = 1; i <= 100; ++i) block.push_back(Record({Int(i, 2), Alpha("n", 6)}));
  t.blocks = {block, block, block};
  TBytes bytes = t.Build();
  bytes.resize(bytes.size() - 1024 + 6 + 30 * 8);  // the last block is cut after 30 records
  const std::string path = Write("Family.DB", bytes);
  Write("Family.PX", TBytes(10));
  Write("Family.MB", TBytes(10));
  Write("Other.DB", TBytes(10));
  const auto run = RunTool({"info", path});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string expected[] = {
      "level: 5 (version code 11)\n",
      "file type: 0 (keyed table)\n",
      "record size: 8\n",
      "header records: 300\n",
      "records found: 230\n",
      "block size: 1024\n",
      "blocks: 2 (and a part block of 246 bytes)\n",
      "sort order: 0x4C DBWINUS0\n",
      "code page: 1252\n",
      "encrypted: no\n",
      "key fields: 1\n",
      "fields: 2\n",
      "    1  S (3)       2       0  Id\n",
      "    2  A (1)       6       2  Name\n",
      "companion files: Family.MB Family.PX\n",
  };
  for (const auto& line : expected) EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
}

TEST_F(RemdoTable, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"frobnicate"}, {"dump"}, {"info"}, {"dump", "a.db", "b.db"}, {"info", "a.db", "b.db"},
  };
  for (const auto& words : cases) {
    const auto run = RunTool(words);
    EXPECT_EQ(run.status, 2) << words.size();
    EXPECT_NE(run.err.find("usage:"), std::string::npos);
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(RemdoTable, UnreadableOrDamagedFilesExitWithOneAndOneLine) {
  struct Case { std::string name; std::function<void(TBytes&)> damage; std::string message; };
  const TTableImage good = EveryType();
  const Case cases[] = {
      {"short.db", [](TBytes& b) { b.resize(3); }, "Stream read error"},
      {"noheader.db", [](TBytes& b) { test::PatchU16(b, 2, 80); }, "no valid table header"},
      {"other.db", [](TBytes& b) { b[4] = std::byte{'r'}; }, "not a Paradox table file (file type 114)"},
      {"norecordsize.db", [](TBytes& b) { test::PatchU16(b, 0, 0); }, "Record size is 0"},
      {"blocksize.db", [](TBytes& b) { b[5] = std::byte{0}; }, "Block size not defined."},
      {"crypt.db", [](TBytes& b) { paradox::PutU32(b.data() + 92, 0x1234u); }, "the table is encrypted"},
      {"nofields.db", [](TBytes& b) { test::PatchU16(b, 33, 0); }, "field descriptions in the header"},
  };
  for (const auto& c : cases) {
    TBytes bytes = good.Build();
    c.damage(bytes);
    const std::string path = Write(c.name, bytes);
    const auto run = RunTool({"dump", path});
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(run.err.find("remdo-table: " + path), 0u) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  const auto missing = RunTool({"info", folder_ / "missing.db"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("missing.db"), std::string::npos);
  EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;
}

TEST_F(RemdoTable, VerifyFindsCountsKeyOrderAndDuplicates) {
  const auto records = [](std::initializer_list<int> keys) {
    std::vector<TBytes> out;
    for (const int key : keys) out.push_back(Record({Int(key, 4), Alpha("x", 6)}));
    return out;
  };
  struct Case {
    const char* name;
    std::vector<std::vector<TBytes>> blocks;
    std::int64_t headerCount;  // -1: the records in the blocks
    std::vector<std::string> lines;
    std::function<void(TBytes&)> patch = nullptr;
  };
  const Case cases[] = {
      {"sound", {records({1, 2}), records({3, 4})}, -1, {"    keys out of order  : 0", "    duplicate keys     : 0"}},
      {"blocks in another file order", {records({3, 4}), records({1, 2})}, -1, {"    keys out of order  : 0"}},
      {"disorder in a block", {records({2, 1}), records({3, 4})}, -1, {"    keys out of order  : 1"}},
      {"overlapping blocks", {records({1, 3}), records({2, 4})}, -1, {"    keys out of order  : 1"}},
      {"duplicate", {records({1, 2}), records({2, 3})}, -1, {"    duplicate keys     : 1"}},
      {"count too high", {records({1, 2}), records({3, 4})}, 6, {"  -- 2 records not found"}},
      {"count too low", {records({1, 2}), records({3, 4})}, 2, {"  -- 2 records past the header count"}},
      {"last-record offset of block 0 at 7",
       {records({1, 2}), records({3, 4})},
       -1,
       {"  -- 1 block passed over", "     block 0: last-record offset 7 not a multiple of the record size 10",
        "  -- 2 records not found"},
       [](TBytes& b) { test::PatchU16(b, 1024 + 4, 7); }},
      {"zeroed block 1", {records({1, 2}), records({3, 4})}, -1,
       {"  -- 1 block passed over", "     block 1: every byte zero, no record", "  -- 2 records not found"},
       [](TBytes& b) { std::fill(b.begin() + 2048, b.end(), std::byte{0}); }},
      {"encryption mark", {records({1, 2})}, -1, {"  -- encryption mark over plain data blocks: header damage"},
       [](TBytes& b) { test::PatchU16(b, 92, 0x7F01); }},
      {"cut last block",
       {records({1, 2}), records({3, 4})},
       -1,
       {"     block 1: records cut off by the end of the file", "  -- partial block: file ends 16 bytes into block 1"},
       [](TBytes& b) { b.resize(1024 + 1024 + 16); }},
  };
  for (const auto& c : cases) {
    TTableImage table;
    table.fileType = 0;
    table.keyFields = 1;
    table.fields = {{ft::kLong, 4, "Id"}, {ft::kAlpha, 6, "Name"}};
    table.blocks = c.blocks;
    table.recordCount = c.headerCount;
    TBytes bytes = table.Build();
    if (c.patch) c.patch(bytes);
    const auto run = RunTool({"verify", Write("Thing.db", bytes)});
    // A keyed table without its primary index: damage even where the
    // records and their keys are sound.
    EXPECT_EQ(run.status, 1) << c.name << "\n" << run.out;
    EXPECT_NE(run.out.find("  -- Thing.PX: missing\n"), std::string::npos) << c.name << "\n" << run.out;
    for (const auto& line : c.lines) EXPECT_NE(run.out.find(line + "\n"), std::string::npos) << c.name << "\n" << run.out;
  }
}

TEST_F(RemdoTable, InfoShowsWhatItCanOfATableItCannotWalk) {
  TBytes bytes = EveryType().Build();
  test::PatchU16(bytes, 0, 0);
  const auto run = RunTool({"info", Write("zero.db", bytes)});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("records found: 0 before a read error\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("fields: 14\n"), std::string::npos);
  EXPECT_NE(run.err.find("Record size is 0"), std::string::npos);
}

}  // namespace
}  // namespace remdo::tools
