// A stand-in for the installed database engine's library, for the tests of
// its configuration calls under Wine. It exports the six calls by their
// plain names (stdcall) over a small configuration list kept in
// "standin.cfg" beside the library: one "NODE NAME=value" line per record
// of \DRIVERS\PARADOX\INIT, and "fail=CALL" lines naming calls that fail.
// Every call is appended to "standin.log" beside the library, so that a
// test sees what the program asked and in which order, with the modes the
// list was opened in and the locks records were read with.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The engine's published configuration descriptor, byte-packed.
#pragma pack(push, 1)
struct CFGDesc {
  char szNodeName[32];
  char szDescription[128];
  unsigned short iDataType;
  char szValue[128];
  unsigned short bHasSubnodes;
};
#pragma pack(pop)

constexpr unsigned short kFailed = 0x2101;  // any code other than 0
constexpr unsigned short kEndOfList = 0x2202;

std::vector<std::string> lines;  // the list file, as lines
std::size_t next = 0;            // the line the cursor reads next
bool writable = false;           // the list was opened read-write

std::wstring Beside(const wchar_t* name) {
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Beside), &self);
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(self, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

std::string ReadAll(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text(::GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ::ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  ::CloseHandle(file);
  text.resize(read);
  return text;
}

void Write(const std::wstring& path, const std::string& text, bool append) {
  HANDLE file = ::CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, 0, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
}

// Logs the call (with what it was asked for, after a blank); true when the
// list names it as failing.
bool Called(const char* call, const std::string& asked = {}) {
  Write(Beside(L"standin.log"), std::string(call) + (asked.empty() ? "" : " " + asked) + "\n", true);
  for (const std::string& line : lines) {
    if (line == std::string("fail=") + call) return true;
  }
  return false;
}

bool IsRecord(const std::string& line) { return line.rfind("fail=", 0) != 0 && line.find('=') != std::string::npos; }

}  // namespace

extern "C" {

__declspec(dllexport) unsigned short __stdcall DbiInit(void*) {
  lines.clear();
  const std::string text = ReadAll(Beside(L"standin.cfg"));
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return Called("DbiInit") ? kFailed : 0;
}

__declspec(dllexport) unsigned short __stdcall DbiOpenCfgInfoList(void*, int openMode, int configMode, char* path,
                                                                  void** cursor) {
  // dbiREADWRITE 0, dbiREADONLY 1; cfgPersistent 0.
  const std::string mode = openMode == 0 ? "read-write" : openMode == 1 ? "read-only" : "mode?";
  if (Called("DbiOpenCfgInfoList", mode) || openMode > 1 || configMode != 0 ||
      std::strcmp(path, "\\DRIVERS\\PARADOX\\INIT") != 0) {
    return kFailed;
  }
  *cursor = &next;
  next = 0;
  writable = openMode == 0;
  return 0;
}

__declspec(dllexport) unsigned short __stdcall DbiSetToBegin(void* cursor) {
  if (Called("DbiSetToBegin") || cursor != &next) return kFailed;
  next = 0;
  return 0;
}

__declspec(dllexport) unsigned short __stdcall DbiGetNextRecord(void* cursor, int lock, unsigned char* buffer, void*) {
  // dbiNOLOCK 0, dbiWRITELOCK 2; a write lock needs a list opened read-write.
  const std::string locked = lock == 0 ? "no lock" : lock == 2 ? "write lock" : "lock?";
  if (Called("DbiGetNextRecord", locked) || cursor != &next || (lock != 0 && lock != 2) || (lock == 2 && !writable)) {
    return kFailed;
  }
  while (next < lines.size() && !IsRecord(lines[next])) ++next;
  if (next >= lines.size()) return kEndOfList;
  CFGDesc record = {};
  const std::string& line = lines[next++];
  const std::size_t equals = line.find('=');
  std::strncpy(record.szNodeName, line.substr(0, equals).c_str(), sizeof record.szNodeName - 1);
  std::strncpy(record.szValue, line.substr(equals + 1).c_str(), sizeof record.szValue - 1);
  std::strcpy(record.szDescription, "stand-in record");
  std::memcpy(buffer, &record, sizeof record);
  return 0;
}

__declspec(dllexport) unsigned short __stdcall DbiModifyRecord(void* cursor, unsigned char* buffer, BOOL freeLock) {
  if (Called("DbiModifyRecord") || cursor != &next || next == 0 || !freeLock || !writable) return kFailed;
  CFGDesc record;
  std::memcpy(&record, buffer, sizeof record);
  std::string& line = lines[next - 1];
  line = line.substr(0, line.find('=') + 1) + std::string(record.szValue, strnlen(record.szValue, 128));
  std::string text;
  for (const std::string& each : lines) text += each + "\n";
  Write(Beside(L"standin.cfg"), text, false);
  return 0;
}

__declspec(dllexport) unsigned short __stdcall DbiExit() { return Called("DbiExit") ? kFailed : 0; }

}  // extern "C"
