// A bulk load into an empty table (see OpenTable.h). Records inserted in key
// order (at the end, for a table without key) stream straight into the new
// data file of a pending family write; once a key arrives out of order the
// load goes on as a sorting load (SortingLoad.h), which first takes back
// what was streamed. The table either finishes the load as its new family
// or reads it back into memory and drops the pending write.
#ifndef REMDO_PARADOX_ENGINE_BULKLOAD_H_
#define REMDO_PARADOX_ENGINE_BULKLOAD_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/engine/SortingLoad.h"
#include "paradox/index/KeyOrder.h"

namespace remdo::paradox {

struct TFamilyWrite;

class TBulkLoad {
 public:
  using TRecordSink = std::function<void(std::span<const std::byte>)>;

  // runsPath names the sorting load's scratch file; order is the table's
  // primary key order (it must outlive the load).
  TBulkLoad(env::TFileSystem& fileSystem, std::string runsPath, std::size_t recordSize, const TKeyOrder& order);
  ~TBulkLoad();

  bool Active() const { return stream_ || sorting_; }
  std::size_t Count() const;

  // Starts streaming into write.
  void Start(std::unique_ptr<TFamilyWrite> write);
  // The write records stream into; nullptr while sorting or idle.
  TFamilyWrite* Stream() const { return stream_.get(); }
  // True when a record with key may follow the last one streamed.
  bool FollowsLastKey(std::span<const std::byte> key) const;
  void NoteStreamed(std::span<const std::byte> key) { lastKey_.assign(key.begin(), key.end()); }
  // Goes on as a sorting load, taking back the records streamed so far.
  void StartSorting();
  // Adds a record to the sorting load; false when it holds the key already.
  bool Sort(std::span<const std::byte> record);

  // Ends the load: every record loaded so far goes to sink (in key order,
  // or in the order streamed) and the pending write is dropped unfinished.
  // The load is over even when this throws.
  void ReadBack(const TRecordSink& sink);
  // Ends the load for the table to finish it as its new family.
  std::unique_ptr<TFamilyWrite> TakeStream();
  std::unique_ptr<TSortingLoad> TakeSorting() { return std::move(sorting_); }
  // Ends the load and forgets it (its files go with the pending write).
  void Discard();

  // A counter that moves with every change a load makes, so that cursors
  // see a changed table while its records are not in memory.
  std::uint64_t Generation() const { return generation_; }
  void NextGeneration() { ++generation_; }

 private:
  env::TFileSystem& fileSystem_;
  const std::string runsPath_;
  const std::size_t recordSize_;
  const TKeyOrder& order_;
  std::unique_ptr<TFamilyWrite> stream_;  // a load in key order
  std::unique_ptr<TSortingLoad> sorting_;  // a load in any order
  std::vector<std::byte> lastKey_;
  std::uint64_t generation_ = 0;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_BULKLOAD_H_
