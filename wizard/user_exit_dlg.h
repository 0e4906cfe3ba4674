#pragma once
// user_exit_dlg.h: CUserExitDlg, the page that ends a cancelled or failed
// run; after a cancel it offers the setup log. A run that removed products
// and did not install them again names them here instead of saying that
// the system was not modified.
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
  void ShowProductsNotRestored();
  void MoveDown(int id, int distance) const;

  bool m_showLogLink = false;
  bool m_fullUi = true;
  bool m_notRestoredShown = false;
  std::wstring m_logPath;
};
