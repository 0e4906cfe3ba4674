#pragma once
// install_run.h: what the run does to the install actions before the action
// manager runs them: the user's choices as properties of every installer
// command line, the switch to repair, and the command lines expanded for
// the mode of the run.
#include <string>
#include <vector>

struct CEngineSettings;
class CCommandOptions;
class CInstallAction;
class CInstallGroupInfoMap;
class CProductData;
class CReplacementMap;
class CSetupState;

class CInstallRun {
 public:
  // All must outlive the object.
  CInstallRun(const CReplacementMap& macros, CSetupState& state, const CInstallGroupInfoMap& groups,
              const CEngineSettings& settings, const CCommandOptions& options);
  CInstallRun(const CInstallRun&) = delete;
  CInstallRun& operator=(const CInstallRun&) = delete;

  // MPI_SUITE_ID of the "default" group on every action; false, with last
  // error 13, without that group.
  bool SetMPISuiteID(const std::vector<CInstallAction*>& actions) const;
  // USERNAME and COMPANYNAME, MPI_EULA_ACCEPTED, FORCE_ENCRYPTION,
  // NO_ONLINE_ACCESS and MPI_SILENT as the run's settings say.
  void AddUserProperties(const std::vector<CInstallAction*>& actions) const;
  // Every action repairs its product with its repair command line, but one
  // that installs a missing product again.
  void PrepareRepairActions(const std::vector<CInstallAction*>& actions) const;
  // A removal makes every action an uninstall; a repair from another source
  // moves the product's source there; the three command lines are
  // expanded with {ProductID} and {INSTALL_MODE}; and the product's
  // feature choices go onto its own package's line.
  void PrepareCommandLines(const std::vector<CInstallAction*>& actions) const;

 private:
  std::wstring Expand(const std::wstring& line, const CInstallAction& action,
                      const wchar_t* mode) const;
  void GiveInstallFolders(CInstallAction* action, const CProductData* product) const;

  const CReplacementMap& m_macros;
  CSetupState& m_state;
  const CInstallGroupInfoMap& m_groups;
  const CEngineSettings& m_settings;
  const CCommandOptions& m_options;
};
