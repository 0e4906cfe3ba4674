#pragma once
// shutdown_list_loader.h: CShutdownListLoader, the applications to close and
// services to stop before installing, of the suite and of each product that
// stays in the run.
#include <string>
#include <vector>

#include "actions/setup_action_list.h"

class CActionListSources;

class CShutdownListLoader {
 public:
  explicit CShutdownListLoader(const CActionListSources& sources) : m_sources(sources) {}

  // Into "SHUTDOWN_ACTIONS" from sequence 3000. `removalSections`: the
  // section texts of the removal records; a product one of them names
  // loads none.
  void LoadShutdownApplications(const std::vector<std::wstring>& removalSections,
                                CActionListMap* lists);

 private:
  std::vector<std::wstring> Owners(const std::vector<std::wstring>& removalSections) const;
  void LoadItem(const std::wstring& item, int* sequence, CSetupActionList* list);

  const CActionListSources& m_sources;
};
