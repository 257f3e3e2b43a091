#include "paradox/memo/UnitCachedFile.h"

#include <algorithm>

namespace remdo::paradox {

namespace {

// A read that misses this close to the miss before it reads on in the file.
constexpr std::uint64_t kNear = 4 * TUnitCachedFile::kLongest;

}  // namespace

TUnitCachedFile::TStretch* TUnitCachedFile::Find(std::uint64_t offset) {
  for (TStretch& stretch : kept_) {
    if (stretch.offset != kNone && offset >= stretch.offset && offset - stretch.offset < stretch.span) {
      stretch.used = ++clock_;
      return &stretch;
    }
  }
  return nullptr;
}

TUnitCachedFile::TStretch& TUnitCachedFile::Load(std::uint64_t offset) {
  const bool near = lastMiss_ != kNone && offset + kNear >= lastMiss_ && offset <= lastMiss_ + kNear;
  stretch_ = near ? std::min(stretch_ * 2, kLongest) : memo::kUnit;
  lastMiss_ = offset;
  TStretch& stretch = *std::min_element(kept_.begin(), kept_.end(),
                                        [](const TStretch& a, const TStretch& b) { return a.used < b.used; });
  if (!stretch.bytes) stretch.bytes = std::make_unique_for_overwrite<std::byte[]>(kLongest);
  stretch.offset = kNone;
  const std::uint64_t start = offset / stretch_ * stretch_;
  stretch.length = file_->ReadAt(start, std::span<std::byte>(stretch.bytes.get(), stretch_));
  stretch.offset = start;
  stretch.span = stretch_;
  stretch.used = ++clock_;
  return stretch;
}

std::size_t TUnitCachedFile::ReadAt(std::uint64_t offset, std::span<std::byte> out) {
  if (out.empty()) return file_->ReadAt(offset, out);
  const TStretch* stretch = Find(offset);
  if (stretch == nullptr) {
    // A read across units is a value's own: it is not worth a stretch.
    const std::uint64_t unit = offset / memo::kUnit * memo::kUnit;
    if (offset + out.size() > unit + memo::kUnit) return file_->ReadAt(offset, out);
    stretch = &Load(unit);
  }
  if (offset + out.size() > stretch->offset + stretch->span) return file_->ReadAt(offset, out);
  const std::size_t at = static_cast<std::size_t>(offset - stretch->offset);
  const std::size_t n = at >= stretch->length ? 0 : std::min(out.size(), stretch->length - at);
  std::copy_n(stretch->bytes.get() + at, n, out.begin());
  return n;
}

void TUnitCachedFile::Forget() {
  for (TStretch& stretch : kept_) stretch.offset = kNone;
}

void TUnitCachedFile::WriteAt(std::uint64_t offset, std::span<const std::byte> data) {
  Forget();
  file_->WriteAt(offset, data);
}

void TUnitCachedFile::Truncate(std::uint64_t size) {
  Forget();
  file_->Truncate(size);
}

}  // namespace remdo::paradox
