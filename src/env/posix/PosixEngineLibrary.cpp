// On Linux no Windows library can be loaded: the installed engine's
// configuration is left to the Windows program.
#include "env/EngineLibrary.h"

namespace remdo::env {

TEngineLibraryLoader RealEngineLibraryLoader() { return {}; }

}  // namespace remdo::env
