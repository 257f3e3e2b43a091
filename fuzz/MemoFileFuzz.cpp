// Fuzz target for the memo file reader: the input's first byte says how
// many blob references follow (at most 16, 10 bytes each, as in a record);
// the rest is the memo file. Each reference is read through the file, as a
// record's field of each width, and the header is checked. The only error
// allowed is the engine's (BLOBFILEMISSING, INVALIDBLOBOFFSET, MEMOCORRUPT),
// and a value read must be as long as its reference says. The file's
// inventory is taken and the references (behind a 1-byte leader) are linked
// to it: the inventory never throws, its values lie inside the file and in
// order, a linked value is read whole, and no value is linked twice.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "env/Errors.h"
#include "env/MemoryFile.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/memo/MemoFile.h"
#include "paradox/memo/MemoInventory.h"
#include "paradox/memo/MemoLinking.h"

namespace {

using remdo::paradox::TBlobDescriptor;

constexpr std::size_t kMaxReferences = 16;

void ReadReference(remdo::env::TMemoryFile& file, std::span<const std::byte> reference) {
  const TBlobDescriptor descriptor = TBlobDescriptor::DecodeFrom(reference.data());
  try {
    const auto value = remdo::paradox::ReadStoredBlob(file, file.Size(), descriptor);
    if (value.size() != descriptor.length) std::abort();
  } catch (const remdo::env::EDBEngineError&) {
  }
  // The same reference behind leaders of a few widths, as a record holds it.
  for (const std::size_t leader : {std::size_t{0}, std::size_t{1}, std::size_t{40}}) {
    std::vector<std::byte> field(leader, std::byte{'x'});
    field.insert(field.end(), reference.begin(), reference.end());
    try {
      (void)remdo::paradox::ValueInRecord(field, "fuzz.mb");
    } catch (const remdo::env::EDBEngineError&) {
    }
  }
}

void TakeInventory(remdo::env::TMemoryFile& file, std::span<const std::byte> references) {
  using namespace remdo::paradox;
  const TMemoInventory inventory(file);
  std::uint64_t last = 0;
  for (const TStoredValue& value : inventory.Values()) {
    const std::uint64_t at = std::uint64_t{value.blockOffset} * 256 + value.slot;
    if (at < last || value.dataOffset + value.length > file.Size()) std::abort();
    last = at + 1;
    if (inventory.FirstBytes(value).size() != std::min<std::size_t>(value.length, TMemoInventory::kFirstBytes)) {
      std::abort();
    }
  }
  std::vector<std::vector<std::byte>> fields;
  std::vector<TMemoReference> refs;
  for (std::size_t i = 0; i < references.size(); i += TBlobDescriptor::kSize) {
    fields.emplace_back(1, std::byte{'x'});
    fields.back().insert(fields.back().end(), references.begin() + i, references.begin() + i + TBlobDescriptor::kSize);
  }
  for (const auto& field : fields) refs.push_back({TBlobKind::kMemo, field});
  const TMemoLinks links = LinkReferences(inventory, refs);
  std::vector<bool> taken(inventory.Values().size(), false);
  for (const TReferenceLink& link : links.links) {
    if (link.state != TLinkState::kRelinked && link.state != TLinkState::kSound) continue;
    const TStoredValue& value = inventory.Values().at(link.value);
    if (link.state == TLinkState::kRelinked && taken[link.value]) std::abort();
    taken[link.value] = true;
    if (ReadStoredValue(file, value).size() != value.length) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto bytes = std::span(reinterpret_cast<const std::byte*>(data), size);
  const std::size_t count = std::min<std::size_t>(std::to_integer<std::size_t>(bytes[0]) % (kMaxReferences + 1),
                                                  (size - 1) / TBlobDescriptor::kSize);
  const auto references = bytes.subspan(1, count * TBlobDescriptor::kSize);
  remdo::env::TMemoryFile file(bytes.subspan(1 + references.size()), "fuzz.mb");
  try {
    (void)remdo::paradox::CheckMemoHeader(file);
  } catch (const remdo::env::EDBEngineError&) {
  }
  for (std::size_t i = 0; i < count; ++i) {
    ReadReference(file, references.subspan(i * TBlobDescriptor::kSize, TBlobDescriptor::kSize));
  }
  TakeInventory(file, references);
  return 0;
}
