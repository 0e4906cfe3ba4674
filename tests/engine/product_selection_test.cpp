// product_selection_test.cpp: the action lists of an install and of an
// uninstall trimmed to the selection, product by product, with products
// taken out of the run (and the ones that require them) during the walk.
#include "engine/product_selection.h"

#include <windows.h>

#include <map>
#include <memory>
#include <set>
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
  bool selected;
  bool samePackageInstalled;
  bool excluded;           // an offer product not to be installed
  const wchar_t* code;     // installed when it starts with "{I"
  bool deselectedFeature;  // one feature deselected...
  bool featureInstalled;   // ...and installed on the machine
  const wchar_t* requires;  // leaves the run with this one (an install only)
  const wchar_t* outcome;   // own list, V(erify), I(nstall), S(hutdown), "run" when still in it
};

// Every product has one action in its own list and in each of the three
// shared lists; "INSTALL_ACTIONS" also holds one of key "a", which is not A.
class CSelectionWorld {
 public:
  CSelectionWorld(const std::vector<Product>& products, bool inRunAll = true) {
    std::string keys;
    for (const Product& p : products) {
      if (!inRunAll && !p.selected && !p.excluded && std::wstring(p.outcome).find(L"run") == std::wstring::npos)
        continue;
      keys += (keys.empty() ? "" : ",") + WideToUtf8(p.key);
    }
    WriteFileBytes(folder.File(L"SETUP.DCF"), "[Setup]\r\nProducts=" + keys + "\r\n");
    configuration.Init(false);
    configuration.LoadFrom(folder.File(L"SETUP.DCF"));
    CProductDataMap scratch;
    EXPECT_TRUE(productList.Parse(configuration, &scratch));
    for (const Product& p : products) {
      std::unique_ptr<CProductData> product(new CProductData(p.key));
      product->SetProductCode(p.code);
      product->SetSamePackageInstalled(p.samePackageInstalled);
      product->GetSelection()->SetCurrent(p.selected, false);
      std::unique_ptr<CFeatureList> features(new CFeatureList);
      std::unique_ptr<CFeatureData> feature(new CFeatureData);
      feature->SetFeatureId(L"Main");
      feature->GetSelection().SetCurrent(!p.deselectedFeature, false);
      feature->SetInstalled(p.featureInstalled);
      features->AddFeature(feature);
      product->SetFeatures(std::move(features));
      state.m_products.SetAt(p.key, std::move(product));
      if (p.excluded) state.m_excludedOfferProducts.push_back(p.key);
      if (*p.requires) dependents[p.requires].push_back(p.key);
      CSetupActionList::GetOrCreate(&lists, p.key)->Append(Stub(p.key));
      for (const wchar_t* list : {L"VERIFY_ACTIONS", L"INSTALL_ACTIONS", L"SHUTDOWN_ACTIONS"}) {
        CSetupActionList::GetOrCreate(&lists, list)->Append(Stub(p.key));
      }
    }
    CSetupActionList::GetOrCreate(&lists, L"INSTALL_ACTIONS")->Append(Stub(L"a"));
  }

  // What the worker's DisableProduct does to the structures the selection
  // reads: out of the list and the map, and in an install its dependents.
  void Apply(int mode, int uiLevel) {
    auto disable = [&](const std::wstring& key, auto& self) -> void {
      disabled.push_back(key);
      productList.Remove(key);
      state.m_products.RemoveKey(key);
      state.m_excludedOfferProducts.push_back(key);
      if (mode == CCommandOptions::kModeUninstall) return;
      for (const std::wstring& dependent : dependents[key]) {
        if (productList.Contains(dependent)) self(dependent, self);
      }
    };
    CProductSelection selection(
        &state, productList, &lists, &retired, [&](const std::wstring& key) { disable(key, disable); },
        [](const std::wstring& code) { return StartsWith(code, L"{I"); });
    selection.ApplyProductSelection(mode, uiLevel);
  }

  std::wstring Outcome(const std::wstring& key) const {
    std::wstring text;
    auto holds = [&](const wchar_t* list) {
      CSetupActionList* found = CSetupActionList::Find(lists, list);
      if (!found) return false;
      for (const auto& action : *found) {
        if (action->GetKeyName() == key) return true;
      }
      return false;
    };
    if (holds(key.c_str())) text += L"own ";
    if (holds(L"VERIFY_ACTIONS")) text += L"V ";
    if (holds(L"INSTALL_ACTIONS")) text += L"I ";
    if (holds(L"SHUTDOWN_ACTIONS")) text += L"S ";
    if (productList.Contains(key)) text += L"run";
    return text;
  }

  void Check(const std::vector<Product>& products) const {
    for (const Product& p : products) EXPECT_EQ(p.outcome, Outcome(p.key)) << WideToUtf8(p.key);
    EXPECT_EQ(L"I ", Outcome(L"a"));  // not A's: keys are exact
  }

  CTestFolder folder;
  CKwIniFile configuration;
  CSetupState state;
  CProductList productList;
  CActionListMap lists;
  CSetupActionList retired;
  std::map<std::wstring, std::vector<std::wstring>> dependents;
  std::vector<std::wstring> disabled;

 private:
  static std::unique_ptr<CSetupAction> Stub(const std::wstring& key) {
    return std::unique_ptr<CSetupAction>(new CStubAction(key));
  }
};

size_t ActionCount(const CActionListMap& lists) {
  size_t count = 0;
  for (const auto& entry : lists) count += entry.second->GetCount();
  return count;
}

}  // namespace

TEST(CProductSelectionTest, AnInstallKeepsOnlyTheActionsOfProductsToInstall) {
  std::vector<Product> products = {
      {L"A", true, false, false, L"{A}", false, false, L"", L"own V I S run"},
      {L"B", true, true, false, L"{IB}", false, false, L"", L"I S run"},  // same package installed
      {L"C", false, false, false, L"{C}", false, false, L"", L""},       // deselected
      {L"D", true, false, true, L"{D}", false, false, L"", L""},         // excluded offer
      {L"E", true, false, false, L"{E}", false, false, L"C", L""},       // requires C, walked later
      {L"F", true, false, false, L"{F}", false, false, L"G", L""},       // requires E's dependent G
      {L"G", true, false, false, L"{G}", false, false, L"E", L""},
      {L"H", true, false, false, L"{H}", false, false, L"D", L""},       // requires the offer
  };
  CSelectionWorld world(products);
  size_t before = ActionCount(world.lists);
  world.Apply(CCommandOptions::kModeNone, CCommandOptions::kUILevelNone);
  world.Check(products);
  // Actions taken out live on until the selection's owner goes.
  EXPECT_EQ(before, ActionCount(world.lists) + world.retired.GetCount());
  EXPECT_EQ(nullptr, world.state.m_products.Lookup(L"E"));
  EXPECT_EQ(nullptr, world.state.m_products.Lookup(L"D"));
  // C was disabled once, by the first pass; D once, by the second.
  EXPECT_EQ((std::vector<std::wstring>{L"C", L"E", L"G", L"F", L"D", L"H"}), world.disabled);
}

TEST(CProductSelectionTest, AProductOutOfTheRunIsNotTouched) {
  std::vector<Product> products = {
      {L"A", true, false, false, L"{A}", false, false, L"", L"own V I S run"},
      {L"Gone", false, false, false, L"{G}", false, false, L"", L"own V I S "},
  };
  CSelectionWorld world(products, false);
  world.Apply(CCommandOptions::kModeInstall, CCommandOptions::kUILevelFull);
  world.Check(products);
  EXPECT_TRUE(world.disabled.empty());
}

TEST(CProductSelectionTest, AnUninstallWithChoicesTakesOutWhatStaysAndWhatIsNotThere) {
  std::vector<Product> products = {
      // kept with all its features: nothing to do for it
      {L"A", true, false, false, L"{IA}", false, false, L"", L"V S "},
      // one installed feature to remove: stays
      {L"B", true, false, false, L"{IB}", true, true, L"", L"own V I S run"},
      // the deselected feature is not installed: nothing to do
      {L"C", true, false, false, L"{IC}", true, false, L"", L"V S "},
      // to be removed but not installed
      {L"D", false, false, false, L"{D}", false, false, L"", L"own V S run"},
      {L"E", false, false, false, L"", false, false, L"", L"own V S run"},
      // to be removed, installed
      {L"F", false, false, false, L"{IF}", false, false, L"", L"own V I S run"},
      // requires A: an uninstall takes nothing else out with A
      {L"G", false, false, false, L"{IG}", false, false, L"A", L"own V I S run"},
  };
  CSelectionWorld world(products);
  world.Apply(CCommandOptions::kModeUninstall, CCommandOptions::kUILevelFull);
  world.Check(products);
  EXPECT_EQ((std::vector<std::wstring>{L"A", L"C"}), world.disabled);
}

TEST(CProductSelectionTest, AnUninstallWithoutChoicesDeselectsEverythingAndKeepsTheLists) {
  std::vector<Product> products = {
      {L"A", true, false, false, L"{IA}", false, false, L"", L"own V I S run"},
      {L"B", false, false, false, L"{B}", false, false, L"", L"own V I S run"},
  };
  CSelectionWorld world(products);
  world.state.m_products.Lookup(L"A")->GetSelection()->SetLocked(true);  // Mandatory
  world.Apply(CCommandOptions::kModeUninstall, CCommandOptions::kUILevelReduced);
  world.Check(products);
  for (const wchar_t* key : {L"A", L"B"}) {
    CProductData* product = world.state.m_products.Lookup(key);
    EXPECT_FALSE(product->GetSelection()->IsCurrent()) << WideToUtf8(key);
    EXPECT_FALSE(product->GetFeatures()->FindById(L"Main")->IsSelected()) << WideToUtf8(key);
  }
  EXPECT_EQ(SetupTypeRemove, world.state.m_setupType);
  EXPECT_TRUE(world.disabled.empty());
}
