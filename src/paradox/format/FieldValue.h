// Field values of a record read and written as text, integer, floating,
// logical and date-time, the way the class library's field objects present
// them. Text inside the program is Windows-1252; an alpha field holds text
// in its table's code page and is translated on the way in and out. Blank
// (all-zero) fields read as "", 0, false or 0.0.
//
// Date-time values are TDateTime: days since 30 December 1899, the fraction
// being the time of day. Texts of dates and times use the fixed forms
// "YYYY-MM-DD", "HH:MM:SS" and "YYYY-MM-DD HH:MM:SS".
//
// Conversion failures (text that is not a number, a value out of the field's
// range, a memo value kept in the memo file) throw EDBEngineError.
#ifndef REMDO_PARADOX_FORMAT_FIELDVALUE_H_
#define REMDO_PARADOX_FORMAT_FIELDVALUE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "paradox/format/TableHeader.h"

namespace remdo::paradox {

using TDateTime = double;

// The Paradox day number (1 = 1 January 0001) of TDateTime 0.
inline constexpr std::int32_t kDateDelta = 693594;
inline constexpr double kMillisecondsPerDay = 86400000.0;

// A value given to FindKey and AppendRecord: null, integer, floating,
// logical or text.
class TValue {
 public:
  enum class TKind { kNull, kInteger, kFloat, kBoolean, kText };

  TValue() = default;
  TValue(int v) : kind_(TKind::kInteger), integer_(v) {}
  TValue(long v) : kind_(TKind::kInteger), integer_(v) {}
  TValue(long long v) : kind_(TKind::kInteger), integer_(v) {}
  TValue(double v) : kind_(TKind::kFloat), float_(v) {}
  TValue(bool v) : kind_(TKind::kBoolean), integer_(v ? 1 : 0) {}
  TValue(const char* v) : kind_(TKind::kText), text_(v) {}
  TValue(std::string_view v) : kind_(TKind::kText), text_(v) {}
  TValue(std::string v) : kind_(TKind::kText), text_(std::move(v)) {}

  TKind Kind() const { return kind_; }
  std::int64_t Integer() const { return integer_; }
  double Float() const { return float_; }
  const std::string& Text() const { return text_; }

 private:
  TKind kind_ = TKind::kNull;
  std::int64_t integer_ = 0;
  double float_ = 0.0;
  std::string text_;
};

// A field and where its bytes are: the record's bytes at the field's offset.
struct TFieldRef {
  const THeaderField& field;
  std::byte* bytes;
  std::uint16_t codePage;  // of the table's text; 0: not translated
};

bool FieldIsNull(const TFieldRef& ref);
void ClearField(const TFieldRef& ref);

std::string GetFieldText(const TFieldRef& ref);
void SetFieldText(const TFieldRef& ref, std::string_view text);
std::int64_t GetFieldInteger(const TFieldRef& ref);
void SetFieldInteger(const TFieldRef& ref, std::int64_t value);
double GetFieldFloat(const TFieldRef& ref);
void SetFieldFloat(const TFieldRef& ref, double value);
bool GetFieldBoolean(const TFieldRef& ref);
void SetFieldBoolean(const TFieldRef& ref, bool value);
TDateTime GetFieldDateTime(const TFieldRef& ref);
void SetFieldDateTime(const TFieldRef& ref, TDateTime value);
void SetFieldValue(const TFieldRef& ref, const TValue& value);

// Text between the program (Windows-1252) and a table's code page (0: no
// translation), as alpha and memo fields store it.
std::string TextFromTable(std::string_view text, std::uint16_t codePage);
std::string TextToTable(std::string_view text, std::uint16_t codePage);

// Day numbers (1 = 1 January 0001, proleptic Gregorian) and calendar dates.
std::int32_t DayNumber(int year, int month, int day);
void CalendarDate(std::int32_t dayNumber, int& year, int& month, int& day);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FORMAT_FIELDVALUE_H_
