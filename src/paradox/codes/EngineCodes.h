// Named engine result codes: the codes the engine, table creation and the
// repair steps produce or test. Each constant's name is its entry in the
// engine's error table (EngineErrorName gives it without the DBIERR_ prefix);
// code must use these names, never the bare numbers.
#ifndef REMDO_PARADOX_CODES_ENGINECODES_H_
#define REMDO_PARADOX_CODES_ENGINECODES_H_

#include <cstdint>

namespace remdo::paradox {

// clang-format off
inline constexpr std::uint16_t kDbiErrNone = 0;

inline constexpr std::uint16_t kDbiErrBof = 8705;
inline constexpr std::uint16_t kDbiErrEof = 8706;
inline constexpr std::uint16_t kDbiErrRecMoved = 8707;
inline constexpr std::uint16_t kDbiErrKeyOrRecDeleted = 8708;
inline constexpr std::uint16_t kDbiErrNoCurrRec = 8709;
inline constexpr std::uint16_t kDbiErrRecNotFound = 8710;
inline constexpr std::uint16_t kDbiErrEndOfBlob = 8711;
inline constexpr std::uint16_t kDbiErrObjNotFound = 8712;
inline constexpr std::uint16_t kDbiErrBlobFileMissing = 8714;
inline constexpr std::uint16_t kDbiErrLdNotFound = 8715;

inline constexpr std::uint16_t kDbiErrHeaderCorrupt = 8961;
inline constexpr std::uint16_t kDbiErrFileCorrupt = 8962;
inline constexpr std::uint16_t kDbiErrMemoCorrupt = 8963;
inline constexpr std::uint16_t kDbiErrIndexCorrupt = 8965;
inline constexpr std::uint16_t kDbiErrFamFileInvalid = 8967;

inline constexpr std::uint16_t kDbiErrReadErr = 9217;
inline constexpr std::uint16_t kDbiErrWriteErr = 9218;
inline constexpr std::uint16_t kDbiErrDirNoAccess = 9219;
inline constexpr std::uint16_t kDbiErrFileDeleteFail = 9220;
inline constexpr std::uint16_t kDbiErrFileNoAccess = 9221;

inline constexpr std::uint16_t kDbiErrNoMemory = 9473;
inline constexpr std::uint16_t kDbiErrNoFileHandles = 9474;
inline constexpr std::uint16_t kDbiErrNoDiskSpace = 9475;
inline constexpr std::uint16_t kDbiErrRecTooBig = 9477;
inline constexpr std::uint16_t kDbiErrTableFull = 9479;
inline constexpr std::uint16_t kDbiErrIndexLimit = 9487;
inline constexpr std::uint16_t kDbiErrFldLimit = 9492;

inline constexpr std::uint16_t kDbiErrKeyViol = 9729;
inline constexpr std::uint16_t kDbiErrReqdErr = 9732;

inline constexpr std::uint16_t kDbiErrOutOfRange = 9985;
inline constexpr std::uint16_t kDbiErrInvalidParam = 9986;
inline constexpr std::uint16_t kDbiErrInvalidFileName = 9987;
inline constexpr std::uint16_t kDbiErrNoSuchFile = 9988;
inline constexpr std::uint16_t kDbiErrInvalidOption = 9989;
inline constexpr std::uint16_t kDbiErrInvalidHndl = 9990;
inline constexpr std::uint16_t kDbiErrUnknownTblType = 9991;
inline constexpr std::uint16_t kDbiErrPrimaryKeyRedefine = 9993;
inline constexpr std::uint16_t kDbiErrKeyFldTypeMismatch = 9995;
inline constexpr std::uint16_t kDbiErrNoSuchIndex = 9997;
inline constexpr std::uint16_t kDbiErrInvalidBlobOffset = 9998;
inline constexpr std::uint16_t kDbiErrInvalidFldType = 10000;
inline constexpr std::uint16_t kDbiErrInvalidFldDesc = 10001;
inline constexpr std::uint16_t kDbiErrInvalidFldXform = 10002;
inline constexpr std::uint16_t kDbiErrInvalidRecStruct = 10003;
inline constexpr std::uint16_t kDbiErrInvalidDesc = 10004;
inline constexpr std::uint16_t kDbiErrInvalidIndexStruct = 10005;
inline constexpr std::uint16_t kDbiErrNameNotUnique = 10009;
inline constexpr std::uint16_t kDbiErrIndexNameRequired = 10010;
inline constexpr std::uint16_t kDbiErrInvalidRestrOp = 10012;
inline constexpr std::uint16_t kDbiErrUnknownDriver = 10013;
inline constexpr std::uint16_t kDbiErrUnknownDb = 10014;
inline constexpr std::uint16_t kDbiErrInvalidDir = 10018;
inline constexpr std::uint16_t kDbiErrInvalidIndexName = 10022;
inline constexpr std::uint16_t kDbiErrNoSuchTable = 10024;
inline constexpr std::uint16_t kDbiErrInvalidKey = 10026;
inline constexpr std::uint16_t kDbiErrIndexExists = 10027;
inline constexpr std::uint16_t kDbiErrIndexOpen = 10028;
inline constexpr std::uint16_t kDbiErrInvalidBlobLen = 10029;
inline constexpr std::uint16_t kDbiErrInvalidBlobHandle = 10030;
inline constexpr std::uint16_t kDbiErrTableOpen = 10031;
inline constexpr std::uint16_t kDbiErrNeedRestructure = 10032;
inline constexpr std::uint16_t kDbiErrInvalidMode = 10033;
inline constexpr std::uint16_t kDbiErrInvalidFieldName = 10038;
inline constexpr std::uint16_t kDbiErrInvalidTableName = 10039;
inline constexpr std::uint16_t kDbiErrInvalidLangDrv = 10043;
inline constexpr std::uint16_t kDbiErrIncompatRecStructs = 10045;
inline constexpr std::uint16_t kDbiErrInvalidTableCreate = 10052;
inline constexpr std::uint16_t kDbiErrInvalidIndexCreate = 10054;
inline constexpr std::uint16_t kDbiErrInvalidTable = 10056;

inline constexpr std::uint16_t kDbiErrLocked = 10241;
inline constexpr std::uint16_t kDbiErrFileBusy = 10243;
inline constexpr std::uint16_t kDbiErrFileLocked = 10245;
inline constexpr std::uint16_t kDbiErrDirLocked = 10246;
inline constexpr std::uint16_t kDbiErrNeedExclAccess = 10253;

inline constexpr std::uint16_t kDbiErrReadOnlyDir = 10500;
inline constexpr std::uint16_t kDbiErrTblEncrypted = 10503;

inline constexpr std::uint16_t kDbiErrNotABlob = 10753;
inline constexpr std::uint16_t kDbiErrNotIndexed = 10757;
inline constexpr std::uint16_t kDbiErrNotInitialized = 10758;
inline constexpr std::uint16_t kDbiErrMultipleInit = 10759;
inline constexpr std::uint16_t kDbiErrTableReadOnly = 10763;

inline constexpr std::uint16_t kDbiErrQryNiy = 11884;
inline constexpr std::uint16_t kDbiErrQryEmpty = 11886;
inline constexpr std::uint16_t kDbiErrQrySyntErr = 11891;
inline constexpr std::uint16_t kDbiErrQxFldSymNotFound = 11893;
inline constexpr std::uint16_t kDbiErrSqlParse = 11949;
inline constexpr std::uint16_t kDbiErrNoSuchRelOrAlias = 11946;

inline constexpr std::uint16_t kDbiErrIndexOutOfDate = 12034;
inline constexpr std::uint16_t kDbiErrOldVersion = 12035;
inline constexpr std::uint16_t kDbiErrTableLevel = 12040;

inline constexpr std::uint16_t kDbiErrNotSupported = 12289;

inline constexpr std::uint16_t kDbiErrFileExists = 13057;
inline constexpr std::uint16_t kDbiErrTableExists = 13060;
// clang-format on

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_CODES_ENGINECODES_H_
