// shutdown_action.cpp: the configured application or service to shut down.
#include "actions/shutdown_action.h"

#include "foundation/setup_log.h"

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

// Never 0: an application that was not closed must not pass for closed.
DWORD CShutdownAction::Execute() {
  WriteLog(L"   Stage not built yet: %s", L"CShutdownAction::Execute");
  return ERROR_CALL_NOT_IMPLEMENTED;
}
