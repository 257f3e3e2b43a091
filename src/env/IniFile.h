// Plain ini files as the catalogue application keeps its settings: sections
// in brackets, "key=value" lines. Names compare without regard to case;
// values are read with surrounding blanks and one pair of matching quotes
// removed. A write changes or adds only its own key and keeps every other
// line, comment and blank line as it was.
//
// The file is read afresh for every call. A write goes to a temporary file
// beside it that then replaces the file, so a failure never leaves half a
// settings file.
#ifndef REMDO_ENV_INIFILE_H_
#define REMDO_ENV_INIFILE_H_

#include <string>
#include <string_view>

#include "env/FileSystem.h"

namespace remdo::env {

class TIniFile {
 public:
  TIniFile(TFileSystem& fileSystem, std::string path) : fileSystem_(fileSystem), path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  // The value, or fallback when the file, the section or the key is missing
  // or the file cannot be read.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // "0" is false and any other whole number true; anything else is fallback.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  // Sets the key, adding the section and the key when missing and creating
  // the file when it does not exist. Throws EWriteError "Unable to write to
  // <file>" with the OS's reason when the file cannot be written (a
  // read-only file, a protected folder).
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Writes "1" or "0".
  void WriteBool(std::string_view section, std::string_view key, bool value);

 private:
  TFileSystem& fileSystem_;
  const std::string path_;
};

}  // namespace remdo::env

#endif  // REMDO_ENV_INIFILE_H_
