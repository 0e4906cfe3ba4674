// worker_product_checks.cpp: the verify actions before anything is
// installed: the built-in ones for the suite, the upgrade conditions, and
// each product's own, which may take a product out of the run or end it.
#include "engine/worker.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "actions/command_options.h"
#include "actions/remove_previous_action.h"
#include "actions/va_custom.h"
#include "actions/va_is_qualified.h"
#include "actions/va_msi_correct_version.h"
#include "actions/va_upgrade_condition.h"
#include "actions/verify_action.h"
#include "engine/install_group_info.h"
#include "engine/product_data.h"
#include "engine/restart_handler.h"
#include "engine/setup_host.h"
#include "engine/source_redirection.h"
#include "foundation/dcf_names.h"
#include "foundation/kw_ini_file.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_config.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kVerifyActionsList[] = L"VERIFY_ACTIONS";
const wchar_t kUpgradeConditionsList[] = L"UPGRADE_CONDITIONS";
const wchar_t kSuiteList[] = L"*";
const wchar_t kEnsureMsiSection[] = L"VerifyActions.*.EnsureMSI";
const wchar_t kMinimumInstallerVersion[] = L"1.00";
const wchar_t kRebrandMark[] = L"RebrandFor";
const wchar_t kUpgradeLinkKey[] = L"UpgradeLink";
const wchar_t kUninstallKeyCommand[] = L"UNINSTALLKEY";
const wchar_t kDefaultPrompt[] = L"DEFAULT";
const DWORD kRestartDuringPreparation = 0x70669;
const wchar_t kUnsupportedOSName[] = L"UnsupportedOS";
const wchar_t kUnsupportedUpgradeName[] = L"UnsupportedUpgrade";
const wchar_t kProductsField[] = L"_PRODUCTS_";
const wchar_t kProductNameField[] = L"_PRODUCT_NAME_";
const int kRefuseAll = 2;
const int kRefuseProduct = 1;

bool IsRestartResult(DWORD result) {
  return result == ERROR_SUCCESS_REBOOT_INITIATED || result == ERROR_SUCCESS_REBOOT_REQUIRED ||
         result == kRestartDuringPreparation;
}

}  // namespace

// The action's result; the system's last error right after it ran in *kept.
DWORD CWorker::RunVerifyAction(CVerifyAction* action, DWORD* kept) {
  WriteLog(L"Executing setup action: %s", action->GetActionName().c_str());
  DWORD result = action->Execute();
  *kept = GetLastError();
  WriteLog(L"   Action %s return code: %d", action->GetActionName().c_str(), result);
  return result;
}

void CWorker::PrepareVerifyAction(CVerifyAction* action, const wchar_t* section) {
  action->SetKeyName(kSuiteList);
  action->SetActionName(section);
  action->SetSilent(IsSilentLevel());
}

// A run without a working copy (a fast install) resumes from its own program.
void CWorker::HookRebootResume(int sequence) {
  bool copied = !m_restartProgramPath.empty();
  m_rebootHooked = m_rebootSupport.RegisterRebootResume(
      m_resumeValueName, copied ? m_restartProgramPath : m_commandLine->ProgramPath(),
      copied ? m_restartArguments : m_commandLine->ProcessArguments(), sequence);
  if (m_rebootHooked) JournalResumeEntry();
}

void CWorker::UnhookRebootResume() {
  if (!m_rebootHooked) return;
  m_rebootSupport.UnregisterRebootResume(m_resumeValueName);
  m_runJournal->DropResumeEntry();
  m_rebootHooked = FALSE;
}

void CWorker::RunBuiltInVerifyActions() {
  CheckAdministrator();
  EnsureMSI();
  EnsureSetupFiles();
}

void CWorker::EnsureMSI() {
  // Built-in checks have no place in a list: sequence 0 adds no stage to the resume.
  CVAMSICorrectVersion action(0, kSuiteList, kEnsureMsiSection, kMinimumInstallerVersion);
  PrepareVerifyAction(&action, kEnsureMsiSection);
  std::wstring shortName = m_state->GetShortProductName();
  action.SetProductNames(SuiteDisplayName(), shortName.empty() ? SuiteDisplayName() : shortName);
  std::wstring installer, configuredMinimum;
  if (m_configuration) {
    m_configuration->GetValue(kSetupSection, kNTMsiInstallerKey, &installer, L"");
    m_configuration->GetValue(kSetupSection, kMinimumMsiVersionKey, &configuredMinimum, L"");
  }
  action.SetInstaller(SourceRedirection().KitFolder(), installer, configuredMinimum);
  action.SetHost(IsSilentLevel() || !m_host ? nullptr : m_host->GetOwnerWindow(), nullptr);
  action.SetNoDownload(!m_settings.onlineUpdatesAllowed);
  HookRebootResume(0);
  DWORD kept = ERROR_SUCCESS;
  DWORD result = RunVerifyAction(&action, &kept);
  if (IsRestartResult(result)) {
    WriteLog(L"Starting reboot after installing MSI");
    RestartForPreparation(action.GetSequence());
  } else if (result == kVerifyEndWithLastError) {
    // Like the administrator check: the kept error says why (0x70669 keeps
    // the working copy for the resume).
    throw static_cast<unsigned long>(kept);
  } else if (result != ERROR_SUCCESS) {
    // Cancel on the Windows Installer update question (1602) is the user's
    // answer, not an error to report in a box of its own.
    AbortOnError(result, result != ERROR_INSTALL_USEREXIT);
  }
  UnhookRebootResume();
}

// A run resumed at this stage was restarted for it already: a second restart
// would only bring it back here, for ever on an unattended machine.
void CWorker::RestartForPreparation(int stage) {
  if (stage != 0 && stage == m_options->GetSSwitchValue()) {
    WriteLog(L"Setup was restarted for stage %d already and does not restart for it again", stage);
    UnhookRebootResume();
    AbortOnError(ERROR_INSTALL_FAILURE, true);
  }
  // A restart that nothing resumes after would leave the run undone, with
  // the restart reported as its result.
  if (!m_rebootHooked &&
      CRestartHandler::PreparationRestartEndsRun(m_options->GetRebootOption(), UiLevel())) {
    WriteLog(L"Setup could not register its resume after the restart as '%s'; it does not restart and ends",
             m_resumeValueName.c_str());
    AbortOnError(ERROR_INSTALL_FAILURE, true);
  }
  m_state->m_rebootPending = true;
  HandleRebootDuringPreparation();
}

// A refusal takes its product out of the run, or ends the run when it
// concerns the whole suite.
void CWorker::RunProductActions(int startSequence) {
  CSetupActionList* list = CSetupActionList::Find(m_actionLists, kVerifyActionsList);
  if (!list) return;
  std::vector<CRefusal> refused;
  DWORD lastKept = ERROR_OLD_WIN_VERSION;
  std::vector<CVerifyAction*> actions;
  for (const auto& entry : *list) {
    CVerifyAction* action = dynamic_cast<CVerifyAction*>(entry.get());
    if (action && action->GetSequence() >= startSequence) actions.push_back(action);
  }
  for (CVerifyAction* action : actions) {
    // A product already taken out of the run needs no more checks.
    const std::wstring& key = action->GetKeyName();
    if (key != kSuiteList && !key.empty() && !m_productList.Contains(key)) continue;
    HookRebootResume(action->GetSequence());
    DWORD kept = ERROR_SUCCESS;
    DWORD result = RunVerifyAction(action, &kept);
    if (action->GetActionName().find(kRebrandMark) != std::wstring::npos) {
      if (result == ERROR_SUCCESS) ApplyRebranding(*action);
      result = ERROR_SUCCESS;
    }
    if (IsRestartResult(result)) {
      RestartForPreparation(action->GetSequence());
    } else if (result == kVerifyEndWithLastError) {
      lastKept = kept;
      RefuseProduct(*action, kept, &refused);
    } else if (result != ERROR_SUCCESS) {
      AbortOnError(result, result != ERROR_INSTALL_USEREXIT);
    }
    UnhookRebootResume();
  }
  ReportRefusedProducts(refused, lastKept);
}

void CWorker::RefuseProduct(const CVerifyAction& action, DWORD kept, std::vector<CRefusal>* refused) {
  if (kept == kRestartDuringPreparation) throw static_cast<unsigned long>(kept);
  const std::wstring& product = action.GetKeyName();
  bool suiteWide = product == kSuiteList || product.empty() || action.GetRefusal() == kRefuseAll;
  const CVACustom* custom = dynamic_cast<const CVACustom*>(&action);
  if (custom && custom->IsSuiteLevelValidation()) suiteWide = true;
  if (suiteWide) {
    ShowRefusals({RefusalOf(action)}, true);
    throw static_cast<unsigned long>(kept == ERROR_SUCCESS ? ERROR_OLD_WIN_VERSION : kept);
  }
  // Only a configured check can be told to let its product stay.
  if (custom && action.GetRefusal() != kRefuseProduct) {
    WriteLog(L"   The refusal of '%s' is ignored; the product stays in the installation",
             action.GetActionName().c_str());
    return;
  }
  CRefusal refusal = RefusalOf(action);
  TakeProductOutOfRun(product, true);
  if (m_productList.Contains(product)) return;
  refused->push_back(refusal);
}

// A configured check names its product as its ProductName says; the
// platform check of the suite names the suite, whose whole system it refuses.
CWorker::CRefusal CWorker::RefusalOf(const CVerifyAction& action) const {
  const std::wstring& key = action.GetKeyName();
  bool suite = key == kSuiteList || key.empty();
  bool custom = dynamic_cast<const CVACustom*>(&action) != nullptr;
  CRefusal refusal{custom && !action.GetName().empty() ? action.GetName()
                   : suite                               ? SuiteDisplayName()
                                                         : ProductDisplayName(key),
                   action.IsSilent(), action.GetMessage(), custom};
  if (suite && refusal.messageName.empty() && dynamic_cast<const CVAIsQualified*>(&action)) {
    refusal.messageName = kUnsupportedOSName;
  }
  return refusal;
}

std::wstring CWorker::ProductDisplayName(const std::wstring& key) const {
  CProductData* product = m_state->m_products.Lookup(key);
  if (product && !product->GetProductName().empty()) return product->GetProductName();
  return key;
}

// A suite without a ProductName of its own is known by its programs-list name.
std::wstring CWorker::SuiteDisplayName() const {
  std::wstring name = m_state->GetProductName();
  const CInstallGroupInfo* group = m_installGroups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (name.empty() && group) name = group->GetDisplayName();
  return name.empty() ? LoadResourceString(IDS_UNKNOWN_PRODUCT) : name;
}

std::wstring CWorker::MessageText(const std::wstring& messageName, UINT fallback, const std::wstring& productName,
                                  const std::vector<std::wstring>& products) const {
  UINT id = fallback;
  if (!messageName.empty()) {
    auto found = m_state->m_messageIds.find(messageName);
    if (found == m_state->m_messageIds.end()) {
      WriteLog(L"The message name '%s' is not known; the default message is shown", messageName.c_str());
    } else if (found->second != 0) {
      id = static_cast<UINT>(found->second);
    }
  }
  std::wstring text = LoadResourceString(id);
  if (text.empty() && id != fallback) {
    WriteLog(L"The message '%s' has no text in this language; the default message is shown", messageName.c_str());
    text = LoadResourceString(fallback);
  }
  std::wstring list;
  for (const std::wstring& product : products) list += product + L"\n";
  return ReplaceAll(ReplaceAll(text, kProductsField, list), kProductNameField, productName);
}

void CWorker::ShowRefusals(const std::vector<CRefusal>& refusals, bool ending) {
  if (IsSilentLevel()) return;
  std::vector<std::wstring> names;
  std::wstring messageName;
  bool allCustom = true;
  for (const CRefusal& refusal : refusals) {
    if (refusal.silent) {
      WriteLog(L"   The check that refused %s is silent: no box", refusal.name.c_str());
      continue;
    }
    names.push_back(refusal.name);
    if (!refusal.messageName.empty()) messageName = refusal.messageName;
    allCustom = allCustom && refusal.custom;
  }
  if (names.empty()) return;
  UINT fallback = allCustom ? (ending ? IDS_PRODUCTS_REFUSED_BY_CHECK_ABORT : IDS_PRODUCTS_REFUSED_BY_CHECK)
                            : (ending ? IDS_PRODUCTS_NOT_SUPPORTED_ABORT : IDS_PRODUCTS_NOT_SUPPORTED);
  std::wstring productName;
  for (const std::wstring& name : names) productName += (productName.empty() ? L"" : L", ") + name;
  std::wstring text = MessageText(messageName, fallback, productName, names);
  if (ending) ShowBox(text, IDS_ERROR_CAPTION, MB_ICONERROR | MB_SETFOREGROUND);
  else ShowBox(text, IDS_INFORMATION_CAPTION, MB_ICONWARNING | MB_SETFOREGROUND);
}

// With none left the run ends, and the box says so whatever message the
// checks name.
void CWorker::ReportRefusedProducts(const std::vector<CRefusal>& refused, DWORD kept) {
  if (refused.empty()) return;
  bool noneLeft = m_productList.Keys().empty();
  if (noneLeft) {
    std::vector<CRefusal> plain = refused;
    for (CRefusal& refusal : plain) refusal.messageName.clear();
    ShowRefusals(plain, true);
    WriteLog(L"No product is left to install on this system");
    throw static_cast<unsigned long>(kept == ERROR_SUCCESS ? ERROR_OLD_WIN_VERSION : kept);
  }
  ShowRefusals(refused, false);
}

// Mode 0: one condition that holds suffices; 1: all must; 2: none may.
void CWorker::EvaluateUpgradeLink() {
  std::wstring link;
  if (m_configuration) m_configuration->GetValue(kPropertySection, kUpgradeLinkKey, &link, L"");
  bool linked = link == L"1";
  CSetupActionList* list = CSetupActionList::Find(m_actionLists, kUpgradeConditionsList);
  if (!list) return;
  int holding = 0;
  int count = 0;
  std::vector<std::unique_ptr<CSetupAction>> removals;
  for (const auto& entry : *list) {
    CVAUpgradeCondition* condition = dynamic_cast<CVAUpgradeCondition*>(entry.get());
    if (!condition) continue;
    ++count;
    DWORD kept = ERROR_SUCCESS;
    if (RunVerifyAction(condition, &kept) != ERROR_SUCCESS) continue;
    ++holding;
    if (!condition->IsRemoveType()) continue;
    std::unique_ptr<CRemovePreviousAction> removal(
        new CRemovePreviousAction(condition->GetSequence(), condition->GetUninstallKey(),
                                  condition->GetUninstallKey()));
    removal->SetActionName(condition->GetActionName());
    removal->SetKeyName(kSuiteList);
    removal->SetDetectionCommand(kUninstallKeyCommand);
    removal->SetUninstallCommand(kUninstallKeyCommand, true);
    removal->SetPromptCommand(kDefaultPrompt);
    removal->SetSilent(UiLevel() >= CCommandOptions::kUILevelNoneWithEndDialog);
    removals.push_back(std::move(removal));
  }
  for (auto& removal : removals) {
    CSetupActionList::GetOrCreate(&m_actionLists, kSuiteList)->InsertAscending(std::move(removal));
  }
  bool passed = false;
  if (m_upgradeConditionMode == 0) passed = holding > 0;
  else if (m_upgradeConditionMode == 1) passed = holding == count;
  else if (m_upgradeConditionMode == 2) passed = holding == 0;
  else WriteLog(L"Unknown upgrade condition evaluation method; failing upgrade");
  if (passed || !linked) return;
  if (UiLevel() < CCommandOptions::kUILevelNoneWithEndDialog) {
    std::wstring suite = SuiteDisplayName();
    ShowBox(MessageText(kUnsupportedUpgradeName, IDS_UNSUPPORTED_UPGRADE, suite, {suite}), IDS_ERROR_CAPTION,
            MB_ICONERROR | MB_SETFOREGROUND);
  }
  throw static_cast<unsigned long>(ERROR_OLD_WIN_VERSION);
}
