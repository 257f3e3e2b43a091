// The system-facts part of the platform interface: the system's own folders,
// the Windows version and product name, memory, free disk space and the
// running program's path. The look-ups of the catalogue's world that go
// through the registry first (env/SystemInfo.h) fall back to these answers.
#ifndef REMDO_ENV_SYSTEMFACTS_H_
#define REMDO_ENV_SYSTEMFACTS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace remdo::env {

enum class TSpecialFolder {
  kWindows,          // the Windows folder
  kTemp,             // the temporary-files folder
  kProgramFiles,     // where 32-bit programs are installed ("(x86)" on 64-bit Windows)
  kPersonal,         // the user's documents
  kDesktop,          // the user's desktop
  kAppData,          // the user's roaming application data
  kLocalAppData,     // the user's local application data
  kCommonDocuments,  // the documents shared by all users
  kCommonAppData,    // the application data shared by all users
};

// The Windows version numbers; all zero when the system is not Windows and
// no Wine prefix tells which Windows it stands for.
struct TWindowsVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
};

class TSystemFacts {
 public:
  virtual ~TSystemFacts() = default;

  // The folder with a trailing separator; empty when the system has none.
  virtual std::string SpecialFolder(TSpecialFolder folder) = 0;
  virtual TWindowsVersion WindowsVersion() = 0;
  // The system's own name for itself ("Microsoft Windows 7", "Debian
  // GNU/Linux 12 (bookworm)"); empty when unknown.
  virtual std::string OsProductName() = 0;
  // Total physical memory in bytes; nothing when it cannot be learned.
  virtual std::optional<std::uint64_t> PhysicalMemoryBytes() = 0;
  // Bytes free for this user on the volume that holds path (a drive root
  // such as "C:\" or any folder); nothing when the volume is unknown.
  virtual std::optional<std::uint64_t> FreeDiskBytes(std::string_view path) = 0;
  // The full path of the running program file.
  virtual std::string ProgramPath() = 0;
};

TSystemFacts& RealSystemFacts();

// The facts the program uses: the real ones unless a test installed others.
// Installing nullptr restores the real ones.
TSystemFacts& DefaultSystemFacts();
void InstallSystemFacts(TSystemFacts* facts);

}  // namespace remdo::env

#endif  // REMDO_ENV_SYSTEMFACTS_H_
