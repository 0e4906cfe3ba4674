#pragma once
// setup_host.h: what the run needs from whatever hosts it (the host
// dialog). A quiet run has no host, and the worker is given null.
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
  // Shows or hides the host's window. It is hidden while another window
  // of the run stands for it (the wizard, the basic progress window, a
  // setup the run hands over to); shown again only for a download it
  // reports while no other window is up. Any thread; never waits.
  virtual void ShowHostWindow(bool show) = 0;
  // While the run waits for another setup before the wizard is up, the
  // host's Escape and close ask the user whether to cancel, and a Yes
  // signals `cancelEvent`; null takes the offer back. Any thread; never waits.
  virtual void OfferCancel(HANDLE cancelEvent) = 0;
};
