// Generated catalogues of both layouts read by pxlib, an independent
// Paradox reader, from the data file alone (never the memo file, on which
// pxlib 0.6.8 crashes): the header's record count, every record's bytes in
// order equal to what the raw reader finds, the primary index accepted, and
// book numbers and titles decoded by pxlib equal to ours.
#include <gtest/gtest.h>

#include <cstring>

extern "C" {
#include <paradox.h>
}

#include "env/Path.h"
#include "tools/GeneratedCatalogue.h"

namespace remdo::tools {
namespace {

using testing::ReadRaw;
using testing::SharedCatalogue;
using testing::TRawTable;
using testing::TRecordBytes;

struct TPxlibRead {
  int count = 0;
  std::vector<TRecordBytes> records;
  bool indexAccepted = false;
  std::vector<long> firstFieldAsLong;
  std::vector<double> firstFieldAsDouble;
  std::vector<std::string> titles;
};

void Ignore(pxdoc_t*, int, const char*, void*) {}

TPxlibRead ReadWithPxlib(const std::string& dataPath, const std::string& indexPath, const std::string& titleField) {
  TPxlibRead read;
  pxdoc_t* doc = PX_new2(Ignore, nullptr, nullptr, nullptr);
  if (doc == nullptr || PX_open_file(doc, dataPath.c_str()) < 0) {
    ADD_FAILURE() << "pxlib cannot open " << dataPath;
    if (doc != nullptr) PX_delete(doc);
    return read;
  }
  read.count = PX_get_num_records(doc);
  const int size = PX_get_recordsize(doc);
  pxfield_t* fields = PX_get_fields(doc);
  int titleOffset = -1, titleWidth = 0, offset = 0;
  for (int f = 0; f < PX_get_num_fields(doc); ++f) {
    if (titleField == fields[f].px_fname) {
      titleOffset = offset;
      titleWidth = fields[f].px_flen;
    }
    offset += fields[f].px_flen;
  }
  std::vector<char> data(static_cast<std::size_t>(size));
  for (int i = 0; i < read.count; ++i) {
    if (PX_get_record(doc, i, data.data()) == nullptr) break;
    const auto* bytes = reinterpret_cast<const std::byte*>(data.data());
    read.records.emplace_back(bytes, bytes + size);
    long value = 0;
    double number = 0;
    if (fields[0].px_ftype == pxfLong && PX_get_data_long(doc, data.data(), 4, &value) > 0) {
      read.firstFieldAsLong.push_back(value);
    }
    if (fields[0].px_ftype == pxfNumber && PX_get_data_double(doc, data.data(), 8, &number) > 0) {
      read.firstFieldAsDouble.push_back(number);
    }
    char* text = nullptr;
    if (titleOffset >= 0 && PX_get_data_alpha(doc, data.data() + titleOffset, titleWidth, &text) > 0 && text) {
      read.titles.emplace_back(text);
      doc->free(doc, text);
    }
  }
  pxdoc_t* index = PX_new2(Ignore, nullptr, nullptr, nullptr);
  if (PX_open_file(index, indexPath.c_str()) == 0 && PX_read_primary_index(index) == 0) {
    read.indexAccepted = PX_add_primary_index(doc, index) == 0;
  }
  PX_close(doc);
  PX_delete(doc);
  if (!read.indexAccepted) {
    PX_close(index);
    PX_delete(index);
  }
  return read;
}

class GeneratedCataloguePxlib : public ::testing::TestWithParam<bool> {};

INSTANTIATE_TEST_SUITE_P(Layouts, GeneratedCataloguePxlib, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Current" : "Earlier"; });

TEST_P(GeneratedCataloguePxlib, EveryTableReadsTheSame) {
  const std::string& folder = SharedCatalogue(GetParam()).folder.Path();
  for (const TGeneratedTable& table : SharedCatalogue(GetParam()).generated.tables) {
    SCOPED_TRACE(table.name);
    const TRawTable raw = ReadRaw(folder + table.name + ".db");
    const TPxlibRead read = ReadWithPxlib(folder + table.name + ".db", folder + table.name + ".px", "Title");
    EXPECT_EQ(read.count, raw.headerCount);
    EXPECT_TRUE(read.records == raw.records);
    EXPECT_TRUE(read.indexAccepted);
  }
}

TEST_P(GeneratedCataloguePxlib, BookNumbersAndTitlesDecodeAlike) {
  const std::string& folder = SharedCatalogue(GetParam()).folder.Path();
  const TRawTable raw = ReadRaw(folder + "Books.db");
  const TPxlibRead read = ReadWithPxlib(folder + "Books.db", folder + "Books.px", "Title");
  ASSERT_EQ(read.titles.size(), raw.records.size());
  for (std::size_t r = 0; r < raw.records.size(); ++r) {
    EXPECT_EQ(read.titles[r], raw.Text(r, "Title"));
    if (GetParam()) {
      ASSERT_EQ(read.firstFieldAsLong.size(), raw.records.size());
      EXPECT_EQ(read.firstFieldAsLong[r], raw.Integer(r, "Book"));
    } else {
      ASSERT_EQ(read.firstFieldAsDouble.size(), raw.records.size());
      EXPECT_EQ(read.firstFieldAsDouble[r], static_cast<double>(raw.Integer(r, "Book")));
    }
  }
}

}  // namespace
}  // namespace remdo::tools
