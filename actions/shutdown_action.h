#pragma once
// shutdown_action.h: CShutdownAction, an application to close or a service
// to stop before products are installed.
#include <windows.h>

#include <string>

#include "actions/setup_action.h"

class CShutdownAction : public CSetupAction {
 public:
  // An application, found by its windows' class and title.
  CShutdownAction(int sequence, HWND owner, const std::wstring& className,
                  const std::wstring& windowTitle, const std::wstring& friendlyName,
                  DWORD waitTime, DWORD messageId, DWORD wordParam, DWORD longParam);
  // A service; the window fields stay empty.
  CShutdownAction(int sequence, HWND owner, const std::wstring& serviceName, DWORD waitTime);

  DWORD Execute() override;

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
