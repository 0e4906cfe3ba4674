// sheet_fit.cpp: whether the wizard fits the screen at its DPI, and the
// lower DPI it is laid out for when it does not.
#include "wizard/sheet_fit.h"

#include <string>

#include "platform/dialog_template.h"

namespace {

const int kLowerDpis[] = {144, 120, 96};
// The wizard's margins around the page (each side) and its button row,
// in dialog units.
const int kSheetMarginUnits = 7;
const int kButtonRowUnits = 43;
const DWORD kSheetStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
const wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool Fits(SIZE size, SIZE area) { return size.cx <= area.cx && size.cy <= area.cy; }

// The dialog base units of the face at the size, as the dialog manager
// measures them.
SIZE BaseUnits(const std::wstring& face, int height) {
  SIZE units = {0, 0};
  HDC dc = GetDC(nullptr);
  if (!dc) return units;
  HFONT font = CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  SIZE extent = {};
  TEXTMETRICW metrics = {};
  if (font && GetTextExtentPoint32W(dc, kAlphabet, 52, &extent) && GetTextMetricsW(dc, &metrics)) {
    units = {(extent.cx / 26 + 1) / 2, metrics.tmHeight};
  }
  if (previous) SelectObject(dc, previous);
  if (font) DeleteObject(font);
  ReleaseDC(nullptr, dc);
  return units;
}

}  // namespace

int ChooseLayoutDpi(int screenDpi, SIZE workArea, const std::function<SIZE(int layoutDpi)>& sheetSizeAt) {
  if (Fits(sheetSizeAt(screenDpi), workArea)) return screenDpi;
  for (int dpi : kLowerDpis) {
    if (dpi < screenDpi && Fits(sheetSizeAt(dpi), workArea)) return dpi;
  }
  return screenDpi < kLowerDpis[2] ? screenDpi : kLowerDpis[2];
}

SIZE PredictSheetSize(const DLGTEMPLATE* page, int screenDpi, int layoutDpi) {
  int points = 0;
  std::wstring face;
  if (!GetDialogTemplateFont(page, &points, &face) || screenDpi <= 0) return {0, 0};
  // The template's point size as the sheet scales it, on the screen's DPI.
  int scaled = MulDiv(points, layoutDpi, screenDpi);
  SIZE units = BaseUnits(face, MulDiv(scaled > 0 ? scaled : 1, screenDpi, 72));
  SIZE pageUnits = GetDialogTemplateSize(page);
  RECT window = {0, 0, MulDiv(pageUnits.cx + 2 * kSheetMarginUnits, units.cx, 4),
                 MulDiv(pageUnits.cy + kButtonRowUnits, units.cy, 8)};
  AdjustWindowRectEx(&window, kSheetStyle, FALSE, WS_EX_DLGMODALFRAME);
  return {window.right - window.left, window.bottom - window.top};
}
