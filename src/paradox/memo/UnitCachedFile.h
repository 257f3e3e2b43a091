// A memo file opened for reading, with the last two 4096-byte units it read
// kept in memory. Finding a value reads its block's header or entry table
// and then the value, which mostly lie in the same unit, and the values of
// a shared block are read one after another, between those of single-value
// blocks: so most values cost one read of the OS instead of two. Only for
// files that nobody writes while they are open this way.
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
  explicit TUnitCachedFile(std::unique_ptr<env::TFile> file) : file_(std::move(file)) {}

  const std::string& Path() const override { return file_->Path(); }
  // Reads inside one unit come from the kept unit; others go to the file.
  std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override;
  void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override;
  std::uint64_t Size() override { return file_->Size(); }
  void Truncate(std::uint64_t size) override;
  void Flush() override { file_->Flush(); }
  void Close() override { file_->Close(); }

 private:
  static constexpr std::uint64_t kNone = ~std::uint64_t{0};
  struct TUnit {
    std::uint64_t offset = kNone;
    std::size_t length = 0;  // short at the end of the file
    std::array<std::byte, memo::kUnit> bytes{};
  };

  TUnit& UnitAt(std::uint64_t offset);
  void Forget() { units_[0].offset = units_[1].offset = kNone; }

  std::unique_ptr<env::TFile> file_;
  std::array<TUnit, 2> units_;
  std::size_t older_ = 0;  // the one a new unit replaces
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_UNITCACHEDFILE_H_
