#pragma once
// setup_host.h: what the worker needs from whatever hosts the run (the host
// dialog, later the wizard). A quiet run has no host, and the worker is
// given null.
#include <windows.h>

#include "engine/setup_globals.h"

class ISetupHost {
 public:
  virtual ~ISetupHost() = default;

  // Ends the host with the run's status. Called once, on the worker's
  // thread, as the last step of the run's cleanup.
  virtual void EndHost(DWORD status) = 0;
  // The owner window of the run's message boxes.
  virtual HWND GetOwnerWindow() const = 0;
  // The windows the progress sink moves until the wizard takes over.
  virtual CProgressWindows GetProgressWindows() const = 0;
};
