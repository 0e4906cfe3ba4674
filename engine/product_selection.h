#pragma once
// product_selection.h: trims the run's action lists to the products the
// user chose before anything runs: products not to be installed lose their
// actions and leave the run; in an uninstall, products that need nothing
// leave it, and a run without choices deselects everything.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/setup_action_list.h"

class CProductList;
class CSetupState;

class CProductSelection {
 public:
  // Takes a product out of the run (the worker's DisableProduct, which may
  // take the products that require it out too).
  using DisableFunction = std::function<void(const std::wstring& key)>;
  // Whether the product of that code is installed on the machine.
  using InstalledFunction = std::function<bool(const std::wstring& productCode)>;

  // The actions taken out of the lists go to `retired`, which must outlive
  // every pointer to them.
  CProductSelection(CSetupState* state, const CProductList& productList, CActionListMap* lists,
                    std::vector<std::unique_ptr<CSetupAction>>* retired, DisableFunction disable,
                    InstalledFunction installed);

  // `mode` and `uiLevel` as the command options give them.
  void ApplyProductSelection(int mode, int uiLevel);
  void ApplyUninstallSelection(int uiLevel);
  // After an uninstall selection: whether the user kept products of the
  // suite, or features of one, so that the run changes the suite rather
  // than removing it.
  bool KeepsProducts() const { return m_keepsProducts; }

 private:
  void LogDroppedRemovals(const std::wstring& key) const;
  void DropOwnList(const std::wstring& key);
  void RemoveProductActions(const wchar_t* listName, const std::wstring& key);
  void TakeOutOfAllLists(const std::wstring& key);
  void Retire(std::vector<std::unique_ptr<CSetupAction>> actions);
  std::vector<std::wstring> ProductKeys() const;
  bool HasInstalledDeselectedFeature(const std::wstring& key) const;

  CSetupState* m_state;
  const CProductList& m_productList;
  CActionListMap* m_lists;
  std::vector<std::unique_ptr<CSetupAction>>* m_retired;
  DisableFunction m_disable;
  InstalledFunction m_installed;
  bool m_keepsProducts = false;
};
