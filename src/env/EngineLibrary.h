// The installed database engine's own library, loaded at run time for the
// configuration calls that only it can make: the Paradox driver's "NET DIR"
// lives in that engine's configuration file, whose format is not public.
// Remdo's own engine is not involved. The library is 32-bit and its calls
// are stdcall; they are declared here from the engine's published API:
//
//   DbiInit(pEnv)                                           -> result
//   DbiOpenCfgInfoList(hCfg, eOpenMode, eConfigMode, pszCfgPath, phCur)
//   DbiSetToBegin(hCur)
//   DbiGetNextRecord(hCur, eLock, pRecBuf, pRecProps)
//   DbiModifyRecord(hCur, pRecBuf, bFreeLock)
//   DbiExit()
//
// Results are the engine's 16-bit codes, 0 for success.
#ifndef REMDO_ENV_ENGINELIBRARY_H_
#define REMDO_ENV_ENGINELIBRARY_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace remdo::env {

// One configuration record as the engine hands it over (CFGDesc), byte for
// byte, Windows-1252 texts ending in NUL:
//   offset   0  szNodeName     char[32]
//   offset  32  szDescription  char[128]
//   offset 160  iDataType      uint16
//   offset 162  szValue        char[128]
//   offset 290  bHasSubnodes   BOOL
// The buffer is larger than the record so that the flag fits whether the
// engine's BOOL takes two bytes or four.
class TConfigRecord {
 public:
  static constexpr std::size_t kNameAt = 0;
  static constexpr std::size_t kNameSize = 32;
  static constexpr std::size_t kDescriptionAt = 32;
  static constexpr std::size_t kDataTypeAt = 160;
  static constexpr std::size_t kValueAt = 162;
  static constexpr std::size_t kValueSize = 128;
  static constexpr std::size_t kSubnodesAt = 290;
  // The longest value the record holds.
  static constexpr std::size_t kMaxValueLength = kValueSize - 1;

  std::string NodeName() const { return Text(kNameAt, kNameSize); }
  std::string Value() const { return Text(kValueAt, kValueSize); }
  void SetNodeName(std::string_view name) { SetText(kNameAt, kNameSize, name); }
  // False, and the record unchanged, when value is longer than the record
  // holds.
  bool SetValue(std::string_view value);

  unsigned char* Data() { return bytes_.data(); }
  const unsigned char* Data() const { return bytes_.data(); }

 private:
  std::string Text(std::size_t at, std::size_t size) const;
  void SetText(std::size_t at, std::size_t size, std::string_view text);

  std::array<unsigned char, 512> bytes_{};
};

// How a configuration list is opened. Only an installation run changes the
// engine's configuration; every other look at it reads.
enum class TConfigAccess {
  kRead,   // read-only, records read without a lock
  kWrite,  // read-write, each record read with a write lock
};

// The calls of one loaded library. The configuration list is a cursor the
// library object holds between the calls.
class TEngineLibrary {
 public:
  virtual ~TEngineLibrary() = default;
  [[nodiscard]] virtual std::uint16_t Init() = 0;
  // Opens the list at path in persistent mode (the configuration file, not
  // this session's copy), for access.
  [[nodiscard]] virtual std::uint16_t OpenConfigList(std::string_view path, TConfigAccess access) = 0;
  [[nodiscard]] virtual std::uint16_t SetToBegin() = 0;
  // The next record, locked as the list's access says.
  [[nodiscard]] virtual std::uint16_t NextRecord(TConfigRecord& record) = 0;
  // Writes the record last read back and frees its lock; refused for a
  // list opened for reading.
  [[nodiscard]] virtual std::uint16_t ModifyRecord(const TConfigRecord& record) = 0;
  virtual void Exit() = 0;
};

// Loads the library at path: nullptr when it cannot be loaded or lacks one
// of the calls.
using TEngineLibraryLoader = std::function<std::unique_ptr<TEngineLibrary>(std::string_view path)>;

// The loader of this platform: LoadLibrary on Windows; an empty function
// on Linux, where no Windows library can run.
TEngineLibraryLoader RealEngineLibraryLoader();
// The loader the program uses: the real one unless a test installed
// another (an empty function restores the real one).
TEngineLibraryLoader DefaultEngineLibraryLoader();
void InstallEngineLibraryLoader(TEngineLibraryLoader loader);

}  // namespace remdo::env

#endif  // REMDO_ENV_ENGINELIBRARY_H_
