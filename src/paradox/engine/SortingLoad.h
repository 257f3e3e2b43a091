// Records loaded into an empty keyed table in no particular key order. They
// are gathered in runs of about 8 MiB; each full run is sorted and written
// to a scratch file beside the table, and all runs are merged in one pass
// when the table is written (or read back into memory). The load holds
// little memory whatever its size, and every record is copied in memory
// only within its run.
//
// Key violations are answered at once: within the current run (at most
// 65535 records) by a hash small enough to stay in the processor's cache,
// against earlier runs by a Bloom filter over every key and, when the
// filter cannot rule a key out, a binary search of each run's sorted keys.
// Keys compare in their key order (KeyOrder.h); equal keys are equal bytes,
// so the hash and the filter work on the bytes.
#ifndef REMDO_PARADOX_ENGINE_SORTINGLOAD_H_
#define REMDO_PARADOX_ENGINE_SORTINGLOAD_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/index/KeyOrder.h"

namespace remdo::paradox {

class TSortingLoad {
 public:
  static constexpr std::size_t kDefaultRunBytes = 8 << 20;

  // scratchPath: a file of the load's own, created on the first spilled run
  // and removed by the destructor. runBytes: the size of a run.
  TSortingLoad(env::TFileSystem& fileSystem, std::string scratchPath, std::size_t recordSize, TKeyOrder order,
               std::size_t runBytes = kDefaultRunBytes);
  // Keys of keyWidth bytes ordered as bytes.
  TSortingLoad(env::TFileSystem& fileSystem, std::string scratchPath, std::size_t recordSize, std::size_t keyWidth,
               std::size_t runBytes = kDefaultRunBytes);
  ~TSortingLoad();
  TSortingLoad(const TSortingLoad&) = delete;
  TSortingLoad& operator=(const TSortingLoad&) = delete;

  std::size_t Count() const { return count_; }

  // Adds a record; false (nothing added) when its key is present. Throws the
  // scratch file's errors.
  bool Add(std::span<const std::byte> record);

  // Hands every record to emit, in key order. Throws the scratch file's
  // errors. The load is spent afterwards.
  void Merge(const std::function<void(std::span<const std::byte>)>& emit);

 private:
  struct TRun {
    std::uint64_t offset = 0;     // in the scratch file
    std::size_t count = 0;
    std::vector<std::byte> keys;  // sorted, keyWidth bytes each
  };

  const std::byte* RunRecord(std::size_t i) const { return run_.data() + i * recordSize_; }
  std::uint64_t Hash(const std::byte* key) const;
  bool InRunHash(const std::byte* key, std::uint64_t hash, std::size_t& bucket) const;
  bool InSpilledRuns(const std::byte* key) const;
  void BloomAdd(std::uint64_t hash);
  bool BloomMayContain(std::uint64_t hash) const;
  void GrowBloom();
  std::vector<std::uint32_t> SortedRunOrder() const;
  void Spill();

  env::TFileSystem& fileSystem_;
  const std::string scratchPath_;
  const std::size_t recordSize_;
  const TKeyOrder order_;
  const std::size_t keyWidth_;
  const std::size_t runCapacity_;
  std::unique_ptr<env::TFile> scratch_;
  std::uint64_t scratchEnd_ = 0;
  std::vector<TRun> runs_;
  std::vector<std::byte> run_;             // the current run's records
  std::size_t inRun_ = 0;
  std::vector<std::uint32_t> runHash_;     // 16 hash bits << 16 | record index + 1; 0 empty
  std::vector<std::uint64_t> bloom_;
  std::size_t bloomCapacity_ = 0;          // keys the filter is sized for
  std::size_t count_ = 0;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_SORTINGLOAD_H_
