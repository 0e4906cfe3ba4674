// button_fit.cpp: widens a push button to its text.
#include "wizard/button_fit.h"

#include <string>

#include "platform/window_text.h"

namespace {

// A push button draws its text inside a frame of 2 pixels a side.
const int kButtonFrame = 4;

RECT BoundsInParent(HWND window) {
  RECT bounds = {};
  GetWindowRect(window, &bounds);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

}  // namespace

int ButtonWidthForText(HDC dc, HFONT font, const std::wstring& text) {
  HGDIOBJ previous = SelectObject(dc, font);
  RECT needed = {};
  DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, previous);
  return needed.right - needed.left + kButtonFrame;
}

void WidenButtonToText(HWND button, HWND neighbour) {
  if (!button) return;
  HDC dc = GetDC(button);
  if (!dc) return;
  int needed = ButtonWidthForText(dc, reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)),
                                  GetWindowTextString(button));
  ReleaseDC(button, dc);
  RECT client = {};
  GetClientRect(button, &client);
  int missing = needed - client.right;
  if (missing <= 0) return;
  RECT bounds = BoundsInParent(button);
  if (neighbour) {
    RECT beside = BoundsInParent(neighbour);
    if (beside.right >= bounds.left - 1 && beside.left < bounds.left) {
      SetWindowPos(neighbour, nullptr, beside.left - missing, beside.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  SetWindowPos(button, nullptr, bounds.left - missing, bounds.top, bounds.right - bounds.left + missing,
               bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
}
