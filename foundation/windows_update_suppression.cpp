// windows_update_suppression.cpp: the AUOptions round trip that keeps
// Windows Update from installing and restarting during a run, with the
// record that lets a later run finish it when this one is killed.
#include "foundation/windows_update_suppression.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "foundation/error.h"
#include "foundation/process_identity.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "foundation/wow64.h"
#include "platform/wide_string.h"

namespace {
const wchar_t kAutoUpdateKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\";
const wchar_t kAUOptionsValue[] = L"AUOptions";
// Followed by the holding run's process identity; a DWORD: the setting it replaced.
const wchar_t kHoldPrefix[] = L"AUOptions held by setup ";
const DWORD kNotifyBeforeDownload = 2;
const DWORD kFirstAutomatic = 3;
const DWORD kLastAutomatic = 5;

bool IsAutomatic(DWORD value) { return value >= kFirstAutomatic && value <= kLastAutomatic; }
}  // namespace

CWindowsUpdateSuppression::CWindowsUpdateSuppression()
    : CWindowsUpdateSuppression(HKEY_LOCAL_MACHINE, kAutoUpdateKey) {}

CWindowsUpdateSuppression::CWindowsUpdateSuppression(HKEY root, const std::wstring& subkey)
    : m_root(root),
      m_subkey(subkey),
      // Windows Update reads the 64-bit view only: a value in the 32-bit one
      // changes nothing, and is neither held nor written.
      m_view(IsWow64() ? KEY_WOW64_64KEY : 0),
      m_holdName(kHoldPrefix + CProcessIdentity::Current().ToText()) {}

void CWindowsUpdateSuppression::OpenKey(CRegistryKey* key, REGSAM access) const {
  key->Open(m_root, m_subkey, access | m_view, false);
}

// ERROR_FILE_NOT_FOUND when there is no setting; other failures are logged.
// A missing key is not created: a run that finds no automatic setting
// changes nothing and must leave no key.
DWORD CWindowsUpdateSuppression::ReadOptions(DWORD* value) {
  try {
    CRegistryKey key;
    OpenKey(&key, KEY_QUERY_VALUE);
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
    OpenKey(&key, KEY_QUERY_VALUE | KEY_SET_VALUE);
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
    RestoreAbandonedHolds();
    Suppress();
  } else {
    Restore();
  }
}

void CWindowsUpdateSuppression::Suppress() {
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
  if (!IsAutomatic(m_original)) {
    WriteLog(L"   Windows Update is set to %lu, which it does not know; it is left as it is", m_original);
    return;
  }
  // Kept before it is replaced: a run killed from here on must not change
  // the machine's update policy for good.
  if (!WriteHold(m_original)) {
    WriteLog(L"   Windows Update is left as it is: the setting could not be kept for a later run");
    return;
  }
  if (WriteOptions(kNotifyBeforeDownload)) {
    WriteLog(L"   Supressed Windows Update successfully");
    m_suppressed = true;
  } else {
    WriteLog(L"   Supressing Windows Update failed");
    DeleteHold(m_holdName);
  }
}

// Someone who changed the setting during the run chose it: only the 2 this
// run wrote is taken back.
void CWindowsUpdateSuppression::Restore() {
  WriteLog(L"Attempting to restore Windows Update");
  DWORD current = 0;
  bool read = ReadOptions(&current) == ERROR_SUCCESS;
  bool done = true;
  if (read && current == m_original) {
    WriteLog(L"   Windows Update did not need to be restored");
  } else if (read && current == kNotifyBeforeDownload) {
    done = WriteOptions(m_original);
    WriteLog(done ? L"   Restoring Windows Update was successful" : L"   Restoring Windows Update failed");
  } else {
    WriteLog(L"   Windows Update was changed during the run; the setting stays as it is now");
  }
  // A failed write leaves the record, and a later run tries again.
  if (done) DeleteHold(m_holdName);
  m_suppressed = false;
}

void CWindowsUpdateSuppression::RestoreAbandonedHolds() {
  std::vector<std::pair<std::wstring, DWORD>> holds;
  try {
    CRegistryKey key;
    OpenKey(&key, KEY_QUERY_VALUE);
    for (const CRegistryKey::CValue& value : key.GetValues()) {
      // Larger data is not a record of ours.
      if (value.type != REG_DWORD || value.data.size() > sizeof(DWORD) || !StartsWith(value.name, kHoldPrefix)) {
        continue;
      }
      DWORD data = 0;
      std::copy(value.data.begin(), value.data.end(), reinterpret_cast<BYTE*>(&data));
      holds.push_back({value.name, data});
    }
  } catch (const CError&) {
    return;  // no key: nothing is held
  }
  const size_t prefixLength = std::wstring(kHoldPrefix).size();
  for (const auto& hold : holds) {
    CProcessIdentity owner;
    // A name that names no process is not ours to judge.
    if (!CProcessIdentity::Parse(hold.first.substr(prefixLength), &owner) || owner.IsRunning()) continue;
    WriteLog(L"Windows Update was held by setup process %lu, which has ended", owner.GetId());
    // Only a setting a run could have held goes back: another value would
    // leave Windows Update with a setting it does not know.
    if (!IsAutomatic(hold.second)) {
      WriteLog(L"   The record holds %lu, which is no Windows Update setting; it is not restored", hold.second);
      DeleteHold(hold.first);
    } else if (PutBack(hold.second)) {
      DeleteHold(hold.first);
    }
  }
}

bool CWindowsUpdateSuppression::PutBack(DWORD original) {
  DWORD current = 0;
  if (ReadOptions(&current) != ERROR_SUCCESS || current != kNotifyBeforeDownload) {
    WriteLog(L"   Windows Update was changed since; the setting stays as it is now");
    return true;
  }
  if (!WriteOptions(original)) {
    WriteLog(L"   Restoring Windows Update failed");
    return false;
  }
  WriteLog(L"   Restoring Windows Update was successful");
  return true;
}

bool CWindowsUpdateSuppression::WriteHold(DWORD original) {
  try {
    CRegistryKey key;
    OpenKey(&key, KEY_QUERY_VALUE | KEY_SET_VALUE);
    key.SetValueDWORD(m_holdName, original);
    return true;
  } catch (const CError& error) {
    WriteLog(L"   Failed to keep AUOptions with error: %d", error.GetErrorCode());
    return false;
  }
}

void CWindowsUpdateSuppression::DeleteHold(const std::wstring& name) {
  try {
    CRegistryKey key;
    OpenKey(&key, KEY_QUERY_VALUE | KEY_SET_VALUE);
    key.DeleteValue(name);
  } catch (const CError& error) {
    WriteLog(L"   Failed to remove the record '%s' with error: %d", name.c_str(), error.GetErrorCode());
  }
}
