// wiz_prop_page.cpp: what every wizard page shares: its look, its buttons,
// the skip rule and the cancel question.
#include "wizard/wiz_prop_page.h"

#include <windows.h>
#include <commctrl.h>

#include "engine/setup_state.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "foundation/window_utils.h"
#include "platform/gradient_fill.h"
#include "platform/png_image.h"
#include "platform/window_text.h"
#include "resources/resource_ids.h"
#include "wizard/cancel_dlg.h"
#include "wizard/first_paint_signal.h"
#include "wizard/setup_sheet.h"
#include "wizard/wiz_page_rules.h"
#include "wizard/wizard_text.h"

namespace {

const COLORREF kTextColour = 0x373737;
const COLORREF kHeaderTop = 0xC4C4C4;
const COLORREF kHeaderBottom = 0xC6C6C6;
const COLORREF kBodyTop = 0xFFFFFF;
const COLORREF kBodyBottom = 0xC0C0C0;
const COLORREF kControlFrameColour = 0x848484;
// 50 pixels at 96 DPI: the band ends just above the pages' sub-titles.
const int kHeaderBandEndUnits = 31;
const wchar_t kFontSeparators[] = L"_";

BOOL CALLBACK SetChildFont(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

}  // namespace

CWizPropPage::CWizPropPage(UINT templateId)
    : CWizardPage(templateId), m_whiteBrush(CreateSolidBrush(0xFFFFFF)) {}

CWizPropPage::~CWizPropPage() {
  DeleteFonts();
  if (m_whiteBrush) DeleteObject(m_whiteBrush);
  for (const auto& picture : m_pictures) DeleteObject(picture.second);
}

CSetupSheet* CWizPropPage::GetSetupSheet() const { return dynamic_cast<CSetupSheet*>(GetSheet()); }

CSetupState* CWizPropPage::GetState() const {
  CSetupSheet* sheet = GetSetupSheet();
  return sheet && sheet->GetState() ? sheet->GetState() : m_state;
}

void CWizPropPage::ApplyButtonFlags() {
  m_buttonFlags = ComputeButtonFlags(m_settings);
  SetPageFlags(GetPageFlags() & ~PSP_HASHELP);
}

bool CWizPropPage::IsPageSkipped() {
  CSetupSheet* sheet = GetSetupSheet();
  if (!sheet || m_settings.displayCondition.empty()) return false;
  return IsSkippedByCondition(m_settings.displayCondition, sheet->Properties());
}

CWizPropPage* CWizPropPage::GetNextPage() {
  CSetupSheet* sheet = GetSetupSheet();
  if (!sheet) return nullptr;
  int index = sheet->GetPageIndex(this);
  if (index < 0) return nullptr;
  return dynamic_cast<CWizPropPage*>(sheet->GetPage(static_cast<size_t>(index) + 1));
}

std::wstring CWizPropPage::PageString(UINT id) const { return LoadWizardString(id, GetState()); }

void CWizPropPage::ReplaceTokensInControl(int id) const {
  HWND control = GetDlgItem(id);
  if (control) SetWindowTextW(control, ReplaceWizardTokens(GetWindowTextString(control), GetState()).c_str());
}

BOOL CWizPropPage::OnInitDialog() {
  CSetupSheet* sheet = GetSetupSheet();
  if (sheet && sheet->ShowHeaders()) ShowHeaderImage();
  CreateFonts();
  if (m_textFont) SendMessageW(GetSafeHwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(m_textFont), FALSE);
  ApplyButtonFlags();
  LayoutControls();
  return TRUE;
}

void CWizPropPage::ShowHeaderImage() {
  CSetupSheet* sheet = GetSetupSheet();
  if (!sheet) return;
  if (!sheet->GetHeaderImage().IsEmpty()) {
    ShowPicture(IDC_HEADER_IMAGE, sheet->GetHeaderImage());
  } else {
    ShowPicture(IDC_HEADER_IMAGE, HeaderImageResourceId(sheet->GetDpi()));
  }
}

bool CWizPropPage::ShowPicture(int id, const CPngImage& image) {
  HWND control = GetDlgItem(id);
  HBITMAP bitmap = control ? image.CopyBitmap() : nullptr;
  if (!bitmap) return false;
  KeepPictureOrientation(control);
  HBITMAP previous = reinterpret_cast<HBITMAP>(
      SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
  if (previous && previous != bitmap) DeleteObject(previous);
  HBITMAP& kept = m_pictures[id];
  if (kept && kept != previous) DeleteObject(kept);
  kept = bitmap;
  return true;
}

bool CWizPropPage::ShowPicture(int id, UINT resourceId) {
  CPngImage image;
  return image.LoadFromResource(GetModuleHandleW(nullptr), resourceId) && ShowPicture(id, image);
}

void CWizPropPage::CreateFonts() {
  DeleteFonts();
  HDC dc = GetDC(nullptr);
  // The fonts of the sheet's layout, which may be drawn for a lower DPI.
  CSetupSheet* sheet = GetSetupSheet();
  int dpi = sheet ? sheet->GetDpi() : 0;
  auto make = [dc, dpi](UINT id) { return CreateFontFromSpec(dc, LoadResourceString(id), kFontSeparators, dpi); };
  m_titleFont = make(IDS_FONT_TITLE);
  m_boldFont = make(IDS_FONT_BOLD);
  m_mediumFont = make(IDS_FONT_MEDIUM);
  m_textFont = make(IDS_FONT_TEXT);
  m_bigBoldFont = make(IDS_FONT_BIG_BOLD);
  m_fixedFont = make(IDS_FONT_FIXED);
  ReleaseDC(nullptr, dc);
}

void CWizPropPage::DeleteFonts() {
  for (HFONT* font : {&m_titleFont, &m_boldFont, &m_mediumFont, &m_textFont, &m_bigBoldFont, &m_fixedFont}) {
    if (*font) DeleteObject(*font);
    *font = nullptr;
  }
}

// Every control gets the text font; the header image sits at the right edge.
void CWizPropPage::LayoutControls() {
  if (m_textFont) EnumChildWindows(GetSafeHwnd(), SetChildFont, reinterpret_cast<LPARAM>(m_textFont));
  PlaceHeaderImage();
}

void CWizPropPage::PlaceHeaderImage() {
  HWND page = GetSafeHwnd();
  HWND header = GetDlgItem(IDC_HEADER_IMAGE);
  if (!header) return;
  RECT client;
  RECT bounds;
  GetClientRect(page, &client);
  GetWindowRect(header, &bounds);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&bounds), 2);
  int width = bounds.right - bounds.left;
  SetWindowPos(header, nullptr, client.right - width, bounds.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CWizPropPage::OnSetActive() {
  CSetupSheet* sheet = GetSetupSheet();
  if (sheet) {
    CWizardSheet::PostWizButtons(sheet->GetSafeHwnd(), m_buttonFlags);
    // Only the View button's state: the flags also go out as
    // PSM_SETWIZBUTTONS, where the View bit means Cancel.
    sheet->EnableViewButton(HasViewText() ? m_buttonFlags : m_buttonFlags & ~kWizButtonView);
  }
  if (IsPageSkipped()) {
    WriteLog(L"Skipping wizard page %s: none of '%s' is true", m_settings.name.c_str(),
             m_settings.displayCondition.c_str());
    return false;
  }
  return true;
}

LRESULT CWizPropPage::OnWizardNext() {
  if (CSetupSheet* sheet = GetSetupSheet()) sheet->SetLastMove(1);
  return 0;
}

LRESULT CWizPropPage::OnWizardBack() {
  if (CSetupSheet* sheet = GetSetupSheet()) sheet->SetLastMove(0);
  return 0;
}

bool CWizPropPage::OnQueryCancel() {
  CSetupSheet* sheet = GetSetupSheet();
  if (!sheet) return false;
  int last = static_cast<int>(sheet->GetPageCount()) - 1;
  if (sheet->GetActiveIndex() == last) return OnWizardFinish();
  CSetupState* state = GetState();
  CCancelDlg question(sheet->GetSafeHwnd());
  question.SetRun(state, sheet->IsSelectionChosenOnCustomize());
  if (question.DoModal() != CCancelDlg::kYes) return false;
  sheet->SetProperty(L"FailedInstall", L"true");
  if (state) state->Signal(CancelRequestEvent);
  // A sequence without the user-exit page has no other way out.
  CWizPropPage* userExit = sheet->GetPageByKind(kPageUserExit);
  if (sheet->GetPageIndex(userExit) < 0) return true;
  sheet->SetActivePageByKind(kPageUserExit);
  return false;
}

bool CWizPropPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      SignalFirstPagePainted();
      *result = TRUE;
      return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG: {
      HBRUSH brush = OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message);
      if (!brush) return false;
      *result = reinterpret_cast<INT_PTR>(brush);
      return true;
    }
    case WM_SIZE:
      // comctl32 sizes the page to its own measure of the sheet after the
      // page has laid itself out, a pixel off at some sizes.
      PlaceHeaderImage();
      return false;
    case WM_SHOWWINDOW:
      if (wParam) {
        CSetupSheet* sheet = GetSetupSheet();
        if (sheet && sheet->GetSafeHwnd()) SetForegroundWindow(sheet->GetSafeHwnd());
      }
      return false;
    default:
      return CWizardPage::OnMessage(message, wParam, lParam, result);
  }
}

void CWizPropPage::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(GetSafeHwnd(), &paint);
  PaintHeaderBand(dc);
  EndPaint(GetSafeHwnd(), &paint);
}

void CWizPropPage::FrameControl(HDC dc, int id, HBRUSH fill) const {
  HWND control = GetDlgItem(id);
  if (!control) return;
  RECT bounds;
  GetWindowRect(control, &bounds);
  MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&bounds), 2);
  InflateRect(&bounds, 1, 1);
  if (fill) FillRect(dc, &bounds, fill);
  HBRUSH frame = CreateSolidBrush(kControlFrameColour);
  FrameRect(dc, &bounds, frame);
  DeleteObject(frame);
}

void CWizPropPage::PaintHeaderBand(HDC dc) {
  CSetupSheet* sheet = GetSetupSheet();
  HWND header = GetDlgItem(IDC_HEADER_IMAGE);
  if (!header || !sheet || !sheet->ShowHeaders()) return;
  RECT client;
  RECT bounds;
  GetClientRect(GetSafeHwnd(), &client);
  GetWindowRect(header, &bounds);
  MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&bounds), 2);
  int bandEnd = HeaderBandBottom(bounds);
  RECT band = {client.left, bounds.bottom, client.right, bandEnd};
  FillVerticalGradient(dc, band, kHeaderTop, kHeaderBottom);
  RECT body = {client.left, bandEnd, client.right, client.bottom};
  FillVerticalGradient(dc, body, kBodyTop, kBodyBottom);
}

// The layout's own measure: it grows with the DPI as the header picture
// and the texts below the band do.
int CWizPropPage::HeaderBandBottom(const RECT& header) const {
  RECT units = {0, 0, 0, kHeaderBandEndUnits};
  MapLayoutRect(&units);
  return HeaderBandEnd(units.bottom, header.top, header.bottom);
}

// Static texts lie on the page's gradient: they are drawn transparent.
// A page whose texts change while shown draws them on a brush instead.
HBRUSH CWizPropPage::OnCtlColor(HDC dc, HWND, UINT message) {
  if (message == WM_CTLCOLORDLG) return nullptr;
  SetTextColor(dc, kTextColour);
  if (message == WM_CTLCOLORSTATIC) {
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return GetSysColorBrush(COLOR_BTNFACE);
}
