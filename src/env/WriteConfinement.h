// A run that must change nothing but a few places installs a
// TWriteConfinement for as long as it runs: the file system, registry and
// shell the program uses are wrapped so that every write outside those
// places is refused, whatever code asks for it. A forgotten write then fails
// where it is made, and is listed, instead of touching what it must not.
//
// Refused: opening a file for writing, rename (either name), delete,
// attributes, last-write times and folders made or removed outside the
// allowed places; every registry write; the shell's copies, deletions and
// program starts. Reads, searches and window look-ups pass through.
#ifndef REMDO_ENV_WRITECONFINEMENT_H_
#define REMDO_ENV_WRITECONFINEMENT_H_

#include <memory>
#include <string>
#include <vector>

namespace remdo::env {

class TFileSystem;
class TRegistry;
class TShell;

class TWriteConfinement {
 public:
  // allowed: path stems a write may go to, each the start of the full path
  // ("C:\Temp\RemdoVerify" lets "C:\Temp\RemdoVerify12\Orders.db" through),
  // compared without regard to case or the kind of separator. A path that
  // climbs with ".." is refused wherever it starts.
  explicit TWriteConfinement(std::vector<std::string> allowed);
  // Puts back the file system, registry and shell installed before.
  ~TWriteConfinement();
  TWriteConfinement(const TWriteConfinement&) = delete;
  TWriteConfinement& operator=(const TWriteConfinement&) = delete;

  // Each write refused so far, as "<what> <path>", in order.
  std::vector<std::string> Refused() const;

  struct TState;

 private:
  std::shared_ptr<TState> state_;
  TFileSystem& previousFileSystem_;
  TRegistry& previousRegistry_;
  TShell& previousShell_;
  std::unique_ptr<TFileSystem> fileSystem_;
  std::unique_ptr<TRegistry> registry_;
  std::unique_ptr<TShell> shell_;
};

}  // namespace remdo::env

#endif  // REMDO_ENV_WRITECONFINEMENT_H_
