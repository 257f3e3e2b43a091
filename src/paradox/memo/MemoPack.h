// Copying the blob values that records refer to into a new memo file: the
// memo part of packing, restructuring and copying a table. Only the values
// that the given fields refer to are copied, each into its own place (two
// fields that share one stored value get a copy each), and every field's
// reference is rewritten to the new file.
#ifndef REMDO_PARADOX_MEMO_MEMOPACK_H_
#define REMDO_PARADOX_MEMO_MEMOPACK_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/BlobDescriptor.h"

namespace remdo::paradox {

class TMemoFile;
class TMemoFileBuilder;
class TMemoInventory;
struct TMemoLinks;

// One blob field of a record held in memory: its kind and its bytes (leader
// and reference), rewritten in place.
struct TBlobFieldRef {
  TBlobKind kind = TBlobKind::kMemo;
  std::span<std::byte> field;
};

// A value that could not be copied: which field, the engine code and the
// message of the error that stopped it.
struct TBlobCopyFailure {
  std::size_t fieldIndex = 0;
  std::uint16_t code = 0;
  std::string message;
};

// Copies the values of the fields from one memo file into a new one and
// rewrites the fields. A value that cannot be read (missing or damaged memo
// file, stale reference) is reported in the result and the field keeps what
// the record itself holds: memo, binary and formatted-memo fields become
// the leader-only value of their leader's bytes (the first bytes of the
// lost value), graphic and OLE fields become blank, since a part of their
// payload is no value. The others go on. Leader-only and blank fields are
// left as they are, unless transform is given: then every non-blank value
// passes through it (a restructure translating memo text to another code
// page) and is stored anew. Throws only for failures of writing the new
// file.
using TBlobTransform = std::function<void(TBlobKind kind, std::vector<std::byte>& value)>;
std::vector<TBlobCopyFailure> CopyBlobValues(TMemoFile& from, TMemoFileBuilder& to,
                                             std::span<const TBlobFieldRef> fields,
                                             const TBlobTransform& transform = {});

// Packs a memo file: writes a new one at newPath with the values the fields
// refer to, rewrites the fields, and finishes the new file (flushed and
// closed). The old file is left as it is; the caller swaps the new one in
// together with the records. Throws EFCreateError/EWriteError.
std::vector<TBlobCopyFailure> PackMemoFile(env::TFileSystem& fileSystem, const std::string& oldPath,
                                           const std::string& newPath, std::span<const TBlobFieldRef> fields);

// What is left of a field whose stored value is lost: a memo, binary or
// formatted-memo field becomes the leader-only value of its leader's bytes
// (the first bytes of the lost value), a graphic or OLE field blank.
void KeepWhatTheRecordHolds(const TBlobFieldRef& ref, const TBlobDescriptor& lost);

// Writes a salvaged memo file: every value the links find (sound or linked
// again) is read from the old file and stored in the new one, and the
// field is pointed at it; a field whose value is lost keeps what the record
// holds; blank and leader-only fields stay as they are. links must come
// from LinkReferences over the same fields. Returns how many values were
// cut. Throws EReadError, and EWriteError and the builder's errors.
std::size_t WriteLinkedValues(env::TFile& from, const TMemoInventory& inventory, const TMemoLinks& links,
                              TMemoFileBuilder& to, std::span<const TBlobFieldRef> fields);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_MEMOPACK_H_
