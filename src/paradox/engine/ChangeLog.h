// The changes made to an open table since its files were last written: kept
// in memory until a save appends them to the table's journal (Journal.h).
// Past kMaxJournalChanges since the last write (saved or waiting), the log
// gives up and overflows: its changes are dropped from memory and the next
// save writes the whole family instead, which holds them anyway; so no
// journal grows past that. Bulk loads and records read back from an unfinished
// load are in no journal either, so they overflow the log on purpose.
#ifndef REMDO_PARADOX_ENGINE_CHANGELOG_H_
#define REMDO_PARADOX_ENGINE_CHANGELOG_H_

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/family/Journal.h"

namespace remdo::paradox {

class TChangeLog {
 public:
  // Starts the journal of the data file whose header is headerBytes (its
  // stamp), dropping whatever was logged: the files now hold every change.
  void Restart(env::TFileSystem& fileSystem, std::string journalPath, std::span<const std::byte> headerBytes,
               std::uint16_t recordSize);

  void Add(TJournalOp op);
  void Overflow();
  // True when a save must write the family: changes were made that no
  // journal can carry.
  bool Overflowed() const { return overflowed_; }
  bool Empty() const { return ops_.empty(); }

  // The changes a journal of this data file saved before (for replay at
  // open). Throws the journal's read errors.
  std::vector<TJournalOp> SavedChanges(std::vector<std::string>& warnings) { return journal_->Load(warnings); }
  // Appends the logged changes to the journal and forgets them (their
  // bytes still count towards the limit). Throws the journal's write
  // errors, keeping the changes.
  void Save();
  // Closes the journal file before a family commit removes it.
  void CloseJournal() noexcept { journal_->Close(); }

 private:
  std::unique_ptr<TJournal> journal_;
  std::vector<TJournalOp> ops_;
  std::size_t bytes_ = 0;  // logged or saved since the last write
  bool overflowed_ = false;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_CHANGELOG_H_
