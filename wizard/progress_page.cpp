// progress_page.cpp: the Progress page: its look by mode, its detail line,
// the waiting thread that follows the worker, and the cancel handshake with
// the action runner.
#include "wizard/progress_page.h"

#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <atomic>

#include "actions/msi_external_ui.h"
#include "engine/product_data.h"
#include "engine/setup_globals.h"
#include "engine/setup_state.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "platform/callback_boundary.h"
#include "platform/system_dlls.h"
#include "platform/thread.h"
#include "platform/wide_string.h"
#include "platform/window_text.h"
#include "resources/resource_ids.h"
#include "wizard/cancel_dlg.h"
#include "wizard/first_paint_signal.h"
#include "wizard/progress_rules.h"
#include "wizard/setup_sheet.h"
#include "wizard/user_exit_dlg.h"
#include "wizard/wiz_page_rules.h"
#include "wizard/wizard_text.h"

namespace {

const wchar_t kNoOnlineAccessProperty[] = L"NO_ONLINE_ACCESS";
const wchar_t kPromotionAllowedProperty[] = L"URLPromotionAllowed";
const wchar_t kPromotionProperty[] = L"URLPromotion";
const wchar_t kPromotionOfflineProperty[] = L"URLPromotionOffline";
const wchar_t kFailedInstallProperty[] = L"FailedInstall";
const wchar_t kChromeAppPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Chrome.exe";
const wchar_t kChromeWindowClass[] = L"Chrome_WidgetWin_0";
const wchar_t kExplorerWindowClass[] = L"IEFrame";
const LONG kPromotionFirstSequence = 4100;
// Posted by the waiting thread to the page when the worker cancels the run.
const UINT kWorkerCancelMessage = WM_APP + 1;
const UINT_PTR kDetailSubclassId = 0x4D7A;
// The basic window's spacing, in pixels: under the header's place, between
// the bar and Cancel, and below Cancel.
const int kBasicGap = 10;
const int kBrowserWidth = 700;
const int kBrowserHeight = 500;

// The promotion opens at most once per process.
std::atomic<bool> g_promotionAllowed{true};

bool GetSetupProperty(const CSetupState* state, const wchar_t* name, std::wstring* value) {
  return state && state->GetProperty(name, value);
}

// The installer's major version, or 0 when it cannot be read.
DWORD InstallerMajorVersion() {
  HMODULE msi = LoadSystemDll(L"msi.dll");
  if (!msi) return 0;
  DWORD major = 0;
  auto getVersion = reinterpret_cast<HRESULT(CALLBACK*)(DLLVERSIONINFO*)>(GetProcAddress(msi, "DllGetVersion"));
  DLLVERSIONINFO info = {sizeof(info)};
  if (getVersion && SUCCEEDED(getVersion(&info))) major = info.dwMajorVersion;
  FreeLibrary(msi);
  return major;
}

void MoveControlBy(HWND page, HWND control, int dy) {
  if (!control) return;
  RECT bounds;
  GetWindowRect(control, &bounds);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&bounds), 2);
  SetWindowPos(control, nullptr, bounds.left, bounds.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TopOf(HWND page, HWND control) {
  RECT bounds = {};
  GetWindowRect(control, &bounds);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&bounds), 2);
  return bounds.top;
}

// Starts the browser with the address; its window is placed top left.
bool StartBrowser(const std::wstring& program, const std::wstring& address, const wchar_t* windowClass) {
  std::wstring commandLine = Format(L"\"%s\" %s", program.c_str(), address.c_str());
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  CScopedHandle process(info.hProcess);
  CScopedHandle thread(info.hThread);
  WaitForInputIdle(process.Get(), 5000);
  HWND window = FindWindowW(windowClass, nullptr);
  if (window) SetWindowPos(window, nullptr, 0, 0, kBrowserWidth, kBrowserHeight, SWP_NOZORDER);
  return true;
}

}  // namespace

CProgressPage::CProgressPage() : CWizPropPage(IDD_WIZ_PROGRESS) {}

CProgressPage::~CProgressPage() { EndWaitThread(); }

BOOL CProgressPage::OnInitDialog() {
  CWizPropPage::OnInitDialog();
  CSetupSheet* sheet = GetSetupSheet();
  m_fullUi = sheet ? sheet->ShowHeaders() : true;
  m_sheetWindow = sheet ? sheet->GetSafeHwnd() : nullptr;
  m_runState = GetState();
  m_progressBar = GetDlgItem(IDC_PROGRESS_MAIN_BAR);
  m_detailProgressBar = GetDlgItem(IDC_PROGRESS_SECOND_BAR);
  SetFonts();
  if (m_fullUi) ShowSecurityImage();
  if (m_fullUi) {
    ShowWindow(GetDlgItem(IDCANCEL), SW_HIDE);
  } else {
    LayoutBasicInterface();
  }
  SetTexts();
  KeepDetailToOneLine();
  PublishWindows();
  ShowDetailControls();
  CSetupState* state = m_runState;
  if (state && state->m_maintenanceMode) {
    ShowWindow(GetDlgItem(IDC_PROGRESS_SECURITY_NOTE), SW_HIDE);
    ShowWindow(GetDlgItem(IDC_PROGRESS_SECURITY_IMAGE), SW_HIDE);
    EnableCancel(false);
  }
  std::wstring value;
  if (GetSetupProperty(state, kPromotionProperty, &value)) {
    m_promotionUrl = sheet ? sheet->ExpandMacros(value) : value;
  }
  if (GetSetupProperty(state, kPromotionOfflineProperty, &value)) {
    m_promotionFile = sheet ? sheet->ExpandMacros(value) : value;
  }
  m_stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  DWORD error = ERROR_SUCCESS;
  m_waitThread.Reset(StartThread(WaitThreadProc, this, &error));
  if (!m_waitThread.IsValid()) WriteLog(L"Unable to start the progress page thread; error code = %d", error);
  return TRUE;
}

void CProgressPage::SetFonts() {
  auto setFont = [this](int id, HFONT font) {
    HWND control = GetDlgItem(id);
    if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  };
  setFont(IDC_PROGRESS_TITLE, m_titleFont);
  for (int id : {IDC_PROGRESS_SUBTITLE, IDC_PROGRESS_DESCRIPTION, IDC_PROGRESS_STATUS_LABEL, IDC_PROGRESS_STATUS,
                 IDC_PROGRESS_FRAME, IDC_PROGRESS_SECURITY_NOTE, IDCANCEL}) {
    setFont(id, m_textFont);
  }
}

void CProgressPage::ShowSecurityImage() {
  CSetupSheet* sheet = GetSetupSheet();
  if (sheet) ShowPicture(IDC_PROGRESS_SECURITY_IMAGE, SecurityImageResourceId(sheet->GetDpi()));
}

// The basic interface shows only the description, the status, the bar and
// the page's own Cancel, moved up under the header's place.
void CProgressPage::LayoutBasicInterface() {
  HWND page = GetSafeHwnd();
  for (int id : {IDC_PROGRESS_TITLE, IDC_PROGRESS_SUBTITLE, IDC_PROGRESS_SECURITY_NOTE, IDC_PROGRESS_SECURITY_IMAGE,
                 IDC_HEADER_IMAGE, IDC_PROGRESS_FRAME}) {
    ShowWindow(GetDlgItem(id), SW_HIDE);
  }
  for (int id : {CWizardSheet::kBackButtonId, CWizardSheet::kNextButtonId, CWizardSheet::kFinishButtonId}) {
    ShowWindow(::GetDlgItem(m_sheetWindow, id), SW_HIDE);
  }
  HWND header = GetDlgItem(IDC_HEADER_IMAGE);
  HWND description = GetDlgItem(IDC_PROGRESS_DESCRIPTION);
  if (!header || !description) return;
  int dy = TopOf(page, header) + kBasicGap - TopOf(page, description);
  MoveControlBy(page, description, dy);
  for (int id : {IDC_PROGRESS_STATUS_LABEL, IDC_PROGRESS_STATUS, IDC_PROGRESS_MAIN_BAR}) {
    MoveControlBy(page, GetDlgItem(id), dy - kBasicGap);
  }
  HWND cancel = GetDlgItem(IDCANCEL);
  if (!cancel || !m_progressBar) return;
  ShowWindow(cancel, SW_SHOWNOACTIVATE);
  RECT bar;
  GetWindowRect(m_progressBar, &bar);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&bar), 2);
  MoveControlBy(page, cancel, bar.bottom + kBasicGap - TopOf(page, cancel));
}

bool CProgressPage::OnSetActive() {
  bool active = CWizPropPage::OnSetActive();
  // The sheet places the page only after its initialisation: measured here.
  if (!m_fullUi) FitSheetBelow(GetDlgItem(IDCANCEL));
  return active;
}

// The sheet ends the same gap below the control as the control is below the
// bar: the sheet's own button row and the page's lower part are left out.
void CProgressPage::FitSheetBelow(HWND control) const {
  RECT sheetBounds;
  RECT client;
  RECT bounds;
  if (!m_sheetWindow || !GetWindowRect(m_sheetWindow, &sheetBounds) || !GetClientRect(m_sheetWindow, &client) ||
      !GetWindowRect(control, &bounds)) {
    return;
  }
  MapWindowPoints(nullptr, m_sheetWindow, reinterpret_cast<POINT*>(&bounds), 2);
  int shrink = client.bottom - (bounds.bottom + kBasicGap);
  if (shrink <= 0) return;
  SetWindowPos(m_sheetWindow, nullptr, 0, 0, sheetBounds.right - sheetBounds.left,
               sheetBounds.bottom - sheetBounds.top - shrink, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CProgressPage::SetTexts() {
  CSetupState* state = m_runState;
  LONG setupType = state ? state->m_setupType.load() : SetupTypeComplete;
  bool maintenance = state && (state->m_maintenanceMode || setupType == SetupTypeCleanSystem);
  auto setOwnText = [&](int id) {
    std::wstring text = ReplaceAll(GetItemText(id), L"[Progress1]", PageString(IDS_PROGRESS_INSTALLING));
    text = ReplaceAll(text, L"[Progress2]", PageString(IDS_PROGRESS_INSTALLS));
    SetItemText(id, ReplaceWizardTokens(text, state));
  };
  if (!maintenance) {
    setOwnText(IDC_PROGRESS_TITLE);
    setOwnText(IDC_PROGRESS_DESCRIPTION);
  } else {
    SetItemText(IDC_PROGRESS_DESCRIPTION, PageString(IDS_CONFIGURING_PRODUCT));
    if (setupType == SetupTypeRemove && !RemovesWholeSuite(state)) {
      // It keeps products: it changes the suite rather than removing it.
      setOwnText(IDC_PROGRESS_TITLE);
    } else {
      bool repair = setupType == SetupTypeRepair;
      SetItemText(IDC_PROGRESS_TITLE, PageString(repair ? IDS_REPAIRING_PRODUCT : IDS_UNINSTALLING_PRODUCT));
      SetItemText(IDC_PROGRESS_SUBTITLE, PageString(repair ? IDS_REPAIR_CHOSEN : IDS_REMOVE_CHOSEN));
    }
  }
  m_statusText = PageString(IDS_GATHERING_REQUIRED_INFORMATION);
  SetItemText(IDC_PROGRESS_STATUS, m_statusText);
  SetItemText(IDC_PROGRESS_DETAIL, m_statusText);
}

void CProgressPage::PublishWindows() {
  g_progressWindows.overallBar = m_progressBar;
  g_progressWindows.statusLine = GetDlgItem(IDC_PROGRESS_STATUS);
  g_progressWindows.packageBar = m_detailProgressBar;
  g_progressWindows.detailText = GetDlgItem(IDC_PROGRESS_DETAIL);
}

void CProgressPage::ShowDetailControls() {
  DWORD major = InstallerMajorVersion();
  if (major == 0) return;
  int show = major >= 4 && m_fullUi ? SW_SHOWNOACTIVATE : SW_HIDE;
  ShowWindow(m_detailProgressBar, show);
  ShowWindow(GetDlgItem(IDC_PROGRESS_DETAIL), show);
  ShowWindow(GetDlgItem(IDC_PROGRESS_FRAME), SW_HIDE);
}

// The installer sends its action texts from its own thread, several lines
// at a time, into a box one line high. The worker waits for the waiting
// thread, started after this, before the run changes its products.
void CProgressPage::KeepDetailToOneLine() {
  if (m_runState) {
    for (const auto& entry : m_runState->m_products) {
      const CProductData& product = *entry.second;
      if (!product.GetProductCode().empty()) {
        m_productNames.push_back({product.GetProductCode(), product.GetProductName()});
      }
    }
  }
  HWND detail = GetDlgItem(IDC_PROGRESS_DETAIL);
  if (detail) SetWindowSubclass(detail, DetailTextProc, kDetailSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

// Runs on the interface thread: another thread's SetWindowText is sent here.
LRESULT CALLBACK CProgressPage::DetailTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                               DWORD_PTR data) {
  if (message == WM_NCDESTROY) RemoveWindowSubclass(window, DetailTextProc, kDetailSubclassId);
  if (message != WM_SETTEXT || !lParam) return DefSubclassProc(window, message, wParam, lParam);
  try {
    auto* page = reinterpret_cast<CProgressPage*>(data);
    std::wstring line = DetailLine(reinterpret_cast<const wchar_t*>(lParam), page->m_productNames);
    // A text with nothing to show leaves the line as it was.
    if (line.empty()) return TRUE;
    return DefSubclassProc(window, message, wParam, reinterpret_cast<LPARAM>(line.c_str()));
  } catch (...) {
    ReportBoundaryException(L"the progress page's detail line");
    return FALSE;
  }
}

HWND CProgressPage::ActiveCancelButton() const {
  if (m_fullUi) return m_sheetWindow ? ::GetDlgItem(m_sheetWindow, IDCANCEL) : nullptr;
  return GetDlgItem(IDCANCEL);
}

void CProgressPage::EnableCancel(bool enable) const {
  HWND button = ActiveCancelButton();
  if (button) EnableWindow(button, enable ? TRUE : FALSE);
  HMENU menu = m_sheetWindow ? GetSystemMenu(m_sheetWindow, FALSE) : nullptr;
  if (menu) EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

unsigned __stdcall CProgressPage::WaitThreadProc(void* parameter) {
  try {
    static_cast<CProgressPage*>(parameter)->WaitForWorker();
  } catch (...) {
    WriteLog(L"Unknown exception thrown in the progress page thread");
  }
  return 0;
}

void CProgressPage::WaitForWorker() {
  CSetupState* state = m_runState;
  SwitchPromotion();
  const CSetupStateEvent kEvents[] = {ProgressStartedEvent, FinishEvent,      InstallProgressEvent,
                                      RollbackProgressEvent, CancelRequestEvent, CancelUIEvent};
  for (CSetupStateEvent event : kEvents) {
    if (!state || !state->GetEvent(event)) {
      WriteLog(L"Error starting progress page thread; one or more invalid event handles.");
      return;
    }
  }
  state->Signal(ProgressStartedEvent);
  HANDLE handles[] = {state->GetEvent(FinishEvent), state->GetEvent(InstallProgressEvent),
                      state->GetEvent(RollbackProgressEvent), state->GetEvent(CancelUIEvent), m_stopEvent.Get()};
  for (;;) {
    DWORD wait = WaitForMultipleObjects(5, handles, FALSE, INFINITE);
    if (wait == WAIT_OBJECT_0 + 1) {
      OnInstallProgress();
      continue;
    }
    if (wait == WAIT_OBJECT_0 + 2) {
      m_cancelled = true;
      continue;
    }
    if (wait == WAIT_OBJECT_0) {
      WriteLog(L"Caught finish event in progress page thread");
      EnableCancel(false);
      CWizardSheet::PostWizButtons(m_sheetWindow, kWizButtonNext);
      Sleep(100);
      PressFromWaitThread();
    } else if (wait == WAIT_OBJECT_0 + 3) {
      WriteLog(L"Caught cancel event in progress page thread");
      // One message that the page handles whole: separate presses of Cancel
      // and Next could meet the sheet on another page, or after it ended.
      PostMessageW(GetSafeHwnd(), kWorkerCancelMessage, 0, 0);
    } else if (wait == WAIT_OBJECT_0 + 4) {
      return;  // the page is going away
    } else {
      WriteLog(L"Failed waiting during progress page thread; error code = %d", wait);
    }
    break;
  }
  HWND page = GetSafeHwnd();
  if (page) {
    InvalidateRect(page, nullptr, TRUE);
    UpdateWindow(page);
  }
}

// Next leaves the page; in the basic interface Finish then closes the sheet.
void CProgressPage::PressFromWaitThread() const {
  CWizardSheet::PressButtonFromOtherThread(m_sheetWindow, CWizardSheet::kNext);
  if (!m_fullUi) CWizardSheet::PressButtonFromOtherThread(m_sheetWindow, CWizardSheet::kFinish);
}

void CProgressPage::SwitchPromotion() const {
  std::wstring noOnlineAccess;
  std::wstring promotionAllowed;
  bool hasOnline = GetSetupProperty(m_runState, kNoOnlineAccessProperty, &noOnlineAccess);
  bool hasAllowed = GetSetupProperty(m_runState, kPromotionAllowedProperty, &promotionAllowed);
  if (IsPromotionSwitchedOff(hasOnline ? &noOnlineAccess : nullptr, hasAllowed ? &promotionAllowed : nullptr)) {
    g_promotionAllowed = false;
  }
}

void CProgressPage::OnInstallProgress() {
  CSetupState* state = m_runState;
  if (!state->m_maintenanceMode && g_promotionAllowed && !m_cancelled &&
      state->m_runningSequence >= kPromotionFirstSequence) {
    LaunchPromotion();
    g_promotionAllowed = false;
  }
  EnableCancel(IsCancelOffered(state->m_setupType, state->m_cancelAllowed));
}

void CProgressPage::LaunchPromotion() const {
  std::wstring address;
  if (!m_promotionUrl.empty() && UrlIsW(m_promotionUrl.c_str(), URLIS_URL)) {
    address = m_promotionUrl;
  } else if (!m_promotionFile.empty() && GetFileAttributesW(m_promotionFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
    wchar_t url[L_MAX_URL_LENGTH] = {};
    DWORD length = L_MAX_URL_LENGTH;
    if (FAILED(UrlCreateFromPathW(m_promotionFile.c_str(), url, &length, 0))) return;
    address = url;
  } else {
    return;
  }
  std::wstring chrome;
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, kChromeAppPath, KEY_READ, false);
    chrome = key.GetValueSZ(L"");
  } catch (const CError&) {
    chrome.clear();  // no browser registered there: Internet Explorer below
  }
  if (!chrome.empty()) {
    WriteLog(L"Launching Google Chrome with command line: %s",
             Format(L"\"%s\" %s", chrome.c_str(), address.c_str()).c_str());
    if (StartBrowser(chrome, address, kChromeWindowClass)) return;
    WriteLog(L"   Chrome failed to launch");
  }
  WriteLog(L"Launching Internet Explorer with command line: %s",
           Format(L"\"%s\" %s", L"iexplore.exe", address.c_str()).c_str());
  if (!StartBrowser(L"iexplore.exe", address, kExplorerWindowClass)) {
    WriteLog(L"   Internet Explorer failed to launch");
  }
}

// The Cancel button, the window's Close and Escape. The sheet is never
// closed from here: the run ends the page through the waiting thread.
bool CProgressPage::OnQueryCancel() {
  AnswerCancel(false);
  return false;
}

void CProgressPage::OnWorkerCancel() {
  AnswerCancel(true);
  // The worker asks only when its run has failed: the run ends as cancelled
  // even where the running action refused the cancel.
  m_cancelled = true;
  CSetupSheet* sheet = GetSetupSheet();
  if (!sheet) return;
  // Sent, not posted: the page reaches the user-exit page before anything
  // else the sheet is asked; a sheet already past this page goes its way.
  if (sheet->GetActivePage() == this) sheet->PressButton(CWizardSheet::kNext);
  if (!m_fullUi) sheet->PressButton(CWizardSheet::kFinish);
}

void CProgressPage::AnswerCancel(bool autoConfirm) {
  CSetupState* state = m_runState;
  if (!state) return;
  if (IsCancelRefused(state->m_setupType, autoConfirm, state->m_cancelAllowed)) return;
  WriteLog(L"Cancel event detected in progress dialog");
  state->Signal(CancelRequestEvent);
  INT_PTR answer = CCancelDlg::kYes;
  if (!autoConfirm) {
    CCancelDlg question(m_sheetWindow ? m_sheetWindow : GetSafeHwnd());
    CSetupSheet* sheet = GetSetupSheet();
    question.SetRun(state, sheet && sheet->IsSelectionChosenOnCustomize());
    answer = question.DoModal();
  }
  if (answer == CCancelDlg::kYes) {
    WriteLog(L"User cancel confirmed in progress dialog");
    SetUserCancelled(true);
    state->m_cancelAllowed = 0;
    EnableCancel(false);
    state->Signal(CancelConfirmedEvent);
    m_cancelled = true;
  } else if (answer == CCancelDlg::kNo) {
    WriteLog(L"User cancel aborted in progress dialog");
    state->Signal(CancelAbortedEvent);
  } else {
    WriteLog(L"Unknown code returned from CancelDlg: %d", static_cast<int>(answer));
  }
}

// After a cancel or a rollback the wizard ends on the user-exit page, which
// says the setup was interrupted: Finish would report the failed run as a
// success.
LRESULT CProgressPage::OnWizardNext() {
  WriteLog(L"Executing CProgressPage::OnWizardNext()");
  CSetupSheet* sheet = GetSetupSheet();
  if (!m_cancelled || !sheet) return CWizPropPage::OnWizardNext();
  sheet->SetProperty(kFailedInstallProperty, L"true");
  CWizPropPage* userExit = sheet->GetPageByKind(kPageUserExit);
  bool hasUserExit = userExit && sheet->GetPageIndex(userExit) >= 0;
  CWizPropPage::OnWizardNext();
  if (PageAfterProgress(true, hasUserExit) == kUserExitPage) {
    if (auto* page = dynamic_cast<CUserExitDlg*>(userExit)) page->SetShowLogLink(true);
    sheet->SetActivePageByKind(kPageUserExit);
  } else {
    sheet->SetActivePageByKind(kPageFinish);
  }
  return -1;
}

bool CProgressPage::OnCommand(int id, int code) {
  // The page's own Cancel (the basic interface's only button).
  if (id == IDCANCEL) {
    OnQueryCancel();
    return true;
  }
  return CWizPropPage::OnCommand(id, code);
}

bool CProgressPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == kWorkerCancelMessage) {
    OnWorkerCancel();
    *result = TRUE;
    return true;
  }
  if (message == WM_ERASEBKGND) {
    PaintBackground(reinterpret_cast<HDC>(wParam));
    *result = TRUE;
    return true;
  }
  if (message == WM_PAINT) {
    // The background is drawn on erase; painting only validates.
    PAINTSTRUCT paint;
    BeginPaint(GetSafeHwnd(), &paint);
    EndPaint(GetSafeHwnd(), &paint);
    SignalFirstPagePainted();
    *result = TRUE;
    return true;
  }
  if (message == WM_DESTROY) {
    EndWaitThread();
    // The run's progress reaches no window once the page is gone.
    if (g_progressWindows.overallBar == m_progressBar) g_progressWindows = CProgressWindows();
  }
  return CWizPropPage::OnMessage(message, wParam, lParam, result);
}

void CProgressPage::PaintBackground(HDC dc) {
  RECT client;
  GetClientRect(GetSafeHwnd(), &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  if (!m_fullUi) return;
  PaintHeaderBand(dc);
  FrameControl(dc, IDC_PROGRESS_FRAME, m_whiteBrush);
}

HBRUSH CProgressPage::OnCtlColor(HDC dc, HWND control, UINT message) {
  HBRUSH shared = CWizPropPage::OnCtlColor(dc, control, message);
  if (!shared) return nullptr;  // the page itself: its background is drawn on erase
  if (!m_fullUi) {
    // The basic window is plain grey: its texts are drawn on that grey, so
    // a status that changes erases the one before it.
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
  }
  int id = GetDlgCtrlID(control);
  if (id == IDC_PROGRESS_FRAME || id == IDC_PROGRESS_STATUS_LABEL || id == IDC_PROGRESS_STATUS ||
      id == IDC_PROGRESS_DETAIL) {
    // Texts that change while shown are drawn on their own white ground.
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, 0xFFFFFF);
    return m_whiteBrush;
  }
  SetBkMode(dc, TRANSPARENT);
  return message == WM_CTLCOLORSTATIC ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)) : shared;
}

void CProgressPage::EndWaitThread() {
  if (!m_waitThread.IsValid()) return;
  if (m_stopEvent.IsValid()) SetEvent(m_stopEvent.Get());
  // The thread touches the page only through messages that fail once the
  // window is gone; it is given a moment to notice the stop.
  WaitForSingleObject(m_waitThread.Get(), 5000);
  m_waitThread.Reset();
}
