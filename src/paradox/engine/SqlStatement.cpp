// The SQL statement form: a tokenizer, a parser for the one UPDATE form, and
// its executor. Grammar:
//
//   statement := UPDATE table [[AS] alias] SET column "=" literal [";"]
//   table     := 'name' | "name" | name
//   column    := [qualifier "."] (name | "name")
//   literal   := 'text' | "text" | [+|-] digits
//
// The executor first turns the literal into the field's stored bytes once,
// so that a value the field cannot hold fails before any record changes.
#include "paradox/engine/SqlStatement.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <vector>

#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/engine/OpenTable.h"
#include "paradox/family/TableFiles.h"

namespace remdo::paradox {

namespace {

enum class TTokenKind { kWord, kSingleQuoted, kDoubleQuoted, kNumber, kSymbol, kEnd };

struct TToken {
  TTokenKind kind = TTokenKind::kEnd;
  std::string text;
  std::size_t at = 0;  // offset in the statement
};

[[noreturn]] void SyntaxError(const TToken& token, std::string_view expected) {
  const std::string found = token.kind == TTokenKind::kEnd ? "the end of the statement" : "\"" + token.text + "\"";
  throw EngineError(kDbiErrQrySyntErr, "SQL statement: " + std::string(expected) + " expected at position " +
                                           std::to_string(token.at + 1) + ", found " + found);
}

bool IsWordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<TToken> Tokenize(std::string_view text) {
  std::vector<TToken> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    TToken token;
    token.at = i;
    if (c == '\'' || c == '"') {
      token.kind = c == '\'' ? TTokenKind::kSingleQuoted : TTokenKind::kDoubleQuoted;
      for (++i;; ++i) {
        if (i >= text.size()) {
          throw EngineError(kDbiErrQrySyntErr, "SQL statement: the quote at position " + std::to_string(token.at + 1) +
                                                   " is never closed");
        }
        if (text[i] == c && i + 1 < text.size() && text[i + 1] == c) {
          token.text.push_back(c);
          ++i;
        } else if (text[i] == c) {
          ++i;
          break;
        } else {
          token.text.push_back(text[i]);
        }
      }
    } else if (IsWordStart(c)) {
      token.kind = TTokenKind::kWord;
      while (i < text.size() && (IsWordStart(text[i]) || IsDigit(text[i]))) token.text.push_back(text[i++]);
    } else if (IsDigit(c) || ((c == '+' || c == '-') && i + 1 < text.size() && IsDigit(text[i + 1]))) {
      token.kind = TTokenKind::kNumber;
      token.text.push_back(text[i++]);
      while (i < text.size() && IsDigit(text[i])) token.text.push_back(text[i++]);
      if (i < text.size() && (IsWordStart(text[i]) || text[i] == '.')) {
        token.text.push_back(text[i]);
        token.at = i;
        SyntaxError(token, "a whole number");
      }
    } else {
      token.kind = TTokenKind::kSymbol;
      token.text.push_back(text[i++]);
    }
    tokens.push_back(std::move(token));
  }
  tokens.push_back({TTokenKind::kEnd, {}, text.size()});
  return tokens;
}

class TParser {
 public:
  explicit TParser(std::vector<TToken> tokens) : tokens_(std::move(tokens)) {}

  TSqlUpdate Statement() {
    TSqlUpdate update;
    if (!IsKeyword(Peek(), "UPDATE")) {
      throw EngineError(kDbiErrQryNiy,
                        "SQL statement: only UPDATE ... SET statements can be run, not \"" + Peek().text + "\"");
    }
    Take();
    const TToken& table = Take();
    if (table.kind != TTokenKind::kSingleQuoted && table.kind != TTokenKind::kDoubleQuoted &&
        table.kind != TTokenKind::kWord) {
      SyntaxError(table, "a table name");
    }
    update.tableName = table.text;
    if (IsKeyword(Peek(), "AS")) {
      Take();
      if (Peek().kind != TTokenKind::kWord) SyntaxError(Peek(), "an alias");
    }
    if (Peek().kind == TTokenKind::kWord && !IsKeyword(Peek(), "SET")) update.alias = Take().text;
    if (!IsKeyword(Take(), "SET")) SyntaxError(Previous(), "SET");
    Column(update);
    if (!IsSymbol(Take(), '=')) SyntaxError(Previous(), "\"=\"");
    update.value = Literal();
    if (IsSymbol(Peek(), ';')) Take();
    if (Peek().kind != TTokenKind::kEnd) SyntaxError(Peek(), "the end of the statement");
    return update;
  }

 private:
  const TToken& Peek() const { return tokens_[at_]; }
  const TToken& Previous() const { return tokens_[at_ - 1]; }
  const TToken& Take() { return tokens_[at_ < tokens_.size() - 1 ? at_++ : at_]; }
  static bool IsKeyword(const TToken& token, std::string_view word) {
    return token.kind == TTokenKind::kWord && env::SameText(token.text, word);
  }
  static bool IsSymbol(const TToken& token, char symbol) {
    return token.kind == TTokenKind::kSymbol && token.text.size() == 1 && token.text[0] == symbol;
  }

  void Column(TSqlUpdate& update) {
    const TToken& first = Take();
    if (first.kind != TTokenKind::kWord && first.kind != TTokenKind::kDoubleQuoted) SyntaxError(first, "a field name");
    if (!IsSymbol(Peek(), '.')) {
      update.fieldName = first.text;
      return;
    }
    Take();
    const TToken& field = Take();
    if (field.kind != TTokenKind::kWord && field.kind != TTokenKind::kDoubleQuoted) SyntaxError(field, "a field name");
    if (!env::SameText(first.text, update.alias.empty() ? update.tableName : update.alias)) {
      throw EngineError(kDbiErrNoSuchRelOrAlias, "SQL statement: \"" + first.text + "\" is not the table's alias");
    }
    update.fieldName = field.text;
  }

  TValue Literal() {
    const TToken& token = Take();
    if (token.kind == TTokenKind::kSingleQuoted || token.kind == TTokenKind::kDoubleQuoted) return TValue(token.text);
    if (token.kind != TTokenKind::kNumber) SyntaxError(token, "a string or a whole number");
    const std::string_view digits = token.text[0] == '+' ? std::string_view(token.text).substr(1) : token.text;
    long long value = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec != std::errc() || result.ptr != digits.data() + digits.size()) {
      throw EngineError(kDbiErrOutOfRange, "SQL statement: the number " + token.text + " is out of range");
    }
    return TValue(value);
  }

  std::vector<TToken> tokens_;
  std::size_t at_ = 0;
};

// Holds a table of the session for the statement and releases it (writing
// it when it changed and nobody else holds it).
class TTableHold {
 public:
  explicit TTableHold(const std::string& path) : table_(TEngineSession::Instance().AcquireTable(path, false)) {}
  ~TTableHold() {
    if (!released_) {
      try {
        TEngineSession::Instance().ReleaseTable(table_);
      } catch (const env::EDBEngineError&) {
      }
    }
  }
  TOpenTable& Table() { return table_; }
  void Release() {
    released_ = true;
    TEngineSession::Instance().ReleaseTable(table_);
  }

 private:
  TOpenTable& table_;
  bool released_ = false;
};

std::size_t FieldIndex(const TOpenTable& table, const TSqlUpdate& statement) {
  const auto& fields = table.Header().fields;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (env::SameText(fields[i].name, statement.fieldName)) return i;
  }
  throw EngineError(kDbiErrQxFldSymNotFound, "SQL statement: the table " + statement.tableName + " has no field \"" +
                                                 statement.fieldName + "\"");
}

// A key field changed in every record: the new records are checked for
// keys shared by two of them first, then the table is refilled.
void ReplaceAll(TOpenTable& table, std::vector<std::vector<std::byte>> records, const std::string& context) {
  std::set<std::vector<std::byte>> keys;
  for (const auto& record : records) {
    if (!keys.emplace(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(table.KeyWidth())).second) {
      throw EngineError(kDbiErrKeyViol, context);
    }
  }
  for (std::size_t n = table.Records().Count(); n > 0; --n) CheckEngineResult(table.Delete(n - 1), context);
  for (const auto& record : records) CheckEngineResult(table.Insert(record, table.RecordCount(), nullptr), context);
}

}  // namespace

TSqlUpdate ParseSqlStatement(std::string_view text) {
  std::vector<TToken> tokens = Tokenize(text);
  if (tokens.size() == 1 || (tokens.size() == 2 && tokens[0].text == ";")) {
    throw EngineError(kDbiErrQryEmpty, "SQL statement: there is nothing to run");
  }
  return TParser(std::move(tokens)).Statement();
}

std::size_t RunSqlUpdate(TDbConnection& database, const TSqlUpdate& statement) {
  const std::string context = "SQL statement on " + statement.tableName;
  if (statement.tableName.empty() || statement.tableName.find_first_of("\\/:") != std::string::npos) {
    throw EngineError(kDbiErrInvalidTableName, context + ": the table must be named without a folder");
  }
  TTableHold hold(TableDataPath(database.Folder(), statement.tableName));
  TOpenTable& table = hold.Table();
  const std::size_t index = FieldIndex(table, statement);
  const THeaderField& field = table.Header().fields[index];
  if (const std::uint16_t refusal = table.ChangeRefusal()) throw EngineError(refusal, context);
  const std::size_t offset = table.FieldOffset(index);
  const auto width = static_cast<std::size_t>(field.Width());
  // The stored bytes of the value; blob values are stored per record.
  std::vector<std::byte> bytes(width);
  std::vector<std::byte> blob;
  const bool isBlob = IsBlobType(field.type);
  if (isBlob) {
    if (statement.value.Kind() != TValue::TKind::kText) {
      throw EngineError(kDbiErrInvalidFldXform, context + ": field \"" + field.name + "\" takes text only");
    }
    const std::string text = TextToTable(statement.value.Text(), table.CodePage());
    blob.assign(reinterpret_cast<const std::byte*>(text.data()),
                reinterpret_cast<const std::byte*>(text.data()) + text.size());
  } else {
    SetFieldValue({field, bytes.data(), table.CodePage()}, statement.value);
  }
  TRecordStore& records = table.Records();
  const std::size_t count = records.Count();
  const bool keyField = index < static_cast<std::size_t>(table.Header().keyFieldCount);
  if (keyField && !table.CanOrderKeys()) {
    throw EngineError(kDbiErrNotSupported, context + ": the key order of the table's language driver is not known");
  }
  std::vector<std::vector<std::byte>> changed;
  for (std::size_t i = 0; i < count; ++i) {
    const auto current = records.At(i);
    std::vector<std::byte> record(current.begin(), current.end());
    if (isBlob) {
      (void)table.StoreBlob(std::span<std::byte>(record).subspan(offset, width),
                            *BlobKindOf(static_cast<std::uint8_t>(field.type)), blob);
    } else {
      std::copy(bytes.begin(), bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    if (keyField) {
      changed.push_back(std::move(record));
    } else {
      CheckEngineResult(table.Modify(i, record, nullptr), context);
    }
  }
  if (keyField) ReplaceAll(table, std::move(changed), context);
  hold.Release();
  return count;
}

std::uint16_t DbiQExecDirect(TDbHandle database, std::string_view text, std::uint32_t* rows) {
  if (!TEngineSession::Instance().Started()) return kDbiErrNotInitialized;
  if (database == nullptr) return kDbiErrInvalidHndl;
  try {
    const std::size_t changed = RunSqlUpdate(*database, ParseSqlStatement(text));
    if (rows != nullptr) *rows = static_cast<std::uint32_t>(changed);
  } catch (const env::EDBEngineError& error) {
    return error.Code();
  }
  return kDbiErrNone;
}

}  // namespace remdo::paradox
