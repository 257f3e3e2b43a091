#include "repair/verify/MemoAudit.h"

#include <utility>

#include "env/Errors.h"
#include "paradox/format/BlobDescriptor.h"

namespace remdo::repair {

namespace {

using paradox::TMemoReferenceFault;

std::string_view FaultText(TMemoReferenceFault fault) {
  switch (fault) {
    case TMemoReferenceFault::kNone:
      break;
    case TMemoReferenceFault::kOutsideFile:
      return "references past the end of the file";
    case TMemoReferenceFault::kIntoHeader:
      return "references into the header block";
    case TMemoReferenceFault::kNotBlockStart:
      return "references to no block start";
    case TMemoReferenceFault::kUnwalked:
      return "references into the part that cannot be walked";
    case TMemoReferenceFault::kWrongBlockType:
      return "references to a block of the wrong kind";
    case TMemoReferenceFault::kEntryEmpty:
      return "references to an empty slot of a shared block";
    case TMemoReferenceFault::kPastBlock:
      return "references to a value running past its block";
    case TMemoReferenceFault::kLengthDiffers:
      return "references whose length differs from the stored value's";
    case TMemoReferenceFault::kStale:
      return "references with the wrong modification number (stale)";
  }
  return {};
}

std::string ValueName(const paradox::TMemoBlockMap::TValue& value) {
  std::string name = "offset " + std::to_string(value.blockOffset);
  if (value.entry != paradox::TBlobDescriptor::kSingleBlockIndex) name += " slot " + std::to_string(value.entry);
  return name;
}

}  // namespace

TMemoAudit::TMemoAudit(env::TFileSystem& fileSystem, const std::string& memoPath, std::string subject,
                       const paradox::TTableHeader& table, TFindingTally& tally, TIndexMemoCounts& counts)
    : subject_(std::move(subject)), tally_(tally), counts_(counts) {
  std::size_t offset = 0;
  for (const paradox::THeaderField& field : table.fields) {
    const auto width = static_cast<std::size_t>(field.Width());
    if (paradox::BlobKindOf(static_cast<std::uint8_t>(field.type)) && width >= paradox::TBlobDescriptor::kSize) {
      blobFields_.push_back({offset, width, field.name});
    }
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
    auto file = fileSystem.Open(memoPath, env::TOpenMode::kRead);
    map_ = std::make_unique<paradox::TMemoBlockMap>(*file);
  } catch (const env::ERemdoError& e) {
    tally_.Note(subject_, std::string("cannot be read: ") + e.what());
    ++counts_.unreadableFiles;
    return;
  }
  if (!map_->StopReason().empty()) {
    tally_.Note(subject_,
                "cannot be walked beyond offset " + std::to_string(map_->WalkedTo()) + ": " + map_->StopReason());
    ++counts_.unreadableFiles;
  }
}

TMemoAudit::~TMemoAudit() = default;

void TMemoAudit::Record(std::uint32_t block, std::size_t slot, std::span<const std::byte> record) {
  for (const TBlobField& field : blobFields_) {
    if (field.offset + field.width > record.size()) continue;
    const auto descriptor = paradox::TBlobDescriptor::DecodeFrom(record.data() + field.offset + field.width -
                                                                 paradox::TBlobDescriptor::kSize);
    if (descriptor.IsBlank()) continue;
    const std::string where =
        "block " + std::to_string(block) + " record " + std::to_string(slot) + " field " + field.name;
    if (descriptor.IsLeaderOnly()) {
      if (descriptor.length > field.width - paradox::TBlobDescriptor::kSize) {
        tally_.Add(subject_, "references longer than their leader, with no stored value", where);
        ++counts_.memoReferencesBroken;
      }
      continue;
    }
    Refer(descriptor, where);
  }
}

void TMemoAudit::Refer(const paradox::TBlobDescriptor& descriptor, const std::string& where) {
  if (!map_) {
    tally_.Add(subject_, missing_ ? "references to values in the missing file" : "references that cannot be followed",
               where);
    ++counts_.memoReferencesBroken;
    return;
  }
  const TMemoReferenceFault fault = map_->Refer(descriptor);
  if (fault == TMemoReferenceFault::kNone) return;
  tally_.Add(subject_, FaultText(fault), where);
  ++counts_.memoReferencesBroken;
}

void TMemoAudit::Finish() {
  if (!map_) return;
  const auto orphans = map_->Unreferenced();
  for (const auto& value : orphans) tally_.Add(subject_, "stored values no record refers to", ValueName(value));
  counts_.memoValuesUnreferenced += orphans.size();
  if (const std::size_t shared = map_->SharedReferences(); shared > 0) {
    tally_.Add(subject_, "references to a value another reference reaches too", {}, shared);
    counts_.memoReferencesBroken += shared;
  }
}

}  // namespace remdo::repair
