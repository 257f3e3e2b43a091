#include "repair/findings/Finding.h"

#include <cstdlib>

#include "repair/Helpers.h"

namespace remdo::repair {

namespace {

constexpr std::string_view kDamagePrefix = "  -- ";
constexpr std::string_view kDetailPrefix = "    ";
// Examples of a table line, each on a line of its own under it.
constexpr std::string_view kExamplePrefix = "     ";

std::string_view Prefix(const TFindingKind& kind) {
  return kind.severity == TSeverity::kDamage ? kDamagePrefix : kDetailPrefix;
}

}  // namespace

std::string CountOf(std::int64_t n, std::string_view word) {
  return std::to_string(n) + " " + std::string(word) + std::string(PluralSuffix(n));
}

TFinding MakeFinding(TFindingCode code, std::vector<std::string> args) {
  TFinding finding;
  finding.code = code;
  finding.args = std::move(args);
  return finding;
}

std::string FindingText(const TFinding& finding) {
  const std::string_view text = finding.Kind().text;
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t close = text[i] == '{' ? text.find('}', i) : std::string_view::npos;
    if (close == std::string_view::npos) {
      out += text[i];
      continue;
    }
    // "{0}" or "{0:word}": one digit names the argument (the kinds test
    // keeps them so); a count argument is always a number.
    const std::string_view field = text.substr(i + 1, close - i - 1);
    const std::size_t colon = field.find(':');
    const auto index = static_cast<std::size_t>(field[0] - '0');
    const std::string arg = index < finding.args.size() ? finding.args[index] : std::string();
    out += colon == std::string_view::npos ? arg
                                           : CountOf(std::strtoll(arg.c_str(), nullptr, 10), field.substr(colon + 1));
    i = close;
  }
  return out;
}

std::vector<std::string> FindingLines(const TFinding& finding) {
  const TFindingKind& kind = finding.Kind();
  std::string line = std::string(Prefix(kind));
  if (kind.form == TFindingForm::kTableLine) {
    std::vector<std::string> lines = {line + FindingText(finding)};
    for (const TPlace& example : finding.examples) lines.push_back(std::string(kExamplePrefix) + example.text);
    if (finding.examplesLeftOut && finding.count) {
      const auto more = *finding.count - static_cast<std::int64_t>(finding.examples.size());
      lines.push_back(std::string(kExamplePrefix) + "and " + std::to_string(more) + " more");
    }
    return lines;
  }
  line += finding.file + ": " + FindingText(finding);
  if (finding.count) line += ": " + std::to_string(*finding.count);
  if (!finding.examples.empty()) {
    line += " (";
    for (std::size_t i = 0; i < finding.examples.size(); ++i) line += (i > 0 ? ", " : "") + finding.examples[i].text;
    line += finding.examplesLeftOut ? ", ...)" : ")";
  }
  return {line};
}

std::vector<std::string> FindingLines(const std::vector<TFinding>& findings) {
  std::vector<std::string> lines;
  for (const TFinding& finding : findings) {
    auto more = FindingLines(finding);
    lines.insert(lines.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  }
  return lines;
}

std::string FindingLine(TFindingCode code, std::vector<std::string> args) {
  return FindingLines(MakeFinding(code, std::move(args))).front();
}

}  // namespace remdo::repair
