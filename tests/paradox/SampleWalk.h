// A small reader of Paradox data and index files for the memo and collation
// tests: the header's fields, the language driver and the records in block
// chain order. It trusts nothing it reads but makes no attempt at recovery;
// a file it cannot walk cleanly is reported as such.
#ifndef REMDO_TESTS_PARADOX_SAMPLEWALK_H_
#define REMDO_TESTS_PARADOX_SAMPLEWALK_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "paradox/codes/Coding.h"
#include "paradox/index/Collation.h"
#include "support/TestSupport.h"

namespace remdo::test {

struct TSampleTable {
  std::string path;
  std::vector<std::byte> bytes;
  std::size_t recordSize = 0;
  std::uint8_t fileType = 0;
  std::uint8_t sortOrder = 0;
  std::size_t keyFields = 0;
  std::string driverName;  // empty in files without one (level 3)
  std::vector<paradox::TKeyField> fields;
  std::vector<std::size_t> recordOffsets;  // chain order

  std::span<const std::byte> Record(std::size_t i) const {
    return std::span<const std::byte>(bytes).subspan(recordOffsets[i], recordSize);
  }
  std::size_t FieldOffset(std::size_t field) const {
    std::size_t offset = 0;
    for (std::size_t i = 0; i < field; ++i) offset += fields[i].width;
    return offset;
  }
};

namespace samplewalk {

inline std::uint16_t U16(const std::vector<std::byte>& b, std::size_t at) { return paradox::GetU16(b.data() + at); }
inline std::uint32_t U32(const std::vector<std::byte>& b, std::size_t at) { return paradox::GetU32(b.data() + at); }
inline std::uint8_t U8(const std::vector<std::byte>& b, std::size_t at) { return std::to_integer<std::uint8_t>(b[at]); }

inline bool HasExtension(std::uint8_t version, std::uint8_t type) {
  return version >= 5 && (type == 0 || type == 2 || type == 3 || type == 5 || type == 6 || type == 8);
}

}  // namespace samplewalk

// Loads a .DB or .X* file; nothing when it is encrypted, not a data file
// (.PX/.Y*) or cannot be walked cleanly.
inline std::optional<TSampleTable> LoadSampleTable(const std::string& path) {
  using namespace samplewalk;
  TSampleTable t;
  t.path = path;
  t.bytes = ReadWholeFile(path);
  const auto& b = t.bytes;
  if (b.size() < 0x78) return std::nullopt;
  t.recordSize = U16(b, 0);
  const std::size_t headerSize = U16(b, 2);
  t.fileType = U8(b, 4);
  const std::size_t blockSize = U8(b, 5) * std::size_t{1024};
  const std::uint8_t version = U8(b, 0x39);
  const auto fieldCount = static_cast<std::int16_t>(U16(b, 0x21));
  t.keyFields = static_cast<std::size_t>(static_cast<std::int16_t>(U16(b, 0x23)));
  t.sortOrder = U8(b, 0x29);
  const bool extension = HasExtension(version, t.fileType);
  if (t.fileType == 1 || t.fileType == 4 || t.fileType == 7 || t.recordSize == 0 || blockSize == 0) return std::nullopt;
  if ((extension ? U32(b, 0x5C) : U32(b, 0x25)) != 0) return std::nullopt;
  const std::size_t descriptors = extension ? 0x78 : 0x58;
  if (fieldCount <= 0 || descriptors + 2 * static_cast<std::size_t>(fieldCount) > b.size()) return std::nullopt;
  std::size_t total = 0;
  for (int i = 0; i < fieldCount; ++i) {
    const std::uint8_t type = U8(b, descriptors + 2 * i);
    const std::size_t size = U8(b, descriptors + 2 * i + 1);
    t.fields.push_back({type, type == 0x17 ? std::size_t{17} : size});
    total += t.fields.back().width;
  }
  if (total != t.recordSize) return std::nullopt;
  if (extension) {
    std::size_t at = 0x58 + U16(b, 0x6E);
    while (at < b.size() && b[at] != std::byte{0}) t.driverName.push_back(static_cast<char>(b[at++]));
  }
  std::set<std::size_t> seen;
  for (std::size_t block = U16(b, 0x0E); block != 0; block = U16(b, headerSize + (block - 1) * blockSize)) {
    const std::size_t start = headerSize + (block - 1) * blockSize;
    if (!seen.insert(block).second || start + 6 > b.size()) return std::nullopt;
    const auto last = static_cast<std::int16_t>(U16(b, start + 4));
    const std::size_t count = last < 0 ? 0 : static_cast<std::size_t>(last) / t.recordSize + 1;
    if (start + 6 + count * t.recordSize > b.size()) return std::nullopt;
    for (std::size_t i = 0; i < count; ++i) t.recordOffsets.push_back(start + 6 + i * t.recordSize);
  }
  return t;
}

}  // namespace remdo::test

#endif  // REMDO_TESTS_PARADOX_SAMPLEWALK_H_
