// remove_prog_dlg.cpp: the remove-previous page.
#include "wizard/remove_prog_dlg.h"

#include "engine/setup_state.h"
#include "resources/resource_ids.h"
#include "wizard/setup_sheet.h"
#include "wizard/wiz_page_rules.h"

namespace {

const COLORREF kFrameColour = 0x848484;
const UINT kCheckedImage = 2;
const UINT kUncheckedImage = 1;
const UINT_PTR kTreeSubclassId = 1;

bool IsCjkLanguage(WORD primary) {
  return primary == LANG_CHINESE || primary == LANG_JAPANESE || primary == LANG_KOREAN;
}

bool IsChecked(HWND tree, HTREEITEM item) {
  UINT state = static_cast<UINT>(SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item),
                                              TVIS_STATEIMAGEMASK));
  return (state & TVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(kCheckedImage);
}

void SetCheck(HWND tree, HTREEITEM item, bool checked) {
  TVITEMW change = {};
  change.mask = TVIF_HANDLE | TVIF_STATE;
  change.hItem = item;
  change.stateMask = TVIS_STATEIMAGEMASK;
  change.state = INDEXTOSTATEIMAGEMASK(checked ? kCheckedImage : kUncheckedImage);
  SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
}

// A double click would flip a mark a second time without telling the
// page: it is swallowed, so marks and the page's count stay in step.
LRESULT CALLBACK TreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_LBUTTONDBLCLK) return 0;
  return DefSubclassProc(window, message, wParam, lParam);
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
  HWND tree = Tree();
  if (tree) {
    // Set again so that the control makes its check images.
    LONG_PTR style = GetWindowLongPtrW(tree, GWL_STYLE);
    SetWindowLongPtrW(tree, GWL_STYLE, style & ~TVS_CHECKBOXES);
    SetWindowLongPtrW(tree, GWL_STYLE, style | TVS_CHECKBOXES);
    SetWindowSubclass(tree, TreeProc, kTreeSubclassId, 0);
  }
  ReplaceTokensInControl(IDC_REMOVE_PREVIOUS_TITLE);
  ReplaceTokensInControl(IDC_REMOVE_PREVIOUS_SUBTITLE);
  ReplaceTokensInControl(IDC_REMOVE_PREVIOUS_BODY);
  CSetupState* state = GetState();
  if (state && IsCjkLanguage(state->m_primaryLanguageId)) {
    if (tree) {
      int height = static_cast<int>(SendMessageW(tree, TVM_GETITEMHEIGHT, 0, 0));
      SendMessageW(tree, TVM_SETITEMHEIGHT, height + 2, 0);
    }
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
  HWND tree = Tree();
  if (!tree) return;
  SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  for (const CRemoveListItem& item : m_items) {
    if (!item.IsShown()) continue;
    TVINSERTSTRUCTW insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(item.GetName().c_str());
    HTREEITEM added = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (added) SetCheck(tree, added, item.IsLocked() || item.IsChecked());
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
  HWND tree = Tree();
  HTREEITEM first = tree ? TreeView_GetRoot(tree) : nullptr;
  if (first) {
    TreeView_SelectItem(tree, first);
    UpdateSelection();
  }
  return CWizPropPage::OnSetActive();
}

bool CRemoveProgDlg::IsPageSkipped() {
  if (!m_initialised) {
    BuildItemList();
    FillTree();
  }
  HWND tree = Tree();
  if (!tree || TreeView_GetCount(tree) == 0) return true;
  return CWizPropPage::IsPageSkipped();
}

std::wstring CRemoveProgDlg::ItemText(HTREEITEM treeItem) const {
  wchar_t text[MAX_PATH] = {};
  TVITEMW item = {};
  item.mask = TVIF_HANDLE | TVIF_TEXT;
  item.hItem = treeItem;
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  if (!SendMessageW(Tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return std::wstring();
  return text;
}

const CRemoveListItem* CRemoveProgDlg::SelectedItem() const {
  HWND tree = Tree();
  HTREEITEM selected = tree ? TreeView_GetSelection(tree) : nullptr;
  return selected ? FindRemoveItem(m_items, ItemText(selected)) : nullptr;
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

void CRemoveProgDlg::ToggleItem(HTREEITEM treeItem) {
  const CRemoveListItem* item = FindRemoveItem(m_items, ItemText(treeItem));
  if (item && item->IsLocked()) m_uncheckedLocked += IsChecked(Tree(), treeItem) ? 1 : -1;
  if (CSetupSheet* sheet = GetSetupSheet()) CWizardSheet::PostWizButtons(sheet->GetSafeHwnd(), ButtonFlagsNow());
}

void CRemoveProgDlg::OnTreeNotify(const NMHDR* header) {
  HWND tree = Tree();
  switch (header->code) {
    case NM_CLICK: {
      TVHITTESTINFO hit = {};
      DWORD position = GetMessagePos();
      hit.pt.x = static_cast<short>(LOWORD(position));
      hit.pt.y = static_cast<short>(HIWORD(position));
      ScreenToClient(tree, &hit.pt);
      HTREEITEM item = TreeView_HitTest(tree, &hit);
      if (!item || !(hit.flags & TVHT_ONITEMSTATEICON)) return;
      TreeView_SelectItem(tree, item);
      UpdateSelection();
      ToggleItem(item);
      return;
    }
    case TVN_KEYDOWN: {
      const NMTVKEYDOWN* key = reinterpret_cast<const NMTVKEYDOWN*>(header);
      HTREEITEM selected = TreeView_GetSelection(tree);
      if (key->wVKey == VK_SPACE && selected) ToggleItem(selected);
      return;
    }
    case TVN_SELCHANGEDW:
    case TVN_SELCHANGEDA:
      UpdateSelection();
      return;
    default:
      return;
  }
}

bool CRemoveProgDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_NOTIFY) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->idFrom == IDC_REMOVE_PREVIOUS_TREE) {
      OnTreeNotify(header);
      return false;
    }
  }
  if (message == WM_DESTROY) {
    if (HWND tree = Tree()) RemoveWindowSubclass(tree, TreeProc, kTreeSubclassId);
  }
  return CWizPropPage::OnMessage(message, wParam, lParam, result);
}

// A required program counts as checked whatever its mark shows.
void CRemoveProgDlg::SaveSelections() {
  HWND tree = Tree();
  for (CRemoveListItem& item : m_items) {
    for (HTREEITEM node = tree ? TreeView_GetRoot(tree) : nullptr; node; node = TreeView_GetNextSibling(tree, node)) {
      if (ItemText(node) != item.GetName()) continue;
      item.SetChecked(IsChecked(tree, node) || item.IsLocked());
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
  if (HWND frame = GetDlgItem(IDC_REMOVE_PREVIOUS_FRAME)) {
    RECT bounds;
    GetWindowRect(frame, &bounds);
    MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&bounds), 2);
    InflateRect(&bounds, 1, 1);
    FillRect(dc, &bounds, m_whiteBrush);
    HBRUSH border = CreateSolidBrush(kFrameColour);
    FrameRect(dc, &bounds, border);
    DeleteObject(border);
  }
  EndPaint(GetSafeHwnd(), &paint);
}
