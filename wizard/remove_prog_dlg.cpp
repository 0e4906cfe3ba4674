// remove_prog_dlg.cpp: the remove-previous page.
#include "wizard/remove_prog_dlg.h"

#include "engine/setup_state.h"
#include "resources/resource_ids.h"
#include "wizard/setup_sheet.h"
#include "wizard/wiz_page_rules.h"

namespace {


bool IsCjkLanguage(WORD primary) {
  return primary == LANG_CHINESE || primary == LANG_JAPANESE || primary == LANG_KOREAN;
}

}  // namespace

CRemoveProgDlg::CRemoveProgDlg() : CWizPropPage(IDD_WIZ_REMOVE_PREVIOUS) {}

BOOL CRemoveProgDlg::OnInitDialog() {
  CWizPropPage::OnInitDialog();
  if (HWND title = GetDlgItem(IDC_REMOVE_PREVIOUS_TITLE)) {
    if (m_titleFont) SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(m_titleFont), FALSE);
  }
  for (int id : {IDC_REMOVE_PREVIOUS_SUBTITLE, IDC_REMOVE_PREVIOUS_BODY, IDC_REMOVE_PREVIOUS_DESCRIPTION}) {
    HWND control = GetDlgItem(id);
    if (control && m_textFont) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_textFont), FALSE);
  }
  m_tree.Attach(GetDlgItem(IDC_REMOVE_PREVIOUS_TREE));
  m_tree.SetCheckChanging([this](HTREEITEM item, bool checked) { return ToggleItem(item, checked); });
  ReplaceTokensInControl(IDC_REMOVE_PREVIOUS_TITLE);
  ReplaceTokensInControl(IDC_REMOVE_PREVIOUS_SUBTITLE);
  ReplaceTokensInControl(IDC_REMOVE_PREVIOUS_BODY);
  CSetupState* state = GetState();
  if (state && IsCjkLanguage(state->m_primaryLanguageId)) {
    m_tree.SetItemHeight(m_tree.GetItemHeight() + 2);
    if (HWND list = GetDlgItem(IDC_REMOVE_PREVIOUS_PRODUCTS)) {
      LRESULT height = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
      if (height != LB_ERR) SendMessageW(list, LB_SETITEMHEIGHT, 0, MAKELPARAM(height + 2, 0));
    }
  }
  return TRUE;
}

void CRemoveProgDlg::BuildItemList() {
  CSetupState* state = GetState();
  m_items = state ? BuildRemoveItemList(state->m_products, state->m_productRemovalData) : CRemoveList();
}

void CRemoveProgDlg::FillTree() {
  if (!m_tree.GetSafeHwnd()) return;
  m_tree.DeleteAllItems();
  for (const CRemoveListItem& item : m_items) {
    if (item.IsShown()) m_tree.InsertItem(item.GetName(), nullptr, 0, item.IsLocked() || item.IsChecked(), false);
  }
  m_uncheckedLocked = 0;
  if (CSetupSheet* sheet = GetSetupSheet()) CWizardSheet::PostWizButtons(sheet->GetSafeHwnd(), m_buttonFlags);
  m_initialised = true;
}

// The records are read again on each visit: a product deselected since
// drops its programs.
bool CRemoveProgDlg::OnSetActive() {
  BuildItemList();
  FillTree();
  if (HTREEITEM first = m_tree.GetRootItem()) {
    m_tree.SelectItem(first);
    UpdateSelection();
  }
  return CWizPropPage::OnSetActive();
}

bool CRemoveProgDlg::IsPageSkipped() {
  if (!m_initialised) {
    BuildItemList();
    FillTree();
  }
  if (!m_tree.GetRootItem()) return true;
  return CWizPropPage::IsPageSkipped();
}

const CRemoveListItem* CRemoveProgDlg::SelectedItem() const {
  HTREEITEM selected = m_tree.GetSelectedItem();
  return selected ? FindRemoveItem(m_items, m_tree.GetItemText(selected)) : nullptr;
}

void CRemoveProgDlg::UpdateSelection() {
  UpdateDescription();
  UpdateProductList();
}

void CRemoveProgDlg::UpdateDescription() {
  const CRemoveListItem* item = SelectedItem();
  if (!item) return;
  SetItemText(IDC_REMOVE_PREVIOUS_DESCRIPTION,
              PageString(item->IsLocked() ? IDS_REMOVAL_REQUIRED : IDS_REMOVAL_ADVISED));
}

void CRemoveProgDlg::UpdateProductList() {
  HWND list = GetDlgItem(IDC_REMOVE_PREVIOUS_PRODUCTS);
  if (!list) return;
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  const CRemoveListItem* item = SelectedItem();
  if (!item) return;
  for (const std::wstring& product : item->GetProducts()) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(product.c_str()));
  }
}

DWORD CRemoveProgDlg::ButtonFlagsNow() const {
  return m_uncheckedLocked != 0 ? m_buttonFlags & ~kWizButtonNext : m_buttonFlags;
}

bool CRemoveProgDlg::ToggleItem(HTREEITEM treeItem, bool checked) {
  m_tree.SelectItem(treeItem);
  const CRemoveListItem* item = FindRemoveItem(m_items, m_tree.GetItemText(treeItem));
  if (item && item->IsLocked()) m_uncheckedLocked += checked ? -1 : 1;
  if (CSetupSheet* sheet = GetSetupSheet()) CWizardSheet::PostWizButtons(sheet->GetSafeHwnd(), ButtonFlagsNow());
  return true;
}

bool CRemoveProgDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_NOTIFY) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->idFrom == IDC_REMOVE_PREVIOUS_TREE &&
        (header->code == TVN_SELCHANGEDW || header->code == TVN_SELCHANGEDA)) {
      UpdateSelection();
      return false;
    }
  }
  if (message == WM_DESTROY) m_tree.Detach();
  return CWizPropPage::OnMessage(message, wParam, lParam, result);
}

// A required program counts as checked whatever its mark shows.
void CRemoveProgDlg::SaveSelections() {
  for (CRemoveListItem& item : m_items) {
    for (HTREEITEM node = m_tree.GetRootItem(); node; node = m_tree.GetNextSiblingItem(node)) {
      if (m_tree.GetItemText(node) != item.GetName()) continue;
      item.SetChecked(m_tree.GetCheck(node) || item.IsLocked());
      break;
    }
  }
  if (CSetupState* state = GetState()) SaveRemoveSelections(m_items, &state->m_productRemovalData);
}

LRESULT CRemoveProgDlg::OnWizardNext() {
  SaveSelections();
  return CWizPropPage::OnWizardNext();
}

LRESULT CRemoveProgDlg::OnWizardBack() {
  SaveSelections();
  return CWizPropPage::OnWizardBack();
}

HBRUSH CRemoveProgDlg::OnCtlColor(HDC dc, HWND control, UINT message) {
  if (message == WM_CTLCOLORDLG) return nullptr;
  CWizPropPage::OnCtlColor(dc, control, message);
  int id = GetDlgCtrlID(control);
  if (id == IDC_REMOVE_PREVIOUS_FRAME || id == IDC_REMOVE_PREVIOUS_DESCRIPTION || id == IDC_REMOVE_PREVIOUS_PRODUCTS) {
    SetBkColor(dc, 0xFFFFFF);
    return m_whiteBrush;
  }
  SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

// The right-hand panel is a white box with a grey border.
void CRemoveProgDlg::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(GetSafeHwnd(), &paint);
  PaintHeaderBand(dc);
  FrameControl(dc, IDC_REMOVE_PREVIOUS_FRAME, m_whiteBrush);
  EndPaint(GetSafeHwnd(), &paint);
}
