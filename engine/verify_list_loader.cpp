// verify_list_loader.cpp: the upgrade conditions and verify actions of the
// configuration, and the installed-version check run while they load.
#include "engine/verify_list_loader.h"

#include <memory>

#include "actions/command_options.h"
#include "actions/va_check_prompt.h"
#include "actions/va_current_version.h"
#include "actions/va_custom.h"
#include "actions/va_is_qualified.h"
#include "actions/va_msi_correct_version.h"
#include "actions/va_upgrade_condition.h"
#include "engine/action_list_sources.h"
#include "engine/message_box.h"
#include "engine/product_data.h"
#include "engine/product_data_map.h"
#include "engine/product_list.h"
#include "foundation/dcf_names.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kUpgradeConditionsList[] = L"UPGRADE_CONDITIONS";
const wchar_t kVerifyActionsList[] = L"VERIFY_ACTIONS";
const wchar_t kSuiteKey[] = L"*";
const wchar_t kDefaultSearchParameter[] = L"BuildOEM";
const wchar_t kDefaultSearchKeyFormat[] = L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s";
const wchar_t kUninstallSearchFolder[] = L"Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kLangIdMacro[] = L"{LangID}";
const wchar_t kRebrandWord[] = L"RebrandFor";
const wchar_t kRequireWord[] = L"Require";
const wchar_t kProductNameField[] = L"_PRODUCT_NAME_";
const wchar_t kProductVersionField[] = L"_PRODUCT_VERSION_";
const int kVerifySequenceBase = 500;
const unsigned long kOtherVersionInstalled = 1;

}  // namespace

void CVerifyListLoader::LoadUpgradeConditions(const std::vector<std::wstring>& items,
                                              CActionListMap* lists) {
  (*lists)[kUpgradeConditionsList].reset(new CSetupActionList());
  CSetupActionList* list = (*lists)[kUpgradeConditionsList].get();
  std::wstring mode = m_sources.Value(kSetupSection, kUpgradeConditionEvalKey, L"0");
  if (mode == L"0" || mode == L"1" || mode == L"2") {
    m_upgradeConditionMode = mode[0] - L'0';
  } else {
    WriteLog(L"Invalid value for upgrade condition evaluation; defaulting to 'any product'");
    m_upgradeConditionMode = 0;
  }
  int sequence = 0;
  for (const std::wstring& item : items) {
    std::wstring product = CActionListSources::ProductKeyOf(item);
    std::wstring section = Format(kUpgradeConditionSectionFormat, item.c_str());
    CVAUpgradeCondition::CValues values;
    values.uninstallKey = m_sources.Value(section, kUninstallKeyKey);
    values.validVersions = m_sources.Value(section, kValidVersionsKey);
    values.type = m_sources.Value(section, kTypeKey);
    values.validTLAs = m_sources.Value(section, kValidTlasKey);
    values.tlaSearchKey = m_sources.Value(section, kTlaSearchKeyKey);
    if (values.tlaSearchKey.empty()) values.tlaSearchKey = Format(kDefaultSearchKeyFormat, values.uninstallKey.c_str());
    values.tlaSearchParameter = m_sources.Value(section, kTlaSearchParameterKey, kDefaultSearchParameter);
    values.externalCommand = m_sources.Value(section, kExternalCommandKey);
    const CProductData* data = m_sources.Products().Lookup(product);
    if (data) {
      values.searchKeyFolder = kUninstallSearchFolder;
      values.searchKeyName = data->GetProductCode();
    }
    std::unique_ptr<CVAUpgradeCondition> action(new CVAUpgradeCondition(sequence++, product, section, values));
    action->SetSilent(m_sources.Flag(section, kSilentKey));
    list->Append(std::move(action));
  }
}

void CVerifyListLoader::LoadVerifyActions(const std::vector<std::wstring>& items,
                                          CActionListMap* lists) {
  bool silentForAll = m_sources.UiLevel() > CCommandOptions::kUILevelBasic;
  (*lists)[kVerifyActionsList].reset(new CSetupActionList());
  CSetupActionList* list = (*lists)[kVerifyActionsList].get();
  int sequence = kVerifySequenceBase;
  std::unique_ptr<CVerifyAction> prompt(new CVACheckPrompt(sequence++));
  prompt->SetSilent(silentForAll);
  list->Append(std::move(prompt));
  if (!m_sources.perProductPlatforms) {
    std::unique_ptr<CVerifyAction> qualified(new CVAIsQualified(
        sequence++, kSuiteKey, kIsQualifiedSuiteSection, L"", m_sources.Value(kSetupSection, kPlatformsKey),
        m_sources.Value(kSetupSection, kAllowWin64Key), m_sources.Value(kSetupSection, kAllowWinXPHomeKey),
        m_sources.Value(kSetupSection, kAllowWinServer2k3Key)));
    qualified->SetSilent(silentForAll);
    list->Append(std::move(qualified));
  }
  std::wstring minimumVersion = m_sources.Value(kSetupSection, kMinimumMsiVersionKey);
  for (const std::wstring& product : m_sources.ProductList().Keys()) {
    std::unique_ptr<CVAMSICorrectVersion> installer(new CVAMSICorrectVersion(
        sequence++, product, Format(kMsiCorrectVersionSectionFormat, product.c_str()), minimumVersion));
    installer->SetProductNames(m_sources.suiteProductName, m_sources.suiteShortProductName);
    const std::wstring& kit = m_sources.kitFolder.empty() ? m_sources.Options().GetSetupFolder() : m_sources.kitFolder;
    installer->SetInstaller(kit, m_sources.Value(kSetupSection, kNTMsiInstallerKey), minimumVersion);
    installer->SetSilent(silentForAll);
    list->Append(std::move(installer));
  }
  CheckCurrentVersions(silentForAll);
  AppendProductChecks(list, &sequence, silentForAll);
  AppendCustomChecks(items, list, &sequence, silentForAll);
}

DWORD CVerifyListLoader::RunCurrentVersion(CVACurrentVersion* action) { return action->Execute(); }

// A single product installed from another package cannot be installed over.
void CVerifyListLoader::CheckCurrentVersions(bool silentForAll) {
  for (const std::wstring& product : m_sources.ProductList().Keys()) {
    const CProductData* data = m_sources.Products().Lookup(product);
    if (!data || m_sources.ProductValue(product, kSuppressImplicitRemovesKey, L"0") != L"0") continue;
    CVACurrentVersion check(0, product, data->GetProductCode(), data->GetPackageCode());
    WriteLog(L"Executing setup action: %s", check.GetActionName().c_str());
    DWORD result = RunCurrentVersion(&check);
    WriteLog(L"   Action %s return code: %d, reason: %s", check.GetActionName().c_str(), result,
             CVACurrentVersion::ReasonText(result));
    if (result != CVACurrentVersion::kOtherPackage || m_sources.IsMultiProduct()) continue;
    if (!silentForAll) {
      std::wstring version = data->GetVersion() ? data->GetVersion()->ToString() : std::wstring();
      std::wstring text = ReplaceAll(LoadResourceString(IDS_OTHER_VERSION_INSTALLED), kProductNameField,
                                     data->GetProductName());
      text = ReplaceAll(text, kProductVersionField, version);
      ShowMessageBox(nullptr, text.c_str(), LoadResourceString(IDS_WARNING_CAPTION).c_str(),
                     MB_ICONWARNING | MB_SETFOREGROUND);
    }
    throw kOtherVersionInstalled;
  }
}

void CVerifyListLoader::AppendProductChecks(CSetupActionList* list, int* sequence, bool silentForAll) {
  if (!m_sources.perProductPlatforms) return;
  for (const std::wstring& product : m_sources.ProductList().Keys()) {
    if (!m_sources.Products().Lookup(product)) continue;
    std::unique_ptr<CVerifyAction> qualified(new CVAIsQualified(
        (*sequence)++, product, Format(kIsQualifiedSectionFormat, product.c_str()), product,
        m_sources.ProductValue(product, kPlatformsKey), m_sources.ProductValue(product, kAllowWin64Key),
        m_sources.Value(kSetupSection, kAllowWinXPHomeKey), m_sources.ProductValue(product, kAllowWinServer2k3Key)));
    qualified->SetSilent(silentForAll);
    list->Append(std::move(qualified));
  }
}

void CVerifyListLoader::AppendCustomChecks(const std::vector<std::wstring>& items, CSetupActionList* list,
                                           int* sequence, bool silentForAll) {
  std::wstring languageId = Format(L"%u", static_cast<unsigned>(m_sources.languageId));
  for (const std::wstring& item : items) {
    std::wstring product = CActionListSources::ProductKeyOf(item);
    std::wstring section = Format(kVerifyActionSectionFormat, item.c_str());
    std::wstring name = m_sources.Value(section, kProductNameKey);
    if (name.empty()) name = m_sources.ProductName(product);
    std::unique_ptr<CVACustom> action(new CVACustom((*sequence)++, product, section, name));
    action->SetSourceFolder(m_sources.ProductFolder(product), false);
    std::wstring command = ReplaceAll(m_sources.Value(section, kActionKey), kLangIdMacro, languageId);
    action->SetCommand(ReplaceAll(command, kRebrandWord, kRequireWord));
    if (!action->GetCommand()->IsValid()) {
      WriteLog(L"   The command of %s could not be parsed; the check will fail when run", section.c_str());
    }
    action->SetSilent(m_sources.Flag(section, kSilentKey) || silentForAll);
    action->SetRefusal(m_sources.Value(section, kRefusalKey));
    action->SetSuiteLevelValidation(m_sources.Flag(section, kSuiteLevelValidationKey));
    action->SetMessage(m_sources.Value(section, kMessageKey));
    list->Append(std::move(action));
  }
}
