#pragma once
// shutdown_action.h: CShutdownAction, an application to close or a service
// to stop before products are installed.
#include <windows.h>

#include <string>
#include <vector>

#include "actions/setup_action.h"

class CShutdownAction : public CSetupAction {
 public:
  // An application, found by its windows' class and title.
  CShutdownAction(int sequence, HWND owner, const std::wstring& className,
                  const std::wstring& windowTitle, const std::wstring& friendlyName,
                  DWORD waitTime, DWORD messageId, DWORD wordParam, DWORD longParam);
  // A service; the window fields stay empty.
  CShutdownAction(int sequence, HWND owner, const std::wstring& serviceName, DWORD waitTime);

  // ServiceName alone: stop the service; ClassName or WindowTitle alone:
  // close the application; anything else: 2.
  DWORD Execute() override;
  // A title-only application learns its class from the window found.
  bool FindWindow();
  // 0 closed, not running or not required; 1 the user gave up; 1603 a
  // required application that stayed open in a silent run.
  DWORD CloseApplication();
  // 0 stopped, stopping, absent or not required; 1 failure or the user gave
  // up; 2 no service name.
  DWORD StopService();
  void SetClassName(const std::wstring& className) { m_className = className; }
  void SetWindowTitle(const std::wstring& windowTitle) { m_windowTitle = windowTitle; }

  void SetSilent(bool silent) { m_silent = silent; }
  bool IsSilent() const { return m_silent; }
  void SetRequired(bool required) { m_required = required; }
  bool IsRequired() const { return m_required; }
  const std::wstring& GetClassName() const { return m_className; }
  const std::wstring& GetWindowTitle() const { return m_windowTitle; }
  const std::wstring& GetFriendlyName() const { return m_friendlyName; }
  const std::wstring& GetServiceName() const { return m_serviceName; }
  DWORD GetWaitTime() const { return m_waitTime; }
  DWORD GetMessageId() const { return m_messageId; }
  DWORD GetWordParam() const { return m_wordParam; }
  DWORD GetLongParam() const { return m_longParam; }

 private:
  void LogWhatWasLookedFor(bool byTitlePiece) const;

  std::wstring m_className;
  std::wstring m_windowTitle;
  std::wstring m_friendlyName;
  std::wstring m_serviceName;
  DWORD m_waitTime = 0;
  DWORD m_messageId = 0;
  DWORD m_wordParam = 0;
  DWORD m_longParam = 0;
  HWND m_owner = nullptr;
  bool m_silent = false;
  bool m_required = true;
};

// Whether a top-level window of the class (with exactly that text when one
// is given) exists; false for an empty class.
bool FindTopLevelWindow(const std::wstring& className, const wchar_t* title);
enum class CCloseResult {
  kClosed,      // every matching window went away
  kNoneOpen,    // no window matched: nothing was sent
  kStayedOpen,  // a matching window was still there after the wait
};
// Posts the close message to every top-level window of the class (any
// case) whose text holds the title and waits for each to go.
CCloseResult CloseApplicationWindows(const std::wstring& className, const std::wstring& title,
                                     DWORD waitTime, DWORD messageId, DWORD wordParam, DWORD longParam);

// The process-wide census of open top-level windows: each title and class
// once. Filled on the worker thread only.
void TakeOpenWindowCensus();
const std::vector<std::wstring>& OpenWindowTitles();
const std::vector<std::wstring>& OpenWindowClasses();
