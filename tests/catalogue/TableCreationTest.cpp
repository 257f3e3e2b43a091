// Creating the catalogue's tables: every structure with its level, block
// size 8192, language driver and primary index, read back by the raw
// reader, by the chain walk and by pxlib; and the creation's edge cases.
#include "catalogue/TableCreation.h"
#include "paradox/components/TableOptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "catalogue/FieldSpec.h"
#include "env/Errors.h"
#include "paradox/EngineFixture.h"
#include "paradox/PxlibReader.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/components/Table.h"
#include "paradox/format/PxObject.h"
#include "support/FaultFileSystem.h"
#include "support/ScriptedDialogs.h"

namespace remdo::paradox {
using namespace catalogue;
namespace {

class TableCreationTest : public testing::TEngineTest {
 protected:
  bool CreateStructure(int number, const char* name = "temptbl1.db") {
    return CreateParadoxTable(Db(), name, SchemaLanguageDriver(number), GetTableSchema(number), SchemaLevel(number));
  }
  // Every file of the family of name ("S1.db"), by file name, without the
  // header bytes that differ with each write: the change counters and
  // stamps (0x2C-0x33) and the time of the write (0x60-0x63).
  std::map<std::string, std::vector<std::byte>> FamilyBytes(const std::string& name) {
    std::map<std::string, std::vector<std::byte>> files;
    for (const auto& entry : env::RealFileSystem().Find(PathOf(name.substr(0, name.find('.')) + ".*"), 0)) {
      std::vector<std::byte> bytes = remdo::test::ReadWholeFile(PathOf(entry.name));
      for (const auto [from, to] : {std::pair{0x2C, 0x34}, std::pair{0x60, 0x64}}) {
        std::fill(bytes.begin() + std::min<std::size_t>(from, bytes.size()),
                  bytes.begin() + std::min<std::size_t>(to, bytes.size()), std::byte{0});
      }
      files[entry.name] = std::move(bytes);
    }
    return files;
  }
};

TEST_F(TableCreationTest, EveryCatalogueStructureIsCreatedAndReadBack) {
  std::vector<int> numbers;
  for (int n = 1; n <= 15; ++n) numbers.push_back(n);
  for (int n = 21; n <= 42; ++n) numbers.push_back(n);
  for (const int number : numbers) {
    SCOPED_TRACE(number);
    const std::string name = "S" + std::to_string(number) + ".db";
    ASSERT_TRUE(CreateStructure(number, name.c_str()));
    const TFieldSpecReading reading = ReadFieldSpecs(GetTableSchema(number));
    const auto image = testing::ReadTableFile(PathOf(name));
    EXPECT_EQ(image.header.Level(), SchemaLevel(number));
    EXPECT_EQ(image.header.blockSize, 8192u);
    EXPECT_EQ(image.header.sortOrderName, SchemaLanguageDriver(number));
    EXPECT_EQ(image.header.keyFieldCount, reading.keyLength);
    EXPECT_EQ(image.header.fileType, TFileType::kKeyedTable);
    ASSERT_EQ(image.header.fields.size(), reading.fields.size());
    // The raw reader sees the structure's field widths, as the format check
    // of the repair compares them. It lets the file go before the family is
    // made again below, which Windows refuses while a file is open.
    int width = 0;
    {
      TPxObject reader(env::RealFileSystem().Open(PathOf(name), env::TOpenMode::kRead));
      ASSERT_EQ(reader.FieldCount(), static_cast<int>(reading.fields.size()));
      for (int i = 0; i < reader.FieldCount(); ++i) {
        const TPxFieldObject& field = reader.FieldByNumber(i);
        EXPECT_EQ(field.Name(), reading.fields[static_cast<std::size_t>(i)].name);
        width += field.Width();
      }
      EXPECT_EQ(reader.RecordSize(), width);
      EXPECT_FALSE(reader.FirstRecord());
    }
    const auto index = testing::ReadTableFile(PathOf("S" + std::to_string(number) + ".PX"));
    EXPECT_EQ(index.header.fields.size(), static_cast<std::size_t>(reading.keyLength));
    EXPECT_EQ(index.header.blockSize, 2048u);
    EXPECT_EQ(index.header.sortOrder, image.header.sortOrder);
    if (testing::HavePxlib()) {
      const auto pxlib = testing::ReadWithPxlib(PathOf(name));
      ASSERT_TRUE(pxlib.has_value());
      EXPECT_EQ(pxlib->fieldCount, static_cast<int>(reading.fields.size()));
      EXPECT_EQ(pxlib->recordSize, width);
      EXPECT_TRUE(pxlib->records.empty());
    }
    // The table made in one write is the one the steps make, file for file.
    const auto atOnce = FamilyBytes(name);
    ASSERT_TRUE(CreateParadoxTableStepByStep(Db(), name, SchemaLanguageDriver(number),
                                             ReadFieldSpecs(GetTableSchema(number)), SchemaLevel(number)));
    EXPECT_EQ(FamilyBytes(name), atOnce);
  }
}

TEST_F(TableCreationTest, GenreStructureGetsItsPropertiesAndKey) {
  ASSERT_TRUE(CreateStructure(27));
  const auto image = testing::ReadTableFile(PathOf("temptbl1.db"));
  EXPECT_EQ(image.header.Level(), 5);
  EXPECT_EQ(image.header.sortOrder, 0x4C);
  EXPECT_EQ(image.header.codePage, 1252);
  ASSERT_EQ(image.header.fields.size(), 3u);
  EXPECT_EQ(image.header.fields[0].type, TFieldType::kLong);
  EXPECT_EQ(image.header.fields[1].type, TFieldType::kShort);
  EXPECT_EQ(image.header.keyFieldCount, 2);
  ASSERT_TRUE(CreateStructure(13));  // over the existing table
  const auto prices = testing::ReadTableFile(PathOf("temptbl1.db"));
  EXPECT_EQ(prices.header.Level(), 4);
  EXPECT_EQ(prices.header.sortOrderName, "intl");
  EXPECT_EQ(prices.header.codePage, 437);
  EXPECT_EQ(prices.header.fields.size(), 6u);
  // The memo variant of the old book layout: "Blurb, M4" occupies 14 bytes
  // and the table gets an empty memo file.
  ASSERT_TRUE(CreateStructure(15));
  EXPECT_EQ(testing::ReadTableFile(PathOf("temptbl1.db")).header.fields.back().size, 14);
  EXPECT_EQ(remdo::test::ReadWholeFile(PathOf("temptbl1.MB")).size(), 4096u);
  ASSERT_TRUE(CreateStructure(13));
  EXPECT_FALSE(env::RealFileSystem().FileExists(PathOf("temptbl1.MB")));
}

TEST_F(TableCreationTest, EdgeCasesOfTheFieldList) {
  EXPECT_FALSE(CreateParadoxTable(Db(), "empty.db", "DBWINUS0", {}, 5));
  EXPECT_FALSE(env::RealFileSystem().FileExists(PathOf("empty.db")));
  // No key: the table and its properties, but no index at all.
  ASSERT_TRUE(CreateParadoxTable(Db(), "nokey.db", "DBWINUS0", {"Book, I", "Name, A20+"}, 5));
  EXPECT_FALSE(env::RealFileSystem().FileExists(PathOf("nokey.PX")));
  EXPECT_EQ(testing::ReadTableFile(PathOf("nokey.db")).header.blockSize, 8192u);
  // A refused level stops before the block size and the driver.
  EXPECT_FALSE(CreateParadoxTable(Db(), "level.db", "intl", {"Book, I*"}, 4));
  const auto level = testing::ReadTableFile(PathOf("level.db")).header;
  EXPECT_EQ(level.Level(), 5);
  EXPECT_EQ(level.blockSize, 2048u);
  EXPECT_EQ(level.sortOrderName, "ascii");
  EXPECT_FALSE(env::RealFileSystem().FileExists(PathOf("level.PX")));
  // An empty descriptor (a type part of "+" alone) is refused by the engine.
  try {
    (void)CreateParadoxTable(Db(), "bad.db", "DBWINUS0", {"Book, I*", "Odd, +"}, 5);
    FAIL() << "created";
  } catch (const env::EDBEngineError& error) {
    EXPECT_EQ(error.Code(), kDbiErrInvalidFldType);
  }
}

TEST_F(TableCreationTest, RefusedPrimaryIndexIsShownAndThrown) {
  remdo::test::TScriptedDialogs dialogs;
  remdo::test::TInstalledDialogs installed(dialogs);
  dialogs.ExpectBox(env::TBoxKind::kInfo, "Error: DBIERR_INVALIDINDEXSTRUCT", "Error");
  try {
    (void)CreateParadoxTable(Db(), "memokey.db", "DBWINUS0", {"Notes, M4*"}, 5);
    FAIL() << "created";
  } catch (const env::EDBEngineError& error) {
    EXPECT_EQ(error.Code(), kDbiErrInvalidIndexStruct);
  }
  dialogs.Verify();
  EXPECT_TRUE(env::RealFileSystem().FileExists(PathOf("memokey.db")));
}

TEST_F(TableCreationTest, SetTableOptionReopensTheTableWhateverTheOutcome) {
  ASSERT_TRUE(CreateParadoxTable(Db(), "t.db", "DBWINUS0", {"Book, I*", "Name, A20"}, 5));
  TTable table;
  table.SetDatabaseName(folder_.Path());
  table.SetTableName("t.db");
  table.Open();
  EXPECT_TRUE(SetTableOption(table, "LEVEL", "7"));
  EXPECT_TRUE(table.Active());
  EXPECT_TRUE(table.Exclusive());
  EXPECT_FALSE(SetTableOption(table, "LEVEL", "4"));  // a long integer needs level 5
  EXPECT_TRUE(table.Active());
  table.Close();
  EXPECT_EQ(testing::ReadTableFile(PathOf("t.db")).header.Level(), 7);
  TTable missing;
  missing.SetDatabaseName(folder_.Path());
  missing.SetTableName("missing.db");
  EXPECT_THROW(SetTableOption(missing, "LEVEL", "5"), env::EDBEngineError);
}

TEST_F(TableCreationTest, CopyFileContentsAndClearFileAttributes) {
  remdo::test::WriteWholeFile(PathOf("a.bin"), std::string_view("first"));
  remdo::test::WriteWholeFile(PathOf("b.bin"), std::string_view("something longer"));
  EXPECT_TRUE(CopyFileContents(PathOf("a.bin"), PathOf("b.bin")));
  EXPECT_EQ(remdo::test::ReadWholeFile(PathOf("b.bin")), remdo::test::Bytes("first"));
  EXPECT_THROW((void)CopyFileContents(PathOf("none.bin"), PathOf("c.bin")), env::EFOpenError);
  EXPECT_THROW((void)CopyFileContents(PathOf("a.bin"), PathOf("no/such/folder/c.bin")), env::EFCreateError);
  // A copy failing at any call leaves the old destination whole (or the
  // new one when it answers true), with no temporary file left beside it.
  remdo::test::WriteWholeFile(PathOf("new.bin"), std::string_view("newer contents"));
  remdo::test::TFaultFileSystem faults;
  for (long call = 1;; ++call) {
    remdo::test::WriteWholeFile(PathOf("old.bin"), std::string_view("old"));
    bool copied = false;
    {
      remdo::test::TInstalledFileSystem installed(faults);
      faults.Arm(call, remdo::test::TFault::kFail);
      try {
        copied = CopyFileContents(PathOf("new.bin"), PathOf("old.bin"));
      } catch (const env::ERemdoError&) {
      }
    }
    if (!faults.Triggered()) break;
    EXPECT_EQ(remdo::test::ReadWholeFile(PathOf("old.bin")), remdo::test::Bytes(copied ? "newer contents" : "old"))
        << faults.FailedCall();
    EXPECT_FALSE(env::RealFileSystem().FileExists(PathOf("old.bin.~cp"))) << faults.FailedCall();
  }
  env::TFileSystem& fs = env::RealFileSystem();
  ASSERT_TRUE(fs.SetAttributes(PathOf("a.bin"), env::attr::kReadOnly | env::attr::kArchive).ok);
  ClearFileAttributes(PathOf("a.bin"));
  EXPECT_EQ(*fs.Attributes(PathOf("a.bin")) & env::attr::kReadOnly, 0u);
  ClearFileAttributes(PathOf("none.bin"));  // nothing happens
  ClearFileAttributes(folder_.Path());
  EXPECT_TRUE(fs.FolderExists(folder_.Path()));
}

}  // namespace
}  // namespace remdo::paradox
