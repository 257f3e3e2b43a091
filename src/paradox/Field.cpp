// Field access through the table's record buffer.
#include "paradox/Field.h"

#include "paradox/Table.h"

namespace remdo::paradox {

const std::string& TField::FieldName() const { return table_.FieldDef(index_).name; }
TFieldType TField::DataType() const { return table_.FieldDef(index_).type; }
int TField::Size() const { return table_.FieldDef(index_).size; }
int TField::Offset() const { return static_cast<int>(table_.FieldRef(index_, false).bytes - table_.ActiveBuffer().data()); }

TFieldRef TField::Read() const { return table_.FieldRef(index_, false); }
TFieldRef TField::Write() { return table_.FieldRef(index_, true); }

bool TField::IsNull() const { return FieldIsNull(Read()); }
void TField::Clear() { ClearField(Write()); }
std::string TField::AsString() const { return GetFieldText(Read()); }
void TField::SetAsString(std::string_view text) { SetFieldText(Write(), text); }
std::int32_t TField::AsInteger() const { return static_cast<std::int32_t>(GetFieldInteger(Read())); }
void TField::SetAsInteger(std::int32_t value) { SetFieldInteger(Write(), value); }
double TField::AsFloat() const { return GetFieldFloat(Read()); }
void TField::SetAsFloat(double value) { SetFieldFloat(Write(), value); }
bool TField::AsBoolean() const { return GetFieldBoolean(Read()); }
void TField::SetAsBoolean(bool value) { SetFieldBoolean(Write(), value); }
TDateTime TField::AsDateTime() const { return GetFieldDateTime(Read()); }
void TField::SetAsDateTime(TDateTime value) { SetFieldDateTime(Write(), value); }
void TField::SetValue(const TValue& value) { SetFieldValue(Write(), value); }

}  // namespace remdo::paradox
