// A field of a table component, as the class library presents it: its name,
// type and size, and its value in the active record read or written as text,
// integer, floating, logical or date-time (see FieldValue.h for the
// conversions). Writing is allowed only while the table is being edited or
// inserted into; otherwise, and for conversions that fail, EDBEngineError is
// thrown.
#ifndef REMDO_PARADOX_FIELD_H_
#define REMDO_PARADOX_FIELD_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "paradox/FieldValue.h"
#include "paradox/TableHeader.h"

namespace remdo::paradox {

class TTable;

class TField {
 public:
  TField(TTable& table, std::size_t index) : table_(table), index_(index) {}

  const std::string& FieldName() const;
  // 1-based position in the record.
  int FieldNo() const { return static_cast<int>(index_) + 1; }
  TFieldType DataType() const;
  // The size byte: width of alpha and bytes fields, decimals of BCD.
  int Size() const;
  int Offset() const;

  bool IsNull() const;
  void Clear();
  std::string AsString() const;
  void SetAsString(std::string_view text);
  std::int32_t AsInteger() const;
  void SetAsInteger(std::int32_t value);
  double AsFloat() const;
  void SetAsFloat(double value);
  bool AsBoolean() const;
  void SetAsBoolean(bool value);
  TDateTime AsDateTime() const;
  void SetAsDateTime(TDateTime value);
  void SetValue(const TValue& value);

 private:
  TFieldRef Read() const;
  TFieldRef Write();

  TTable& table_;
  const std::size_t index_;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FIELD_H_
