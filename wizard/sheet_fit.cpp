// sheet_fit.cpp: whether the wizard fits the screen at its DPI, and the
// lower DPI it is laid out for when it does not.
#include "wizard/sheet_fit.h"

#include <string>

#include "platform/dialog_template.h"
#include "platform/wizard_sheet.h"

namespace {

const int kLowerDpis[] = {144, 120, 96};
// The wizard's margins around the page (each side) and its button row,
// in dialog units.
const int kSheetMarginUnits = 7;
const int kButtonRowUnits = 43;
const DWORD kSheetStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

bool Fits(SIZE size, SIZE area) { return size.cx <= area.cx && size.cy <= area.cy; }

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
  CWizardSheet::CLayoutUnits units = CWizardSheet::MeasureLayout(face, points, layoutDpi, screenDpi);
  SIZE pageUnits = CWizardSheet::ToFrameUnits(GetDialogTemplateSize(page), units);
  RECT window = {0, 0, MulDiv(pageUnits.cx + 2 * kSheetMarginUnits, units.frame.cx, 4),
                 MulDiv(pageUnits.cy + kButtonRowUnits, units.frame.cy, 8)};
  AdjustWindowRectEx(&window, kSheetStyle, FALSE, WS_EX_DLGMODALFRAME);
  return {window.right - window.left, window.bottom - window.top};
}
