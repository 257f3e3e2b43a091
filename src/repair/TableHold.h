// While a table is checked and replaced, the catalogue must not open it,
// on this computer or on another one that uses the data folder, or it could
// read a table half swapped. The table's files (data, memo, primary and
// secondary index files) and the engine's folder lock files PDOXUSRS.LCK
// and PARADOX.LCK, when present, are held with no sharing (env/FileHolds.h)
// from the start of the table's check to its end; our own engine works on
// them through the holds. The lock files are only held open: what the
// engine writes into them is its own, and nothing is written there.
// Where the platform holds nothing (Linux) every hold is taken at once.
#ifndef REMDO_REPAIR_TABLEHOLD_H_
#define REMDO_REPAIR_TABLEHOLD_H_

#include <string>
#include <string_view>

namespace remdo::repair {

class TTableHold {
 public:
  // dataFolder has a trailing separator.
  TTableHold(const std::string& dataFolder, std::string_view tableName);
  // Lets go of every held file.
  ~TTableHold();
  TTableHold(const TTableHold&) = delete;
  TTableHold& operator=(const TTableHold&) = delete;

  // Empty when every file present is held; otherwise the table's result
  // line naming the file that another program has open.
  const std::string& Refusal() const { return refusal_; }

 private:
  std::string refusal_;
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_TABLEHOLD_H_
