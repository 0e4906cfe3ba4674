// window_text.cpp: reads a window's text whole, whatever its length.
#include "platform/window_text.h"

#include <vector>

std::wstring GetWindowTextString(HWND window) {
  if (!window) return std::wstring();
  std::vector<wchar_t> text(GetWindowTextLengthW(window) + 1);
  int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return std::wstring(text.data(), length > 0 ? length : 0);
}
