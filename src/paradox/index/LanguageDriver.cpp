// The driver table. Sort bytes and code pages are those genuine tables carry
// (several sources agree, and the sample tables confirm the common ones); the
// DOS drivers "ascii" and "intl" record the DOS code page of the creating
// machine, for which this engine writes 437.
#include "paradox/index/LanguageDriver.h"

#include <array>

#include "env/Text.h"

namespace remdo::paradox {

namespace {

constexpr std::array<TLanguageDriver, 15> kDrivers{{
    {"ascii", 0x00, 437},
    {"intl", 0xB7, 437},
    {"DBWINUS0", 0x4C, 1252},
    {"DBWINWE0", 0x40, 1252},
    {"ANSII850", 0x11, 1252},
    {"ANSIINTL", 0x62, 1252},
    {"intl850", 0x54, 850},
    {"nordan", 0x82, 865},
    {"nordan40", 0xE6, 865},
    {"swedfin", 0xF0, 437},
    {"DBWINES0", 0x3C, 1252},
    {"ANSISPAN", 0x5D, 1252},
    {"china", 0x03, 936},
    {"BLROM800", 0x14, 0},
    {"cyrr", 0xC0, 866},
}};

}  // namespace

std::span<const TLanguageDriver> LanguageDrivers() { return kDrivers; }

const TLanguageDriver* FindLanguageDriver(std::string_view name) {
  for (const auto& driver : kDrivers) {
    if (env::SameText(driver.name, name)) return &driver;
  }
  return nullptr;
}

const TLanguageDriver* FindLanguageDriverBySortOrder(std::uint8_t sortOrder) {
  for (const auto& driver : kDrivers) {
    if (driver.sortOrder == sortOrder) return &driver;
  }
  return nullptr;
}

const TLanguageDriver& DefaultLanguageDriver() { return kDrivers[0]; }

}  // namespace remdo::paradox
