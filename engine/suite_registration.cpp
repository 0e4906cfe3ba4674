// suite_registration.cpp: the suite's entry in the list of installed
// programs, its cache, and their removal with the references they leave.
#include "engine/suite_registration.h"

#include <windows.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "actions/install_action.h"
#include "actions/ref_counting.h"
#include "engine/cached_copy.h"
#include "engine/dcf_values.h"
#include "engine/engine_settings.h"
#include "engine/install_group_info.h"
#include "engine/install_group_info_map.h"
#include "engine/product_data.h"
#include "engine/replacement_map.h"
#include "engine/setup_state.h"
#include "engine/suite_record.h"
#include "engine/version_info.h"
#include "foundation/dcf_names.h"
#include "foundation/error.h"
#include "foundation/file_utils.h"
#include "foundation/folder_security.h"
#include "foundation/guid.h"
#include "foundation/kw_ini_file.h"
#include "foundation/kw_ini_file_exception.h"
#include "foundation/registry_key.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/staged_files.h"
#include "foundation/text_utils.h"
#include "foundation/tree_deletion.h"
#include "foundation/wow64.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kUninstallRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kAllUsersAppDataMacro[] = L"{AllUsersAppData}";
const wchar_t kCommonFilesMacro[] = L"{CommonFilesFolder}";
const wchar_t kCacheSubfolder[] = L"\\Uninstall";
const wchar_t kInstallersSubfolder[] = L"\\Tamsa Shared\\Installers";
const wchar_t kVersionDll[] = L"bin\\ProductVersion.dll";
const wchar_t kVersionDllName[] = L"ProductVersion.dll";
const wchar_t kCachedProgram[] = L"setup.exe";
const wchar_t kSetupLanguageProperty[] = L"SETUPLANG";
const wchar_t kSystemComponentKey[] = L"SystemComponent";
const wchar_t kPluginKey[] = L"Plugin";
const wchar_t kUpdateManagerUrlKey[] = L"UpdateManagerURL";

// The record's values, in the order they are written.
const wchar_t kHelpLinkValue[] = L"HelpLink";
const wchar_t kUrlInfoAboutValue[] = L"URLInfoAbout";
const wchar_t kDisplayIconValue[] = L"DisplayIcon";
const wchar_t kVersionMajorValue[] = L"VersionMajor";
const wchar_t kVersionMinorValue[] = L"VersionMinor";
const wchar_t kVersionValue[] = L"Version";
const wchar_t kPublisherValue[] = L"Publisher";
const wchar_t kUninstallStringValue[] = L"UninstallString";
const wchar_t kCacheLocationValue[] = L"CacheLocation";
const wchar_t kShowEulaValue[] = L"ShowEULA";
const wchar_t kUeipValue[] = L"UEIP";
const wchar_t kEstimatedSizeValue[] = L"EstimatedSize";
const wchar_t kSystemComponentValue[] = L"SystemComponent";
const wchar_t kPluginValue[] = L"Plugin";
const wchar_t kSupportedLanguagesValue[] = L"SupportedLanguages";
const wchar_t kMuiValue[] = L"MUI";
const wchar_t kOnlineAccessValue[] = L"OnlineAccess";
const wchar_t kUpdateManagerValue[] = L"UpdateManager";
const wchar_t kUpdateManagerAutomaticValue[] = L"UpdateManagerAutomatic";
const wchar_t kUpdateManagerExpirationValue[] = L"UpdateManagerExpiration";
const wchar_t kUpdateManagerUrlValue[] = L"UpdateManagerURL";
// A product's reference values.
const wchar_t kRefCountValue[] = L"RefCount";
const wchar_t kUsedByValue[] = L"UsedBy";
const wchar_t kInstallDateTimeValue[] = L"InstallDateTime";
const wchar_t kInstallFoldersValue[] = L"InstallFolders";

// A failed write with no code of its own still fails the run.
DWORD Failure(DWORD code) { return code == ERROR_SUCCESS ? ERROR_INSTALL_FAILURE : code; }

// Writes values in order until one fails, which it logs in the record's
// words for the value; later writes then do nothing.
class CRecordWriter {
 public:
  explicit CRecordWriter(CSuiteRecord* record) : m_record(record) {}
  void Text(const wchar_t* name, const std::wstring& value, const wchar_t* logName = nullptr) {
    if (m_result == ERROR_SUCCESS) Check(m_record->SetText(name, value), logName ? logName : name);
  }
  void TextIfSet(const wchar_t* name, const std::wstring& value, const wchar_t* logName = nullptr) {
    if (!value.empty()) Text(name, value, logName);
  }
  void Number(const wchar_t* name, DWORD value, const wchar_t* logName = nullptr) {
    if (m_result == ERROR_SUCCESS) Check(m_record->SetNumber(name, value), logName ? logName : name);
  }
  DWORD Result() const { return m_result; }

 private:
  void Check(LONG result, const wchar_t* logName) {
    if (result == ERROR_SUCCESS) return;
    WriteLog(L"Failed adding %s registry key, with error: %d", logName, result);
    m_result = Failure(static_cast<DWORD>(result));
  }

  CSuiteRecord* m_record;
  DWORD m_result = ERROR_SUCCESS;
};

bool ListsUser(const std::vector<std::wstring>& users, const std::wstring& user) {
  for (const std::wstring& listed : users) {
    if (EqualsNoCase(listed, user)) return true;
  }
  return false;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

}  // namespace

CSuiteRegistration::CSuiteRegistration(const CKwIniFile& configuration, const CReplacementMap& macros,
                                       CSetupState& state, const CInstallGroupInfoMap& groups,
                                       const CEngineSettings& settings, IRefCounting& counter,
                                       const std::wstring& programPath,
                                       const std::wstring& configurationPath)
    : m_configuration(configuration), m_macros(macros), m_state(state), m_groups(groups),
      m_settings(settings), m_counter(counter), m_programPath(programPath),
      m_configurationPath(configurationPath) {}

std::wstring CSuiteRegistration::CacheFolder(const std::wstring& suiteId) const {
  std::wstring root = WithoutTrailingBackslash(m_macros.Expand(kAllUsersAppDataMacro));
  if (root.empty() || root == kAllUsersAppDataMacro) return std::wstring();
  return root + kCacheSubfolder + L"\\" + suiteId;
}

std::wstring CSuiteRegistration::CacheRoot() const { return WithoutTrailingBackslash(CacheFolder(L"")); }

// Absent until the first suite, and a folder any user may make: made by the
// run with the caches' permissions, or used as found only when it is a plain
// folder of an administrator's; a link or file there goes itself and the
// folder is made anew, one of another account's is taken over.
DWORD CSuiteRegistration::SecureCacheRoot() {
  std::wstring root = CacheRoot();
  if (root.empty()) return ERROR_PATH_NOT_FOUND;
  DWORD made = CreateAdministratorsOnlyFolder(root);
  if (made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) return made;
  CScopedHandle folder(OpenPlainFolder(root, READ_CONTROL | WRITE_DAC | WRITE_OWNER));
  if (!folder.IsValid()) {
    if (GetLastError() != kNotPlainFileError) return Failure(GetLastError());
    WriteLog(L"   '%s' is not a plain folder; it goes, and the folder is made anew", root.c_str());
    if (!RemoveDirectoryChecked(root, FALSE) && !DeleteFileChecked(root, FALSE)) return Failure(GetLastError());
    return CreateAdministratorsOnlyFolder(root);
  }
  if (IsOwnedByAdministrators(folder.Get())) return ERROR_SUCCESS;
  WriteLog(L"   Taking over the folder '%s', made by another account", root.c_str());
  return SecureOpenFolder(folder.Get());
}

bool CSuiteRegistration::IsOwnCacheRoot() const {
  CScopedHandle folder(OpenPlainFolder(CacheRoot(), READ_CONTROL));
  return folder.IsValid() && IsOwnedByAdministrators(folder.Get());
}

std::wstring CSuiteRegistration::SharedInstallersFolder() const {
  std::wstring root = WithoutTrailingBackslash(m_macros.Expand(kCommonFilesMacro));
  if (root.empty() || root == kCommonFilesMacro) return std::wstring();
  return root + kInstallersSubfolder;
}

DWORD CSuiteRegistration::SetupInstallGroups() {
  if (m_groups.IsEmpty()) {
    WriteLog(L"Skipping SetupInstallGroups; no groups are defined");
    return ERROR_SUCCESS;
  }
  CInstallGroupInfo* group = m_groups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (!group) {
    WriteLog(L"Default group information not found in SetupInstallGroups");
    return ERROR_INVALID_DATA;
  }
  if (!AnyMemberSelected(*group)) {
    WriteLog(L"No items from default group selected for install; skipping group install.");
    return ERROR_SUCCESS;
  }
  if (!CSuiteRecord::IsWellFormedSuiteId(group->GetUuid())) {
    WriteLog(L"The suite id '%s' cannot name a registry key or a folder", group->GetUuid().c_str());
    return ERROR_INVALID_DATA;
  }
  DWORD result = MakeCache(*group);
  if (result == ERROR_SUCCESS) result = WriteRecord(*group);
  return result;
}

DWORD CSuiteRegistration::TakeOverCache() {
  const CInstallGroupInfo* group = m_groups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (!group || !CSuiteRecord::IsWellFormedSuiteId(group->GetUuid())) return ERROR_SUCCESS;
  DWORD secured = SecureCacheRoot();
  if (secured != ERROR_SUCCESS) {
    WriteLog(L"   The folder '%s' cannot be made the program's own, error %d", CacheRoot().c_str(), secured);
    return Failure(secured);
  }
  std::wstring folder = CacheFolder(group->GetUuid());
  if (folder.empty() || GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return ERROR_SUCCESS;
  // An installed copy's cache is the suite's own, made by an earlier run.
  if (CSuiteRecord(group->GetUuid()).Exists()) return ERROR_SUCCESS;
  WriteLog(L"   Taking over the cache folder '%s', made before the suite's first install", folder.c_str());
  DWORD result = EmptyFoundCache(folder);
  if (result != ERROR_SUCCESS) {
    WriteLog(L"   The cache folder '%s' cannot be taken over, error %d", folder.c_str(), result);
    return Failure(result);
  }
  m_cacheTakenOver = true;
  return ERROR_SUCCESS;
}

// Whoever made the folder loses it first, then everything in it goes: the
// run writes all the cache holds. A link or file at the name goes itself,
// never what it leads to; what cannot go (a link Wine can only open at its
// target) keeps the folder from being the suite's, and the run ends.
DWORD CSuiteRegistration::EmptyFoundCache(const std::wstring& folder) {
  CScopedHandle plain(OpenPlainFolder(folder, 0));
  if (!plain.IsValid()) {
    if (RemoveDirectoryChecked(folder, FALSE) || DeleteFileChecked(folder, FALSE)) return ERROR_SUCCESS;
    return Failure(GetLastError());
  }
  plain.Reset();
  DWORD secured = MakeAdministratorsOnlyFolder(folder);
  if (secured != ERROR_SUCCESS) return secured;
  if (!DeleteFolderTree(folder)) return Failure(GetLastError());
  return ERROR_SUCCESS;
}

bool CSuiteRegistration::AnyMemberSelected(const CInstallGroupInfo& group) const {
  for (const std::wstring& member : group.GetMembers()) {
    CProductData* product = m_state.m_products.Lookup(member);
    if (product && product->GetSelection() && product->GetSelection()->IsCurrent()) return true;
  }
  return false;
}

DWORD CSuiteRegistration::MakeCache(const CInstallGroupInfo& group) {
  std::wstring folder = CacheFolder(group.GetUuid());
  if (folder.empty()) return ERROR_PATH_NOT_FOUND;
  m_cacheCreated = m_cacheTakenOver || GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
  // What the programs list's Uninstall and repair run with administrator
  // rights: nobody else may add to it, also when an older run made it.
  DWORD secured = MakeAdministratorsOnlyFolder(folder);
  if (secured != ERROR_SUCCESS) {
    WriteLog(L"   Failed securing DCF cache directory '%s', error: %d", folder.c_str(), secured);
    return Failure(secured);
  }
  if (!CreateDirectoryTree(folder + L"\\bin", nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    DWORD error = GetLastError();
    WriteLog(L"   Failed creating DCF cache directory '%s'", folder.c_str());
    return Failure(error);
  }
  CStagedFiles::RemoveStrayTemporaries(folder);
  CStagedFiles::RemoveStrayTemporaries(folder + L"\\bin");
  std::wstring setupFolder = FolderOfPath(m_programPath);
  std::vector<std::pair<std::wstring, std::wstring>> copies = {
      {m_configurationPath, folder + L"\\" + kCachedConfigurationName},
      {m_programPath, folder + L"\\" + kCachedProgram}};
  std::wstring versionDll = setupFolder + kVersionDll;
  std::wstring shared = SharedInstallersFolder();
  if (FileExists(versionDll)) {
    copies.push_back({versionDll, folder + L"\\" + kVersionDll});
    if (!shared.empty() && (CreateDirectoryTree(shared + L"\\" + group.GetUuid(), nullptr) ||
                            GetLastError() == ERROR_ALREADY_EXISTS)) {
      copies.push_back({versionDll, shared + L"\\" + group.GetUuid() + L"\\" + kVersionDllName});
    }
  }
  // Every file is written in full before any replaces its old version: a
  // run killed on the way leaves the cache the suite had, whole.
  CStagedFiles staged;
  for (const auto& copy : copies) {
    // A setup that runs from the cache already is the cached file.
    if (EqualsNoCase(GetFullPath(copy.first), GetFullPath(copy.second))) continue;
    if (!staged.Copy(copy.first, copy.second)) {
      DWORD error = GetLastError();
      WriteLog(L"   Failed caching '%s' to '%s' error: %d", copy.first.c_str(), copy.second.c_str(), error);
      return Failure(error);
    }
  }
  DWORD result = StageProductFiles(group, folder, &staged);
  if (result != ERROR_SUCCESS) return result;
  if (!staged.Commit()) {
    DWORD error = GetLastError();
    WriteLog(L"   Failed replacing the cached files in '%s' error: %d", folder.c_str(), error);
    return Failure(error);
  }
  return ERROR_SUCCESS;
}

DWORD CSuiteRegistration::StageProductFiles(const CInstallGroupInfo& group, const std::wstring& folder,
                                            CStagedFiles* staged) {
  int index = 0;
  for (const auto& entry : m_state.m_products) {
    // What a repair puts back when it is missing: what the suite counts.
    entry.second->SetInstalledForSuite(CountsProduct(group, entry.second->GetProductCode()));
    std::wstring path = Format(L"%s\\%s.dcf", folder.c_str(), entry.first.c_str());
    WriteLog(L"   Caching package data for %s at '%s'", entry.first.c_str(), path.c_str());
    const CProductData* product = entry.second.get();
    if (!staged->Write(path, [product](const std::wstring& temporary) { return product->SaveToDcf(temporary); })) {
      DWORD error = GetLastError();
      WriteLog(L"   Failed caching package data for product %d, with error: %d", index, error);
      return Failure(error);
    }
    ++index;
  }
  return ERROR_SUCCESS;
}

DWORD CSuiteRegistration::WriteRecord(const CInstallGroupInfo& group) {
  CSuiteRecord record(group.GetUuid());
  LONG created = record.Create();
  DWORD result = ERROR_SUCCESS;
  if (created != ERROR_SUCCESS) {
    WriteLog(L"Failed creating uninstall key '%s', with error: %d",
             CSuiteRecord::KeyPath(group.GetUuid()).c_str(), created);
    result = Failure(static_cast<DWORD>(created));
  }
  if (result == ERROR_SUCCESS) result = WriteIdentity(group, &record);
  if (result == ERROR_SUCCESS) result = WriteSettings(&record);
  if (result != ERROR_SUCCESS && m_cacheCreated) {
    // The record is not usable: a cache this run made must not outlive it.
    // One an installed copy of the suite had stays for that copy's record.
    std::wstring folder = CacheFolder(group.GetUuid());
    DeleteFolderTree(folder);
    RemoveDirectoryChecked(folder, FALSE);
  }
  return result;
}

DWORD CSuiteRegistration::WriteIdentity(const CInstallGroupInfo& group, CSuiteRecord* record) {
  CVersionInfo fileVersion;
  std::wstring displayVersion =
      fileVersion.SetFromFileVersion(FolderOfPath(m_programPath) + kVersionDll)
          ? fileVersion.ToString()
          : ReadDcfValue(m_configuration, kPropertySection, kProductVersionKey);
  CVersionInfo shown;
  shown.Parse(displayVersion);
  CVersionInfo suiteVersion;
  suiteVersion.Parse(group.GetVersion());
  std::wstring language = InstalledLanguage();
  std::wstring uninstall =
      Format(L"\"%s\\%s\" /x %s %s", CacheFolder(group.GetUuid()).c_str(), kCachedProgram,
             group.GetUuid().c_str(),
             ReadDcfValue(m_configuration, kProductGroupDefaultSection, kUninstallUiLevelKey).c_str());
  if (!language.empty()) uninstall += Format(L" {lang}=%s", language.c_str());

  CRecordWriter writer(record);
  writer.TextIfSet(kHelpLinkValue, group.GetHelpLink());
  writer.TextIfSet(kUrlInfoAboutValue, group.GetUrlInfoAbout());
  writer.TextIfSet(kSuiteBuildNumberValue, group.GetBuildNumber(), L"Build Number");
  writer.TextIfSet(kSuiteSkuValue, group.GetSku());
  writer.TextIfSet(kSuiteBasePathValue, group.GetBasePath());
  writer.TextIfSet(kSuiteFolderValue, group.GetSuiteFolder());
  writer.TextIfSet(kSuiteFamilyIdValue, group.GetFamilyId());
  writer.Text(kSuiteDisplayNameValue, group.GetDisplayName());
  writer.Text(kDisplayIconValue, group.GetIconPath());
  writer.Text(kSuiteDisplayVersionValue, displayVersion);
  writer.Number(kVersionMajorValue, shown.GetMajor());
  writer.Number(kVersionMinorValue, shown.GetMinor());
  writer.Number(kVersionValue, suiteVersion.ToPackedDword());
  writer.Text(kPublisherValue, m_state.m_publisherName);
  writer.Text(kUninstallStringValue, uninstall);
  writer.Text(kCacheLocationValue, CacheFolder(group.GetUuid()));
  return writer.Result();
}

DWORD CSuiteRegistration::WriteSettings(CSuiteRecord* record) {
  double cost = 0.0;
  for (const auto& entry : m_state.m_products) {
    const CProductData& product = *entry.second;
    if (product.GetPackageName().empty() || product.IsSamePackageInstalled()) continue;
    cost += product.GetSelectedCost();
  }
  std::wstring language = InstalledLanguage();
  std::wstring url = ReadDcfValue(m_configuration, kPropertySection, kUpdateManagerUrlKey);
  if (!url.empty() && url.back() != L'/') {
    WriteLog(L"WARNING: The forward slash is missing from the UpdateManagerURL. Please FIX THIS. Setup will add a forward slash now.");
    url += L'/';
  }
  bool systemComponent = ReadDcfValue(m_configuration, kPropertySection, kSystemComponentKey) == L"1";
  bool plugin = ReadDcfValue(m_configuration, kPropertySection, kPluginKey) == L"1";

  CRecordWriter writer(record);
  writer.Number(kShowEulaValue, m_state.m_eulaAccepted ? 0 : 1);
  writer.Number(kUeipValue, m_state.m_ueipAccepted ? 1 : 0, L"showUserExpImpPAccepted");
  writer.Number(kEstimatedSizeValue, static_cast<DWORD>(std::floor(cost)) * 1000);
  // One form whichever road chose the folder: the wizard's ends in a backslash.
  writer.Text(kSuiteInstallLocationValue, WithoutTrailingBackslash(m_state.GetInstallFolder()));
  if (systemComponent) writer.Number(kSystemComponentValue, 1);
  if (plugin) writer.Number(kPluginValue, 1);
  writer.Text(kSupportedLanguagesValue, language);
  writer.Text(kSuiteInstalledLanguageValue, language);
  writer.Number(kMuiValue, m_settings.installAllLanguages ? 1 : 0);
  writer.Number(kOnlineAccessValue, m_settings.onlineAccess ? 1 : 0);
  writer.Number(kUpdateManagerValue, m_settings.updateManager ? 1 : 0);
  writer.Number(kUpdateManagerAutomaticValue, m_settings.updateManagerAutomatic ? 1 : 0);
  writer.TextIfSet(kUpdateManagerExpirationValue, m_settings.updateManagerExpiration);
  writer.TextIfSet(kUpdateManagerUrlValue, url);
  return writer.Result();
}

// False for a product no suite counts.
bool CSuiteRegistration::ReadProductUsers(const std::wstring& code, std::vector<std::wstring>* users) const {
  if (code.empty()) return false;
  try {
    m_counter.ReadUsers(code, users);
  } catch (const CError&) {
    return false;
  }
  return true;
}

// Another suite installed the product first: the copy beside it tells that
// this suite uses it too. A product only this suite counts needs none.
bool CSuiteRegistration::UsedByOtherSuite(const std::wstring& code) const {
  const CInstallGroupInfo* group = m_groups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  std::vector<std::wstring> users;
  if (!ReadProductUsers(code, &users)) return false;
  for (const std::wstring& user : users) {
    if (!group || !EqualsNoCase(user, group->GetUuid())) return true;
  }
  return false;
}

// The language the packages were installed in: the install language, unless
// no package offered it.
std::wstring CSuiteRegistration::InstalledLanguage() const {
  if (!m_state.m_packageLanguageCode.empty()) return m_state.m_packageLanguageCode;
  std::wstring language;
  m_state.GetProperty(kSetupLanguageProperty, &language);
  return language;
}

bool CSuiteRegistration::CountsProduct(const CInstallGroupInfo& group, const std::wstring& code) const {
  std::vector<std::wstring> users;
  return ReadProductUsers(code, &users) && ListsUser(users, group.GetUuid());
}

// {AllUsersAppData}\Uninstall\<product>; empty when the folder is unknown
// or the product's key cannot name a folder.
std::wstring CSuiteRegistration::ConfigurationFolder(const std::wstring& product) const {
  std::wstring root = CacheFolder(product);
  return CSuiteRecord::IsWellFormedSuiteId(product) ? root : std::wstring();
}

DWORD CSuiteRegistration::CacheConfigurationFiles(const std::vector<CInstallAction*>& actions) {
  for (const CInstallAction* action : actions) {
    const std::wstring& code = action->GetProductCode();
    if (action->IsExecuted() || code.empty()) continue;
    if (!UsedByOtherSuite(code)) continue;
    const std::wstring& product = action->GetKeyName();
    if (!m_state.m_products.Lookup(product)) {
      WriteLog(L"Unable to retrieve product data for %s", product.c_str());
      continue;
    }
    std::wstring folder = ConfigurationFolder(product);
    if (folder.empty()) continue;
    std::wstring kept = KeptConfiguration(folder);
    if (!kept.empty()) {
      WriteLog(L"   The configuration of this suite is already kept for %s at '%s'", product.c_str(), kept.c_str());
      continue;
    }
    if (!CreateDirectoryTree(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      DWORD error = GetLastError();
      WriteLog(L"Failed creating DCF cache directory '%s'", folder.c_str());
      return Failure(error);
    }
    CGuid name;
    std::wstring file;
    if (name.Create()) {
      file = name.Format();
    } else {
      // Still one file per suite: its own id names it.
      WriteLog(L"Failed creating UUID in CacheConfigurationFiles()");
      const CInstallGroupInfo* group = m_groups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
      if (!group) return ERROR_INVALID_DATA;
      file = group->GetUuid();
    }
    std::wstring target = folder + L"\\" + file + L".dcf";
    // Complete or not there: an earlier run of this suite finds its copy by reading it.
    CStagedFiles staged;
    if (!staged.Copy(m_configurationPath, target) || !staged.Commit()) {
      DWORD error = GetLastError();
      WriteLog(L"Failed caching '%s' to '%s'", m_configurationPath.c_str(), target.c_str());
      return Failure(error);
    }
    m_configurationCopies.push_back(target);
  }
  return ERROR_SUCCESS;
}

// The copy in `folder` that names this suite's id, made by an earlier run
// of the suite; empty when there is none.
std::wstring CSuiteRegistration::KeptConfiguration(const std::wstring& folder) const {
  const CInstallGroupInfo* group = m_groups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (!group) return std::wstring();
  for (const std::wstring& name : ListFolderEntries(folder, L"*.dcf", false)) {
    CKwIniFile copy;
    copy.Init(false);
    try {
      copy.LoadFrom(folder + L"\\" + name);
    } catch (CKwIniFileException* raw) {
      std::unique_ptr<CKwIniFileException> error(raw);
      continue;  // unreadable: not known to be this suite's
    }
    if (EqualsNoCase(ReadDcfValue(copy, kProductGroupDefaultSection, kUuidKey), group->GetUuid())) {
      return folder + L"\\" + name;
    }
  }
  return std::wstring();
}

void CSuiteRegistration::DiscardConfigurationFiles() {
  for (const std::wstring& copy : m_configurationCopies) {
    DeleteFileChecked(copy, FALSE);
    RemoveEmptyFolderTree(FolderOfPath(copy, false));
  }
  m_configurationCopies.clear();
}

// Only the copies are deleted: the folder goes when nothing else is in it.
void CSuiteRegistration::RemoveConfigurationFiles(const std::wstring& product) {
  std::wstring folder = ConfigurationFolder(product);
  if (folder.empty() || GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  WriteLog(L"   Removing the configurations kept for %s", product.c_str());
  for (const std::wstring& name : ListFolderEntries(folder, L"*.dcf", false)) {
    DeleteFileChecked(folder + L"\\" + name, FALSE);
  }
  RemoveEmptyFolderTree(folder);
}

bool CSuiteRegistration::RemoveInstallGroups(bool force, const std::vector<std::wstring>& otherUsers) {
  if (m_groups.IsEmpty()) {
    WriteLog(L"Skipping RemoveInstallGroups; no groups are defined");
    return true;
  }
  CInstallGroupInfo* group = m_groups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (!group) {
    WriteLog(L"Default group information not found in RemoveInstallGroups");
    SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  bool productPresent = false;
  for (const std::wstring& member : group->GetMembers()) {
    if (m_state.m_productCodes.count(member) == 0) {
      WriteLog(L"Failed retrieving ProductData structure for %s in RemoveInstallGroups().", member.c_str());
      continue;
    }
    std::wstring code = ProductCodeOf(member);
    if (!CInstallGroupInfo::IsProductKeyInstalled(code)) {
      CleanupReferenceCountRegistry(code);
      // Without a code nothing says the product is gone.
      if (!code.empty()) RemoveConfigurationFiles(member);
      continue;
    }
    try {
      std::vector<std::wstring> users;
      if (m_counter.ReadUsers(code, &users) <= 0) {
        WriteLog(L"%s is still installed, but not referenced by product group %s.", member.c_str(),
                 group->GetDisplayName().c_str());
      } else if (ListsUser(users, group->GetUuid()) && !force) {
        WriteLog(L"%s of %s is still installed; Skipping RemoveInstallGroups().", member.c_str(),
                 group->GetDisplayName().c_str());
        productPresent = true;
      }
    } catch (const CRegistryKey::CMissingValue&) {
      // Counted for no suite: the user's own product, which the run left alone.
      WriteLog(L"%s is still installed, but not referenced by product group %s.", member.c_str(),
               group->GetDisplayName().c_str());
    } catch (const CError& error) {
      WriteLog(L"Failed retrieving reference count for product %s in RemoveInstallGroups: %s.",
               member.c_str(), error.GetMessage().c_str());
    }
  }
  if (!force && !productPresent) productPresent = CountedMemberInstalled(*group);
  m_productPresent = productPresent;
  if (productPresent) {
    WriteLog(L"Exiting RemoveInstallGroups because at least one product is still present");
  } else {
    RemoveSuiteRecord(group->GetUuid());
  }
  for (const std::wstring& other : otherUsers) {
    CInstallGroupInfo affected;
    affected.SetUuid(other);
    if (!affected.FindMemberProducts()) {
      WriteLog(L"Unable to find member products of affected group %s in RemoveInstallGroups", other.c_str());
    } else if (affected.GetMembers().empty()) {
      WriteLog(L"Group %s has no remaining products; removing its group information", other.c_str());
      RemoveSuiteRecord(other);
    } else {
      WriteLog(L"Group %s still has products installed; leaving group info intact", other.c_str());
    }
  }
  return true;
}

// A product that still lists the suite fails the removal also when the
// suite's record is gone already: the suite is not removed while it stays.
DWORD CSuiteRegistration::ConfirmSuiteRemoved() const {
  const CInstallGroupInfo* group = m_groups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (!group) return ERROR_SUCCESS;
  if (m_productPresent) {
    WriteLog(L"The suite %s was not removed: products that list it are still installed, and this run could not remove them",
             group->GetUuid().c_str());
  } else if (CSuiteRecord(group->GetUuid()).Exists()) {
    WriteLog(L"The suite %s was not removed: its record could not be deleted", group->GetUuid().c_str());
  } else {
    return ERROR_SUCCESS;
  }
  return ERROR_INSTALL_FAILURE;
}

// A product that lists the suite among its users keeps the suite's record
// and cache, whether or not this configuration names it or knows its code:
// without them nothing is left that can remove it.
bool CSuiteRegistration::CountedMemberInstalled(const CInstallGroupInfo& group) const {
  std::vector<std::wstring> installed;
  if (!CInstallGroupInfo::HasInstalledMember(group.GetUuid(), &installed)) return false;
  if (installed.empty()) {
    WriteLog(L"   The products that list suite %s could not all be read; its record stays", group.GetUuid().c_str());
  }
  for (const std::wstring& key : installed) {
    WriteLog(L"%s of %s is still installed; Skipping RemoveInstallGroups().", key.c_str(),
             group.GetDisplayName().c_str());
  }
  return true;
}

// The code the run knows for the product, else its product data's.
std::wstring CSuiteRegistration::ProductCodeOf(const std::wstring& member) const {
  auto known = m_state.m_productCodes.find(member);
  if (known != m_state.m_productCodes.end() && !known->second.empty()) return known->second;
  WriteLog(L"The product %s does not have a product code defined.", member.c_str());
  CProductData* product = m_state.m_products.Lookup(member);
  return product ? product->GetProductCode() : std::wstring();
}

void CSuiteRegistration::RemoveStrayTemporaries() const {
  std::wstring caches = CacheFolder(L"");
  for (const std::wstring& root : {WithoutTrailingBackslash(caches), SharedInstallersFolder()}) {
    if (root.empty() || IsLinkPath(root)) continue;
    for (const std::wstring& name : ListFolderEntries(root, L"*", true)) {
      // A link leads to files that are not the cache's.
      for (const std::wstring& folder : {root + L"\\" + name, root + L"\\" + name + L"\\bin"}) {
        if (!IsLinkPath(folder)) CStagedFiles::RemoveStrayTemporaries(folder);
      }
    }
  }
}

void CSuiteRegistration::RemoveSuiteRecord(const std::wstring& suiteId) {
  std::wstring cacheFolder = CacheFolder(suiteId);
  std::wstring installers = SharedInstallersFolder();
  if (cacheFolder.empty() || installers.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return;
  }
  // Ids of other suites come from UsedBy values: one that could name another
  // key or folder must reach neither a key nor a tree deletion.
  if (!CSuiteRecord::IsWellFormedSuiteId(suiteId)) {
    WriteLog(L"   The suite id '%s' is not well formed; its record and cached files are left in place.",
             suiteId.c_str());
    SetLastError(ERROR_INVALID_DATA);
    return;
  }
  CSuiteRecord record(suiteId);
  std::wstring location;
  // The folder the user chose: gone now when empty, never at the restart.
  if (record.ReadText(kSuiteInstallLocationValue, &location) && !location.empty()) {
    RemoveDirectoryChecked(location, FALSE);
  }
  WriteLog(L"   Removing registry entries for suite %s.", suiteId.c_str());
  if (!record.Delete()) {
    WriteLog(L" Unable to delete suite uninstall regitsry key %s", CSuiteRecord::KeyPath(suiteId).c_str());
  }
  WriteLog(L"   Cleaning cached files for suite %s.", suiteId.c_str());
  // An uninstall started from the cache runs this very setup.exe, which
  // cannot delete itself: it goes at the restart, with its folder, when
  // only administrators may change the folders on the way.
  BOOL atRestart = IsOwnCacheRoot() ? TRUE : FALSE;
  DeleteFolderTree(cacheFolder, atRestart);
  RemoveDirectoryChecked(cacheFolder, atRestart);
  // The folders that hold other suites' caches go only when empty: a
  // removal scheduled for the restart would mark one pending for every
  // later run.
  RemoveDirectoryChecked(FolderOfPath(cacheFolder, false), FALSE);
  std::wstring shared = installers + L"\\" + suiteId;
  DeleteFolderTree(shared);
  RemoveDirectoryChecked(shared, FALSE);
  RemoveDirectoryChecked(installers, FALSE);
  RemoveEmptyFolderTree(FolderOfPath(installers, false));
}

bool CSuiteRegistration::CleanupReferenceCountRegistry(const std::wstring& productCode) {
  if (productCode.empty()) {
    WriteLog(L"Skipping CleanupReferenceCountRegistry; no ProductCode was defined.");
    return true;
  }
  std::wstring path = kUninstallRoot + productCode;
  std::vector<REGSAM> views;
  if (IsWow64()) views = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
  else views = {0};
  HKEY key = nullptr;
  REGSAM openedView = 0;
  bool missing = true;
  for (REGSAM view : views) {
    LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | view, &key);
    if (opened == ERROR_SUCCESS) {
      openedView = view;
      break;
    }
    key = nullptr;
    missing = missing && opened == ERROR_FILE_NOT_FOUND;
  }
  // The product's uninstall took its key along: nothing is left to clean.
  if (!key && missing) {
    WriteLog(L"CleanupReferenceCountRegistry: the uninstall registry key %s is already gone.", path.c_str());
    return true;
  }
  if (!key) {
    WriteLog(L"Error: CleanupReferenceCountRegistry: Unable to open uninstall registry key %s.", path.c_str());
    return false;
  }
  const std::pair<const wchar_t*, const wchar_t*> kValues[] = {
      {kRefCountValue, L"Error: CleanupReferenceCountRegistry: Unable to delete RefCount value under %s."},
      {kUsedByValue, L"Error: CleanupReferenceCountRegistry: Unable to delete UsedBy value under %s."},
      {kInstallDateTimeValue,
       L"Error: CleanupReferenceCountRegistry: Unable to delete InstallDateTime value under %s."},
      {kInstallFoldersValue,
       L"Error: CleanupReferenceCountRegistry: Unable to delete InstallFolders value under %s."}};
  for (const auto& value : kValues) {
    LONG result = RegDeleteValueW(key, value.first);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) WriteLog(value.second, path.c_str());
  }
  DWORD valueCount = 0;
  LONG counted = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount,
                                  nullptr, nullptr, nullptr, nullptr);
  if (counted != ERROR_SUCCESS) {
    WriteLog(L"Error: CleanupReferenceCountRegistry: Unable to query number of values of uninstall registry key %s.",
             path.c_str());
  }
  bool hasUninstallString =
      RegQueryValueExW(key, kUninstallStringValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  // Without a count nothing is known to be empty: the entry stays.
  bool keep = counted != ERROR_SUCCESS || (valueCount > 0 && hasUninstallString);
  if (counted == ERROR_SUCCESS && valueCount > 0 && !hasUninstallString) {
    WriteLog(L"Warning: Uninstall Key is not empty and Cannot find \"UninstallString\" value, Safe to delete this uninstall Key %s.",
             path.c_str());
  }
  // A product the installer still knows keeps its entry, whatever it lacks.
  if (!keep && CInstallGroupInfo::IsProductKeyInstalled(productCode)) keep = true;
  if (keep) {
    WriteLog(L"CleanupReferenceCountRegistry: Uninstall registry key is not empty - can not delete");
    return true;
  }
  CSuiteRecord entry(productCode, openedView);
  if (!entry.DeleteInView()) {
    WriteLog(L"Error: CleanupReferenceCountRegistry: Unable to delete uninstall regitsry key '%s', error code = %d.",
             path.c_str(), GetLastError());
    return false;
  }
  return true;
}
