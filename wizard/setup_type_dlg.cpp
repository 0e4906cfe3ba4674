// setup_type_dlg.cpp: the setup type page.
#include "wizard/setup_type_dlg.h"

#include <string>

#include "actions/command_options.h"
#include "engine/setup_state.h"
#include "platform/window_text.h"
#include "resources/resource_ids.h"
#include "wizard/setup_sheet.h"
#include "wizard/setup_type_selection.h"
#include "wizard/wiz_page_rules.h"

CSetupTypeDlg::CSetupTypeDlg() : CWizPropPage(IDD_WIZ_INSTALL_MODE) {}

CSetupTypeDlg::~CSetupTypeDlg() {
  for (HICON icon : m_icons) DestroyIcon(icon);
}

bool CSetupTypeDlg::IsMaintenance() const {
  CSetupState* state = GetState();
  return state && state->m_maintenanceMode;
}

BOOL CSetupTypeDlg::OnInitDialog() {
  CWizPropPage::OnInitDialog();
  auto setFont = [this](int id, HFONT font) {
    if (HWND control = GetDlgItem(id)) {
      if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
  };
  setFont(IDC_SETUP_TYPE_TITLE, m_titleFont);
  for (int id : {IDC_SETUP_TYPE_FIRST_CAPTION, IDC_SETUP_TYPE_SECOND_CAPTION, IDC_SETUP_TYPE_THIRD_CAPTION}) {
    setFont(id, m_boldFont);
  }
  for (int id : {IDC_SETUP_TYPE_SUBTITLE, IDC_SETUP_TYPE_FIRST_TEXT, IDC_SETUP_TYPE_SECOND_TEXT,
                 IDC_SETUP_TYPE_THIRD_TEXT}) {
    setFont(id, m_textFont);
  }
  ReplaceTokensInControl(IDC_SETUP_TYPE_TITLE);
  ReplaceTokensInControl(IDC_SETUP_TYPE_SUBTITLE);

  bool maintenance = IsMaintenance();
  std::wstring firstCaption = PageString(maintenance ? IDS_SETUP_TYPE_REPAIR : IDS_SETUP_TYPE_CUSTOM);
  std::wstring secondCaption = PageString(maintenance ? IDS_SETUP_TYPE_REMOVE : IDS_SETUP_TYPE_COMPLETE);
  SetItemText(IDC_SETUP_TYPE_FIRST_CAPTION, firstCaption);
  SetItemText(IDC_SETUP_TYPE_FIRST_TEXT,
              PageString(maintenance ? IDS_SETUP_TYPE_REPAIR_TEXT : IDS_SETUP_TYPE_CUSTOM_TEXT));
  SetItemText(IDC_SETUP_TYPE_SECOND_CAPTION, secondCaption);
  // The picture buttons show no text, but theirs carries the caption's
  // access key: a caption's key alone would only move the focus, to the
  // control after the caption, the next choice's button.
  SetItemText(IDC_SETUP_TYPE_FIRST, firstCaption);
  SetItemText(IDC_SETUP_TYPE_SECOND, secondCaption);
  SetItemText(IDC_SETUP_TYPE_SECOND_TEXT,
              PageString(maintenance ? IDS_SETUP_TYPE_REMOVE_TEXT : IDS_SETUP_TYPE_COMPLETE_TEXT));
  SetItemText(IDC_SETUP_TYPE_THIRD_CAPTION, std::wstring());
  SetItemText(IDC_SETUP_TYPE_THIRD_TEXT, std::wstring());
  if (HWND third = GetDlgItem(IDC_SETUP_TYPE_THIRD)) ShowWindow(third, SW_HIDE);

  SetButtonIcon(IDC_SETUP_TYPE_FIRST, maintenance ? IDI_SETUP_TYPE_REPAIR : IDI_SETUP_TYPE_CUSTOM);
  SetButtonIcon(IDC_SETUP_TYPE_SECOND, maintenance ? IDI_SETUP_TYPE_REMOVE : IDI_SETUP_TYPE_COMPLETE);
  return TRUE;
}

// The icon of the layout's DPI, smaller when the button leaves it no room;
// the page owns it (a shared icon keeps the first size asked for).
void CSetupTypeDlg::SetButtonIcon(int buttonId, UINT iconId) {
  HWND button = GetDlgItem(buttonId);
  CSetupSheet* sheet = GetSetupSheet();
  if (!button) return;
  RECT client = {};
  GetClientRect(button, &client);
  int size = PictureButtonIconSize(sheet ? sheet->GetDpi() : 96, client.right, client.bottom);
  HICON icon = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId), IMAGE_ICON, size, size, 0));
  if (!icon) return;
  m_icons.push_back(icon);
  KeepPictureOrientation(button);
  SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
}

// An installed suite is removed unless the user picks another type, or
// repaired when setup was started to repair it (/f): a cancel before the
// choice asks that run's question. The sheet's properties are left as they are.
bool CSetupTypeDlg::OnSetActive() {
  CSetupState* state = GetState();
  CSetupSheet* sheet = GetSetupSheet();
  const CCommandOptions* options = sheet ? sheet->GetCommandOptions() : nullptr;
  bool repair = options && options->GetMode() == CCommandOptions::kModeRepair;
  if (state && state->m_maintenanceMode) state->m_setupType = repair ? SetupTypeRepair : SetupTypeRemove;
  return CWizPropPage::OnSetActive();
}

bool CSetupTypeDlg::OnCommand(int id, int code) {
  if (code != BN_CLICKED || (id != IDC_SETUP_TYPE_FIRST && id != IDC_SETUP_TYPE_SECOND)) {
    return CWizPropPage::OnCommand(id, code);
  }
  Choose(id == IDC_SETUP_TYPE_FIRST);
  return true;
}

void CSetupTypeDlg::Choose(bool first) {
  CSetupSheet* sheet = GetSetupSheet();
  CSetupState* state = GetState();
  if (!sheet || !state) return;
  bool maintenance = IsMaintenance();
  int type = maintenance ? (first ? SetupTypeRepair : SetupTypeRemove) : (first ? SetupTypeCustom : SetupTypeComplete);
  sheet->SetInstallMode(type);
  sheet->SetLastMove(1);
  // A repair clears the products here as a removal does: the verify page
  // selects them all again for it.
  if (maintenance) ClearSelectionsForMaintenance(state->m_products);
  else if (first) RestoreInitialSelections(state->m_products);
  else SelectEverything(state->m_products);
  // The sequence keeps Next from the user until a choice is made; the
  // choice itself goes on, even where a press of a disabled button does not.
  SendMessageW(sheet->GetSafeHwnd(), PSM_SETWIZBUTTONS, 0, m_buttonFlags | kWizButtonNext);
  sheet->PressButton(CWizardSheet::kNext);
}

HBRUSH CSetupTypeDlg::OnCtlColor(HDC dc, HWND control, UINT message) {
  if (message == WM_CTLCOLORDLG) return nullptr;
  CWizPropPage::OnCtlColor(dc, control, message);
  SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}
