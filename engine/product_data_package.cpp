// product_data_package.cpp: the gaps of a product filled from its package.
#include "engine/product_data.h"

#include "actions/msi_package.h"
#include "actions/msi_product_state.h"
#include "foundation/text_utils.h"

namespace {

// The configuration wins: only an empty field takes the package's value.
void FillFromProperty(const CMSIPackage& package, const wchar_t* name, std::wstring* field) {
  if (field->empty()) package.GetProperty(name, field);
}

std::wstring PropertyOf(const CMSIPackage& package, const wchar_t* name) {
  std::wstring value;
  package.GetProperty(name, &value);
  return value;
}

void FillShortcutOption(const CMSIPackage& package, const wchar_t* offeredName,
                        const wchar_t* valueName, CSelectionState* state) {
  if (state->IsInitialised()) return;
  SetShortcutOption(state, !PropertyOf(package, offeredName).empty(), PropertyOf(package, valueName));
}

}  // namespace

bool CProductData::LoadFromPackage() {
  if (m_packagePath.empty()) return true;
  CMSIPackage package(m_packagePath, m_transforms);
  if (!package.LoadAndCost()) return false;

  bool codeFromPackage = false;
  if (m_productCode.empty()) {
    package.GetProperty(L"ProductCode", &m_productCode);
    codeFromPackage = !m_productCode.empty();
  }
  if (m_packageCode.empty()) package.GetPackageCode(&m_packageCode);
  FillFromProperty(package, L"ProductName", &m_productName);
  FillFromProperty(package, L"ShortProductName", &m_shortProductName);
  if (m_version->IsEmpty()) m_version->Parse(PropertyOf(package, L"ProductVersion"));
  FillFromProperty(package, L"OurCompanyName", &m_ourCompanyName);
  FillFromProperty(package, L"UpgradeCode", &m_upgradeCode);
  FillFromProperty(package, L"InternalProductName", &m_internalProductName);
  SetTemplate(m_template.empty() ? package.GetTemplate() : m_template);
  int language = 0;
  if (m_productLanguage == 0 && StringToInt(PropertyOf(package, L"ProductLanguage"), &language) &&
      language > 0 && language <= 0xFFFF) {
    m_productLanguage = static_cast<uint16_t>(language);
  }
  FillShortcutOption(package, L"DESKTOPSHORTCUTS", L"DESKTOPICON", m_desktopIcon.get());
  FillShortcutOption(package, L"QUICKLAUNCHSHORTCUTS", L"QUICKLAUNCHICON", m_quickLaunchIcon.get());
  if (m_cost == 0.0) SetCost(package.GetCost());

  if (codeFromPackage) {
    m_samePackageInstalled = ::IsSamePackageInstalled(m_productCode, m_packageCode);
    TakeProductCode(m_productCode);
  }
  return true;
}

bool CProductData::LoadIdentityFromPackage() {
  if (m_packagePath.empty() || (!m_productCode.empty() && !m_version->IsEmpty())) return true;
  CMSIPackage package(m_packagePath, m_transforms);
  if (!package.OpenDatabase()) return false;
  if (m_version->IsEmpty()) m_version->Parse(PropertyOf(package, L"ProductVersion"));
  std::wstring code;
  if (m_productCode.empty() && package.GetProperty(L"ProductCode", &code) && !code.empty()) TakeProductCode(code);
  return !m_productCode.empty();
}

// Else every feature would ask about product "".
void CProductData::TakeProductCode(const std::wstring& code) {
  m_productCode = code;
  for (size_t i = 0; i < m_features->GetCount(); ++i) {
    CFeatureData& feature = (*m_features)[i];
    feature.SetProductCode(m_productCode);
    feature.RefreshInstalledState();
  }
}
