// Reading an open table's records once from start to end (OpenTable.h):
// records still on disk come block by block from the data file, so a table
// of any size is read with one block window of memory.
#include <memory>
#include <string>
#include <vector>

#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/engine/BulkLoad.h"
#include "paradox/engine/OpenTable.h"
#include "paradox/format/BlockChain.h"

namespace remdo::paradox {

void TOpenTable::ForEachRecordBlock(const std::function<void(std::span<const std::byte>, std::size_t)>& visit) {
  if (bulk_->Active()) throw EngineError(kDbiErrInvalidHndl, "The table " + files_.DataPath() + " is being loaded");
  if (!reloadNeeded_) {
    records_->ForEach([&](std::span<const std::byte> record) { visit(record, 1); });
    return;
  }
  // Only the reading is answered as a read error: what visit throws is the
  // caller's own.
  const std::string context = "The table " + files_.DataPath() + " could not be read";
  std::unique_ptr<env::TFile> file;
  std::unique_ptr<TBlockChainReader> chain;
  try {
    file = fileSystem_.Open(files_.DataPath(), env::TOpenMode::kRead);
    chain = std::make_unique<TBlockChainReader>(*file, header_, file->Size());
  } catch (...) {
    RethrowAsEngineError(kDbiErrReadErr, context);
  }
  // The load in memory checks the key order once all records are in; here
  // each record is checked against the one before it, across blocks too.
  // A weighted collation's order is not checked: a table found out of our
  // order keeps its own order there as well.
  const bool checkOrder = IsKeyed() && primaryOrder_.IsBytewise();
  std::vector<std::byte> lastKey;
  TChainBlock block;
  for (;;) {
    try {
      if (!chain->Next(block)) break;
    } catch (...) {
      RethrowAsEngineError(kDbiErrReadErr, context);
    }
    if (checkOrder && block.count > 0) {
      const std::byte* previous = lastKey.empty() ? nullptr : lastKey.data();
      for (std::size_t i = 0; i < block.count; ++i) {
        const std::byte* record = block.records.data() + i * RecordSize();
        if (previous != nullptr && primaryOrder_.Compare(previous, record) >= 0) NotInKeyOrder();
        previous = record;
      }
      lastKey.assign(previous, previous + keyWidth_);
    }
    visit(block.records, block.count);
  }
}

}  // namespace remdo::paradox
