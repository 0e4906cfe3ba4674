// gradient_fill.cpp: interpolates each row's colour and fills the row.
#include "platform/gradient_fill.h"

namespace {

BYTE Blend(BYTE from, BYTE to, int row, int last) {
  return static_cast<BYTE>(from + (static_cast<int>(to) - from) * row / last);
}

}  // namespace

void FillVerticalGradient(HDC dc, const RECT& area, COLORREF top, COLORREF bottom) {
  int rows = area.bottom - area.top;
  if (!dc || rows <= 0 || area.right <= area.left) return;
  int last = rows > 1 ? rows - 1 : 1;
  for (int row = 0; row < rows; ++row) {
    COLORREF colour = RGB(Blend(GetRValue(top), GetRValue(bottom), row, last),
                          Blend(GetGValue(top), GetGValue(bottom), row, last),
                          Blend(GetBValue(top), GetBValue(bottom), row, last));
    SetDCBrushColor(dc, colour);
    RECT line = {area.left, area.top + row, area.right, area.top + row + 1};
    FillRect(dc, &line, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  }
}
