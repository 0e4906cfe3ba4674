#pragma once
// removal_data_builder.h: CRemovalDataBuilder describes, for the wizard, each
// earlier version and incompatible application that the run's remove actions
// find on the machine, one CProductRemovalData record each.
#include <string>
#include <vector>

#include "actions/setup_action_list.h"
#include "engine/product_removal_data.h"

class CInstallGroupInfoMap;
class CProductDataMap;
class CRemoveAction;

class CRemovalDataBuilder {
 public:
  CRemovalDataBuilder(const CActionListMap& lists, const CInstallGroupInfoMap& groups,
                      const CProductDataMap& products)
      : m_lists(lists), m_groups(groups), m_products(products) {}

  // The suite's list "*" first, then each product's list in `productKeys`'
  // order; the detections stay in the actions for the run that follows.
  void Build(const std::vector<std::wstring>& productKeys, CProductRemovalDataList* records) const;

 private:
  void AddRecord(CRemoveAction* action, CProductRemovalDataList* records) const;
  bool ProductTexts(const CRemoveAction& action, std::wstring* detailA, std::wstring* detailB) const;
  static std::wstring DisplayText(CRemoveAction* action);

  const CActionListMap& m_lists;
  const CInstallGroupInfoMap& m_groups;
  const CProductDataMap& m_products;
};
