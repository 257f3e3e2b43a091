// Blob streams: the value lives in memory for the stream's life; values are
// at most a few megabytes (the memo file's limit is far higher, but the
// catalogue's memos are short texts).
#include "paradox/components/BlobStream.h"

#include <algorithm>

#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/components/Field.h"

namespace remdo::paradox {

TBlobStream::TBlobStream(TField& field, TBlobStreamMode mode) : field_(field), mode_(mode) {
  if (!field.IsBlob()) throw EngineError(kDbiErrNotABlob, "Field \"" + field.FieldName() + "\" is not a blob field");
  if (mode == TBlobStreamMode::kWrite) {
    field.SetAsBytes(std::span<const std::byte>());
  } else {
    value_ = field.AsBytes();
    if (mode == TBlobStreamMode::kReadWrite) field.SetAsBytes(value_);
  }
}

void TBlobStream::Seek(std::size_t offset) { position_ = std::min(offset, value_.size()); }

std::size_t TBlobStream::Read(std::span<std::byte> out) {
  const std::size_t n = std::min(out.size(), value_.size() - position_);
  std::copy_n(value_.begin() + static_cast<std::ptrdiff_t>(position_), n, out.begin());
  position_ += n;
  return n;
}

void TBlobStream::Write(std::span<const std::byte> data) {
  if (mode_ == TBlobStreamMode::kRead) {
    throw EngineError(kDbiErrInvalidMode,
                      "The blob stream of field \"" + field_.FieldName() + "\" is open for reading");
  }
  if (position_ + data.size() > value_.size()) value_.resize(position_ + data.size());
  std::copy(data.begin(), data.end(), value_.begin() + static_cast<std::ptrdiff_t>(position_));
  position_ += data.size();
  field_.SetAsBytes(value_);
}

void TBlobStream::Truncate() {
  if (mode_ == TBlobStreamMode::kRead) {
    throw EngineError(kDbiErrInvalidMode,
                      "The blob stream of field \"" + field_.FieldName() + "\" is open for reading");
  }
  value_.resize(position_);
  field_.SetAsBytes(value_);
}

}  // namespace remdo::paradox
