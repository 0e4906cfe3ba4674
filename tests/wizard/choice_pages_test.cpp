// choice_pages_test.cpp: the rules behind the setup type, install location
// and remove-previous pages: what each setup type does to the products'
// choices, which typed folders are refused and why, and how removal
// records become the page's items and take its marks back.
#include <memory>

#include "engine/product_data_map.h"
#include "gtest/gtest.h"
#include "wizard/install_path_check.h"
#include "wizard/remove_list_item.h"
#include "wizard/setup_type_selection.h"

namespace {

// Alpha: selected, desktop shortcut offered off, quick launch hidden and
// on, feature Main on (Docs below it off). Beta: mandatory and off.
void AddProducts(CProductDataMap* products) {
  std::unique_ptr<CProductData> alpha(new CProductData(L"Alpha"));
  alpha->SetProductName(L"Alpha Editor");
  alpha->GetSelection()->SetCurrent(true, false);
  alpha->GetDesktopIconState()->SetHidden(false);
  alpha->GetDesktopIconState()->SetCurrent(false, false);
  alpha->GetQuickLaunchIconState()->SetCurrent(true, false);
  std::unique_ptr<CFeatureList> features(new CFeatureList);
  for (const wchar_t* id : {L"Main", L"Docs"}) {
    std::unique_ptr<CFeatureData> feature(new CFeatureData);
    feature->SetFeatureId(id);
    feature->SetParentId(id == std::wstring(L"Docs") ? L"Main" : L"");
    feature->GetSelection().SetCurrent(id == std::wstring(L"Main"), false);
    EXPECT_TRUE(features->AddFeature(feature));
  }
  alpha->SetFeatures(std::move(features));
  products->SetAt(L"Alpha", std::move(alpha));
  std::unique_ptr<CProductData> beta(new CProductData(L"Beta"));
  beta->SetProductName(L"Beta Viewer");
  beta->GetSelection()->SetCurrent(false, false);
  beta->GetSelection()->SetLocked(true);
  products->SetAt(L"Beta", std::move(beta));
}

struct CChoices {
  bool alpha, desktop, quickLaunch, main, docs, beta;
};

CChoices Read(const CProductDataMap& products) {
  const CProductData& alpha = *products.Lookup(L"Alpha");
  CFeatureList& features = *alpha.GetFeatures();
  return {alpha.GetSelection()->IsCurrent(), alpha.GetDesktopIconState()->IsCurrent(),
          alpha.GetQuickLaunchIconState()->IsCurrent(), features.FindById(L"Main")->IsSelected(),
          features.FindById(L"Docs")->IsSelected(), products.Lookup(L"Beta")->GetSelection()->IsCurrent()};
}

}  // namespace

TEST(CSetupTypeSelectionTest, EachTypeSetsEveryChoiceButTheHiddenShortcuts) {
  CProductDataMap products;
  AddProducts(&products);
  const CChoices initial = {true, false, true, true, false, false};
  struct Step {
    const char* name;
    void (*apply)(CProductDataMap&);
    CChoices expected;
  };
  const Step kSteps[] = {
      // The mandatory product is selected too; the hidden quick launch keeps its value.
      {"complete", SelectEverything, {true, true, true, true, true, true}},
      {"custom after complete", RestoreInitialSelections, initial},
      {"remove", ClearSelectionsForMaintenance, {false, false, true, false, false, false}},
      {"custom after remove", RestoreInitialSelections, initial},
  };
  for (const Step& step : kSteps) {
    step.apply(products);
    CChoices got = Read(products);
    const CChoices& want = step.expected;
    EXPECT_EQ(want.alpha, got.alpha) << step.name;
    EXPECT_EQ(want.desktop, got.desktop) << step.name;
    EXPECT_EQ(want.quickLaunch, got.quickLaunch) << step.name;
    EXPECT_EQ(want.main, got.main) << step.name;
    EXPECT_EQ(want.docs, got.docs) << step.name;
    EXPECT_EQ(want.beta, got.beta) << step.name;
  }
}

TEST(CInstallPathCheckTest, RefusesByLengthThenDriveThenCharacters) {
  // C: fixed, D: a CD, N: a network drive; anything else has no root
  // (Wine's answer for a share too).
  DriveTypeFunction drives = [](const std::wstring& root) -> unsigned int {
    if (root == L"C:\\") return 3;
    if (root == L"D:\\") return 5;
    if (root == L"N:\\") return 4;
    return 1;
  };
  struct Case {
    std::wstring path;
    EInstallPathProblem problem;
    const wchar_t* root;
  };
  const Case kCases[] = {
      {L"", kInstallPathBadLength, L""},
      {L"C:\\" + std::wstring(257, L'a'), kInstallPathFine, L"C:\\"},
      {L"C:\\" + std::wstring(258, L'a'), kInstallPathBadLength, L""},
      {L"C:\\Program Files\\Tamsa\\Suite", kInstallPathFine, L"C:\\"},
      {L"C:", kInstallPathFine, L"C:\\"},
      {L"D:\\Suite", kInstallPathBadDrive, L"D:\\"},
      {L"N:\\Suite", kInstallPathBadDrive, L"N:\\"},
      {L"Q:\\Suite", kInstallPathBadDrive, L"Q:\\"},
      {L"\\\\server\\share\\Suite", kInstallPathBadDrive, L"\\\\server\\share\\"},
      {L"\\\\server\\share", kInstallPathBadDrive, L"\\\\server\\share\\"},
      {L"Suite", kInstallPathBadDrive, L"Suite\\"},
      // The drive is judged before the names.
      {L"Q:\\Bad|Name", kInstallPathBadDrive, L"Q:\\"},
      {L"C:\\Bad|Name\\Suite", kInstallPathBadCharacter, L"C:\\"},
      {L"C:\\a:b", kInstallPathBadCharacter, L"C:\\"},
      {L"C:\\a/b", kInstallPathBadCharacter, L"C:\\"},
      {L"C:\\a*b", kInstallPathBadCharacter, L"C:\\"},
      {L"C:\\a?b", kInstallPathBadCharacter, L"C:\\"},
      {L"C:\\a\"b", kInstallPathBadCharacter, L"C:\\"},
      {L"C:\\a<b", kInstallPathBadCharacter, L"C:\\"},
      {L"C:\\a>b", kInstallPathBadCharacter, L"C:\\"},
  };
  for (const Case& c : kCases) {
    CInstallPathCheck check = CheckInstallPath(c.path, drives);
    EXPECT_EQ(c.problem, check.problem) << c.path.size() << " " << std::string(c.path.begin(), c.path.end());
    EXPECT_EQ(c.root, check.root) << std::string(c.path.begin(), c.path.end());
  }
}

namespace {

CProductRemovalData Record(const wchar_t* display, const wchar_t* product, bool locked, bool shown = true,
                           bool marked = true) {
  CProductRemovalData record;
  record.SetDisplayText(display);
  record.SetDetailA((std::wstring(product) + L" 1.0").c_str());
  record.SetDetailB(product);
  record.SetChecked(marked ? 1 : 0);
  record.SetLocked(locked ? 1 : 0);
  record.SetShowDetails(shown ? 1 : 0);
  return record;
}

// Three products: Alpha and Beta are being installed, Gamma is not, Delta's
// package is on the machine already.
void AddRemovalProducts(CProductDataMap* products) {
  for (const wchar_t* name : {L"Alpha", L"Beta", L"Gamma", L"Delta"}) {
    std::unique_ptr<CProductData> product(new CProductData(name));
    product->SetProductName(name);
    product->GetSelection()->SetCurrent(name != std::wstring(L"Gamma"), false);
    product->SetSamePackageInstalled(name == std::wstring(L"Delta"));
    products->SetAt(name, std::move(product));
  }
}

}  // namespace

TEST(CRemoveListItemTest, RecordsMergeIntoOneItemPerProgram) {
  CProductDataMap products;
  AddRemovalProducts(&products);
  const CProductRemovalDataList records = {
      // Optional for Alpha, then required for Beta: required, for Beta only.
      Record(L"Old Tool 1.0", L"Alpha", false),
      Record(L"Old Tool 1.0", L"Beta", true),
      // Required for Alpha; an optional record after it adds nothing.
      Record(L"Old Viewer", L"Alpha", true),
      Record(L"Old Viewer", L"Beta", false),
      // Advised by both, unmarked by one: listed for both, still marked.
      Record(L"Helper", L"Beta", false, true, false),
      Record(L"Helper", L"Alpha", false),
      Record(L"Helper", L"Alpha", false),
      // Names differing in case are different programs; a silent one is not shown.
      Record(L"helper", L"Alpha", false, false, false),
      // Products not being installed, unknown or already there ask for nothing.
      Record(L"Gamma Thing", L"Gamma", true),
      Record(L"Delta Thing", L"Delta", true),
      Record(L"Nobody's Thing", L"Nobody", true),
  };
  CRemoveList items = BuildRemoveItemList(products, records);
  struct Expected {
    const wchar_t* name;
    bool checked, locked, shown;
    std::vector<std::wstring> products;
  };
  const Expected kExpected[] = {
      {L"Old Tool 1.0", true, true, true, {L"Beta 1.0"}},
      {L"Old Viewer", true, true, true, {L"Alpha 1.0"}},
      {L"Helper", true, false, true, {L"Beta 1.0", L"Alpha 1.0"}},
      {L"helper", false, false, false, {L"Alpha 1.0"}},
  };
  ASSERT_EQ(sizeof(kExpected) / sizeof(kExpected[0]), items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    const Expected& want = kExpected[i];
    const CRemoveListItem& got = items[i];
    EXPECT_EQ(want.name, got.GetName());
    EXPECT_EQ(want.checked, got.IsChecked()) << i;
    EXPECT_EQ(want.locked, got.IsLocked()) << i;
    EXPECT_EQ(want.shown, got.IsShown()) << i;
    EXPECT_EQ(want.products, got.GetProducts()) << i;
  }
  EXPECT_EQ(&items[2], FindRemoveItem(items, L"Helper"));
  EXPECT_EQ(nullptr, FindRemoveItem(items, L"HELPER"));
}

TEST(CRemoveListItemTest, MarksGoBackToEveryRecordOfTheNameAndRequiredOnesStay) {
  CProductDataMap products;
  AddRemovalProducts(&products);
  CProductRemovalDataList records = {
      Record(L"Helper", L"Alpha", false), Record(L"Helper", L"Beta", false),
      Record(L"Old Tool", L"Alpha", true), Record(L"helper", L"Alpha", false),
  };
  CRemoveList items = BuildRemoveItemList(products, records);
  for (CRemoveListItem& item : items) item.SetChecked(false);
  SaveRemoveSelections(items, &records);
  EXPECT_EQ(0, records[0].IsChecked());
  EXPECT_EQ(0, records[1].IsChecked());
  EXPECT_EQ(1, records[2].IsChecked()) << "a required removal stays marked";
  EXPECT_EQ(0, records[3].IsChecked());

  // The next visit reads the marks back.
  CRemoveList again = BuildRemoveItemList(products, records);
  EXPECT_FALSE(again[0].IsChecked());
  EXPECT_TRUE(again[1].IsChecked());
}
