// The shell part of the platform interface: the multi-file copy, delete to
// the recycle bin, the "open" verb, and the look-up of another program's
// top-level window.
//
// On Linux these are honest counterparts: a plain recursive copy through the
// file system, the freedesktop trash, xdg-open (or Wine for a Windows
// program), and the processes under /proc.
#ifndef REMDO_ENV_SHELL_H_
#define REMDO_ENV_SHELL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace remdo::env {

// A window of another program (on Linux: the process standing for it).
struct TTopWindow {
  std::uintptr_t handle = 0;
};

class TShell {
 public:
  virtual ~TShell() = default;

  // Copies every source into target without asking: existing files are
  // overwritten, missing target folders created, folders copied with their
  // contents. A source may hold '*' and '?' in its last name; a pattern that
  // matches nothing adds nothing. The target is a folder when it exists as
  // one, ends with a separator, or more than one source or a pattern is
  // given; otherwise it is the name of the one copied file. True only when
  // every file arrived (and the user did not stop the shell's copy). An
  // empty list copies nothing and succeeds.
  virtual bool CopyFiles(const std::vector<std::string>& sources, std::string_view target) = 0;
  // Moves one file to the recycle bin (the trash) silently. True on success.
  virtual bool DeleteToRecycleBin(std::string_view path) = 0;
  // The "open" verb: starts a program with parameters, or opens a document
  // or web address with its program, in a normal window. True when started.
  virtual bool Open(std::string_view target, std::string_view parameters) = 0;
  // The top-level window of that class with exactly that title. Where
  // windows have no classes (Linux), a process that runs programFile (a
  // Windows program under Wine) stands for it.
  virtual std::optional<TTopWindow> FindTopLevelWindow(std::string_view className, std::string_view title,
                                                       std::string_view programFile) = 0;
  // Brings that window to the foreground; false where that cannot be done.
  virtual bool BringToForeground(const TTopWindow& window) = 0;
  // The window that owns the shell's progress displays (0: none).
  virtual void SetOwnerWindow(std::uintptr_t window) = 0;
};

TShell& RealShell();

// The shell the program uses: the real one unless a test installed another.
// Installing nullptr restores the real one.
TShell& DefaultShell();
void InstallShell(TShell* shell);

}  // namespace remdo::env

#endif  // REMDO_ENV_SHELL_H_
