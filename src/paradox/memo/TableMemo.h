// The memo file (.MB) of an open table: blob values read on demand and new
// or changed values written in place, as a record is posted.
//
// Crash safety. The memo file is not rewritten with the family on close;
// it is edited in place (MemoFileEditor.h), which never overwrites space a
// stored value occupies and keeps the file walkable after a crash at any
// write. A new value is written before the record that refers to it reaches
// the journal or the data file, and the file is flushed before the family
// commit that makes such a record durable. The space of a value that a
// record no longer refers to (changed, cleared, deleted) is released only
// after the commit that wrote the data file without that reference, and only
// when no record of that data file still refers to it: until then the data
// file on disk, or a journal replayed after a crash, may still need it. A
// crash between the commit and the release leaves unreferenced space, which
// the next pack removes. A value written for a record the table then
// refused is released at once, since nothing can refer to it.
//
// A table whose memo file is missing gets a new one on the first value
// stored; its counter starts above every modification number the table's
// records carry, so that no stale reference can match a new value.
#ifndef REMDO_PARADOX_MEMO_TABLEMEMO_H_
#define REMDO_PARADOX_MEMO_TABLEMEMO_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/BlobDescriptor.h"

namespace remdo::paradox {

class TMemoFile;
class TMemoFileEditor;

// Where a stored value lives: block offset and entry index.
using TBlobPlace = std::pair<std::uint32_t, std::uint8_t>;

class TTableMemo {
 public:
  // path: where the table's memo file is or would be.
  TTableMemo(env::TFileSystem& fileSystem, std::string path);
  ~TTableMemo();
  TTableMemo(const TTableMemo&) = delete;
  TTableMemo& operator=(const TTableMemo&) = delete;

  const std::string& Path() const { return path_; }

  // The whole value of a blob field. Throws EDBEngineError: BLOBFILEMISSING,
  // MEMOCORRUPT, INVALIDBLOBOFFSET (see MemoFile.h), and the OS's errors.
  std::vector<std::byte> Read(std::span<const std::byte> field);

  // Stores a value and fills the field (leader and reference); a blank value
  // clears the field. highestStamp: the largest modification number the
  // table's records carry, used only when the file must be created. Returns
  // the new reference. Throws EDBEngineError (MEMOCORRUPT for a damaged
  // file, INVALIDBLOBLEN, TABLEFULL) and the OS's errors.
  TBlobDescriptor Store(std::span<std::byte> field, TBlobKind kind, std::span<const std::byte> value,
                        std::uint16_t highestStamp);
  // Whether values are being written: the file exists and is open.
  bool Editing() const { return editor_ != nullptr; }
  // Releases a value just stored for a record that was refused.
  void Discard(const TBlobDescriptor& stored);

  // A value that records stop referring to; released after the next commit.
  void ReleaseLater(const TBlobDescriptor& old);
  bool HasReleases() const { return !releases_.empty(); }

  // Writes the stored values still held back to the file: before a record
  // that refers to them is written anywhere. Throws EWriteError.
  void WritePending();
  // Writes them and forces the file to the disk (before a durable commit).
  // Throws EWriteError.
  void Flush();
  // After a commit: releases every waiting value that no record of the
  // committed data file refers to. Failures only leave space unused.
  void ReleaseAfterCommit(const std::set<TBlobPlace>& stillReferenced);
  // Forgets the waiting releases (the family was replaced, or the memo file
  // with it).
  void DropReleases() { releases_.clear(); }
  // Closes the file; the next call opens it again.
  void Close();

 private:
  TMemoFileEditor& Editor(std::uint16_t highestStamp);

  env::TFileSystem& fileSystem_;
  const std::string path_;
  std::unique_ptr<TMemoFile> reader_;
  std::unique_ptr<TMemoFileEditor> editor_;
  std::vector<TBlobDescriptor> releases_;
};

// Whether a reference names a value stored in the memo file.
inline bool IsStoredBlob(const TBlobDescriptor& d) { return !d.IsBlank() && !d.IsLeaderOnly(); }

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_TABLEMEMO_H_
