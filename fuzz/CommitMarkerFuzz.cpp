// Fuzz target for the commit-marker reader: any bytes as the marker of table
// "T" in a data folder. A marker that decodes must encode to a text that
// decodes to the same lines. Its settlement runs in a data folder inside a
// guard folder that holds a file beside the data folder and another table's
// file in it: whatever the marker says, those must stay as they are, and a
// refused marker must leave every file of the data folder as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzFolder.h"
#include "env/Errors.h"
#include "paradox/family/FamilyCommit.h"

namespace {

using remdo::fuzz::TFuzzFolder;
using remdo::paradox::TMarkerLine;

bool SameLines(const std::vector<TMarkerLine>& a, const std::vector<TMarkerLine>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].hasNew != b[i].hasNew || a[i].goesAside != b[i].goesAside ||
        a[i].source != b[i].source) {
      return false;
    }
  }
  return true;
}

std::span<const std::byte> Bytes(std::string_view text) { return std::as_bytes(std::span(text)); }

// The names of the data folder with their sizes.
std::map<std::string, std::uint64_t> Listing(const std::string& folder) {
  std::map<std::string, std::uint64_t> files;
  for (const auto& entry : remdo::env::RealFileSystem().Find(folder + "*", remdo::env::attr::kAnyFile)) {
    files[entry.name] = entry.size;
  }
  return files;
}

// Lays out files the lines name, as a crash could leave them: a line's
// final, temporary and aside files by the bits of the marker's first bytes.
void LayOut(const std::vector<TMarkerLine>& lines, std::string_view text) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const unsigned bits = i < text.size() ? static_cast<unsigned char>(text[i]) : 0xFF;
    const TMarkerLine& line = lines[i];
    if (line.name.find_first_of("\\/") != std::string::npos) continue;  // no subfolders
    const std::string newName = line.source.empty() ? line.name + ".new" : line.source;
    for (const auto& [bit, name] :
         {std::pair{1u, line.name}, std::pair{2u, newName}, std::pair{4u, line.name + ".old"}}) {
      if ((bits & bit) == 0 || name.find_first_of("\\/") != std::string::npos) continue;
      TFuzzFolder::Write("data/" + name, Bytes(name));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto lines = remdo::paradox::DecodeMarker(text);
  if (!lines) return 0;
  const auto again = remdo::paradox::DecodeMarker(remdo::paradox::EncodeMarker(*lines));
  if (!again || !SameLines(*again, *lines)) std::abort();
  bool refused = false;
  for (const auto& line : *lines) refused = refused || !remdo::paradox::RefusedMarkerName(line, "T").empty();

  TFuzzFolder::Clear();
  const std::string folder = TFuzzFolder::Path() + "data/";
  auto& fs = remdo::env::RealFileSystem();
  if (!fs.MakeFolder(folder)) return 0;
  TFuzzFolder::Write("guard.txt", Bytes("guard"));
  TFuzzFolder::Write("data/Other.db", Bytes("other"));
  try {
    LayOut(*lines, text);
  } catch (const remdo::env::ERemdoError&) {
    return 0;  // a name the file system refuses
  }
  TFuzzFolder::Write("data/T.commit", Bytes(text));
  const auto before = Listing(folder);
  std::vector<std::string> warnings;
  const auto outcome = remdo::paradox::SettleFamilyCommit(fs, folder, "T", warnings);
  if (refused != (outcome == remdo::paradox::TSettleOutcome::kRefused)) std::abort();
  if (refused && Listing(folder) != before) std::abort();
  if (!fs.FileExists(TFuzzFolder::Path() + "guard.txt") || !fs.FileExists(folder + "Other.db")) std::abort();
  return 0;
}
