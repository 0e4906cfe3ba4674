// setup_sheet.cpp: the wizard sheet: its pages, its look, its View button
// and the choices it keeps for the pages.
#include "wizard/setup_sheet.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "actions/command_options.h"
#include "engine/setup_globals.h"
#include "engine/setup_host.h"
#include "engine/setup_state.h"
#include "foundation/file_utils.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_language.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "foundation/window_utils.h"
#include "platform/dialog_template.h"
#include "platform/system_dlls.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"
#include "wizard/button_fit.h"
#include "wizard/customize_dlg.h"
#include "wizard/exit_dlg.h"
#include "wizard/experience_improvement_dlg.h"
#include "wizard/google_chrome_page.h"
#include "wizard/google_toolbar_page.h"
#include "wizard/install_point_dlg.h"
#include "wizard/license_agreement_dlg.h"
#include "wizard/product_information_dlg.h"
#include "wizard/progress_page.h"
#include "wizard/remove_prog_dlg.h"
#include "wizard/setup_sheet_rules.h"
#include "wizard/setup_type_dlg.h"
#include "wizard/sheet_fit.h"
#include "wizard/upsell_dlg.h"
#include "wizard/user_exit_dlg.h"
#include "wizard/verify_ready_dlg.h"
#include "wizard/welcome_dlg.h"
#include "wizard/wiz_page_rules.h"
#include "wizard/wizard_text.h"

namespace {

const wchar_t* const kPageNames[kPageKindCount] = {
    L"Welcome",      L"Upsell",       L"ProductInformation", L"Eula",          L"ExperienceImprovement",
    L"InstallMode",  L"InstallPoint", L"Customize",          L"GoogleToolbar", L"GoogleChrome",
    L"RemovePrevious", L"Verify",     L"Progress",           L"Finish",        L"UserExit"};

const wchar_t* const kInstallModeProperties[] = {L"TypicalInstall", L"CustomInstall",
                                                 L"CompleteInstall", L"ModifyInstall",
                                                 L"RepairInstall",  L"RemoveInstall"};
const wchar_t kAllowOnlineAccessProperty[] = L"AllowOnlineAccess";
const wchar_t kNoOnlineAccessProperty[] = L"NO_ONLINE_ACCESS";
const wchar_t kRichEditLibrary[] = L"msftedit.dll";
const wchar_t kHeaderImageFolder[] = L"bin\\";
const int kCancelButtonId = IDCANCEL;

std::unique_ptr<CWizPropPage> MakePage(int kind) {
  switch (kind) {
    case kPageWelcome: return std::make_unique<CWelcomeDlg>();
    case kPageUpsell: return std::make_unique<CUpsellDlg>();
    case kPageProductInformation: return std::make_unique<CProductInformationDlg>();
    case kPageEula: return std::make_unique<CLicenseAgreementDlg>();
    case kPageExperienceImprovement: return std::make_unique<CExperienceImprovementDlg>();
    case kPageInstallMode: return std::make_unique<CSetupTypeDlg>();
    case kPageInstallPoint: return std::make_unique<CInstallPointDlg>();
    case kPageCustomize: return std::make_unique<CCustomizeDlg>();
    case kPageGoogleToolbar: return std::make_unique<CGoogleToolbarPage>();
    case kPageGoogleChrome: return std::make_unique<CGoogleChromePage>();
    case kPageRemovePrevious: return std::make_unique<CRemoveProgDlg>();
    case kPageVerify: return std::make_unique<CVerifyReadyDlg>();
    case kPageProgress: return std::make_unique<CProgressPage>();
    case kPageFinish: return std::make_unique<CExitDlg>();
    case kPageUserExit: return std::make_unique<CUserExitDlg>();
    default: return nullptr;
  }
}

}  // namespace

const wchar_t* PageKindName(int kind) {
  return kind >= 0 && kind < kPageKindCount ? kPageNames[kind] : nullptr;
}

int PageKindFromName(const std::wstring& name) {
  for (int kind = 0; kind < kPageKindCount; ++kind) {
    if (EqualsNoCase(name, kPageNames[kind])) return kind;
  }
  return -1;
}

CSetupSheet::CSetupSheet(const CSetupWizardContext& context)
    : m_state(context.state),
      m_defaultGroupInfo(context.defaultGroupInfo),
      m_commandOptions(context.commandOptions),
      m_host(context.host),
      m_finishAsksForRestart(context.finishAsksForRestart),
      m_expandMacros(context.expandMacros) {
  for (int kind = 0; kind < kPageKindCount; ++kind) {
    m_pages[kind] = MakePage(kind);
    CWizPageSettings settings;
    settings.name = kPageNames[kind];
    m_pages[kind]->SetSettings(settings);
  }
  LoadRichEditLibrary();
  SetHeaderFlags((GetHeaderFlags() & ~PSH_HASHELP) | PSH_USEPAGELANG | PSH_WIZARD_LITE | PSH_WIZARD);
  m_screenDc = GetDC(nullptr);
  m_dpi = m_screenDc ? GetDeviceCaps(m_screenDc, LOGPIXELSX) : 96;
  m_uiLevel = m_commandOptions ? m_commandOptions->GetUILevel() : 0;
  m_showHeaders = m_uiLevel < 2;
  // The run publishes the interface language it chose; Wine ignores the
  // thread's language for resources, so pages and strings name it.
  LANGID language = g_uiLanguageId != 0 ? g_uiLanguageId : m_state ? m_state->m_languageId : 0;
  if (language != 0) SetThreadUILanguageEx(language);
  SetLanguage(GetResourceLanguageId());
  FitLayoutToScreen();
  m_pages[kPageProgress]->SetState(m_state);
  m_sheetFont = CreateFontFromSpec(m_screenDc, LoadResourceString(IDS_FONT_TEXT), L"_", m_dpi);
  LoadHeaderImage();
  SetTitle(LoadWizardString(IDS_SHEET_TITLE, m_state));
  ForwardCommand(kViewButtonId);
}

CSetupSheet::~CSetupSheet() {
  if (m_sheetFont) DeleteObject(m_sheetFont);
  if (m_screenDc) ReleaseDC(nullptr, m_screenDc);
  if (m_richEdit) FreeLibrary(m_richEdit);
}

void CSetupSheet::LoadRichEditLibrary() {
  std::wstring path = SystemFolderPath(kRichEditLibrary);
  if (path.empty()) {
    WriteLog(L"Failed to GetSystemDirectory with error: %d", GetLastError());
    return;
  }
  m_richEdit = LoadSystemDll(kRichEditLibrary);
  if (!m_richEdit) {
    DWORD error = GetLastError();
    WriteLog(L"Failed to load: '%s' with error: %d", path.c_str(), error);
  }
}

// From here on the sheet's DPI is the layout's: the pages' fonts and
// pictures follow it.
void CSetupSheet::FitLayoutToScreen() {
  const DLGTEMPLATE* page = LoadDialogTemplate(GetModuleHandleW(nullptr), IDD_WIZ_WELCOME, GetLanguage());
  RECT work = {};
  if (!page || !SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return;
  SIZE area = {work.right - work.left, work.bottom - work.top};
  int screenDpi = m_dpi;
  SIZE full = {0, 0};  // ChooseLayoutDpi measures the screen's DPI first; kept for the log
  auto sheetSizeAt = [&](int dpi) {
    SIZE size = PredictSheetSize(page, screenDpi, dpi);
    if (dpi == screenDpi) full = size;
    return size;
  };
  m_dpi = ChooseLayoutDpi(screenDpi, area, sheetSizeAt);
  if (m_dpi == screenDpi) return;
  SetLayoutDpi(m_dpi, screenDpi);
  WriteLog(L"The wizard is laid out for %d DPI: at the screen's %d DPI it would measure %dx%d, more than the "
           L"work area of %dx%d", m_dpi, screenDpi, full.cx, full.cy, area.cx, area.cy);
}

void CSetupSheet::LoadHeaderImage() {
  if (!m_showHeaders) return;
  std::wstring path = FolderOfPath(GetModuleFilePath()) + kHeaderImageFolder + HeaderImageFileName(m_dpi);
  bool fromFile = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES && m_headerImage.LoadFromFile(path);
  WriteLog(L"Wizard header image for %d DPI: %s (%s)", m_dpi, HeaderImageFileName(m_dpi).c_str(),
           fromFile ? path.c_str() : L"built in");
}

std::wstring CSetupSheet::ExpandMacros(const std::wstring& text) const {
  return m_expandMacros ? m_expandMacros(text) : text;
}

std::wstring CSetupSheet::GetProperty(const std::wstring& name) const {
  auto found = m_properties.find(name);
  return found != m_properties.end() ? found->second : std::wstring();
}

CWizPropPage* CSetupSheet::GetPageByKind(int kind) const {
  return kind >= 0 && kind < kPageKindCount ? m_pages[kind].get() : nullptr;
}

CWizPropPage* CSetupSheet::GetPageByName(const std::wstring& name) const {
  return GetPageByKind(PageKindFromName(name));
}

void CSetupSheet::SetActivePageByKind(int kind) {
  CWizPropPage* page = GetPageByKind(kind);
  if (page && GetPageIndex(page) >= 0) SetActivePage(page);
}

bool CSetupSheet::IsSelectionChosenOnCustomize() const {
  CWizPropPage* customize = GetPageByKind(kPageCustomize);
  return customize && GetPageIndex(customize) >= 0 && !customize->IsPageSkipped();
}

void CSetupSheet::AddWizardPage(CWizPropPage* page) {
  if (!page) return;
  page->ApplyButtonFlags();
  AddPage(page);
}

void CSetupSheet::OnInitialized() {
  HWND sheet = GetSafeHwnd();
  SetWindowTextW(sheet, GetTitle().c_str());
  g_wizardSheetWindow = sheet;
  CreateViewButton(IDS_VIEW_BUTTON);
  // The whole row speaks the setup's language on every system: the
  // system's captions are in its own, and pages set Next from ours
  // (Install, Remove), which would leave the row in two languages.
  bool clean = m_state && m_state->m_setupType == SetupTypeCleanSystem;
  SetNextButtonText(clean ? IDS_BUTTON_REMOVE : IDS_BUTTON_NEXT);
  SetBackButtonText(IDS_BUTTON_BACK);
  SetCancelButtonText(IDS_BUTTON_CANCEL);
  SetFinishButtonText(IDS_BUTTON_FINISH);
}

// The sheet, full or basic, stands for the host's window from the moment
// it shows: two setup windows would tell the user two things.
bool CSetupSheet::OnSheetMessage(UINT message, WPARAM wParam, LPARAM, LRESULT*) {
  if (message == WM_SHOWWINDOW && wParam && m_host) m_host->ShowHostWindow(false);
  return false;
}

void CSetupSheet::CreateViewButton(UINT captionId) {
  HWND sheet = GetSafeHwnd();
  HWND cancel = ::GetDlgItem(sheet, kCancelButtonId);
  if (!sheet || !cancel) return;
  RECT client;
  RECT cancelBounds;
  GetClientRect(sheet, &client);
  GetWindowRect(cancel, &cancelBounds);
  MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&cancelBounds), 2);
  std::wstring caption = LoadResourceString(captionId);
  // Wider than its usual size when the language's caption needs it.
  int width = ViewButtonWidth(m_dpi);
  if (m_sheetFont && m_screenDc) width = std::max(width, ButtonWidthForText(m_screenDc, m_sheetFont, caption));
  int left = ViewButtonLeft(client, cancelBounds, width);
  HWND button = CreateWindowExW(0, L"BUTTON", caption.c_str(),
                                WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, left, cancelBounds.top,
                                width, cancelBounds.bottom - cancelBounds.top, sheet,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewButtonId)),
                                GetModuleHandleW(nullptr), nullptr);
  if (!button) {
    WriteLog(L"Failed to create the View button, error %d", GetLastError());
    return;
  }
  if (m_sheetFont) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(m_sheetFont), FALSE);
  EnableWindow(button, FALSE);
  // Tab follows the row from the left, where View stands: before Back.
  HWND back = ::GetDlgItem(sheet, kBackButtonId);
  HWND beforeBack = back ? GetWindow(back, GW_HWNDPREV) : nullptr;
  if (back) {
    SetWindowPos(button, beforeBack ? beforeBack : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void CSetupSheet::EnableViewButton(DWORD flags) const {
  HWND button = ::GetDlgItem(GetSafeHwnd(), kViewButtonId);
  if (button) EnableWindow(button, (flags & kWizButtonView) != 0);
}

// The text comes in the language's own font: the sheet's default face may
// have none of its characters.
void CSetupSheet::SetButtonText(int buttonId, UINT stringId) const {
  HWND button = ::GetDlgItem(GetSafeHwnd(), buttonId);
  if (!button) return;
  if (m_sheetFont) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(m_sheetFont), FALSE);
  SetWindowTextW(button, LoadResourceString(stringId).c_str());
  // Back sits against Next (and Finish, in Next's place).
  HWND back = buttonId == kBackButtonId ? nullptr : ::GetDlgItem(GetSafeHwnd(), kBackButtonId);
  WidenButtonToText(button, buttonId == kCancelButtonId ? nullptr : back);
}

void CSetupSheet::SetNextButtonText(UINT id) const { SetButtonText(kNextButtonId, id); }
void CSetupSheet::SetBackButtonText(UINT id) const { SetButtonText(kBackButtonId, id); }
void CSetupSheet::SetFinishButtonText(UINT id) const { SetButtonText(kFinishButtonId, id); }
void CSetupSheet::SetCancelButtonText(UINT id) const { SetButtonText(kCancelButtonId, id); }

void CSetupSheet::SetInstallMode(int type) {
  if (m_state) m_state->m_setupType = type;
  if (type >= SetupTypeTypical && type <= SetupTypeRemove) {
    for (int mode = SetupTypeTypical; mode <= SetupTypeRemove; ++mode) {
      SetProperty(kInstallModeProperties[mode], mode == type ? L"true" : L"false");
    }
  }
  std::wstring noOnlineAccess;
  bool offline = m_state && m_state->GetProperty(kNoOnlineAccessProperty, &noOnlineAccess) &&
                 noOnlineAccess == L"1";
  SetProperty(kAllowOnlineAccessProperty, offline ? L"false" : L"true");
}

void CSetupSheet::ComputeRequiredSpace() {
  m_requiredSpace = 0;
  if (!m_state) return;
  for (const auto& entry : m_state->m_products) {
    const CProductData& product = *entry.second;
    if (product.IsSamePackageInstalled()) continue;
    m_requiredSpace += product.GetSelectedCost();
  }
}

bool CSetupSheet::ComputeAvailableSpace() {
  std::wstring folder = m_state ? m_state->GetInstallFolder() : std::wstring();
  m_installRoot = InstallRootOf(folder);
  ULARGE_INTEGER available = {};
  if (m_installRoot.empty() ||
      !GetDiskFreeSpaceExW(m_installRoot.c_str(), &available, nullptr, nullptr)) {
    DWORD error = m_installRoot.empty() ? ERROR_INVALID_NAME : GetLastError();
    WriteLog(L"Unable to measure the free space of the install folder '%s', error %d", folder.c_str(), error);
    return false;
  }
  m_availableSpace = static_cast<double>(available.QuadPart >> 20);
  return true;
}
