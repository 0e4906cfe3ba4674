// product_selection_test.cpp: the action lists of an install and of an
// uninstall trimmed to the selection, with products (and the ones that
// require them) taken out of the run during the walk.
#include "engine/product_selection.h"

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "actions/command_options.h"
#include "engine/product_list.h"
#include "engine/setup_state.h"
#include "foundation/kw_ini_file.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

class CStubAction : public CSetupAction {
 public:
  explicit CStubAction(const std::wstring& key) : CSetupAction(0, key, key, key) {}
  DWORD Execute() override { return 0; }
};

struct Product {
  const wchar_t* key;
  const char* flags;  // s selected, m Mandatory, p same package installed, x a declined offer,
                      // i installed, f an installed feature deselected, o out of the run
  const wchar_t* requires;  // leaves the run with it (an install only)
  const wchar_t* outcome;   // its own list, V(erify), I(nstall), S(hutdown), run: still in it
};

// Each product has an action in its own list and in the three shared ones;
// "INSTALL_ACTIONS" also holds one of key "a", which is not A's. The product
// is taken out of the run as the worker's DisableProduct does.
void Check(const std::vector<Product>& products, int mode, int uiLevel,
           const std::vector<std::wstring>& disabledOrder, CSetupState* state = nullptr,
           bool* keepsProducts = nullptr) {
  CSetupState ownState;
  if (!state) state = &ownState;
  CTestFolder folder;
  std::string keys;
  for (const Product& p : products) {
    if (!strchr(p.flags, 'o')) keys += (keys.empty() ? "" : ",") + WideToUtf8(p.key);
  }
  WriteFileBytes(folder.File(L"SETUP.DCF"), "[Setup]\r\nProducts=" + keys + "\r\n");
  CKwIniFile configuration;
  configuration.Init(false);
  configuration.LoadFrom(folder.File(L"SETUP.DCF"));
  CProductList productList;
  CProductDataMap scratch;
  ASSERT_TRUE(productList.Parse(configuration, &scratch));
  CActionListMap lists;
  std::map<std::wstring, std::vector<std::wstring>> dependents;
  for (const Product& p : products) {
    state->m_products.SetAt(p.key, std::unique_ptr<CProductData>(new CProductData(p.key)));
    CProductData* data = state->m_products.Lookup(p.key);
    data->SetProductCode(strchr(p.flags, 'i') ? L"{I}" : L"{N}");
    data->SetSamePackageInstalled(strchr(p.flags, 'p') != nullptr);
    data->GetSelection()->SetCurrent(strchr(p.flags, 's') != nullptr, false);
    data->GetSelection()->SetLocked(strchr(p.flags, 'm') != nullptr);
    std::unique_ptr<CFeatureData> feature(new CFeatureData);
    feature->SetFeatureId(L"Main");
    feature->GetSelection().SetCurrent(!strchr(p.flags, 'f'), false);
    feature->SetInstalled(strchr(p.flags, 'f') != nullptr);
    data->SetFeatures(std::unique_ptr<CFeatureList>(new CFeatureList));
    data->GetFeatures()->AddFeature(feature);
    if (strchr(p.flags, 'x')) state->m_excludedOfferProducts.push_back(p.key);
    if (*p.requires) dependents[p.requires].push_back(p.key);
    for (std::wstring list : {std::wstring(p.key), std::wstring(L"VERIFY_ACTIONS"), std::wstring(L"INSTALL_ACTIONS"),
                              std::wstring(L"SHUTDOWN_ACTIONS")}) {
      CSetupActionList::GetOrCreate(&lists, list)->Append(std::unique_ptr<CSetupAction>(new CStubAction(p.key)));
    }
  }
  CSetupActionList::GetOrCreate(&lists, L"INSTALL_ACTIONS")->Append(std::unique_ptr<CSetupAction>(new CStubAction(L"a")));

  std::vector<std::wstring> disabled;
  std::function<void(const std::wstring&)> disable = [&](const std::wstring& key) {
    disabled.push_back(key);
    productList.Remove(key);
    state->m_products.RemoveKey(key);
    state->m_excludedOfferProducts.push_back(key);
    if (mode == CCommandOptions::kModeUninstall) return;
    for (const std::wstring& dependent : dependents[key]) {
      if (productList.Contains(dependent)) disable(dependent);
    }
  };
  std::vector<std::unique_ptr<CSetupAction>> retired;
  CProductSelection selection(state, productList, &lists, &retired, disable,
                              [](const std::wstring& code) { return code == L"{I}"; });
  selection.ApplyProductSelection(mode, uiLevel);
  if (keepsProducts) *keepsProducts = selection.KeepsProducts();

  auto outcome = [&](const std::wstring& key) {
    std::wstring text;
    for (std::wstring list : {key, std::wstring(L"V"), std::wstring(L"I"), std::wstring(L"S")}) {
      const wchar_t* name = list == L"V" ? L"VERIFY_ACTIONS" : list == L"I" ? L"INSTALL_ACTIONS"
                            : list == L"S" ? L"SHUTDOWN_ACTIONS" : key.c_str();
      CSetupActionList* found = CSetupActionList::Find(lists, name);
      if (!found) continue;
      for (const auto& action : *found) {
        if (action->GetKeyName() == key) text += (list == key ? L"own" : list) + L" ";
      }
    }
    return text + (productList.Contains(key) ? L"run" : L"");
  };
  for (const Product& p : products) EXPECT_EQ(p.outcome, outcome(p.key)) << WideToUtf8(p.key);
  EXPECT_EQ(L"I ", outcome(L"a"));
  EXPECT_EQ(disabledOrder, disabled);
  size_t left = 0;
  for (const auto& entry : lists) left += entry.second->GetCount();
  EXPECT_EQ(products.size() * 4 + 1, left + retired.size());  // nothing destroyed
}

}  // namespace

TEST(CProductSelectionTest, AnInstallKeepsOnlyTheActionsOfProductsToInstall) {
  Check({{L"A", "s", L"", L"own V I S run"},
         {L"B", "sp", L"", L"I S run"},  // same package installed
         {L"C", "", L"", L""},           // deselected
         {L"D", "sx", L"", L""},         // a declined offer
         {L"E", "s", L"C", L""},         // requires C, walked after C left
         {L"F", "s", L"G", L""},         // ...and transitively
         {L"G", "s", L"E", L""},
         {L"H", "s", L"D", L""},         // requires the offer
         {L"Gone", "o", L"", L"own V I S "}},  // disabled before: not touched
        CCommandOptions::kModeNone, CCommandOptions::kUILevelNone, {L"C", L"E", L"G", L"F", L"D", L"H"});
}

TEST(CProductSelectionTest, AnUninstallWithChoicesTakesOutWhatNeedsNothing) {
  bool keeps = false;
  Check({{L"A", "si", L"", L"V S "},              // kept whole: nothing to do
         {L"B", "sif", L"", L"own V I S run"},    // an installed feature to remove
         {L"D", "", L"", L"own V S run"},         // to remove, not installed
         {L"F", "i", L"", L"own V I S run"},      // to remove, installed
         {L"G", "i", L"A", L"own V I S run"}},    // an uninstall takes nothing along
        CCommandOptions::kModeUninstall, CCommandOptions::kUILevelFull, {L"A"}, nullptr, &keeps);
  EXPECT_TRUE(keeps);
  // Everything unchecked: the whole suite goes.
  Check({{L"F", "i", L"", L"own V I S run"}}, CCommandOptions::kModeUninstall, CCommandOptions::kUILevelFull, {},
        nullptr, &keeps);
  EXPECT_FALSE(keeps);
}

TEST(CProductSelectionTest, AQuietUninstallDeselectsEverythingAndKeepsTheLists) {
  CSetupState state;
  bool keeps = true;
  Check({{L"A", "sim", L"", L"own V I S run"},  // Mandatory
         {L"B", "", L"", L"own V I S run"}},
        CCommandOptions::kModeUninstall, CCommandOptions::kUILevelReduced, {}, &state, &keeps);
  EXPECT_FALSE(keeps);
  EXPECT_FALSE(state.m_products.Lookup(L"A")->GetSelection()->IsCurrent());
  EXPECT_FALSE(state.m_products.Lookup(L"A")->GetFeatures()->FindById(L"Main")->IsSelected());
  EXPECT_EQ(SetupTypeRemove, state.m_setupType);
}
