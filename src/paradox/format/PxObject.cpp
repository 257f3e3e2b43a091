// The raw table file reader.
//
// File layout as read here (little-endian control values):
//   header (header size bytes, u16 at 2):
//     0 u16 record size     4 u8 file type      5 u8 block size in KiB
//     6 s32 record count   33 s16 field count  35 s16 key field count
//    37 u32 encryption word (no extended header)   57 u8 version code
//    92 u32 encryption word (extended header)      106 u16 code page
//   The extended header exists when the version code is above 4 and the file
//   type is 0, 2, 3, 5, 6 or 8 (data files and secondary index data files).
//   Field descriptions, one (type, size) byte pair per field, start at 120
//   with it and at 88 without. Then come a 4-byte pointer, one 4-byte pointer
//   per field and the table name (79 bytes, 261 from version code 12 on),
//   then the NUL-terminated field names: at descriptions + 6 x fields + 83,
//   or + 265 from version code 12 on.
//   data blocks (block size bytes each, block b at header size + b x block
//   size in file order):
//     0 u16 next block   2 u16 previous block   4 s16 offset of the last
//     record from byte 6 ((records - 1) x record size; negative when empty)
//     6...  records, packed, record size bytes each.
#include "paradox/format/PxObject.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "env/Errors.h"
#include "paradox/codes/Coding.h"

namespace remdo::paradox {

namespace {

constexpr int kMinHeaderSize = 81;
constexpr int kMaxHeaderSize = 32766;
constexpr int kMaxFields = 255;
constexpr std::size_t kMaxNameLength = 25;
constexpr int kMaxBlockSizeCode = 32;
constexpr int kExtendedVersionFrom = 5;
constexpr int kLongTableNameFrom = 12;
constexpr std::size_t kNamesAfterShortTableName = 83;  // 4 + 79
constexpr std::size_t kNamesAfterLongTableName = 265;  // 4 + 261

[[noreturn]] void Fail(const std::string& message) { throw env::EReadError(message); }

}  // namespace

TPxObject::TPxObject(env::TFileStream stream) : stream_(std::move(stream)), buffer_(kReadBufferSize) {
  fileSize_ = stream_.Size();
  ReadHeader();
  if (HasHeader()) ReadFields();
}

TPxObject::TPxObject(std::unique_ptr<env::TFile> file) : TPxObject(env::TFileStream(std::move(file))) {}

TPxObject::~TPxObject() = default;

void TPxObject::ReadHeader() {
  std::array<std::byte, 4> start{};
  stream_.Seek(0, env::TSeekOrigin::kBegin);
  stream_.ReadBuffer(start);  // a file shorter than 4 bytes ends construction here
  const int headerSize = GetU16(start.data() + pxheader::kHeaderSize);
  if (headerSize < kMinHeaderSize || headerSize > kMaxHeaderSize) return;
  header_.assign(static_cast<std::size_t>(headerSize), std::byte{0});
  std::copy(start.begin(), start.end(), header_.begin());
  // A file shorter than its header: the zeros make every later record
  // access fail with "Block size not defined.". A failure of the OS to read
  // is no short file and passes as the stream's read error: a header read
  // as zeros would claim a table without records.
  const auto rest = std::span<std::byte>(header_).subspan(start.size());
  if (stream_.Read(rest) != rest.size()) std::fill(header_.begin(), header_.end(), std::byte{0});
}

// Reads the field descriptions and names. Every position is checked against
// the header copy; a bad count, a description or name outside the header, or
// a name of 0 or more than 25 characters leaves the reader without fields.
void TPxObject::ReadFields() {
  const int count = FieldCount();
  if (count < 1 || count > kMaxFields) return;
  const std::size_t descriptions = HasExtendedHeader() ? pxheader::kExtendedFieldsAt : pxheader::kFieldsAt;
  std::size_t nameAt = descriptions + 6 * static_cast<std::size_t>(count) +
                       (FileVersion() >= kLongTableNameFrom ? kNamesAfterLongTableName : kNamesAfterShortTableName);
  std::vector<std::unique_ptr<TPxFieldObject>> fields;
  int offset = 0;
  for (int number = 0; number < count; ++number) {
    const std::size_t pair = descriptions + 2 * static_cast<std::size_t>(number);
    if (pair + 1 >= header_.size() || nameAt >= header_.size()) return;
    const auto nameStart = header_.begin() + static_cast<std::ptrdiff_t>(nameAt);
    const auto nul = std::find(nameStart, header_.end(), std::byte{0});
    const auto length = static_cast<std::size_t>(nul - nameStart);
    if (nul == header_.end() || length == 0 || length > kMaxNameLength) return;
    std::string name(length, '\0');
    std::transform(nameStart, nul, name.begin(), [](std::byte b) { return static_cast<char>(b); });
    fields.push_back(std::make_unique<TPxFieldObject>(this, std::to_integer<std::uint8_t>(header_[pair]),
                                                      std::move(name), number,
                                                      std::to_integer<std::uint8_t>(header_[pair + 1]), offset));
    offset += fields.back()->Width();
    nameAt += length + 1;
  }
  for (std::size_t i = 1; i < fields.size(); ++i) {
    fields[i - 1]->next_ = fields[i].get();
    fields[i]->previous_ = fields[i - 1].get();
  }
  fields_ = std::move(fields);
}

int TPxObject::HeaderU8(std::size_t offset) const {
  return offset < header_.size() ? std::to_integer<int>(header_[offset]) : 0;
}

std::uint16_t TPxObject::HeaderU16(std::size_t offset) const {
  return static_cast<std::uint16_t>(HeaderU8(offset) | (HeaderU8(offset + 1) << 8));
}

std::uint32_t TPxObject::HeaderU32(std::size_t offset) const {
  return HeaderU16(offset) | (static_cast<std::uint32_t>(HeaderU16(offset + 2)) << 16);
}

const TPxFieldObject& TPxObject::FieldByNumber(int number) const {
  if (number < 0 || static_cast<std::size_t>(number) >= fields_.size() || fields_[number]->Width() == 0) {
    Fail("List index out of bounds.");
  }
  return *fields_[static_cast<std::size_t>(number)];
}

int TPxObject::RecordSize() const { return HeaderU16(pxheader::kRecordSize); }
std::int32_t TPxObject::RecordCount() const {
  return static_cast<std::int32_t>(HeaderU32(pxheader::kRecordCount));
}
int TPxObject::FieldCount() const { return static_cast<std::int16_t>(HeaderU16(pxheader::kFieldCount)); }
int TPxObject::KeyFieldCount() const { return static_cast<std::int16_t>(HeaderU16(pxheader::kKeyFieldCount)); }
int TPxObject::FileVersion() const { return HeaderU8(pxheader::kFileVersion); }
int TPxObject::FileType() const { return HeaderU8(pxheader::kFileType); }

bool TPxObject::HasExtendedHeader() const {
  if (FileVersion() < kExtendedVersionFrom) return false;
  switch (FileType()) {
    case 0: case 2: case 3: case 5: case 6: case 8: return true;
    default: return false;
  }
}

bool TPxObject::IsEncrypted() const {
  if (!HasHeader()) return false;
  return HeaderU32(HasExtendedHeader() ? pxheader::kExtendedEncryption : pxheader::kEncryption) != 0;
}

int TPxObject::BlockSize() const {
  const int code = HeaderU8(pxheader::kBlockSizeCode);
  if (!HasHeader() || code < 1 || code > kMaxBlockSizeCode) Fail("Block size not defined.");
  return code * 1024;
}

std::int64_t TPxObject::BlockCount() const {
  const int blockSize = BlockSize();
  const std::int64_t headerSize = HeaderSize();
  if (headerSize >= fileSize_) return 0;
  return (fileSize_ - headerSize) / blockSize;
}

bool TPxObject::HasTrailingPartBlock() const {
  const int blockSize = BlockSize();
  const std::int64_t headerSize = HeaderSize();
  if (headerSize >= fileSize_) return false;
  return (fileSize_ - headerSize) % blockSize >= static_cast<std::int64_t>(kBlockHeaderSize);
}

std::int64_t TPxObject::BlocksToWalk() const { return BlockCount() + (HasTrailingPartBlock() ? 1 : 0); }

std::int64_t TPxObject::BlockStart(std::int64_t block) const {
  return HeaderSize() + block * static_cast<std::int64_t>(BlockSize());
}

void TPxObject::CheckWalkable() const {
  const int blockSize = BlockSize();
  const int recordSize = RecordSize();
  const int area = blockSize - static_cast<int>(kBlockHeaderSize);
  if (recordSize == 0) Fail("Record size is 0 in the table header; no record can be read.");
  if (recordSize > area) {
    Fail("Record size " + std::to_string(recordSize) + " is larger than the " + std::to_string(area) +
         "-byte record area of a " + std::to_string(blockSize) + "-byte block; no record can be read.");
  }
}

void TPxObject::Rewind() {
  currentBlock_ = -1;
  recordOffset_ = -1;
  blockRecords_ = 0;
  blockState_ = TBlockState::kNone;
  passedOver_ = 0;
}

bool TPxObject::FirstRecord() {
  Rewind();
  return NextRecord();
}

int TPxObject::BlockNextLink() const { return currentBlock_ < 0 ? 0 : GetU16(buffer_.data()); }
int TPxObject::BlockPreviousLink() const { return currentBlock_ < 0 ? 0 : GetU16(buffer_.data() + 2); }

bool TPxObject::DataBlocksReadPlain() {
  std::int64_t plain = 0;
  std::int64_t other = 0;
  bool records = false;
  try {
    const std::int64_t blocks = BlocksToWalk();
    Rewind();
    for (;;) {
      const std::int64_t before = currentBlock_;
      try {
        if (!NextBlock()) break;
      } catch (const env::EReadError&) {
        if (currentBlock_ == before) break;
        ++other;
        continue;
      }
      const bool linked = BlockNextLink() <= blocks && BlockPreviousLink() <= blocks;
      const bool judged = blockState_ == TBlockState::kRecords || blockState_ == TBlockState::kEmpty;
      if (linked && judged) {
        ++plain;
        records = records || blockState_ == TBlockState::kRecords;
      } else {
        ++other;
      }
    }
  } catch (const env::EReadError&) {
    // No block size or an impossible record size: nothing reads as plain.
  }
  Rewind();
  return records && plain > other;
}

bool TPxObject::NextRecord() {
  CheckWalkable();
  const int recordSize = RecordSize();
  if (recordOffset_ >= 0 && recordOffset_ / recordSize + 1 < blockRecords_) {
    recordOffset_ += recordSize;
    return true;
  }
  while (NextBlock()) {
    if (blockRecords_ > 0) return true;
  }
  recordOffset_ = -1;
  return false;
}

std::span<const std::byte> TPxObject::RecordData() {
  if (buffer_.empty()) Fail("Read buffer not created.");
  if (currentBlock_ < 0) FirstRecord();
  if (recordOffset_ < 0) Fail("Record data not found.");
  return std::span<const std::byte>(buffer_).subspan(kBlockHeaderSize + static_cast<std::size_t>(recordOffset_),
                                                     static_cast<std::size_t>(RecordSize()));
}

std::int64_t TPxObject::RecordFileOffset() const {
  if (currentBlock_ < 0 || recordOffset_ < 0) return -1;
  return BlockStart(currentBlock_) + static_cast<std::int64_t>(kBlockHeaderSize) + recordOffset_;
}

bool TPxObject::NextBlock() {
  CheckWalkable();
  if (currentBlock_ + 1 >= BlocksToWalk()) return false;
  ++currentBlock_;
  ReadBlock();
  if (blockState_ == TBlockState::kDamaged || blockState_ == TBlockState::kZeroed || blockCut_) ++passedOver_;
  return true;
}

void TPxObject::ReadBlock() {
  if (buffer_.empty()) Fail("Read buffer not created.");
  CheckWalkable();
  if (currentBlock_ < 0) currentBlock_ = 0;
  // Until the read succeeds the block counts as unreadable, so a caller that
  // catches the error walks on with the next block.
  recordOffset_ = -1;
  blockRecords_ = 0;
  blockState_ = TBlockState::kDamaged;
  blockCut_ = false;
  const auto blockSize = static_cast<std::size_t>(BlockSize());
  const std::int64_t start = BlockStart(currentBlock_);
  const std::int64_t left = fileSize_ - start;
  if (left < static_cast<std::int64_t>(kBlockHeaderSize)) return;
  // A whole block, or the bytes of a trailing part block; the rest of the
  // block's room is zeroed so that nothing of the previous block shows.
  const auto size = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(blockSize)));
  std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(size),
            buffer_.begin() + static_cast<std::ptrdiff_t>(blockSize), std::byte{0});
  stream_.Seek(start, env::TSeekOrigin::kBegin);
  stream_.ReadBuffer(std::span<std::byte>(buffer_).first(size));
  JudgeBlock(size);
}

// Decides how many records the loaded block holds. The last-record offset
// must be a multiple of the record size and leave the last record inside
// the block; records of a trailing part block must lie wholly in the bytes
// that were read. A block of zeros only holds no record: the engine writes
// block links and records, so zeros throughout mean a block the file was
// extended by and never written, or a wiped sector run.
void TPxObject::JudgeBlock(std::size_t bytesRead) {
  const auto read = std::span<const std::byte>(buffer_).first(bytesRead);
  if (std::all_of(read.begin(), read.end(), [](std::byte b) { return b == std::byte{0}; })) {
    blockState_ = TBlockState::kZeroed;
    return;
  }
  const int recordSize = RecordSize();
  const int area = BlockSize() - static_cast<int>(kBlockHeaderSize);
  const int last = GetS16(buffer_.data() + 4);
  if (last < 0) {
    blockState_ = TBlockState::kEmpty;
    return;
  }
  if (last % recordSize != 0 || last + recordSize > area) return;  // damaged
  const int fit = static_cast<int>((bytesRead - kBlockHeaderSize) / static_cast<std::size_t>(recordSize));
  const int count = std::min(last / recordSize + 1, fit);
  blockCut_ = count < last / recordSize + 1;
  if (count == 0) return;
  blockRecords_ = count;
  blockState_ = TBlockState::kRecords;
  recordOffset_ = 0;
}

}  // namespace remdo::paradox
