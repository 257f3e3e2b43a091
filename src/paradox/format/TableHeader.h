// The header that opens every table-format file of a Paradox family: the
// data file (.DB), the primary index (.PX) and the secondary index files
// (.Xnn/.Ynn, .XGn/.YGn). One structure decodes headers of levels 3 to 7 and
// encodes those of levels 4, 5 and 7; the byte layout is described at the top
// of TableHeader.cpp.
#ifndef REMDO_PARADOX_FORMAT_TABLEHEADER_H_
#define REMDO_PARADOX_FORMAT_TABLEHEADER_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paradox/format/FieldType.h"

namespace remdo::paradox {

// Header byte 0x04.
enum class TFileType : std::uint8_t {
  kKeyedTable = 0,
  kPrimaryIndex = 1,
  kUnkeyedTable = 2,
  kIndexData = 3,              // .Xnn of an unkeyed table
  kIndexTree = 4,              // .Ynn
  kMaintainedIndexData = 5,    // .Xnn of a keyed table
  kCompositeIndexData = 6,     // .XGn of an unkeyed table
  kCompositeIndexTree = 7,     // .YGn
  kMaintainedCompositeData = 8 // .XGn of a keyed table
};

// Version bytes (0x39) the engine writes for table levels 4, 5 and 7, and
// the level a version byte stands for (3.0 and 3.5 both count as level 3).
std::uint8_t VersionCodeOfLevel(int level);
int LevelOfVersionCode(std::uint8_t versionCode);
// True for the levels whose files this engine writes (4, 5, 7).
bool IsWritableLevel(int level);

struct THeaderField {
  TFieldType type = TFieldType::kAlpha;
  std::uint8_t size = 0;        // the size byte (BCD: decimals)
  std::string name;             // empty in index-tree files
  std::uint16_t number = 0;     // entry of the field-number array

  int Width() const { return FieldWidth(type, size); }
};

struct TTableHeader {
  static constexpr std::size_t kFixedSize = 0x58;
  static constexpr std::size_t kExtendedSize = 0x78;
  static constexpr std::uint16_t kHeaderUnit = 0x800;
  static constexpr std::size_t kShortTableNameLength = 79;
  static constexpr std::size_t kLongTableNameLength = 261;
  static constexpr std::uint32_t kEncryptedMarker = 0xFF00FF00;
  static constexpr std::size_t kMaxFields = 255;

  TFileType fileType = TFileType::kUnkeyedTable;
  std::uint16_t recordSize = 0;
  std::uint16_t headerSize = kHeaderUnit;
  std::uint32_t blockSize = 2048;
  std::uint32_t recordCount = 0;      // index trees: entries on all levels
  std::uint16_t usedBlocks = 0;
  std::uint16_t fileBlocks = 0;
  std::uint16_t firstBlock = 0;
  std::uint16_t lastBlock = 0;
  std::uint16_t changeCount0 = 3;     // 0x12
  std::uint8_t indexFieldNumber = 0;  // 0x15, secondary index data files
  std::uint32_t workspace = 0;        // 0x16, non-zero in keyed files
  std::uint16_t indexRoot = 0;        // 0x1E, index trees
  std::uint8_t indexLevels = 0;       // 0x20, index trees
  std::int16_t keyFieldCount = 0;     // 0x23
  std::uint32_t checksum = 0;         // password checksum (0x25 or 0x5C)
  std::uint8_t sortOrder = 0;         // 0x29
  std::uint8_t indexStamp = 0;        // 0x2C
  std::uint8_t changeCount1 = 1;      // 0x2D
  std::uint8_t changeCount2 = 1;      // 0x2E
  std::uint8_t primaryStamp = 0;      // 0x2F
  std::uint32_t generationTag = 0;    // 0x30, a stale pointer in genuine files
  std::uint8_t versionCode = 0x0C;    // 0x39
  std::uint32_t autoIncrement = 0;    // 0x49
  std::uint16_t firstFreeBlock = 0;   // 0x4D
  std::uint8_t integrityFlags = 0;    // 0x55
  std::uint32_t modifiedTime = 0;     // 0x60, seconds since 1970
  std::uint16_t nextFieldId = 0;      // 0x64; 0 writes field count + 1
  std::uint16_t codePage = 0;         // 0x6A
  std::uint8_t unknown6C = 1;         // 0x6C
  std::uint16_t changeCount4 = 1;     // 0x70
  std::string tableName;
  std::string sortOrderName;          // level 4 and up, data-format files
  std::string indexName;              // .XGn only
  std::vector<THeaderField> fields;

  // Files that carry field names (data files and secondary index data).
  bool HasFieldNames() const;
  bool IsIndexTree() const;
  bool IsDataTable() const {
    return fileType == TFileType::kKeyedTable || fileType == TFileType::kUnkeyedTable;
  }
  // The 0x58-0x77 extension: level 4 and up, files with field names.
  bool HasExtension() const;
  bool IsEncrypted() const { return checksum != 0; }
  int Level() const { return LevelOfVersionCode(versionCode); }
  std::size_t TableNameLength() const;
  // Offset of the field descriptors (0x78 or 0x58).
  std::size_t FieldsOffset() const { return HasExtension() ? kExtendedSize : kFixedSize; }
  // Bytes of the header actually used (header word 0x51).
  std::size_t UsedSize() const;
  // Sum of the field widths (index trees: plus the 6 trailing bytes).
  std::size_t ComputedRecordSize() const;

  // Reads a header from the first bytes of a file (at least headerSize of
  // them when the file has that many; fileSize is the whole file's size).
  // Throws EDBEngineError (header corrupt, or table encrypted is not thrown:
  // the caller decides) naming path and the fault when the bytes are not a
  // header this engine can read; never reads outside bytes.
  static TTableHeader DecodeFrom(std::span<const std::byte> bytes, std::uint64_t fileSize, std::string_view path);

  // The headerSize bytes of the header. headerSize is recomputed first: the
  // used size rounded up to a multiple of 2048.
  std::vector<std::byte> EncodeTo();

 private:
  void EncodeFixed(std::byte* p, std::size_t used) const;
  void EncodeExtension(std::byte* p) const;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FORMAT_TABLEHEADER_H_
