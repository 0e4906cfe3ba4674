// product_data_dcf.cpp: a product and its feature tree read from the
// configuration.
#include "engine/product_data.h"

#include <vector>

#include "actions/msi_product_state.h"
#include "engine/cost_text.h"
#include "foundation/dcf_names.h"
#include "foundation/kw_ini_file.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

// Not a number: the digits before the first other character ("yes" is 0).
int ReadNumber(const CKwIniFile& file, const std::wstring& section, const wchar_t* key,
               const wchar_t* defaultValue) {
  int number = 0;
  StringToInt(CProductData::GetIniValue(file, section, key, defaultValue), &number);
  return number;
}

}  // namespace

bool CProductData::LoadFromDcf(const CKwIniFile& file, CSetupState* state) {
  std::wstring section = Format(kSetupSectionFormat, m_name.c_str());
  m_productGroup = GetIniValue(file, section, kProductGroupKey, L"");
  m_group = GetIniValue(file, section, kGroupKey, L"default");
  m_installGroup = nullptr;
  // Every product starts selected.
  m_selection->SetCurrent(true, false);
  m_selection->SetHidden(ReadNumber(file, section, kVisibleKey, L"1") == 0);
  m_selection->SetLocked(ReadNumber(file, section, kMandatoryKey, L"0") != 0);
  std::wstring primaryAction = GetIniValue(file, section, kPrimaryActionKey, L"");
  m_hasPrimaryAction = !primaryAction.empty();
  if (m_hasPrimaryAction) {
    LoadNamesAndVersion(file, section);
    SetShortcutOption(m_desktopIcon.get(),
                      !GetIniValue(file, section, kDesktopShortcutsKey, L"").empty(),
                      GetIniValue(file, section, kDesktopIconKey, L""));
    SetShortcutOption(m_quickLaunchIcon.get(),
                      !GetIniValue(file, section, kQuickLaunchShortcutsKey, L"").empty(),
                      GetIniValue(file, section, kQuickLaunchIconKey, L""));
    LoadCodesAndCost(file, section,
                     Format(kActionSectionFormat, m_name.c_str(), primaryAction.c_str()));
    if (!LoadInstallActions(file)) {
      WriteLog(L"Failed to load feature data for product '%s'", m_name.c_str());
      return false;
    }
  }
  LoadRelationships(file, state);
  if (!m_productCode.empty()) {
    m_samePackageInstalled = ::IsSamePackageInstalled(m_productCode, m_packageCode);
  }
  return true;
}

void CProductData::LoadNamesAndVersion(const CKwIniFile& file, const std::wstring& section) {
  m_productName = GetIniValue(file, section, kProductNameKey, L"");
  m_shortProductName = GetIniValue(file, section, kShortProductNameKey, L"");
  if (!m_version->Parse(GetIniValue(file, section, kProductVersionKey, L""))) m_version->Clear();
  m_ourCompanyName = GetIniValue(file, section, kOurCompanyNameKey, L"");
  m_internalProductName = GetIniValue(file, section, kInternalProductNameKey, L"");
  SetTemplate(GetIniValue(file, section, kTemplateKey, L""));
  int language = ReadNumber(file, section, kProductLanguageKey, L"0");
  // A language id is 16 bits: anything else is no language.
  m_productLanguage = language > 0 && language <= 0xFFFF ? static_cast<uint16_t>(language) : 0;
}

void CProductData::LoadCodesAndCost(const CKwIniFile& file, const std::wstring& section,
                                    const std::wstring& actionSection) {
  m_productCode = GetIniValue(file, actionSection, kProductCodeKey, L"");
  if (m_productCode.empty()) m_productCode = GetIniValue(file, section, kProductCodeKey, L"");
  m_packageCode = GetIniValue(file, actionSection, kPackageCodeKey, L"");
  if (m_packageCode.empty()) m_packageCode = GetIniValue(file, section, kPackageCodeKey, L"");
  SetCost(CostFromText(GetIniValue(file, actionSection, kCostKey, L"0.0")));
  if (m_cost == 0.0) SetCost(CostFromText(GetIniValue(file, section, kCostKey, L"0.0")));
}

bool CProductData::LoadInstallActions(const CKwIniFile& file) {
  std::wstring primaryAction =
      GetIniValue(file, Format(kSetupSectionFormat, m_name.c_str()), kPrimaryActionKey, kInstallAction);
  std::wstring list = GetIniValue(
      file, Format(kActionSectionFormat, m_name.c_str(), primaryAction.c_str()), kFeaturesKey, L"");
  std::vector<std::unique_ptr<CFeatureData>> waiting;
  std::wstring item;
  while (ExtractToken(&list, &item, L",", true) && !item.empty()) {
    std::unique_ptr<CFeatureData> feature(new CFeatureData);
    feature->SetProductCode(m_productCode);
    feature->Load(file, Format(kFeatureSectionFormat, m_name.c_str(), primaryAction.c_str(),
                               item.c_str()));
    std::wstring featureId = feature->GetFeatureId();
    if (m_features->AddFeature(feature)) {
      WriteLog(L"Successfully added feature '%s' to product '%s'", featureId.c_str(), m_name.c_str());
    } else {
      waiting.push_back(std::move(feature));
    }
  }
  // A child listed before its parent is placed in a later pass.
  for (bool placedOne = true; placedOne && !waiting.empty();) {
    placedOne = false;
    for (auto feature = waiting.begin(); feature != waiting.end();) {
      std::wstring featureId = (*feature)->GetFeatureId();
      if (m_features->AddFeature(*feature)) {
        WriteLog(L"Successfully added feature '%s' to product '%s'", featureId.c_str(),
                 m_name.c_str());
        feature = waiting.erase(feature);
        placedOne = true;
      } else {
        ++feature;
      }
    }
  }
  for (const std::unique_ptr<CFeatureData>& feature : waiting) {
    WriteLog(L"Failed to add feature '%s' (parent: '%s') to product '%s'",
             feature->GetFeatureId().c_str(), feature->GetParentId().c_str(), m_name.c_str());
  }
  RecomputeBaseCost();
  return waiting.empty();
}
