// Reading blob values (memo, binary, formatted memo, OLE, graphic) from a
// table's record fields and its memo file (.MB). Short values live in the
// record's leader alone and never need the file, so a missing or damaged
// memo file stops only the values that are stored in it.
//
// Every damage is thrown as env::EDBEngineError with a message that names
// the file and the problem, so that a caller can report the one value and go
// on with the next field:
//   BLOBFILEMISSING    the memo file does not exist;
//   INVALIDBLOBOFFSET  the reference points into the header, past the end of
//                      the file, at an impossible or unused entry;
//   MEMOCORRUPT        the file is no memo file (shorter than its header,
//                      no header block: damaged or encrypted), the block is
//                      of the wrong kind, runs past the end of the file (one
//                      whose size is not a multiple of 4096), or its length
//                      or modification number differs from the reference.
// Failures of the OS pass through unchanged (EFOpenError for a file that
// exists but cannot be opened, EReadError). Nothing is read outside the file
// and no buffer is sized from a number before it was checked.
#ifndef REMDO_PARADOX_MEMO_MEMOFILE_H_
#define REMDO_PARADOX_MEMO_MEMOFILE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/BlobDescriptor.h"

namespace remdo::paradox {

// Where a stored value's bytes lie in the memo file.
struct TBlobLocation {
  std::uint64_t dataOffset = 0;
  std::uint32_t length = 0;
};

// Checks a reference to a value stored in the memo file (not blank, not
// leader-only) against the file and finds the value. Throws as above;
// fileSize is the file's current size.
TBlobLocation LocateBlob(env::TFile& file, std::uint64_t fileSize, const TBlobDescriptor& descriptor);

// Reads the stored bytes a reference to the file refers to. Throws as
// LocateBlob does.
std::vector<std::byte> ReadStoredBlob(env::TFile& file, std::uint64_t fileSize, const TBlobDescriptor& descriptor);

// The value of a blob field when it needs no memo file: empty for a blank
// field, the leader's first bytes for a leader-only value; nothing when the
// value is stored in the file. Throws INVALIDBLOBOFFSET (naming path) for a
// leader-only reference longer than the leader.
std::optional<std::vector<std::byte>> ValueInRecord(std::span<const std::byte> field, const std::string& path);

// Checks that an open file starts with a memo header block and returns its
// size. Throws EDBEngineError (MEMOCORRUPT) otherwise.
std::uint64_t CheckMemoHeader(env::TFile& file);

// [[noreturn]] helper shared by the memo units: throws EDBEngineError with
// the code and "Memo file <path>: <detail>".
[[noreturn]] void ThrowMemoError(std::uint16_t code, const std::string& path, const std::string& detail);

// A memo file opened for reading on first need.
class TMemoFile {
 public:
  TMemoFile(env::TFileSystem& fileSystem, std::string path);
  ~TMemoFile();
  TMemoFile(const TMemoFile&) = delete;
  TMemoFile& operator=(const TMemoFile&) = delete;

  const std::string& Path() const { return path_; }

  // The whole value of a blob field (leader and descriptor, as in the
  // record): empty for a blank field, the leader's first bytes for a
  // leader-only value, otherwise the stored bytes (graphic and OLE values
  // with their 8-byte prefix). Throws as described above.
  std::vector<std::byte> ReadField(std::span<const std::byte> field);

  // The stored bytes a descriptor refers to; blank and leader-only
  // descriptors give INVALIDBLOBOFFSET here, as they have no stored value.
  std::vector<std::byte> ReadStored(const TBlobDescriptor& descriptor);

  // Closes the file; the next read opens it again.
  void Close();

 private:
  void EnsureOpen();

  env::TFileSystem& fileSystem_;
  const std::string path_;
  std::unique_ptr<env::TFile> file_;
  std::uint64_t size_ = 0;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_MEMOFILE_H_
