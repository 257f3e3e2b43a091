// A stand-in for another computer's or program's database engine: opens the
// file named first without sharing, as the engine holds its lock files,
// creates the file named second to say so, and waits until it is ended.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const HANDLE held =
      ::CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  const HANDLE ready = ::CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready == INVALID_HANDLE_VALUE) return 1;
  ::CloseHandle(ready);
  ::Sleep(INFINITE);
  return 0;
}
