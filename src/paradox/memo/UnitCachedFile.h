// A memo file opened for reading, with the stretches of the file it last
// read kept in memory. Finding a value reads its block's header or entry
// table and then the value, which mostly lie in the same unit, and the
// values of a shared block are read one after another: so most values cost
// no read of the OS at all, or one instead of two.
//
// A stretch is one 4096-byte unit while reads land far apart; while each
// read that misses lands near the one before (values read in about the
// order the file holds them, as a table's values mostly are), the stretch
// doubles up to kLongest, so that the file is read in a few long reads
// instead of a unit at a time. Only for files that nobody writes while they
// are open this way.
#ifndef REMDO_PARADOX_MEMO_UNITCACHEDFILE_H_
#define REMDO_PARADOX_MEMO_UNITCACHEDFILE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "env/FileSystem.h"
#include "paradox/format/MemoFormat.h"

namespace remdo::paradox {

class TUnitCachedFile final : public env::TFile {
 public:
  // The longest stretch read at once, and how many stretches are kept.
  static constexpr std::uint64_t kLongest = std::uint64_t{16} * memo::kUnit;
  static constexpr std::size_t kKept = 8;

  explicit TUnitCachedFile(std::unique_ptr<env::TFile> file) : file_(std::move(file)) {}

  const std::string& Path() const override { return file_->Path(); }
  // Reads inside one stretch come from the kept stretch; others go to the
  // file.
  std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override;
  void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override;
  std::uint64_t Size() override { return file_->Size(); }
  void Truncate(std::uint64_t size) override;
  void Flush() override { file_->Flush(); }
  void Close() override { file_->Close(); }

 private:
  static constexpr std::uint64_t kNone = ~std::uint64_t{0};
  struct TStretch {
    std::uint64_t offset = kNone;
    std::uint64_t span = 0;  // the file's bytes it stands for
    std::size_t length = 0;  // short at the end of the file
    std::uint64_t used = 0;  // when it was last read from
    std::unique_ptr<std::byte[]> bytes;
  };

  // The kept stretch that holds offset, if any.
  TStretch* Find(std::uint64_t offset);
  // Reads the stretch that holds the unit at unitOffset into the stretch
  // used least lately.
  TStretch& Load(std::uint64_t unitOffset);
  void Forget();

  std::unique_ptr<env::TFile> file_;
  std::array<TStretch, kKept> kept_;
  std::uint64_t clock_ = 0;
  std::uint64_t stretch_ = memo::kUnit;  // the length of the next read
  std::uint64_t lastMiss_ = kNone;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_UNITCACHEDFILE_H_
