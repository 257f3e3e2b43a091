// The raw table file reader. It reads a Paradox table's data file (.DB), or a
// secondary index data file (.Xnn, .XGn) which shares its layout, without the
// database engine: it parses the file header and the field descriptions and
// walks the data blocks in file order, exposing each record image in turn.
// It does not consult the primary index, the memo file, the block links or
// the free-block chain, so it reads tables the engine refuses to open. It
// never writes to the file.
//
// What is thrown, and when (every error is env::EReadError):
//  - Construction: only the stream's read error for a file shorter than 4
//    bytes (or when the OS fails to read those 4 bytes, the size or the
//    rest of the header). Any
//    other file gives a reader, without header when the header size is not
//    81 to 32766, with a header of zeros when the file is shorter than its
//    header, and without fields when the field count or a field name is bad.
//  - Header values (RecordSize ... FileVersion, IsEncrypted, HeaderBytes)
//    never throw; without header they are 0, false or empty.
//  - BlockSize, BlockCount and HasTrailingPartBlock: "Block size not
//    defined." without header or when header byte 5 is not 1 to 32.
//  - FieldByNumber: "List index out of bounds." for a number not in the
//    field list or a field of width 0.
//  - FirstRecord, NextRecord, NextBlock, ReadBlock and RecordData (and the
//    field decoders, which call RecordData): "Block size not defined." as
//    above; a message naming the record size when it is 0 or larger than a
//    block's record area (block size - 6); the stream's read error when a
//    block cannot be read (a failing disk, a file that shrank): the reader
//    then stays on that block without records, and the next NextRecord goes
//    on with the block after it. RecordData also raises "Record data not
//    found." when there is no current record: the walk found none, or it
//    has ended.
//
// Damaged blocks never stop the walk: a block whose last-record offset is
// negative (empty), not a multiple of the record size, or beyond the block's
// record area is skipped whole, and so is a block of zeros only (its header
// would promise one all-zero record that was never written). The bytes of a trailing part block (the file
// ends at least 6 bytes into the block after the last whole one) are walked
// too: the records of that block that lie wholly inside the file are read,
// while BlockCount still counts whole blocks only.
#ifndef REMDO_PARADOX_FORMAT_PXOBJECT_H_
#define REMDO_PARADOX_FORMAT_PXOBJECT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "env/FileStream.h"
#include "paradox/format/PxFieldObject.h"

namespace remdo::paradox {

// Offsets of the file header values the reader and its callers use.
namespace pxheader {
constexpr std::size_t kRecordSize = 0;         // u16
constexpr std::size_t kHeaderSize = 2;         // u16
constexpr std::size_t kFileType = 4;           // u8: 0 keyed .DB, 2 unkeyed .DB, 3/5/6/8 .X*
constexpr std::size_t kBlockSizeCode = 5;      // u8: block size in KiB, 1 to 32
constexpr std::size_t kRecordCount = 6;        // s32
constexpr std::size_t kIndexFieldNumber = 21;  // u8: .X*: 1-based table field indexed
constexpr std::size_t kFieldCount = 33;        // s16
constexpr std::size_t kKeyFieldCount = 35;     // s16
constexpr std::size_t kEncryption = 37;        // u32, file without extended header
constexpr std::size_t kSortOrder = 41;         // u8: language driver's sort order
constexpr std::size_t kFileVersion = 57;       // u8: version code
constexpr std::size_t kExtendedEncryption = 92;  // u32, file with extended header
constexpr std::size_t kCodePage = 106;         // u16, file with extended header
constexpr std::size_t kFieldsAt = 88;          // field descriptions without extended header
constexpr std::size_t kExtendedFieldsAt = 120;  // field descriptions with extended header
}  // namespace pxheader

// How the block last loaded by the walk was judged.
enum class TBlockState {
  kNone,     // no block loaded
  kRecords,  // holds records (BlockRecordCount of them)
  kEmpty,    // last-record offset negative: no records
  kDamaged,  // last-record offset not a multiple of the record size, or beyond the block
  kZeroed,   // every byte zero: never written, or wiped; its one "record" would be a phantom
};

class TPxObject {
 public:
  static constexpr std::size_t kReadBufferSize = 65536;
  static constexpr std::size_t kBlockHeaderSize = 6;

  // Takes over an open stream (opened for reading by the caller) and reads
  // the header and fields. Throws as described at the top.
  explicit TPxObject(env::TFileStream stream);
  explicit TPxObject(std::unique_ptr<env::TFile> file);
  ~TPxObject();
  TPxObject(const TPxObject&) = delete;
  TPxObject& operator=(const TPxObject&) = delete;

  // Header size was 81 to 32766. A file shorter than its header still has a
  // header (of zeros).
  bool HasHeader() const { return !header_.empty(); }
  // The field list was read; false without header or after a bad count or name.
  bool HasFields() const { return !fields_.empty(); }
  // First field of the list (the others follow through Next()), or null.
  const TPxFieldObject* FirstField() const { return fields_.empty() ? nullptr : fields_.front().get(); }
  const TPxFieldObject& FieldByNumber(int number) const;

  // Header values at offsets 0, 6, 33, 35, 57 and 4; 0 without header.
  int RecordSize() const;
  std::int32_t RecordCount() const;
  int FieldCount() const;
  int KeyFieldCount() const;
  int FileVersion() const;
  int FileType() const;
  // Version code above 4 and file type 0, 2, 3, 5, 6 or 8: the header has the
  // extension that holds the code page and the second encryption word, and
  // its field descriptions start at 120 instead of 88.
  bool HasExtendedHeader() const;
  // The header as read (header size bytes), or empty without header. Bytes
  // beyond it are not part of the header.
  std::span<const std::byte> HeaderBytes() const { return header_; }

  // Block size in bytes (header byte 5 x 1024).
  int BlockSize() const;
  // Whole blocks after the header: (file size - header size) / block size,
  // rounded down; 0 when the header size is not below the file size.
  std::int64_t BlockCount() const;
  // The file ends inside the block after the last whole one, leaving at least
  // a block header's worth of bytes. Needs a valid block size.
  bool HasTrailingPartBlock() const;
  bool IsEncrypted() const;
  // For a file marked as encrypted: whether its data blocks read as plain
  // blocks all the same, so that the mark is header damage (one flipped
  // byte sets it). Enciphered blocks have headers of random bytes; here
  // most blocks must have a consistent header (links within the file, a
  // last-record offset the record size divides, or an empty block) and at
  // least one must hold records. Walks every block and leaves the reader
  // as after construction; false when no record can be walked at all.
  bool DataBlocksReadPlain();
  // The file's size when the reader was made.
  std::int64_t FileSize() const { return fileSize_; }

  // Forgets the current block and record, then NextRecord.
  bool FirstRecord();
  // Forgets the current block and record: the next NextBlock loads block 0.
  void Rewind();
  // Moves to the next record image in file order: true when there is one,
  // false at the end of the file (and on every call after that).
  bool NextRecord();
  // The current record image (RecordSize bytes), valid until the next move.
  // Before the first move it does FirstRecord.
  std::span<const std::byte> RecordData();
  // Where the current record lies in the file; -1 without one.
  std::int64_t RecordFileOffset() const;

  // Loads the next block in file order (the trailing part block included)
  // and judges it; false when there is none. A read error leaves the reader
  // on the block it could not read, without records.
  bool NextBlock();
  // Reads the current block into the buffer again and judges it; with no
  // block loaded, reads block 0.
  void ReadBlock();

  // 0-based number of the loaded block in file order, -1 when none.
  std::int64_t CurrentBlock() const { return currentBlock_; }
  TBlockState BlockState() const { return blockState_; }
  // Records the walk takes from the loaded block.
  int BlockRecordCount() const { return blockRecords_; }
  // Blocks the walk since FirstRecord loaded but could not take every
  // record of: damaged and zeroed blocks skipped whole, and a trailing part
  // block cut inside its records. Empty blocks do not count.
  std::int64_t PassedOverBlocks() const { return passedOver_; }
  // The loaded block's links (block numbers from 1, 0 for none).
  int BlockNextLink() const;
  int BlockPreviousLink() const;

 private:
  void ReadHeader();
  void ReadFields();
  int HeaderU8(std::size_t offset) const;
  std::uint16_t HeaderU16(std::size_t offset) const;
  std::uint32_t HeaderU32(std::size_t offset) const;
  int HeaderSize() const { return HeaderU16(pxheader::kHeaderSize); }
  // Raises the read errors that make the record walk impossible.
  void CheckWalkable() const;
  std::int64_t BlockStart(std::int64_t block) const;
  std::int64_t BlocksToWalk() const;
  void JudgeBlock(std::size_t bytesRead);

  env::TFileStream stream_;
  std::int64_t fileSize_ = 0;
  std::vector<std::byte> header_;
  std::vector<std::unique_ptr<TPxFieldObject>> fields_;
  std::vector<std::byte> buffer_;
  std::int64_t currentBlock_ = -1;
  // Offset of the current record within the block's record area, -1 when
  // there is no current record.
  int recordOffset_ = -1;
  int blockRecords_ = 0;
  TBlockState blockState_ = TBlockState::kNone;
  // The loaded block's last-record offset promised more records than the
  // bytes read hold.
  bool blockCut_ = false;
  std::int64_t passedOver_ = 0;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FORMAT_PXOBJECT_H_
