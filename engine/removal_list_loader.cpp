// removal_list_loader.cpp: the remove actions of the configuration and the
// implicit removal of each product's earlier version.
#include "engine/removal_list_loader.h"

#include <cwchar>
#include <memory>

#include "actions/command_options.h"
#include "actions/external_command.h"
#include "actions/product_facts.h"
#include "actions/ref_counting.h"
#include "actions/remove_incompatible_action.h"
#include "actions/remove_previous_action.h"
#include "engine/action_list_sources.h"
#include "engine/install_group_info_map.h"
#include "engine/product_data.h"
#include "engine/product_data_map.h"
#include "engine/product_list.h"
#include "foundation/dcf_names.h"
#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kSuiteList[] = L"*";
const wchar_t kRemoveGroup[] = L"remove";
const wchar_t kDefaultGroup[] = L"default";
const wchar_t kLangIdMacro[] = L"{LangID}";
const wchar_t kUninstallKeyCommand[] = L"UNINSTALLKEY";
const wchar_t kNoPrompt[] = L"NONE";
const wchar_t kDefaultPrompt[] = L"DEFAULT";
const wchar_t kIgnoreRefusal[] = L"IGNORE";
const wchar_t kUninstallSearchFolder[] = L"Microsoft\\Windows\\CurrentVersion\\Uninstall";
const int kPreviousVersionBase = 2000;

// A description that cannot be parsed fails when it runs (13); said here
// too, where the configuration is read.
void ReportBadCommand(const CExternalCommand* command, const wchar_t* key, const std::wstring& section) {
  if (command && !command->IsValid()) {
    WriteLog(L"   The %s command of %s could not be parsed; the action will fail when run", key,
             section.c_str());
  }
}

}  // namespace

std::wstring CRemovalListLoader::SuiteId(const wchar_t* groupName) const {
  const CInstallGroupInfo* group = m_sources.Groups().Lookup(groupName);
  return group ? group->GetUuid() : std::wstring();
}

// The product's entry in the Uninstall key.
std::wstring CRemovalListLoader::DefaultSearchKey(const std::wstring& product) const {
  const CProductData* data = m_sources.Products().Lookup(product);
  if (!data || data->GetProductCode().empty()) return std::wstring();
  return Format(L"%s\\%s", kUninstallSearchFolder, data->GetProductCode().c_str());
}

void CRemovalListLoader::Configure(CRemoveAction* action, const std::wstring& product,
                                   const std::wstring& section) {
  action->SetActionName(section);
  // The product whose list holds the action: its removal record names it.
  action->SetKeyName(product);
  // The commands copy these as they are made, so they come first.
  action->SetSilent(m_sources.Flag(section, kSilentKey) || m_sources.IsQuietLevel());
  action->SetUnattended(m_sources.UiLevel() >= CCommandOptions::kUILevelBasicNoDialogs);
  action->SetForce(m_sources.Flag(section, kForceKey));
  action->SetSourceFolder(m_sources.ProductFolder(product), false);
  std::wstring searchKey = m_sources.Value(section, kTlaSearchKeyKey);
  if (searchKey.empty()) searchKey = DefaultSearchKey(product);
  action->SetTLASearchKey(searchKey);
  action->SetRefusal(m_sources.Value(section, kRefusalKey));
  std::wstring languageId = Format(L"%u", static_cast<unsigned>(m_sources.languageId));
  action->SetDetectionCommand(ReplaceAll(m_sources.Value(section, kDetectionKey), kLangIdMacro, languageId));
  action->SetPromptCommand(ReplaceAll(m_sources.Value(section, kPromptKey), kLangIdMacro, languageId));
  action->SetUninstallCommand(m_sources.Value(section, kUninstallCommandKey), true);
  ReportBadCommand(action->GetDetectionCommand(), L"detection", section);
  ReportBadCommand(action->GetPromptCommand(), L"prompt", section);
  ReportBadCommand(action->GetUninstallCommand(), L"uninstall", section);
}

void CRemovalListLoader::LoadIncompatibleApplications(const std::vector<std::wstring>& items,
                                                      CActionListMap* lists) {
  for (const std::wstring& item : items) {
    std::wstring product = CActionListSources::ProductKeyOf(item);
    std::wstring section = Format(kIncompatibleApplicationSectionFormat, item.c_str());
    std::unique_ptr<CRemoveIncompatibleAction> action(new CRemoveIncompatibleAction(
        0, m_sources.Value(section, kNameKey), m_sources.Value(section, kUninstallKeyKey)));
    Configure(action.get(), product, section);
    CSetupActionList::GetOrCreate(lists, product)->Append(std::move(action));
  }
}

void CRemovalListLoader::LoadPreviousVersions(const std::vector<std::wstring>& items,
                                              CActionListMap* lists) {
  for (const std::wstring& item : items) {
    std::wstring product = CActionListSources::ProductKeyOf(item);
    std::wstring section = Format(kPreviousVersionSectionFormat, item.c_str());
    std::wstring sequenceText = m_sources.Value(section, kSequenceKey);
    int sequence = sequenceText.empty()
                       ? m_nextSequence++
                       : static_cast<int>(wcstol(sequenceText.c_str(), nullptr, 10)) + kPreviousVersionBase;
    std::unique_ptr<CRemovePreviousAction> action(new CRemovePreviousAction(
        sequence, m_sources.Value(section, kNameKey), m_sources.Value(section, kUninstallKeyKey)));
    Configure(action.get(), product, section);
    // Counted like the implicit removals: a product other suites use stays.
    action->SetRefCounter(m_sources.refCounter);
    action->SetSuite(SuiteId(kDefaultGroup));
    CSetupActionList::GetOrCreate(lists, product)->InsertAscending(std::move(action));
  }
  LoadForcedRemovals(lists);
  for (const std::wstring& product : m_sources.ProductList().Keys()) {
    CProductData* data = m_sources.Products().Lookup(product);
    if (data) LoadImplicitRemoval(product, data, lists);
  }
}

// The installed copy of this suite goes first, whatever the user says.
void CRemovalListLoader::LoadForcedRemovals(CActionListMap* lists) {
  const CInstallGroupInfo* group = m_sources.Groups().Lookup(kRemoveGroup);
  if (!group || group->GetMembers().empty()) return;
  CSetupActionList* list = CSetupActionList::GetOrCreate(lists, kSuiteList);
  for (const std::wstring& member : group->GetMembers()) {
    std::unique_ptr<CRemovePreviousAction> action(new CRemovePreviousAction(m_nextSequence++, member, member));
    action->SetActionName(Format(kForcedPreviousVersionSectionFormat, member.c_str()));
    action->SetKeyName(kSuiteList);
    action->SetSilent(true);
    action->SetForce(true);
    action->SetRefusal(kIgnoreRefusal);
    action->SetDetectionCommand(kUninstallKeyCommand);
    action->SetPromptCommand(kNoPrompt);
    action->SetUninstallCommand(kUninstallKeyCommand, true);
    action->SetRefCounter(m_sources.refCounter);
    action->SetSuite(group->GetUuid());
    list->Append(std::move(action));
  }
}

void CRemovalListLoader::LoadImplicitRemoval(const std::wstring& product, CProductData* data,
                                             CActionListMap* lists) {
  if (m_sources.ProductValue(product, kSuppressImplicitRemovesKey, L"0") == L"1") {
    WriteLog(L"Implicit previous version checking suppressed; skipping for %s", product.c_str());
    return;
  }
  CSetupActionList* list = CSetupActionList::GetOrCreate(lists, product);
  const std::wstring& code = data->GetProductCode();
  if (code.empty()) return;
  const CInstallGroupInfo* removeGroup = m_sources.Groups().Lookup(kRemoveGroup);
  if (removeGroup && removeGroup->HasMember(code)) return;

  CProductFacts facts = CProductFacts::Gather(code, data, SuiteId(kDefaultGroup));
  const CVersionInfo& installed = facts.InstalledVersion();
  bool found = facts.HasInstalledVersion();
  CVersionInfo deployed;
  if (data->GetVersion()) deployed = *data->GetVersion();
  std::wstring deployedText = data->GetVersion() ? deployed.ToString() : std::wstring();
  std::wstring installedText = found ? installed.ToString() : std::wstring();
  if (m_sources.referenceCounting && found && deployed.Compare(installed) < 0) {
    KeepNewerVersion(product, *data, installedText, deployedText);
    return;
  }
  CProductFacts::EInstall road = facts.DecideInstall();
  if (road == CProductFacts::kStoodIn) {
    LeaveToStandIn(product, facts);
    return;
  }
  // An earlier build the installer knows under the same product code is no
  // earlier product: the package runs over it, and removing it first would
  // take it from the suites that count it, or leave a minor upgrade line
  // nothing to upgrade.
  if (road == CProductFacts::kUpgradeInPlace) {
    WriteLog(L"Product %s version %s was found on the system and will be upgraded to version %s", product.c_str(),
             installedText.c_str(), deployedText.c_str());
    WriteLog(L"   The same product code: its package upgrades it in place, without removing it first");
    return;
  }
  bool quiet = m_sources.IsQuietLevel();
  std::unique_ptr<CRemovePreviousAction> action(new CRemovePreviousAction(m_nextSequence++, product, code));
  action->SetActionName(Format(kImplicitPreviousVersionSectionFormat, product.c_str()));
  action->SetDeployedProductName(data->GetProductName());
  action->SetDeployedVersion(deployedText);
  action->SetSilent(quiet);
  action->SetUnattended(m_sources.UiLevel() >= CCommandOptions::kUILevelBasicNoDialogs);
  action->SetRefusal(quiet ? kIgnoreRefusal : L"");
  action->SetDetectionCommand(kUninstallKeyCommand);
  action->SetPromptCommand(quiet ? kNoPrompt : kDefaultPrompt);
  action->SetUninstallCommand(kUninstallKeyCommand, true);
  action->SetRefCounter(m_sources.refCounter);
  action->SetSuite(SuiteId(kDefaultGroup));
  list->Append(std::move(action));
  if (!found) {
    WriteLog(L"Product %s was not found on the system. Installing version %s", product.c_str(), deployedText.c_str());
  } else if (deployed.Compare(installed) == 0) {
    WriteLog(L"Product %s version %s was found on the system and is being replaced with the same version from this suite.",
             product.c_str(), installedText.c_str());
  } else {
    WriteLog(L"Product %s version %s was found on the system and will be upgraded to version %s", product.c_str(),
             installedText.c_str(), deployedText.c_str());
  }
}

// A product of its family replaced the suite's product: installing it
// beside would register two products of one family, the older files over
// the newer. The suite counts the one that replaced it through a suite's
// package when the run commits; one the user installed apart is the user's.
void CRemovalListLoader::LeaveToStandIn(const std::wstring& product, const CProductFacts& facts) {
  const CProductFacts::CRelative* standIn = facts.StandIn();
  facts.LogStandIn(product);
  const CInstallGroupInfo* suite = m_sources.Groups().Lookup(kDefaultGroup);
  if (standIn->replacedThroughSuite && m_sources.refCounter && suite) {
    try {
      m_sources.refCounter->AddReference(suite->GetUuid(), standIn->code, true);
    } catch (const CError& error) {
      WriteLog(L"   The reference to %s could not be recorded: %s", standIn->code.c_str(), error.GetMessage().c_str());
    }
  }
  m_productsToDisable.push_back(product);
}

// False when the product's entry holds no reference count.
bool CRemovalListLoader::IsCounted(const std::wstring& code) const {
  try {
    m_sources.refCounter->ReadUsers(code, nullptr);
  } catch (const CRegistryKey::CMissingValue&) {
    return false;
  } catch (const CError&) {
    // Unreadable: the queued reference reports its own failure at the commit.
  }
  return true;
}

// The suite's use of the kept product is recorded for the commit, so a run
// that fails leaves the product's users as they were. A product no suite
// counts is the user's own: the suite takes no part in it.
void CRemovalListLoader::KeepNewerVersion(const std::wstring& product, const CProductData& data,
                                          const std::wstring& installed, const std::wstring& deployed) {
  const CInstallGroupInfo* suite = m_sources.Groups().Lookup(kDefaultGroup);
  if (m_sources.refCounter && suite && !IsCounted(data.GetProductCode())) {
    WriteLog(L"   %s is counted for no suite: this suite records no reference to it", data.GetProductCode().c_str());
  } else if (m_sources.refCounter && suite) {
    try {
      m_sources.refCounter->AddReference(suite->GetUuid(), data.GetProductCode(), true);
    } catch (const CError& error) {
      WriteLog(L"   The reference to %s could not be recorded: %s", data.GetProductCode().c_str(),
               error.GetMessage().c_str());
    }
  } else {
    WriteLog(L"   No suite reference is recorded for %s: the run has no reference counter or suite id",
             product.c_str());
  }
  WriteLog(L"Product %s version %s was found on the system, and is greater than version %s deployed by this suite. The currently installed version will be retained.",
           product.c_str(), installed.c_str(), deployed.c_str());
  m_newerVersionKept = true;
  m_productsToDisable.push_back(product);
}
