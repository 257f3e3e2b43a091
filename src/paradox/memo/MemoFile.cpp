// Reading values from a memo file. Every number taken from the record's
// reference or from the file is checked against the file before it is used
// to seek or to size a buffer; see MemoFormat.cpp for the layout.
#include "paradox/memo/MemoFile.h"

#include <array>
#include <utility>

#include "env/Errors.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/format/MemoFormat.h"
#include "paradox/memo/UnitCachedFile.h"

namespace remdo::paradox {

namespace {

using memo::TBlockType;

std::string Hex(std::uint64_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return "0x" + out;
}

std::string BlockName(std::uint8_t type) {
  switch (static_cast<TBlockType>(type)) {
    case TBlockType::kHeader:
      return "the header block";
    case TBlockType::kSingle:
      return "a single-value block";
    case TBlockType::kSubAllocated:
      return "a shared block";
    case TBlockType::kFree:
      return "a free block";
  }
  return "a block of unknown type " + std::to_string(type);
}

// Reads exactly out.size() bytes at offset; the caller has checked that
// they lie inside the file, so a short read means the file changed.
void ReadExactly(env::TFile& file, std::uint64_t offset, std::span<std::byte> out) {
  if (file.ReadAt(offset, out) != out.size()) {
    ThrowMemoError(kDbiErrMemoCorrupt, file.Path(), "the file ended while reading at offset " + Hex(offset));
  }
}

void CheckStamp(const env::TFile& file, const TBlobDescriptor& d, std::uint32_t length, std::uint16_t modification) {
  // The words are put together only for a value that fails: every value
  // read passes here.
  const auto where = [&] { return "the value at offset " + Hex(d.blockOffset); };
  if (length != d.length) {
    ThrowMemoError(kDbiErrMemoCorrupt, file.Path(),
                   where() + " holds " + std::to_string(length) + " bytes, but the record's reference says " +
                       std::to_string(d.length));
  }
  if (modification != d.modification) {
    ThrowMemoError(kDbiErrMemoCorrupt, file.Path(),
                   where() + " has modification number " + std::to_string(modification) +
                       ", but the record's reference has " + std::to_string(d.modification) +
                       " (the reference is stale)");
  }
}

void CheckInside(const env::TFile& file, std::uint64_t end, std::uint64_t fileSize, std::uint32_t blockOffset) {
  if (end > fileSize) {
    ThrowMemoError(kDbiErrMemoCorrupt, file.Path(),
                   "the block at offset " + Hex(blockOffset) + " runs past the end of the file (" +
                       std::to_string(fileSize) + " bytes" +
                       (fileSize % memo::kUnit != 0 ? ", not a multiple of 4096)" : ")"));
  }
}

void CheckBlockType(const env::TFile& file, std::uint8_t found, TBlockType wanted, std::uint32_t blockOffset) {
  if (found == static_cast<std::uint8_t>(wanted)) return;
  ThrowMemoError(kDbiErrMemoCorrupt, file.Path(),
                 "the block at offset " + Hex(blockOffset) + " is " + BlockName(found) + ", not " +
                     BlockName(static_cast<std::uint8_t>(wanted)) + " as the record's reference says");
}

TBlobLocation LocateSingle(env::TFile& file, std::uint64_t fileSize, const TBlobDescriptor& d) {
  CheckInside(file, std::uint64_t{d.blockOffset} + memo::kSingleHeaderSize, fileSize, d.blockOffset);
  std::array<std::byte, memo::kSingleHeaderSize> raw{};
  ReadExactly(file, d.blockOffset, raw);
  CheckBlockType(file, std::to_integer<std::uint8_t>(raw[0]), TBlockType::kSingle, d.blockOffset);
  const auto header = memo::TSingleBlockHeader::DecodeFrom(raw.data());
  if (header.units == 0 || memo::UnitsForSingle(header.length) > header.units) {
    ThrowMemoError(kDbiErrMemoCorrupt, file.Path(),
                   "the block at offset " + Hex(d.blockOffset) + " claims " + std::to_string(header.length) +
                       " bytes in " + std::to_string(header.units) + " units of 4096 bytes");
  }
  CheckStamp(file, d, header.length, header.modification);
  const std::uint64_t data = std::uint64_t{d.blockOffset} + memo::kSingleHeaderSize;
  CheckInside(file, data + header.length, fileSize, d.blockOffset);
  return {data, header.length};
}

TBlobLocation LocateEntry(env::TFile& file, std::uint64_t fileSize, const TBlobDescriptor& d) {
  constexpr std::size_t kTableEnd = memo::kEntryTable + memo::kEntryCount * memo::kEntrySize;
  CheckInside(file, std::uint64_t{d.blockOffset} + kTableEnd, fileSize, d.blockOffset);
  std::array<std::byte, kTableEnd> raw{};
  ReadExactly(file, d.blockOffset, raw);
  CheckBlockType(file, std::to_integer<std::uint8_t>(raw[0]), TBlockType::kSubAllocated, d.blockOffset);
  const auto entry = memo::TSubEntry::DecodeFrom(raw.data() + memo::kEntryTable + d.index * memo::kEntrySize);
  const auto name = [&] {
    return "entry " + std::to_string(d.index) + " of the block at offset " + Hex(d.blockOffset);
  };
  if (!entry.InUse()) {
    ThrowMemoError(kDbiErrInvalidBlobOffset, file.Path(), name() + " is not in use (the reference is stale)");
  }
  if (!entry.IsWellFormed()) {
    ThrowMemoError(kDbiErrMemoCorrupt, file.Path(), name() + " lies outside the block's data area");
  }
  CheckStamp(file, d, entry.Length(), entry.modification);
  const std::uint64_t data = std::uint64_t{d.blockOffset} + std::uint64_t{entry.firstChunk} * memo::kChunk;
  CheckInside(file, data + entry.Length(), fileSize, d.blockOffset);
  return {data, entry.Length()};
}

}  // namespace

void ThrowMemoError(std::uint16_t code, const std::string& path, const std::string& detail) {
  throw env::EDBEngineError(code, "Memo file " + path + ": " + detail);
}

std::uint64_t CheckMemoHeader(env::TFile& file) {
  const std::uint64_t size = file.Size();
  if (size < memo::kUnit) {
    ThrowMemoError(kDbiErrMemoCorrupt, file.Path(),
                   "the file is " + std::to_string(size) + " bytes long, shorter than its 4096-byte header");
  }
  std::array<std::byte, 1> type{};
  ReadExactly(file, 0, type);
  if (type[0] != std::byte{0}) {
    ThrowMemoError(kDbiErrMemoCorrupt, file.Path(),
                   "the file does not start with a memo header block (it is damaged or encrypted)");
  }
  return size;
}

TBlobLocation LocateBlob(env::TFile& file, std::uint64_t fileSize, const TBlobDescriptor& d) {
  if (d.blockOffset == 0) {
    ThrowMemoError(kDbiErrInvalidBlobOffset, file.Path(),
                   "a record's reference to a value of " + std::to_string(d.length) +
                       " bytes names no memo block (offset 0 is the header)");
  }
  if (d.blockOffset % memo::kUnit != 0) {
    ThrowMemoError(
        kDbiErrInvalidBlobOffset, file.Path(),
        "a record's reference points to offset " + Hex(d.blockOffset) + ", which is not the start of a memo block");
  }
  if (d.blockOffset >= fileSize) {
    ThrowMemoError(kDbiErrInvalidBlobOffset, file.Path(),
                   "a record's reference points to offset " + Hex(d.blockOffset) + ", beyond the end of the file (" +
                       std::to_string(fileSize) + " bytes)");
  }
  if (d.IsSingleBlock()) return LocateSingle(file, fileSize, d);
  if (d.index > TBlobDescriptor::kMaxEntryIndex) {
    ThrowMemoError(kDbiErrInvalidBlobOffset, file.Path(),
                   "a record's reference names entry " + std::to_string(d.index) + " of the block at offset " +
                       Hex(d.blockOffset) + "; entries run from 0 to 63");
  }
  return LocateEntry(file, fileSize, d);
}

TMemoFile::TMemoFile(env::TFileSystem& fileSystem, std::string path)
    : fileSystem_(fileSystem), path_(std::move(path)) {}

TMemoFile::~TMemoFile() = default;

void TMemoFile::EnsureOpen() {
  if (file_) return;
  if (!fileSystem_.FileExists(path_)) {
    throw env::EDBEngineError(kDbiErrBlobFileMissing, "The memo file " + path_ + " is missing");
  }
  auto file = std::make_unique<TUnitCachedFile>(fileSystem_.Open(path_, env::TOpenMode::kRead));
  size_ = CheckMemoHeader(*file);
  file_ = std::move(file);
}

std::vector<std::byte> ReadStoredBlob(env::TFile& file, std::uint64_t fileSize, const TBlobDescriptor& descriptor) {
  if (descriptor.IsBlank()) {
    ThrowMemoError(kDbiErrInvalidBlobOffset, file.Path(), "a blank reference has no stored value");
  }
  const TBlobLocation at = LocateBlob(file, fileSize, descriptor);
  std::vector<std::byte> value(at.length);
  ReadExactly(file, at.dataOffset, value);
  return value;
}

std::optional<std::vector<std::byte>> ValueInRecord(std::span<const std::byte> field, const std::string& path) {
  const std::size_t leader = LeaderSizeOf(field.size());
  const TBlobDescriptor d = TBlobDescriptor::DecodeFrom(field.data() + leader);
  if (d.IsBlank()) return std::vector<std::byte>{};
  if (!d.IsLeaderOnly()) return std::nullopt;
  if (d.length > leader) {
    ThrowMemoError(kDbiErrInvalidBlobOffset, path,
                   "a record's reference to a value of " + std::to_string(d.length) +
                       " bytes names no memo block, "
                       "and its leader holds only " +
                       std::to_string(leader));
  }
  return std::vector<std::byte>(field.begin(), field.begin() + d.length);
}

std::vector<std::byte> TMemoFile::ReadStored(const TBlobDescriptor& descriptor) {
  EnsureOpen();
  return ReadStoredBlob(*file_, size_, descriptor);
}

std::vector<std::byte> TMemoFile::ReadField(std::span<const std::byte> field) {
  if (auto inRecord = ValueInRecord(field, path_)) return std::move(*inRecord);
  return ReadStored(TBlobDescriptor::DecodeFrom(field.data() + field.size() - TBlobDescriptor::kSize));
}

void TMemoFile::Close() { file_.reset(); }

}  // namespace remdo::paradox
