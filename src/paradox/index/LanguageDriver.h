// The language drivers a Paradox table can name. A table records its driver
// three times: the sort-order byte at header offset 0x29, the code page of
// its text (level 4 and up) and the driver's name string. How a driver
// orders alpha keys is paradox/Collation.h's affair.
#ifndef REMDO_PARADOX_INDEX_LANGUAGEDRIVER_H_
#define REMDO_PARADOX_INDEX_LANGUAGEDRIVER_H_

#include <cstdint>
#include <span>
#include <string_view>

namespace remdo::paradox {

struct TLanguageDriver {
  std::string_view name;     // as stored in the header ("DBWINUS0", "intl")
  std::uint8_t sortOrder;    // header byte 0x29
  std::uint16_t codePage;    // header word 0x6A written for a new table
};

// Every driver the engine knows, in no particular order.
std::span<const TLanguageDriver> LanguageDrivers();

// The driver of a name, compared without regard to case; nullptr when the
// name is unknown.
const TLanguageDriver* FindLanguageDriver(std::string_view name);

// The driver of a sort-order byte (level 3 tables have nothing else);
// nullptr when the byte is unknown.
const TLanguageDriver* FindLanguageDriverBySortOrder(std::uint8_t sortOrder);

// The driver a new table gets when none is asked for: "ascii" (code page 437).
const TLanguageDriver& DefaultLanguageDriver();

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_INDEX_LANGUAGEDRIVER_H_
