// Key order and uniqueness of the records the raw walk reads.
#include "repair/verify/KeyFindings.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "env/Errors.h"
#include "paradox/format/PxObject.h"
#include "paradox/index/Collation.h"
#include "paradox/index/KeyOrder.h"

namespace remdo::repair {

namespace {

// The first and last key of one block.
struct TBlockKeys {
  std::string first;
  std::string last;
};

// The order of the leading key fields; nothing when an alpha key field
// follows a language driver whose order is not known.
std::optional<paradox::TKeyOrder> PrimaryKeyOrder(const paradox::TPxObject& reader) {
  const int keyFields = reader.KeyFieldCount();
  if (keyFields <= 0 || keyFields > reader.FieldCount()) return std::nullopt;
  std::vector<paradox::TKeyField> fields;
  bool alpha = false;
  for (int i = 0; i < keyFields; ++i) {
    const auto& field = reader.FieldByNumber(i);
    fields.push_back({field.TypeCode(), static_cast<std::size_t>(field.Width())});
    alpha = alpha || field.TypeCode() == 1;
  }
  const auto sortOrder = std::to_integer<std::uint8_t>(reader.HeaderBytes()[paradox::pxheader::kSortOrder]);
  const paradox::TCollation* collation = paradox::FindCollationBySortOrder(sortOrder);
  if (alpha && collation == nullptr) return std::nullopt;
  return paradox::TKeyOrder(std::move(fields), collation);
}

// Moves to the next record; a block that cannot be read is passed over.
bool Advance(paradox::TPxObject& reader, bool first) {
  for (;;) {
    try {
      return first ? reader.FirstRecord() : reader.NextRecord();
    } catch (const env::EReadError&) {
      if (first) throw;
    }
  }
}

const std::byte* Bytes(const std::string& key) { return reinterpret_cast<const std::byte*>(key.data()); }

}  // namespace

TKeyFindings FindKeyDamage(paradox::TPxObject& reader) {
  TKeyFindings findings;
  const std::optional<paradox::TKeyOrder> order = PrimaryKeyOrder(reader);
  const std::size_t width = order ? order->Width() : 0;
  std::unordered_set<std::string> seen;
  std::vector<TBlockKeys> blocks;
  std::int64_t block = -1;
  std::int64_t outOfOrder = 0;
  std::int64_t duplicates = 0;
  for (bool more = Advance(reader, true); more; more = Advance(reader, false)) {
    ++findings.records;
    if (!order) continue;
    const auto record = reader.RecordData();
    std::string key(reinterpret_cast<const char*>(record.data()), width);
    if (!seen.insert(key).second) ++duplicates;
    if (reader.CurrentBlock() != block) {
      block = reader.CurrentBlock();
      blocks.push_back({key, key});
      continue;
    }
    if (order->Compare(Bytes(key), Bytes(blocks.back().last)) < 0) ++outOfOrder;
    blocks.back().last = std::move(key);
  }
  if (reader.KeyFieldCount() <= 0) return findings;
  if (!order) {
    findings.findings.push_back(MakeFinding(TFindingCode::kKeyOrderUnknown));
    return findings;
  }
  std::sort(blocks.begin(), blocks.end(), [&order](const TBlockKeys& a, const TBlockKeys& b) {
    return order->Compare(Bytes(a.first), Bytes(b.first)) < 0;
  });
  for (std::size_t i = 1; i < blocks.size(); ++i) {
    if (order->Compare(Bytes(blocks[i].first), Bytes(blocks[i - 1].last)) < 0) ++outOfOrder;
  }
  findings.findings.push_back(MakeFinding(TFindingCode::kKeysOutOfOrder, {std::to_string(outOfOrder)}));
  findings.findings.push_back(MakeFinding(TFindingCode::kDuplicateKeys, {std::to_string(duplicates)}));
  findings.damaged = outOfOrder > 0 || duplicates > 0;
  return findings;
}

}  // namespace remdo::repair
