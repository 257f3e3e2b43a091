// A field of a table component, as the class library presents it: its name,
// type and size, and its value in the active record read or written as text,
// integer, floating, logical or date-time (see FieldValue.h for the
// conversions). Writing is allowed only while the table is being edited or
// inserted into; otherwise, and for conversions that fail, EDBEngineError is
// thrown.
//
// Blob fields (memo, BLOB, formatted memo, OLE, graphic): AsString gives a
// memo or formatted memo value as text translated from the table's code
// page, any other blob value as its bytes; AsBytes gives the value's bytes
// as stored (graphic and OLE values with their 8-byte prefix). A value whose
// memo file is missing or damaged throws EDBEngineError (BLOBFILEMISSING,
// MEMOCORRUPT, INVALIDBLOBOFFSET) for this field alone. Written values are
// stored when the record is posted.
#ifndef REMDO_PARADOX_COMPONENTS_FIELD_H_
#define REMDO_PARADOX_COMPONENTS_FIELD_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paradox/format/FieldValue.h"
#include "paradox/format/TableHeader.h"

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

  bool IsBlob() const;
  std::vector<std::byte> AsBytes() const;
  void SetAsBytes(std::span<const std::byte> value);
  // The same, taking over a value that the caller no longer needs.
  void SetAsBytes(std::vector<std::byte>&& value);
  // The length of a blob field's value.
  std::size_t BlobSize() const;

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

#endif  // REMDO_PARADOX_COMPONENTS_FIELD_H_
