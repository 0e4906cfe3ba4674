#pragma once
// incompatible_suite_loader.h: CIncompatibleSuiteLoader, the suites that
// cannot live beside this one and are installed: found through their
// Uninstall entries, removed with the user's consent, each member product
// by a silent action of its own list.
#include <string>
#include <vector>

#include "actions/setup_action_list.h"

class CActionListSources;

class CIncompatibleSuiteLoader {
 public:
  explicit CIncompatibleSuiteLoader(const CActionListSources& sources) : m_sources(sources) {}

  // `names` of the IncompatibleSuite list. False when the user refuses the
  // removal. `cleanSystem`: the run removes suites itself; nothing to do.
  bool LoadIncompatibleSuite(const std::vector<std::wstring>& names, bool cleanSystem,
                             CActionListMap* lists);
  // One silent action per member product, each in a list named after it;
  // a member whose list exists already is left out.
  void BuildSilentUninstallCommand(const std::vector<std::wstring>& members,
                                   const std::wstring& suiteId, CActionListMap* lists);

  // The UUIDs of the suites found, and the names of the lists made for them.
  const std::vector<std::wstring>& FoundSuites() const { return m_foundSuites; }
  const std::vector<std::wstring>& SuiteListNames() const { return m_suiteListNames; }

 private:
  // True, with its display name, when the suite is installed as configured.
  bool FindSuite(const std::wstring& name, std::wstring* displayName);
  bool AskToRemove(const std::wstring& names) const;

  const CActionListSources& m_sources;
  std::vector<std::wstring> m_foundSuites;
  std::vector<std::wstring> m_suiteListNames;
};
