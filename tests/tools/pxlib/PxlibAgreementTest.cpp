// remdo-table dump against pxlib, an independent Paradox reader, on every
// unencrypted sample table: the same multiset of records (pxlib follows the
// block chain, the raw reader goes in file order), alpha values compared as
// bytes, blob fields left out. pxlib is never given a memo file: its 0.6.8
// release crashes on genuine ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

extern "C" {
#include <paradox.h>
}

#include "env/CodePage.h"
#include "env/FileStream.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/TableImage.h"
#include "paradox/codes/Coding.h"
#include "paradox/family/TableFiles.h"
#include "paradox/format/PxObject.h"
#include "remdo-table/RemdoTable.h"
#include "remdo-table/TableFile.h"
#include "remdo-table/ValueText.h"
#include "support/TestSupport.h"
#include "tools/ToolRun.h"

namespace remdo::tools {
namespace {

namespace ft = paradox::fieldtype;
using testing::CodePageOf;
using testing::ParseCsv;
using testing::TRow;

// pxlib's day numbers are the same as the table's; its own calendar turns
// them into dates, independently of remdo-table's.
std::string PxlibDate(long days) {
  // Outside the years 1 to 9999 the dump gives the day number itself.
  if (days < 1 || days > 3652059) return std::to_string(days);
  int year = 0, month = 0, day = 0;
  PX_SdnToGregorian(days + 1721425, &year, &month, &day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

std::string PxlibTime(long long ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
  std::string out = text;
  if (ms % 1000 != 0) {
    std::snprintf(text, sizeof text, ".%03lld", ms % 1000);
    out += text;
  }
  return out;
}

// pxlib writes "1." for a value without decimals and turns the engine's
// junk digit nibbles into the characters after '9'; both are its formatting,
// not the value, so they are cut here.
std::string PxlibBcd(const char* text) {
  std::string value = text;
  value.resize(std::min(value.size(), value.find_first_not_of("-.0123456789")));
  if (!value.empty() && value.back() == '.') value.pop_back();
  return value;
}

struct TPxlibTable {
  std::vector<std::string> names;
  std::vector<int> types;
  std::vector<TRow> rows;
  std::vector<std::string> errors;
  // Blank 4-byte fields that pxlib took for -2147483648 (see BlankLongField).
  int blankLongMisreads = 0;
  // Blank BCD values that pxlib shows as a lone sign.
  int blankBcdMisreads = 0;
};

void CollectError(pxdoc_t*, int, const char* message, void* data) {
  static_cast<TPxlibTable*>(data)->errors.push_back(message);
}

// pxlib 0.6.8 tests 4-byte values for blank by reading them as a 64-bit
// long, so an all-zero field followed by non-zero bytes is not blank to it
// and decodes to -2147483648, a value the format cannot store (it encodes to
// all zeros). BlankLongFieldIsMisreadByPxlib shows it on its own.
bool IsPxlibBlankLongMisread(const pxfield_t& field, const char* data, long value) {
  return field.px_flen == 4 && value == INT32_MIN &&
         paradox::IsAllZero(reinterpret_cast<const std::byte*>(data), 4);
}

// A BCD value is blank unless bit 6 of its first byte is set; the engine
// writes blank BCD fields as the decimals count alone (06 00 ... 00). pxlib
// looks only for all-zero bytes and turns such a field into "-".
bool IsPxlibBlankBcdMisread(const char* data, const std::string& text) {
  return (static_cast<unsigned char>(data[0]) & 0x40) == 0 && text.find_first_of("0123456789") == std::string::npos;
}

std::string PxlibValue(pxdoc_t* px, const pxfield_t& field, char* data, std::uint16_t codePage,
                       TPxlibTable& table) {
  switch (field.px_ftype) {
    case pxfAlpha: {
      char* value = nullptr;
      if (PX_get_data_alpha(px, data, field.px_flen, &value) <= 0 || value == nullptr) return "";
      const std::string text = env::CodePageToUtf8(value, codePage);
      px->free(px, value);
      return text;
    }
    case pxfDate:
    case pxfLong:
    case pxfTime:
    case pxfAutoInc: {
      long value = 0;
      if (PX_get_data_long(px, data, field.px_flen, &value) <= 0) return "";
      if (IsPxlibBlankLongMisread(field, data, value)) {
        ++table.blankLongMisreads;
        return "";
      }
      if (field.px_ftype == pxfDate) return PxlibDate(value);
      if (field.px_ftype == pxfTime) return PxlibTime(value);
      return std::to_string(value);
    }
    case pxfShort: {
      short value = 0;
      return PX_get_data_short(px, data, field.px_flen, &value) <= 0 ? "" : std::to_string(value);
    }
    case pxfCurrency:
    case pxfNumber: {
      double value = 0;
      return PX_get_data_double(px, data, field.px_flen, &value) <= 0 ? "" : NumberText(value);
    }
    case pxfTimestamp: {
      double value = 0;
      if (PX_get_data_double(px, data, field.px_flen, &value) <= 0) return "";
      if (!(value >= 86400000.0 && value < 3652060.0 * 86400000.0)) return NumberText(value);
      const auto ms = static_cast<long long>(std::llround(value));
      return PxlibDate(static_cast<long>(ms / 86400000)) + "T" + PxlibTime(ms % 86400000);
    }
    case pxfLogical: {
      char value = 0;
      if (PX_get_data_byte(px, data, field.px_flen, &value) <= 0) return "";
      return value != 0 ? "true" : "false";
    }
    case pxfBCD: {
      char* value = nullptr;
      if (PX_get_data_bcd(px, reinterpret_cast<unsigned char*>(data), field.px_fdc, &value) <= 0 || !value) return "";
      const std::string text = PxlibBcd(value);
      px->free(px, value);
      if (IsPxlibBlankBcdMisread(data, text)) {
        ++table.blankBcdMisreads;
        return "";
      }
      return text;
    }
    case pxfBytes: {
      char* value = nullptr;
      if (PX_get_data_bytes(px, data, field.px_flen, &value) <= 0 || value == nullptr) return "";
      const std::string text =
          HexText(std::span(reinterpret_cast<const std::byte*>(value), static_cast<std::size_t>(field.px_flen)));
      px->free(px, value);
      return text;
    }
    default: return "?";
  }
}

// Reads every record pxlib finds along the block chain.
TPxlibTable ReadWithPxlib(const std::string& path, std::uint16_t codePage) {
  TPxlibTable table;
  pxdoc_t* px = PX_new2(CollectError, nullptr, nullptr, nullptr);
  px->errorhandler_user_data = &table;
  if (PX_open_file(px, path.c_str()) < 0) {
    PX_delete(px);
    table.errors.push_back("cannot open");
    return table;
  }
  const int count = PX_get_num_fields(px);
  pxfield_t* fields = PX_get_fields(px);
  for (int i = 0; i < count; ++i) {
    table.names.push_back(env::CodePageToUtf8(fields[i].px_fname, codePage));
    table.types.push_back(static_cast<unsigned char>(fields[i].px_ftype));
  }
  std::vector<char> record(static_cast<std::size_t>(PX_get_recordsize(px)));
  for (int r = 0; r < PX_get_num_records(px); ++r) {
    if (PX_get_record(px, r, record.data()) == nullptr) {
      table.errors.push_back("record " + std::to_string(r) + " not read");
      continue;
    }
    TRow row;
    int offset = 0;
    for (int i = 0; i < count; ++i) {
      if (!ft::IsBlob(static_cast<std::uint8_t>(fields[i].px_ftype))) {
        row.push_back(PxlibValue(px, fields[i], record.data() + offset, codePage, table));
      }
      offset += fields[i].px_flen;
    }
    table.rows.push_back(row);
  }
  PX_close(px);
  PX_delete(px);
  return table;
}

// The dump's rows without the blob columns, as pxlib's rows are made.
std::vector<TRow> DumpRows(const std::string& path, const std::vector<int>& types) {
  std::ostringstream out, err;
  const int status = RunRemdoTable({"dump", path}, out, err);
  // A table whose memo file is gone (MEMBRE) is dumped whole but for the
  // values stored in it, and says so.
  if (paradox::FindTableFiles(env::DefaultFileSystem(), path).memo.empty() && status != 0) {
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.str().find("memo and BLOB values could not be read"), std::string::npos) << err.str();
  } else {
    EXPECT_EQ(status, 0) << err.str();
  }
  std::vector<TRow> rows = ParseCsv(out.str());
  for (auto& row : rows) {
    TRow kept;
    for (std::size_t i = 0; i < row.size() && i < types.size(); ++i) {
      if (!ft::IsBlob(static_cast<std::uint8_t>(types[i]))) kept.push_back(row[i]);
    }
    EXPECT_EQ(row.size(), types.size());
    row = kept;
  }
  return rows;
}

std::string Joined(const TRow& row) {
  std::string text;
  for (const auto& cell : row) text += cell + " | ";
  return text;
}

std::vector<std::string> Tables(const std::string& samples) {
  std::vector<std::string> out;
  const std::vector<std::string> extensions = {".db", ".x01", ".x02", ".x03", ".x04", ".x06", ".xg0", ".xg1"};
  for (const auto& path : test::FilesBelow(samples, extensions)) {
    const paradox::TPxObject reader(env::TFileStream(env::DefaultFileSystem(), path, env::TOpenMode::kRead));
    if (!reader.IsEncrypted()) out.push_back(path);
  }
  return out;
}

TEST(PxlibAgreement, DumpHasTheSameRecordsAsPxlibForEverySampleTable) {
  REMDO_SAMPLES_OR_SKIP(samples);
  int compared = 0;
  for (const auto& path : Tables(samples)) {
    SCOPED_TRACE(path);
    const std::uint16_t codePage = CodePageOf(path);
    const TPxlibTable pxlib = ReadWithPxlib(path, codePage);
    EXPECT_TRUE(pxlib.errors.empty()) << pxlib.errors.front();
    if (pxlib.blankLongMisreads > 0 || pxlib.blankBcdMisreads > 0) {
      std::printf("%s: blank values that pxlib misreads, compared as blank: %d of 4 bytes, %d BCD\n",
                  env::NamePart(path).data(), pxlib.blankLongMisreads, pxlib.blankBcdMisreads);
    }
    std::vector<TRow> ours = DumpRows(path, pxlib.types);
    ASSERT_FALSE(ours.empty());
    EXPECT_EQ(ours.front().size(), pxlib.rows.empty() ? ours.front().size() : pxlib.rows.front().size());
    ours.erase(ours.begin());  // the header row
    std::vector<TRow> theirs = pxlib.rows;
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(ours.size(), theirs.size());
    const auto mismatch = std::mismatch(ours.begin(), ours.end(), theirs.begin(), theirs.end());
    if (mismatch.first != ours.end() || mismatch.second != theirs.end()) {
      ADD_FAILURE() << "first difference:\n  ours:  "
                    << (mismatch.first != ours.end() ? Joined(*mismatch.first) : "(none)") << "\n  pxlib: "
                    << (mismatch.second != theirs.end() ? Joined(*mismatch.second) : "(none)");
    }
    ++compared;
  }
  EXPECT_GE(compared, 80);
}

TEST(PxlibAgreement, BlankLongFieldIsMisreadByPxlib) {
  // A blank long field followed by a non-zero short field.
  test::TTableImage t;
  t.fields = {{ft::kLong, 4, "Blank"}, {ft::kShort, 2, "After"}};
  t.blocks = {{test::Record({test::Blank(4), test::Int(-1, 2)})}};
  test::TScratchFolder folder;
  const std::string path = folder / "blank.db";
  test::WriteWholeFile(path, t.Build());
  pxdoc_t* px = PX_new();
  ASSERT_GE(PX_open_file(px, path.c_str()), 0);
  std::vector<char> record(6);
  ASSERT_NE(PX_get_record(px, 0, record.data()), nullptr);
  long value = 0;
  const int result = PX_get_data_long(px, record.data(), 4, &value);
  PX_close(px);
  PX_delete(px);
  const bool release068 = PX_get_majorversion() == 0 && PX_get_minorversion() == 6 && PX_get_subminorversion() == 8;
  if (release068 && sizeof(long) == 8) {
    EXPECT_GT(result, 0) << "pxlib 0.6.8 takes the blank field for a value";
    EXPECT_EQ(value, INT32_MIN);
  } else {
    EXPECT_EQ(result, 0) << "a blank field is blank";
  }
  std::ostringstream out, err;
  ASSERT_EQ(RunRemdoTable({"dump", path}, out, err), 0);
  EXPECT_EQ(out.str(), "Blank,After\r\n,-1\r\n");
}

}  // namespace
}  // namespace remdo::tools
