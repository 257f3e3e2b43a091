// Records loaded into an empty keyed table in no particular key order. They
// are gathered in runs of about 8 MiB. While the load stays under a bound
// (128 MiB) its full runs are kept in memory as they came, and the merge
// sorts every record at once. Past the bound each run is sorted and written
// to a scratch file beside the table (the kept ones first), and all runs
// are merged in one pass when the table is written (or read back into
// memory). A load of a million catalogue records never touches the disk
// twice, and a larger one holds a bounded amount of memory whatever its size.
//
// Key violations are answered at once: within each kept run (at most 65535
// records) by a hash small enough to stay in the processor's cache, across
// runs first by a Bloom filter over every key and, when the filter cannot
// rule a key out, the kept runs' hashes and a binary search of each spilled
// run's sorted keys. Keys compare in their key order (KeyOrder.h); equal keys
// are equal bytes, so the hashes and the filter work on the bytes.
//
// A fresh run's memory costs the kernel a page fault per page at its first
// touch. While the load stays in memory, the next run's memory is made ready
// on another thread once the current run is half full, so that the load
// itself does not wait for those faults. Runs are large buffers
// (env/LargeBuffer.h), backed by large pages where the system has them, so
// that there are few such faults to begin with.
#ifndef REMDO_PARADOX_ENGINE_SORTINGLOAD_H_
#define REMDO_PARADOX_ENGINE_SORTINGLOAD_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "env/LargeBuffer.h"
#include "paradox/index/KeyOrder.h"

namespace remdo::paradox {

class TSortingLoad {
 public:
  static constexpr std::size_t kDefaultRunBytes = 8 << 20;
  static constexpr std::size_t kDefaultKeptBytes = 128 << 20;

  // scratchPath: a file of the load's own, created when the load passes
  // keptBytes and removed by the destructor. runBytes: the size of a run.
  TSortingLoad(env::TFileSystem& fileSystem, std::string scratchPath, std::size_t recordSize, TKeyOrder order,
               std::size_t runBytes = kDefaultRunBytes, std::size_t keptBytes = kDefaultKeptBytes);
  // Keys of keyWidth bytes ordered as bytes.
  TSortingLoad(env::TFileSystem& fileSystem, std::string scratchPath, std::size_t recordSize, std::size_t keyWidth,
               std::size_t runBytes = kDefaultRunBytes, std::size_t keptBytes = kDefaultKeptBytes);
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
  // A full run: kept in memory as it came (records, and the hash of their
  // keys: 16 hash bits << 16 | record index + 1 per bucket, 0 for empty), or
  // spilled in key order (offset, keys).
  struct TRun {
    std::size_t count = 0;
    env::TLargeBuffer records;
    std::vector<std::uint32_t> hash;
    std::uint64_t offset = 0;           // in the scratch file
    std::unique_ptr<std::byte[]> keys;  // sorted, keyWidth bytes each
  };

  // The memory of a run being filled: its records and its hash, empty.
  struct TRunMemory {
    env::TLargeBuffer records;
    std::vector<std::uint32_t> hash;
  };

  TRunMemory NewRunMemory() const;
  void PrepareNextRun();
  std::uint64_t Hash(const std::byte* key) const;
  bool InHash(const std::vector<std::uint32_t>& buckets, const std::byte* records, const std::byte* key,
              std::uint64_t hash, std::size_t& bucket) const;
  bool InEarlierRuns(const std::byte* key, std::uint64_t hash) const;
  void BloomAdd(std::uint64_t hash);
  bool BloomMayContain(std::uint64_t hash) const;
  void GrowBloom();
  std::vector<const std::byte*> SortedOrder(const std::byte* records, std::size_t count) const;
  void Keep();
  void Spill(TRun& run);
  void MergeInMemory(const std::function<void(std::span<const std::byte>)>& emit);
  void MergeRuns(const std::function<void(std::span<const std::byte>)>& emit);

  env::TFileSystem& fileSystem_;
  const std::string scratchPath_;
  const std::size_t recordSize_;
  const TKeyOrder order_;
  const std::size_t keyWidth_;
  const std::size_t runCapacity_;
  const std::size_t keptRuns_;  // full runs kept in memory before spilling
  std::unique_ptr<env::TFile> scratch_;
  std::uint64_t scratchEnd_ = 0;
  std::vector<TRun> runs_;
  env::TLargeBuffer run_;  // the current run's records
  std::size_t inRun_ = 0;
  std::vector<std::uint32_t> runHash_;
  std::future<TRunMemory> nextRun_;  // made ready on another thread
  std::vector<std::uint64_t> bloom_;
  std::size_t bloomCapacity_ = 0;  // keys the filter is sized for
  std::size_t count_ = 0;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_SORTINGLOAD_H_
