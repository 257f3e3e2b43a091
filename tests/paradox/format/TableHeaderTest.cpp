// Table headers: every genuine header of the samples decodes, and headers
// this engine encodes decode to what was encoded, with the layout relations
// the format requires.
#include "paradox/format/TableHeader.h"

#include <gtest/gtest.h>

#include "env/Path.h"
#include "env/Text.h"
#include "paradox/codes/Coding.h"
#include "support/TestSupport.h"

namespace remdo::paradox {
namespace {

TEST(TableHeader, DecodesEveryHeaderOfTheSamples) {
  REMDO_SAMPLES_OR_SKIP(samples);
  int decoded = 0;
  for (const auto& path : remdo::test::FilesBelow(samples, {".db", ".px"})) {
    SCOPED_TRACE(path);
    const auto bytes = remdo::test::ReadWholeFile(path);
    const TTableHeader header = TTableHeader::DecodeFrom(bytes, bytes.size(), path);
    EXPECT_EQ(header.recordSize, header.ComputedRecordSize());
    if (header.HasExtension()) {
      EXPECT_EQ(header.UsedSize(), GetU16(bytes.data() + 0x51));
      EXPECT_FALSE(header.sortOrderName.empty());
    }
    ++decoded;
  }
  EXPECT_GT(decoded, 100);
}

TTableHeader SampleHeader(std::uint8_t version, std::size_t fields, std::size_t nameLength) {
  TTableHeader header;
  header.fileType = TFileType::kKeyedTable;
  header.versionCode = version;
  header.blockSize = 8192;
  header.keyFieldCount = 1;
  header.sortOrder = 0x4C;
  header.sortOrderName = "DBWINUS0";
  header.codePage = 1252;
  header.tableName = "temptbl1.db";
  for (std::size_t i = 0; i < fields; ++i) {
    header.fields.push_back({i == 0 ? TFieldType::kLong : TFieldType::kAlpha, static_cast<std::uint8_t>(i == 0 ? 4 : 20),
                             std::string(nameLength, static_cast<char>('a' + i % 26)) + std::to_string(i),
                             static_cast<std::uint16_t>(i + 1)});
  }
  return header;
}

TEST(TableHeader, EncodedHeadersDecodeToTheSameTable) {
  struct TCase {
    std::uint8_t version;
    std::size_t fields;
    std::size_t nameLength;
    std::uint16_t headerSize;
  };
  const TCase cases[] = {{0x09, 3, 5, 2048}, {0x0B, 21, 10, 2048}, {0x0C, 12, 8, 2048}, {0x0C, 92, 20, 4096}};
  for (const TCase& c : cases) {
    TTableHeader header = SampleHeader(c.version, c.fields, c.nameLength);
    const auto bytes = header.EncodeTo();
    ASSERT_EQ(bytes.size(), c.headerSize);
    const TTableHeader back = TTableHeader::DecodeFrom(bytes, bytes.size(), "test");
    EXPECT_EQ(back.fields.size(), c.fields);
    EXPECT_EQ(back.fields.back().name, header.fields.back().name);
    EXPECT_EQ(back.fields.back().number, c.fields);
    EXPECT_EQ(back.sortOrderName, "DBWINUS0");
    EXPECT_EQ(back.tableName, "temptbl1.db");
    EXPECT_EQ(back.recordSize, 4 + 20 * (c.fields - 1));
    // The relations every engine-written header satisfies.
    EXPECT_EQ(GetU16(bytes.data() + 0x58), 0x100 + c.version);
    EXPECT_EQ(GetU16(bytes.data() + 0x5A), 0x100 + c.version);
    EXPECT_EQ(GetU32(bytes.data() + 0x25), 0xFF00FF00u);
    EXPECT_EQ(GetU16(bytes.data() + 0x3E), 0x0F1F);
    EXPECT_EQ(std::to_integer<int>(bytes[0x56]), 0x20);
    EXPECT_EQ(GetU16(bytes.data() + 0x64), c.fields + 1);
    const std::size_t sortName = 0x58 + GetU16(bytes.data() + 0x6E);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + sortName)), "DBWINUS0");
    EXPECT_EQ(GetU16(bytes.data() + 0x51), sortName + 9);
    EXPECT_EQ(GetU16(bytes.data() + 0x66) + 0x58 + 2 * c.fields, sortName);
  }
}

TEST(TableHeader, IndexHeadersCarryNoNamesAndTheirOwnRecordSize) {
  TTableHeader index;
  index.fileType = TFileType::kPrimaryIndex;
  index.versionCode = 0x0B;
  index.fields = {{TFieldType::kLong, 4, {}, 1}, {TFieldType::kShort, 2, {}, 2}};
  index.tableName = "temptbl1.PX";
  const auto bytes = index.EncodeTo();
  EXPECT_EQ(GetU16(bytes.data()), 12);
  EXPECT_EQ(GetU16(bytes.data() + 0x51), 0x58 + 2 * 2 + 4 + 79);
  EXPECT_EQ(GetU32(bytes.data() + 0x25), 0u);
  EXPECT_EQ(GetU16(bytes.data() + 0x3E), 0);
  EXPECT_EQ(TTableHeader::DecodeFrom(bytes, bytes.size(), "test").tableName, "temptbl1.PX");
}

}  // namespace
}  // namespace remdo::paradox
