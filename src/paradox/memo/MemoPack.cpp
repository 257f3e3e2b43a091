// Packing a memo file value by value: every value is read with the checks of
// the reader and written by the one-pass writer, so the new file holds no
// free space and no unreferenced value.
#include "paradox/memo/MemoPack.h"

#include <algorithm>

#include "env/Errors.h"
#include "paradox/memo/MemoFile.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "paradox/memo/MemoInventory.h"
#include "paradox/memo/MemoLinking.h"

namespace remdo::paradox {

void KeepWhatTheRecordHolds(const TBlobFieldRef& ref, const TBlobDescriptor& lost) {
  const std::size_t leader = LeaderSizeOf(ref.field.size());
  const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(leader, lost.length));
  if (HasBlobPrefix(ref.kind) || length == 0) {
    std::fill(ref.field.begin(), ref.field.end(), std::byte{0});
    return;
  }
  std::fill(ref.field.begin() + length, ref.field.begin() + static_cast<std::ptrdiff_t>(leader), std::byte{0});
  TBlobDescriptor{0, 0, length, 0}.EncodeTo(ref.field.data() + leader);
}

std::vector<TBlobCopyFailure> CopyBlobValues(TMemoFile& from, TMemoFileBuilder& to,
                                             std::span<const TBlobFieldRef> fields, const TBlobTransform& transform) {
  std::vector<TBlobCopyFailure> failures;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const TBlobFieldRef& ref = fields[i];
    const TBlobDescriptor d = DescriptorOfField(ref.field);
    std::vector<std::byte> value;
    try {
      if (auto inRecord = ValueInRecord(ref.field, from.Path())) {
        // Blank and leader-only values stay in the record as they are.
        if (!transform || inRecord->empty()) continue;
        value = std::move(*inRecord);
      } else {
        value = from.ReadStored(d);
      }
    } catch (const env::EDBEngineError& e) {
      failures.push_back({i, e.Code(), e.what()});
      KeepWhatTheRecordHolds(ref, d);
      continue;
    }
    if (transform) transform(ref.kind, value);
    to.AddToField(ref.field, ref.kind, value);
  }
  return failures;
}

std::vector<TBlobCopyFailure> PackMemoFile(env::TFileSystem& fileSystem, const std::string& oldPath,
                                           const std::string& newPath, std::span<const TBlobFieldRef> fields) {
  TMemoFile from(fileSystem, oldPath);
  TMemoFileBuilder to(fileSystem, newPath);
  auto failures = CopyBlobValues(from, to, fields);
  to.Finish();
  return failures;
}

std::size_t WriteLinkedValues(env::TFile& from, const TMemoInventory& inventory, const TMemoLinks& links,
                              TMemoFileBuilder& to, std::span<const TBlobFieldRef> fields) {
  std::size_t cut = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const TBlobFieldRef& ref = fields[i];
    const TReferenceLink& link = links.links.at(i);
    switch (link.state) {
      case TLinkState::kInRecord:
        break;
      case TLinkState::kSound:
      case TLinkState::kRelinked:
        to.AddToField(ref.field, ref.kind, ReadStoredValue(from, inventory.Values()[link.value]));
        break;
      case TLinkState::kAmbiguous:
      case TLinkState::kUnresolved:
        if (ref.field.size() >= TBlobDescriptor::kSize) KeepWhatTheRecordHolds(ref, DescriptorOfField(ref.field));
        ++cut;
        break;
    }
  }
  return cut;
}

}  // namespace remdo::paradox
