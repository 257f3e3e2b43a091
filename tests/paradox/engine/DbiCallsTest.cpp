// The engine's direct calls: raw inserts, key lookups, record changes,
// cursor properties and handles, and the answers they give.
#include "paradox/engine/DbiCalls.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "env/Errors.h"
#include "paradox/EngineFixture.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/components/Table.h"

namespace remdo::paradox {
namespace {

using testing::Fld;
using testing::Record;

// Genre-like: Book (long), Token (short), Prop (short); key Book + Token.
Record GenreRecord(int book, int token, int prop) {
  Record record(8);
  EncodeFieldInteger(record.data(), book, 4);
  EncodeFieldInteger(record.data() + 4, token, 2);
  EncodeFieldInteger(record.data() + 6, prop, 2);
  return record;
}

class DbiCallsTest : public testing::TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    Create(testing::TableDesc("Genre.db", {Fld("Book", 'I'), Fld("Token", 'S'), Fld("Prop", 'S')}, 2));
    table_.SetDatabaseName(folder_.Path());
    table_.SetTableName("Genre");
    table_.Open();
  }
  void TearDown() override {
    table_.Close();
    TEngineTest::TearDown();
  }
  std::uint16_t Insert(const Record& record) { return DbiInsertRecord(table_.Handle(), TDbiLock::kNoLock, record); }

  TTable table_;
};

TEST_F(DbiCallsTest, InsertAnswersKeyViolationAndLeavesTheTableAlone) {
  EXPECT_EQ(Insert(GenreRecord(5, 1, 0)), kDbiErrNone);
  EXPECT_EQ(Insert(GenreRecord(5, 1, 9)), kDbiErrKeyViol);
  EXPECT_EQ(Insert(GenreRecord(5, 2, 9)), kDbiErrNone);
  EXPECT_EQ(Insert(Record(7)), kDbiErrInvalidParam);
  EXPECT_EQ(table_.RecordCount(), 2);
  table_.First();
  EXPECT_EQ(table_.FieldByName("Prop").AsInteger(), 0);
}

TEST_F(DbiCallsTest, GetRecordForKeyFindsFullAndPartialKeysAndPositionsTheCursor) {
  for (int book = 10; book > 0; --book) ASSERT_EQ(Insert(GenreRecord(book, book % 3, book * 10)), 0);
  Record found(8);
  EXPECT_EQ(DbiGetRecordForKey(table_.Handle(), false, 0, 0, GenreRecord(7, 1, 0), found), kDbiErrNone);
  EXPECT_EQ(found, GenreRecord(7, 1, 70));
  EXPECT_EQ(DbiGetRecordForKey(table_.Handle(), false, 0, 0, GenreRecord(7, 2, 0), {}), kDbiErrRecNotFound);
  EXPECT_EQ(DbiGetRecordForKey(table_.Handle(), false, 1, 0, GenreRecord(4, 0, 0), found), kDbiErrNone);
  EXPECT_EQ(found, GenreRecord(4, 1, 40));
  // The cursor is on the found record: a modify changes that one.
  EXPECT_EQ(DbiModifyRecord(table_.Handle(), GenreRecord(4, 1, 99), true), kDbiErrNone);
  ASSERT_TRUE(table_.FindKey({4, 1}));
  EXPECT_EQ(table_.FieldByName("Prop").AsInteger(), 99);
}

TEST_F(DbiCallsTest, ModifyMovesAChangedKeyAndRefusesAnotherRecordsKey) {
  EXPECT_EQ(DbiModifyRecord(table_.Handle(), GenreRecord(1, 1, 1), true), kDbiErrNoCurrRec);
  ASSERT_EQ(Insert(GenreRecord(1, 1, 0)), 0);
  ASSERT_EQ(Insert(GenreRecord(2, 1, 0)), 0);
  ASSERT_EQ(DbiGetRecordForKey(table_.Handle(), false, 0, 0, GenreRecord(1, 1, 0), {}), 0);
  EXPECT_EQ(DbiModifyRecord(table_.Handle(), GenreRecord(2, 1, 5), true), kDbiErrKeyViol);
  EXPECT_EQ(DbiModifyRecord(table_.Handle(), GenreRecord(3, 1, 5), true), kDbiErrNone);
  table_.First();
  EXPECT_EQ(table_.Fields(0).AsInteger(), 2);
  table_.Next();
  EXPECT_EQ(table_.Fields(0).AsInteger(), 3);
}

TEST_F(DbiCallsTest, CursorPropertiesAndDatabaseOfTheCursor) {
  TCursorProps props;
  ASSERT_EQ(DbiGetCursorProps(table_.Handle(), props), 0);
  EXPECT_EQ(props.tableType, "PARADOX");
  EXPECT_EQ(props.tableName, "Genre");
  EXPECT_EQ(props.recordSize, 8);
  EXPECT_EQ(props.keyFieldCount, 2);
  TDbHandle database = nullptr;
  ASSERT_EQ(DbiGetObjFromObj(table_.Handle(), TDbiObjType::kDatabase, database), 0);
  EXPECT_EQ(database, Db());
  EXPECT_EQ(DbiGetCursorProps(nullptr, props), kDbiErrInvalidHndl);
}

TEST_F(DbiCallsTest, RawInsertKeepsAutoIncrementValuesAndTheHeaderTakesTheLargest) {
  Create(testing::TableDesc("Auto.db", {Fld("Id", '+'), Fld("Name", 'A', 8)}, 1));
  TTable table;
  table.SetDatabaseName(folder_.Path());
  table.SetTableName("Auto");
  table.Open();
  for (const int id : {5, 3, 9}) {
    Record record(12);
    EncodeFieldInteger(record.data(), id, 4);
    ASSERT_EQ(DbiInsertRecord(table.Handle(), TDbiLock::kNoLock, record), 0);
  }
  table.Append();
  table.FieldByName("Name").SetAsString("next");
  table.Post();
  EXPECT_EQ(table.FieldByName("Id").AsInteger(), 10);
  table.Close();
  const auto image = testing::ReadTableFile(PathOf("Auto.db"));
  EXPECT_EQ(GetU32(image.bytes.data() + 0x49), 10u);
  EXPECT_EQ(image.records.size(), 4u);
}

TEST_F(DbiCallsTest, EngineStartAnswersAlreadyStarted) {
  EXPECT_EQ(DbiInit(nullptr), kDbiErrMultipleInit);
  table_.Close();
  ASSERT_EQ(DbiExit(), kDbiErrNone);
  TCursorProps props;
  EXPECT_EQ(DbiCreateTable(Db(), true, testing::TableDesc("X.db", {Fld("A", 'S')})), kDbiErrNotInitialized);
  const TDbiEnv environment{"0009"};
  EXPECT_EQ(DbiInit(&environment), kDbiErrNone);
  table_.Open();
  EXPECT_EQ(DbiGetCursorProps(table_.Handle(), props), kDbiErrNone);
}

TEST_F(DbiCallsTest, ExclusiveTablesCannotBeOpenedTwice) {
  TTable second;
  second.SetDatabaseName(folder_.Path());
  second.SetTableName("Genre");
  second.SetExclusive(true);
  try {
    second.Open();
    FAIL() << "opened";
  } catch (const env::EDBEngineError& error) {
    EXPECT_EQ(error.Code(), kDbiErrFileLocked);
  }
  second.SetExclusive(false);
  second.Open();
  ASSERT_EQ(Insert(GenreRecord(1, 1, 1)), 0);
  EXPECT_EQ(second.RecordCount(), 1);  // both cursors see one table
}

// Damage to a table file makes opening it a clear engine error, never a crash.
TEST(EngineDamage, DamagedTablesGiveEngineErrors) {
  struct TDamage {
    const char* name;
    std::size_t offset;
    std::vector<unsigned char> bytes;
    std::uint16_t code;
    bool truncate = false;
  };
  // The table: 2048-byte header, 3 blocks of 2048 bytes, 8-byte records.
  const TDamage damages[] = {
      {"block size 0", 0x05, {0x00}, kDbiErrHeaderCorrupt},
      {"file type 9", 0x04, {0x09}, kDbiErrHeaderCorrupt},
      {"header size past the end", 0x02, {0x00, 0xF0}, kDbiErrHeaderCorrupt},
      {"field count 0", 0x21, {0x00, 0x00}, kDbiErrHeaderCorrupt},
      {"field count 300", 0x21, {0x2C, 0x01}, kDbiErrHeaderCorrupt},
      {"unknown field type", 0x78, {0x33}, kDbiErrHeaderCorrupt},
      {"record size wrong", 0x00, {0x09, 0x00}, kDbiErrHeaderCorrupt},
      {"key count above fields", 0x23, {0x05, 0x00}, kDbiErrHeaderCorrupt},
      {"sort name outside", 0x6E, {0xFF, 0xFF}, kDbiErrHeaderCorrupt},
      {"first block past the end", 0x0E, {0xE7, 0x03}, kDbiErrFileCorrupt},
      {"chain loop", 2048 + 2048, {0x01, 0x00}, kDbiErrFileCorrupt},
      {"impossible last offset", 2048 + 4, {0x03, 0x00}, kDbiErrFileCorrupt},
      {"negative last offset", 2048 + 4, {0x00, 0x80}, kDbiErrFileCorrupt},
      {"records out of key order", 2048 + 6 + 8, {0x7F}, kDbiErrFileCorrupt},
      {"file cut in a block", 2048 + 2048 + 100, {}, kDbiErrFileCorrupt, true},
      {"file cut in the header", 0x40, {}, kDbiErrHeaderCorrupt, true},
  };
  (void)DbiInit(nullptr);
  for (const TDamage& damage : damages) {
    SCOPED_TRACE(damage.name);
    remdo::test::TScratchFolder folder;
    TDatabase database;
    database.SetDatabaseName(folder.Path());
    database.Open();
    ASSERT_EQ(DbiCreateTable(database.Handle(), true,
                             testing::TableDesc("T.db", {Fld("Book", 'I'), Fld("Token", 'S'), Fld("Prop", 'S')}, 2)),
              0);
    {
      TTable table;
      table.SetDatabaseName(folder.Path());
      table.SetTableName("T");
      table.Open();
      for (int i = 1; i <= 600; ++i) ASSERT_EQ(DbiInsertRecord(table.Handle(), TDbiLock::kNoLock, GenreRecord(i, 1, 0)), 0);
    }
    auto bytes = remdo::test::ReadWholeFile(folder / "T.db");
    if (damage.truncate) {
      bytes.resize(damage.offset);
    } else {
      for (std::size_t i = 0; i < damage.bytes.size(); ++i) bytes[damage.offset + i] = std::byte{damage.bytes[i]};
    }
    remdo::test::WriteWholeFile(folder / "T.db", bytes);
    TTable table;
    table.SetDatabaseName(folder.Path());
    table.SetTableName("T");
    try {
      table.Open();
      FAIL() << "opened a damaged table";
    } catch (const env::EDBEngineError& error) {
      EXPECT_EQ(error.Code(), damage.code) << error.what();
      EXPECT_NE(std::string(error.what()).find("T.db"), std::string::npos) << error.what();
    }
  }
}

// Block numbers are 16 bits: a table that would need more than 65535 blocks
// is refused with a clear error, and the table on disk stays as it was,
// whether the records came in key order (written as they come) or not
// (sorted on the close), into an empty table or one with records.
TEST(EngineLimits, ATableOfMoreThan65535BlocksIsRefusedAndTheOldOneKept) {
  // One 1004-byte record fills a 1024-byte block.
  struct TCase {
    const char* name;
    int kept;      // records the table has before
    bool reverse;  // the added records' key order
  };
  const TCase cases[] = {
      {"empty, key order", 0, false}, {"empty, reverse order", 0, true}, {"kept, key order", 5, false}};
  (void)DbiInit(nullptr);
  const auto record = [](int key) {
    Record r = testing::LongKeyRecord(1004, key);
    std::fill(r.begin() + 4, r.end(), std::byte{'x'});
    return r;
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    remdo::test::TScratchFolder folder;
    TDatabase database;
    database.SetDatabaseName(folder.Path());
    database.Open();
    auto desc = testing::TableDesc(
        "Big.db", {Fld("Key", 'I'), Fld("A", 'A', 250), Fld("B", 'A', 250), Fld("C", 'A', 250), Fld("D", 'A', 250)}, 1);
    testing::AddOption(desc, "BLOCK SIZE", "1024");
    ASSERT_EQ(DbiCreateTable(database.Handle(), true, desc), 0);
    {
      TTable table;
      table.SetDatabaseName(folder.Path());
      table.SetTableName("Big");
      table.Open();
      for (int i = 1; i <= c.kept; ++i) ASSERT_EQ(DbiInsertRecord(table.Handle(), TDbiLock::kNoLock, record(-i)), 0);
      table.Close();
    }
    const auto before = remdo::test::ReadWholeFile(folder / "Big.db");
    const auto beforeIndex = remdo::test::ReadWholeFile(folder / "Big.PX");
    std::uint16_t refused = 0;
    std::string message;
    {
      TTable table;
      table.SetDatabaseName(folder.Path());
      table.SetTableName("Big");
      table.Open();
      try {
        // Records in key order are written as they come: the block past the
        // limit fails the insert that needs it; otherwise the close fails.
        for (int i = 0; i < 65536 && refused == 0; ++i) {
          refused = DbiInsertRecord(table.Handle(), TDbiLock::kNoLock, record(c.reverse ? 65536 - i : i + 1));
        }
        if (refused == 0) table.Close();
      } catch (const env::EDBEngineError& error) {
        refused = error.Code();
        message = error.what();
      }
    }
    EXPECT_EQ(refused, kDbiErrTableFull) << message;
    EXPECT_NE(message.find("65535 blocks"), std::string::npos) << message;
    std::vector<std::string> names;
    for (const auto& entry : env::RealFileSystem().Find(folder / "*", 0)) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Big.PX", "Big.db"}));
    EXPECT_EQ(remdo::test::ReadWholeFile(folder / "Big.db"), before);
    EXPECT_EQ(remdo::test::ReadWholeFile(folder / "Big.PX"), beforeIndex);
  }
}

TEST(EngineDamage, EncryptedAndOldTablesAreRefusedOrReadOnly) {
  REMDO_SAMPLES_OR_SKIP(samples);
  (void)DbiInit(nullptr);
  TTable encrypted;
  encrypted.SetDatabaseName(samples + "paradoxdriver/encrypt/");
  encrypted.SetTableName("encrypted.db");
  try {
    encrypted.Open();
    FAIL() << "opened an encrypted table";
  } catch (const env::EDBEngineError& error) {
    EXPECT_EQ(error.Code(), kDbiErrTblEncrypted);
  }
  TTable old;
  old.SetDatabaseName(samples + "paradoxdriver/areas/");
  old.SetTableName("AREACODE.DB");
  old.Open();
  EXPECT_EQ(old.RecordCount(), 239);
  EXPECT_EQ(DbiInsertRecord(old.Handle(), TDbiLock::kNoLock, Record(106)), kDbiErrTableLevel);
  old.Close();
}

// The pattern of a recovery from index files: every record looked up
// before it is inserted (in key order, a bulk load), then every record
// looked up again in another order and changed. Nothing may be inserted
// twice and every record must be found.
TEST_F(DbiCallsTest, LookupsBetweenOrderedInsertsThenChangesInAnotherOrder) {
  constexpr int kCount = 450;
  Record found(8);
  for (int book = 1; book <= kCount; ++book) {
    ASSERT_EQ(DbiGetRecordForKey(table_.Handle(), false, 0, 0, GenreRecord(book, 1, 0), found), kDbiErrRecNotFound);
    ASSERT_EQ(Insert(GenreRecord(book, 1, 0)), kDbiErrNone);
    ASSERT_EQ(DbiGetRecordForKey(table_.Handle(), false, 0, 0, GenreRecord(book, 1, 0), found), kDbiErrNone) << book;
  }
  for (int i = 0; i < kCount; ++i) {
    const int book = (i * 197) % kCount + 1;
    ASSERT_EQ(DbiGetRecordForKey(table_.Handle(), false, 0, 0, GenreRecord(book, 1, 0), found), kDbiErrNone) << book;
    ASSERT_EQ(DbiModifyRecord(table_.Handle(), GenreRecord(book, 1, 7), true), kDbiErrNone) << book;
  }
  EXPECT_EQ(table_.RecordCount(), kCount);
  table_.Close();
  table_.Open();
  EXPECT_EQ(table_.RecordCount(), kCount);
}

}  // namespace
}  // namespace remdo::paradox
