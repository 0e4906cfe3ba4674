// product_data.cpp: a product's owned parts, copies, names and costs.
#include "engine/product_data.h"

#include "foundation/kw_ini_file.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

template <class T>
std::unique_ptr<T> CopyOf(const std::unique_ptr<T>& other) {
  return other ? std::unique_ptr<T>(new T(*other)) : nullptr;
}

// Takes `incoming` into `held`; handing back the held object changes nothing.
template <class T>
void TakeOwnership(std::unique_ptr<T>* held, std::unique_ptr<T> incoming) {
  if (incoming.get() == held->get()) {
    incoming.release();
    return;
  }
  *held = std::move(incoming);
}

double AtLeastZero(double value) { return value > 0.0 ? value : 0.0; }

}  // namespace

CProductData::CProductData(const std::wstring& name) {
  Init();
  SetName(name);
}

CProductData::CProductData(const CProductData& other) {
  Init();
  CopyFrom(other);
}

CProductData& CProductData::operator=(const CProductData& other) {
  if (&other == this) return *this;
  FreeOwned();
  CopyFrom(other);
  return *this;
}

CProductData::~CProductData() = default;

double CProductData::GetSelectedCost() const {
  if (!m_selection || !m_selection->IsCurrent()) return 0.0;
  double total = m_baseCost;
  if (m_features) {
    for (size_t i = 0; i < m_features->GetCount(); ++i) total += (*m_features)[i].GetSelectedCost();
  }
  return AtLeastZero(total);
}

void CProductData::SetName(const std::wstring& name) {
  m_name = name;
  if (m_relations) m_relations->SetOwnerName(name);
}

void CProductData::UpdatePackageFolder() {
  m_packageFolder = FolderOfPath(m_packagePath, false);
}

void CProductData::SetSelectionState(std::unique_ptr<CSelectionState> state) {
  TakeOwnership(&m_selection, std::move(state));
}

void CProductData::SetDesktopIconState(std::unique_ptr<CSelectionState> state) {
  TakeOwnership(&m_desktopIcon, std::move(state));
}

void CProductData::SetQuickLaunchIconState(std::unique_ptr<CSelectionState> state) {
  TakeOwnership(&m_quickLaunchIcon, std::move(state));
}

void CProductData::SetRelations(std::unique_ptr<CRelationList> relations) {
  TakeOwnership(&m_relations, std::move(relations));
}

void CProductData::SetFeatures(std::unique_ptr<CFeatureList> features) {
  TakeOwnership(&m_features, std::move(features));
  RecomputeBaseCost();
}

void CProductData::SetCost(double cost) {
  m_cost = cost;
  RecomputeBaseCost();
}

void CProductData::SetTemplate(const std::wstring& text) {
  m_template = text;
  m_is64Bit = Is64BitTemplate(text);
}

void CProductData::Init() {
  m_name.clear();
  m_productCode.clear();
  m_packageCode.clear();
  m_productGroup.clear();
  m_group.clear();
  m_installGroup = nullptr;
  m_productName.clear();
  m_shortProductName.clear();
  m_ourCompanyName.clear();
  m_internalProductName.clear();
  m_packagePath.clear();
  m_sourcePackagePath.clear();
  m_transforms.clear();
  m_sourceTransformPath.clear();
  m_is64Bit = false;
  m_productLanguage = 0;
  m_samePackageInstalled = false;
  m_hasPrimaryAction = false;
  m_version.reset(new CVersionInfo);
  m_selection.reset(new CSelectionState);
  m_desktopIcon.reset(new CSelectionState);
  m_desktopIcon->SetHidden(true);
  m_quickLaunchIcon.reset(new CSelectionState);
  m_quickLaunchIcon->SetHidden(true);
  m_relations.reset(new CRelationList);
  m_features.reset(new CFeatureList);
  m_cost = 0.0;
  m_baseCost = 0.0;
  m_installFolders.clear();
  m_upgradeCode.clear();
  m_installedForSuite = false;
}

void CProductData::CopyFrom(const CProductData& other) {
  if (&other == this) return;
  m_version = CopyOf(other.m_version);
  m_selection = CopyOf(other.m_selection);
  m_desktopIcon = CopyOf(other.m_desktopIcon);
  m_quickLaunchIcon = CopyOf(other.m_quickLaunchIcon);
  m_relations = CopyOf(other.m_relations);
  m_features = CopyOf(other.m_features);
  m_name = other.m_name;
  m_productCode = other.m_productCode;
  m_packageCode = other.m_packageCode;
  m_productGroup = other.m_productGroup;
  m_group = other.m_group;
  m_installGroup = other.m_installGroup;
  m_productName = other.m_productName;
  m_shortProductName = other.m_shortProductName;
  m_ourCompanyName = other.m_ourCompanyName;
  m_internalProductName = other.m_internalProductName;
  m_packagePath = other.m_packagePath;
  m_sourcePackagePath = other.m_sourcePackagePath;
  m_transforms = other.m_transforms;
  m_sourceTransformPath = other.m_sourceTransformPath;
  m_windowsInstallerPackage = other.m_windowsInstallerPackage;
  m_is64Bit = other.m_is64Bit;
  m_productLanguage = other.m_productLanguage;
  m_samePackageInstalled = other.m_samePackageInstalled;
  m_hasPrimaryAction = other.m_hasPrimaryAction;
  m_cost = other.m_cost;
  m_baseCost = other.m_baseCost;
  m_installFolders = other.m_installFolders;
  m_upgradeCode = other.m_upgradeCode;
  m_installedForSuite = other.m_installedForSuite;
}

void CProductData::FreeOwned() {
  m_version.reset();
  m_selection.reset();
  m_desktopIcon.reset();
  m_quickLaunchIcon.reset();
  m_relations.reset();
  m_features.reset();
}

std::wstring CProductData::GetIniValue(const CKwIniFile& file, const std::wstring& section,
                                       const std::wstring& key, const std::wstring& defaultValue) {
  std::wstring value;
  file.GetValue(section, key, &value, defaultValue);
  return value;
}

void CProductData::RecomputeBaseCost() {
  double base = m_cost;
  if (m_features) {
    for (size_t i = 0; i < m_features->GetCount(); ++i) base -= (*m_features)[i].GetFullCost();
  }
  // NaN fails the comparison too.
  m_baseCost = AtLeastZero(base);
}

void SetShortcutOption(CSelectionState* state, bool offered, const std::wstring& value) {
  if (!offered) {
    state->SetCurrent(false, false);
    state->SetHidden(true);
    return;
  }
  state->SetCurrent(EqualsNoCase(value, L"1") || EqualsNoCase(value, L"always"), false);
  state->SetHidden(EqualsNoCase(value, L"never") || EqualsNoCase(value, L"always"));
}

bool Is64BitTemplate(const std::wstring& templateText) {
  for (const wchar_t* platform : {L"Intel64", L"AMD64", L"x64"}) {
    if (templateText.find(platform) != std::wstring::npos) return true;
  }
  return false;
}
