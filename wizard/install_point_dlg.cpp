// install_point_dlg.cpp: the install location page.
#include "wizard/install_point_dlg.h"

#include <shlobj.h>

#include "engine/install_group_info.h"
#include "engine/setup_state.h"
#include "foundation/file_utils.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "platform/window_text.h"
#include "resources/resource_ids.h"
#include "wizard/install_path_check.h"
#include "wizard/message_box.h"
#include "wizard/setup_sheet.h"
#include "wizard/wizard_text.h"

namespace {

const wchar_t kArgumentToken[] = L"[2]";

std::wstring ReplaceToken(std::wstring text, const std::wstring& token, const std::wstring& value) {
  size_t found = text.find(token);
  while (found != std::wstring::npos) {
    text.replace(found, token.size(), value);
    found = text.find(token, found + value.size());
  }
  return text;
}

unsigned int SystemDriveType(const std::wstring& root) { return GetDriveTypeW(root.c_str()); }

// The browser opens on the folder the page holds, over the wizard (the
// system places it on the screen).
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  auto* folder = reinterpret_cast<const std::wstring*>(data);
  if (folder && !folder->empty()) {
    SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder->c_str()));
  }
  CentreOnOwner(window, GetParent(window));
  return 0;
}

// The suite's folder is usually not made yet: the browser starts at the
// nearest folder of its path that is.
std::wstring NearestExistingFolder(std::wstring folder) {
  folder = WithoutTrailingBackslashes(folder);
  while (!folder.empty() && !FolderExists(WithTrailingBackslash(folder))) {
    size_t parent = folder.find_last_of(L'\\');
    folder = parent == std::wstring::npos ? std::wstring() : WithoutTrailingBackslashes(folder.substr(0, parent));
  }
  return folder.empty() ? folder : WithTrailingBackslash(folder);
}

}  // namespace

CInstallPointDlg::CInstallPointDlg() : CWizPropPage(IDD_WIZ_INSTALL_POINT) {}

CInstallGroupInfo* CInstallPointDlg::Group() const {
  CSetupSheet* sheet = GetSetupSheet();
  return sheet ? sheet->GetDefaultGroupInfo() : nullptr;
}

const std::wstring& CInstallPointDlg::SubFolder() const {
  static const std::wstring kNone;
  CInstallGroupInfo* group = Group();
  return group ? group->GetSuiteFolder() : kNone;
}

bool CInstallPointDlg::ShowsInstallPath() const { return !SubFolder().empty(); }

// A fixed install point leaves the user nothing to choose. A wizard that
// starts on this page shows it then, and passes over it afterwards.
bool CInstallPointDlg::IsPageSkipped() {
  if (CWizPropPage::IsPageSkipped()) return true;
  CSetupState* state = GetState();
  if (!state) return false;
  if (state->m_fixedInstallPoint) return true;
  if (!state->m_startAtInstallLocation) return false;
  if (!m_startActivationSeen) {
    m_startActivationSeen = true;
    return false;
  }
  return true;
}

BOOL CInstallPointDlg::OnInitDialog() {
  CWizPropPage::OnInitDialog();
  m_filling = true;
  auto setFont = [this](int id, HFONT font) {
    HWND control = GetDlgItem(id);
    if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  };
  setFont(IDC_INSTALL_POINT_TITLE, m_titleFont);
  for (int id : {IDC_INSTALL_POINT_SUBTITLE, IDC_INSTALL_POINT_PROMPT, IDC_INSTALL_POINT_PATH_LABEL}) {
    setFont(id, m_textFont);
  }
  setFont(IDC_INSTALL_POINT_FOLDER, m_mediumFont);
  setFont(IDC_INSTALL_POINT_PATH, m_mediumFont);
  for (int id : {IDC_INSTALL_POINT_FOLDER, IDC_INSTALL_POINT_PATH}) KeepLeftToRightReading(GetDlgItem(id));

  CInstallGroupInfo* group = Group();
  CSetupState* state = GetState();
  m_workingFolder = group ? group->GetBasePath() : std::wstring();
  SetItemText(IDC_INSTALL_POINT_BROWSE, PageString(IDS_BROWSE_BUTTON));
  SetItemText(IDC_INSTALL_POINT_RESET, PageString(IDS_RESET_BUTTON));
  for (int id : {IDC_INSTALL_POINT_TITLE, IDC_INSTALL_POINT_SUBTITLE, IDC_INSTALL_POINT_NOTE}) {
    ReplaceTokensInControl(id);
  }
  if (ShowsInstallPath()) {
    ReplaceTokensInControl(IDC_INSTALL_POINT_PATH_LABEL);
    m_baseFolder = m_workingFolder.empty() ? std::wstring() : WithTrailingBackslash(m_workingFolder);
    m_installPath = m_baseFolder + SubFolder();
  } else {
    m_baseFolder = state ? state->GetInstallFolder() : std::wstring();
    m_installPath.clear();
    SetItemText(IDC_INSTALL_POINT_PATH_LABEL, std::wstring());
    SetItemText(IDC_INSTALL_POINT_PATH, std::wstring());
    if (HWND path = GetDlgItem(IDC_INSTALL_POINT_PATH)) ShowWindow(path, SW_HIDE);
  }
  ShowFields();
  m_filling = false;
  return TRUE;
}

// The types that take no folder install where the run would without the
// page, whatever was typed here before.
bool CInstallPointDlg::OnSetActive() {
  CSetupState* state = GetState();
  CInstallGroupInfo* group = Group();
  if (state && !m_initialCaptured) {
    m_initialInstallFolder = state->GetInstallFolder();
    m_initialBaseFolder = group ? group->GetBasePath() : std::wstring();
    m_initialCaptured = true;
  }
  if (state && (state->m_setupType == SetupTypeTypical || state->m_setupType == SetupTypeComplete)) {
    std::wstring folder = m_initialInstallFolder.empty() ? state->m_defaultInstallFolder : m_initialInstallFolder;
    state->SetInstallFolder(folder);
    if (group) group->SetBasePath(m_initialBaseFolder);
  }
  return CWizPropPage::OnSetActive();
}

void CInstallPointDlg::ReadControls() {
  m_baseFolder = GetItemText(IDC_INSTALL_POINT_FOLDER);
  if (ShowsInstallPath()) RebuildInstallPath();
}

void CInstallPointDlg::RebuildInstallPath() {
  if (m_baseFolder.empty()) {
    m_installPath = SubFolder();
    return;
  }
  m_baseFolder = WithTrailingBackslash(m_baseFolder);
  m_installPath = m_baseFolder + SubFolder();
}

void CInstallPointDlg::ShowFields() {
  bool filling = m_filling;
  m_filling = true;
  SetItemText(IDC_INSTALL_POINT_FOLDER, m_baseFolder);
  if (ShowsInstallPath()) SetItemText(IDC_INSTALL_POINT_PATH, m_installPath);
  m_filling = filling;
}

bool CInstallPointDlg::OnCommand(int id, int code) {
  if (id == IDC_INSTALL_POINT_FOLDER && code == EN_CHANGE) {
    // Only the resulting path follows the typing: the edit keeps what the
    // user typed.
    if (!m_filling && ShowsInstallPath()) {
      ReadControls();
      SetItemText(IDC_INSTALL_POINT_PATH, m_installPath);
    }
    return true;
  }
  if (code == BN_CLICKED && id == IDC_INSTALL_POINT_RESET) {
    Reset();
    return true;
  }
  if (code == BN_CLICKED && id == IDC_INSTALL_POINT_BROWSE) {
    Browse();
    return true;
  }
  return CWizPropPage::OnCommand(id, code);
}

void CInstallPointDlg::Reset() {
  CSetupState* state = GetState();
  if (!m_initialBaseFolder.empty()) m_baseFolder = WithTrailingBackslash(m_initialBaseFolder);
  else m_baseFolder = state ? state->m_defaultInstallFolder : std::wstring();
  if (ShowsInstallPath()) RebuildInstallPath();
  ShowFields();
  ReadControls();
}

void CInstallPointDlg::Browse() {
  ReadControls();
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  wchar_t chosen[MAX_PATH] = {};
  BROWSEINFOW info = {};
  info.hwndOwner = GetSafeHwnd();
  info.pszDisplayName = chosen;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  // The page's own request heads the browser.
  std::wstring prompt = GetItemText(IDC_INSTALL_POINT_SUBTITLE);
  info.lpszTitle = prompt.c_str();
  std::wstring start = NearestExistingFolder(m_baseFolder);
  info.lParam = reinterpret_cast<LPARAM>(&start);
  info.lpfn = BrowseCallback;
  PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
  if (list) {
    if (SHGetPathFromIDListW(list, chosen)) {
      m_baseFolder = chosen;
      if (ShowsInstallPath()) RebuildInstallPath();
      ShowFields();
    }
    CoTaskMemFree(list);
  }
  if (SUCCEEDED(com)) CoUninitialize();
}

void CInstallPointDlg::ShowProblem(UINT messageId, const std::wstring& argument) {
  std::wstring text = ReplaceToken(PageString(messageId), kArgumentToken, argument);
  std::wstring title = PageString(IDS_SHEET_TITLE);
  CMessageBox::ShowSystemBox(GetSafeHwnd(), text, title, MB_OK);
}

LRESULT CInstallPointDlg::OnWizardNext() {
  ReadControls();
  std::wstring path = ShowsInstallPath() ? m_installPath : m_baseFolder;
  // An emptied box leaves the suite's folder name alone: no drive to judge.
  bool emptied = Trim(m_baseFolder).empty();
  CInstallPathCheck check = CheckInstallPath(emptied ? std::wstring() : path, SystemDriveType);
  switch (check.problem) {
    case kInstallPathBadLength:
      ShowProblem(IDS_FOLDER_PATH_INVALID, path);
      return -1;
    case kInstallPathBadDrive:
      ShowProblem(IDS_INVALID_DRIVE, check.root);
      return -1;
    case kInstallPathBadCharacter:
      ShowProblem(IDS_FOLDER_NAME_INVALID, path);
      return -1;
    case kInstallPathFine:
      break;
  }
  std::wstring folder = WithTrailingBackslash(path);
  if (CSetupState* state = GetState()) state->SetInstallFolder(folder);
  // The suite's record keeps the base folder: a later run finds the suite there.
  if (CInstallGroupInfo* group = Group()) {
    group->SetBasePath(WithoutTrailingBackslashes(ShowsInstallPath() ? m_baseFolder : path));
  }
  WriteLog(L"Install folder chosen on the install location page: %s", folder.c_str());
  return CWizPropPage::OnWizardNext();
}

LRESULT CInstallPointDlg::OnWizardBack() {
  if (CInstallGroupInfo* group = Group()) group->SetBasePath(m_workingFolder);
  ShowFields();
  return CWizPropPage::OnWizardBack();
}

// The two edits lie on white; everything else on the page's gradient.
HBRUSH CInstallPointDlg::OnCtlColor(HDC dc, HWND control, UINT message) {
  if (message == WM_CTLCOLORDLG) return nullptr;
  CWizPropPage::OnCtlColor(dc, control, message);
  int id = GetDlgCtrlID(control);
  if (id == IDC_INSTALL_POINT_FOLDER || id == IDC_INSTALL_POINT_PATH) {
    SetBkColor(dc, 0xFFFFFF);
    return m_whiteBrush;
  }
  SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void CInstallPointDlg::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(GetSafeHwnd(), &paint);
  PaintHeaderBand(dc);
  FrameControl(dc, IDC_INSTALL_POINT_FOLDER);
  HWND path = GetDlgItem(IDC_INSTALL_POINT_PATH);
  if (path && IsWindowVisible(path)) FrameControl(dc, IDC_INSTALL_POINT_PATH);
  EndPaint(GetSafeHwnd(), &paint);
}

