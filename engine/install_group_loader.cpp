// install_group_loader.cpp: the suite's install group from the
// configuration, and the installed suite or family member that changes
// where and how this run installs.
#include "engine/install_group_loader.h"

#include <windows.h>

#include <memory>
#include <string>

#include "engine/dcf_values.h"
#include "engine/engine_settings.h"
#include "engine/install_group_info.h"
#include "engine/install_group_info_map.h"
#include "engine/product_list.h"
#include "engine/replacement_map.h"
#include "engine/setup_state.h"
#include "engine/suite_record.h"
#include "foundation/dcf_names.h"
#include "foundation/file_utils.h"
#include "foundation/kw_ini_file.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "foundation/wow64.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kUninstallPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kDisplayNameProperty[] = L"DisplayName";
const wchar_t kVersionProperty[] = L"Version";
const wchar_t kBuildNumberProperty[] = L"BuildNumber";
const wchar_t kSkuProperty[] = L"SKU";
const int kCharCodeBase = 16;
const size_t kMaxFolderLength = MAX_PATH;
const DWORD kNameLength = 260;

const wchar_t* OrEmpty(const std::wstring& value) { return value.empty() ? L"empty" : value.c_str(); }

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// A folder from an entry of the programs list, which any program may have
// written: taken only when it is a path a package can be given.
bool IsUsableEntryFolder(const std::wstring& folder) {
  if (IsUsableFolderPath(folder)) return true;
  WriteLog(L"   The folder '%s' of the installed entry is refused: it is not a usable path", folder.c_str());
  return false;
}

// The first Uninstall entry, 64-bit view first, whose FamilyID is the family's.
bool FindFamilyEntry(const std::wstring& familyId, std::wstring* keyName, REGSAM* keyView) {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    if (view == KEY_WOW64_64KEY && !IsWow64()) continue;
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallPath, 0, KEY_READ | view, &uninstall) !=
        ERROR_SUCCESS) {
      continue;
    }
    bool found = false;
    for (DWORD index = 0; !found; ++index) {
      wchar_t name[kNameLength] = L"";
      DWORD nameLength = kNameLength;
      if (RegEnumKeyExW(uninstall, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      std::wstring family;
      if (CSuiteRecord(name, view).ReadText(kSuiteFamilyIdValue, &family) &&
          EqualsNoCase(family, familyId)) {
        *keyName = name;
        *keyView = view;
        found = true;
      }
    }
    RegCloseKey(uninstall);
    if (found) return true;
  }
  return false;
}

}  // namespace

CInstallGroupLoader::CInstallGroupLoader(const CKwIniFile& configuration, const CReplacementMap& macros,
                                         const CProductList& products, CSetupState& state,
                                         CEngineSettings& settings, CInstallGroupInfoMap* groups)
    : m_configuration(configuration), m_macros(macros), m_products(products), m_state(state),
      m_settings(settings), m_groups(*groups) {}

std::wstring CInstallGroupLoader::Value(const wchar_t* key, const wchar_t* defaultValue) const {
  return ReadDcfValue(m_configuration, kProductGroupDefaultSection, key, defaultValue);
}

std::wstring CInstallGroupLoader::LogValue(const wchar_t* key) {
  std::wstring value = Value(key);
  WriteLog(L"   %s is: %s", key, OrEmpty(value));
  return value;
}

bool CInstallGroupLoader::Load() {
  WriteLog(L"Installer suite information");
  std::unique_ptr<CInstallGroupInfo> group(new CInstallGroupInfo());
  group->SetUuid(Value(kUuidKey));
  if (group->GetUuid().empty()) group->SetUuid(Value(kSuiteIdKey));
  group->SetFamilyId(Value(kFamilyIdKey));
  WriteLog(L"   UUID is: %s", OrEmpty(group->GetUuid()));
  WriteLog(L"   FamilyID is: %s", OrEmpty(group->GetFamilyId()));
  if (group->GetUuid().empty() && m_products.HasIndependentProducts()) {
    WriteLog(L"The UUID has not been assigned and this is not a master or single product installer. Setup cannot continue without one of these configurations being active and must exit now.");
    return false;
  }

  group->SetDisplayName(DecodeCharCodes(Value(kDisplayNameKey), kCharCodeBase));
  WriteLog(L"   DisplayName is: %s", OrEmpty(group->GetDisplayName()));
  group->SetVersion(LogValue(kVersionKey));
  group->SetIconPath(LogValue(kIconPathKey));
  group->SetHelpLink(LogValue(kHelpLinkKey));
  group->SetUrlInfoAbout(LogValue(kUrlInfoAboutKey));
  group->SetBuildNumber(LogValue(kBuildNumberKey));
  group->SetSku(LogValue(kSkuKey));
  m_state.SetProperty(kDisplayNameProperty, group->GetDisplayName());
  m_state.SetProperty(kVersionProperty, group->GetVersion());
  m_state.SetProperty(kBuildNumberProperty, group->GetBuildNumber());
  m_state.SetProperty(kSkuProperty, group->GetSku());

  ReadInstallPath(group.get());
  group->SetOverinstallAllowed(Value(kOverinstallAllowedKey, L"1") == L"1");
  group->SetRepairModeAllowed(Value(kRepairModeAllowedKey, L"0") == L"1");
  WriteLog(L"   OverinstallAllowed value is: %d", group->IsOverinstallAllowed() ? 1 : 0);
  WriteLog(L"   RepairModeAllowed  value is: %d", group->IsRepairModeAllowed() ? 1 : 0);

  if (group->GetUuid().empty()) return true;
  if (group->GetDisplayName().empty()) {
    WriteLog(L"A group is defined, but the displayname or version info is missing.");
    return false;
  }
  CInstallGroupInfo* defaultGroup = group.get();
  m_groups.SetAt(CInstallGroupInfoMap::kDefaultGroup, std::move(group));
  // A suite with an id always counts the products it uses.
  m_settings.referenceCounting = true;
  if (!LinkProducts()) return false;
  ReadInstalledSuite(defaultGroup);
  return true;
}

void CInstallGroupLoader::ReadInstallPath(CInstallGroupInfo* group) {
  std::wstring basePath =
      WithoutTrailingBackslash(m_macros.Expand(ReplaceAll(Value(kBasePathKey), L"/", L"\\")));
  WriteLog(L"   BasePath is: %s", OrEmpty(basePath));
  if (m_settings.basePathGiven) {
    WriteLog(L"      BasePath was specified on the command line");
    // Expanded again now: {Name} folders were not known when the command line was read.
    basePath = WithoutTrailingBackslash(m_macros.Expand(ReplaceAll(m_settings.basePath, L"/", L"\\")));
    WriteLog(L"      Changing BasePath to: %s", basePath.c_str());
  }
  group->SetBasePath(basePath);
  group->SetSuiteFolder(ReplaceAll(Value(kSuiteFolderKey), L"/", L"\\"));
  WriteLog(L"   SuiteFolder is: %s", OrEmpty(group->GetSuiteFolder()));
  if (!basePath.empty() && !group->GetSuiteFolder().empty()) {
    std::wstring folder = Format(L"%s\\%s", basePath.c_str(), group->GetSuiteFolder().c_str());
    m_state.SetInstallFolder(folder);
    m_installPathChanged = true;
    WriteLog(L"      Changed InstalPath  to: %s", folder.c_str());
    return;
  }
  if (!basePath.empty()) {
    WriteLog(L"      The SuiteFolder is empty and BasePath was set. The InstalPath will not change, and remain:");
  } else if (!group->GetSuiteFolder().empty()) {
    WriteLog(L"      The SuiteFolder was set and BasePath is empty. The InstalPath will not change, and remain:");
  } else {
    WriteLog(L"      The SuiteFolder is empty and BasePath is empty. The InstalPath will not change, and remain:");
  }
  WriteLog(L"         %s", m_state.GetInstallFolder().c_str());
}

bool CInstallGroupLoader::LinkProducts() {
  for (const auto& entry : m_state.m_products) {
    CProductData* product = entry.second.get();
    const std::wstring& groupName = product->GetGroup();
    if (EqualsNoCase(groupName, kExcludeGroup)) continue;
    CInstallGroupInfo* found = m_groups.Lookup(groupName);
    if (!found) {
      WriteLog(L"Badly formatted install group entry in %s; the group id wasn't found in the dcf.",
               groupName.c_str());
      WriteLog(L"   Product %s names Group=%s in [%s]: a product's group is \"default\" or \"exclude\"",
               entry.first.c_str(), groupName.c_str(), Format(kSetupSectionFormat, entry.first.c_str()).c_str());
      return false;
    }
    found->AddMember(entry.first);
    product->SetInstallGroup(found);
  }
  return true;
}

void CInstallGroupLoader::ReadInstalledSuite(CInstallGroupInfo* group) {
  CSuiteRecord record(group->GetUuid());
  if (!record.Exists()) {
    WriteLog(L"No existing suite was found on this system.");
    ReadFamilyPath(group);
    return;
  }
  m_state.m_existingSuiteFound = 1;
  WriteLog(L"An existing suite was found on this system.");
  std::wstring displayName, version, buildNumber, sku, basePath, suiteFolder;
  record.ReadText(kSuiteDisplayNameValue, &displayName);
  record.ReadText(kSuiteDisplayVersionValue, &version);
  record.ReadText(kSuiteBuildNumberValue, &buildNumber);
  record.ReadText(kSuiteSkuValue, &sku);
  record.ReadText(kSuiteBasePathValue, &basePath);
  record.ReadText(kSuiteFolderValue, &suiteFolder);
  WriteLog(L"   DisplayName is: %s", OrEmpty(displayName));
  WriteLog(L"   DisplayVersion is: %s", OrEmpty(version));
  WriteLog(L"   BuildNumber is: %s", OrEmpty(buildNumber));
  WriteLog(L"   SKU is: %s", OrEmpty(sku));
  WriteLog(L"   BasePath is: %s", OrEmpty(basePath));
  WriteLog(L"   SuiteFolder is: %s", OrEmpty(suiteFolder));
  if (!basePath.empty() && FolderExists(m_macros.Expand(basePath)) && !m_settings.basePathGiven) {
    UseInstalledFolder(group, basePath, suiteFolder);
  }
  DecideOverinstall(group, displayName, version, buildNumber, sku, basePath, suiteFolder);
}

// The installed suite's folder is its base path's suite folder, as its
// record was written; a record without a suite folder names the folder itself.
// The group takes both over, so that the record this run writes, the install
// location page and the products all keep the suite where it is.
void CInstallGroupLoader::UseInstalledFolder(CInstallGroupInfo* group, const std::wstring& basePath,
                                             const std::wstring& suiteFolder) {
  std::wstring base = WithoutTrailingBackslash(m_macros.Expand(basePath));
  std::wstring folder = suiteFolder.empty() ? base : Format(L"%s\\%s", base.c_str(), suiteFolder.c_str());
  folder = m_macros.Expand(folder);
  if (!IsUsableEntryFolder(folder)) return;
  WriteLog(L"      Changing BasePath to: %s", basePath.c_str());
  m_state.SetInstallFolder(folder);
  m_state.m_defaultInstallFolder = folder;
  group->SetBasePath(base);
  group->SetSuiteFolder(suiteFolder);
}

void CInstallGroupLoader::DecideOverinstall(CInstallGroupInfo* group, const std::wstring& displayName,
                                            const std::wstring& version,
                                            const std::wstring& buildNumber, const std::wstring& sku,
                                            const std::wstring& basePath,
                                            const std::wstring& suiteFolder) {
  // The same build and edition is removed and installed again.
  if (group->IsOverinstallAllowed() && buildNumber == group->GetBuildNumber() && sku == group->GetSku() &&
      group->IsRepairModeAllowed()) {
    group->SetOverinstallAllowed(false);
  }
  if (group->IsOverinstallAllowed() && sku != group->GetSku() && group->IsRepairModeAllowed()) {
    group->SetRepairOverInstall(true);
  }
  if (group->IsOverinstallAllowed()) return;
  std::unique_ptr<CInstallGroupInfo> installed(new CInstallGroupInfo());
  installed->SetUuid(group->GetUuid());
  installed->SetDisplayName(displayName);
  installed->SetVersion(version);
  installed->SetBuildNumber(buildNumber);
  installed->SetSku(sku);
  installed->SetBasePath(basePath);
  installed->SetSuiteFolder(suiteFolder);
  // Whatever the scan found is kept: a failed view leaves fewer members.
  installed->FindMemberProducts();
  m_groups.SetAt(CInstallGroupInfoMap::kRemoveGroup, std::move(installed));
}

void CInstallGroupLoader::ReadFamilyPath(CInstallGroupInfo* group) {
  if (group->GetFamilyId().empty()) return;
  std::wstring keyName;
  REGSAM view = 0;
  if (!FindFamilyEntry(group->GetFamilyId(), &keyName, &view)) return;
  WriteLog(L"   FoundFamilyID at this key: %s", keyName.c_str());
  CSuiteRecord member(keyName, view);
  std::wstring basePath, suiteFolder, location;
  member.ReadText(kSuiteBasePathValue, &basePath);
  member.ReadText(kSuiteFolderValue, &suiteFolder);
  if (!basePath.empty() && !suiteFolder.empty() && basePath.size() <= kMaxFolderLength &&
      suiteFolder.size() <= kMaxFolderLength) {
    std::wstring folder = Format(L"%s\\%s", basePath.c_str(), suiteFolder.c_str());
    if (!IsUsableEntryFolder(folder)) return;
    m_state.SetInstallFolder(folder);
    group->SetAlternatePath(true);
    WriteLog(L"   Alternate path:");
    WriteLog(L"      BaseFolder:  %s", basePath.c_str());
    WriteLog(L"      SuiteFolder: %s", suiteFolder.c_str());
    return;
  }
  if (!member.ReadText(kSuiteInstallLocationValue, &location) || location.empty() ||
      !IsUsableEntryFolder(location)) {
    return;
  }
  m_state.SetInstallFolder(location);
  group->SetAlternatePath(true);
  WriteLog(L"   Alternate path:");
  WriteLog(L"      InstallLocation: %s", location.c_str());
  if (!m_installPathChanged) return;
  std::wstring trimmed = WithoutTrailingBackslash(location);
  size_t last = trimmed.find_last_of(L'\\');
  if (last == std::wstring::npos) return;
  group->SetBasePath(trimmed.substr(0, last));
  WriteLog(L"   Alternate path:");
  WriteLog(L"      BaseFolder:  %s", group->GetBasePath().c_str());
  WriteLog(L"      SuiteFolder: %s", group->GetSuiteFolder().c_str());
}
