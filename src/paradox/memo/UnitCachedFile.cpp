#include "paradox/memo/UnitCachedFile.h"

#include <algorithm>

namespace remdo::paradox {

TUnitCachedFile::TUnit& TUnitCachedFile::UnitAt(std::uint64_t offset) {
  for (std::size_t i = 0; i < units_.size(); ++i) {
    if (units_[i].offset != offset) continue;
    older_ = 1 - i;
    return units_[i];
  }
  TUnit& unit = units_[older_];
  unit.offset = kNone;
  unit.length = file_->ReadAt(offset, unit.bytes);
  unit.offset = offset;
  older_ = 1 - older_;
  return unit;
}

std::size_t TUnitCachedFile::ReadAt(std::uint64_t offset, std::span<std::byte> out) {
  const std::uint64_t start = offset / memo::kUnit * memo::kUnit;
  if (out.empty() || offset + out.size() > start + memo::kUnit) return file_->ReadAt(offset, out);
  const TUnit& unit = UnitAt(start);
  const std::size_t at = static_cast<std::size_t>(offset - start);
  const std::size_t n = at >= unit.length ? 0 : std::min(out.size(), unit.length - at);
  std::copy_n(unit.bytes.begin() + static_cast<std::ptrdiff_t>(at), n, out.begin());
  return n;
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
