// Key comparison field by field. Bytewise keys compare with one memcmp; keys
// with alpha fields of a weighted collation go through the collation for
// those fields and compare the others as bytes.
#include "paradox/index/KeyOrder.h"

#include <algorithm>
#include <cstring>

namespace remdo::paradox {

namespace {

constexpr std::uint8_t kAlphaCode = static_cast<std::uint8_t>(TFieldType::kAlpha);

int Sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

TKeyOrder::TKeyOrder(std::size_t width) : width_(width), prefixBytes_(std::min<std::size_t>(8, width)) {
  if (width > 0) fields_.push_back({0, width});
}

TKeyOrder::TKeyOrder(std::vector<TKeyField> fields, const TCollation* collation)
    : fields_(std::move(fields)), collation_(collation) {
  bool beforeWeighted = true;
  for (const TKeyField& field : fields_) {
    const bool weighted = field.type == kAlphaCode && collation_ != nullptr && !collation_->IsBinary();
    if (weighted) bytewise_ = false;
    if (weighted) beforeWeighted = false;
    if (beforeWeighted) prefixBytes_ += field.width;
    width_ += field.width;
  }
  prefixBytes_ = std::min<std::size_t>(8, prefixBytes_);
}

std::optional<TKeyOrder> TKeyOrder::OfFields(std::span<const THeaderField> fields, const TCollation* collation) {
  if (NeedsUnknownOrder(fields, collation)) return std::nullopt;
  return TKeyOrder(KeyFieldsOf(fields), collation);
}

int TKeyOrder::Compare(const std::byte* a, const std::byte* b) const {
  if (bytewise_) return width_ == 0 ? 0 : Sign(std::memcmp(a, b, width_));
  return ComparePrefix(a, b, width_);
}

int TKeyOrder::ComparePrefix(const std::byte* a, const std::byte* b, std::size_t length) const {
  if (bytewise_) return length == 0 ? 0 : Sign(std::memcmp(a, b, std::min(length, width_)));
  std::size_t offset = 0;
  for (const TKeyField& field : fields_) {
    if (offset >= length) break;
    const std::span<const std::byte> x(a + offset, field.width);
    const std::span<const std::byte> y(b + offset, field.width);
    const int c =
        field.type == kAlphaCode ? collation_->Compare(x, y) : Sign(std::memcmp(x.data(), y.data(), field.width));
    if (c != 0) return Sign(c);
    offset += field.width;
  }
  return 0;
}

std::uint64_t TKeyOrder::Prefix(const std::byte* key) const {
  std::uint64_t prefix = 0;
  for (std::size_t i = 0; i < prefixBytes_; ++i) prefix = (prefix << 8) | std::to_integer<std::uint64_t>(key[i]);
  return prefixBytes_ == 0 ? 0 : prefix << (8 * (8 - prefixBytes_));
}

const TCollation* KeyCollationOf(const TTableHeader& header) {
  if (header.HasExtension() && !header.sortOrderName.empty()) {
    if (const TCollation* byName = FindCollation(header.sortOrderName)) return byName;
  }
  return FindCollationBySortOrder(header.sortOrder);
}

bool NeedsUnknownOrder(std::span<const THeaderField> fields, const TCollation* collation) {
  if (collation != nullptr) return false;
  return std::any_of(fields.begin(), fields.end(), [](const THeaderField& f) { return f.type == TFieldType::kAlpha; });
}

std::vector<TKeyField> KeyFieldsOf(std::span<const THeaderField> fields) {
  std::vector<TKeyField> out;
  out.reserve(fields.size());
  for (const THeaderField& field : fields) {
    out.push_back({static_cast<std::uint8_t>(field.type), static_cast<std::size_t>(field.Width())});
  }
  return out;
}

}  // namespace remdo::paradox
