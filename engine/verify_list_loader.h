#pragma once
// verify_list_loader.h: CVerifyListLoader, the checks before installing:
// the upgrade conditions, the built-in verify actions, the configured ones,
// and the check for a product already installed, which runs at once.
#include <windows.h>

#include <string>
#include <vector>

#include "actions/setup_action_list.h"

class CActionListSources;
class CVACurrentVersion;

class CVerifyListLoader {
 public:
  explicit CVerifyListLoader(const CActionListSources& sources) : m_sources(sources) {}
  virtual ~CVerifyListLoader() = default;

  // "UPGRADE_CONDITIONS" from sequence 0.
  void LoadUpgradeConditions(const std::vector<std::wstring>& items, CActionListMap* lists);
  // "VERIFY_ACTIONS" from sequence 500. Throws 1 when the only product of
  // the setup is installed from another package.
  void LoadVerifyActions(const std::vector<std::wstring>& items, CActionListMap* lists);

  // 0 any product, 1 or 2 as the configuration says.
  int UpgradeConditionMode() const { return m_upgradeConditionMode; }

 protected:
  // The installer's answer for the product; tests give their own.
  virtual DWORD RunCurrentVersion(CVACurrentVersion* action);

 private:
  void CheckCurrentVersions(bool silentForAll);
  void AppendProductChecks(CSetupActionList* list, int* sequence, bool silentForAll);
  void AppendCustomChecks(const std::vector<std::wstring>& items, CSetupActionList* list,
                          int* sequence, bool silentForAll);

  const CActionListSources& m_sources;
  int m_upgradeConditionMode = 0;
};
