#pragma once
// progress_page.h: CProgressPage, where the wizard hands over to the worker:
// a waiting thread tells the worker that the user confirmed the install,
// then follows the run through the state's events; the page carries the
// user's cancel to the worker and back.
#include <windows.h>

#include <atomic>
#include <string>

#include "foundation/scoped_handle.h"
#include "wizard/progress_rules.h"
#include "wizard/wiz_prop_page.h"

class CProgressPage : public CWizPropPage {
 public:
  CProgressPage();
  ~CProgressPage() override;

  // A confirmed cancel or a rollback was seen; never returns to false.
  bool IsCancelled() const { return m_cancelled; }

 protected:
  BOOL OnInitDialog() override;
  bool OnSetActive() override;
  bool OnQueryCancel() override;
  LRESULT OnWizardNext() override;
  bool OnCommand(int id, int code) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

 private:
  static unsigned __stdcall WaitThreadProc(void* parameter);
  static LRESULT CALLBACK DetailTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
  void WaitForWorker();
  // The cancel question answered: the worker is told, either way.
  void AnswerCancel(bool autoConfirm);
  // The worker's own cancel, on the interface thread: confirmed without a
  // question, and the wizard goes on to its end.
  void OnWorkerCancel();
  void SwitchPromotion() const;
  void LaunchPromotion() const;
  void OnInstallProgress();
  void PressFromWaitThread() const;
  void EndWaitThread();

  void SetFonts();
  void ShowSecurityImage();
  void LayoutBasicInterface();
  void FitSheetBelow(HWND control) const;
  void SetTexts();
  void PublishWindows();
  void ShowDetailControls();
  void KeepDetailToOneLine();
  // The Cancel button the user sees, and the window menu's Close.
  HWND ActiveCancelButton() const;
  void EnableCancel(bool enable) const;
  void PaintBackground(HDC dc);

  HWND m_progressBar = nullptr;
  HWND m_detailProgressBar = nullptr;
  std::wstring m_statusText;
  CScopedHandle m_waitThread;
  // Ends the waiting thread when the page goes before the run has ended.
  CScopedHandle m_stopEvent;
  std::atomic<bool> m_cancelled{false};
  // The suite's products, for the detail line; read before the run starts.
  CProductNames m_productNames;
  bool m_fullUi = true;
  std::wstring m_promotionUrl;
  std::wstring m_promotionFile;
  // Kept for the waiting thread, which must not ask the sheet object.
  HWND m_sheetWindow = nullptr;
  CSetupState* m_runState = nullptr;
};
