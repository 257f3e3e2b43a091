// Field access through the table's record buffer.
#include "paradox/components/Field.h"

#include <algorithm>
#include <utility>

#include "paradox/components/Table.h"

namespace remdo::paradox {

const std::string& TField::FieldName() const { return table_.FieldDef(index_).name; }
TFieldType TField::DataType() const { return table_.FieldDef(index_).type; }
int TField::Size() const { return table_.FieldDef(index_).size; }
int TField::Offset() const { return static_cast<int>(table_.FieldRef(index_, false).bytes - table_.ActiveBuffer().data()); }

TFieldRef TField::Read() const { return table_.FieldRef(index_, false); }
TFieldRef TField::Write() { return table_.FieldRef(index_, true); }

namespace {

bool IsTextBlob(TFieldType type) { return type == TFieldType::kMemo || type == TFieldType::kFormattedMemo; }

}  // namespace

bool TField::IsBlob() const { return IsBlobType(DataType()); }

std::vector<std::byte> TField::AsBytes() const {
  if (IsBlob()) return table_.BlobValue(index_);
  const TFieldRef ref = Read();
  return std::vector<std::byte>(ref.bytes, ref.bytes + ref.field.Width());
}

void TField::SetAsBytes(std::span<const std::byte> value) {
  if (IsBlob()) return table_.SetBlobValue(index_, std::vector<std::byte>(value.begin(), value.end()));
  const TFieldRef ref = Write();
  ClearField(ref);
  std::copy_n(value.begin(), std::min<std::size_t>(value.size(), static_cast<std::size_t>(ref.field.Width())), ref.bytes);
}

void TField::SetAsBytes(std::vector<std::byte>&& value) {
  if (IsBlob()) return table_.SetBlobValue(index_, std::move(value));
  SetAsBytes(std::span<const std::byte>(value));
}

std::size_t TField::BlobSize() const { return IsBlob() ? table_.BlobValue(index_).size() : 0; }

bool TField::IsNull() const { return IsBlob() ? BlobSize() == 0 : FieldIsNull(Read()); }

void TField::Clear() {
  if (IsBlob()) return table_.SetBlobValue(index_, {});
  ClearField(Write());
}

std::string TField::AsString() const {
  if (!IsBlob()) return GetFieldText(Read());
  const std::vector<std::byte> value = table_.BlobValue(index_);
  const std::string_view bytes(reinterpret_cast<const char*>(value.data()), value.size());
  return IsTextBlob(DataType()) ? TextFromTable(bytes, Read().codePage) : std::string(bytes);
}

void TField::SetAsString(std::string_view text) {
  if (!IsBlob()) return SetFieldText(Write(), text);
  const std::string stored = IsTextBlob(DataType()) ? TextToTable(text, Read().codePage) : std::string(text);
  const auto* bytes = reinterpret_cast<const std::byte*>(stored.data());
  table_.SetBlobValue(index_, std::vector<std::byte>(bytes, bytes + stored.size()));
}
std::int32_t TField::AsInteger() const { return static_cast<std::int32_t>(GetFieldInteger(Read())); }
void TField::SetAsInteger(std::int32_t value) { SetFieldInteger(Write(), value); }
double TField::AsFloat() const { return GetFieldFloat(Read()); }
void TField::SetAsFloat(double value) { SetFieldFloat(Write(), value); }
bool TField::AsBoolean() const { return GetFieldBoolean(Read()); }
void TField::SetAsBoolean(bool value) { SetFieldBoolean(Write(), value); }
TDateTime TField::AsDateTime() const { return GetFieldDateTime(Read()); }
void TField::SetAsDateTime(TDateTime value) { SetFieldDateTime(Write(), value); }
void TField::SetValue(const TValue& value) {
  if (IsBlob() && value.Kind() == TValue::TKind::kText) return SetAsString(value.Text());
  if (IsBlob() && value.Kind() == TValue::TKind::kNull) return Clear();
  SetFieldValue(Write(), value);
}

}  // namespace remdo::paradox
