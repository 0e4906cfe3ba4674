// offer_page.cpp: the offer pages' picture, frame, colours and links.
#include "wizard/offer_page.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "foundation/setup_log.h"
#include "resources/resource_ids.h"
#include "wizard/setup_sheet.h"

namespace {

void ShellOpen(const std::wstring& address) {
  ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

COfferPage::LinkOpener g_linkOpener = ShellOpen;

}  // namespace

void COfferPage::SetLinkOpener(LinkOpener opener) { g_linkOpener = opener ? opener : ShellOpen; }

COfferPage::COfferPage(UINT templateId, int imageId, UINT (*imageForDpi)(int), int frameId, int linkControlId,
                       std::initializer_list<CLink> links, std::initializer_list<int> whiteIds)
    : CWizPropPage(templateId),
      m_imageId(imageId),
      m_imageForDpi(imageForDpi),
      m_frameId(frameId),
      m_linkControlId(linkControlId),
      m_links(links),
      m_whiteIds(whiteIds) {}

BOOL COfferPage::OnInitDialog() {
  CWizPropPage::OnInitDialog();
  if (HWND title = GetDlgItem(IDC_OFFER_TITLE)) {
    if (m_titleFont) SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(m_titleFont), FALSE);
  }
  CSetupSheet* sheet = GetSetupSheet();
  if (!sheet || sheet->ShowHeaders()) ShowOfferImage();
  return TRUE;
}

void COfferPage::ShowOfferImage() {
  CSetupSheet* sheet = GetSetupSheet();
  ShowPicture(m_imageId, m_imageForDpi(sheet ? sheet->GetDpi() : 96));
}

EOfferBox COfferPage::BoxState(int id) const {
  HWND box = GetDlgItem(id);
  if (!box) return kOfferBoxMissing;
  return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? kOfferBoxChecked : kOfferBoxClear;
}

bool COfferPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_NOTIFY) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && static_cast<int>(header->idFrom) == m_linkControlId &&
        (header->code == NM_CLICK || header->code == NM_RETURN)) {
      OpenLink(reinterpret_cast<const NMLINK*>(lParam)->item.szID);
      *result = 0;
      return true;
    }
  }
  return CWizPropPage::OnMessage(message, wParam, lParam, result);
}

void COfferPage::OpenLink(const std::wstring& id) const {
  for (const CLink& link : m_links) {
    if (id != link.id) continue;
    std::wstring address = PageString(link.addressId);
    WriteLog(L"Opening the offer's link '%s': %s", id.c_str(), address.c_str());
    g_linkOpener(address);
    return;
  }
}

void COfferPage::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(GetSafeHwnd(), &paint);
  PaintHeaderBand(dc);
  FrameControl(dc, m_frameId, m_whiteBrush);
  EndPaint(GetSafeHwnd(), &paint);
}

HBRUSH COfferPage::OnCtlColor(HDC dc, HWND control, UINT message) {
  HBRUSH brush = CWizPropPage::OnCtlColor(dc, control, message);
  int id = GetDlgCtrlID(control);
  if (std::find(m_whiteIds.begin(), m_whiteIds.end(), id) == m_whiteIds.end()) return brush;
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, 0xFFFFFF);
  return m_whiteBrush;
}
