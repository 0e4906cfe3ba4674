// windows_update_suppression.cpp: the AUOptions round trip that keeps
// Windows Update from installing and restarting during a run.
#include "foundation/windows_update_suppression.h"

#include <windows.h>

#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"

namespace {
const wchar_t kAutoUpdateKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\";
const wchar_t kAUOptionsValue[] = L"AUOptions";
const DWORD kNotifyBeforeDownload = 2;
const DWORD kFirstAutomatic = 3;
}  // namespace

CWindowsUpdateSuppression::CWindowsUpdateSuppression()
    : CWindowsUpdateSuppression(HKEY_LOCAL_MACHINE, kAutoUpdateKey) {}

CWindowsUpdateSuppression::CWindowsUpdateSuppression(HKEY root, const std::wstring& subkey)
    : m_root(root), m_subkey(subkey) {}

// ERROR_FILE_NOT_FOUND when there is no setting; other failures are logged.
// A missing key is not created: a run that finds no automatic setting
// changes nothing and must leave no key.
DWORD CWindowsUpdateSuppression::ReadOptions(DWORD* value) {
  try {
    CRegistryKey key;
    key.Open(m_root, m_subkey, KEY_QUERY_VALUE, false);
    *value = key.GetValueDWORD(kAUOptionsValue);
    return ERROR_SUCCESS;
  } catch (const CError& error) {
    if (error.GetErrorCode() != ERROR_FILE_NOT_FOUND) {
      WriteLog(L"   Failed to get AUOptions with error: %d", error.GetErrorCode());
    }
    return error.GetErrorCode();
  }
}

bool CWindowsUpdateSuppression::WriteOptions(DWORD value) {
  if (value < kNotifyBeforeDownload) {
    WriteLog(L"   We are not allowed to set AUOptions to: %d", value);
    return false;
  }
  try {
    CRegistryKey key;
    key.Open(m_root, m_subkey, KEY_QUERY_VALUE | KEY_SET_VALUE, false);
    key.SetValueDWORD(kAUOptionsValue, value);
    return true;
  } catch (const CError& error) {
    WriteLog(L"   Failed to set AUOptions with error: %d", error.GetErrorCode());
    return false;
  }
}

void CWindowsUpdateSuppression::SuppressWindowsUpdate(bool suppress) {
  if (suppress == m_suppressed) return;
  if (suppress) {
    WriteLog(L"Attempting to supress Windows Update");
    DWORD read = ReadOptions(&m_original);
    if (read == ERROR_FILE_NOT_FOUND) {
      // The usual case: no policy says how Windows Update runs.
      WriteLog(L"   Windows Update has no AUOptions setting; there is nothing to hold");
    }
    if (read != ERROR_SUCCESS) return;
    if (m_original < kFirstAutomatic) {
      const wchar_t* kStates[] = {L"set to 0 which is an invalid value", L"disabled",
                                  L"set to notify for both download and install"};
      WriteLog(L"   Windows Update was already %s", kStates[m_original]);
      return;
    }
    if (WriteOptions(kNotifyBeforeDownload)) {
      WriteLog(L"   Supressed Windows Update successfully");
      m_suppressed = true;
    } else {
      WriteLog(L"   Supressing Windows Update failed");
    }
    return;
  }
  WriteLog(L"Attempting to restore Windows Update");
  DWORD current = 0;
  if (ReadOptions(&current) != ERROR_SUCCESS || current != m_original) {
    WriteLog(WriteOptions(m_original) ? L"   Restoring Windows Update was successful"
                                      : L"   Restoring Windows Update failed");
  } else {
    WriteLog(L"   Windows Update did not need to be restored");
  }
  m_suppressed = false;
}
