#pragma once
// gradient_fill.h: a vertical colour gradient, drawn row by row so the
// pixels are the same on every system.
#include <windows.h>

// From `top` at the rectangle's top row to `bottom` at its last row.
void FillVerticalGradient(HDC dc, const RECT& area, COLORREF top, COLORREF bottom);
