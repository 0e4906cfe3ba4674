#pragma once
// setup_dlg.h: the host dialog that stays open on the main thread while the
// worker runs, and passes a Windows shutdown on to the run.
#include <windows.h>

#include <atomic>
#include <memory>

#include "engine/setup_host.h"
#include "foundation/scoped_handle.h"
#include "platform/modal_dialog.h"

class CWorker;

// Posted when the worker ends the host; lParam carries the status.
const UINT WM_ENDSETUPDIALOG = WM_USER + 1;
// Turns a queued end-session message into the reboot event.
const UINT WM_CHECKREBOOT = WM_USER + 2;
// Sent without waiting by ShowHostWindow: the dialog shows or hides itself
// on its own thread; wParam is the show flag.
const UINT WM_SHOWHOSTWINDOW = WM_USER + 3;
// Sent without waiting by OfferCancel: the window's Close follows the offer.
const UINT WM_OFFERCANCEL = WM_USER + 4;

class CSetupDlg : public CModalDialog, public ISetupHost {
 public:
  explicit CSetupDlg(HWND parent = nullptr);
  ~CSetupDlg() override;

  HANDLE GetFinishEvent() const { return m_finishEvent.Get(); }
  HANDLE GetRebootEvent() const { return m_rebootEvent.Get(); }

  // Called on the worker's thread.
  void EndHost(DWORD status) override;
  HWND GetOwnerWindow() const override { return GetSafeHwnd(); }
  CProgressWindows GetProgressWindows() const override;
  void ShowHostWindow(bool show) override;
  void OfferCancel(HANDLE cancelEvent) override;

 protected:
  BOOL OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

  void OnShowWindow();
  void OnShowHostWindow(bool show);
  void OnWindowPosChanging(WINDOWPOS* position) const;
  void EnableClose(bool enable);
  // Escape, Alt+F4 or Close while a cancel is offered: the user is asked.
  void OnCancelRequest();
  LRESULT OnEndSetupDialog(LPARAM status);
  BOOL OnQueryEndSession();
  void OnEndSession(BOOL ending);
  LRESULT OnCheckReboot();
  void OnPaint();
  HCURSOR OnQueryDragIcon() const { return reinterpret_cast<HCURSOR>(m_icon); }

  // Sleeps that give the worker time to finish; tests may shorten them.
  virtual void Pause(DWORD milliseconds) { Sleep(milliseconds); }

 private:
  std::unique_ptr<CWorker> m_worker;
  CScopedHandle m_workerThread;
  HICON m_icon = nullptr;
  CScopedHandle m_rebootEvent;
  CScopedHandle m_finishEvent;
  BYTE m_shutdown = 0;
  // Set once a progress window (the wizard or the basic window) has taken
  // over: no later step brings this window back beside it.
  std::atomic<bool> m_keepHidden{false};
  // Set while the run offers its cancel; signalled on the user's Yes.
  std::atomic<HANDLE> m_cancelEvent{nullptr};
  bool m_asking = false;
  HWND m_progressBar = nullptr;
  HWND m_secondLine = nullptr;
};
