#pragma once
// remove_previous_action.h: CRemovePreviousAction, the removal of an earlier
// version of a product this suite installs. A run that does not ask removes
// it when this suite's version is newer (or the removal is forced).
#include <string>

#include "actions/remove_action.h"

class CRemovePreviousAction : public CRemoveAction {
 public:
  CRemovePreviousAction(int sequence, const std::wstring& name, const std::wstring& uninstallKey);

  std::wstring GetProductName() override;
  std::wstring GetPromptText() override;
  // Also "{msiexec}", and the deployed version, setup language and setup INI
  // path when they are set.
  std::wstring ExpandText(const std::wstring& text) override;
  std::wstring GetTitleText() override;
  int GetRemovalKind() override;

  void SetDeployedProductName(const std::wstring& name) { m_deployedProductName = name; }
  void SetDeployedVersion(const std::wstring& version) { m_deployedVersion = version; }
  void SetSetupLanguage(const std::wstring& language) { m_setupLanguage = language; }
  void SetSetupIniPath(const std::wstring& path) { m_setupIniPath = path; }

 private:
  std::wstring m_deployedProductName;
  std::wstring m_deployedVersion;
  std::wstring m_setupLanguage;
  std::wstring m_setupIniPath;
};
