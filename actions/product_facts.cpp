// product_facts.cpp: the facts of one product read from the installer, its
// Uninstall entry and its family's installed packages, and what each road
// decides from them.
#include "actions/product_facts.h"

#include <windows.h>
#include <msi.h>

#include <algorithm>

#include "actions/msi_folder_properties.h"
#include "actions/msi_package.h"
#include "actions/msi_product_state.h"
#include "actions/msi_strings.h"
#include "actions/ref_counter.h"
#include "actions/uninstall_entry.h"
#include "actions/upgrade_row.h"
#include "engine/install_group_info.h"
#include "engine/product_data.h"
#include "foundation/error.h"
#include "foundation/file_utils.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kUninstallKeyFormat[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s";
const wchar_t kSystemComponentValue[] = L"SystemComponent";
const wchar_t kLocalPackageProperty[] = L"LocalPackage";
const wchar_t kNameProperty[] = L"InstalledProductName";
const wchar_t kVersionProperty[] = L"VersionString";
const wchar_t kAllUsersProperty[] = L"ALLUSERS";
// A product code in braces and its terminator.
const DWORD kCodeLength = 39;

bool ContainsCode(const std::vector<std::wstring>& codes, const std::wstring& code) {
  return std::any_of(codes.begin(), codes.end(), [&code](const std::wstring& each) { return EqualsNoCase(each, code); });
}

// Under Wine the product's AssignmentType reads 0 in every context: the
// installer is asked for the product in the machine's context instead.
bool IsInstalledPerMachine(const std::wstring& code) {
  wchar_t version[kCodeLength] = {};
  DWORD length = kCodeLength;
  UINT result = MsiGetProductInfoExW(code.c_str(), nullptr, MSIINSTALLCONTEXT_MACHINE, kVersionProperty, version,
                                     &length);
  return result == ERROR_SUCCESS || result == ERROR_MORE_DATA;
}

std::wstring ProductInfo(const std::wstring& code, const wchar_t* property) {
  std::wstring value;
  ReadProductInfo(code, property, &value);
  return value;
}

// Whether the installed product's own upgrade removes a product of
// `upgradeCode` at `version`: the Upgrade table of the package the
// installer keeps for it.
bool UpgradeRemoves(const std::wstring& code, const std::wstring& upgradeCode, const CVersionInfo& version,
                    int language) {
  std::wstring cached = ProductInfo(code, kLocalPackageProperty);
  if (cached.empty() || version.IsEmpty() || !FileExists(cached)) return false;
  CMSIPackage package(cached, std::wstring());
  std::vector<CUpgradeRow> rows;
  if (!package.OpenDatabase() || !package.GetUpgradeRows(&rows)) return false;
  for (const CUpgradeRow& row : rows) {
    if (EqualsNoCase(row.upgradeCode, upgradeCode) && row.Removes(version.ToString(), language)) return true;
  }
  return false;
}

}  // namespace

CProductFacts CProductFacts::Gather(const std::wstring& code, const CProductData* product, const std::wstring& suite) {
  CProductFacts facts;
  facts.m_code = code;
  facts.m_suite = suite;
  // The suite's data speaks of this product only when it names its code.
  if (product && EqualsNoCase(product->GetProductCode(), code)) {
    if (product->GetVersion()) facts.m_version = *product->GetVersion();
    facts.m_upgradeCode = product->GetUpgradeCode();
    facts.m_packagePath = product->GetPackagePath();
    facts.m_language = product->GetProductLanguage();
    facts.m_windowsInstaller = product->IsWindowsInstallerPackage();
  } else {
    product = nullptr;
  }
  if (code.empty()) return facts;
  facts.m_installed = IsProductInstalled(code);
  ReadUninstallProductVersion(code, &facts.m_installedVersion);
  facts.ReadUsers();
  facts.ReadEntry();
  if (facts.m_installed) {
    facts.m_folders = InstalledFolderProperties(code, product ? product->GetInstallFolders() : std::wstring());
  } else {
    if (product) facts.GatherFamily(*product);
    facts.FindCountedStandIn();
  }
  return facts;
}

void CProductFacts::ReadUsers() {
  try {
    CRefCounter counter;
    m_count = static_cast<DWORD>(counter.ReadUsers(m_code, &m_users));
  } catch (const CRegistryKey::CMissingValue&) {
    // The entry is there without a count: no suite counts the product.
    m_uncounted = true;
    m_users.clear();
  } catch (const CError& error) {
    m_usersError = error.GetErrorCode() != ERROR_SUCCESS ? error.GetErrorCode() : ERROR_INSTALL_FAILURE;
    m_usersErrorText = error.GetMessage();
  }
}

void CProductFacts::ReadEntry() {
  try {
    CRegistryKey entry;
    entry.Open(HKEY_LOCAL_MACHINE, Format(kUninstallKeyFormat, m_code.c_str()), KEY_QUERY_VALUE, false);
    m_hidden = entry.GetValueDWORD(kSystemComponentValue) == 1;
  } catch (const CError&) {
    // No entry, or no such value: the product shows in the list.
    m_hidden = false;
  }
}

bool CProductFacts::IsCountedBy(const std::wstring& suite) const {
  return !suite.empty() && ContainsCode(m_users, suite);
}

// The installed products of the family under other codes, each with what
// decides whether it stands in for this one.
void CProductFacts::GatherFamily(const CProductData& product) {
  if (m_upgradeCode.empty()) return;
  std::vector<std::wstring> codes = InstalledProductsOfFamily(m_upgradeCode);
  codes.erase(std::remove_if(codes.begin(), codes.end(),
                             [this](const std::wstring& each) { return EqualsNoCase(each, m_code); }),
              codes.end());
  if (codes.empty()) return;
  EContext context = PackageContext(product);
  for (const std::wstring& code : codes) m_relatives.push_back(ReadRelative(code, context));
}

// A package installs per machine when it says ALLUSERS, else for the user
// who runs it.
CProductFacts::EContext CProductFacts::PackageContext(const CProductData& product) const {
  std::wstring allUsers;
  CMSIPackage package(product.GetPackagePath(), product.GetTransforms());
  if (product.GetPackagePath().empty() || !FileExists(product.GetPackagePath()) || !package.OpenDatabase() ||
      !package.GetProperty(kAllUsersProperty, &allUsers)) {
    return kUnknownContext;
  }
  return !allUsers.empty() && allUsers != L"0" ? kPerMachine : kPerUser;
}

// A product whose package is gone (a repair from the cached copy) has no
// context to compare: a relative that replaced it counts in either.
CProductFacts::CRelative CProductFacts::ReadRelative(const std::wstring& code, EContext context) const {
  CRelative relative;
  relative.code = code;
  relative.name = ProductInfo(code, kNameProperty);
  relative.version = ProductInfo(code, kVersionProperty);
  relative.sameContext = context == kUnknownContext || IsInstalledPerMachine(code) == (context == kPerMachine);
  relative.replaces = UpgradeRemoves(code, m_upgradeCode, m_version, m_language);
  relative.replacedThroughSuite = ContainsCode(CRefCounter::ReadReplacedProducts(code), m_code);
  try {
    CRefCounter counter;
    counter.ReadUsers(code, &relative.users);
  } catch (const CError&) {
    // Counted by no suite, or unreadable: no suite stands on it.
    relative.users.clear();
  }
  return relative;
}

// A product of any family that the suite counts and whose Replaces record
// names this one: a suite's package replaced it and carried the suite over.
void CProductFacts::FindCountedStandIn() {
  if (m_suite.empty()) return;
  std::wstring code = CInstallGroupInfo::InstalledProductFor(m_suite, m_code);
  if (code.empty() || EqualsNoCase(code, m_code)) return;
  m_countedStandIn.code = code;
  m_countedStandIn.name = ProductInfo(code, kNameProperty);
  m_countedStandIn.version = ProductInfo(code, kVersionProperty);
  m_countedStandIn.sameContext = true;
  m_countedStandIn.replaces = true;
  m_countedStandIn.replacedThroughSuite = true;
  m_countedStandIn.users.push_back(m_suite);
}

const CProductFacts::CRelative* CProductFacts::StandIn() const {
  if (m_installed) return nullptr;
  const CRelative* found = nullptr;
  for (const CRelative& relative : m_relatives) {
    if (!relative.sameContext || !relative.replaces) continue;
    // One a suite's package put there carries the suites over: it comes first.
    if (relative.replacedThroughSuite) return &relative;
    if (!found) found = &relative;
  }
  if (found) return found;
  return m_countedStandIn.code.empty() ? nullptr : &m_countedStandIn;
}

void CProductFacts::LogStandIn(const std::wstring& key) const {
  const CRelative* standIn = StandIn();
  if (!standIn) return;
  std::wstring version = m_version.IsEmpty() ? L"(unknown)" : m_version.ToString();
  if (standIn->replacedThroughSuite) {
    WriteLog(L"   %s (%s) of the suite was replaced by %s (%s), version %s, through a suite's package: the suite does "
             L"not install version %s beside it, and counts %s in its place",
             key.c_str(), m_code.c_str(), standIn->name.c_str(), standIn->code.c_str(), standIn->version.c_str(),
             version.c_str(), standIn->name.c_str());
  } else {
    WriteLog(L"   %s (%s) of the suite was replaced by %s (%s), version %s, a product of its family installed apart "
             L"from the suite: the suite does not install version %s beside it and leaves %s as it is",
             key.c_str(), m_code.c_str(), standIn->name.c_str(), standIn->code.c_str(), standIn->version.c_str(),
             version.c_str(), standIn->name.c_str());
  }
}

CProductFacts::EInstall CProductFacts::DecideInstall() const {
  if (!m_installed) return StandIn() ? kStoodIn : kInstall;
  if (m_windowsInstaller && !m_version.IsEmpty() && HasInstalledVersion() && m_version.Compare(m_installedVersion) > 0) {
    return kUpgradeInPlace;
  }
  return kInstalled;
}

std::vector<std::wstring> CProductFacts::NewFeatures() const {
  std::vector<std::wstring> added;
  std::vector<std::wstring> ids;
  CMSIPackage package(m_packagePath, std::wstring());
  if (!m_installed || m_packagePath.empty() || !package.OpenDatabase() || !package.GetFeatureIds(&ids)) return added;
  for (const std::wstring& id : ids) {
    if (MsiQueryFeatureStateW(m_code.c_str(), id.c_str()) == INSTALLSTATE_UNKNOWN) added.push_back(id);
  }
  return added;
}

bool CProductFacts::IsKeptForOtherSuites() const {
  CRefCounter counter;
  bool listed = false;
  return CRefCounter::KeptForOtherSuites(&counter, m_code, m_suite, &listed);
}

std::vector<std::wstring> CProductFacts::SuitesStandingOn(
    const std::vector<CPackageUpgrade::CReplacedProduct>& replaced) const {
  std::vector<std::wstring> suites;
  if (!m_installed) return suites;
  for (const CPackageUpgrade::CReplacedProduct& each : replaced) {
    if (IsProductInstalled(each.code)) continue;
    for (const std::wstring& suite : each.otherSuites) {
      if (!ContainsCode(suites, suite)) suites.push_back(suite);
    }
  }
  return suites;
}
