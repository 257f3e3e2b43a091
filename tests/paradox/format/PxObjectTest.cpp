// The raw reader on hand-built table files: header limits, field layout
// positions, the block walk over empty, damaged and trailing part blocks,
// and the errors of the record access.
#include "paradox/format/PxObject.h"

#include <gtest/gtest.h>

#include <functional>

#include "env/Errors.h"
#include "env/MemoryFile.h"
#include "paradox/TableImage.h"

namespace remdo::paradox {
namespace {

using test::Alpha;
using test::Int;
using test::OpenImage;
using test::Record;
using test::TBytes;
using test::TTableImage;
using test::WalkRecords;

// A small unkeyed table: a short and a 6-character alpha field (8 bytes).
TTableImage SmallTable(int blocks, int recordsPerBlock) {
  TTableImage t;
  t.fields = {{fieldtype::kShort, 2, "Id"}, {fieldtype::kAlpha, 6, "Name"}};
  int id = 1;
  for (int b = 0; b < blocks; ++b) {
    std::vector<TBytes> records;
    for (int r = 0; r < recordsPerBlock; ++r, ++id) records.push_back(Record({Int(id, 2), Alpha("n", 6)}));
    t.blocks.push_back(records);
  }
  return t;
}

std::vector<int> WalkIds(TPxObject& reader) {
  std::vector<int> ids;
  for (const auto& r : WalkRecords(reader)) ids.push_back(static_cast<int>(DecodeFieldInteger(r.data(), 2)));
  return ids;
}

void ExpectReadError(const std::function<void()>& call, const std::string& message) {
  try {
    call();
    ADD_FAILURE() << "no read error, expected: " << message;
  } catch (const env::EReadError& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
}

TEST(PxObject, HeaderSizeOutsideItsLimitsGivesNoHeader) {
  for (const int headerSize : {0, 80, 32767, 65535}) {
    TBytes bytes = SmallTable(1, 2).Build();
    test::PatchU16(bytes, 2, headerSize);
    auto reader = OpenImage(bytes);
    EXPECT_FALSE(reader->HasHeader()) << headerSize;
    EXPECT_FALSE(reader->HasFields());
    EXPECT_TRUE(reader->HeaderBytes().empty());
    EXPECT_EQ(reader->RecordSize(), 0);
    EXPECT_EQ(reader->RecordCount(), 0);
    EXPECT_EQ(reader->FieldCount(), 0);
    EXPECT_FALSE(reader->IsEncrypted());
    ExpectReadError([&] { (void)reader->BlockSize(); }, "Block size not defined.");
    ExpectReadError([&] { (void)reader->BlockCount(); }, "Block size not defined.");
    ExpectReadError([&] { (void)reader->FirstRecord(); }, "Block size not defined.");
    ExpectReadError([&] { (void)reader->RecordData(); }, "Block size not defined.");
  }
}

TEST(PxObject, SmallestHeaderWithoutBlocksFindsNoRecord) {
  TBytes bytes(81);
  test::PatchU16(bytes, 0, 8);
  test::PatchU16(bytes, 2, 81);
  bytes[5] = std::byte{2};
  auto reader = OpenImage(bytes);
  EXPECT_TRUE(reader->HasHeader());
  EXPECT_EQ(reader->HeaderBytes().size(), 81u);
  EXPECT_EQ(reader->BlockCount(), 0);
  EXPECT_FALSE(reader->FirstRecord());
  ExpectReadError([&] { (void)reader->RecordData(); }, "Record data not found.");
}

TEST(PxObject, FileShorterThanFourBytesFailsConstruction) {
  for (std::size_t size = 0; size < 4; ++size) {
    EXPECT_THROW(OpenImage(TBytes(size, std::byte{0x40})), env::EReadError) << size;
  }
}

TEST(PxObject, FileShorterThanItsHeaderHasAHeaderOfZeros) {
  TBytes bytes = SmallTable(1, 2).Build();
  bytes.resize(600);  // header size says 1024
  auto reader = OpenImage(bytes);
  EXPECT_TRUE(reader->HasHeader());
  EXPECT_EQ(reader->HeaderBytes().size(), 1024u);
  EXPECT_EQ(reader->RecordSize(), 0);
  EXPECT_FALSE(reader->HasFields());
  ExpectReadError([&] { (void)reader->FirstRecord(); }, "Block size not defined.");
}

// A disk that fails while the header is read is no short file: a header
// of zeros would make a table of records look empty.
TEST(PxObject, FailureToReadTheHeaderIsAReadError) {
  class TFailingFile final : public env::TFile {
   public:
    explicit TFailingFile(TBytes bytes) : memory_(std::move(bytes)) {}
    const std::string& Path() const override { return memory_.Path(); }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override {
      if (++reads_ > 1) throw env::EReadError("Cannot read file: device error");
      return memory_.ReadAt(offset, out);
    }
    void WriteAt(std::uint64_t, std::span<const std::byte>) override {}
    std::uint64_t Size() override { return memory_.Size(); }
    void Truncate(std::uint64_t) override {}
    void Flush() override {}
    void Close() override {}

   private:
    env::TMemoryFile memory_;
    int reads_ = 0;
  };
  EXPECT_THROW(TPxObject(std::make_unique<TFailingFile>(SmallTable(1, 2).Build())), env::EReadError);
}

TEST(PxObject, BlockSizeByteMustBeOneTo32) {
  for (const int code : {0, 33, 255}) {
    TBytes bytes = SmallTable(1, 1).Build();
    bytes[5] = static_cast<std::byte>(code);
    auto reader = OpenImage(bytes);
    ExpectReadError([&] { (void)reader->BlockSize(); }, "Block size not defined.");
    ExpectReadError([&] { (void)reader->NextRecord(); }, "Block size not defined.");
  }
  TTableImage big = SmallTable(2, 3);
  big.blockSizeCode = 32;
  auto reader = OpenImage(big.Build());
  EXPECT_EQ(reader->BlockSize(), 32768);
  EXPECT_EQ(reader->BlockCount(), 2);
  EXPECT_EQ(WalkIds(*reader), (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST(PxObject, UnusableRecordSizeFailsTheFirstRecordAccessOnly) {
  struct Case { int recordSize; std::string message; };
  const Case cases[] = {
      {0, "Record size is 0 in the table header; no record can be read."},
      {1019, "Record size 1019 is larger than the 1018-byte record area of a 1024-byte block; no record can be read."},
      {65535, "Record size 65535 is larger than the 1018-byte record area of a 1024-byte block; no record can be read."},
  };
  for (const auto& c : cases) {
    TTableImage t = SmallTable(1, 1);
    t.recordSize = c.recordSize;
    auto reader = OpenImage(t.Build());  // construction does not fail
    EXPECT_EQ(reader->RecordSize(), c.recordSize);
    EXPECT_TRUE(reader->HasFields());
    ExpectReadError([&] { (void)reader->FirstRecord(); }, c.message);
    ExpectReadError([&] { (void)reader->NextRecord(); }, c.message);
    ExpectReadError([&] { (void)reader->RecordData(); }, c.message);
    ExpectReadError([&] { (void)reader->FieldByNumber(0).AsInteger(); }, c.message);
  }
  TTableImage whole;  // one record filling the whole record area
  whole.fields = {{fieldtype::kAlpha, 255, "A"}, {fieldtype::kAlpha, 255, "B"}, {fieldtype::kAlpha, 255, "C"},
                  {fieldtype::kAlpha, 253, "D"}};
  whole.blocks = {{Record({Alpha("x", 255), Alpha("y", 255), Alpha("z", 255), Alpha("w", 253)})}};
  auto reader = OpenImage(whole.Build());
  ASSERT_EQ(reader->RecordSize(), 1018);
  EXPECT_EQ(WalkRecords(*reader).size(), 1u);
  ASSERT_TRUE(reader->FirstRecord());
  EXPECT_EQ(reader->FieldByNumber(3).AsText(), "w");
}

TEST(PxObject, WalkSkipsEmptyAndDamagedBlocksAndGoesOn) {
  // Four blocks of three 8-byte records; block 1 is patched per case.
  struct Case { int lastOffset; TBlockState state; };
  const Case cases[] = {
      {-8, TBlockState::kEmpty},     // emptied block
      {-1, TBlockState::kEmpty},
      {12, TBlockState::kDamaged},   // not a multiple of the record size
      {1016, TBlockState::kDamaged},  // last record would end past the block
      {32760, TBlockState::kDamaged},
  };
  for (const auto& c : cases) {
    TTableImage t = SmallTable(4, 3);
    TBytes bytes = t.Build();
    test::PatchU16(bytes, t.LastOffsetAt(1), c.lastOffset);
    auto reader = OpenImage(bytes);
    EXPECT_EQ(WalkIds(*reader), (std::vector<int>{1, 2, 3, 7, 8, 9, 10, 11, 12})) << c.lastOffset;
    reader->FirstRecord();
    reader->NextRecord();
    reader->NextRecord();
    ASSERT_TRUE(reader->NextRecord());
    EXPECT_EQ(reader->CurrentBlock(), 2);
    reader->ReadBlock();  // reading block 2 again judges it again
    EXPECT_EQ(reader->BlockState(), TBlockState::kRecords);
  }
  TTableImage t = SmallTable(2, 3);
  TBytes bytes = t.Build();
  test::PatchU16(bytes, t.LastOffsetAt(1), 1008);  // 127 records: the whole block area
  auto reader = OpenImage(bytes);
  EXPECT_EQ(WalkRecords(*reader).size(), 3u + 127u);
}

TEST(PxObject, BlockStatesAsTheWalkSeesThem) {
  TTableImage t = SmallTable(3, 2);
  TBytes bytes = t.Build();
  test::PatchU16(bytes, t.LastOffsetAt(1), -8);
  test::PatchU16(bytes, t.LastOffsetAt(2), 5);
  auto reader = OpenImage(bytes);
  EXPECT_EQ(reader->BlockState(), TBlockState::kNone);
  std::vector<TBlockState> states;
  while (reader->NextBlock()) states.push_back(reader->BlockState());
  EXPECT_EQ(states, (std::vector<TBlockState>{TBlockState::kRecords, TBlockState::kEmpty, TBlockState::kDamaged}));
  EXPECT_FALSE(reader->NextBlock());
  EXPECT_EQ(reader->CurrentBlock(), 2);
}

TEST(PxObject, EndOfWalkStaysTheEnd) {
  TTableImage t = SmallTable(2, 2);
  TBytes bytes = t.Build();
  test::PatchU16(bytes, t.LastOffsetAt(1), 12);  // last block damaged, its offset above one record
  auto reader = OpenImage(bytes);
  ASSERT_EQ(WalkIds(*reader), (std::vector<int>{1, 2}));
  EXPECT_FALSE(reader->NextRecord());
  EXPECT_FALSE(reader->NextRecord());
  ExpectReadError([&] { (void)reader->RecordData(); }, "Record data not found.");
  EXPECT_TRUE(reader->FirstRecord());
  EXPECT_EQ(reader->FieldByNumber(0).AsInteger(), 1);
}

TEST(PxObject, RecordDataStartsTheWalkByItself) {
  auto reader = OpenImage(SmallTable(2, 2).Build());
  EXPECT_EQ(DecodeFieldInteger(reader->RecordData().data(), 2), 1);
  EXPECT_EQ(reader->RecordData().size(), 8u);
  EXPECT_EQ(reader->FieldByNumber(1).AsText(), "n");
}

TEST(PxObject, TrailingPartBlockRecordsAreRead) {
  // Three 1 KiB blocks of 100 records each; the file ends inside block 2.
  struct Case { std::size_t keep; int expectedTrailing; };
  const Case cases[] = {
      {6 + 100 * 8, 100},  // every record of the part block is present
      {6 + 30 * 8 + 5, 30},  // the 31st record is cut: only whole records count
      {6 + 7, 0},
      {5, 0},  // not even a block header
  };
  for (const auto& c : cases) {
    TTableImage t = SmallTable(3, 100);
    TBytes bytes = t.Build();
    bytes.resize(static_cast<std::size_t>(t.headerSize + 2 * t.BlockSize()) + c.keep);
    auto reader = OpenImage(bytes);
    EXPECT_EQ(reader->BlockCount(), 2) << c.keep;
    EXPECT_EQ(reader->HasTrailingPartBlock(), c.keep >= 6);
    const auto ids = WalkIds(*reader);
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(200 + c.expectedTrailing)) << c.keep;
    EXPECT_EQ(ids.back(), 200 + c.expectedTrailing);
  }
}

TEST(PxObject, FieldLayoutFollowsVersionAndFileType) {
  struct Case { int version; int fileType; int descriptionsAt; int namesAfter; };
  const Case cases[] = {
      {3, 2, 88, 83},   {4, 0, 88, 83},   {5, 0, 120, 83},  {5, 1, 88, 83},   {5, 2, 120, 83},
      {5, 3, 120, 83},  {9, 4, 88, 83},   {9, 5, 120, 83},  {11, 6, 120, 83}, {11, 7, 88, 83},
      {11, 8, 120, 83}, {12, 0, 120, 265}, {12, 6, 120, 265}, {12, 1, 88, 265}, {4, 6, 88, 83},
  };
  for (const auto& c : cases) {
    TTableImage t = SmallTable(1, 2);
    t.version = c.version;
    t.fileType = c.fileType;
    t.descriptionsAt = c.descriptionsAt;
    t.namesAt = c.descriptionsAt + 6 * 2 + c.namesAfter;
    auto reader = OpenImage(t.Build());
    const std::string where = "version " + std::to_string(c.version) + " type " + std::to_string(c.fileType);
    ASSERT_TRUE(reader->HasFields()) << where;
    EXPECT_EQ(reader->HasExtendedHeader(), c.descriptionsAt == 120) << where;
    EXPECT_EQ(reader->FieldByNumber(1).Name(), "Name") << where;
    EXPECT_EQ(reader->FieldByNumber(1).TypeCode(), fieldtype::kAlpha) << where;
    EXPECT_EQ(reader->FieldByNumber(1).Offset(), 2) << where;
    EXPECT_EQ(WalkIds(*reader), (std::vector<int>{1, 2})) << where;
  }
}

TEST(PxObject, BcdFieldTakesSeventeenBytesWhateverItsSizeByte) {
  TTableImage t;
  t.fields = {{fieldtype::kBcd, 2, "Amount"}, {fieldtype::kShort, 2, "N"}};
  auto reader = OpenImage(t.Build());
  EXPECT_EQ(reader->FieldByNumber(0).Width(), 17);
  EXPECT_EQ(reader->FieldByNumber(0).SizeByte(), 2);
  EXPECT_EQ(reader->FieldByNumber(1).Offset(), 17);
  EXPECT_EQ(reader->RecordSize(), 19);
}

TEST(PxObject, BadFieldListLeavesAHeaderWithoutFields) {
  const std::vector<std::function<void(TTableImage&)>> damages = {
      [](TTableImage& t) { t.fields[1].name = std::string(26, 'x'); },
      [](TTableImage& t) { t.fields[0].name.clear(); },
      [](TTableImage& t) { t.namesAt = t.headerSize - 3; },  // runs off the header's end
      [](TTableImage& t) { t.namesAt = 4000; },               // beyond the header
      [](TTableImage& t) { t.headerSize = 120; },             // descriptions beyond the header
  };
  for (std::size_t i = 0; i < damages.size(); ++i) {
    TTableImage t = SmallTable(1, 2);
    damages[i](t);
    TBytes bytes = t.Build();
    if (t.namesAt == t.headerSize - 3) {
      std::fill(bytes.begin() + t.namesAt, bytes.begin() + t.headerSize, std::byte{'x'});
    }
    auto reader = OpenImage(bytes);
    EXPECT_TRUE(reader->HasHeader()) << i;
    EXPECT_FALSE(reader->HasFields()) << i;
    EXPECT_EQ(reader->FirstField(), nullptr);
    ExpectReadError([&] { (void)reader->FieldByNumber(0); }, "List index out of bounds.");
    EXPECT_EQ(WalkRecords(*reader).size(), 2u) << i;  // records are still there
  }
  for (const int count : {0, -1, 256}) {
    TBytes bytes = SmallTable(1, 2).Build();
    test::PatchU16(bytes, 33, count);
    auto reader = OpenImage(bytes);
    EXPECT_FALSE(reader->HasFields()) << count;
    EXPECT_EQ(reader->FieldCount(), count);
  }
}

TEST(PxObject, TwentyFiveCharacterNamesAndFullFieldCountAreRead) {
  TTableImage t;
  t.headerSize = 16384;
  t.blockSizeCode = 1;
  for (int i = 0; i < 255; ++i) {
    t.fields.push_back({fieldtype::kLogical, 1, std::string(24, 'a') + static_cast<char>('A' + i % 26)});
  }
  auto reader = OpenImage(t.Build());
  ASSERT_TRUE(reader->HasFields());
  EXPECT_EQ(reader->FieldByNumber(254).Offset(), 254);
  EXPECT_EQ(reader->FieldByNumber(254).Name().size(), 25u);
  EXPECT_EQ(reader->FieldByNumber(254).Previous(), &reader->FieldByNumber(253));
  EXPECT_EQ(reader->FieldByNumber(254).Next(), nullptr);
}

TEST(PxObject, FieldByNumberRefusesNumbersOutsideTheListAndZeroWidths) {
  TTableImage t = SmallTable(1, 1);
  t.fields.push_back({fieldtype::kAlpha, 0, "Nothing"});
  auto reader = OpenImage(t.Build());
  for (const int number : {-1, 2, 3, 1000}) {
    ExpectReadError([&] { (void)reader->FieldByNumber(number); }, "List index out of bounds.");
  }
  EXPECT_EQ(reader->FieldByNumber(1).Name(), "Name");
}

TEST(PxObject, EncryptionWordDependsOnTheExtendedHeader) {
  struct Case { int version; int fileType; std::size_t wordAt; };
  const Case cases[] = {{4, 2, 37}, {9, 2, 92}, {12, 6, 92}, {12, 8, 92}, {11, 1, 37}, {3, 0, 37}};
  for (const auto& c : cases) {
    TTableImage t = SmallTable(1, 1);
    t.version = c.version;
    t.fileType = c.fileType;
    TBytes bytes = t.Build();
    EXPECT_FALSE(OpenImage(bytes)->IsEncrypted());
    const std::size_t other = c.wordAt == 37 ? 92 : 37;
    PutU32(bytes.data() + other, 0xFF00FF00u);
    EXPECT_FALSE(OpenImage(bytes)->IsEncrypted()) << c.version << "/" << c.fileType;
    PutU32(bytes.data() + c.wordAt, 0x12345678u);
    EXPECT_TRUE(OpenImage(bytes)->IsEncrypted()) << c.version << "/" << c.fileType;
  }
}

TEST(PxObject, FieldBeyondTheRecordRaisesAReadErrorInsteadOfReadingOn) {
  TTableImage t = SmallTable(1, 2);
  t.recordSize = 4;  // the alpha field (offset 2, width 6) does not fit
  t.blocks = {{test::Raw({0x80, 0x01, 'a', 'b'}), test::Raw({0x80, 0x02, 'c', 'd'})}};
  auto reader = OpenImage(t.Build());
  ASSERT_TRUE(reader->FirstRecord());
  EXPECT_EQ(reader->FieldByNumber(0).AsInteger(), 1);
  ExpectReadError([&] { (void)reader->FieldByNumber(1).AsText(); },
                  "Field \"Name\" (offset 2, width 6) lies beyond the end of the 4-byte record.");
}

// A file whose read at one offset fails once, as a failing disk would.
class TFlakyFile final : public env::TFile {
 public:
  TFlakyFile(TBytes bytes, std::uint64_t failAt) : file_(std::move(bytes)), failAt_(failAt) {}
  const std::string& Path() const override { return file_.Path(); }
  std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override {
    if (offset == failAt_) {
      failAt_ = UINT64_MAX;
      throw env::EReadError("disk error");
    }
    return file_.ReadAt(offset, out);
  }
  void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override { file_.WriteAt(offset, data); }
  std::uint64_t Size() override { return file_.Size(); }
  void Truncate(std::uint64_t size) override { file_.Truncate(size); }
  void Flush() override {}
  void Close() override {}

 private:
  env::TMemoryFile file_;
  std::uint64_t failAt_;
};

TEST(PxObject, ReadErrorLeavesTheReaderOnTheFailedBlock) {
  TTableImage t = SmallTable(3, 2);
  TPxObject reader(std::make_unique<TFlakyFile>(t.Build(), static_cast<std::uint64_t>(t.headerSize + t.BlockSize())));
  ASSERT_TRUE(reader.FirstRecord());
  ASSERT_TRUE(reader.NextRecord());
  ExpectReadError([&] { (void)reader.NextRecord(); }, "disk error");
  EXPECT_EQ(reader.CurrentBlock(), 1);
  EXPECT_EQ(reader.BlockRecordCount(), 0);
  ExpectReadError([&] { (void)reader.RecordData(); }, "Record data not found.");
  // A caller that goes on gets the records after the failed block.
  ASSERT_TRUE(reader.NextRecord());
  EXPECT_EQ(reader.FieldByNumber(0).AsInteger(), 5);
}

TEST(PxObject, FileThatShrinksUnderTheReaderGivesTheStreamError) {
  TTableImage t = SmallTable(3, 2);
  auto file = std::make_unique<env::TMemoryFile>(t.Build(), "shrinking.db");
  env::TMemoryFile* raw = file.get();
  TPxObject reader(std::move(file));
  ASSERT_TRUE(reader.FirstRecord());
  raw->Truncate(static_cast<std::uint64_t>(t.headerSize + t.BlockSize() + 100));
  (void)reader.NextRecord();
  ExpectReadError([&] { (void)reader.NextRecord(); }, "Stream read error");
}

}  // namespace
}  // namespace remdo::paradox
