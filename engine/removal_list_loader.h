#pragma once
// removal_list_loader.h: CRemovalListLoader, the products to remove before
// this suite installs: configured incompatible applications and previous
// versions, the installed copy of this suite, and each product's own
// earlier version.
#include <string>
#include <vector>

#include "actions/setup_action_list.h"

class CActionListSources;
class CProductData;
class CProductFacts;
class CRemoveAction;

class CRemovalListLoader {
 public:
  explicit CRemovalListLoader(const CActionListSources& sources) : m_sources(sources) {}

  // Into the list of each item's product.
  void LoadIncompatibleApplications(const std::vector<std::wstring>& items, CActionListMap* lists);
  // Configured items into their product's list by sequence; the installed
  // copy of this suite into "*"; each product's own earlier version.
  void LoadPreviousVersions(const std::vector<std::wstring>& items, CActionListMap* lists);

  // A newer version of these products is installed and kept, or a product
  // of their family that replaced them: the run leaves them out.
  const std::vector<std::wstring>& ProductsToDisable() const { return m_productsToDisable; }
  bool IsNewerVersionKept() const { return m_newerVersionKept; }

 private:
  // Silent, force, source folder, search key, refusal and the three
  // commands of a configured item.
  void Configure(CRemoveAction* action, const std::wstring& product, const std::wstring& section);
  void LoadForcedRemovals(CActionListMap* lists);
  void LoadImplicitRemoval(const std::wstring& product, CProductData* data, CActionListMap* lists);
  bool IsCounted(const std::wstring& code) const;
  void KeepNewerVersion(const std::wstring& product, const CProductData& data,
                        const std::wstring& installed, const std::wstring& deployed);
  void LeaveToStandIn(const std::wstring& product, const CProductFacts& facts);
  std::wstring DefaultSearchKey(const std::wstring& product) const;
  // The id of the named install group; empty without the group.
  std::wstring SuiteId(const wchar_t* groupName) const;

  const CActionListSources& m_sources;
  int m_nextSequence = 2050;
  std::vector<std::wstring> m_productsToDisable;
  bool m_newerVersionKept = false;
};
