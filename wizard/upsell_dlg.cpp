// upsell_dlg.cpp: the offer page: its offline texts, the retry timer, the
// browser view going online and the rule for navigations inside the view.
#include "wizard/upsell_dlg.h"

#include <windows.h>
#include <commctrl.h>
#include <exdispid.h>
#include <shellapi.h>

#include "engine/setup_state.h"
#include "foundation/file_utils.h"
#include "foundation/internet.h"
#include "foundation/setup_log.h"
#include "foundation/xml_document.h"
#include "platform/ole_control_host.h"
#include "platform/wide_string.h"
#include "platform/window_text.h"
#include "resources/resource_ids.h"
#include "wizard/offer_address.h"
#include "wizard/setup_sheet.h"
#include "wizard/wizard_text.h"

namespace {

const wchar_t kOfflineNode[] = L"//OfflineUpsellInformation";
const wchar_t kUpsellTestProperty[] = L"UpsellTest";
const wchar_t kBuildNumberProperty[] = L"BuildNumber";
const wchar_t kSkuProperty[] = L"SKU";
// The connection test's address; a deployment (and every test) names its
// own with this property.
const wchar_t kTestConnectionUrlProperty[] = L"TestConnectionURL";
const wchar_t kDefaultTestConnectionUrl[] = L"http://www.example.com/";
const wchar_t kUpsellType[] = L"upsell";
const wchar_t kOfferType[] = L"offer";
const UINT_PTR kRetryTimer = 1;
const UINT kRetryMilliseconds = 5000;

// Process-wide: the run's first navigation and first completed navigation
// fix the shown address, whichever page object sees them.
bool g_firstNavigation = true;
bool g_firstCompletion = true;

void ShellOpen(const std::wstring& address) {
  ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

CUpsellDlg::ShellOpener g_upsellShellOpener = ShellOpen;

// An event argument holding a text: directly, or by reference as the
// browser passes its addresses.
std::wstring TextArgument(const VARIANT& argument) {
  const VARIANT* value = &argument;
  if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal) value = value->pvarVal;
  if (value->vt == VT_BSTR && value->bstrVal) return std::wstring(value->bstrVal, SysStringLen(value->bstrVal));
  if (value->vt == (VT_BYREF | VT_BSTR) && value->pbstrVal && *value->pbstrVal) {
    return std::wstring(*value->pbstrVal, SysStringLen(*value->pbstrVal));
  }
  return std::wstring();
}

}  // namespace

CUpsellDlg::CUpsellDlg() : CWizPropPage(IDD_WIZ_UPSELL), m_animationId(IDR_UPSELL_ANIMATION) {
  // The template declares the browser as a control of the container class.
  COleControlHost::RegisterWindowClass();
}

CUpsellDlg::~CUpsellDlg() {
  if (m_timerId != 0 && GetSafeHwnd()) KillTimer(GetSafeHwnd(), m_timerId);
}

void CUpsellDlg::SetShellOpener(ShellOpener opener) { g_upsellShellOpener = opener ? opener : ShellOpen; }

bool CUpsellDlg::HasContent(const CSetupSheet& sheet) {
  return m_content.HasContent(sheet);
}

std::wstring CUpsellDlg::Property(const wchar_t* name) const {
  std::wstring value;
  CSetupState* state = GetState();
  if (state) state->GetProperty(name, &value);
  return value;
}

std::wstring CUpsellDlg::BuildOfferAddress(const std::wstring& type) const {
  COfferAddressFacts facts;
  if (CSetupState* state = GetState()) {
    facts.languageCode = state->m_languageCode;
    facts.productName = state->GetProductName();
    facts.productVersion = state->m_productVersion;
  }
  facts.sku = Property(kSkuProperty);
  facts.buildNumber = Property(kBuildNumberProperty);
  return ::BuildOfferAddress(facts, type);
}

BOOL CUpsellDlg::OnInitDialog() {
  CWizPropPage::OnInitDialog();
  if (IsPageSkipped()) return TRUE;
  auto setFont = [this](int id, HFONT font) {
    if (HWND control = GetDlgItem(id)) {
      if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
  };
  setFont(IDC_UPSELL_OFFLINE_TEXT, m_titleFont);
  setFont(IDC_UPSELL_CONTINUE_TEXT, m_textFont);
  setFont(IDC_UPSELL_OFFLINE_INFORMATION, m_textFont);
  m_animation = GetDlgItem(IDC_UPSELL_ANIMATION);
  // Its dots go round clockwise in every language.
  KeepPictureOrientation(m_animation);
  m_browser.Attach(GetDlgItem(IDC_UPSELL_BROWSER));
  HRESULT subscribed =
      m_browser.Subscribe([this](DISPID id, DISPPARAMS* parameters) { OnBrowserEvent(id, parameters); });
  if (FAILED(subscribed)) WriteLog(L"The offer page's browser view is not available: 0x%08X", subscribed);
  SetOfflineTexts();
  std::wstring address = Property(kUpsellTestProperty);
  if (!address.empty()) {
    CSetupSheet* sheet = GetSetupSheet();
    if (sheet) address = sheet->ExpandMacros(address);
  } else {
    address = BuildOfferAddress(kUpsellType);
  }
  m_url = CanonicalizeOfferAddress(address);
  m_online = ShowOffer();
  return TRUE;
}

void CUpsellDlg::SetOfflineTexts() {
  SetItemText(IDC_UPSELL_OFFLINE_TEXT, PageString(IDS_UPSELL_NOT_CONNECTED));
  SetItemText(IDC_UPSELL_CONTINUE_TEXT, PageString(IDS_UPSELL_CONTINUE));
  std::wstring text;
  CSetupSheet* sheet = GetSetupSheet();
  if (sheet && HasContent(*sheet) && !m_content.GetPath().empty()) {
    try {
      CXmlDocument document;
      document.LoadFile(m_content.GetPath());
      document.SelectSingleNodeText(kOfflineNode, &text);
    } catch (long) {
      // The wrapper logged why; the text read so far stands.
    }
  }
  SetItemText(IDC_UPSELL_OFFLINE_INFORMATION, ReplaceWizardTokens(text, GetState()));
}

bool CUpsellDlg::ShowOffer() {
  HWND page = GetSafeHwnd();
  std::wstring testUrl = Property(kTestConnectionUrlProperty);
  if (!CheckInternetConnection(testUrl.empty() ? kDefaultTestConnectionUrl : testUrl)) {
    ShowWindow(GetDlgItem(IDC_UPSELL_BROWSER), SW_HIDE);
    for (int id : {IDC_UPSELL_OFFLINE_TEXT, IDC_UPSELL_CONTINUE_TEXT, IDC_UPSELL_OFFLINE_INFORMATION}) {
      ShowWindow(GetDlgItem(id), SW_SHOW);
    }
    WriteLog(L"Setup could not connect online and will show offline messaging for the upsell dialog");
    m_timerId = SetTimer(page, kRetryTimer, kRetryMilliseconds, nullptr);
    return false;
  }
  if (m_timerId != 0) {
    KillTimer(page, m_timerId);
    m_timerId = 0;
  }
  PlayAnimation();
  IWebBrowser2* browser = nullptr;
  if (SUCCEEDED(m_browser.GetWebBrowser(&browser))) {
    m_uiController.SetShowBorder(FALSE);
    m_uiController.SetShowScrollBars(FALSE);
    m_uiController.SetWebBrowser(browser);
    browser->Release();
  }
  ShowWindow(GetDlgItem(IDC_UPSELL_BROWSER), SW_SHOW);
  for (int id : {IDC_UPSELL_OFFLINE_TEXT, IDC_UPSELL_CONTINUE_TEXT, IDC_UPSELL_OFFLINE_INFORMATION}) {
    ShowWindow(GetDlgItem(id), SW_HIDE);
  }
  WriteLog(L"Attempting to retrieve upsell");
  HRESULT navigated = m_browser.Navigate(m_url);
  if (FAILED(navigated)) WriteLog(L"   Navigation failed: 0x%08X", navigated);
  return true;
}

void CUpsellDlg::PlayAnimation() {
  if (!m_animation) return;
  ShowWindow(m_animation, SW_SHOW);
  SendMessageW(m_animation, ACM_OPENW, reinterpret_cast<WPARAM>(GetModuleHandleW(nullptr)),
               reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(m_animationId)));
  SendMessageW(m_animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF));
}

void CUpsellDlg::OnBrowserEvent(DISPID id, DISPPARAMS* parameters) {
  if (!parameters) return;
  if (id == DISPID_NAVIGATECOMPLETE2) OnNavigateComplete2(*parameters);
  if (id == DISPID_BEFORENAVIGATE2) OnBeforeNavigate2(*parameters);
}

// Arguments, last to first: [1] the object that navigated, [0] the address.
void CUpsellDlg::OnNavigateComplete2(const DISPPARAMS& parameters) {
  m_browser.Refresh();
  if (m_animation) {
    SendMessageW(m_animation, ACM_STOP, 0, 0);
    ShowWindow(m_animation, SW_HIDE);
  }
  if (g_firstCompletion && parameters.cArgs >= 2 && parameters.rgvarg) {
    m_url = TextArgument(parameters.rgvarg[0]);
  }
  g_firstCompletion = false;
}

// Arguments, last to first: [6] the object, [5] the address, [4] flags,
// [3] target frame, [2] post data, [1] headers, [0] cancel (by reference).
// A call that does not carry them so is left alone.
void CUpsellDlg::OnBeforeNavigate2(const DISPPARAMS& parameters) {
  if (parameters.cArgs < 7 || !parameters.rgvarg) return;
  VARIANT& cancel = parameters.rgvarg[0];
  if (cancel.vt != (VT_BYREF | VT_BOOL) || !cancel.pboolVal) return;
  std::wstring address = TextArgument(parameters.rgvarg[5]);
  ENavigateDecision decision = DecideBeforeNavigate(m_url, address, g_firstNavigation);
  switch (decision) {
    case ENavigateDecision::kLeaveAlone:
      return;
    case ENavigateDecision::kAcceptAndKeep:
      m_url = address;
      break;
    case ENavigateDecision::kAccept:
      break;
    case ENavigateDecision::kOpenOffer: {
      *cancel.pboolVal = VARIANT_TRUE;
      std::wstring offer = CanonicalizeOfferAddress(BuildOfferAddress(kOfferType));
      WriteLog(L"Attempting to launch offer page");
      WriteLog(L"   URL: %s", offer.c_str());
      g_upsellShellOpener(offer);
      break;
    }
  }
  g_firstNavigation = false;
}

bool CUpsellDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_TIMER) {
    if (!m_online) m_online = ShowOffer();
    return false;
  }
  if (message == WM_DESTROY) {
    if (m_timerId != 0) {
      KillTimer(GetSafeHwnd(), m_timerId);
      m_timerId = 0;
    }
    m_uiController.SetWebBrowser(nullptr);
    m_browser.Unsubscribe();
    return false;
  }
  return CWizPropPage::OnMessage(message, wParam, lParam, result);
}

// Every control lies on the page's gradient. The animation control fills
// its transparent pixels with the brush it is given, and a null brush
// leaves them black: it gets the white of the view it lies on.
HBRUSH CUpsellDlg::OnCtlColor(HDC dc, HWND control, UINT message) {
  HBRUSH brush = CWizPropPage::OnCtlColor(dc, control, message);
  if (message == WM_CTLCOLORDLG) return brush;
  SetBkMode(dc, TRANSPARENT);
  if (control && control == m_animation) return m_whiteBrush;
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}
