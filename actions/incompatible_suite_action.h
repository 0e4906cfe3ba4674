#pragma once
// incompatible_suite_action.h: CIncompatibleSuiteAction, takes this suite's
// reference off one member product of a suite that cannot live beside ours,
// and uninstalls the product when no other suite uses it.
#include <windows.h>

#include <string>

#include "actions/setup_action.h"

class IRefCounting;

class CIncompatibleSuiteAction : public CSetupAction {
 public:
  // `user`: the incompatible suite's id as the product's reference list
  // holds it; `uninstallKey`: the product's Uninstall subkey.
  CIncompatibleSuiteAction(int sequence, const std::wstring& displayName,
                           const std::wstring& uninstallKey, const std::wstring& user,
                           const std::wstring& command);

  // 0 when the reference went (and, for the last user, the product with
  // it); otherwise the failing code, with the reference put back.
  DWORD Execute() override;

  // "<dll path>,<entry>": loads the DLL and calls the entry without
  // arguments. False when the DLL does not load or the entry crashes.
  static bool CallIncompatibleSuiteDll(const std::wstring& text);

  const std::wstring& GetUninstallKey() const { return m_uninstallKey; }
  const std::wstring& GetUser() const { return m_user; }
  const std::wstring& GetDisplayName() const { return m_displayName; }
  const std::wstring& GetCommand() const { return m_command; }
  // The counter the action reads and changes: a temporary one of its own.
  void SetRefCounter(IRefCounting* counter) { m_refCounter = counter; }
  // The uninstaller asked for a restart.
  bool IsRebootRequired() const { return m_rebootRequired; }

 private:
  DWORD RemoveLastUser();

  std::wstring m_displayName;
  std::wstring m_command;
  std::wstring m_uninstallKey;
  std::wstring m_user;
  IRefCounting* m_refCounter = nullptr;
  bool m_rebootRequired = false;
};
