// A stream over a TFile with a position, in the manner of the class library's
// file stream: Read returns what it got, ReadBuffer and WriteBuffer raise the
// stream errors when they cannot do all of it.
#ifndef REMDO_ENV_FILESTREAM_H_
#define REMDO_ENV_FILESTREAM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "env/FileSystem.h"

namespace remdo::env {

enum class TSeekOrigin { kBegin, kCurrent, kEnd };

class TFileStream {
 public:
  // Opens path through fileSystem; throws EFOpenError or EFCreateError with a
  // message naming the file and the OS's reason.
  TFileStream(TFileSystem& fileSystem, std::string_view path, TOpenMode mode);
  explicit TFileStream(std::unique_ptr<TFile> file);

  // Reads up to out.size() bytes at the position and advances past them.
  std::size_t Read(std::span<std::byte> out);
  // Reads exactly out.size() bytes or throws EReadError "Stream read error".
  void ReadBuffer(std::span<std::byte> out);
  // Writes all of data at the position (EWriteError on failure).
  void WriteBuffer(std::span<const std::byte> data);

  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin);
  std::int64_t Position() const { return position_; }
  std::int64_t Size();

  TFile& File() { return *file_; }
  // Closes the file, reporting a failure (EWriteError). Does not force the
  // data to disk; File().Flush() does.
  void Close();

 private:
  std::unique_ptr<TFile> file_;
  std::int64_t position_ = 0;
};

}  // namespace remdo::env

#endif  // REMDO_ENV_FILESTREAM_H_
