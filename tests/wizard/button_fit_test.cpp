// button_fit_test.cpp: a sheet button too narrow for its translated text
// grows to the left, taking the button against it along; a text that fits
// changes nothing.
#include "wizard/button_fit.h"

#include <windows.h>

#include "gtest/gtest.h"

namespace {

RECT Bounds(HWND window) {
  RECT bounds = {};
  GetWindowRect(window, &bounds);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

}  // namespace

TEST(CButtonFitTest, ATextTooLongWidensTheButtonLeftwardsWithItsNeighbour) {
  struct Case {
    const wchar_t* text;
    bool widened;
  };
  const Case kCases[] = {
      {L"&Next >", false},
      {L"Installation fortsetzen und abschlie\u00dfen", true},
  };
  for (const Case& c : kCases) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 600, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, parent);
    HWND back = CreateWindowExW(0, L"BUTTON", L"< &Back", WS_CHILD | BS_PUSHBUTTON, 300, 50, 75, 23, parent,
                                nullptr, nullptr, nullptr);
    HWND next = CreateWindowExW(0, L"BUTTON", c.text, WS_CHILD | BS_PUSHBUTTON, 375, 50, 75, 23, parent, nullptr,
                                nullptr, nullptr);
    SendMessageW(next, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    WidenButtonToText(next, back);
    RECT nextBounds = Bounds(next);
    RECT backBounds = Bounds(back);
    // The right edge stays where the sheet put it; Back stays against Next.
    EXPECT_EQ(450, nextBounds.right) << c.widened;
    EXPECT_EQ(nextBounds.left, backBounds.right);
    EXPECT_EQ(75, backBounds.right - backBounds.left);
    EXPECT_EQ(c.widened, nextBounds.left < 375);
    if (c.widened) {
      HDC dc = GetDC(next);
      HGDIOBJ previous = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
      SIZE text = {};
      GetTextExtentPoint32W(dc, c.text, static_cast<int>(wcslen(c.text)), &text);
      SelectObject(dc, previous);
      ReleaseDC(next, dc);
      EXPECT_GE(nextBounds.right - nextBounds.left, text.cx + 4);  // and the frame
    }
    DestroyWindow(parent);
  }
}
