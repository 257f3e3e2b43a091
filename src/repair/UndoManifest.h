// The manifest of a repair run, Rejected\<run>\undo.txt: what the run did
// to the files of the data folder (and to the catalogue's settings files
// outside it), so that an undo can put every file back.
//
// Plain text, Windows-1252, CR LF line ends, after a title line one line
// per fact, fields separated by '|' (a character no file name holds):
//   <kind>|<path>|<kept at>|<size before>|<time before>|<attributes before>|<size after>|<time after>
// Kinds: "listed" (a file found at the run's start, with its before
// values), "kept" (its old content is kept at <kept at>), "created" (not
// there at the run's start), "changed" (only attributes or time differ),
// "undone" (<path> is a table group that an undo has put back). The after
// values are written by the run's end; size -1 says the file is gone. Paths are
// relative to the data folder, or full for a file outside it; <kept at> is
// relative to the data folder. Empty fields stay empty.
//
// Lines are appended and flushed as the run goes, so that the manifest is
// right after a crash too; the end of the run rewrites it to one line per
// file that changed. A reader merges the lines of each path, whichever
// form it finds.
#ifndef REMDO_REPAIR_UNDOMANIFEST_H_
#define REMDO_REPAIR_UNDOMANIFEST_H_

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::repair {

inline constexpr std::string_view kManifestName = "undo.txt";
inline constexpr std::string_view kBeforeFolder = "Before";

// A file's state as the manifest records it; size -1: no file.
struct TFileState {
  std::int64_t size = -1;
  std::int64_t time = 0;
  std::uint32_t attributes = 0;
  bool operator==(const TFileState&) const = default;
};

struct TManifestEntry {
  std::string path;
  std::string keptAt;  // empty: no copy of the old content
  bool created = false;
  std::optional<TFileState> before;  // nothing: not there at the start
  std::optional<TFileState> after;   // nothing: the run did not end
};

struct TManifest {
  std::map<std::string, TManifestEntry> entries;  // by upper-cased path
  std::set<std::string> undone;                   // upper-cased group names
};

// The state of a file now, through fileSystem; size -1 when missing.
TFileState StateOf(env::TFileSystem& fileSystem, std::string_view path);

// Reads the manifest at path; nothing when it cannot be read.
std::optional<TManifest> ReadManifest(env::TFileSystem& fileSystem, std::string_view path);

// Appends lines to a manifest, each flushed before the call returns but the
// lines of files kept in Before\ under their own path, which wait for the
// next Flush (the undo finds such a file by its path even without its
// line): a flush per kept file would cost a repair run more than all the
// keeping.
class TManifestWriter {
 public:
  // Opens path for appending, creating it with its title line when missing.
  // Throws env::ERemdoError kinds.
  TManifestWriter(env::TFileSystem& fileSystem, std::string path);
  // The files found at the run's start, in one write.
  void Listed(const std::vector<std::string>& paths, const std::vector<TFileState>& before);
  // flush false: the line waits for the next Flush or other line.
  void Kept(std::string_view path, std::string_view keptAt, const std::optional<TFileState>& before, bool flush = true);
  void Flush();
  // Sets the manifest's time to now: the run's latest commit, which an undo
  // of a run that never ended takes as the run's end.
  void Touch();
  void Undone(std::string_view group);
  // Replaces the manifest with one line per changed file of manifest, by a
  // flushed temporary file renamed over it.
  void Rewrite(const TManifest& manifest);
  void Close();

 private:
  void Append(std::string_view line, bool flush = true);

  env::TFileSystem& fileSystem_;
  std::string path_;
  std::unique_ptr<env::TFile> file_;
  std::uint64_t size_ = 0;
  bool pending_ = false;  // lines written but not flushed
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_UNDOMANIFEST_H_
