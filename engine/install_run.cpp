// install_run.cpp: the install actions made ready for the run: properties,
// repair, and command lines expanded for the mode.
#include "engine/install_run.h"

#include <windows.h>

#include <string>
#include <vector>

#include "actions/command_options.h"
#include "actions/install_action.h"
#include "actions/msi_folder_properties.h"
#include "actions/uninstall_entry.h"
#include "engine/engine_settings.h"
#include "engine/install_group_info.h"
#include "engine/install_group_info_map.h"
#include "engine/product_data.h"
#include "engine/replacement_map.h"
#include "engine/setup_state.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kProductIdToken[] = L"{ProductID}";
const wchar_t kInstallModeToken[] = L"{INSTALL_MODE}";
const wchar_t kInstallMode[] = L"Install";
const wchar_t kRepairMode[] = L"Repair";
const wchar_t kUninstallMode[] = L"Uninstall";
const wchar_t kInstallSourceValue[] = L"InstallSource";

}  // namespace

CInstallRun::CInstallRun(const CReplacementMap& macros, CSetupState& state,
                         const CInstallGroupInfoMap& groups, const CEngineSettings& settings,
                         const CCommandOptions& options)
    : m_macros(macros), m_state(state), m_groups(groups), m_settings(settings), m_options(options) {}

bool CInstallRun::SetMPISuiteID(const std::vector<CInstallAction*>& actions) const {
  const CInstallGroupInfo* group = m_groups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (!group) {
    SetLastError(ERROR_INVALID_DATA);
    WriteLog(L"Default group information not found in SetMPISuiteID");
    return false;
  }
  for (CInstallAction* action : actions) action->AddSuiteIdProperty(group->GetUuid());
  return true;
}

void CInstallRun::AddUserProperties(const std::vector<CInstallAction*>& actions) const {
  std::wstring user = m_state.GetUserName();
  std::wstring company = m_state.GetCompanyName();
  bool noOnlineAccess = !m_settings.onlineAccess && !m_settings.requireOnlineAccess;
  bool silent = m_options.GetUILevel() == CCommandOptions::kUILevelNone;
  for (CInstallAction* action : actions) {
    action->AddUserAndCompanyProperties(user, company);
    action->AddEulaAcceptedProperty(m_state.m_eulaAccepted != 0);
    action->AddForceEncryptionProperty(m_settings.forceEncryption);
    action->AddNoOnlineAccessProperty(noOnlineAccess);
    action->AddSilentProperty(silent);
  }
}

void CInstallRun::PrepareRepairActions(const std::vector<CInstallAction*>& actions) const {
  for (const wchar_t* name : {L"ADDLOCAL", L"REMOVE"}) {
    if (m_options.HasProperty(name)) {
      WriteLog(L"   %s= of the command line does not change the features of an installed product: a repair keeps "
               L"the features it has",
               name);
    }
  }
  for (CInstallAction* action : actions) {
    if (action->RestoresProduct()) continue;
    action->SetUninstall(false);
    action->SetRepair(true);
    action->SetCancelAllowed(true);
    action->SetCommandLine(action->GetRepairCommandLine());
  }
}

void CInstallRun::PrepareCommandLines(const std::vector<CInstallAction*>& actions) const {
  for (CInstallAction* action : actions) {
    if (m_state.m_setupType == SetupTypeRemove) {
      action->SetRepair(false);
      action->SetUninstall(true);
    }
    CProductData* product = m_state.m_products.Lookup(action->GetKeyName());
    if (m_state.m_setupType == SetupTypeRepair && !m_state.m_repairSource.empty()) {
      std::wstring source;
      GetProductInfo(action->GetProductCode(), kInstallSourceValue, &source);
      if (!EqualsNoCase(source, m_state.m_repairSource)) action->UpdateSourceList(m_state.m_repairSource);
    }
    action->SetCommandLine(Expand(action->GetCommandLine(), *action, kInstallMode));
    action->SetRepairCommandLine(Expand(action->GetRepairCommandLine(), *action, kRepairMode));
    action->SetUninstallCommandLine(Expand(action->GetUninstallCommandLine(), *action, kUninstallMode));
    if (action->RunsProductPackage()) GiveInstallFolders(action, product);
    if (product && action->RunsProductPackage()) action->AddFeatureSelection(*product);
  }
}

// An install hands its folders on to its own removal (its rollback); any
// other run acts on the product where its install put it, never in the
// folder of a suite that only counts it.
void CInstallRun::GiveInstallFolders(CInstallAction* action, const CProductData* product) const {
  if (m_options.GetMode() == CCommandOptions::kModeNone && !action->IsUninstall() && !action->IsRepair()) {
    action->CarryInstallFolders();
    return;
  }
  std::wstring folders = InstalledFolderProperties(action->GetProductCode(),
                                                   product ? product->GetInstallFolders() : std::wstring());
  if (folders.empty()) return;
  WriteLog(L"   %s acts on the folders of the product's install: %s", action->GetActionName().c_str(),
           folders.c_str());
  action->UseInstallFolders(folders);
}

std::wstring CInstallRun::Expand(const std::wstring& line, const CInstallAction& action,
                                 const wchar_t* mode) const {
  std::wstring expanded = ReplaceToken(m_macros.Expand(line), kProductIdToken, action.GetKeyName());
  return ReplaceToken(expanded, kInstallModeToken, mode);
}
