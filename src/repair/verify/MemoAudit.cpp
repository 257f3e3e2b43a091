#include "repair/verify/MemoAudit.h"

#include <utility>

#include "env/Errors.h"
#include "paradox/memo/MemoLinking.h"

namespace remdo::repair {

namespace {

using paradox::TLinkState;

std::string ValueName(const paradox::TStoredValue& value) {
  std::string name = "offset " + std::to_string(value.blockOffset);
  if (value.slot != paradox::TBlobDescriptor::kSingleBlockIndex) name += " slot " + std::to_string(value.slot);
  return name;
}

}  // namespace

TMemoAudit::TMemoAudit(env::TFileSystem& fileSystem, const std::string& memoPath, std::string subject,
                       const paradox::TTableHeader& table, TFindingTally& tally, TIndexMemoCounts& counts)
    : subject_(std::move(subject)), tally_(tally), counts_(counts) {
  std::size_t offset = 0;
  for (const paradox::THeaderField& field : table.fields) {
    const auto width = static_cast<std::size_t>(field.Width());
    const auto kind = paradox::BlobKindOf(static_cast<std::uint8_t>(field.type));
    if (kind && width >= paradox::TBlobDescriptor::kSize) blobFields_.push_back({offset, width, field.name, *kind});
    offset += width;
  }
  if (!Wanted()) return;
  if (memoPath.empty()) {
    missing_ = true;
    tally_.Note(subject_, "missing");
    ++counts_.missingFiles;
    return;
  }
  try {
    file_ = fileSystem.Open(memoPath, env::TOpenMode::kRead);
    inventory_ = std::make_unique<paradox::TMemoInventory>(*file_);
  } catch (const env::ERemdoError& e) {
    tally_.Note(subject_, std::string("cannot be read: ") + e.what());
    ++counts_.unreadableFiles;
    file_.reset();
    return;
  }
  if (inventory_->HeaderDamaged()) tally_.Note(subject_, "its header block is damaged");
  for (const paradox::TUnreadableRegion& region : inventory_->Unreadable()) {
    tally_.Add(subject_, "parts that cannot be read",
               "offset " + std::to_string(region.offset) + ", " + std::to_string(region.length) + " bytes: " +
                   region.reason);
  }
  fileDamaged_ = !inventory_->Sound();
  if (fileDamaged_) ++counts_.unreadableFiles;
}

TMemoAudit::~TMemoAudit() = default;

void TMemoAudit::Record(std::uint32_t block, std::size_t slot, std::span<const std::byte> record) {
  for (const TBlobField& field : blobFields_) {
    if (field.offset + field.width > record.size()) continue;
    const auto bytes = record.subspan(field.offset, field.width);
    const auto descriptor = paradox::DescriptorOfField(bytes);
    if (descriptor.IsBlank()) continue;
    if (descriptor.IsLeaderOnly() && descriptor.length <= field.width - paradox::TBlobDescriptor::kSize) continue;
    references_.push_back({field.kind, fields_.size(), field.width,
                           "block " + std::to_string(block) + " record " + std::to_string(slot) + " field " +
                               field.name});
    fields_.insert(fields_.end(), bytes.begin(), bytes.end());
  }
}

void TMemoAudit::Finish() {
  if (!Wanted()) return;
  if (missing_) {
    if (references_.empty()) return;
    for (const TStoredReference& ref : references_) {
      tally_.Add(subject_, "references to values in the missing file", ref.where);
    }
    counts_.memoReferencesBroken += references_.size();
    Foretell(0, 0, references_.size(), 0);
    return;
  }
  if (!inventory_) {
    // The file cannot be opened: a repair cannot read it either.
    counts_.memoReferencesBroken += references_.size();
    if (!references_.empty()) tally_.Add(subject_, "references that cannot be followed", {}, references_.size());
    return;
  }
  std::vector<paradox::TMemoReference> refs;
  refs.reserve(references_.size());
  for (const TStoredReference& ref : references_) {
    refs.push_back({ref.kind, std::span<const std::byte>(fields_).subspan(ref.at, ref.width)});
  }
  const paradox::TMemoLinks links = paradox::LinkReferences(*inventory_, refs);
  for (std::size_t i = 0; i < refs.size(); ++i) {
    const paradox::TReferenceLink& link = links.links[i];
    const std::string example = references_[i].where + ": " + link.fault;
    switch (link.state) {
      case TLinkState::kInRecord:
      case TLinkState::kSound:
        break;
      case TLinkState::kRelinked:
        tally_.Add(subject_, "references whose value a repair finds again by its leader", example);
        break;
      case TLinkState::kAmbiguous:
        tally_.Add(subject_, "references that more than one stored value fits", example);
        break;
      case TLinkState::kUnresolved:
        tally_.Add(subject_, "references whose value is lost", example);
        break;
    }
  }
  counts_.memoReferencesBroken += links.relinked + links.lost;
  for (const std::size_t v : links.unlinked) {
    tally_.Add(subject_, "stored values no record refers to", ValueName(inventory_->Values()[v]));
  }
  counts_.memoValuesUnreferenced += links.unlinked.size();
  if (fileDamaged_ || !links.AllSound()) Foretell(links.sound, links.relinked, links.lost, links.unlinked.size());
}

void TMemoAudit::Foretell(std::size_t intact, std::size_t relinked, std::size_t cut, std::size_t unlinked) {
  tally_.Note(subject_, "a repair writes a new memo file: " + std::to_string(intact) + " values intact, " +
                            std::to_string(relinked) + " re-linked, " + std::to_string(cut) +
                            " cut to their leader, " + std::to_string(unlinked) + " unlinked");
}

}  // namespace remdo::repair
