// Names and messages for the engine's 16-bit result codes. The engine knows
// 535 codes in 22 categories (a category base such as 0x2600 plus a small
// number); each has a symbolic name, letter for letter the engine's own
// ("KEYVIOL" for 9729). Lookup is by exact code: a code that is not in the
// table, even one between two listed codes of a category or a category base
// itself, has no name and is shown by its decimal number. 0 is success.
// Named constants for the codes the program uses are in paradox/EngineCodes.h.
#ifndef REMDO_PARADOX_CODES_ENGINEERRORS_H_
#define REMDO_PARADOX_CODES_ENGINEERRORS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "env/Errors.h"

namespace remdo::paradox {

// One entry of the engine's error table.
struct TEngineErrorEntry {
  std::uint16_t code;
  std::string_view name;  // without the "DBIERR_" prefix
};

// The whole table, sorted by code (strictly ascending), 535 entries.
std::span<const TEngineErrorEntry> EngineErrorTable();

// The listed name of a code, or nothing (0 and unlisted codes).
std::optional<std::string_view> FindEngineErrorName(std::uint16_t code);

// The code's name for the run log: "OK" for 0, the listed name ("KEYVIOL"),
// otherwise "#" and the code in decimal ("#1234").
std::string EngineErrorName(std::uint16_t code);

// Shows the code in a message box through env::ShowInfoBox, caption "Error",
// OK button, no icon, and waits until it is closed. The text is
// "Error: DBIERR_" and the name for a listed code, "Error: #" and the decimal
// code otherwise. For 0 nothing is shown.
void EngineErrorText(std::uint16_t code);

// A readable account of a code for error messages: plain words, name and
// number where the code has plain words ("key violation (DBIERR_KEYVIOL,
// 9729)"), else "engine error DBIERR_INVALIDFLDMAP (10066)", and
// "engine error #1234" for an unlisted code.
std::string EngineErrorDescription(std::uint16_t code);

// The error that stops a step on an engine failure: an EDBEngineError with
// the code and the message context + ": " + EngineErrorDescription(code),
// context naming what failed and on which table ("Creating temptbl1.db").
// An empty context gives the description alone, first letter upper-cased.
env::EDBEngineError EngineError(std::uint16_t code, std::string_view context);

// Throws EngineError(code, context) when code is not 0; returns otherwise.
// For calls whose failure must stop the step; answers (key violation, record
// not found) are checked by the caller instead.
void CheckEngineResult(std::uint16_t code, std::string_view context);

// Inside a catch block: rethrows an EDBEngineError as it is, and any other
// ERemdoError (a failure of the OS) as EngineError(code, context + ". " +
// its text), so that the engine's callers see engine errors only.
[[noreturn]] void RethrowAsEngineError(std::uint16_t code, const std::string& context);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_CODES_ENGINEERRORS_H_
