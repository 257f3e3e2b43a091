// The values of a salvaged memo file that no record refers to, written as
// CSV (UTF-8, CR LF) so that a person can read them and find them again in
// the old file: "Offset,Entry,Length,Modification,Value", one value a line.
// The entry is the slot in a shared block, empty for a value with a block of
// its own. Text is decoded from the table's code page; a byte that is no
// printable text (NUL, other control bytes) is written as \xNN and a
// backslash as \\, so every byte of the value can be told. The same values
// go into a Paradox table beside it (UnlinkedMemoValuesTable), where each
// value is whole in a memo field and can be copied back by the engine.
#ifndef REMDO_REPAIR_UNLINKEDMEMOVALUES_H_
#define REMDO_REPAIR_UNLINKEDMEMOVALUES_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "env/FileSystem.h"
#include "paradox/memo/MemoInventory.h"

namespace remdo::repair {

// Writes the values (indexes into the inventory's values) read from memo
// to a new file at path. Throws EFCreateError, EWriteError, EReadError.
void WriteUnlinkedValues(const std::string& path, env::TFile& memo, const paradox::TMemoInventory& inventory,
                         std::span<const std::size_t> values, std::uint16_t codePage);

// Writes the values as a new Paradox table at tablePath (its .db; the memo
// file goes beside it), through the engine, in the table's language
// driver: one record a value, with the fields Offset (N), Entry (S, blank
// for a value with a block of its own), Length (N), Modification (I) and
// Value (M), the value itself. Throws EFCreateError, the engine's
// EDBEngineError and EReadError.
void WriteUnlinkedValuesTable(const std::string& tablePath, env::TFile& memo, const paradox::TMemoInventory& inventory,
                              std::span<const std::size_t> values, const std::string& languageDriver);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_UNLINKEDMEMOVALUES_H_
