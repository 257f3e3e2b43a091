// remdo-table dump FILE: every record the raw reader's walk finds, in file
// order, as CSV (RFC 4180, CR LF line ends, UTF-8): a header row of field
// names, then one row per record with one column per field.
//
// Memo and BLOB fields show their whole value, read from the table's memo
// file (BlobValues.h, ValueText.h). A value that cannot be read takes its
// cell's place with the reason ("<memo unreadable: ...>"), the dump goes on
// with every other field and record, and ends with one line on the error
// stream and exit status 1, so that an incomplete dump never passes for a
// whole one.
#include <string>

#include "env/CodePage.h"
#include "env/Text.h"
#include "paradox/format/PxObject.h"
#include "remdo-table/BlobValues.h"
#include "remdo-table/Commands.h"
#include "remdo-table/TableFile.h"
#include "remdo-table/ValueText.h"

namespace remdo::tools {

namespace {

constexpr const char* kLineEnd = "\r\n";

void CheckDumpable(const paradox::TPxObject& reader, const std::string& path) {
  RequireTableHeader(reader, path);
  if (reader.IsEncrypted()) throw ECommandFailure(path + ": the table is encrypted; its records cannot be read.");
  if (!reader.HasFields()) throw ECommandFailure(path + ": the field descriptions in the header cannot be read.");
}

void WriteHeaderRow(const paradox::TPxObject& reader, std::uint16_t codePage, std::ostream& out) {
  std::string line;
  for (const auto* field = reader.FirstField(); field != nullptr; field = field->Next()) {
    if (field != reader.FirstField()) line += ',';
    line += CsvField(env::CodePageToUtf8(field->Name(), codePage));
  }
  out << line << kLineEnd;
}

void WriteRecords(paradox::TPxObject& reader, std::uint16_t codePage, TBlobValues& blobs, std::ostream& out) {
  if (!reader.FirstRecord()) return;
  std::string line;
  do {
    line.clear();
    for (const auto* field = reader.FirstField(); field != nullptr; field = field->Next()) {
      if (field != reader.FirstField()) line += ',';
      line += CsvField(FieldText(*field, codePage, blobs));
    }
    out << line << kLineEnd;
  } while (reader.NextRecord());
}

}  // namespace

int RunDump(TCommandContext& context) {
  RequireArguments(context, 1);
  const std::string& path = context.arguments[0];
  auto reader = OpenTableFile(context.fileSystem, path);
  TBlobValues blobs(context.fileSystem, path);
  WithTableFile(path, [&] {
    CheckDumpable(*reader, path);
    const std::uint16_t codePage = TableCodePage(*reader);
    if (!env::IsKnownCodePage(codePage)) {
      context.err << "remdo-table: warning: " << env::Cp1252ToUtf8(path) << ": code page " << codePage
                  << " is not supported; bytes above 127 are shown as Latin-1\n";
    }
    WriteHeaderRow(*reader, codePage, context.out);
    WriteRecords(*reader, codePage, blobs, context.out);
  });
  if (blobs.Unreadable() > 0) {
    throw ECommandFailure(path + ": " + std::to_string(blobs.Unreadable()) + " of " +
                          std::to_string(blobs.ValuesRead()) +
                          " memo and BLOB values could not be read; their cells say why.");
  }
  return kExitOk;
}

}  // namespace remdo::tools
