// The program's version as the run log, the status line and the history
// file show it.
#ifndef REMDO_APP_VERSION_H_
#define REMDO_APP_VERSION_H_

#include <string_view>

namespace remdo::app {

inline constexpr std::string_view kProgramVersion = "4.47.2";
inline constexpr std::string_view kApplicationTitle = "FENRO Remdo";

}  // namespace remdo::app

#endif  // REMDO_APP_VERSION_H_
