// A map of a table file's bytes as the raw reader walks them: the header
// values that matter for damage, and for every block in file order (the
// trailing part block included) where it starts and how many records the
// walk takes from it. Built without the engine and without trusting the
// file: a header the walk cannot use gives a map that is not walkable.
#ifndef REMDO_TOOLS_DAMAGE_TABLEMAP_H_
#define REMDO_TOOLS_DAMAGE_TABLEMAP_H_

#include <cstdint>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::tools {

// A memo or other blob field: where its leader and 10-byte reference lie in
// the record.
struct TBlobField {
  int number = 0;  // 1-based field number
  int offset = 0;  // in the record
  int width = 0;   // leader + 10
};

struct TBlockMap {
  std::int64_t start = 0;        // file offset of the block
  std::int64_t bytes = 0;        // bytes of it inside the file (a part block has fewer)
  std::int16_t lastOffset = 0;   // the block header's last-record offset
  int records = 0;               // records the walk takes from it
  std::int64_t firstOrdinal = 0; // ordinal of its first record in the walk
};

class TTableMap {
 public:
  static constexpr int kBlockHeaderSize = 6;

  // Reads the header and every block header of the open file.
  static TTableMap Read(env::TFile& file);

  // The walk can run: a header of 81 to 32766 bytes, a block size of 1 to
  // 32 KiB and a record size of 1 to the block's record area.
  bool Walkable() const { return walkable_; }
  std::int64_t FileSize() const { return fileSize_; }
  int HeaderSize() const { return headerSize_; }
  int BlockSize() const { return blockSize_; }
  int RecordSize() const { return recordSize_; }
  std::int32_t HeaderCount() const { return headerCount_; }
  int FieldCount() const { return fieldCount_; }
  int KeyFieldCount() const { return keyFieldCount_; }
  // The width of the primary key at the start of each record; 0 for a table
  // without key or when the field descriptions cannot be read.
  int KeyWidth() const { return keyWidth_; }
  const std::vector<TBlockMap>& Blocks() const { return blocks_; }
  // The blob fields, when the field descriptions can be read.
  const std::vector<TBlobField>& BlobFields() const { return blobFields_; }
  // Records the walk finds.
  std::int64_t Records() const;

  // How many records of a block the walk takes, by the reader's rules: a
  // negative offset or one that is not a multiple of the record size or
  // leaves the last record outside the block gives none; a part block gives
  // those that lie wholly in its bytes.
  int RecordsOfBlock(std::int16_t lastOffset, std::int64_t bytes) const;
  // File offset of a record of the walk; -1 when there is none.
  std::int64_t RecordOffset(std::int64_t ordinal) const;
  // Index of the block that holds the record; -1 when none.
  std::int64_t BlockOfRecord(std::int64_t ordinal) const;

 private:
  void ReadFields(env::TFile& file, int fileType, int version);

  bool walkable_ = false;
  std::int64_t fileSize_ = 0;
  int headerSize_ = 0;
  int blockSize_ = 0;
  int recordSize_ = 0;
  std::int32_t headerCount_ = 0;
  int fieldCount_ = 0;
  int keyFieldCount_ = 0;
  int keyWidth_ = 0;
  std::vector<TBlockMap> blocks_;
  std::vector<TBlobField> blobFields_;
};

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_DAMAGE_TABLEMAP_H_
