// setup_dlg.cpp: the host dialog: starts the worker thread when first shown,
// ends on the worker's end message, and holds the end of a Windows session
// until the worker has finished.
#include "app/setup_dlg.h"

#include <windows.h>

#include "engine/setup_state.h"
#include "engine/worker.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "resources/resource_ids.h"
#include "wizard/cancel_dlg.h"

CSetupDlg::CSetupDlg(HWND parent)
    : CModalDialog(IDD_SETUP_DIALOG, parent),
      m_rebootEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_finishEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  WriteLog(L"SetupDlg Started...");
  m_icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SETUP));
}

// The worker goes first: its destructor still uses the dialog's handles.
CSetupDlg::~CSetupDlg() {
  if (m_workerThread.IsValid()) WaitForSingleObject(m_workerThread.Get(), INFINITE);
  m_worker.reset();
}

BOOL CSetupDlg::OnInitDialog() {
  HWND window = GetSafeHwnd();
  m_progressBar = GetDlgItem(IDC_PROGRESS_BAR);
  m_secondLine = GetDlgItem(IDC_SECOND_LINE);
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
  EnableClose(false);
  SetDlgItemTextW(window, IDC_STATUS_TEXT, LoadResourceString(IDS_PLEASE_WAIT).c_str());
  SetWindowTextW(window, LoadResourceString(IDS_APP_NAME).c_str());
  return TRUE;
}

bool CSetupDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  switch (message) {
    case WM_ENDSETUPDIALOG:
      *result = OnEndSetupDialog(lParam);
      return true;
    case WM_PAINT:
      OnPaint();
      *result = TRUE;
      return true;
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<INT_PTR>(OnQueryDragIcon());
      return true;
    case WM_SHOWWINDOW:
      OnShowWindow();
      return false;  // the default handling goes on
    case WM_SHOWHOSTWINDOW:
      OnShowHostWindow(wParam != 0);
      *result = TRUE;
      return true;
    case WM_WINDOWPOSCHANGING:
      OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
      return false;
    case WM_CHECKREBOOT:
      *result = OnCheckReboot();
      return true;
    case WM_QUERYENDSESSION:
      SetWindowLongPtrW(GetSafeHwnd(), DWLP_MSGRESULT, OnQueryEndSession());
      *result = TRUE;
      return true;
    case WM_ENDSESSION:
      OnEndSession(static_cast<BOOL>(wParam));
      *result = TRUE;
      return true;
    case WM_OFFERCANCEL:
      EnableClose(wParam != 0);
      *result = TRUE;
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) != IDCANCEL) return false;
      OnCancelRequest();
      *result = TRUE;
      return true;
    case WM_CLOSE:
      // Closed only through the run: a cancel it offers asks first.
      OnCancelRequest();
      *result = TRUE;
      return true;
    default:
      return false;
  }
}

void CSetupDlg::OnShowWindow() {
  if (m_worker) return;
  m_worker.reset(new CWorker(this));
  HANDLE thread = nullptr;
  DWORD code = m_worker->StartWorker(&thread);
  m_workerThread.Reset(thread);
  if (code != ERROR_SUCCESS) {
    WriteLog(L"Failed to start worker thread. Error code = %08X", code);
    m_worker.reset();
    EndDialog(static_cast<INT_PTR>(code));
  }
}

void CSetupDlg::EndHost(DWORD status) {
  // Posted first and always: the dialog ignores it while Windows ends, and
  // the end-session handler, woken by the finish event, must find it queued.
  WriteLog(L"Sending WM_ENDSETUPDIALOG message...");
  PostMessageW(GetSafeHwnd(), WM_ENDSETUPDIALOG, 0, static_cast<LPARAM>(status));
  WriteLog(L"Setting finish event...");
  SetEvent(m_finishEvent.Get());
}

// The dialog has one bar: it shows the overall and the package progress.
CProgressWindows CSetupDlg::GetProgressWindows() const {
  CProgressWindows windows;
  windows.overallBar = m_progressBar;
  windows.packageBar = m_progressBar;
  windows.statusLine = m_secondLine;
  return windows;
}

// Asynchronous: the caller never waits for the dialog's thread, which may
// be pausing in its end handlers.
void CSetupDlg::ShowHostWindow(bool show) {
  HWND window = GetSafeHwnd();
  if (!window) return;
  WriteLog(show ? L"Showing the setup window" : L"Hiding the setup window");
  m_keepHidden = !show;
  SendNotifyMessageW(window, WM_SHOWHOSTWINDOW, show ? TRUE : FALSE, 0);
}

void CSetupDlg::OfferCancel(HANDLE cancelEvent) {
  m_cancelEvent = cancelEvent;
  HWND window = GetSafeHwnd();
  if (window) SendNotifyMessageW(window, WM_OFFERCANCEL, cancelEvent ? TRUE : FALSE, 0);
}

void CSetupDlg::EnableClose(bool enable) {
  HMENU systemMenu = GetSystemMenu(GetSafeHwnd(), FALSE);
  if (systemMenu) EnableMenuItem(systemMenu, SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void CSetupDlg::OnCancelRequest() {
  if (!m_cancelEvent || m_asking) return;
  m_asking = true;
  WriteLog(L"Cancel requested while setup waits");
  CCancelDlg question(GetSafeHwnd());
  question.SetRun(m_worker ? m_worker->GetSetupState() : nullptr, false);
  INT_PTR answer = question.DoModal();
  m_asking = false;
  // The offer may have been taken back while the question was up.
  HANDLE cancel = m_cancelEvent;
  if (answer != CCancelDlg::kYes || !cancel) {
    WriteLog(L"User cancel aborted while setup waits");
    return;
  }
  WriteLog(L"User cancel confirmed while setup waits");
  SetEvent(cancel);
}

// Under X without a window manager, Wine takes a window with a caption off
// the screen only after waiting two seconds for one; an empty window region
// takes it off at once, and the hiding follows.
void CSetupDlg::OnShowHostWindow(bool show) {
  HWND window = GetSafeHwnd();
  HRGN region = show ? nullptr : CreateRectRgn(0, 0, 0, 0);
  // The window owns a region it was given; one it refused is ours to free.
  if (!SetWindowRgn(window, region, TRUE) && region) DeleteObject(region);
  ShowWindow(window, show ? SW_SHOW : SW_HIDE);
}

// Whatever step shows the window again goes through here: once hidden for
// a progress window, it stays hidden.
void CSetupDlg::OnWindowPosChanging(WINDOWPOS* position) const {
  if (m_keepHidden && position) position->flags &= ~SWP_SHOWWINDOW;
}

LRESULT CSetupDlg::OnEndSetupDialog(LPARAM status) {
  WriteLog(L"UI Received WM_ENDSETUPDIALOG message");
  Pause(800);
  if (m_shutdown) return 1;  // the end-session handler ends the dialog
  WriteLog(L"Ending setup dialog on WM_ENDSETUPDIALOG message");
  EndDialog(static_cast<INT_PTR>(status));
  return 1;
}

BOOL CSetupDlg::OnQueryEndSession() {
  m_shutdown = 1;
  WriteLog(L"UI Received WM_QUERYENDSESSION message");
  Pause(2000);
  WriteLog(L"Setting reboot event on WM_QUERYENDSESSION message");
  SetEvent(m_rebootEvent.Get());
  if (m_worker && m_worker->GetSetupState()) m_worker->GetSetupState()->m_rebootPending = 1;
  return TRUE;
}

void CSetupDlg::OnEndSession(BOOL ending) {
  WriteLog(L"UI Received WM_ENDSESSION message");
  if (!ending) {
    // The shutdown was called off: the end message works as usual again.
    m_shutdown = 0;
    return;
  }
  // Messages that the worker sends to the dialog's controls must get
  // through while we wait, or neither side ever finishes.
  HANDLE finish = m_finishEvent.Get();
  for (;;) {
    DWORD wait = MsgWaitForMultipleObjects(1, &finish, FALSE, INFINITE, QS_SENDMESSAGE);
    if (wait != WAIT_OBJECT_0 + 1) break;
    MSG sent;
    PeekMessageW(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  WriteLog(L"UI Finish event was signalled");
  MSG message;
  if (PeekMessageW(&message, GetSafeHwnd(), WM_ENDSETUPDIALOG, WM_ENDSETUPDIALOG, PM_REMOVE)) {
    WriteLog(L"UI Dequeued WM_ENDSETUPDIALOG message");
    Pause(200);
    WriteLog(L"Ending setup dialog on WM_ENDSESSION message");
    EndDialog(static_cast<INT_PTR>(message.lParam));
  }
}

LRESULT CSetupDlg::OnCheckReboot() {
  WriteLog(L"Checking for reboot messages in queue");
  MSG message;
  HWND window = GetSafeHwnd();
  if (PeekMessageW(&message, window, WM_QUERYENDSESSION, WM_QUERYENDSESSION, PM_NOREMOVE) ||
      PeekMessageW(&message, window, WM_ENDSESSION, WM_ENDSESSION, PM_NOREMOVE)) {
    WriteLog(L"Setting reboot event on WM_CHECKREBOOT message");
    SetEvent(m_rebootEvent.Get());
    return 1;
  }
  return 0;
}

void CSetupDlg::OnPaint() {
  HWND window = GetSafeHwnd();
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (IsIconic(window)) {
    RECT client;
    GetClientRect(window, &client);
    int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_icon);
  }
  EndPaint(window, &paint);
}
