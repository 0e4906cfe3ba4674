// message_box.cpp: the message box dialog (template 129): icon and buttons
// by type, captions from the string table, sized to its text on first show.
#include "wizard/message_box.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>

#include "engine/setup_globals.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_language.h"
#include "resources/resource_ids.h"
#include "wizard/message_box_layout.h"

namespace {

const UINT kButtonSetMask = 0x0F;
const UINT kIconMask = 0xF0;
const UINT kDefaultButtonMask = 0xF00;
const UINT kForegroundFlag = 0x10000;

struct ButtonCaption {
  int id;
  UINT stringId;
};
// Every button of the template; the type shows up to three of them.
const ButtonCaption kButtonCaptions[] = {
    {IDIGNORE, IDS_BOX_IGNORE}, {IDYES, IDS_BUTTON_YES}, {IDRETRY, IDS_BOX_RETRY}, {IDNO, IDS_BUTTON_NO},
    {IDABORT, IDS_BOX_ABORT},   {IDOK, IDS_BOX_OK},   {IDCANCEL, IDS_BOX_CANCEL},
};

void OpenWithShell(const std::wstring& address) {
  ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::atomic<CMessageBox::LinkOpener> g_linkOpener{OpenWithShell};

CLayoutRect ToLayout(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

// The shown top-level window a box speaks for: the owner's, else the
// wizard's sheet (the run's own boxes name no window, or the hidden one
// that the wizard stands in for).
HWND CentringWindow(HWND owner) {
  HWND root = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  if (root && IsWindowVisible(root)) return root;
  HWND sheet = g_wizardSheetWindow;
  return sheet && IsWindowVisible(sheet) ? sheet : nullptr;
}

CLayoutRect WindowBounds(HWND window) {
  RECT bounds = {};
  if (window) GetWindowRect(window, &bounds);
  return ToLayout(bounds);
}

CLayoutRect WorkAreaOf(HWND window) {
  MONITORINFO monitor = {sizeof(monitor)};
  if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor)) return {};
  return ToLayout(monitor.rcWork);
}

// The system's box being shown on this thread: moved over its owner as it
// is first activated (the system centres it on the screen).
thread_local HWND t_systemBoxOwner = nullptr;

LRESULT CALLBACK CentreSystemBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && t_systemBoxOwner) {
    CentreOnOwner(reinterpret_cast<HWND>(wParam), t_systemBoxOwner);
    t_systemBoxOwner = nullptr;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The control's rectangle in the client coordinates of its dialog.
RECT ClientRectOf(HWND dialog, HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

void CentreOnOwner(HWND box, HWND owner) {
  HWND centreOn = CentringWindow(owner);
  if (!box || !centreOn) return;
  CLayoutRect bounds = WindowBounds(box);
  int left = 0;
  int top = 0;
  CentreBox(WindowBounds(centreOn), bounds.Width(), bounds.Height(), WorkAreaOf(centreOn), &left, &top);
  SetWindowPos(box, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CMessageBox::CMessageBox(const std::wstring& message, const std::wstring& caption, UINT type, HWND owner)
    : CModalDialog(IDD_MESSAGE_BOX, nullptr), m_message(message), m_caption(caption), m_type(type), m_owner(owner) {
  SetLanguage(GetResourceLanguageId());
}

int WINAPI CMessageBox::ShowMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  // The link control's class is registered by the common controls library.
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LINK_CLASS};
  InitCommonControlsEx(&controls);
  CMessageBox box(text ? text : L"", caption ? caption : L"", type, owner);
  INT_PTR result = box.DoModal();
  // A box that cannot be made must not answer for the user: the system's asks.
  if (result == -1) return MessageBoxW(nullptr, text, caption, type);
  return static_cast<int>(result);
}

int CMessageBox::ShowSystemBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  HWND centreOn = CentringWindow(owner);
  HHOOK hook = centreOn ? SetWindowsHookExW(WH_CBT, CentreSystemBox, nullptr, GetCurrentThreadId()) : nullptr;
  t_systemBoxOwner = hook ? centreOn : nullptr;
  int answer = MessageBoxW(owner, text.c_str(), caption.c_str(), type);
  t_systemBoxOwner = nullptr;
  if (hook) UnhookWindowsHookEx(hook);
  return answer;
}

void CMessageBox::SetLinkOpener(LinkOpener opener) { g_linkOpener = opener ? opener : OpenWithShell; }

std::vector<int> CMessageBox::ButtonsOfType(UINT type) {
  switch (type & kButtonSetMask) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
  }
}

BOOL CMessageBox::OnInitDialog() {
  ShowIcon();
  SetDlgItemTextW(GetSafeHwnd(), IDC_MESSAGE_LINK, m_message.c_str());
  ShowButtons();
  return FALSE;  // the focus is on the first button already
}

void CMessageBox::ShowIcon() {
  LPCWSTR icon = IDI_ASTERISK;
  switch (m_type & kIconMask) {
    case MB_ICONHAND: icon = IDI_HAND; break;
    case MB_ICONQUESTION: icon = IDI_QUESTION; break;
    case MB_ICONEXCLAMATION: icon = IDI_EXCLAMATION; break;
  }
  m_icon = LoadIconW(nullptr, icon);
  SendDlgItemMessageW(GetSafeHwnd(), IDC_MESSAGE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(m_icon), 0);
}

void CMessageBox::ShowButtons() {
  for (const ButtonCaption& button : kButtonCaptions) {
    SetDlgItemTextW(GetSafeHwnd(), button.id, LoadResourceString(button.stringId).c_str());
    ShowWindow(GetDlgItem(button.id), SW_HIDE);
  }
  m_buttons = ButtonsOfType(m_type);
  for (int id : m_buttons) ShowWindow(GetDlgItem(id), SW_SHOW);
  // Enter answers with the button the type names (MB_DEFBUTTON2 and on), the
  // first one otherwise, as on the system's box.
  size_t chosen = (m_type & kDefaultButtonMask) >> 8;
  int defaultId = chosen < m_buttons.size() ? m_buttons[chosen] : m_buttons.front();
  SendMessageW(GetSafeHwnd(), DM_SETDEFID, defaultId, 0);
  SetFocus(GetDlgItem(defaultId));
}

bool CMessageBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  switch (message) {
    case WM_SHOWWINDOW:
      if (wParam && !m_shown) {
        m_shown = true;
        OnFirstShow();
      }
      break;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->idFrom == IDC_MESSAGE_LINK && (header->code == NM_CLICK || header->code == NM_RETURN)) {
        OpenLink(reinterpret_cast<const NMLINK*>(lParam)->item.szUrl);
        *result = TRUE;
        return true;
      }
      break;
    }
  }
  return CModalDialog::OnMessage(message, wParam, lParam, result);
}

bool CMessageBox::OnCommand(int id, int code) {
  // Cancel also comes from Escape and from closing the window, whether or
  // not the type shows a Cancel button.
  if (id < IDOK || id > IDNO || code != BN_CLICKED) return CModalDialog::OnCommand(id, code);
  EndDialog(id);
  return true;
}

void CMessageBox::OnFirstShow() {
  SetWindowTextW(GetSafeHwnd(), m_caption.c_str());
  Layout();
  UINT icon = m_type & kIconMask;
  MessageBeep(icon >= MB_ICONHAND && icon <= MB_ICONASTERISK ? icon : 0);
  if (m_type & kForegroundFlag) SetForegroundWindow(GetSafeHwnd());
}

void CMessageBox::MeasureText(int maxLength, CMessageBoxMeasures* measures) {
  HWND control = GetDlgItem(IDC_MESSAGE_LINK);
  HDC dc = GetDC(control);
  HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(GetSafeHwnd(), WM_GETFONT, 0, 0)));
  int visibleLength = VisibleMessageLength(m_message);
  SIZE extent = {};
  GetTextExtentPoint32W(dc, m_message.c_str(), visibleLength, &extent);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  measures->charWidth = AverageCharWidth(extent.cx, visibleLength, metrics.tmAveCharWidth);
  MeasureMessageLines(m_message, maxLength, &measures->lineCount, &measures->lineLength);
  for (const std::wstring& line : BreakMessageLines(m_message, maxLength)) {
    SIZE lineExtent = {};
    GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &lineExtent);
    measures->textWidth = std::max(measures->textWidth, static_cast<int>(lineExtent.cx));
  }
  SelectObject(dc, oldFont);
  ReleaseDC(control, dc);
}

void CMessageBox::Layout() {
  HWND box = GetSafeHwnd();
  HWND control = GetDlgItem(IDC_MESSAGE_LINK);
  HWND firstButton = GetDlgItem(m_buttons.front());
  RECT window = {};
  GetWindowRect(box, &window);
  RECT controlRect = ClientRectOf(box, control);
  RECT buttonRect = ClientRectOf(box, firstButton);

  CMessageBoxMeasures measures;
  measures.window = ToLayout(window);
  measures.control = ToLayout(controlRect);
  measures.buttonCount = static_cast<int>(m_buttons.size());
  measures.buttonWidth = buttonRect.right - buttonRect.left;
  measures.firstButtonTop = buttonRect.top;
  measures.screenWidth = GetSystemMetrics(SM_CXSCREEN);
  measures.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  HWND centreOn = CentringWindow(m_owner);
  measures.owner = WindowBounds(centreOn);
  measures.workArea = WorkAreaOf(centreOn ? centreOn : box);
  MeasureText(MaxLineLength(measures.screenWidth, measures.control.Width()), &measures);

  CMessageBoxLayout layout = ComputeMessageBoxLayout(measures);
  SetWindowPos(control, nullptr, 0, 0, layout.messageWidth, layout.messageHeight, SWP_NOMOVE | SWP_NOZORDER);
  for (size_t i = 0; i < m_buttons.size(); ++i) {
    SetWindowPos(GetDlgItem(m_buttons[i]), nullptr, layout.buttonLefts[i], layout.buttonTop, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  }
  SetWindowPos(box, nullptr, layout.boxLeft, layout.boxTop, layout.boxWidth, layout.boxHeight, SWP_NOZORDER);
}

void CMessageBox::OpenLink(const wchar_t* address) {
  if (address && *address) g_linkOpener.load()(address);
}
