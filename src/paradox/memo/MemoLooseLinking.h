// The second, looser tier of re-linking a memo file's values, for a broken
// reference whose descriptor bytes were themselves damaged, so that its
// length or modification number no longer names its value exactly. A value
// that no reference uses and no broken reference fits exactly is linked to
// such a reference when the record's leader (not blank) equals the value's
// first bytes and one more fact agrees:
// - the value sits where the reference points (block and slot), or
// - the lengths are equal, or
// - the modification numbers are equal, and either the leader is at least
//   kModestLeader bytes or the reference does not point into a part of the
//   file that could not be read (a file built in one go gives every value
//   the same number, so beside a short leader the number says little, and a
//   reference into an unreadable part has more likely lost its value there
//   than had its own bytes damaged), or
// - the leader alone, when it is at least kDistinctiveLeader bytes of
//   varied text, or when every part of the file could be read: then no
//   value was lost, the broken reference's own value is among the free
//   ones, and the one that begins as its leader is it.
// And the fit must be unique both ways: the value fits only this reference
// and the reference only this value; where more than one fits, none is
// linked and the fault says so.
#ifndef REMDO_PARADOX_MEMO_MEMOLOOSELINKING_H_
#define REMDO_PARADOX_MEMO_MEMOLOOSELINKING_H_

#include <cstddef>
#include <span>
#include <vector>

#include "paradox/memo/MemoLinking.h"

namespace remdo::paradox {

inline constexpr std::size_t kModestLeader = 8;
inline constexpr std::size_t kDistinctiveLeader = 16;

// Whether a broken reference (its field and descriptor) loosely fits a
// stored value, by the rules above.
bool LooselyFits(const TMemoInventory& inventory, const TMemoReference& ref, const TBlobDescriptor& descriptor,
                 const TStoredValue& value);

// Links the references at `broken` (each left unresolved by the exact
// tier; `descriptors` are theirs, in the same order) to the values at
// `free` (which no reference uses or exactly fits): sets their links' state
// (re-linked or ambiguous), value and fault. Every value linked here is
// marked in `used`.
void LinkLoosely(const TMemoInventory& inventory, std::span<const TMemoReference> references,
                 std::span<const std::size_t> broken, std::span<const TBlobDescriptor> descriptors,
                 std::span<const std::size_t> free, std::vector<bool>& used, std::span<TReferenceLink> links);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_MEMOLOOSELINKING_H_
