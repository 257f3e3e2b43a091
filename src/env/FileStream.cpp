// Positioned stream over a TFile.
#include "env/FileStream.h"

#include "env/Errors.h"

namespace remdo::env {

TFileStream::TFileStream(TFileSystem& fileSystem, std::string_view path, TOpenMode mode)
    : file_(fileSystem.Open(path, mode)) {}

TFileStream::TFileStream(std::unique_ptr<TFile> file) : file_(std::move(file)) {}

std::size_t TFileStream::Read(std::span<std::byte> out) {
  if (out.empty() || position_ < 0) return 0;
  const std::size_t got = file_->ReadAt(static_cast<std::uint64_t>(position_), out);
  position_ += static_cast<std::int64_t>(got);
  return got;
}

void TFileStream::ReadBuffer(std::span<std::byte> out) {
  if (Read(out) != out.size()) throw EReadError("Stream read error");
}

void TFileStream::WriteBuffer(std::span<const std::byte> data) {
  if (data.empty()) return;
  file_->WriteAt(static_cast<std::uint64_t>(position_), data);
  position_ += static_cast<std::int64_t>(data.size());
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::kBegin: position_ = offset; break;
    case TSeekOrigin::kCurrent: position_ += offset; break;
    case TSeekOrigin::kEnd: position_ = Size() + offset; break;
  }
  return position_;
}

std::int64_t TFileStream::Size() { return static_cast<std::int64_t>(file_->Size()); }

void TFileStream::Close() {
  file_->Close();
}

}  // namespace remdo::env
