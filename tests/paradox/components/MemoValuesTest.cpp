// Memo and BLOB values through the table component: read from genuine memo
// files, written on post, released after the close that drops them, packed
// with the table, and reported clearly, field by field, when the memo file
// is missing or damaged.
#include <gtest/gtest.h>

#include <functional>

#include "env/Errors.h"
#include "env/Path.h"
#include "paradox/EngineFixture.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/components/BlobStream.h"
#include "paradox/components/Table.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/MemoFormat.h"
#include "paradox/memo/MemoFile.h"

namespace remdo::paradox {
namespace {

using testing::Fld;
using testing::ReadTableFile;
using testing::Record;
using testing::TableDesc;
using testing::TFileImage;

std::vector<std::byte> Bytes(std::string_view text) { return remdo::test::Bytes(text); }

std::string Text(std::size_t length, char seed) {
  std::string text(length, ' ');
  for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + (seed + i * 7) % 26);
  return text;
}

class MemoValuesTest : public testing::TEngineTest {
 protected:
  // Copies a sample family (every file of that base name) into the folder.
  std::string CopySample(const std::string& samples, const std::string& relative) {
    const std::string path = samples + relative;
    const std::string_view name = env::NamePart(path);
    const std::string base(name.substr(0, name.size() - env::ExtensionPart(name).size()));
    for (const auto& entry : env::RealFileSystem().Find(std::string(env::FolderPart(path)) + base + ".*", 0)) {
      remdo::test::WriteWholeFile(PathOf(entry.name),
                                  remdo::test::ReadWholeFile(std::string(env::FolderPart(path)) + entry.name));
    }
    return std::string(name);
  }
  void Open(TTable& table, const std::string& name) {
    table.SetDatabaseName(folder_.Path());
    table.SetTableName(name);
    table.Open();
  }
  // Notes: a memo of leader 10; Pic: a graphic of leader 10.
  void CreateNotes() { Create(TableDesc("N.db", {Fld("Key", 'I'), Fld("Notes", 'M', 10), Fld("Pic", 'G', 10)}, 1)); }
  std::uint64_t MemoSize() { return remdo::test::ReadWholeFile(PathOf("N.MB")).size(); }
};

TEST_F(MemoValuesTest, EveryKindOfValueReadsFromGenuineMemoFiles) {
  REMDO_SAMPLES_OR_SKIP(samples);
  int checked = 0;
  for (const char* sample :
       {"paradoxdriver/db/HERCULES.DB", "paradoxdriver/fields/fmemo.db", "paradoxdriver/fields/graphic.db",
        "paradoxdriver/fields/graphic240.db", "paradoxdriver/fields/memo.db", "paradoxdriver/fields/ole.db",
        "rparadox/biolife.db", "rparadox/mushrooms.db", "medilink/testtab.DB"}) {
    SCOPED_TRACE(sample);
    remdo::test::TScratchFolder scratch;
    TTable table;
    table.SetDatabaseName(std::string(env::FolderPart(samples + sample)));
    table.SetTableName(std::string(env::NamePart(sample)));
    table.Open();
    for (table.First(); !table.Eof() && !table.IsEmpty(); table.Next()) {
      for (int i = 0; i < table.FieldCount(); ++i) {
        TField& field = table.Fields(i);
        if (!field.IsBlob()) continue;
        const auto buffer = table.ActiveBuffer().subspan(static_cast<std::size_t>(field.Offset()),
                                                         static_cast<std::size_t>(field.Size()));
        const TBlobDescriptor d = DescriptorOfField(buffer);
        const std::vector<std::byte> value = field.AsBytes();
        ASSERT_EQ(value.size(), d.length);
        // The leader repeats the start of the value (of the payload, for
        // graphic and OLE values).
        const auto kind = *BlobKindOf(static_cast<std::uint8_t>(field.DataType()));
        const auto payload = BlobPayload(kind, value);
        const std::size_t shown = std::min(payload.size(), buffer.size() - TBlobDescriptor::kSize);
        EXPECT_TRUE(std::equal(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(shown), buffer.begin()));
        EXPECT_EQ(field.BlobSize(), d.length);
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 100);
}

TEST_F(MemoValuesTest, AMissingOrDamagedMemoFileStopsOnlyTheValuesStoredInIt) {
  REMDO_SAMPLES_OR_SKIP(samples);
  const struct {
    const char* name;
    std::function<void(const std::string& memo)> damage;
    std::uint16_t code;
  } cases[] = {
      {"missing", [](const std::string& memo) { (void)env::RealFileSystem().Remove(memo); }, kDbiErrBlobFileMissing},
      {"not a memo file",
       [](const std::string& memo) {
         auto bytes = remdo::test::ReadWholeFile(memo);
         bytes[0] = std::byte{0x41};
         remdo::test::WriteWholeFile(memo, bytes);
       },
       kDbiErrMemoCorrupt},
      {"cut short",
       [](const std::string& memo) {
         auto bytes = remdo::test::ReadWholeFile(memo);
         bytes.resize(memo::kUnit);
         remdo::test::WriteWholeFile(memo, bytes);
       },
       kDbiErrInvalidBlobOffset},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = CopySample(samples, "paradoxdriver/db/HERCULES.DB");
    c.damage(PathOf("HERCULES.MB"));
    TTable table;
    Open(table, name);
    int failed = 0;
    for (table.First(); !table.Eof(); table.Next()) {
      EXPECT_FALSE(table.Fields(0).AsString().empty());
      try {
        (void)table.Fields(1).AsString();
      } catch (const env::EDBEngineError& e) {
        EXPECT_EQ(e.Code(), c.code) << e.what();
        EXPECT_NE(std::string(e.what()).find("HERCULES.MB"), std::string::npos) << e.what();
        ++failed;
      }
    }
    EXPECT_GT(failed, 5);
    table.Close();
  }
}

TEST_F(MemoValuesTest, ValuesWrittenOnPostComeBack) {
  CreateNotes();
  const std::string shortText = "short";  // fits the leader
  const std::string shared = Text(700, 1);
  const std::string single = Text(9000, 2);
  const std::vector<std::byte> picture = Bytes("\x01\x00\x00\x01pixels");
  TTable table;
  Open(table, "N");
  table.AppendRecord({1, shortText});
  table.AppendRecord({2, shared});
  table.Append();
  table.Fields(0).SetAsInteger(3);
  table.Fields(1).SetAsString(single);
  table.Fields(2).SetAsBytes(picture);
  EXPECT_EQ(table.Fields(1).AsString(), single);  // waiting for the post
  table.Post();
  table.Close();
  Open(table, "N");
  ASSERT_TRUE(table.FindKey({1}));
  EXPECT_EQ(table.Fields(1).AsString(), shortText);
  EXPECT_TRUE(table.Fields(2).IsNull());
  ASSERT_TRUE(table.FindKey({2}));
  EXPECT_EQ(table.Fields(1).AsString(), shared);
  ASSERT_TRUE(table.FindKey({3}));
  EXPECT_EQ(table.Fields(1).AsString(), single);
  EXPECT_EQ(table.Fields(2).AsBytes(), picture);
  // A cancelled change is forgotten; a cleared value reads empty.
  table.Edit();
  table.Fields(1).SetAsString("never posted");
  table.Cancel();
  EXPECT_EQ(table.Fields(1).AsString(), single);
  table.Edit();
  table.Fields(1).Clear();
  table.Post();
  EXPECT_TRUE(table.Fields(1).IsNull());
  table.Close();
}

TEST_F(MemoValuesTest, ReplacedValuesAreReleasedAfterTheClose) {
  CreateNotes();
  TTable table;
  Open(table, "N");
  table.AppendRecord({1, Text(3000, 0)});
  table.AppendRecord({2, Text(300, 0)});
  table.Close();
  const std::uint64_t size = MemoSize();
  for (int round = 1; round <= 12; ++round) {
    Open(table, "N");
    for (int key = 1; key <= 2; ++key) {
      ASSERT_TRUE(table.FindKey({key}));
      table.Edit();
      table.Fields(1).SetAsString(Text(key == 1 ? 3000 : 300, static_cast<char>(round)));
      table.Post();
    }
    table.Close();
  }
  // Each round needs room for one new value of each beside the old ones;
  // the old ones are released after each close, so the file stops growing.
  EXPECT_LE(MemoSize(), size + 2 * memo::kUnit);
  Open(table, "N");
  ASSERT_TRUE(table.FindKey({1}));
  EXPECT_EQ(table.Fields(1).AsString(), Text(3000, 12));
  table.Close();
}

TEST_F(MemoValuesTest, AValueOfARefusedRecordIsGivenUpAtOnce) {
  CreateNotes();
  TTable table;
  Open(table, "N");
  table.AppendRecord({1, "x"});
  table.Close();
  Open(table, "N");
  table.Append();
  table.Fields(0).SetAsInteger(1);
  table.Fields(1).SetAsString(Text(5000, 3));
  EXPECT_THROW(table.Post(), env::EDBEngineError);
  table.Cancel();
  const std::uint64_t afterRefusal = MemoSize();
  table.AppendRecord({2, Text(5000, 4)});
  EXPECT_EQ(MemoSize(), afterRefusal);  // the refused value's space is used again
  table.Close();
}

TEST_F(MemoValuesTest, AMissingMemoFileIsRecreatedAboveEveryStamp) {
  REMDO_SAMPLES_OR_SKIP(samples);
  const std::string name = CopySample(samples, "paradoxdriver/db/HERCULES.DB");
  ASSERT_TRUE(env::RealFileSystem().Remove(PathOf("HERCULES.MB")).ok);
  TTable table;
  Open(table, name);
  table.Edit();
  table.Fields(1).SetAsString(Text(400, 5));
  table.Post();
  table.Close();
  Open(table, name);
  EXPECT_EQ(table.Fields(1).AsString(), Text(400, 5));
  int stale = 0;
  for (table.Next(); !table.Eof(); table.Next()) {
    try {
      (void)table.Fields(1).AsString();
    } catch (const env::EDBEngineError&) {
      ++stale;  // old references never match a new value
    }
  }
  EXPECT_GT(stale, 5);
  table.Close();
}

TEST_F(MemoValuesTest, PackingKeepsOnlyTheReferencedValues) {
  CreateNotes();
  TTable table;
  Open(table, "N");
  for (int key = 1; key <= 30; ++key) table.AppendRecord({key, Text(static_cast<std::size_t>(key * 150), 'k')});
  for (int key = 1; key <= 30; key += 2) {
    ASSERT_TRUE(table.FindKey({key}));
    table.Delete();
  }
  table.Close();
  const std::uint64_t before = MemoSize();
  TCrTblDesc pack;
  pack.tableName = "N.db";
  pack.tableType = "PARADOX";
  pack.pack = true;
  ASSERT_EQ(DbiDoRestructure(Db(), 1, &pack, {}, {}, {}, false), 0);
  EXPECT_LT(MemoSize(), before);
  Open(table, "N");
  int seen = 0;
  for (table.First(); !table.Eof(); table.Next()) {
    const int key = table.Fields(0).AsInteger();
    EXPECT_EQ(table.Fields(1).AsString(), Text(static_cast<std::size_t>(key * 150), 'k')) << key;
    ++seen;
  }
  EXPECT_EQ(seen, 15);
  table.Close();
  EXPECT_FALSE(env::RealFileSystem().FileExists(PathOf("N.MB.lost")));
  EXPECT_FALSE(env::RealFileSystem().FileExists(PathOf("N.MB.pack.new")));
}

TEST_F(MemoValuesTest, PackingADamagedMemoFileKeepsItBeside) {
  CreateNotes();
  TTable table;
  Open(table, "N");
  table.AppendRecord({1, Text(5000, 1)});
  table.AppendRecord({2, Text(100, 2)});
  table.Close();
  auto bytes = remdo::test::ReadWholeFile(PathOf("N.MB"));
  // The single-value block of record 1 loses its type.
  for (std::size_t at = memo::kUnit; at < bytes.size(); at += memo::kUnit) {
    if (bytes[at] == std::byte{2}) bytes[at] = std::byte{9};
  }
  remdo::test::WriteWholeFile(PathOf("N.MB"), bytes);
  TCrTblDesc pack;
  pack.tableName = "N.db";
  pack.tableType = "PARADOX";
  pack.pack = true;
  ASSERT_EQ(DbiDoRestructure(Db(), 1, &pack, {}, {}, {}, false), 0);
  EXPECT_EQ(remdo::test::ReadWholeFile(PathOf("N.MB.lost")), bytes);
  Open(table, "N");
  ASSERT_TRUE(table.FindKey({1}));
  EXPECT_EQ(table.Fields(1).AsString(), Text(5000, 1).substr(0, 10));  // the leader is what is left
  ASSERT_TRUE(table.FindKey({2}));
  EXPECT_EQ(table.Fields(1).AsString(), Text(100, 2));
  table.Close();
}

TEST_F(MemoValuesTest, ALanguageDriverChangeTranslatesMemoText) {
  TCrTblDesc desc = TableDesc("N.db", {Fld("Key", 'I'), Fld("Notes", 'M', 4)}, 1);
  testing::AddOption(desc, "LANGDRIVER", "DBWINUS0");
  Create(desc);
  const std::string text =
      "\xC4rger \xFC"
      "ber " +
      Text(200, 1);  // A-umlaut, u-umlaut
  TTable table;
  Open(table, "N");
  table.AppendRecord({1, text});
  table.Close();
  const TCrTblDesc change = testing::OptionDesc("N.db", "LANGDRIVER", "intl");
  ASSERT_EQ(DbiDoRestructure(Db(), 1, &change, {}, {}, {}, false), 0);
  TMemoFile memo(env::RealFileSystem(), PathOf("N.MB"));
  const Record record = ReadTableFile(PathOf("N.db")).records.at(0);
  const auto stored = memo.ReadField(std::span<const std::byte>(record).subspan(4, 14));
  EXPECT_EQ(stored.at(0), std::byte{0x8E});  // A-umlaut in code page 437
  Open(table, "N");
  EXPECT_EQ(table.Fields(1).AsString(), text);
  table.Close();
}

TEST_F(MemoValuesTest, RawRecordsKeepTheirReferencesIntoTheTablesMemoFile) {
  REMDO_SAMPLES_OR_SKIP(samples);
  const TFileImage source = ReadTableFile(samples + "paradoxdriver/db/HERCULES.DB");
  TCrTblDesc desc = TableDesc("T.db", {Fld("TEMPLATE", 'A', 80), Fld("HTML", 'M', 100)}, 1);
  testing::AddOption(desc, "LANGDRIVER", "ANSII850");
  Create(desc);
  remdo::test::WriteWholeFile(PathOf("T.MB"), remdo::test::ReadWholeFile(samples + "paradoxdriver/db/HERCULES.MB"));
  TTable table;
  Open(table, "T");
  for (const Record& record : source.records) ASSERT_EQ(DbiInsertRecord(table.Handle(), TDbiLock::kNoLock, record), 0);
  table.Close();
  EXPECT_EQ(ReadTableFile(PathOf("T.db")).records, source.records);
  TTable original;
  original.SetDatabaseName(std::string(env::FolderPart(samples + "paradoxdriver/db/HERCULES.DB")));
  original.SetTableName("HERCULES.DB");
  original.Open();
  Open(table, "T");
  for (original.First(); !original.Eof(); original.Next(), table.Next()) {
    EXPECT_EQ(table.Fields(1).AsString(), original.Fields(1).AsString());
  }
  table.Close();
  original.Close();
}

TEST_F(MemoValuesTest, BlobStreamsReadAndWriteTheValue) {
  CreateNotes();
  TTable table;
  Open(table, "N");
  table.Append();
  table.Fields(0).SetAsInteger(1);
  {
    TBlobStream stream(table.Fields(1), TBlobStreamMode::kWrite);
    const auto part = Bytes(Text(3000, 6));
    stream.Write(std::span<const std::byte>(part).first(1000));
    stream.Write(std::span<const std::byte>(part).subspan(1000));
  }
  table.Post();
  TBlobStream reader(table.Fields(1), TBlobStreamMode::kRead);
  EXPECT_EQ(reader.Size(), 3000u);
  std::vector<std::byte> got(1200);
  std::string read;
  for (std::size_t n; (n = reader.Read(got)) > 0;) read.append(reinterpret_cast<const char*>(got.data()), n);
  EXPECT_EQ(read, Text(3000, 6));
  EXPECT_THROW(reader.Write(got), env::EDBEngineError);
  try {
    TBlobStream notABlob(table.Fields(0), TBlobStreamMode::kRead);
    ADD_FAILURE() << "a stream on an integer field";
  } catch (const env::EDBEngineError& e) {
    EXPECT_EQ(e.Code(), kDbiErrNotABlob);
  }
  table.Close();
}

}  // namespace
}  // namespace remdo::paradox
