// Parses remdo-damage's words into a kind and TDamageOptions and prints the
// report.
#include "damage/DamageCommand.h"

#include <exception>
#include <stdexcept>

#include "damage/Damage.h"
#include "env/Text.h"

namespace remdo::tools {

namespace {

constexpr const char* kUsage =
    "usage: remdo-damage KIND TABLE.db [--seed N] [--block B] [--record R] [--amount N]\n"
    "                    [--field F] [--source FILE]\n"
    "       remdo-damage --list\n"
    "memo kinds damage the table's .mb: memo-flipped-bytes, memo-zeroed-unit, memo-truncated,\n"
    "memo-header, memo-descriptor, memo-deleted (--block names the 4 KiB unit, --amount the\n"
    "bytes flipped, --record and --field the reference spoilt)\n";

std::int64_t ParseWhole(const std::string& word, const std::string& option) {
  if (word.empty() || word.size() > 18 || word.find_first_not_of("0123456789") != std::string::npos) {
    throw std::invalid_argument(option + " wants a whole number, not \"" + word + "\"");
  }
  return std::stoll(word);
}

struct TDamageCall {
  TDamageKind kind = TDamageKind::kTruncatedFile;
  std::string path;
  TDamageOptions options;
};

TDamageCall ParseDamageCall(const std::vector<std::string>& words) {
  if (words.size() < 2) throw std::invalid_argument("a kind and a table are wanted");
  TDamageCall call;
  const auto kind = DamageKindFromName(words[0]);
  if (!kind) throw std::invalid_argument("unknown damage kind " + words[0] + " (see --list)");
  call.kind = *kind;
  call.path = words[1];
  for (std::size_t i = 2; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (i + 1 >= words.size()) throw std::invalid_argument(word + " wants a value");
    const std::string& value = words[++i];
    if (word == "--seed") {
      call.options.seed = static_cast<std::uint64_t>(ParseWhole(value, word));
    } else if (word == "--block") {
      call.options.block = ParseWhole(value, word);
    } else if (word == "--record") {
      call.options.record = ParseWhole(value, word);
    } else if (word == "--amount") {
      call.options.amount = ParseWhole(value, word);
    } else if (word == "--field") {
      call.options.field = static_cast<int>(ParseWhole(value, word));
    } else if (word == "--source") {
      call.options.source = value;
    } else {
      throw std::invalid_argument("unknown option " + word);
    }
  }
  return call;
}

}  // namespace

int RunDamage(const std::vector<std::string>& words, std::ostream& out, std::ostream& err,
              env::TFileSystem& fileSystem) {
  if (words.size() == 1 && words[0] == "--list") {
    for (const TDamageKind kind : AllDamageKinds()) out << DamageKindName(kind) << "\n";
    return 0;
  }
  TDamageCall call;
  try {
    call = ParseDamageCall(words);
  } catch (const std::invalid_argument& e) {
    err << "remdo-damage: " << e.what() << "\n" << kUsage;
    return 2;
  }
  try {
    out << env::Cp1252ToUtf8(FormatDamageReport(Damage(call.kind, call.path, call.options, fileSystem)));
    return 0;
  } catch (const std::exception& e) {
    err << "remdo-damage: " << env::Cp1252ToUtf8(e.what()) << "\n";
    return 1;
  }
}

}  // namespace remdo::tools
