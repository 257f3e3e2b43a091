// Helpers of the remdo-table tests: the tool run in this process with its
// exit status and both streams, its CSV output split into rows, and a table
// file's code page as the tool decides it.
#ifndef REMDO_TESTS_TOOLS_TOOLRUN_H_
#define REMDO_TESTS_TOOLS_TOOLRUN_H_

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "env/FileStream.h"
#include "env/FileSystem.h"
#include "paradox/format/PxObject.h"
#include "remdo-table/RemdoTable.h"
#include "remdo-table/TableFile.h"

namespace remdo::tools::testing {

struct TRun {
  int status;
  std::string out;
  std::string err;
};

inline TRun RunTool(const std::vector<std::string>& words) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunRemdoTable(words, out, err);
  return {status, out.str(), err.str()};
}

using TRow = std::vector<std::string>;

// The rows of RFC 4180 text with CR LF record ends.
inline std::vector<TRow> ParseCsv(const std::string& text) {
  std::vector<TRow> rows;
  TRow row;
  std::string cell;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        cell += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(std::move(cell));
      cell.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      row.push_back(std::move(cell));
      cell.clear();
      rows.push_back(std::move(row));
      row.clear();
      ++i;
    } else {
      cell += c;
    }
  }
  return rows;
}

inline std::uint16_t CodePageOf(const std::string& path) {
  const paradox::TPxObject reader(env::TFileStream(env::DefaultFileSystem(), path, env::TOpenMode::kRead));
  return TableCodePage(reader);
}

}  // namespace remdo::tools::testing

#endif  // REMDO_TESTS_TOOLS_TOOLRUN_H_
