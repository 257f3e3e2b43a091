// The default error handler.
#include "app/ErrorHandler.h"

#include <new>
#include <stdexcept>

#include "env/Dialogs.h"

namespace remdo::app {

std::string UncaughtErrorText(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    return "Out of memory.";
  } catch (const std::exception& e) {
    const std::string text = e.what();
    if (!text.empty()) return text;
  } catch (...) {
  }
  return "An unexpected error occurred.";
}

void ShowUncaughtError(std::exception_ptr error) noexcept {
  try {
    env::ShowErrorBox(UncaughtErrorText(error));
  } catch (...) {
    // Nothing more can be shown; the window stays as it is.
  }
}

}  // namespace remdo::app
