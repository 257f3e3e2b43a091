// Looking up engine result codes in the error table, the engine's error box,
// and the messages of the engine error that stops a step.
#include "paradox/codes/EngineErrors.h"

#include <algorithm>

#include "env/Dialogs.h"
#include "env/Text.h"
#include "paradox/codes/EngineCodes.h"

namespace remdo::paradox {

namespace {

constexpr std::string_view kOkName = "OK";
constexpr std::string_view kNamePrefix = "DBIERR_";
constexpr std::string_view kBoxCaption = "Error";
constexpr std::string_view kBoxPrefix = "Error: ";

struct TPlainWords {
  std::uint16_t code;
  const char* words;
};

// Plain words for the codes a user is likely to meet during a repair; the
// others are described by their name alone.
constexpr TPlainWords kPlainWords[] = {
    {kDbiErrBof, "at the beginning of the table"},
    {kDbiErrEof, "at the end of the table"},
    {kDbiErrNoCurrRec, "no current record"},
    {kDbiErrRecNotFound, "record not found"},
    {kDbiErrBlobFileMissing, "memo file missing"},
    {kDbiErrHeaderCorrupt, "table header is damaged"},
    {kDbiErrFileCorrupt, "table file is damaged"},
    {kDbiErrMemoCorrupt, "memo file is damaged"},
    {kDbiErrIndexCorrupt, "index is damaged"},
    {kDbiErrReadErr, "read failure"},
    {kDbiErrWriteErr, "write failure"},
    {kDbiErrDirNoAccess, "no access to the folder"},
    {kDbiErrFileNoAccess, "no access to the file"},
    {kDbiErrNoMemory, "not enough memory"},
    {kDbiErrNoDiskSpace, "disk full"},
    {kDbiErrRecTooBig, "record too big"},
    {kDbiErrTableFull, "table full"},
    {kDbiErrKeyViol, "key violation"},
    {kDbiErrOutOfRange, "value out of range"},
    {kDbiErrInvalidParam, "invalid parameter"},
    {kDbiErrNoSuchFile, "file not found"},
    {kDbiErrPrimaryKeyRedefine, "primary key already defined"},
    {kDbiErrNoSuchIndex, "index not found"},
    {kDbiErrInvalidFldType, "invalid field type"},
    {kDbiErrInvalidFldDesc, "invalid field description"},
    {kDbiErrInvalidIndexStruct, "invalid index description"},
    {kDbiErrNoSuchTable, "table not found"},
    {kDbiErrIndexExists, "index already exists"},
    {kDbiErrTableOpen, "table is open"},
    {kDbiErrInvalidFieldName, "invalid field name"},
    {kDbiErrInvalidTableName, "invalid table name"},
    {kDbiErrInvalidLangDrv, "unknown language driver"},
    {kDbiErrLocked, "record or table locked"},
    {kDbiErrFileBusy, "file in use"},
    {kDbiErrFileLocked, "file locked"},
    {kDbiErrNeedExclAccess, "exclusive access needed"},
    {kDbiErrTblEncrypted, "table is encrypted"},
    {kDbiErrNotInitialized, "engine not started"},
    {kDbiErrMultipleInit, "engine already started"},
    {kDbiErrTableReadOnly, "table is read-only"},
    {kDbiErrQrySyntErr, "query syntax error"},
    {kDbiErrNotSupported, "not supported"},
    {kDbiErrFileExists, "file already exists"},
    {kDbiErrTableExists, "table already exists"},
};

const char* PlainWords(std::uint16_t code) {
  for (const auto& entry : kPlainWords) {
    if (entry.code == code) return entry.words;
  }
  return nullptr;
}

std::string Unlisted(std::uint16_t code) { return "#" + std::to_string(code); }

}  // namespace

std::optional<std::string_view> FindEngineErrorName(std::uint16_t code) {
  const auto table = EngineErrorTable();
  const auto it = std::lower_bound(table.begin(), table.end(), code,
                                   [](const TEngineErrorEntry& entry, std::uint16_t c) { return entry.code < c; });
  if (it == table.end() || it->code != code) return std::nullopt;
  return it->name;
}

std::string EngineErrorName(std::uint16_t code) {
  if (code == kDbiErrNone) return std::string(kOkName);
  const auto name = FindEngineErrorName(code);
  return name ? std::string(*name) : Unlisted(code);
}

void EngineErrorText(std::uint16_t code) {
  if (code == kDbiErrNone) return;
  const auto name = FindEngineErrorName(code);
  const std::string text =
      std::string(kBoxPrefix) + (name ? std::string(kNamePrefix) + std::string(*name) : Unlisted(code));
  env::ShowInfoBox(text, kBoxCaption);
}

std::string EngineErrorDescription(std::uint16_t code) {
  if (code == kDbiErrNone) return "no error (0)";
  const auto name = FindEngineErrorName(code);
  if (!name) return "engine error " + Unlisted(code);
  const std::string named = std::string(kNamePrefix) + std::string(*name);
  if (const char* words = PlainWords(code))
    return std::string(words) + " (" + named + ", " + std::to_string(code) + ")";
  return "engine error " + named + " (" + std::to_string(code) + ")";
}

env::EDBEngineError EngineError(std::uint16_t code, std::string_view context) {
  std::string message = EngineErrorDescription(code);
  if (context.empty()) {
    message.front() = env::UpperChar(message.front());
  } else {
    message = std::string(context) + ": " + message;
  }
  return env::EDBEngineError(code, message);
}

void CheckEngineResult(std::uint16_t code, std::string_view context) {
  if (code != kDbiErrNone) throw EngineError(code, context);
}

void RethrowAsEngineError(std::uint16_t code, const std::string& context) {
  try {
    throw;
  } catch (const env::EDBEngineError&) {
    throw;
  } catch (const env::ERemdoError& error) {
    throw EngineError(code, context + ". " + error.what());
  }
}

}  // namespace remdo::paradox
