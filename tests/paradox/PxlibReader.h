// pxlib, an independent Paradox library, as a second reader of the files
// the engine writes (Linux test builds only). Never given a memo file: pxlib
// 0.6.8 crashes on genuine ones.
#ifndef REMDO_TESTS_PARADOX_PXLIBREADER_H_
#define REMDO_TESTS_PARADOX_PXLIBREADER_H_

#include <optional>
#include <string>
#include <vector>

#include "paradox/EngineFixture.h"

#ifdef REMDO_HAVE_PXLIB
extern "C" {
#include <paradox.h>
}
#endif

namespace remdo::paradox::testing {

inline bool HavePxlib() {
#ifdef REMDO_HAVE_PXLIB
  return true;
#else
  return false;
#endif
}

struct TPxlibTable {
  int fieldCount = 0;
  int recordSize = 0;
  int fileVersion = 0;
  std::vector<Record> records;
  bool indexAccepted = false;  // the .PX was read and added as primary index
  int indexEntries = 0;
};

// Everything pxlib reads from a data file and, when given, its primary index;
// nothing when pxlib cannot open the file.
inline std::optional<TPxlibTable> ReadWithPxlib(const std::string& dataPath, const std::string& indexPath = {}) {
#ifdef REMDO_HAVE_PXLIB
  pxdoc_t* doc = PX_new();
  if (doc == nullptr || PX_open_file(doc, dataPath.c_str()) < 0) {
    if (doc != nullptr) PX_delete(doc);
    return std::nullopt;
  }
  TPxlibTable table;
  table.fieldCount = PX_get_num_fields(doc);
  table.recordSize = PX_get_recordsize(doc);
  table.fileVersion = doc->px_head->px_fileversion;
  std::vector<char> data(static_cast<std::size_t>(table.recordSize));
  const int count = PX_get_num_records(doc);
  for (int i = 0; i < count; ++i) {
    if (PX_get_record(doc, i, data.data()) == nullptr) break;
    const auto* bytes = reinterpret_cast<const std::byte*>(data.data());
    table.records.emplace_back(bytes, bytes + data.size());
  }
  pxdoc_t* index = nullptr;
  if (!indexPath.empty()) {
    index = PX_new();
    if (PX_open_file(index, indexPath.c_str()) == 0 && PX_read_primary_index(index) == 0) {
      table.indexEntries = PX_get_num_records(index);
      table.indexAccepted = PX_add_primary_index(doc, index) == 0;
    }
  }
  PX_close(doc);
  PX_delete(doc);
  if (index != nullptr && !table.indexAccepted) {
    PX_close(index);
    PX_delete(index);
  }
  return table;
#else
  (void)dataPath;
  (void)indexPath;
  return std::nullopt;
#endif
}

}  // namespace remdo::paradox::testing

#endif  // REMDO_TESTS_PARADOX_PXLIBREADER_H_
