// The primary key of a table's records as the raw walk reads them: keys
// out of order and duplicate keys. Records within a block must be in key
// order, and the blocks, taken in the order of their first keys, must not
// overlap; the blocks' file order is free, as the engine's block links
// allow. The walk also counts the records.
#ifndef REMDO_REPAIR_VERIFY_KEYFINDINGS_H_
#define REMDO_REPAIR_VERIFY_KEYFINDINGS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "repair/findings/Finding.h"

namespace remdo::paradox {
class TPxObject;
}

namespace remdo::repair {

struct TKeyFindings {
  std::int64_t records = 0;  // records the walk read
  std::vector<TFinding> findings;
  bool damaged = false;
};

// Walks every record from the first. Throws the reader's EReadError only
// when the walk cannot start (no block size, impossible record size); a
// block that cannot be read is passed over.
TKeyFindings FindKeyDamage(paradox::TPxObject& reader);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_VERIFY_KEYFINDINGS_H_
