#pragma once
// sheet_fit.h: the DPI the wizard is laid out for. At the screen's DPI the
// sheet can be larger than the work area (192 DPI on a screen 1280 pixels
// wide): it is then laid out as at the largest lower DPI of the pictures
// (144, 120, 96) at which it fits, with the fonts and pictures of that DPI,
// rather than cut off at the screen's edge.
#include <windows.h>

#include <functional>

// The screen's DPI when the sheet fits the work area there, else the first
// of 144, 120 and 96 below it at which it does; 96 when none fits.
int ChooseLayoutDpi(int screenDpi, SIZE workArea, const std::function<SIZE(int layoutDpi)>& sheetSizeAt);

// The sheet's window size for pages of the template, laid out at
// `layoutDpi` on a screen of `screenDpi`: the page in its font's dialog
// units, the sheet's margins and button row, and the window's frame.
SIZE PredictSheetSize(const DLGTEMPLATE* page, int screenDpi, int layoutDpi);
