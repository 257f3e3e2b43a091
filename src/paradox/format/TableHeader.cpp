// Table header layout (little-endian control words):
//
//   00 u16 record size        02 u16 header size       04 u8 file type
//   05 u8  block size / 1024  06 u32 records           0A u16 used blocks
//   0C u16 file blocks        0E u16 first block       10 u16 last block
//   12 u16 change counter     15 u8 indexed field      16 u32 workspace pointer
//   1E u16 index root         20 u8 index levels       21 s16 fields
//   23 s16 key fields         25 u32 checksum / FF00FF00 marker
//   29 u8  sort order         2C u8 index stamp        2D u8 change count 1
//   2E u8  change count 2     2F u8 primary stamp      30 u32 generation tag
//   39 u8  version            3A u16 file blocks       3E u16 1F 0F (names)
//   49 u32 auto-increment     4D u16 first free block  51 u16 used header size
//   55 u8  integrity flags    56 u8 0x20 (extension)
// Level 4 and up, files with field names, extension 0x58-0x77:
//   58 u16 0x100 + version    5A u16 same              5C u32 checksum
//   60 u32 time (Unix)        64 u16 next field id     66 u16 field numbers - 0x58
//   68 u16 index name - 0x58  6A u16 code page         6C u8 1, 6D u8 1
//   6E u16 sort name - 0x58   70 u16 change counter
// Then, at 0x78 (0x58 without extension): n (type, size) pairs, a 4-byte
// table-name pointer, in files with names n 4-byte field-name pointers, the
// table name (79 bytes, 261 at level 7), the NUL-terminated field names, and
// at level 4 and up the field-number array, the sort-order name and (.XGn)
// the index name. Zero fill to the header size, a multiple of 2048 in every
// file this engine writes.
#include "paradox/format/TableHeader.h"

#include <algorithm>

#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"

namespace remdo::paradox {

namespace {

std::uint8_t Byte(std::span<const std::byte> b, std::size_t at) { return std::to_integer<std::uint8_t>(b[at]); }

[[noreturn]] void Corrupt(std::string_view path, std::string_view what) {
  throw EngineError(kDbiErrHeaderCorrupt, "The header of " + std::string(path) + " is damaged (" + std::string(what) + ")");
}

// A NUL-terminated string at offset, inside limit; nothing when unterminated.
bool ReadString(std::span<const std::byte> b, std::size_t offset, std::size_t limit, std::string& out) {
  out.clear();
  for (std::size_t i = offset; i < limit && i < b.size(); ++i) {
    const char c = static_cast<char>(b[i]);
    if (c == '\0') return true;
    out.push_back(c);
  }
  return false;
}

void PutString(std::vector<std::byte>& out, std::size_t& at, std::string_view text) {
  for (const char c : text) out[at++] = static_cast<std::byte>(c);
  out[at++] = std::byte{0};
}

}  // namespace

std::uint8_t VersionCodeOfLevel(int level) {
  switch (level) {
    case 3: return 0x03;
    case 4: return 0x09;
    case 5: return 0x0B;
    default: return 0x0C;
  }
}

int LevelOfVersionCode(std::uint8_t versionCode) {
  if (versionCode <= 4) return 3;
  if (versionCode <= 9) return 4;
  if (versionCode <= 11) return 5;
  return 7;
}

bool IsWritableLevel(int level) { return level == 4 || level == 5 || level == 7; }

bool TTableHeader::HasFieldNames() const {
  switch (fileType) {
    case TFileType::kPrimaryIndex:
    case TFileType::kIndexTree:
    case TFileType::kCompositeIndexTree: return false;
    default: return true;
  }
}

bool TTableHeader::IsIndexTree() const { return !HasFieldNames(); }

bool TTableHeader::HasExtension() const { return versionCode >= 5 && HasFieldNames(); }

std::size_t TTableHeader::TableNameLength() const {
  return versionCode >= 0x0C ? kLongTableNameLength : kShortTableNameLength;
}

std::size_t TTableHeader::ComputedRecordSize() const {
  std::size_t width = IsIndexTree() ? 6 : 0;
  for (const auto& field : fields) width += static_cast<std::size_t>(field.Width());
  return width;
}

std::size_t TTableHeader::UsedSize() const {
  const std::size_t n = fields.size();
  std::size_t size = FieldsOffset() + 2 * n + 4 + TableNameLength();
  if (!HasFieldNames()) return size;
  size += 4 * n;
  for (const auto& field : fields) size += field.name.size() + 1;
  if (HasExtension()) {
    size += 2 * n + sortOrderName.size() + 1;
    if (!indexName.empty()) size += indexName.size() + 1;
  }
  return size;
}

namespace {

// The words of the fixed part (0x00-0x57) that every file has.
void DecodeFixed(const std::byte* p, TTableHeader& h) {
  h.recordSize = GetU16(p + 0x00);
  h.headerSize = GetU16(p + 0x02);
  h.fileType = static_cast<TFileType>(std::to_integer<std::uint8_t>(p[0x04]));
  h.blockSize = std::to_integer<std::uint32_t>(p[0x05]) * 1024u;
  h.recordCount = GetU32(p + 0x06);
  h.usedBlocks = GetU16(p + 0x0A);
  h.fileBlocks = GetU16(p + 0x0C);
  h.firstBlock = GetU16(p + 0x0E);
  h.lastBlock = GetU16(p + 0x10);
  h.changeCount0 = GetU16(p + 0x12);
  h.indexFieldNumber = std::to_integer<std::uint8_t>(p[0x15]);
  h.workspace = GetU32(p + 0x16);
  h.indexRoot = GetU16(p + 0x1E);
  h.indexLevels = std::to_integer<std::uint8_t>(p[0x20]);
  h.keyFieldCount = GetS16(p + 0x23);
  h.sortOrder = std::to_integer<std::uint8_t>(p[0x29]);
  h.indexStamp = std::to_integer<std::uint8_t>(p[0x2C]);
  h.changeCount1 = std::to_integer<std::uint8_t>(p[0x2D]);
  h.changeCount2 = std::to_integer<std::uint8_t>(p[0x2E]);
  h.primaryStamp = std::to_integer<std::uint8_t>(p[0x2F]);
  h.generationTag = GetU32(p + 0x30);
  h.versionCode = std::to_integer<std::uint8_t>(p[0x39]);
  h.autoIncrement = GetU32(p + 0x49);
  h.firstFreeBlock = GetU16(p + 0x4D);
  h.integrityFlags = std::to_integer<std::uint8_t>(p[0x55]);
}

void DecodeExtension(const std::byte* p, TTableHeader& h) {
  h.checksum = GetU32(p + 0x5C);
  h.modifiedTime = GetU32(p + 0x60);
  h.nextFieldId = GetU16(p + 0x64);
  h.codePage = GetU16(p + 0x6A);
  h.unknown6C = std::to_integer<std::uint8_t>(p[0x6C]);
  h.changeCount4 = GetU16(p + 0x70);
}

// The (type, size) pairs at `at`; returns the offset after them.
std::size_t DecodeFields(std::span<const std::byte> b, std::size_t at, std::size_t n, std::size_t limit,
                         std::string_view path, TTableHeader& h) {
  if (at + 2 * n + 4 > limit) Corrupt(path, "field descriptors outside the header");
  for (std::size_t i = 0; i < n; ++i, at += 2) {
    const auto type = FieldTypeFromByte(Byte(b, at));
    const std::uint8_t size = Byte(b, at + 1);
    if (!type) Corrupt(path, "unknown field type in field " + std::to_string(i + 1));
    if (!IsValidFieldSize(*type, size)) Corrupt(path, "invalid size of field " + std::to_string(i + 1));
    h.fields.push_back({*type, size, {}, static_cast<std::uint16_t>(i + 1)});
  }
  return at;
}

// Field names, field numbers, sort-order and index names, from `at`.
void DecodeNames(std::span<const std::byte> b, std::size_t at, std::size_t limit, std::string_view path,
                 TTableHeader& h) {
  for (auto& field : h.fields) {
    if (!ReadString(b, at, limit, field.name)) Corrupt(path, "field names outside the header");
    at += field.name.size() + 1;
  }
  if (!h.HasExtension()) return;
  const std::byte* p = b.data();
  const std::size_t n = h.fields.size();
  const std::size_t numbersAt = TTableHeader::kFixedSize + GetU16(p + 0x66);
  if (numbersAt + 2 * n > limit) Corrupt(path, "field numbers outside the header");
  for (std::size_t i = 0; i < n; ++i) h.fields[i].number = GetU16(p + numbersAt + 2 * i);
  if (!ReadString(b, TTableHeader::kFixedSize + GetU16(p + 0x6E), limit, h.sortOrderName)) {
    Corrupt(path, "invalid sort order name");
  }
  if (GetU16(p + 0x68) != 0 && !ReadString(b, TTableHeader::kFixedSize + GetU16(p + 0x68), limit, h.indexName)) {
    Corrupt(path, "invalid index name");
  }
}

}  // namespace

TTableHeader TTableHeader::DecodeFrom(std::span<const std::byte> b, std::uint64_t fileSize, std::string_view path) {
  if (b.size() < kFixedSize) Corrupt(path, "the file is shorter than a header");
  if (Byte(b, 0x04) > 8) Corrupt(path, "unknown file type");
  if (Byte(b, 0x05) < 1 || Byte(b, 0x05) > 32) Corrupt(path, "invalid block size");
  TTableHeader h;
  DecodeFixed(b.data(), h);
  const std::int16_t fieldCount = GetS16(b.data() + 0x21);
  if (h.versionCode < 3 || h.versionCode > 12) Corrupt(path, "unknown version");
  if (h.headerSize < kFixedSize || h.headerSize > fileSize) Corrupt(path, "invalid header size");
  if (fieldCount < 1 || static_cast<std::size_t>(fieldCount) > kMaxFields) Corrupt(path, "invalid field count");
  if (h.keyFieldCount < 0 || h.keyFieldCount > fieldCount) Corrupt(path, "invalid key field count");
  const std::size_t limit = std::min<std::size_t>(h.headerSize, b.size());
  if (limit < h.headerSize || (h.HasExtension() && limit < kExtendedSize)) Corrupt(path, "the header is cut short");
  if (h.HasExtension()) {
    DecodeExtension(b.data(), h);
  } else {
    h.checksum = GetU32(b.data() + 0x25);
  }
  std::size_t at = DecodeFields(b, h.FieldsOffset(), static_cast<std::size_t>(fieldCount), limit, path, h);
  if (h.ComputedRecordSize() != h.recordSize) Corrupt(path, "the record size does not match the fields");
  if (h.recordSize + 6u > h.blockSize) Corrupt(path, "records larger than a block");
  at += 4 + (h.HasFieldNames() ? 4 * h.fields.size() : 0);
  if (at + h.TableNameLength() > limit) Corrupt(path, "table name outside the header");
  ReadString(b, at, at + h.TableNameLength(), h.tableName);
  if (h.HasFieldNames()) DecodeNames(b, at + h.TableNameLength(), limit, path, h);
  return h;
}

void TTableHeader::EncodeFixed(std::byte* p, std::size_t used) const {
  PutU16(p + 0x00, recordSize);
  PutU16(p + 0x02, headerSize);
  p[0x04] = static_cast<std::byte>(fileType);
  p[0x05] = static_cast<std::byte>(blockSize / 1024);
  PutU32(p + 0x06, recordCount);
  PutU16(p + 0x0A, usedBlocks);
  PutU16(p + 0x0C, fileBlocks);
  PutU16(p + 0x0E, firstBlock);
  PutU16(p + 0x10, lastBlock);
  PutU16(p + 0x12, changeCount0);
  p[0x15] = static_cast<std::byte>(indexFieldNumber);
  PutU32(p + 0x16, workspace);
  PutU16(p + 0x1E, indexRoot);
  p[0x20] = static_cast<std::byte>(indexLevels);
  PutU16(p + 0x21, static_cast<std::uint16_t>(fields.size()));
  PutU16(p + 0x23, static_cast<std::uint16_t>(keyFieldCount));
  PutU32(p + 0x25, HasExtension() ? kEncryptedMarker : checksum);
  p[0x29] = static_cast<std::byte>(sortOrder);
  p[0x2C] = static_cast<std::byte>(indexStamp);
  p[0x2D] = static_cast<std::byte>(changeCount1);
  p[0x2E] = static_cast<std::byte>(changeCount2);
  p[0x2F] = static_cast<std::byte>(primaryStamp);
  PutU32(p + 0x30, generationTag);
  p[0x39] = static_cast<std::byte>(versionCode);
  PutU16(p + 0x3A, fileBlocks);
  if (HasFieldNames()) PutU16(p + 0x3E, 0x0F1F);
  PutU32(p + 0x49, autoIncrement);
  PutU16(p + 0x4D, firstFreeBlock);
  PutU16(p + 0x51, static_cast<std::uint16_t>(used));
  p[0x55] = static_cast<std::byte>(integrityFlags);
}

void TTableHeader::EncodeExtension(std::byte* p) const {
  p[0x56] = std::byte{0x20};
  PutU16(p + 0x58, static_cast<std::uint16_t>(0x100 + versionCode));
  PutU16(p + 0x5A, static_cast<std::uint16_t>(0x100 + versionCode));
  PutU32(p + 0x5C, checksum);
  PutU32(p + 0x60, modifiedTime);
  PutU16(p + 0x64, nextFieldId != 0 ? nextFieldId : static_cast<std::uint16_t>(fields.size() + 1));
  PutU16(p + 0x6A, codePage);
  p[0x6C] = static_cast<std::byte>(unknown6C);
  p[0x6D] = std::byte{1};
  PutU16(p + 0x70, changeCount4);
}

std::vector<std::byte> TTableHeader::EncodeTo() {
  const std::size_t used = UsedSize();
  headerSize = static_cast<std::uint16_t>((used + kHeaderUnit - 1) / kHeaderUnit * kHeaderUnit);
  recordSize = static_cast<std::uint16_t>(ComputedRecordSize());
  std::vector<std::byte> out(headerSize);
  std::byte* p = out.data();
  EncodeFixed(p, used);
  std::size_t at = FieldsOffset();
  for (const auto& field : fields) {
    p[at++] = static_cast<std::byte>(field.type);
    p[at++] = static_cast<std::byte>(field.size);
  }
  at += 4 + (HasFieldNames() ? 4 * fields.size() : 0);
  std::copy_n(reinterpret_cast<const std::byte*>(tableName.data()),
              std::min(tableName.size(), TableNameLength() - 1), p + at);
  at += TableNameLength();
  if (!HasFieldNames()) return out;
  for (const auto& field : fields) PutString(out, at, field.name);
  if (!HasExtension()) return out;
  EncodeExtension(p);
  PutU16(p + 0x66, static_cast<std::uint16_t>(at - kFixedSize));
  for (const auto& field : fields) {
    PutU16(p + at, field.number);
    at += 2;
  }
  PutU16(p + 0x6E, static_cast<std::uint16_t>(at - kFixedSize));
  PutString(out, at, sortOrderName);
  if (!indexName.empty()) {
    PutU16(p + 0x68, static_cast<std::uint16_t>(at - kFixedSize));
    PutString(out, at, indexName);
  }
  return out;
}

}  // namespace remdo::paradox
