#pragma once
// remove_prog_dlg.h: CRemoveProgDlg, the page of programs that stand in the
// way of the install: one check box per program the run would remove. The
// user may keep an optional one; a required one keeps Next away while it is
// unchecked. The marks go back into the run's removal records.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/tree_control.h"
#include "resources/resource_ids.h"
#include "wizard/remove_list_item.h"
#include "wizard/wiz_prop_page.h"

class CRemoveProgDlg : public CWizPropPage {
 public:
  CRemoveProgDlg();

  // Also when the page has no program to show.
  bool IsPageSkipped() override;

 protected:
  BOOL OnInitDialog() override;
  bool OnSetActive() override;
  LRESULT OnWizardNext() override;
  LRESULT OnWizardBack() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;
  void OnPaint() override;

 private:
  void BuildItemList();
  void FillTree();
  // Before the tree flips a mark: a required program being unchecked holds
  // Next back until it is checked again.
  bool ToggleItem(HTREEITEM treeItem, bool checked);
  void UpdateSelection();
  void UpdateDescription();
  void UpdateProductList();
  void SaveSelections();
  const CRemoveListItem* SelectedItem() const;
  DWORD ButtonFlagsNow() const;

  CTreeControl m_tree;
  CRemoveList m_items;
  bool m_initialised = false;
  // Required programs the user has unchecked since the tree was filled.
  int m_uncheckedLocked = 0;
};
