// The records' blob references checked against a memo file's inventory,
// and the broken ones linked again to the values they lost. A reference is
// sound when it names a value the inventory found (at its block, of the kind
// its slot byte says), with its length and modification number, and its
// leader equals the value's first bytes. A broken reference is linked to a
// value that no sound reference uses when the two agree in length,
// modification number and leader, and neither fits anything else: one to
// one, never a guess. A broken reference that no value fits so is then
// offered the values left over under looser rules (MemoLooseLinking.h),
// again one to one. Nothing is read or written here but memory.
#ifndef REMDO_PARADOX_MEMO_MEMOLINKING_H_
#define REMDO_PARADOX_MEMO_MEMOLINKING_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "paradox/format/BlobDescriptor.h"
#include "paradox/memo/MemoInventory.h"

namespace remdo::paradox {

// One record's blob field: its kind and its bytes (leader and reference).
struct TMemoReference {
  TBlobKind kind = TBlobKind::kMemo;
  std::span<const std::byte> field;
};

enum class TLinkState : std::uint8_t {
  kInRecord,    // blank or held by the leader alone: the file is not needed
  kSound,       // finds its value
  kRelinked,    // broken, and linked to the one value that fits it
  kAmbiguous,   // broken, and more than one value fits it (or its value fits others too)
  kUnresolved,  // broken, and no value fits it
};

struct TReferenceLink {
  TLinkState state = TLinkState::kInRecord;
  // Index into the inventory's values (sound and re-linked references).
  std::size_t value = 0;
  // Why the reference is broken; empty when it is not.
  std::string fault;
};

struct TMemoLinks {
  std::vector<TReferenceLink> links;  // one per reference, in their order
  std::vector<std::size_t> unlinked;  // values no reference uses, in file order
  std::size_t sound = 0;
  std::size_t relinked = 0;
  std::size_t lost = 0;  // ambiguous and unresolved

  bool AllSound() const { return relinked == 0 && lost == 0; }
};

// Checks and links the references. A field shorter than a descriptor is a
// broken reference with nothing to link.
TMemoLinks LinkReferences(const TMemoInventory& inventory, std::span<const TMemoReference> references);

// Whether a stored value's first bytes start as the leader does (for graphic
// and OLE values: their payload after the prefix).
bool LeaderMatches(TBlobKind kind, std::span<const std::byte> leader, std::span<const std::byte> firstBytes,
                   std::uint32_t length);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_MEMOLINKING_H_
