#pragma once
// upsell_dlg.h: CUpsellDlg, the maker's offer page: a web page of the
// maker's redirect service in an embedded browser view; offline, a text
// of its own while it tries again every five seconds.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "platform/web_browser2.h"
#include "wizard/product_information_file.h"
#include "wizard/web_ui_controller.h"
#include "wizard/wiz_prop_page.h"

class CSetupSheet;

class CUpsellDlg : public CWizPropPage {
 public:
  using ShellOpener = void (*)(const std::wstring& address);

  CUpsellDlg();
  ~CUpsellDlg() override;

  // Whether the product-information file exists; its name is resolved the
  // first time.
  bool HasContent(const CSetupSheet& sheet);
  // The redirect service's address of `type` for this setup.
  std::wstring BuildOfferAddress(const std::wstring& type) const;
  bool IsOnline() const { return m_online; }

  // Tests record the offer address instead of opening it; null restores
  // the shell.
  static void SetShellOpener(ShellOpener opener);

 protected:
  BOOL OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

 private:
  void SetOfflineTexts();
  bool ShowOffer();
  void PlayAnimation();
  void OnBrowserEvent(DISPID id, DISPPARAMS* parameters);
  void OnNavigateComplete2(const DISPPARAMS& parameters);
  void OnBeforeNavigate2(const DISPPARAMS& parameters);
  std::wstring Property(const wchar_t* name) const;

  std::wstring m_url;
  bool m_online = false;
  UINT_PTR m_timerId = 0;
  HWND m_animation = nullptr;
  WORD m_animationId;
  CWebBrowser2 m_browser;
  CWebUIController m_uiController;
  CProductInformationFile m_content;
};
