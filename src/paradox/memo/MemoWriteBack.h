// The memo file editor's writes that have not reached the file yet, as runs
// of bytes by offset. Values written one after another go to the end of the
// file or into the shared block being filled, so they extend or overwrite a
// run or two, and reach the OS in a write per run and batch instead of one
// write per value.
#ifndef REMDO_PARADOX_MEMO_MEMOWRITEBACK_H_
#define REMDO_PARADOX_MEMO_MEMOWRITEBACK_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::paradox {

class TMemoWriteBack {
 public:
  // Past this many bytes a batch is written out, so that memory stays small.
  static constexpr std::size_t kBatchLimit = std::size_t{4} << 20;

  bool Empty() const { return runs_.empty(); }
  bool Full() const { return bytes_ >= kBatchLimit; }
  // Whether a read of length bytes at offset needs bytes of the batch.
  bool Covers(std::uint64_t offset, std::uint64_t length) const;
  // Fills out from the batch when one run holds all of it.
  bool CopyOut(std::uint64_t offset, std::span<std::byte> out) const;

  // Takes a write; a later write over the same bytes replaces them.
  void Take(std::uint64_t offset, std::span<const std::byte> data);
  // Writes the runs in the order of the file, so that a file that grows
  // grows without holes, and forgets them; on a failure the rest is kept.
  // The order of writes within a batch is not that of the Takes: a write
  // that must reach the file before another is written out on its own.
  void WriteTo(env::TFile& file);

 private:
  // Past this many bytes a run is given room for a whole batch.
  static constexpr std::size_t kLongRun = std::size_t{64} << 10;

  void GiveRoom(std::vector<std::byte>& run);

  std::map<std::uint64_t, std::vector<std::byte>> runs_;
  std::size_t bytes_ = 0;
  std::vector<std::byte> spare_;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_MEMOWRITEBACK_H_
