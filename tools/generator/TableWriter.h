// One table of a generated catalogue, written the way the catalogue
// application's own files look: created by the engine from its built-in
// structure, with the memo column (which the structure declares as an alpha
// column of the memo's full width) made a real memo field of the same width
// and a memo file beside it, filled by raw record insertion in key order
// (the engine's fast bulk load), and spelled with lower-case extensions
// ("Books.db", "Books.px", "Books.mb", "Books.x04").
//
// The caller must insert records in ascending key order: a record the
// engine refuses (a key given twice) is a fault of the generator and throws
// EGeneratorError. Engine and file errors pass through unchanged.
#ifndef REMDO_TOOLS_GENERATOR_TABLEWRITER_H_
#define REMDO_TOOLS_GENERATOR_TABLEWRITER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/TableCatalogue.h"
#include "paradox/components/Database.h"
#include "paradox/components/Table.h"
#include "paradox/format/FieldValue.h"

namespace remdo::paradox {
class TMemoFileBuilder;
}

namespace remdo::tools {

class EGeneratorError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The field number (1-based) of the memo column of a structure, or 0: the
// catalogue's memo columns (catalogue::MemoFieldNumber), which the repair's
// swap step turns back into memo fields.
int MemoFieldNumber(int structureNumber);

// The structure's field specs with its memo column declared as a memo of
// the same record width ("Blurb, A11" becomes "Blurb, M1").
catalogue::TFieldSpecList GeneratedSchema(int structureNumber);

class TTableWriter;

// The record being filled. Columns are 0-based indexes from
// TTableWriter::Column. Texts are Windows-1252 and are cut to the column's
// width; numbers are stored in the column's own type.
class TRecordBuilder {
 public:
  void SetInteger(int column, std::int64_t value);
  void SetFloat(int column, double value);
  void SetText(int column, std::string_view text);
  void SetBoolean(int column, bool value);
  // Stores the text in the memo file (or in the leader alone when it fits)
  // and puts its reference into the record.
  void SetMemo(int column, std::string_view text);
  // How many memo values the table holds so far.
  std::size_t MemosSoFar() const;
  std::span<const std::byte> Bytes() const { return bytes_; }

 private:
  friend class TTableWriter;
  explicit TRecordBuilder(TTableWriter& writer) : writer_(writer) {}
  paradox::TFieldRef Ref(int column);

  TTableWriter& writer_;
  std::vector<std::byte> bytes_;
};

class TTableWriter {
 public:
  // Creates tableName.db in the database's folder (replacing a table of that
  // name) with the structure's fields, level and driver, and opens it.
  TTableWriter(paradox::TDatabase& database, std::string tableName, int structureNumber);
  // Closes quietly when Finish was not called (after an error).
  ~TTableWriter();
  TTableWriter(const TTableWriter&) = delete;
  TTableWriter& operator=(const TTableWriter&) = delete;

  // The 0-based index of a column by its name; EGeneratorError when the
  // structure has none of that name.
  int Column(std::string_view name) const;
  // The record width of a column in bytes.
  int Width(int column) const;
  // A cleared record to fill, then Insert.
  TRecordBuilder& NewRecord();
  void Insert();
  // Writes the table's files and gives them their final names; returns the
  // number of records written.
  std::int64_t Finish();

  const std::string& TableName() const { return tableName_; }

 private:
  friend class TRecordBuilder;
  void WriteMemoFile();
  void SpellExtensions();

  paradox::TDatabase& database_;
  const std::string tableName_;
  const std::string folder_;
  paradox::TTable table_;
  std::vector<const paradox::THeaderField*> fields_;
  std::vector<std::size_t> offsets_;
  std::uint16_t codePage_ = 0;
  TRecordBuilder record_;
  std::unique_ptr<paradox::TMemoFileBuilder> memo_;
  std::size_t memoValues_ = 0;
  std::int64_t records_ = 0;
  bool finished_ = false;
};

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_GENERATOR_TABLEWRITER_H_
