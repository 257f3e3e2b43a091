// The cursor-level calls. Engine conditions become result codes here; an
// engine error thrown below (a failed save) is answered with its code.
#include "paradox/engine/DbiCalls.h"

#include <algorithm>
#include <cstring>

#include "env/Errors.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"

namespace remdo::paradox {

namespace {

std::uint16_t Guard(const void* handle) {
  if (!TEngineSession::Instance().Started()) return kDbiErrNotInitialized;
  if (handle == nullptr) return kDbiErrInvalidHndl;
  return kDbiErrNone;
}

// Bytes of the first fieldCount fields.
std::size_t PrefixWidth(const TOpenTable& table, std::size_t fieldCount) {
  return fieldCount < table.Header().fields.size() ? table.FieldOffset(fieldCount) : table.RecordSize();
}

}  // namespace

std::uint16_t DbiGetObjFromObj(TCursorHandle cursor, TDbiObjType type, TDbHandle& object) {
  if (const std::uint16_t code = Guard(cursor)) return code;
  if (type != TDbiObjType::kDatabase) return kDbiErrNotSupported;
  object = &cursor->Database();
  return kDbiErrNone;
}

std::uint16_t DbiGetCursorProps(TCursorHandle cursor, TCursorProps& props) {
  if (const std::uint16_t code = Guard(cursor)) return code;
  const TOpenTable& table = cursor->Table();
  const TTableHeader& header = table.Header();
  props = {};
  props.tableName = cursor->TableName();
  props.tableType = std::string(kParadoxTableType);
  props.fieldCount = static_cast<std::uint16_t>(header.fields.size());
  props.keyFieldCount = static_cast<std::uint16_t>(header.keyFieldCount);
  props.recordSize = header.recordSize;
  props.keySize = static_cast<std::uint16_t>(table.KeyWidth());
  props.recordCount = static_cast<std::uint32_t>(cursor->RecordCount());
  props.blockSize = static_cast<std::uint16_t>(header.blockSize);
  props.tableLevel = static_cast<std::uint16_t>(header.Level());
  props.languageDriver = table.Driver() != nullptr ? std::string(table.Driver()->name) : header.sortOrderName;
  props.exclusive = cursor->Exclusive();
  return kDbiErrNone;
}

std::uint16_t DbiInsertRecord(TCursorHandle cursor, TDbiLock /*lock*/, std::span<const std::byte> record) {
  if (const std::uint16_t code = Guard(cursor)) return code;
  TOpenTable& table = cursor->Table();
  // A table without key takes the record at its end.
  const std::size_t position = cursor->RecordCount();
  const std::uint16_t code = table.Insert(record, position, nullptr);
  if (code == kDbiErrNone) cursor->Follow(record, position);
  return code;
}

std::uint16_t DbiGetRecordForKey(TCursorHandle cursor, bool /*directKey*/, std::uint16_t fieldCount,
                                 std::uint16_t /*length*/, std::span<const std::byte> key,
                                 std::span<std::byte> record) {
  if (const std::uint16_t code = Guard(cursor)) return code;
  TOpenTable& table = cursor->Table();
  TRecordStore& records = table.Records();
  const auto keyFields = static_cast<std::size_t>(table.Header().keyFieldCount);
  if (keyFields == 0) return kDbiErrNotIndexed;
  const std::size_t fields = fieldCount == 0 ? keyFields : std::min<std::size_t>(fieldCount, keyFields);
  const std::size_t width = PrefixWidth(table, fields);
  if (key.size() < width || (!record.empty() && record.size() < table.RecordSize())) return kDbiErrInvalidParam;
  std::optional<std::size_t> found;
  if (fields == keyFields) {
    found = records.Find(key.first(width));
  } else if (!table.CanOrderKeys()) {
    return kDbiErrNotSupported;
  } else {
    const std::size_t at = records.LowerBound(key.first(width));
    if (at < records.Count() && std::memcmp(records.At(at).data(), key.data(), width) == 0) found = at;
  }
  if (!found) return kDbiErrRecNotFound;
  cursor->MoveToRecord(*found);
  if (!record.empty()) {
    const auto current = cursor->Current();
    std::copy(current.begin(), current.end(), record.begin());
  }
  return kDbiErrNone;
}

std::uint16_t DbiModifyRecord(TCursorHandle cursor, std::span<const std::byte> record, bool /*freeLock*/) {
  if (const std::uint16_t code = Guard(cursor)) return code;
  if (!cursor->HasCurrent()) return kDbiErrNoCurrRec;
  std::size_t moved = 0;
  const std::uint16_t code = cursor->Table().Modify(cursor->RecordPosition(), record, &moved);
  if (code == kDbiErrNone) cursor->MoveToRecord(moved);
  return code;
}

std::uint16_t DbiSaveChanges(TCursorHandle cursor) {
  if (const std::uint16_t code = Guard(cursor)) return code;
  try {
    cursor->Table().SaveChanges();
  } catch (const env::EDBEngineError& error) {
    return error.Code();
  }
  return kDbiErrNone;
}

void AddOptionalParam(TCrTblDesc& desc, std::string_view name, std::string_view value) {
  TFldDesc param;
  param.name = std::string(name);
  param.offset = static_cast<std::uint16_t>(desc.optionalData.size());
  param.length = static_cast<std::uint16_t>(value.size() + 1);
  for (const char c : value) desc.optionalData.push_back(static_cast<std::byte>(c));
  desc.optionalData.push_back(std::byte{0});
  desc.optionalParams.push_back(param);
}

}  // namespace remdo::paradox
