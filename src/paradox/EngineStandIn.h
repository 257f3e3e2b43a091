// Stand-in for the engine's named result codes and its error helper, used by
// the engine until the shared error table is in the tree. Every code the
// engine returns or throws is named here, in one place, with the names the
// shared table gives them, so that switching over is a change of includes.
#ifndef REMDO_PARADOX_ENGINESTANDIN_H_
#define REMDO_PARADOX_ENGINESTANDIN_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "env/Errors.h"

namespace remdo::paradox {

// clang-format off
inline constexpr std::uint16_t kDbiErrNone = 0;
inline constexpr std::uint16_t kDbiErrBof = 8705;
inline constexpr std::uint16_t kDbiErrEof = 8706;
inline constexpr std::uint16_t kDbiErrNoCurrRec = 8709;
inline constexpr std::uint16_t kDbiErrRecNotFound = 8710;
inline constexpr std::uint16_t kDbiErrHeaderCorrupt = 8961;
inline constexpr std::uint16_t kDbiErrFileCorrupt = 8962;
inline constexpr std::uint16_t kDbiErrReadErr = 9217;
inline constexpr std::uint16_t kDbiErrWriteErr = 9218;
inline constexpr std::uint16_t kDbiErrRecTooBig = 9477;
inline constexpr std::uint16_t kDbiErrTableFull = 9479;
inline constexpr std::uint16_t kDbiErrKeyViol = 9729;
inline constexpr std::uint16_t kDbiErrOutOfRange = 9985;
inline constexpr std::uint16_t kDbiErrInvalidParam = 9986;
inline constexpr std::uint16_t kDbiErrNoSuchFile = 9988;
inline constexpr std::uint16_t kDbiErrInvalidOption = 9989;
inline constexpr std::uint16_t kDbiErrInvalidHndl = 9990;
inline constexpr std::uint16_t kDbiErrUnknownTblType = 9991;
inline constexpr std::uint16_t kDbiErrPrimaryKeyRedefine = 9993;
inline constexpr std::uint16_t kDbiErrNoSuchIndex = 9997;
inline constexpr std::uint16_t kDbiErrInvalidFldType = 10000;
inline constexpr std::uint16_t kDbiErrInvalidFldDesc = 10001;
inline constexpr std::uint16_t kDbiErrInvalidFldXform = 10002;
inline constexpr std::uint16_t kDbiErrInvalidRecStruct = 10003;
inline constexpr std::uint16_t kDbiErrInvalidIndexStruct = 10005;
inline constexpr std::uint16_t kDbiErrInvalidRestrOp = 10012;
inline constexpr std::uint16_t kDbiErrInvalidDir = 10018;
inline constexpr std::uint16_t kDbiErrNoSuchTable = 10024;
inline constexpr std::uint16_t kDbiErrIndexExists = 10027;
inline constexpr std::uint16_t kDbiErrTableOpen = 10031;
inline constexpr std::uint16_t kDbiErrInvalidMode = 10033;
inline constexpr std::uint16_t kDbiErrInvalidFieldName = 10038;
inline constexpr std::uint16_t kDbiErrInvalidTableName = 10039;
inline constexpr std::uint16_t kDbiErrInvalidLangDrv = 10043;
inline constexpr std::uint16_t kDbiErrFileLocked = 10245;
inline constexpr std::uint16_t kDbiErrNeedExclAccess = 10253;
inline constexpr std::uint16_t kDbiErrTblEncrypted = 10503;
inline constexpr std::uint16_t kDbiErrNotIndexed = 10757;
inline constexpr std::uint16_t kDbiErrNotInitialized = 10758;
inline constexpr std::uint16_t kDbiErrMultipleInit = 10759;
inline constexpr std::uint16_t kDbiErrTableLevel = 12040;
inline constexpr std::uint16_t kDbiErrNotSupported = 12289;
inline constexpr std::uint16_t kDbiErrTableExists = 13060;
// clang-format on

// The error that stops a step on an engine failure: the code and the message
// context + ": engine error " + the code.
inline env::EDBEngineError EngineError(std::uint16_t code, std::string_view context) {
  return env::EDBEngineError(code, std::string(context) + ": engine error " + std::to_string(code));
}

inline void CheckEngineResult(std::uint16_t code, std::string_view context) {
  if (code != kDbiErrNone) throw EngineError(code, context);
}

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINESTANDIN_H_
