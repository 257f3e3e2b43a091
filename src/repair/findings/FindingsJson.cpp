#include "repair/findings/FindingsJson.h"

#include <cstdio>

#include "env/Text.h"

namespace remdo::repair {

namespace {

// A JSON string of text held in the run log's code page.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : env::Cp1252ToUtf8(text)) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

class TJsonObject {
 public:
  TJsonObject& Field(const char* name, const std::string& raw) {
    text_ += (text_.empty() ? "{" : ", ") + Quoted(name) + ": " + raw;
    return *this;
  }
  TJsonObject& Text(const char* name, const std::string& value) { return Field(name, Quoted(value)); }
  TJsonObject& Number(const char* name, std::int64_t value) { return Field(name, std::to_string(value)); }
  std::string Close() const { return text_.empty() ? "{}" : text_ + "}"; }

 private:
  std::string text_;
};

std::string List(const std::vector<std::string>& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) out += (i > 0 ? ", " : "") + items[i];
  return out + "]";
}

std::string PlaceJson(const TPlace& place) {
  TJsonObject object;
  object.Text("text", place.text);
  if (place.block >= 0) object.Number("block", place.block);
  if (place.slot >= 0) object.Number("slot", place.slot);
  return object.Close();
}

std::string FindingJson(const std::string& table, const TFinding& finding) {
  const TFindingKind& kind = finding.Kind();
  TJsonObject object;
  object.Text("type", "finding").Text("table", table).Text("file", finding.file);
  object.Number("code", static_cast<std::int64_t>(kind.code)).Text("name", std::string(kind.name));
  object.Text("area", std::string(AreaName(kind.area))).Text("severity", std::string(SeverityName(kind.severity)));
  object.Text("effect", std::string(EffectName(kind.effect))).Text("text", FindingText(finding));
  if (finding.count) object.Number("count", *finding.count);
  std::vector<std::string> args;
  for (const std::string& arg : finding.args) args.push_back(Quoted(arg));
  object.Field("args", List(args));
  std::vector<std::string> examples;
  for (const TPlace& place : finding.examples) examples.push_back(PlaceJson(place));
  object.Field("examples", List(examples));
  object.Field("more_examples", finding.examplesLeftOut ? "true" : "false");
  return object.Close();
}

}  // namespace

std::string FindingsJson(const TFindingsReport& report) {
  std::vector<std::string> findings;
  std::vector<std::string> tables;
  for (const TTableReport& table : report.tables) {
    for (const TFinding& finding : table.findings) findings.push_back(FindingJson(table.table, finding));
    if (table.verdict.empty()) continue;
    TJsonObject outcome;
    outcome.Text("type", "table").Text("table", table.table).Text("verdict", table.verdict);
    outcome.Text("action", table.action).Number("findings", static_cast<std::int64_t>(table.findings.size()));
    tables.push_back(outcome.Close());
  }
  const auto lines = [](const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += std::string(i > 0 ? "," : "") + "\n    " + items[i];
    return out + (items.empty() ? "]" : "\n  ]");
  };
  TJsonObject document;
  document.Number("format", 1).Text("run", report.run).Text("data_folder", report.dataFolder);
  document.Text("started", report.started).Field("findings", lines(findings)).Field("tables", lines(tables));
  return document.Close() + "\n";
}

}  // namespace remdo::repair
