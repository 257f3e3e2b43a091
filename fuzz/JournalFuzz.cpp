// Fuzz target for the journal reader: any bytes as a table's journal. The
// stamp and record size the reader expects are taken from the input's own
// header, so that the entries behind it are read. After the load an entry
// is appended and the journal loaded again: it must give the same changes
// and then the new one. Errors allowed: the file system's and the engine's.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "FuzzFolder.h"
#include "env/Errors.h"
#include "paradox/codes/Coding.h"
#include "paradox/family/Journal.h"

namespace {

using remdo::paradox::TJournal;
using remdo::paradox::TJournalOp;
using remdo::paradox::TJournalOpKind;

bool SameOps(const std::vector<TJournalOp>& a, const std::vector<TJournalOp>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].kind != b[i].kind || a[i].position != b[i].position || a[i].before != b[i].before ||
        a[i].after != b[i].after) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = std::span(reinterpret_cast<const std::byte*>(data), size);
  std::uint16_t recordSize = 8;
  std::uint64_t stamp = 0;
  if (size >= 16) {
    recordSize = remdo::paradox::GetU16(bytes.data() + 6);
    stamp = remdo::paradox::GetU32(bytes.data() + 8) | (std::uint64_t{remdo::paradox::GetU32(bytes.data() + 12)} << 32);
  }
  using remdo::fuzz::TFuzzFolder;
  TFuzzFolder::Clear();
  TFuzzFolder::Write("T.journal", bytes);
  const std::string path = TFuzzFolder::Path() + "T.journal";
  auto& fs = remdo::env::RealFileSystem();
  try {
    std::vector<std::string> warnings;
    std::vector<TJournalOp> ops;
    {
      TJournal journal(fs, path, stamp, recordSize);
      ops = journal.Load(warnings);
      TJournalOp added{TJournalOpKind::kModify, 7, std::vector<std::byte>(recordSize, std::byte{1}),
                       std::vector<std::byte>(recordSize, std::byte{2})};
      journal.Append(std::span(&added, 1));
      ops.push_back(std::move(added));
    }
    TJournal again(fs, path, stamp, recordSize);
    if (!SameOps(again.Load(warnings), ops)) std::abort();
  } catch (const remdo::env::ERemdoError&) {
  }
  return 0;
}
