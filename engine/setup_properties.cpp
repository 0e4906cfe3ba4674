// setup_properties.cpp: the suite-wide settings of the configuration, merged
// with the command line's where it has no word, the dynamic properties of
// the suite and of each product, and finally the command line's properties,
// which win over all.
#include "engine/setup_properties.h"

#include <algorithm>
#include <string>
#include <vector>

#include "actions/command_options.h"
#include "engine/dcf_values.h"
#include "engine/engine_settings.h"
#include "engine/replacement_map.h"
#include "engine/setup_state.h"
#include "foundation/dcf_names.h"
#include "foundation/kw_ini_file.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kSchemaFoundProperty[] = L"DcfSchemaVersionFound";
const wchar_t kShortProductNameProperty[] = L"ShortProductName";
const wchar_t kProductNameProperty[] = L"ProductName";
const wchar_t kPromotionConditionProperty[] = L"URLPromotionCondition";
const wchar_t kPromotionProperty[] = L"URLPromotion";
const wchar_t kPromotionOfflineProperty[] = L"URLPromotionOffline";
const wchar_t kProductVersionProperty[] = L"ProductVersion";
const wchar_t kBrowserParamsProperty[] = L"CHROMEBROWSERPARAMS";
const wchar_t kOnlineAccessProperty[] = L"NO_ONLINE_ACCESS";
const wchar_t kForceEncryptionProperty[] = L"FORCE_ENCRYPTION";
const wchar_t kForcedEncryptionProperty[] = L"FORCED_ENCRYPTION";
const wchar_t kProjectNameProperty[] = L"ProjectName";
const wchar_t kDeliveryNumberProperty[] = L"DeliveryNumber";
const wchar_t kCustCodeProperty[] = L"CustCode";
const wchar_t kOSRequirementsProperty[] = L"OSRequirements";
const wchar_t kOSRequirementsUrlProperty[] = L"OSRequirementsURL";
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

CSetupProperties::CSetupProperties(const CKwIniFile& configuration, const CReplacementMap& macros,
                                   CSetupState& state, CEngineSettings& settings)
    : m_configuration(configuration), m_macros(macros), m_state(state), m_settings(settings) {}

bool CSetupProperties::Read(const std::vector<std::wstring>& products, int mode,
                            const std::wstring& processArguments) {
  m_products = &products;
  m_mode = mode;
  m_processArguments = processArguments;
  ReadProductTexts();
  if (!ReadInstallSettings()) return false;
  MergeOnlineSettings();
  MergeRunSettings();
  ReadOffers();
  ReadReferenceCounting();
  ReadDynamicProperties();
  CopyCommandLineProperties();
  return true;
}

std::wstring CSetupProperties::Value(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue) const {
  return ReadDcfValue(m_configuration, section, key, defaultValue);
}

bool CSetupProperties::Flag(const std::wstring& section, const std::wstring& key,
                            const std::wstring& defaultValue) const {
  return IsSet(Value(section, key, defaultValue));
}

void CSetupProperties::ReadProductTexts() {
  std::wstring installDir = Value(kPropertySection, kInstallDirKey);
  std::wstring installFolder = m_macros.Expand(ReplaceAll(installDir, L"/", L"\\"));
  m_state.SetInstallFolder(installFolder);
  m_state.m_defaultInstallFolder = installFolder;
  // Absent means "not declared"; an empty property would read as a bad version.
  std::wstring schema = Value(kPropertySection, kDcfVersionSchemaKey);
  if (!schema.empty()) m_state.SetProperty(kSchemaFoundProperty, schema);

  std::wstring shortName = Value(kPropertySection, kShortProductNameKey);
  m_state.SetShortProductName(shortName.c_str());
  m_state.SetProperty(kShortProductNameProperty, shortName);
  std::wstring productName = DecodeCharCodes(Value(kPropertySection, kProductNameKey), kCharCodeBase);
  m_state.SetProductName(productName.c_str());
  m_state.SetProperty(kProductNameProperty, productName);

  m_state.SetProperty(kPromotionConditionProperty, Value(kPropertySection, kUrlPromotionConditionKey));
  std::wstring promotion = Value(kPropertySection, kUrlPromotionKey);
  m_state.SetProperty(kPromotionProperty, promotion);
  if (promotion == kDefaultPromotionUrl) {
    m_state.SetProperty(kPromotionConditionProperty, kDefaultPromotionCondition);
  }
  m_state.SetProperty(kPromotionOfflineProperty, Value(kPropertySection, kUrlPromotionOfflineKey));
  ReadProductNameFallback();

  m_state.m_productVersion = Value(kPropertySection, kProductVersionKey);
  m_state.SetProperty(kProductVersionProperty, m_state.m_productVersion);
  m_state.m_viewReadme = Value(kPropertySection, kViewReadmeKey);
  m_state.SetUserName(Value(kPropertySection, kUserNameKey).c_str());
  m_state.SetCompanyName(Value(kPropertySection, kUserCompanyKey).c_str());
  m_state.m_publisherName = Value(kPropertySection, kCompanyNameKey);
}

// A single-product suite may name itself only in its product's section.
void CSetupProperties::ReadProductNameFallback() {
  if (m_state.GetProductName().empty() && m_products->size() == 1) {
    std::wstring name =
        Value(Format(kSetupSectionFormat, m_products->front().c_str()), kProductNameKey);
    m_state.SetProductName(name.c_str());
    m_state.SetProperty(kProductNameProperty, name);
  }
  if (m_state.GetShortProductName().empty()) {
    m_state.SetShortProductName(m_state.GetProductName().c_str());
  }
}

// False when a fixed install point has no folder to install to.
bool CSetupProperties::ReadInstallSettings() {
  m_settings.languageDialogAllowed =
      !m_settings.languageForced && m_mode != CCommandOptions::kModeRepair &&
      m_mode != CCommandOptions::kModeUninstall &&
      Value(kPropertySection, kAutoDetectLangKey, L"1") == L"0";
  m_state.m_fixedInstallPoint = Flag(kPropertySection, kFixedInstallPointKey, L"0");
  if (m_state.m_fixedInstallPoint && m_state.GetInstallFolder().empty()) {
    WriteLog(L"Install path not specified in fixed point install set");
    return false;
  }
  m_settings.requireAdmin = Flag(kPropertySection, kRequireAdminPrivilegesKey, L"1");
  m_settings.separateInstallDirs = Flag(kPropertySection, kSeparateInstallDirsKey, L"1");
  m_settings.perProductPlatforms = Flag(kSetupSection, kPerProductPlatformsKey, L"0");
  m_state.m_suiteCondition = Value(kSetupSection, kConditionKey);
  if (!m_state.m_suiteCondition.empty()) {
    m_state.m_conditionMessageName = Value(kSetupSection, kConditionMessageKey);
  }
  return true;
}

// From here to the end of MergeRunSettings lives the rule that the command
// line wins: a setting it gave ("given") is not read from the
// configuration. The online settings are read only while online access is
// allowed. The EULA and experience choices go to the shared state, which
// the wizard's pages change later.
void CSetupProperties::MergeOnlineSettings() {
  bool eulaAccepted = m_settings.eulaAcceptedGiven ? m_settings.eulaAccepted
                                                   : Flag(kPropertySection, kSkipEulaDialogKey, L"0");
  m_state.m_eulaAccepted = eulaAccepted ? 1 : 0;
  m_state.SetProperty(kBrowserParamsProperty, L"");
  // The property mirrors the setting for macros and packages; a given
  // setting reaches it with the other command-line properties.
  if (!m_settings.noOnlineAccessGiven) {
    m_settings.onlineAccess = Flag(kPropertySection, kOnlineAccessKey, L"1");
    m_state.SetProperty(kOnlineAccessProperty, m_settings.onlineAccess ? L"0" : L"1");
  }
  bool online = m_settings.onlineAccess;
  if (!m_settings.updateManagerGiven) {
    m_settings.updateManager = Flag(kPropertySection, kUpdateManagerKey, L"0");
  }
  if (!m_settings.updateManagerAutomaticGiven && online) {
    m_settings.updateManagerAutomatic = Flag(kPropertySection, kUpdateManagerAutomaticKey, L"1");
  }
  m_settings.updateManagerExpiration = Value(kPropertySection, kUpdateManagerExpirationKey);
  // Automatic online updates exist only on the command line.
  if (!m_settings.allowOnlineUpdatesGiven && online) {
    m_settings.onlineUpdatesAllowed = Flag(kPropertySection, kAllowOnlineUpdatesKey, L"0");
  }
  if (!m_settings.requireOnlineAccessGiven && online) {
    m_settings.requireOnlineAccess = Flag(kPropertySection, kRequireOnlineAccessKey, L"0");
  }
}

void CSetupProperties::MergeRunSettings() {
  if (!m_settings.forceEncryptionGiven) {
    std::wstring value = Value(kPropertySection, kForceEncryptionKey, L"0");
    m_settings.forceEncryption = IsSet(value);
    m_state.SetProperty(kForceEncryptionProperty, value);
    m_state.SetProperty(kForcedEncryptionProperty, value);
  }
  if (!m_settings.installAllLanguagesGiven && !m_settings.languageForced) {
    m_settings.installAllLanguages = Flag(kPropertySection, kMuiKey, L"1");
  }
  bool ueipAccepted = m_settings.ueipGiven
                          ? m_settings.ueipAccepted
                          : Flag(kPropertySection, kUeipKey, L"1") && m_settings.onlineAccess;
  m_state.m_ueipAccepted = ueipAccepted ? 1 : 0;
  if (!m_settings.cleanupSourceFilesGiven) {
    m_settings.cleanupSourceFiles = Flag(kPropertySection, kCleanupSourceFilesKey, L"0");
  }
  if (!m_settings.returnRebootRequestGiven) {
    m_settings.returnRebootRequest = Flag(kPropertySection, kReturnRebootRequestKey, L"0");
  }
}

// An offer is made only for a product of the suite, only online, and not
// when the command line turns it off with KEY=0.
void CSetupProperties::ReadOffers() {
  auto commandLine = CommandLineProperties(m_processArguments);
  auto offer = [&](const wchar_t* key, LONG* flag) {
    if (std::find(m_products->begin(), m_products->end(), key) == m_products->end()) return;
    bool refused = std::any_of(commandLine.begin(), commandLine.end(), [&](const auto& property) {
      return property.first == key && property.second == L"0";
    });
    *flag = !refused && m_settings.onlineAccess ? 1 : 0;
    if (!*flag) m_state.m_excludedOfferProducts.push_back(key);
  };
  offer(kToolbarOffer, &m_state.m_toolbarOffer);
  offer(kBrowserOffer, &m_state.m_browserOffer);
}

void CSetupProperties::ReadReferenceCounting() {
  m_settings.referenceCounting = Flag(kSetupSection, kReferenceCountingEnabledKey, L"0");
  if (!m_settings.referenceCounting) return;
  m_state.m_projectName = Value(kPropertySection, kProjectNameKey);
  m_state.SetProperty(kProjectNameProperty, m_state.m_projectName);
  m_state.m_deliveryNumber = Value(kPropertySection, kDeliveryNumberKey);
  m_state.SetProperty(kDeliveryNumberProperty, m_state.m_deliveryNumber);
  m_state.m_customerCode = Value(kPropertySection, kCustCodeKey);
  m_state.SetProperty(kCustCodeProperty, m_state.m_customerCode);
}

// The suite's first, then each product's in the order of the product list:
// a product's "::X" names the suite-wide X, any other name is the product's
// own "P.Y".
void CSetupProperties::ReadDynamicProperties() {
  std::vector<std::wstring> names;
  ReadValueList(m_configuration, kPropertySection, kDynamicPropertiesKey, &names);
  for (const std::wstring& name : names) {
    std::wstring value = Value(kPropertySection, name);
    if (!value.empty()) m_state.SetProperty(name, value);
  }
  if (m_state.GetProperty(kOSRequirementsProperty, nullptr) &&
      !m_state.GetProperty(kOSRequirementsUrlProperty, nullptr)) {
    WriteLog(L"WARNING: OSRequirements does not have a matching OSRequirementsURL property");
  }
  for (const std::wstring& product : *m_products) {
    std::wstring section = Format(kPropertySectionFormat, product.c_str());
    std::vector<std::wstring> productNames;
    ReadValueList(m_configuration, section, kDynamicPropertiesKey, &productNames);
    for (const std::wstring& name : productNames) {
      std::wstring value = Value(section, name);
      if (value.empty()) continue;
      bool suiteWide = StartsWith(name, L"::");
      std::wstring property =
          suiteWide ? name.substr(2) : Format(L"%s.%s", product.c_str(), name.c_str());
      if (!property.empty()) m_state.SetProperty(property, value);
    }
  }
}

// Last, so that the command line wins over the configuration.
void CSetupProperties::CopyCommandLineProperties() {
  for (const auto& property : CommandLineProperties(m_processArguments)) {
    m_state.SetProperty(property.first, property.second);
  }
}
