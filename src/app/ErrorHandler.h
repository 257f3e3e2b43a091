// The application's default error handler. An error that no step catches
// leaves the event under way (the repair run, a click) and reaches the
// front-end's wall, which hands it here: it is shown in an error box and the
// window stays open.
#ifndef REMDO_APP_ERRORHANDLER_H_
#define REMDO_APP_ERRORHANDLER_H_

#include <exception>
#include <string>

namespace remdo::app {

// The text the error box shows for an error: the error's own message, or a
// plain sentence for an error that carries none.
std::string UncaughtErrorText(std::exception_ptr error);

// Shows the error with ShowErrorBox. Never throws.
void ShowUncaughtError(std::exception_ptr error) noexcept;

}  // namespace remdo::app

#endif  // REMDO_APP_ERRORHANDLER_H_
