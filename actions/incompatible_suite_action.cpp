// incompatible_suite_action.cpp: leaves an incompatible suite's member
// product to its other users, or uninstalls it when this was the last one.
#include "actions/incompatible_suite_action.h"

#include <windows.h>

#include <string>
#include <vector>

#include "actions/dll_entry_call.h"
#include "actions/ref_counting.h"
#include "actions/windows_installer_command.h"
#include "foundation/error.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

CIncompatibleSuiteAction::CIncompatibleSuiteAction(int sequence, const std::wstring& displayName,
                                                   const std::wstring& uninstallKey,
                                                   const std::wstring& user,
                                                   const std::wstring& command)
    : CSetupAction(sequence, uninstallKey, displayName, displayName),
      m_displayName(displayName),
      m_command(command),
      m_uninstallKey(uninstallKey),
      m_user(user) {}

DWORD CIncompatibleSuiteAction::Execute() {
  if (m_uninstallKey.empty()) return ERROR_SUCCESS;
  if (!m_refCounter) {
    // Without the counts nobody can tell whether another suite still needs it.
    WriteLog(L"   No reference counter for %s; the product stays", m_uninstallKey.c_str());
    return ERROR_SUCCESS;
  }
  try {
    std::vector<std::wstring> users;
    int count = m_refCounter->ReadUsers(m_uninstallKey, &users);
    if (count >= 2) {
      m_refCounter->ReleaseReference(m_user, m_uninstallKey, false);
      return ERROR_SUCCESS;
    }
    if (count == 1) return RemoveLastUser();
    return ERROR_SUCCESS;
  } catch (const CError& error) {
    WriteLog(L"   The references of %s could not be changed: %s", m_uninstallKey.c_str(),
             error.GetMessage().c_str());
    return error.GetErrorCode() == ERROR_SUCCESS ? ERROR_INSTALL_FAILURE : error.GetErrorCode();
  }
}

DWORD CIncompatibleSuiteAction::RemoveLastUser() {
  size_t journalMark = m_refCounter->GetJournalSize();
  m_refCounter->ReleaseReference(m_user, m_uninstallKey, false);
  HANDLE handle = nullptr;
  DWORD result = RunWindowsInstallerCommand(m_command, &handle);
  if (result == ERROR_SUCCESS) result = WaitForCommandExit(handle);
  if (IsRebootExitCode(result)) {
    m_rebootRequired = true;
    result = ERROR_SUCCESS;
  }
  WriteLog(L"   Uninstall of %s returned: %d", m_uninstallKey.c_str(), result);
  if (result != ERROR_SUCCESS) {
    // The product is still there: it keeps its user, or nobody could
    // remove it later.
    while (m_refCounter->GetJournalSize() > journalMark) m_refCounter->UndoLastOperation();
  }
  return result;
}

bool CIncompatibleSuiteAction::CallIncompatibleSuiteDll(const std::wstring& text) {
  size_t comma = text.find(L',');
  std::wstring path = Trim(text.substr(0, comma));
  std::wstring entryName = comma == std::wstring::npos ? std::wstring() : Trim(text.substr(comma + 1));
  HMODULE module = LoadLibraryW(path.c_str());
  if (!module) {
    WriteLog(L"Failed to load : %s for incompatibleSuite", path.c_str());
    return false;
  }
  bool called = true;
  FARPROC entry = entryName.empty() ? nullptr : FindDllEntry(module, entryName);
  if (entry) {
    DWORD result = 0;
    DWORD exceptionCode = 0;
    if (!CallDllEntry(entry, nullptr, &result, &exceptionCode)) {
      WriteLog(L"   Exception 0x%08X in '%s' of '%s' for incompatibleSuite", exceptionCode,
               entryName.c_str(), path.c_str());
      called = false;
    }
  }
  FreeLibrary(module);
  return called;
}
