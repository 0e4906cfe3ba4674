#pragma once
// windows_update_suppression.h: CWindowsUpdateSuppression holds automatic
// Windows Update off while a run installs, and puts the user's setting back
// when the run ends, or, when the run was killed, at the start of a later run.
#include <windows.h>

#include <string>

class CRegistryKey;

class CWindowsUpdateSuppression {
 public:
  // The AUOptions value of the Auto Update key; tests give a key of their own.
  CWindowsUpdateSuppression();
  CWindowsUpdateSuppression(HKEY root, const std::wstring& subkey);

  // Suppress first puts back what runs that have ended left held, then lowers
  // an automatic setting (3 to 5) to "notify" (2), keeping the setting
  // it replaces in the key beside AUOptions under this process's identity.
  // Restore writes it back only while AUOptions still holds the 2 this run
  // wrote, and drops the record. A call that matches the current state does
  // nothing.
  void SuppressWindowsUpdate(bool suppress);

 private:
  // The setting's key, in the view Windows Update reads.
  void OpenKey(CRegistryKey* key, REGSAM access) const;
  DWORD ReadOptions(DWORD* value);
  bool WriteOptions(DWORD value);
  void Suppress();
  void Restore();
  // The records of runs whose process is gone: each setting goes back while
  // AUOptions still holds what that run wrote, and the record goes.
  void RestoreAbandonedHolds();
  // Puts `original` back while AUOptions still holds the 2 a run wrote;
  // false when that write failed, so the record stays for a later try.
  bool PutBack(DWORD original);
  bool WriteHold(DWORD original);
  void DeleteHold(const std::wstring& name);

  HKEY m_root;
  std::wstring m_subkey;
  REGSAM m_view;
  bool m_suppressed = false;
  DWORD m_original = 0;
  // The value that keeps m_original for a later run while this run holds it.
  std::wstring m_holdName;
};
