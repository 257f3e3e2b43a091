// A stream over the value of a blob field of a table component, as the
// class library's blob stream presents it: opened for reading, the value is
// read once and served from memory; opened for writing, the value starts
// empty and every write sets the field's new value, which the table stores
// in its memo file when the record is posted.
#ifndef REMDO_PARADOX_COMPONENTS_BLOBSTREAM_H_
#define REMDO_PARADOX_COMPONENTS_BLOBSTREAM_H_

#include <cstddef>
#include <span>
#include <vector>

namespace remdo::paradox {

class TField;

enum class TBlobStreamMode { kRead, kWrite, kReadWrite };

class TBlobStream {
 public:
  // Throws EDBEngineError: NOTABLOB for a field that is not a blob field,
  // INVALIDMODE for writing while the table is not being edited, and the
  // memo file's errors when the value is read (kRead, kReadWrite).
  TBlobStream(TField& field, TBlobStreamMode mode);

  std::size_t Size() const { return value_.size(); }
  std::size_t Position() const { return position_; }
  // Moves to an offset (at most Size()).
  void Seek(std::size_t offset);
  // Reads up to out.size() bytes from the position; returns how many.
  std::size_t Read(std::span<std::byte> out);
  // The whole value.
  const std::vector<std::byte>& Bytes() const { return value_; }
  // Writes at the position, growing the value, and sets it on the field.
  // Throws EDBEngineError INVALIDMODE for a stream opened for reading.
  void Write(std::span<const std::byte> data);
  // Cuts the value at the position.
  void Truncate();

 private:
  TField& field_;
  const TBlobStreamMode mode_;
  std::vector<std::byte> value_;
  std::size_t position_ = 0;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_COMPONENTS_BLOBSTREAM_H_
