#include "paradox/engine/BulkLoad.h"

#include "paradox/engine/FamilyWrite.h"
#include "paradox/format/BlockChain.h"

namespace remdo::paradox {

namespace {

// The records written so far into an unfinished data file, in file order.
void ReadWritten(TFamilyWrite& write, std::size_t recordSize, const TBulkLoad::TRecordSink& sink) {
  write.writer->Finish();
  TBlockChainReader chain(*write.dataFile, write.data, write.dataFile->Size());
  TChainBlock block;
  while (chain.Next(block)) {
    for (std::size_t i = 0; i < block.count; ++i) sink(block.records.subspan(i * recordSize, recordSize));
  }
}

}  // namespace

TBulkLoad::TBulkLoad(env::TFileSystem& fileSystem, std::string runsPath, std::size_t recordSize,
                     const TKeyOrder& order)
    : fileSystem_(fileSystem), runsPath_(std::move(runsPath)), recordSize_(recordSize), order_(order) {}

TBulkLoad::~TBulkLoad() = default;

std::size_t TBulkLoad::Count() const {
  if (stream_) return stream_->writer->RecordCount();
  return sorting_ ? sorting_->Count() : 0;
}

void TBulkLoad::Start(std::unique_ptr<TFamilyWrite> write) {
  stream_ = std::move(write);
  lastKey_.clear();
}

bool TBulkLoad::FollowsLastKey(std::span<const std::byte> key) const {
  return lastKey_.empty() || order_.Compare(lastKey_.data(), key.data()) < 0;
}

void TBulkLoad::StartSorting() {
  auto sorting = std::make_unique<TSortingLoad>(fileSystem_, runsPath_, recordSize_, order_);
  if (stream_) {
    const std::unique_ptr<TFamilyWrite> write = std::move(stream_);
    ReadWritten(*write, recordSize_, [&](std::span<const std::byte> record) { (void)sorting->Add(record); });
  }
  sorting_ = std::move(sorting);
}

bool TBulkLoad::Sort(std::span<const std::byte> record) { return sorting_->Add(record); }

void TBulkLoad::ReadBack(const TRecordSink& sink) {
  const std::unique_ptr<TFamilyWrite> write = std::move(stream_);
  const std::unique_ptr<TSortingLoad> sorting = std::move(sorting_);
  if (sorting) {
    sorting->Merge(sink);
  } else if (write) {
    ReadWritten(*write, recordSize_, sink);
  }
}

std::unique_ptr<TFamilyWrite> TBulkLoad::TakeStream() { return std::move(stream_); }

void TBulkLoad::Discard() {
  stream_.reset();
  sorting_.reset();
}

}  // namespace remdo::paradox
