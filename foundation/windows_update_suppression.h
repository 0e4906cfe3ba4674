#pragma once
// windows_update_suppression.h: CWindowsUpdateSuppression holds automatic
// Windows Update off while a run installs, and puts the user's setting back
// when the run ends.
#include <windows.h>

#include <string>

class CWindowsUpdateSuppression {
 public:
  // The AUOptions value of the Auto Update key; tests give a key of their own.
  CWindowsUpdateSuppression();
  CWindowsUpdateSuppression(HKEY root, const std::wstring& subkey);

  // Suppress lowers an automatic setting (3 and above) to "notify" (2) and
  // remembers it; restore writes the remembered setting back when it
  // differs. A call that matches the current state does nothing.
  void SuppressWindowsUpdate(bool suppress);

 private:
  DWORD ReadOptions(DWORD* value);
  bool WriteOptions(DWORD value);

  HKEY m_root;
  std::wstring m_subkey;
  bool m_suppressed = false;
  DWORD m_original = 0;
};
