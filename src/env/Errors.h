// The exception kinds of the whole program. Steps catch exactly the kinds
// their design names; everything else reaches the application's default error
// handler. Every kind carries a complete, user-readable message.
#ifndef REMDO_ENV_ERRORS_H_
#define REMDO_ENV_ERRORS_H_

#include <cstdint>
#include <stdexcept>
#include <string>

namespace remdo::env {

// Common base of every error the program raises on purpose.
class ERemdoError : public std::runtime_error {
 public:
  explicit ERemdoError(const std::string& message) : std::runtime_error(message) {}
};

// A stream or file read failed, or a file's contents cannot be read as the
// reader expects (the raw table reader's fixed messages).
class EReadError : public ERemdoError {
 public:
  using ERemdoError::ERemdoError;
};

// A stream or file write, flush or close failed.
class EWriteError : public ERemdoError {
 public:
  using ERemdoError::ERemdoError;
};

// An existing file could not be opened.
class EFOpenError : public ERemdoError {
 public:
  using ERemdoError::ERemdoError;
};

// A file could not be created.
class EFCreateError : public ERemdoError {
 public:
  using ERemdoError::ERemdoError;
};

// A database engine call failed with a result code that stops the step. The
// code's name comes from the engine's error table (src/paradox).
class EDBEngineError : public ERemdoError {
 public:
  EDBEngineError(std::uint16_t code, const std::string& message)
      : ERemdoError(message), code_(code) {}
  std::uint16_t Code() const { return code_; }

 private:
  std::uint16_t code_;
};

}  // namespace remdo::env

#endif  // REMDO_ENV_ERRORS_H_
