// The version resource of a Windows program or library, read from the file
// itself (no OS call), so that both targets read it alike: the fixed file
// information of the first RT_VERSION resource of a PE32 or PE32+ file; and
// any other resource of such a file by type and id.
#ifndef REMDO_ENV_PEVERSION_H_
#define REMDO_ENV_PEVERSION_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::env {

// The fixed file information's version numbers.
struct TFileVersion {
  std::uint32_t fileVersionMS = 0;
  std::uint32_t fileVersionLS = 0;
  std::uint32_t productVersionMS = 0;
  std::uint32_t productVersionLS = 0;

  std::uint32_t Major() const { return fileVersionMS >> 16; }
  std::uint32_t Minor() const { return fileVersionMS & 0xFFFF; }
  std::uint32_t Release() const { return fileVersionLS >> 16; }
  std::uint32_t Build() const { return fileVersionLS & 0xFFFF; }
};

// Reads the version of the file at path. Nothing when the file cannot be
// opened or read, is not a PE file, has no version resource or a damaged
// one; never throws for the file's contents.
std::optional<TFileVersion> ReadFileVersion(TFileSystem& fileSystem, std::string_view path);

// The same for a file's bytes held in memory.
std::optional<TFileVersion> ParseFileVersion(std::span<const std::byte> image);

// The data of the resource of the given numeric type and id (RT_MANIFEST 24,
// id 1: the program's manifest) in its first language, from a file's bytes.
// Nothing when there is none or the file is damaged; data over 16 MiB is
// refused.
std::optional<std::vector<std::byte>> ParseResource(std::span<const std::byte> image, std::uint32_t type,
                                                    std::uint32_t id);

}  // namespace remdo::env

#endif  // REMDO_ENV_PEVERSION_H_
