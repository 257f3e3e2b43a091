// The entry of the Windows program.
#include <windows.h>

#include "app/win32/WindowApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return remdo::app::win32::WindowsMain(); }
