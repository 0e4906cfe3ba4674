#pragma once
// msi_internal_ui_guard.h: switches the Windows Installer's own user
// interface to a level for one scope and restores the previous level after.
#include <windows.h>
#include <msi.h>

class CMsiInternalUIGuard {
 public:
  // The level is process-wide: whatever runs the installer next in this
  // process must find the level it set itself, not ours.
  explicit CMsiInternalUIGuard(INSTALLUILEVEL level);
  CMsiInternalUIGuard(const CMsiInternalUIGuard&) = delete;
  CMsiInternalUIGuard& operator=(const CMsiInternalUIGuard&) = delete;
  ~CMsiInternalUIGuard();

 private:
  INSTALLUILEVEL m_previous;
};
