// wizard_page.cpp: the page's dialog procedure, which turns the sheet's
// notifications into the page's virtual functions and their answers into
// the values comctl32 expects. It is a no-throw boundary: Windows calls it.
#include "platform/wizard_page.h"

#include <windows.h>
#include <commctrl.h>

#include "platform/callback_boundary.h"
#include "platform/window_text.h"
#include "platform/wizard_sheet.h"

namespace {

const UINT_PTR kKeysSubclassId = 0x7C0F;
// The subclass's data: Enter, too, goes to the sheet.
const DWORD_PTR kLeaveReturn = 1;

// Escape belongs to the sheet (its Cancel) whatever control has the focus:
// a rich edit or a multi-line edit asks for every key, and the sheet's
// dialog manager would hand it the Escape it then drops.
LRESULT CALLBACK SheetKeysProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR data) {
  if (message == WM_NCDESTROY) RemoveWindowSubclass(window, SheetKeysProc, kKeysSubclassId);
  LRESULT result = DefSubclassProc(window, message, wParam, lParam);
  const MSG* key = reinterpret_cast<const MSG*>(lParam);
  if (message == WM_GETDLGCODE && key && key->message == WM_KEYDOWN &&
      (key->wParam == VK_ESCAPE || (key->wParam == VK_RETURN && (data & kLeaveReturn)))) {
    result &= ~static_cast<LRESULT>(DLGC_WANTMESSAGE | DLGC_WANTALLKEYS);
  }
  return result;
}

BOOL CALLBACK LeaveEscapeToSheet(HWND control, LPARAM) {
  DWORD_PTR data = 0;
  // A control the page already handed Enter to the sheet keeps that.
  if (!GetWindowSubclass(control, SheetKeysProc, kKeysSubclassId, &data)) {
    SetWindowSubclass(control, SheetKeysProc, kKeysSubclassId, 0);
  }
  return TRUE;
}

}  // namespace

CWizardPage::CWizardPage(UINT templateId) : m_templateId(templateId) {}

void CWizardPage::LeaveReturnToSheet(int id) const {
  if (HWND control = GetDlgItem(id)) SetWindowSubclass(control, SheetKeysProc, kKeysSubclassId, kLeaveReturn);
}

void CWizardPage::SetItemText(int id, const std::wstring& text) const {
  SetDlgItemTextW(m_window, id, text.c_str());
}

void CWizardPage::MapLayoutRect(RECT* rect) const {
  if (m_sheet) {
    m_sheet->MapLayoutRect(m_window, rect);
  } else {
    MapDialogRect(m_window, rect);
  }
}

std::wstring CWizardPage::GetItemText(int id) const { return GetWindowTextString(GetDlgItem(id)); }

bool CWizardPage::OnCommand(int, int) { return false; }

bool CWizardPage::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR* result) {
  if (message != WM_COMMAND) return false;
  if (!OnCommand(LOWORD(wParam), HIWORD(wParam))) return false;
  *result = TRUE;
  return true;
}

// The answers follow comctl32: -1 refuses an activation, TRUE from a
// query or a finish keeps the sheet open.
INT_PTR CWizardPage::OnNotify(const NMHDR* header) {
  switch (header->code) {
    case PSN_SETACTIVE:
      return OnSetActive() ? 0 : -1;
    case PSN_KILLACTIVE:
      return OnKillActive() ? FALSE : TRUE;
    case PSN_WIZNEXT:
      return OnWizardNext();
    case PSN_WIZBACK:
      return OnWizardBack();
    case PSN_WIZFINISH:
      return OnWizardFinish() ? FALSE : TRUE;
    case PSN_QUERYCANCEL:
      return OnQueryCancel() ? FALSE : TRUE;
    default:
      return 0;
  }
}

INT_PTR CALLBACK CWizardPage::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CWizardPage* page = nullptr;
  if (message == WM_INITDIALOG) {
    const PROPSHEETPAGEW* header = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    page = header ? reinterpret_cast<CWizardPage*>(header->lParam) : nullptr;
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
    if (page) page->m_window = window;
  } else {
    page = reinterpret_cast<CWizardPage*>(GetWindowLongPtrW(window, DWLP_USER));
  }
  if (!page) return FALSE;
  try {
    if (message == WM_INITDIALOG) {
      if (page->m_sheet) page->m_sheet->PlacePageControls(page);
      BOOL result = page->OnInitDialog();
      EnumChildWindows(window, LeaveEscapeToSheet, 0);
      return result;
    }
    if (message == WM_NOTIFY) {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->code >= PSN_LAST && header->code <= PSN_FIRST) {
        SetWindowLongPtrW(window, DWLP_MSGRESULT, page->OnNotify(header));
        return TRUE;
      }
    }
    INT_PTR result = FALSE;
    if (page->OnMessage(message, wParam, lParam, &result)) return result;
  } catch (...) {
    // The page cannot answer: the sheet is told to stay where it is, and
    // the failure is reported.
    ReportBoundaryException(L"a wizard page procedure");
    if (message == WM_NOTIFY) {
      SetWindowLongPtrW(window, DWLP_MSGRESULT, -1);
      return TRUE;
    }
  }
  if (message == WM_NCDESTROY) page->m_window = nullptr;
  return FALSE;
}
