// A file held in memory: the platform file interface without an operating
// system, for tests and fuzz targets that hand readers a file built from
// bytes. It behaves like a disk file that never fails.
#ifndef REMDO_ENV_MEMORYFILE_H_
#define REMDO_ENV_MEMORYFILE_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::env {

class TMemoryFile final : public TFile {
 public:
  explicit TMemoryFile(std::vector<std::byte> bytes = {}, std::string path = "memory");
  TMemoryFile(std::span<const std::byte> bytes, std::string path);

  const std::string& Path() const override { return path_; }
  // Reads what lies at offset; nothing beyond the end. Never throws.
  std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override;
  // Writes at offset, extending with zero bytes when offset is past the end.
  void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override;
  std::uint64_t Size() override { return bytes_.size(); }
  void Truncate(std::uint64_t size) override;
  void Flush() override {}
  void Close() override {}

  const std::vector<std::byte>& Bytes() const { return bytes_; }

 private:
  std::vector<std::byte> bytes_;
  std::string path_;
};

}  // namespace remdo::env

#endif  // REMDO_ENV_MEMORYFILE_H_
