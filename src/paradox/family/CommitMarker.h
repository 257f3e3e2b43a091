// The text of a family commit's marker (<table>.commit) and the rule for the
// file names it may name. The marker is read back after a crash, so its
// names are input like any file's bytes: a damaged or foreign marker must
// never make a settlement rename or delete a file outside the table's own
// files in the data folder.
#ifndef REMDO_PARADOX_FAMILY_COMMITMARKER_H_
#define REMDO_PARADOX_FAMILY_COMMITMARKER_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace remdo::paradox {

inline constexpr std::string_view kMarkerExtension = ".commit";
// The family of the scratch table that a repair's swap adopts files from.
inline constexpr std::string_view kScratchFamily = "temptbl1";
// The folder inside the data folder where a repair keeps files it moves
// out of the way.
inline constexpr std::string_view kRejectedFolder = "Rejected";

struct TMarkerLine {
  std::string name;
  bool hasNew = false;
  bool goesAside = false;
  std::string source;  // an adopted file; empty: name + ".new"
};

std::string EncodeMarker(const std::vector<TMarkerLine>& lines);

// The lines of a whole marker; nothing when the text is not one (cut short
// by a crash, or damaged). Never throws.
std::optional<std::vector<TMarkerLine>> DecodeMarker(std::string_view text);

// Why a decoded line of tableName's marker may not be acted on, or an empty
// text when it may. A final name must be a file of tableName's family or a
// file under the data folder's Rejected folder; a source may also be a file
// of the scratch family. Names are relative: no drive, no root, no empty,
// "." or ".." component, nothing Windows would trim or refuse in a name.
std::string RefusedMarkerName(const TMarkerLine& line, std::string_view tableName);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FAMILY_COMMITMARKER_H_
