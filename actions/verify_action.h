#pragma once
// verify_action.h: CVerifyAction, the base of the checks that run before
// anything is installed: whether it may show a box, and the message and
// refusal a configured check carries.
#include <windows.h>

#include <string>

#include "actions/setup_action.h"

// A failed check's result that asks the caller to end the run with the
// thread's last error, which the check sets just before returning (1247).
constexpr DWORD kVerifyEndWithLastError = ERROR_ALREADY_INITIALIZED;

class CVerifyAction : public CSetupAction {
 public:
  CVerifyAction(int sequence, const std::wstring& keyName, const std::wstring& actionName,
                const std::wstring& name);

  void SetSilent(bool silent) { m_silent = silent; }
  bool IsSilent() const { return m_silent; }
  void SetMessage(const std::wstring& message) { m_message = message; }
  const std::wstring& GetMessage() const { return m_message; }
  int GetRefusal() const { return m_refusal; }
  // 1 when built: while set, the Windows Installer is never downloaded.
  void SetNoDownload(bool noDownload) { m_noDownload = noDownload; }
  bool IsNoDownload() const { return m_noDownload; }

 protected:
  void SetRefusalValue(int refusal) { m_refusal = refusal; }

 private:
  bool m_silent = false;
  bool m_noDownload = true;
  std::wstring m_message;
  int m_refusal = 0;
};
