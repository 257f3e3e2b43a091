// Linux has no sharing modes: an open cannot keep another program out, and
// advisory locks bind only programs that ask for them. Nothing is held.
#include "env/FileHolds.h"

namespace remdo::env {

TIoResult HoldFile(std::string_view) { return TIoResult::Success(); }

void ReleaseHeldFiles() {}

}  // namespace remdo::env
