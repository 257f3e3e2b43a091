// Comparing alpha values and whole keys. A weighted comparison walks both
// values' weights up to three times (primary, secondary, expansion count)
// and falls back to the bytes; a binary one compares the padded bytes once.
#include "paradox/index/Collation.h"

#include <algorithm>
#include <cstring>

namespace remdo::paradox {

namespace {

std::span<const std::byte> WithoutPadding(std::span<const std::byte> value) {
  std::size_t n = value.size();
  while (n > 0 && value[n - 1] == std::byte{0}) --n;
  return value.first(n);
}

// Byte order of two values, a missing byte counting as NUL padding.
int ComparePadded(std::span<const std::byte> a, std::span<const std::byte> b) {
  const std::size_t common = std::min(a.size(), b.size());
  if (common > 0) {
    const int c = std::memcmp(a.data(), b.data(), common);
    if (c != 0) return c < 0 ? -1 : 1;
  }
  for (std::size_t i = common; i < a.size(); ++i) {
    if (a[i] != std::byte{0}) return 1;
  }
  for (std::size_t i = common; i < b.size(); ++i) {
    if (b[i] != std::byte{0}) return -1;
  }
  return 0;
}

// The weights of a value one after the other, expanding characters giving
// two.
class TWeightWalk {
 public:
  TWeightWalk(const TCollation::TTable& table, std::span<const std::byte> value) : table_(table), value_(value) {}

  bool Next(TCollation::TWeight& out) {
    if (pending_ != 0) {
      out = table_[pending_];
      pending_ = 0;
      return true;
    }
    if (position_ == value_.size()) return false;
    out = table_[std::to_integer<std::uint8_t>(value_[position_++])];
    pending_ = out.expandsTo;
    return true;
  }

 private:
  const TCollation::TTable& table_;
  std::span<const std::byte> value_;
  std::size_t position_ = 0;
  std::uint8_t pending_ = 0;
};

// Compares one level of weights; a value whose weights run out first is
// the smaller.
template <typename Level>
int CompareLevel(const TCollation::TTable& table, std::span<const std::byte> a, std::span<const std::byte> b,
                 Level level) {
  TWeightWalk x(table, a);
  TWeightWalk y(table, b);
  TCollation::TWeight wx;
  TCollation::TWeight wy;
  for (;;) {
    const bool hasX = x.Next(wx);
    const bool hasY = y.Next(wy);
    if (!hasX || !hasY) return hasX == hasY ? 0 : (hasX ? 1 : -1);
    const auto lx = level(wx);
    const auto ly = level(wy);
    if (lx != ly) return lx < ly ? -1 : 1;
  }
}

int Expansions(const TCollation::TTable& table, std::span<const std::byte> value) {
  int count = 0;
  for (const std::byte b : value) count += table[std::to_integer<std::uint8_t>(b)].expandsTo != 0 ? 1 : 0;
  return count;
}

}  // namespace

TCollation::TCollation(std::string_view driverName, std::uint8_t sortOrder, std::uint16_t codePage)
    : driverName_(driverName), sortOrder_(sortOrder), codePage_(codePage) {}

TCollation::TCollation(std::string_view driverName, std::uint8_t sortOrder, std::uint16_t codePage, const TTable& table)
    : driverName_(driverName), sortOrder_(sortOrder), codePage_(codePage), table_(table) {}

TCollation::TWeight TCollation::WeightOf(std::uint8_t byte) const { return table_ ? (*table_)[byte] : TWeight{}; }

int TCollation::Compare(std::span<const std::byte> a, std::span<const std::byte> b) const {
  return table_ ? CompareWeighted(a, b) : ComparePadded(a, b);
}

int TCollation::CompareWeighted(std::span<const std::byte> a, std::span<const std::byte> b) const {
  a = WithoutPadding(a);
  b = WithoutPadding(b);
  const TTable& table = *table_;
  if (const int c = CompareLevel(table, a, b, [](const TWeight& w) { return w.primary; }); c != 0) return c;
  if (const int c = CompareLevel(table, a, b, [](const TWeight& w) { return w.secondary; }); c != 0) return c;
  // The same weights: a value spelled with an expanding character (ß) sorts
  // after the one spelled out (ss).
  const int ea = Expansions(table, a);
  const int eb = Expansions(table, b);
  if (ea != eb) return ea < eb ? -1 : 1;
  return ComparePadded(a, b);
}

int CompareKeys(const TCollation& collation, std::span<const TKeyField> fields, const std::byte* a,
                const std::byte* b) {
  constexpr std::uint8_t kAlpha = 1;
  std::size_t offset = 0;
  for (const TKeyField& field : fields) {
    const std::span<const std::byte> x(a + offset, field.width);
    const std::span<const std::byte> y(b + offset, field.width);
    const int c = field.type == kAlpha ? collation.Compare(x, y) : ComparePadded(x, y);
    if (c != 0) return c;
    offset += field.width;
  }
  return 0;
}

std::optional<std::size_t> FirstOutOfOrder(const TCollation& collation, std::span<const TKeyField> fields,
                                           std::span<const std::byte> records, std::size_t recordSize) {
  if (recordSize == 0) return std::nullopt;
  const std::size_t count = records.size() / recordSize;
  for (std::size_t i = 1; i < count; ++i) {
    if (CompareKeys(collation, fields, records.data() + (i - 1) * recordSize, records.data() + i * recordSize) > 0) {
      return i;
    }
  }
  return std::nullopt;
}

}  // namespace remdo::paradox
