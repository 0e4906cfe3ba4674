#pragma once
// action_list_loader.h: CActionListLoader, every action list of the run from
// the products' item lists: for an install the removals, checks and install
// actions; for a repair or an uninstall the install group's actions.
#include <string>
#include <vector>

#include "actions/setup_action_list.h"

class CActionListSources;

class CActionListLoader {
 public:
  enum EResult {
    kLoaded,
    kSuiteRemovalRefused,  // the user keeps an incompatible suite
    kBadInstallActions,    // a command line or the group could not be read
  };

  explicit CActionListLoader(const CActionListSources& sources) : m_sources(sources) {}

  // Empties the map, then loads it for the mode of the command options.
  // Throws 1 when the only product is installed from another package.
  EResult Load(bool cleanSystem, CActionListMap* lists);
  // One line per list and per action: sequence and section.
  static void LogLists(const CActionListMap& lists);

  int UpgradeConditionMode() const { return m_upgradeConditionMode; }
  const std::vector<std::wstring>& ProductsToDisable() const { return m_productsToDisable; }
  bool IsNewerVersionKept() const { return m_newerVersionKept; }
  const std::vector<std::wstring>& IncompatibleSuites() const { return m_incompatibleSuites; }
  const std::vector<std::wstring>& IncompatibleSuiteLists() const { return m_incompatibleSuiteLists; }

 private:
  struct CItems {
    std::vector<std::wstring> verify;
    std::vector<std::wstring> upgrade;
    std::vector<std::wstring> incompatible;
    std::vector<std::wstring> previous;
    std::vector<std::wstring> install;
    std::vector<std::wstring> suites;
  };
  void GatherItems();
  EResult LoadForInstall(bool cleanSystem, CActionListMap* lists);
  void LoadChecks(CActionListMap* lists);

  CItems m_items;
  int m_upgradeConditionMode = 0;

  const CActionListSources& m_sources;
  std::vector<std::wstring> m_productsToDisable;
  bool m_newerVersionKept = false;
  std::vector<std::wstring> m_incompatibleSuites;
  std::vector<std::wstring> m_incompatibleSuiteLists;
};
