// worker_dropped_products.cpp: the products an uninstall of the suite
// removes although its configuration no longer names them: a later version
// installed over the suite left them installed, hidden and counted for it.
#include "engine/worker.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <utility>
#include <vector>

#include "actions/command_options.h"
#include "actions/ref_counter.h"
#include "actions/uninstall_entry.h"
#include "engine/cached_copy.h"
#include "engine/install_group_info.h"
#include "engine/product_data.h"
#include "engine/selection_state.h"
#include "foundation/error.h"
#include "foundation/file_utils.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kProductFilePattern[] = L"*.dcf";
const wchar_t kProductFileExtension[] = L".dcf";

std::wstring DisplayNameOf(const std::wstring& key) {
  std::wstring name;
  GetProductInfo(key, kUninstallDisplayNameValue, &name);
  return name;
}

// Not offered to the user: it goes with the suite, whatever is chosen.
std::unique_ptr<CSelectionState> RemovalSelection() {
  std::unique_ptr<CSelectionState> selection(new CSelectionState());
  selection->SetCurrent(false, true);
  selection->SetHidden(true);
  return selection;
}

// The suites other than `suite` that count the product, joined by ", ".
std::wstring OtherUsersText(const std::wstring& code, const std::wstring& suite) {
  std::vector<std::wstring> users;
  try {
    CRefCounter counter;
    counter.ReadUsers(code, &users);
  } catch (const CError&) {
    // Unreadable: the removal's own decision says why.
    users.clear();
  }
  std::wstring text;
  for (const std::wstring& user : users) {
    if (!EqualsNoCase(user, suite)) text += (text.empty() ? L"" : L", ") + user;
  }
  return text;
}

}  // namespace

// Every installed product that lists the suite among its users goes with
// the suite, also one this configuration no longer names; a repair takes in
// those that replaced one it names. Such a product
// joins the run under the product file the suite's cache keeps for it, else
// under its own Uninstall key, to be removed after the configured products,
// newest install first. False, after naming it, when one has no product
// code to be removed by: removing the rest would leave it with nothing that
// could remove it.
bool CWorker::AddDroppedProducts() {
  m_droppedProducts.clear();
  CInstallGroupInfo* group = m_installGroups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (!group) return true;
  CInstallGroupInfo counted;
  counted.SetUuid(group->GetUuid());
  // Products that cannot all be read keep the suite's record at the end of
  // the run, which then says why.
  if (!counted.FindInstalledMembers()) return true;
  std::vector<std::pair<std::wstring, std::wstring>> dropped;  // install time, key
  bool repair = Mode() == CCommandOptions::kModeRepair;
  for (const std::wstring& key : counted.GetMembers()) {
    if (m_state->m_products.FindByProductCode(key)) continue;
    // A repair takes in only a product that stands for one of the suite's
    // own; the others are the removal's.
    if (repair && !StandsForNamedProduct(key)) continue;
    if (!CInstallGroupInfo::IsProductCodeKey(key)) {
      WriteLog(L"Product %s (%s) lists suite %s among its users, and no product code is known to remove it by; the suite stays installed",
               key.c_str(), DisplayNameOf(key).c_str(), group->GetUuid().c_str());
      return false;
    }
    dropped.emplace_back(CRefCounter::ReadInstallDateTime(key), key);
  }
  std::stable_sort(dropped.begin(), dropped.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::unique_ptr<CProductData>> files;
  if (!dropped.empty()) files = ReadUnlistedProductFiles();
  for (const auto& entry : dropped) {
    std::unique_ptr<CProductData> product = MakeDroppedProduct(entry.second, &files);
    std::wstring name = product->GetName();
    std::wstring others = OtherUsersText(entry.second, group->GetUuid());
    std::wstring shownText = product->GetProductName().empty() ? name : product->GetProductName();
    const wchar_t* shown = shownText.c_str();
    if (repair) {
      WriteLog(L"   %s (product code %s) lists suite %s and replaced a product it names; it is repaired with the suite",
               shown, entry.second.c_str(), group->GetUuid().c_str());
    } else if (others.empty()) {
      WriteLog(L"   %s (product code %s) lists suite %s, which no longer names it; it is removed with the suite", shown,
               entry.second.c_str(), group->GetUuid().c_str());
    } else {
      // Other suites keep it: only this suite's reference goes.
      WriteLog(L"   %s (product code %s) lists suite %s, which no longer names it; it stays installed for the other "
               L"suites that use it (%s), and the suite releases its reference",
               shown, entry.second.c_str(), group->GetUuid().c_str(), others.c_str());
    }
    product->SetSelectionState(RemovalSelection());
    product->SetInstallGroup(group);
    group->AddMember(name);
    m_state->m_productCodes[name] = entry.second;
    m_state->m_products.SetAt(name, std::move(product));
    m_droppedProducts.push_back(name);
  }
  return true;
}

// A product whose package's upgrade removed one the configuration names.
bool CWorker::StandsForNamedProduct(const std::wstring& key) const {
  for (const std::wstring& code : CRefCounter::ReadReplacedProducts(key)) {
    if (m_state->m_products.FindByProductCode(code)) return true;
  }
  return false;
}

// The product files in the installed suite's cache whose products this
// configuration does not name, read as those of the named ones are.
std::vector<std::unique_ptr<CProductData>> CWorker::ReadUnlistedProductFiles() {
  std::vector<std::unique_ptr<CProductData>> products;
  std::wstring folder = InstalledSuiteCacheFolder(*m_configuration);
  if (folder.empty()) return products;
  for (const std::wstring& name : ListFolderEntries(folder, kProductFilePattern, false)) {
    if (EqualsNoCase(name, kCachedConfigurationName) || !EndsWith(ToLower(name), kProductFileExtension)) continue;
    std::wstring key = name.substr(0, name.size() - wcslen(kProductFileExtension));
    if (m_productList.Contains(key) || m_state->m_products.Lookup(key)) continue;
    std::unique_ptr<CProductData> product(new CProductData(key));
    if (LoadCachedProductFile(key, product.get(), {folder}) && !product->GetProductCode().empty()) {
      products.push_back(std::move(product));
    }
  }
  return products;
}

// From the product file that names the code, else from the code's own
// Uninstall entry.
std::unique_ptr<CProductData> CWorker::MakeDroppedProduct(const std::wstring& key,
                                                          std::vector<std::unique_ptr<CProductData>>* files) {
  for (auto it = files->begin(); it != files->end(); ++it) {
    if (!EqualsNoCase((*it)->GetProductCode(), key)) continue;
    std::unique_ptr<CProductData> product = std::move(*it);
    files->erase(it);
    return product;
  }
  std::unique_ptr<CProductData> product(new CProductData(key));
  product->SetProductCode(key);
  product->SetProductName(DisplayNameOf(key));
  return product;
}
