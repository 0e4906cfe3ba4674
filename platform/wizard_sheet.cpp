// wizard_sheet.cpp: builds the property sheet from the pages, runs it
// modally and subclasses the sheet window once comctl32 has created it.
#include "platform/wizard_sheet.h"

#include <windows.h>
#include <commctrl.h>

#include "platform/callback_boundary.h"
#include "platform/dialog_template.h"
#include "platform/wizard_page.h"

namespace {

const UINT_PTR kSubclassId = 1;

// PSCB_INITIALIZED carries no pointer of ours: the sheet that is starting
// on this thread is remembered here for it.
thread_local CWizardSheet* t_startingSheet = nullptr;

}  // namespace

CWizardSheet::CWizardSheet() = default;

CWizardSheet::~CWizardSheet() {
  if (m_window) RemoveWindowSubclass(m_window, SheetSubclassProc, kSubclassId);
}

void CWizardSheet::AddPage(CWizardPage* page) {
  if (!page) return;
  page->m_sheet = this;
  m_pages.push_back(page);
}

int CWizardSheet::GetPageIndex(const CWizardPage* page) const {
  for (size_t index = 0; index < m_pages.size(); ++index) {
    if (m_pages[index] == page) return static_cast<int>(index);
  }
  return -1;
}

void CWizardSheet::SetTitle(const std::wstring& title) {
  m_title = title;
  if (m_window) SetWindowTextW(m_window, m_title.c_str());
}

CWizardSheet::CLayoutUnits CWizardSheet::MeasureLayout(const std::wstring& face, int points, int layoutDpi,
                                                       int screenDpi) {
  CLayoutUnits units = {};
  if (points <= 0 || layoutDpi <= 0 || screenDpi <= 0) return units;
  units.framePoints = (points * layoutDpi + screenDpi - 1) / screenDpi;
  units.frame = MeasureDialogBaseUnits(face, MulDiv(units.framePoints, screenDpi, 72));
  units.grid = layoutDpi == screenDpi ? units.frame : MeasureDialogBaseUnits(face, MulDiv(points, layoutDpi, 72));
  return units;
}

SIZE CWizardSheet::ToFrameUnits(SIZE pageUnits, const CLayoutUnits& units) {
  if (units.frame.cx <= 0 || units.frame.cy <= 0) return pageUnits;
  auto up = [](LONG value, LONG grid, LONG frame) { return (value * grid + frame - 1) / frame; };
  return {up(pageUnits.cx, units.grid.cx, units.frame.cx), up(pageUnits.cy, units.grid.cy, units.frame.cy)};
}

void CWizardSheet::SetLayoutDpi(int layoutDpi, int screenDpi) {
  bool valid = layoutDpi > 0 && screenDpi > 0;
  m_layoutDpi = valid ? layoutDpi : 96;
  m_screenDpi = valid ? screenDpi : 96;
}

void CWizardSheet::MeasurePages(HMODULE module) {
  int points = 0;
  m_pageFace.clear();
  m_units = {};
  const DLGTEMPLATE* first = m_pages.empty() ? nullptr
                                             : LoadDialogTemplate(module, m_pages[0]->GetTemplateId(), m_language);
  if (!GetDialogTemplateFont(first, &points, &m_pageFace)) return;
  m_units = Rescaled() ? MeasureLayout(m_pageFace, points, m_layoutDpi, m_screenDpi)
                       : CLayoutUnits{{0, 0}, {0, 0}, points};
}

void CWizardSheet::SetFrameFont(DLGTEMPLATE* dialog) const {
  if (!dialog || m_units.framePoints <= 0) return;
  if (SetDialogTemplateFont(dialog, m_units.framePoints, m_pageFace)) return;
  // A face longer than the sheet's own: its size still follows the layout.
  if (Rescaled()) SetDialogTemplatePointSize(dialog, m_units.framePoints);
}

const DLGTEMPLATE* CWizardSheet::PageTemplate(HMODULE module, const CWizardPage* page) {
  if (!Rescaled() || m_units.framePoints <= 0) return LoadDialogTemplate(module, page->GetTemplateId(), m_language);
  std::vector<BYTE> copy = CopyDialogTemplate(module, page->GetTemplateId(), m_language);
  if (copy.empty()) return nullptr;
  DLGTEMPLATE* dialog = reinterpret_cast<DLGTEMPLATE*>(copy.data());
  SetDialogTemplatePointSize(dialog, m_units.framePoints);
  SetDialogTemplateSize(dialog, ToFrameUnits(GetDialogTemplateSize(dialog), m_units));
  m_scaledTemplates.push_back(std::move(copy));
  return reinterpret_cast<const DLGTEMPLATE*>(m_scaledTemplates.back().data());
}

void CWizardSheet::PlacePageControls(const CWizardPage* page) const {
  HWND window = page->GetSafeHwnd();
  if (!Rescaled() || !window || m_units.grid.cx <= 0) return;
  std::vector<RECT> rects = GetDialogTemplateItemRects(
      LoadDialogTemplate(GetModuleHandleW(nullptr), page->GetTemplateId(), m_language));
  std::vector<HWND> children;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  if (children.size() != rects.size()) return;
  for (size_t index = 0; index < rects.size(); ++index) {
    RECT place = rects[index];
    MapLayoutRect(window, &place);
    SetWindowPos(children[index], nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void CWizardSheet::MapLayoutRect(HWND page, RECT* rect) const {
  if (!Rescaled() || m_units.grid.cx <= 0) {
    MapDialogRect(page, rect);
    return;
  }
  // As the dialog manager does: each edge and each extent on its own.
  LONG width = rect->right - rect->left;
  LONG height = rect->bottom - rect->top;
  rect->left = MulDiv(rect->left, m_units.grid.cx, 4);
  rect->top = MulDiv(rect->top, m_units.grid.cy, 8);
  rect->right = rect->left + MulDiv(width, m_units.grid.cx, 4);
  rect->bottom = rect->top + MulDiv(height, m_units.grid.cy, 8);
}

INT_PTR CWizardSheet::DoModal(HWND parent) {
  HMODULE module = GetModuleHandleW(nullptr);
  // A copy's bytes stay where they are while the list of copies grows.
  m_scaledTemplates.clear();
  MeasurePages(module);
  std::vector<HPROPSHEETPAGE> handles;
  for (CWizardPage* page : m_pages) {
    PROPSHEETPAGEW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSP_DLGINDIRECT | page->GetPageFlags();
    if (!m_title.empty()) {
      header.dwFlags |= PSP_USETITLE;
      header.pszTitle = m_title.c_str();
    }
    header.hInstance = module;
    header.pResource = PageTemplate(module, page);
    header.pfnDlgProc = CWizardPage::PageProc;
    header.lParam = reinterpret_cast<LPARAM>(page);
    HPROPSHEETPAGE handle = header.pResource ? CreatePropertySheetPageW(&header) : nullptr;
    if (!handle) {
      DWORD error = header.pResource ? GetLastError() : ERROR_RESOURCE_NAME_NOT_FOUND;
      for (HPROPSHEETPAGE created : handles) DestroyPropertySheetPage(created);
      SetLastError(error ? error : ERROR_INVALID_DATA);
      return -1;
    }
    if (handles.empty()) m_rightToLeft = (GetDialogTemplateExStyle(header.pResource) & WS_EX_LAYOUTRTL) != 0;
    handles.push_back(handle);
  }
  PROPSHEETHEADERW header = {};
  header.dwSize = sizeof(header);
  header.dwFlags = m_headerFlags | PSH_USECALLBACK;
  header.hwndParent = parent;
  header.hInstance = module;
  header.pszCaption = m_title.c_str();
  header.nPages = static_cast<UINT>(handles.size());
  header.nStartPage = m_startPage >= 0 && static_cast<size_t>(m_startPage) < handles.size() ? m_startPage : 0;
  header.phpage = handles.data();
  header.pfnCallback = SheetCallback;
  CWizardSheet* outer = t_startingSheet;
  t_startingSheet = this;
  INT_PTR result = PropertySheetW(&header);
  t_startingSheet = outer;
  m_window = nullptr;
  return result;
}

bool CWizardSheet::SetActivePage(int index) {
  if (index < 0 || static_cast<size_t>(index) >= m_pages.size()) return false;
  if (!m_window) {
    m_startPage = index;
    return true;
  }
  return SendMessageW(m_window, PSM_SETCURSEL, static_cast<WPARAM>(index), 0) != 0;
}

int CWizardSheet::GetActiveIndex() const {
  if (!m_window) return m_startPage;
  HWND page = reinterpret_cast<HWND>(SendMessageW(m_window, PSM_GETCURRENTPAGEHWND, 0, 0));
  for (size_t index = 0; index < m_pages.size(); ++index) {
    if (page && m_pages[index]->GetSafeHwnd() == page) return static_cast<int>(index);
  }
  return -1;
}

CWizardPage* CWizardSheet::GetActivePage() const {
  int index = GetActiveIndex();
  return index >= 0 ? m_pages[index] : nullptr;
}

void CWizardSheet::SetWizardButtons(DWORD flags) const { PostWizButtons(m_window, flags); }

void CWizardSheet::PressButton(EButton button) const {
  if (m_window) SendMessageW(m_window, PSM_PRESSBUTTON, button, 0);
}

// comctl32 asks the page itself on WM_CLOSE and then lets the dialog
// manager press Cancel, which asks a second time; on a page whose Cancel is
// disabled it still asks, and the window never closes.
void CWizardSheet::Close() const {
  HWND cancel = ::GetDlgItem(m_window, IDCANCEL);
  if (cancel && IsWindowEnabled(cancel)) {
    PressButton(kCancel);
    return;
  }
  HWND finish = ::GetDlgItem(m_window, kFinishButtonId);
  if (finish && IsWindowVisible(finish) && IsWindowEnabled(finish)) PressButton(kFinish);
}

// Posted, not sent: Wine's modal loop notices that the sheet has ended
// only when a posted message arrives, and a press that opens a modal box
// (Cancel) would hold a sending thread until the box is answered.
void CWizardSheet::PressButtonFromOtherThread(HWND sheet, EButton button) {
  if (sheet) PostMessageW(sheet, PSM_PRESSBUTTON, button, 0);
}

void CWizardSheet::PostWizButtons(HWND sheet, DWORD flags) {
  if (sheet) PostMessageW(sheet, PSM_SETWIZBUTTONS, 0, flags);
}

bool CWizardSheet::OnSheetMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

void CWizardSheet::KeepKeyboardOnButtons(DWORD flags) {
  HWND next = ::GetDlgItem(m_window, kNextButtonId);
  bool finish = (flags & PSWIZB_FINISH) && !(flags & PSWIZB_DISABLEDFINISH);
  // Enter presses Next, or the page's own default while Next is disabled;
  // never Back.
  if (next && !finish && !(flags & PSWIZB_NEXT)) SendMessageW(m_window, DM_SETDEFID, kNextButtonId, 0);
  HWND focus = GetFocus();
  bool kept = focus && (focus == m_window || IsChild(m_window, focus)) && IsWindowEnabled(focus) &&
              IsWindowVisible(focus);
  if (kept) {
    // comctl32 focuses a page's first control directly; a push button
    // focused so is not what Enter presses until the dialog manager has
    // made it the default, as a Tab to it would.
    bool pageButton = focus != m_window && GetParent(focus) != m_window &&
                      (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON);
    if (pageButton) SendMessageW(m_window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
    return;
  }
  DWORD defaultId = static_cast<DWORD>(SendMessageW(m_window, DM_GETDEFID, 0, 0));
  HWND target = HIWORD(defaultId) == DC_HASDEFID ? ::GetDlgItem(m_window, LOWORD(defaultId)) : nullptr;
  if (!target || !IsWindowEnabled(target) || !IsWindowVisible(target)) {
    CWizardPage* page = GetActivePage();
    target = page && page->GetSafeHwnd() ? GetNextDlgTabItem(page->GetSafeHwnd(), nullptr, FALSE) : nullptr;
  }
  // Without a focus, keys reach the sheet as system keys that no dialog
  // handles: the sheet itself takes them when nothing else can.
  if (target) {
    SendMessageW(m_window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
  } else {
    SetFocus(m_window);
  }
}

int CALLBACK CWizardSheet::SheetCallback(HWND window, UINT message, LPARAM lParam) {
  CWizardSheet* sheet = t_startingSheet;
  if (!sheet) return 0;
  if (message == PSCB_PRECREATE) {
    // The sheet's own template: a right-to-left language's pages mirror
    // the whole window, its buttons and title bar included. The template
    // comes in the system's language, mirrored on a Hebrew or Arabic
    // system: pages in a left-to-right language keep the frame unmirrored.
    DLGTEMPLATE* dialog = reinterpret_cast<DLGTEMPLATE*>(lParam);
    if (dialog) {
      DWORD exStyle = GetDialogTemplateExStyle(dialog);
      SetDialogTemplateExStyle(dialog, sheet->m_rightToLeft ? exStyle | WS_EX_LAYOUTRTL : exStyle & ~WS_EX_LAYOUTRTL);
    }
    // The sheet measures the pages in its own dialog units.
    sheet->SetFrameFont(dialog);
    return 0;
  }
  if (message != PSCB_INITIALIZED) return 0;
  sheet->m_window = window;
  SetWindowSubclass(window, SheetSubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(sheet));
  try {
    sheet->OnInitialized();
  } catch (...) {
    // The sheet still runs with what it has: the pages work without the
    // sheet's own additions.
    ReportBoundaryException(L"the wizard sheet's initialisation");
  }
  return 0;
}

LRESULT CALLBACK CWizardSheet::SheetSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                 UINT_PTR, DWORD_PTR data) {
  CWizardSheet* sheet = reinterpret_cast<CWizardSheet*>(data);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, SheetSubclassProc, kSubclassId);
    if (sheet) sheet->m_window = nullptr;
    return DefSubclassProc(window, message, wParam, lParam);
  }
  if (!sheet) return DefSubclassProc(window, message, wParam, lParam);
  try {
    if (message == WM_COMMAND && sheet->m_forwardedCommands.count(LOWORD(wParam))) {
      CWizardPage* page = sheet->GetActivePage();
      if (page && page->GetSafeHwnd()) SendMessageW(page->GetSafeHwnd(), WM_COMMAND, wParam, lParam);
      return 0;
    }
    if (message == WM_CLOSE || (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE)) {
      sheet->Close();
      return 0;
    }
    if (message == PSM_SETWIZBUTTONS) {
      LRESULT result = DefSubclassProc(window, message, wParam, lParam);
      sheet->KeepKeyboardOnButtons(static_cast<DWORD>(lParam));
      return result;
    }
    LRESULT result = 0;
    if (sheet->OnSheetMessage(message, wParam, lParam, &result)) return result;
  } catch (...) {
    ReportBoundaryException(L"the wizard sheet's window procedure");
  }
  return DefSubclassProc(window, message, wParam, lParam);
}
