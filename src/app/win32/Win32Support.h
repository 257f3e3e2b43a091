// Helpers of the window front-end: UTF-16 text for the W functions from the
// program's Windows-1252 text and back, and owners for GDI objects and
// global memory. Private to app/win32.
#ifndef REMDO_APP_WIN32_WIN32SUPPORT_H_
#define REMDO_APP_WIN32_WIN32SUPPORT_H_

#include <windows.h>

#include <string>
#include <string_view>

namespace remdo::app::win32 {

std::wstring Wide(std::string_view text);
std::string Narrow(std::wstring_view text);

// Owns a GDI object (font, brush); deleted when the owner goes.
class TGdiObject {
 public:
  explicit TGdiObject(HGDIOBJ object = nullptr) : object_(object) {}
  ~TGdiObject() { Reset(); }
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;

  HGDIOBJ Get() const { return object_; }
  void Reset(HGDIOBJ object = nullptr) {
    if (object_ != nullptr) ::DeleteObject(object_);
    object_ = object;
  }

 private:
  HGDIOBJ object_;
};

// Owns movable global memory until Release hands it on (to the clipboard).
class TGlobalMemory {
 public:
  explicit TGlobalMemory(SIZE_T bytes) : memory_(::GlobalAlloc(GMEM_MOVEABLE, bytes)) {}
  ~TGlobalMemory() {
    if (memory_ != nullptr) ::GlobalFree(memory_);
  }
  TGlobalMemory(const TGlobalMemory&) = delete;
  TGlobalMemory& operator=(const TGlobalMemory&) = delete;

  HGLOBAL Get() const { return memory_; }
  HGLOBAL Release() {
    HGLOBAL memory = memory_;
    memory_ = nullptr;
    return memory;
  }

 private:
  HGLOBAL memory_;
};

}  // namespace remdo::app::win32

#endif  // REMDO_APP_WIN32_WIN32SUPPORT_H_
