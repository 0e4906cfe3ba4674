#pragma once
// offer_page.h: COfferPage, what the two browser offer pages share: the
// title font, the offer's picture for the screen's DPI, a white framed box
// behind the offer, and links that open their addresses in the browser.
#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "wizard/offer_choice.h"
#include "wizard/wiz_prop_page.h"

class COfferPage : public CWizPropPage {
 public:
  // How a link's address is opened; tests record it instead.
  using LinkOpener = void (*)(const std::wstring& address);
  // Null restores the shell's "open".
  static void SetLinkOpener(LinkOpener opener);

  struct CLink {
    const wchar_t* id;
    UINT addressId;
  };

  COfferPage(UINT templateId, int imageId, UINT (*imageForDpi)(int), int frameId, int linkControlId,
             std::initializer_list<CLink> links, std::initializer_list<int> whiteIds);

 protected:
  BOOL OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  void OnPaint() override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

  // The box's state; missing when the page has no such control.
  EOfferBox BoxState(int id) const;

 private:
  void ShowOfferImage();
  void OpenLink(const std::wstring& id) const;

  int m_imageId;
  UINT (*m_imageForDpi)(int);
  int m_frameId;
  int m_linkControlId;
  std::vector<CLink> m_links;
  std::vector<int> m_whiteIds;
};
