#pragma once
// customize_dlg.h: CCustomizeDlg, the Customize page: the suite's products,
// their visible features and shortcut options in a check-box tree whose
// marks change the product model's selections, guarded by the installed,
// mandatory and relation rules; with each item's description and size and
// the required and available disk space.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/tree_control.h"
#include "wizard/wiz_prop_page.h"

class CFeatureData;
class CFeatureList;
class CProductData;

class CCustomizeDlg : public CWizPropPage {
 public:
  // What a tree item stands for; the item's data is its index in the page's
  // list, so a product named like a shortcut item is still a product.
  struct CItem {
    enum EKind { kProduct, kDesktopIcon, kQuickLaunchIcon, kFeature };
    EKind kind;
    std::wstring productKey;
    CFeatureData* feature;
  };

  // Opens an address of the description's link.
  using ShellOpener = void (*)(const std::wstring& address);

  CCustomizeDlg();

  // Null puts back the shell's "open".
  static void SetShellOpener(ShellOpener opener);

  CTreeControl& GetTree() { return m_tree; }
  int GetCheckedCount() const { return m_checkedCount; }
  // The check change the tree asks for: `checked` is the new mark. False
  // refuses it (a message box may have said why).
  bool OnCheckChanging(HTREEITEM item, bool checked);
  // The relation test for a change of the item to `checked`: false when
  // it would break another selected product's requirements (unchecking) or
  // a checked product's own are not met; the message names them.
  bool TestDependencies(HTREEITEM item, bool checked, bool showMessage);

 protected:
  BOOL OnInitDialog() override;
  bool OnSetActive() override;
  LRESULT OnWizardNext() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

 private:
  void FillTree();
  void AddFeatureItems(CFeatureList& features, HTREEITEM parent, const std::wstring& parentText,
                       const std::wstring& productKey, bool productInstalled);
  HTREEITEM AddItem(const std::wstring& text, HTREEITEM parent, CItem item, bool checked, bool bold);
  const CItem* ItemOf(HTREEITEM item) const;
  CProductData* ProductOf(const CItem& item) const;
  std::wstring DisplayName(const CProductData& product) const;
  bool IsMaintenance() const;
  // Its package is installed, and this suite is not among its users.
  bool IsInstalledByAnotherSuite(const CProductData& product) const;

  bool ChangeProduct(HTREEITEM item, const CItem& entry, bool checked);
  bool ChangeFeature(HTREEITEM item, const CItem& entry, bool checked);
  void DrawFeatureMarks(HTREEITEM parent, bool parentChecked);
  bool RemoveEverything();
  void AfterChange();
  void PostButtons();
  void CountChecked();

  void UpdateItemTexts();
  std::wstring ItemDescription(const CProductData& product) const;
  void UpdateRequiredSpaceText();
  void UpdateAvailableSpaceText();
  std::wstring SpaceLine(UINT labelId, double megabytes) const;
  void OpenDescriptionLink(const std::wstring& id);
  void ShowSystemMessage(const std::wstring& text) const;
  // Why an installed product's items cannot change here.
  void ShowInstalledMessage(const CProductData& product) const;

  CTreeControl m_tree;
  std::vector<CItem> m_items;
  int m_checkedCount = 0;
};
