// shutdown_action.cpp: the configured application or service to shut down:
// an application by posting its windows a close message and waiting for them
// to go, a service through the Service Control Manager.
#include "actions/shutdown_action.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/message_box.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const int kTextLength = 260;
const int kPolls = 10;
const DWORD kShortestPoll = 100;
const DWORD kSilentFailure = ERROR_INSTALL_FAILURE;

std::vector<std::wstring> g_openWindowTitles;
std::vector<std::wstring> g_openWindowClasses;

struct CWindowRecord {
  wchar_t className[kTextLength];
  wchar_t title[kTextLength];
  DWORD waitTime;
  DWORD messageId;
  DWORD wordParam;
  DWORD longParam;
  int matched;  // windows sent the close message
};

struct CServiceHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using CScopedServiceHandle = std::unique_ptr<std::remove_pointer<SC_HANDLE>::type, CServiceHandleCloser>;

std::wstring WindowText(HWND window) {
  wchar_t text[kTextLength] = {};
  GetWindowTextW(window, text, kTextLength);
  return text;
}

void AddOnce(std::vector<std::wstring>* list, const std::wstring& text) {
  if (std::find(list->begin(), list->end(), text) == list->end()) list->push_back(text);
}

BOOL CALLBACK CollectOpenWindows(HWND window, LPARAM) {
  wchar_t className[kTextLength] = {};
  AddOnce(&g_openWindowTitles, WindowText(window));
  if (GetClassNameW(window, className, kTextLength)) AddOnce(&g_openWindowClasses, className);
  return TRUE;
}

void PostCloseMessages(HWND window, const CWindowRecord& record) {
  if (record.messageId != 0) {
    PostMessageW(window, record.messageId, record.wordParam, record.longParam);
  } else if (record.wordParam == 0) {
    // The quit message ends an application that declines the close; an
    // item that must not be ended so configures its own message.
    PostMessageW(window, WM_CLOSE, 0, 0);
    PostMessageW(window, WM_QUIT, 0, 0);
  } else {
    PostMessageW(window, WM_COMMAND, record.wordParam, record.longParam);
  }
}

BOOL CALLBACK CloseWindowCallback(HWND window, LPARAM parameter) {
  CWindowRecord& record = *reinterpret_cast<CWindowRecord*>(parameter);
  wchar_t className[kTextLength] = {};
  // Window classes are case-blind to the system, and so to the lookup that
  // found the application: a class written in another case is the same one.
  if (!GetClassNameW(window, className, kTextLength) || !EqualsNoCase(className, record.className)) {
    return TRUE;
  }
  std::wstring text = WindowText(window);
  if (record.title[0] != L'\0' && text.find(record.title) == std::wstring::npos) return TRUE;
  ++record.matched;
  PostCloseMessages(window, record);
  DWORD poll = record.waitTime < 10 ? kShortestPoll : record.waitTime / 10;
  for (int i = 0; i < kPolls; ++i) {
    if (!FindTopLevelWindow(record.className, text.c_str())) return TRUE;
    Sleep(poll);
  }
  // The same window looked up once more: while it is there, it did not close.
  return IsWindow(window) ? FALSE : TRUE;
}

}  // namespace

bool FindTopLevelWindow(const std::wstring& className, const wchar_t* title) {
  if (className.empty()) return false;
  return FindWindowExW(nullptr, nullptr, className.c_str(), title) != nullptr;
}

CCloseResult CloseApplicationWindows(const std::wstring& className, const std::wstring& title,
                                     DWORD waitTime, DWORD messageId, DWORD wordParam, DWORD longParam) {
  if (className.empty()) return CCloseResult::kNoneOpen;
  CWindowRecord record = {};
  lstrcpynW(record.className, className.c_str(), kTextLength);
  lstrcpynW(record.title, title.c_str(), kTextLength);
  record.waitTime = waitTime;
  record.messageId = messageId;
  record.wordParam = wordParam;
  record.longParam = longParam;
  if (!EnumWindows(CloseWindowCallback, reinterpret_cast<LPARAM>(&record))) return CCloseResult::kStayedOpen;
  return record.matched == 0 ? CCloseResult::kNoneOpen : CCloseResult::kClosed;
}

void TakeOpenWindowCensus() {
  g_openWindowTitles.clear();
  g_openWindowClasses.clear();
  EnumWindows(CollectOpenWindows, 0);
}

const std::vector<std::wstring>& OpenWindowTitles() { return g_openWindowTitles; }
const std::vector<std::wstring>& OpenWindowClasses() { return g_openWindowClasses; }

CShutdownAction::CShutdownAction(int sequence, HWND owner, const std::wstring& className,
                                 const std::wstring& windowTitle, const std::wstring& friendlyName,
                                 DWORD waitTime, DWORD messageId, DWORD wordParam, DWORD longParam)
    : CSetupAction(sequence, std::wstring(), std::wstring(), std::wstring()),
      m_className(className),
      m_windowTitle(windowTitle),
      m_friendlyName(friendlyName),
      m_waitTime(waitTime),
      m_messageId(messageId),
      m_wordParam(wordParam),
      m_longParam(longParam),
      m_owner(owner) {}

CShutdownAction::CShutdownAction(int sequence, HWND owner, const std::wstring& serviceName,
                                 DWORD waitTime)
    : CSetupAction(sequence, std::wstring(), std::wstring(), std::wstring()),
      m_serviceName(serviceName),
      m_waitTime(waitTime),
      m_owner(owner) {}

DWORD CShutdownAction::Execute() {
  if (!m_serviceName.empty() && m_className.empty()) return StopService();
  if (!m_className.empty() && m_serviceName.empty()) return CloseApplication();
  if (m_serviceName.empty() && m_className.empty() && !m_windowTitle.empty()) return CloseApplication();
  return ERROR_FILE_NOT_FOUND;
}

bool CShutdownAction::FindWindow() {
  if (m_className.empty() && !m_windowTitle.empty()) {
    HWND window = ::FindWindowW(nullptr, m_windowTitle.c_str());
    wchar_t className[kTextLength] = {};
    if (!window || !::GetClassNameW(window, className, kTextLength)) {
      WriteLog(L"   Could not obtain the ClassName for window '%s'.", m_windowTitle.c_str());
      return false;
    }
    wchar_t title[kTextLength] = {};
    if (::GetWindowTextW(window, title, kTextLength)) m_windowTitle = title;
    m_className = className;
  }
  if (!m_className.empty() || !m_windowTitle.empty()) return FindTopLevelWindow(m_className, nullptr);
  WriteLog(L"   The ClassName and WindowTitle were both NULL.");
  return false;
}

// Says what the lookup that found nothing was after, so that a name that
// matches no window (a wildcard, a piece of a title) shows in the log.
void CShutdownAction::LogWhatWasLookedFor(bool byTitlePiece) const {
  if (m_className.empty()) {
    WriteLog(L"   No open window has the whole title '%s'.", m_windowTitle.c_str());
  } else if (byTitlePiece && !m_windowTitle.empty()) {
    WriteLog(L"   No open window of the class '%s' (whole name, any case) has '%s' in its title.",
             m_className.c_str(), m_windowTitle.c_str());
  } else {
    WriteLog(L"   No open window has the class '%s' (whole name, any case).", m_className.c_str());
  }
}

DWORD CShutdownAction::CloseApplication() {
  std::wstring caption = LoadResourceString(IDS_WARNING_CAPTION);
  if (!FindWindow()) {
    const std::wstring& name = m_windowTitle.empty() ? m_className : m_windowTitle;
    WriteLog(L"   The application '%s' is not running.", name.c_str());
    LogWhatWasLookedFor(false);
    return ERROR_SUCCESS;
  }
  const std::wstring& name = m_windowTitle.empty() ? m_className : m_windowTitle;
  std::wstring message = ReplaceAll(LoadResourceString(IDS_APPLICATION_NOT_CLOSED), L"_APP_NAME_", name);
  WriteLog(L"   Attempting to close the application '%s'", name.c_str());
  CCloseResult result = CloseApplicationWindows(m_className, m_windowTitle, m_waitTime, m_messageId,
                                                m_wordParam, m_longParam);
  if (result == CCloseResult::kNoneOpen) {
    // A window of the class is open, but none with the title's piece: this
    // application is not running, and nothing was closed.
    WriteLog(L"   The application '%s' is not running.", name.c_str());
    LogWhatWasLookedFor(true);
    return ERROR_SUCCESS;
  }
  bool closed = result == CCloseResult::kClosed;
  if (!closed && !m_required) {
    WriteLog(L"   The applicaiton '%s' failed to close, but it was not set as required.", name.c_str());
    return ERROR_SUCCESS;
  }
  if (!closed && m_silent) {
    WriteLog(L"   The applicaiton '%s' failed to close, and the silent flag is set. Returing a failure.",
             name.c_str());
    return kSilentFailure;
  }
  if (!closed) {
    WriteLog(L"   The applicaiton '%s' failed to close, and setup will prompt the user for guidance.",
             name.c_str());
  }
  while (!closed) {
    int answer = ShowMessageBox(m_owner, message.c_str(), caption.c_str(),
                                MB_YESNO | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    if (answer != IDYES) return 1;
    // Closed by hand meanwhile counts as closed.
    closed = CloseApplicationWindows(m_className, m_windowTitle, m_waitTime, m_messageId, m_wordParam,
                                     m_longParam) != CCloseResult::kStayedOpen;
  }
  WriteLog(L"   The applicaiton '%s' successfully closed.", name.c_str());
  return ERROR_SUCCESS;
}

DWORD CShutdownAction::StopService() {
  if (m_serviceName.empty()) return ERROR_FILE_NOT_FOUND;
  CScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return 1;
  CScopedServiceHandle service(
      OpenServiceW(manager.get(), m_serviceName.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? ERROR_SUCCESS : 1;
  SERVICE_STATUS status = {};
  if (!QueryServiceStatus(service.get(), &status)) return 1;
  if (status.dwCurrentState == SERVICE_STOPPED || status.dwCurrentState == SERVICE_STOP_PENDING) {
    return ERROR_SUCCESS;
  }
  if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return ERROR_SUCCESS;
  if (!m_required) return ERROR_SUCCESS;
  if (m_silent) return 1;
  std::wstring displayName = m_serviceName;
  DWORD size = 0;
  GetServiceDisplayNameW(manager.get(), m_serviceName.c_str(), nullptr, &size);
  if (size > 0) {
    std::vector<wchar_t> buffer(size + 1);
    DWORD length = size + 1;
    if (GetServiceDisplayNameW(manager.get(), m_serviceName.c_str(), buffer.data(), &length)) {
      displayName = buffer.data();
    }
  }
  std::wstring caption = LoadResourceString(IDS_WARNING_CAPTION);
  std::wstring message =
      ReplaceAll(LoadResourceString(IDS_SERVICE_NOT_STOPPED), L"_SERVICE_NAME_", displayName);
  for (;;) {
    int answer = ShowMessageBox(m_owner, message.c_str(), caption.c_str(),
                                MB_YESNO | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    if (answer != IDYES) return 1;
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return ERROR_SUCCESS;
  }
}
