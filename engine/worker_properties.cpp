// worker_properties.cpp: step 13 of the main routine: the suite-wide settings
// of the configuration, the dynamic properties of the suite and of each
// product, and finally the command line's properties, which win over all.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "actions/command_options.h"
#include "engine/worker.h"
#include "foundation/dcf_names.h"
#include "foundation/kw_ini_file.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kOnlineAccessProperty[] = L"NO_ONLINE_ACCESS";
const wchar_t kPromotionConditionProperty[] = L"URLPromotionCondition";
// The promotion address the configurations ship with; only with it does
// the promotion depend on the setup language.
const wchar_t kDefaultPromotionUrl[] = L"http://www.tamsa.example/setup/promotion";
const wchar_t kDefaultPromotionCondition[] = L"{SETUPLANG} == \"ENU\"";
const wchar_t kToolbarOffer[] = L"GOOGLE_TOOLBAR";
const wchar_t kBrowserOffer[] = L"GOOGLE_CHROME";
const int kCharCodeBase = 16;

bool IsSet(const std::wstring& value) { return value == L"1"; }

// NAME=VALUE words of a command line, quotes kept; switches, quoted words
// and words without a name are not properties.
std::vector<std::pair<std::wstring, std::wstring>> CommandLineProperties(std::wstring rest) {
  std::vector<std::pair<std::wstring, std::wstring>> properties;
  std::wstring token;
  while (ExtractToken(&rest, &token, L" \t", false) && !token.empty()) {
    size_t equals = token.find(L'=');
    if (equals == 0 || equals == std::wstring::npos || token[0] == L'/') continue;
    std::wstring name = token.substr(0, equals);
    if (name.find(L'"') != std::wstring::npos) continue;
    properties.emplace_back(name, token.substr(equals + 1));
  }
  return properties;
}

}  // namespace

std::wstring CWorker::ReadConfigValue(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& defaultValue) const {
  std::wstring value;
  m_configuration->GetValue(section, key, &value, defaultValue);
  return value;
}

bool CWorker::ReadValueList(const std::wstring& section, const std::wstring& key,
                            std::vector<std::wstring>* list, const std::wstring& prefix) {
  if (!m_configuration || !list) return false;
  std::wstring rest;
  if (!m_configuration->GetValue(section, key, &rest, L"") || rest.empty()) return false;
  std::wstring item;
  while (ExtractToken(&rest, &item, L",", true) && !item.empty()) {
    list->push_back(prefix.empty() ? item : Format(L"%s.%s", prefix.c_str(), item.c_str()));
  }
  return true;
}

// Settings the command line has decided are not read again.
bool CWorker::ParseSetupProperties() {
  if (!m_configuration) return false;
  ReadProductTexts();
  if (!ReadInstallSettings()) return false;
  ReadOnlineSettings();
  ReadRunSettings();
  ReadOffers();
  ReadReferenceCounting();
  ReadDynamicProperties();
  CopyCommandLineProperties();
  return true;
}

void CWorker::ReadProductTexts() {
  std::wstring installDir = ReadConfigValue(kPropertySection, kInstallDirKey);
  m_state->m_installFolder = ExpandMacros(ReplaceAll(installDir, L"/", L"\\"));
  m_state->m_defaultInstallFolder = m_state->m_installFolder;
  // Absent means "not declared"; an empty property would read as a bad version.
  std::wstring schema = ReadConfigValue(kPropertySection, kDcfVersionSchemaKey);
  if (!schema.empty()) m_state->SetProperty(L"DcfSchemaVersionFound", schema);

  std::wstring shortName = ReadConfigValue(kPropertySection, kShortProductNameKey);
  m_state->SetShortProductName(shortName.c_str());
  m_state->SetProperty(L"ShortProductName", shortName);
  std::wstring productName =
      DecodeCharCodes(ReadConfigValue(kPropertySection, kProductNameKey), kCharCodeBase);
  m_state->SetProductName(productName.c_str());
  m_state->SetProperty(kProductNameKey, productName);

  m_state->SetProperty(kPromotionConditionProperty,
                       ReadConfigValue(kPropertySection, kUrlPromotionConditionKey));
  std::wstring promotion = ReadConfigValue(kPropertySection, kUrlPromotionKey);
  m_state->SetProperty(L"URLPromotion", promotion);
  if (promotion == kDefaultPromotionUrl) {
    m_state->SetProperty(kPromotionConditionProperty, kDefaultPromotionCondition);
  }
  m_state->SetProperty(L"URLPromotionOffline",
                       ReadConfigValue(kPropertySection, kUrlPromotionOfflineKey));
  ReadProductNameFallback();

  m_state->m_productVersion = ReadConfigValue(kPropertySection, kProductVersionKey);
  m_state->SetProperty(L"ProductVersion", m_state->m_productVersion);
  m_state->m_viewReadme = ReadConfigValue(kPropertySection, kViewReadmeKey);
  m_state->SetUserName(ReadConfigValue(kPropertySection, kUserNameKey).c_str());
  m_state->SetCompanyName(ReadConfigValue(kPropertySection, kUserCompanyKey).c_str());
  m_state->m_publisherName = ReadConfigValue(kPropertySection, kCompanyNameKey);
}

// A single-product suite may name itself only in its product's section.
void CWorker::ReadProductNameFallback() {
  if (m_state->GetProductName().empty() && m_products.size() == 1) {
    std::wstring name =
        ReadConfigValue(Format(kSetupSectionFormat, m_products[0].c_str()), kProductNameKey);
    m_state->SetProductName(name.c_str());
    m_state->SetProperty(kProductNameKey, name);
  }
  if (m_state->GetShortProductName().empty()) {
    m_state->SetShortProductName(m_state->GetProductName().c_str());
  }
}

// False when a fixed install point has no folder to install to.
bool CWorker::ReadInstallSettings() {
  int mode = Mode();
  if (!m_forcedLanguage && mode != CCommandOptions::kModeRepair &&
      mode != CCommandOptions::kModeUninstall) {
    m_languageDialogAllowed = ReadConfigValue(kPropertySection, kAutoDetectLangKey, L"1") == L"0";
  } else {
    m_languageDialogAllowed = FALSE;
  }
  m_state->m_fixedInstallPoint =
      IsSet(ReadConfigValue(kPropertySection, kFixedInstallPointKey, L"0"));
  if (m_state->m_fixedInstallPoint && m_state->m_installFolder.empty()) {
    WriteLog(L"Install path not specified in fixed point install set");
    return false;
  }
  m_requireAdmin = IsSet(ReadConfigValue(kPropertySection, kRequireAdminPrivilegesKey, L"1"));
  m_separateInstallDirs = IsSet(ReadConfigValue(kPropertySection, kSeparateInstallDirsKey, L"1"));
  m_perProductPlatforms = IsSet(ReadConfigValue(kSetupSection, kPerProductPlatformsKey, L"0"));
  m_state->m_suiteCondition = ReadConfigValue(kSetupSection, kConditionKey);
  if (!m_state->m_suiteCondition.empty()) {
    m_state->m_conditionMessageName = ReadConfigValue(kSetupSection, kConditionMessageKey);
  }
  return true;
}

void CWorker::ReadOnlineSettings() {
  if (!m_settings.eulaAcceptedGiven) {
    m_state->m_eulaAccepted = IsSet(ReadConfigValue(kPropertySection, kSkipEulaDialogKey, L"0"));
  }
  m_state->SetProperty(L"CHROMEBROWSERPARAMS", L"");
  if (!m_settings.noOnlineAccessGiven) {
    m_settings.onlineAccess = IsSet(ReadConfigValue(kPropertySection, kOnlineAccessKey, L"1"));
    m_state->SetProperty(kOnlineAccessProperty, m_settings.onlineAccess ? L"0" : L"1");
  }
  if (!m_settings.updateManagerGiven) {
    m_settings.updateManager = IsSet(ReadConfigValue(kPropertySection, kUpdateManagerKey, L"0"));
  }
  if (!m_settings.updateManagerAutomaticGiven && m_settings.onlineAccess) {
    m_settings.updateManagerAutomatic =
        IsSet(ReadConfigValue(kPropertySection, kUpdateManagerAutomaticKey, L"1"));
  }
  m_updateManagerExpiration = ReadConfigValue(kPropertySection, kUpdateManagerExpirationKey);
  // Automatic online updates exist only on the command line.
  if (!m_settings.allowOnlineUpdatesGiven && m_settings.onlineAccess) {
    m_settings.onlineUpdatesAllowed = IsSet(ReadConfigValue(kPropertySection, kAllowOnlineUpdatesKey, L"0"));
  }
  if (!m_settings.requireOnlineAccessGiven && m_settings.onlineAccess) {
    m_settings.requireOnlineAccess = IsSet(ReadConfigValue(kPropertySection, kRequireOnlineAccessKey, L"0"));
  }
}

void CWorker::ReadRunSettings() {
  if (!m_settings.forceEncryptionGiven) {
    std::wstring value = ReadConfigValue(kPropertySection, kForceEncryptionKey, L"0");
    m_settings.forceEncryption = IsSet(value);
    m_state->SetProperty(L"FORCE_ENCRYPTION", value);
    m_state->SetProperty(L"FORCED_ENCRYPTION", value);
  }
  if (!m_settings.installAllLanguagesGiven && !m_forcedLanguage) {
    m_settings.installAllLanguages = IsSet(ReadConfigValue(kPropertySection, kMuiKey, L"1"));
  }
  if (!m_settings.ueipGiven) {
    bool accepted = IsSet(ReadConfigValue(kPropertySection, kUeipKey, L"1")) && m_settings.onlineAccess;
    m_state->m_ueipAccepted = accepted ? 1 : 0;
  }
  if (!m_settings.cleanupSourceFilesGiven) {
    m_settings.cleanupSourceFiles = IsSet(ReadConfigValue(kPropertySection, kCleanupSourceFilesKey, L"0"));
  }
  if (!m_settings.returnRebootRequestGiven) {
    m_settings.returnRebootRequest = IsSet(ReadConfigValue(kPropertySection, kReturnRebootRequestKey, L"0"));
  }
}

// An offer is made only for a product of the suite, only online, and not
// when the command line turns it off with KEY=0.
void CWorker::ReadOffers() {
  auto commandLine = CommandLineProperties(m_processArguments);
  auto offer = [&](const wchar_t* key, LONG* flag) {
    if (std::find(m_products.begin(), m_products.end(), key) == m_products.end()) return;
    bool refused = std::any_of(commandLine.begin(), commandLine.end(), [&](const auto& property) {
      return property.first == key && property.second == L"0";
    });
    *flag = !refused && m_settings.onlineAccess ? 1 : 0;
    if (!*flag) m_state->m_excludedOfferProducts.push_back(key);
  };
  offer(kToolbarOffer, &m_state->m_toolbarOffer);
  offer(kBrowserOffer, &m_state->m_browserOffer);
}

void CWorker::ReadReferenceCounting() {
  m_referenceCounting = IsSet(ReadConfigValue(kSetupSection, kReferenceCountingEnabledKey, L"0"));
  if (!m_referenceCounting) return;
  m_state->m_projectName = ReadConfigValue(kPropertySection, kProjectNameKey);
  m_state->SetProperty(L"ProjectName", m_state->m_projectName);
  m_state->m_deliveryNumber = ReadConfigValue(kPropertySection, kDeliveryNumberKey);
  m_state->SetProperty(L"DeliveryNumber", m_state->m_deliveryNumber);
  m_state->m_customerCode = ReadConfigValue(kPropertySection, kCustCodeKey);
  m_state->SetProperty(L"CustCode", m_state->m_customerCode);
}

// The suite's first, then each product's in the order of the product list:
// a product's "::X" names the suite-wide X, any other name is the product's
// own "P.Y".
void CWorker::ReadDynamicProperties() {
  std::vector<std::wstring> names;
  ReadValueList(kPropertySection, kDynamicPropertiesKey, &names);
  for (const std::wstring& name : names) {
    std::wstring value = ReadConfigValue(kPropertySection, name);
    if (!value.empty()) m_state->SetProperty(name, value);
  }
  std::wstring unused;
  if (m_state->GetProperty(L"OSRequirements", &unused) &&
      !m_state->GetProperty(L"OSRequirementsURL", &unused)) {
    WriteLog(L"WARNING: OSRequirements does not have a matching OSRequirementsURL property");
  }
  for (const std::wstring& product : m_products) {
    std::wstring section = Format(kPropertySectionFormat, product.c_str());
    std::vector<std::wstring> productNames;
    ReadValueList(section, kDynamicPropertiesKey, &productNames);
    for (const std::wstring& name : productNames) {
      std::wstring value = ReadConfigValue(section, name);
      if (value.empty()) continue;
      bool suiteWide = StartsWith(name, L"::");
      std::wstring property =
          suiteWide ? name.substr(2) : Format(L"%s.%s", product.c_str(), name.c_str());
      if (!property.empty()) m_state->SetProperty(property, value);
    }
  }
}

// Last, so that the command line wins over the configuration.
void CWorker::CopyCommandLineProperties() {
  for (const auto& property : CommandLineProperties(m_processArguments)) {
    m_state->SetProperty(property.first, property.second);
  }
}
