#pragma once
// user_exit_dlg.h: CUserExitDlg, the page that ends a cancelled or failed
// run; after a cancel it offers the setup log.
#include <string>

#include "wizard/text_page.h"

class CUserExitDlg : public CTextPage {
 public:
  CUserExitDlg();

  // Set by the Progress page when a cancel or a rollback leaves it: the
  // page then offers the setup log.
  void SetShowLogLink(bool show) { m_showLogLink = show; }
  bool GetShowLogLink() const { return m_showLogLink; }

 protected:
  BOOL OnInitDialog() override;
  bool OnSetActive() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

 private:
  void ShowLogLink();
  void CleanOfferMarker();

  bool m_showLogLink = false;
  bool m_fullUi = true;
  std::wstring m_logPath;
};
