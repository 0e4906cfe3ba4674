// window_text.cpp: reads a window's text whole, whatever its length, and
// takes a control out of its dialog's mirroring.
#include "platform/window_text.h"

#include <vector>

namespace {

void LeaveMirroring(HWND control, LONG_PTR styles) {
  if (!control) return;
  LONG_PTR style = GetWindowLongPtrW(control, GWL_EXSTYLE);
  if (!(style & styles)) return;
  SetWindowLongPtrW(control, GWL_EXSTYLE, style & ~styles);
  // The frame and the content are drawn anew in the control's own direction.
  SetWindowPos(control, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  InvalidateRect(control, nullptr, TRUE);
}

}  // namespace

std::wstring GetWindowTextString(HWND window) {
  if (!window) return std::wstring();
  std::vector<wchar_t> text(GetWindowTextLengthW(window) + 1);
  int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return std::wstring(text.data(), length > 0 ? length : 0);
}

void KeepLeftToRightReading(HWND control) {
  LeaveMirroring(control, WS_EX_LAYOUTRTL | WS_EX_RTLREADING | WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR);
}

void KeepPictureOrientation(HWND control) { LeaveMirroring(control, WS_EX_LAYOUTRTL); }
