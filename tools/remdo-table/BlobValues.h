// The whole values of a table's blob fields (memo, binary, formatted memo,
// OLE, graphic) for remdo-table's dump: short values from the record alone,
// the others from the table's memo file (.MB), found beside the data file
// without regard to case and opened once, on the first value that needs it.
//
// A value that cannot be read (the memo file is missing, is no memo file,
// or the record's reference does not match what the file holds) gives the
// reason instead, and is counted; the other values and fields are read on.
#ifndef REMDO_TOOLS_REMDO_TABLE_BLOBVALUES_H_
#define REMDO_TOOLS_REMDO_TABLE_BLOBVALUES_H_

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::tools {

class TBlobValues {
 public:
  // The values of the table whose data file is dataPath.
  TBlobValues(env::TFileSystem& fileSystem, std::string dataPath);
  // The values of a table whose memo file is already open (null: the table
  // has none).
  explicit TBlobValues(std::unique_ptr<env::TFile> memoFile);
  ~TBlobValues();
  TBlobValues(const TBlobValues&) = delete;
  TBlobValues& operator=(const TBlobValues&) = delete;

  // The whole value of a blob field's bytes (leader and reference, as in the
  // record): empty for a blank field. Nothing when it cannot be read; then
  // problem holds why (Windows-1252, naming the memo file). Throws only
  // std::bad_alloc.
  std::optional<std::vector<std::byte>> Read(std::span<const std::byte> field, std::string& problem);

  // Values asked for that were not blank, and those that could not be read.
  std::size_t ValuesRead() const { return valuesRead_; }
  std::size_t Unreadable() const { return unreadable_; }

 private:
  env::TFile& MemoFile();
  void OpenMemoFile();

  env::TFileSystem* fileSystem_ = nullptr;
  std::string dataPath_;
  std::string memoPath_;
  std::unique_ptr<env::TFile> file_;
  std::uint64_t size_ = 0;
  bool opened_ = false;
  // Why the memo file as a whole cannot be read, once that is known.
  std::exception_ptr fileProblem_;
  std::size_t valuesRead_ = 0;
  std::size_t unreadable_ = 0;
};

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_REMDO_TABLE_BLOBVALUES_H_
