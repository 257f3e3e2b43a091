// Builds the bytes of small Paradox table files in memory for reader tests:
// a header with field descriptions and names at the places the format puts
// them, then data blocks of given records. Tests patch the bytes afterwards
// to damage them.
#ifndef REMDO_TESTS_PARADOX_TABLEIMAGE_H_
#define REMDO_TESTS_PARADOX_TABLEIMAGE_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileStream.h"
#include "env/MemoryFile.h"
#include "paradox/codes/Coding.h"
#include "paradox/format/PxFieldObject.h"
#include "paradox/format/PxObject.h"

namespace remdo::test {

using TBytes = std::vector<std::byte>;

struct TFieldSpec {
  std::uint8_t type = paradox::fieldtype::kAlpha;
  std::uint8_t size = 10;
  std::string name;
};

inline int FieldWidth(const TFieldSpec& f) {
  return f.type == paradox::fieldtype::kBcd ? paradox::fieldtype::kBcdWidth : f.size;
}

// Encoded field values, concatenated into records by Record().
inline TBytes Raw(std::initializer_list<int> values) {
  TBytes out;
  for (const int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}
inline TBytes Alpha(std::string_view text, int width) {
  TBytes out(static_cast<std::size_t>(width));
  std::memcpy(out.data(), text.data(), std::min<std::size_t>(text.size(), out.size()));
  return out;
}
inline TBytes Int(std::int64_t value, int width) {
  TBytes out(static_cast<std::size_t>(width));
  paradox::EncodeFieldInteger(out.data(), value, width);
  return out;
}
inline TBytes Float(double value) {
  TBytes out(8);
  paradox::EncodeFieldDouble(out.data(), value);
  return out;
}
inline TBytes Blank(int width) { return TBytes(static_cast<std::size_t>(width)); }
inline TBytes Record(std::initializer_list<TBytes> parts) {
  TBytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct TTableImage {
  int version = 11;          // version code at 57
  int fileType = 2;          // 2: unkeyed table
  int blockSizeCode = 1;     // 1 KiB blocks
  int headerSize = 1024;
  int keyFields = 0;
  std::uint16_t codePage = 1252;
  std::uint8_t sortOrder = 0x4C;
  std::vector<TFieldSpec> fields;
  int recordSize = -1;       // -1: sum of the field widths
  std::int64_t recordCount = -1;  // -1: records in the blocks
  std::vector<std::vector<TBytes>> blocks;
  // Where the field descriptions and names go; -1: where the format puts them.
  int descriptionsAt = -1;
  int namesAt = -1;

  bool Extended() const {
    return version > 4 && (fileType == 0 || fileType == 2 || fileType == 3 || fileType == 5 || fileType == 6 ||
                           fileType == 8);
  }
  std::size_t DescriptionsAt() const {
    if (descriptionsAt >= 0) return static_cast<std::size_t>(descriptionsAt);
    return Extended() ? 120 : 88;
  }
  std::size_t NamesAt() const {
    if (namesAt >= 0) return static_cast<std::size_t>(namesAt);
    return DescriptionsAt() + 6 * fields.size() + (version >= 12 ? 265 : 83);
  }
  int RecordSize() const {
    if (recordSize >= 0) return recordSize;
    int sum = 0;
    for (const auto& f : fields) sum += FieldWidth(f);
    return sum;
  }
  int BlockSize() const { return blockSizeCode * 1024; }

  TBytes Build() const {
    TBytes out(static_cast<std::size_t>(headerSize));
    auto* p = out.data();
    std::int64_t count = 0;
    for (const auto& b : blocks) count += static_cast<std::int64_t>(b.size());
    paradox::PutU16(p + 0, static_cast<std::uint16_t>(RecordSize()));
    paradox::PutU16(p + 2, static_cast<std::uint16_t>(headerSize));
    p[4] = static_cast<std::byte>(fileType);
    p[5] = static_cast<std::byte>(blockSizeCode);
    paradox::PutU32(p + 6, static_cast<std::uint32_t>(recordCount >= 0 ? recordCount : count));
    // The block chain in file order, as other readers follow it.
    const auto blockCount = static_cast<std::uint16_t>(blocks.size());
    paradox::PutU16(p + 0x0A, blockCount);
    paradox::PutU16(p + 0x0C, blockCount);
    paradox::PutU16(p + 0x0E, blockCount > 0 ? 1 : 0);
    paradox::PutU16(p + 0x10, blockCount);
    paradox::PutU16(p + 33, static_cast<std::uint16_t>(fields.size()));
    paradox::PutU16(p + 35, static_cast<std::uint16_t>(keyFields));
    p[41] = static_cast<std::byte>(sortOrder);
    p[57] = static_cast<std::byte>(version);
    if (Extended()) {
      paradox::PutU16(p + 0x58, static_cast<std::uint16_t>(0x100 + version));
      paradox::PutU16(p + 0x5A, static_cast<std::uint16_t>(0x100 + version));
      paradox::PutU16(p + 0x6A, codePage);
    }
    // Bytes that a test's layout puts beyond the header are left out.
    const auto put = [&out](std::size_t at, std::byte value) {
      if (at < out.size()) out[at] = value;
    };
    std::size_t names = NamesAt();
    for (std::size_t i = 0; i < fields.size(); ++i) {
      put(DescriptionsAt() + 2 * i, static_cast<std::byte>(fields[i].type));
      put(DescriptionsAt() + 2 * i + 1, static_cast<std::byte>(fields[i].size));
      for (const char c : fields[i].name) put(names++, static_cast<std::byte>(c));
      put(names++, std::byte{0});
    }
    for (std::size_t b = 0; b < blocks.size(); ++b) AppendBlock(out, blocks[b], static_cast<int>(b));
    return out;
  }

  void AppendBlock(TBytes& out, const std::vector<TBytes>& records, int number) const {
    TBytes block(static_cast<std::size_t>(BlockSize()));
    const bool last = number + 1 == static_cast<int>(blocks.size());
    paradox::PutU16(block.data(), static_cast<std::uint16_t>(last ? 0 : number + 2));
    paradox::PutU16(block.data() + 2, static_cast<std::uint16_t>(number));
    const int lastOffset = (static_cast<int>(records.size()) - 1) * RecordSize();
    paradox::PutU16(block.data() + 4, static_cast<std::uint16_t>(static_cast<std::int16_t>(lastOffset)));
    std::size_t at = 6;
    for (const auto& r : records) {
      std::memcpy(block.data() + at, r.data(), r.size());
      at += static_cast<std::size_t>(RecordSize());
    }
    out.insert(out.end(), block.begin(), block.end());
  }

  // Offset in the built file of block b's last-record offset word.
  std::size_t LastOffsetAt(int block) const {
    return static_cast<std::size_t>(headerSize) + static_cast<std::size_t>(block) * BlockSize() + 4;
  }
};

inline void PatchU16(TBytes& bytes, std::size_t at, int value) {
  paradox::PutU16(bytes.data() + at, static_cast<std::uint16_t>(value));
}

inline std::unique_ptr<paradox::TPxObject> OpenImage(const TBytes& bytes) {
  return std::make_unique<paradox::TPxObject>(std::make_unique<env::TMemoryFile>(bytes, "table.db"));
}

// Every record the walk finds, as bytes.
inline std::vector<TBytes> WalkRecords(paradox::TPxObject& reader) {
  std::vector<TBytes> out;
  if (!reader.FirstRecord()) return out;
  do {
    const auto data = reader.RecordData();
    out.emplace_back(data.begin(), data.end());
  } while (reader.NextRecord());
  return out;
}

}  // namespace remdo::test

#endif  // REMDO_TESTS_PARADOX_TABLEIMAGE_H_
