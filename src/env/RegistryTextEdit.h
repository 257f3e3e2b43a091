// Changes to the text of a Wine registry file (system.reg, user.reg) that
// touch only the lines of the values changed. Wine's loader, like ours,
// skips lines it cannot read; reading the file and writing it out again
// would lose them, so the file is edited as text instead.
#ifndef REMDO_ENV_REGISTRYTEXTEDIT_H_
#define REMDO_ENV_REGISTRYTEXTEDIT_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace remdo::env {

// The text with each named string value of key set: a value's line is
// replaced (keeping the name as the file spells it), a missing value gets a
// line at the end of the key's section. key is relative to the file's root
// ("Software\Borland\Database Engine"); key and value names compare without
// regard to case. Texts are Windows-1252. Nothing when the key has no
// section in the text (keys are never created here).
std::optional<std::string> SetWineRegistryStrings(std::string_view text, std::string_view key,
                                                  const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace remdo::env

#endif  // REMDO_ENV_REGISTRYTEXTEDIT_H_
