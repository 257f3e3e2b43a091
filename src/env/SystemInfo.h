// Facts about the machine that the whole program asks for again and again:
// the Windows generation, the Program Files folder and the shell folders,
// the Windows and temporary folders, the program's own folder, the Windows
// product name and the memory line of the run log.
//
// Each look-up is made once per process on first use and then answered
// from memory, even when it came out empty; a registry change during the run
// is not seen. Folders carry a trailing separator unless they are empty;
// empty means "not available" and is never an error. The folders come from
// the registry values the catalogue application itself reads; when a value
// is missing the system's own answer (TSystemFacts) is taken instead.
#ifndef REMDO_ENV_SYSTEMINFO_H_
#define REMDO_ENV_SYSTEMINFO_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "env/Registry.h"

namespace remdo::env {

// The string value, or empty when the key cannot be opened (it is never
// created) or the value is missing.
std::string ReadRegistryString(TRegistryRoot root, std::string_view key, std::string_view name);

std::string GetProgramFilesFolder();
std::string GetDesktopFolder();
std::string GetPersonalFolder();
std::string GetLocalAppDataFolder();
std::string GetCommonDocumentsFolder();
std::string GetCommonAppDataFolder();
// The Windows folder; empty when unknown or 246 characters long or longer.
std::string GetWindowsFolder();
std::string GetTempFolder();
// The folder of the running program file, and the file's full path.
std::string GetProgramFolder();
std::string GetProgramPath();

// "ProductName" of the Windows key, else of the Windows NT key, else the
// system's own name. No separator is added.
std::string GetWindowsProductName();

// True on Vista and later: a major version above 5, where a major version of
// exactly 5 with a Program Files folder containing "(x86)" counts as 6 (a
// 64-bit Windows of that generation). A system with no Windows version at
// all (Linux without a Wine prefix) counts as an earlier Windows.
bool IsLaterWindows();

// The drive root of the Program Files folder followed by "Program Files\":
// on 64-bit Windows the other Program Files folder. Empty when the Program
// Files folder is unknown.
std::string GetProgramFilesRoot();
// True when path (any case, with or without its trailing separator) lies in
// the Program Files folder or under GetProgramFilesRoot. False when the
// Program Files folder is unknown.
bool IsUnderProgramFiles(std::string_view path);

// The drive letter (upper-cased) of the program folder and of the Program
// Files folder; 'C' when the folder is empty or does not start with a letter
// (a Linux host path).
char GetProgramDrive();
char GetProgramFilesDrive();

// Total physical memory in whole megabytes (rounded); 0 when unknown.
std::uint64_t PhysicalMemoryMegabytes();
// The run log's memory line: "    Memory:       2048 MB allocated".
std::string MemoryLine();

// Bytes free for this user on the drive of folder: for a Windows-form path
// its drive letter's root (as the report asks for the data folder's drive),
// for a host path its own volume. Nothing when unknown.
std::optional<std::uint64_t> DriveFreeBytes(std::string_view folder);

// Forgets every cached look-up, so that the next calls ask the installed
// registry and facts again (tests install fresh ones). What the layers above
// derived from these facts is theirs to forget.
void ForgetSystemInfo();

}  // namespace remdo::env

#endif  // REMDO_ENV_SYSTEMINFO_H_
