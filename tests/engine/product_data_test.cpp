// product_data_test.cpp: a product's initial state, costs, copies and the
// shortcut and template rules.
#include "engine/product_data.h"

#include <cmath>
#include <memory>

#include "gtest/gtest.h"

namespace {

class CFixedRelation : public CRelation {
 public:
  CFixedRelation(const std::wstring& source, const std::wstring& target, bool result)
      : CRelation(source, target), m_result(result) {}
  bool Evaluate() const override { return m_result; }
  std::unique_ptr<CRelation> Clone() const override {
    return std::unique_ptr<CRelation>(new CFixedRelation(*this));
  }

 private:
  bool m_result;
};

std::unique_ptr<CFeatureData> MakeFeature(const wchar_t* id, const wchar_t* parent, double cost) {
  std::unique_ptr<CFeatureData> feature(new CFeatureData);
  feature->SetFeatureId(id);
  feature->SetParentId(parent);
  feature->SetCost(cost);
  feature->GetSelection().SetCurrent(true, false);
  return feature;
}

// Cost 100 with features Main 30 (> Docs 20) and Extras 10: base 40.
std::unique_ptr<CProductData> MakeProduct() {
  std::unique_ptr<CProductData> product(new CProductData(L"Alpha"));
  std::unique_ptr<CFeatureList> features(new CFeatureList);
  std::unique_ptr<CFeatureData> main = MakeFeature(L"Main", L"", 30.0);
  std::unique_ptr<CFeatureData> docs = MakeFeature(L"Docs", L"Main", 20.0);
  std::unique_ptr<CFeatureData> extras = MakeFeature(L"Extras", L"", 10.0);
  EXPECT_TRUE(features->AddFeature(main));
  EXPECT_TRUE(features->AddFeature(docs));
  EXPECT_TRUE(features->AddFeature(extras));
  product->SetFeatures(std::move(features));
  product->SetCost(100.0);
  product->GetSelection()->SetCurrent(true, false);
  return product;
}

}  // namespace

TEST(CProductDataTest, ANewProductIsEmptyWithHiddenShortcutChoices) {
  CProductData product(L"Alpha");
  EXPECT_EQ(L"Alpha", product.GetName());
  EXPECT_EQ(L"Alpha", product.GetRelations()->GetOwnerName());
  EXPECT_EQ(L"", product.GetGroup());
  EXPECT_EQ(-1, product.GetVersion()->GetLastPartIndex());
  EXPECT_FALSE(product.GetSelection()->IsInitialised());
  EXPECT_FALSE(product.GetSelection()->IsHidden());
  EXPECT_TRUE(product.GetDesktopIconState()->IsHidden());
  EXPECT_TRUE(product.GetQuickLaunchIconState()->IsHidden());
  EXPECT_TRUE(product.GetFeatures()->IsEmpty());
  EXPECT_EQ(0.0, product.GetSelectedCost());
  product.SetName(L"Beta");
  EXPECT_EQ(L"Beta", product.GetRelations()->GetOwnerName());
}

TEST(CProductDataTest, BaseCostIsWhatTheFeaturesDoNotAccountFor) {
  std::unique_ptr<CProductData> product = MakeProduct();
  EXPECT_EQ(40.0, product->GetBaseCost());
  EXPECT_EQ(100.0, product->GetSelectedCost());
  product->GetFeatures()->FindById(L"Main")->GetSelection().SetCurrent(false, false);
  EXPECT_EQ(50.0, product->GetSelectedCost());  // Main and the Docs below it
  product->GetSelection()->SetCurrent(false, false);
  EXPECT_EQ(0.0, product->GetSelectedCost());
  product->SetCost(45.0);  // less than the features' sum
  EXPECT_EQ(0.0, product->GetBaseCost());
  product->SetCost(std::nan(""));
  EXPECT_EQ(0.0, product->GetBaseCost());
}

TEST(CProductDataTest, AssignmentCopiesDeeplyAndIsSafeOnItself) {
  std::unique_ptr<CProductData> original = MakeProduct();
  original->SetProductCode(L"{P}");
  original->SetPackageName(L"alpha.msi");
  original->SetPackagePath(L"C:\\kit\\alpha.msi");
  original->UpdatePackageFolder();
  original->SetTemplate(L"x64;1033");
  original->GetVersion()->Parse(L"3.58.94");
  original->GetRelations()->Add(std::unique_ptr<CRelation>(new CFixedRelation(L"Alpha", L"Beta", true)));
  CProductData copy(L"other");
  copy = *original;
  EXPECT_EQ(L"Alpha", copy.GetName());
  EXPECT_EQ(L"{P}", copy.GetProductCode());
  EXPECT_EQ(L"C:\\kit\\alpha.msi", copy.GetPackagePath());
  EXPECT_EQ(L"3.58.94", copy.GetVersion()->ToString());
  EXPECT_TRUE(copy.Is64Bit());
  EXPECT_EQ(100.0, copy.GetCost());
  EXPECT_EQ(40.0, copy.GetBaseCost());
  EXPECT_EQ(1u, copy.GetRelations()->GetCount());
  // Not carried over by a copy.
  EXPECT_EQ(L"", copy.GetPackageName());
  EXPECT_EQ(L"", copy.GetPackageFolder());
  EXPECT_EQ(L"", copy.GetTemplate());
  EXPECT_NE(original->GetFeatures(), copy.GetFeatures());
  EXPECT_NE(original->GetVersion(), copy.GetVersion());
  original.reset();
  EXPECT_EQ(30.0, copy.GetFeatures()->FindById(L"Main")->GetCost());
  EXPECT_EQ(copy.GetFeatures()->FindById(L"Main"), copy.GetFeatures()->FindById(L"Docs")->GetParent());

  const CProductData& same = copy;
  copy = same;
  EXPECT_EQ(L"{P}", copy.GetProductCode());
  ASSERT_NE(nullptr, copy.GetFeatures());
  EXPECT_EQ(2u, copy.GetFeatures()->GetCount());
  EXPECT_EQ(1u, copy.GetRelations()->GetCount());
}

TEST(CProductDataTest, SettersTakeOwnershipAndKeepTheSameObject) {
  CProductData product(L"Alpha");
  std::unique_ptr<CSelectionState> state(new CSelectionState);
  state->SetLocked(true);
  CSelectionState* raw = state.get();
  product.SetSelectionState(std::move(state));
  EXPECT_EQ(raw, product.GetSelection());
  product.SetSelectionState(std::unique_ptr<CSelectionState>(raw));  // the same object
  EXPECT_EQ(raw, product.GetSelection());
  EXPECT_TRUE(product.GetSelection()->IsLocked());
  product.SetDesktopIconState(std::unique_ptr<CSelectionState>(new CSelectionState));
  EXPECT_FALSE(product.GetDesktopIconState()->IsHidden());
}

TEST(CProductDataTest, PackageFolderIsThePathWithoutItsFileName) {
  CProductData product(L"Alpha");
  const struct {
    const wchar_t* path;
    const wchar_t* folder;
  } kCases[] = {
      {L"C:\\kit\\P\\alpha.msi", L"C:\\kit\\P"},
      {L"alpha.msi", L""},
      {L"", L""},
      {L"\\\\server\\share\\alpha.msi", L"\\\\server\\share"},
  };
  for (const auto& c : kCases) {
    product.SetPackagePath(c.path);
    product.UpdatePackageFolder();
    EXPECT_EQ(c.folder, product.GetPackageFolder()) << c.path;
  }
  // Long paths are not cut at the old 260-character limit.
  std::wstring folder = L"C:\\" + std::wstring(300, L'a');
  product.SetPackagePath(folder + L"\\alpha.msi");
  product.UpdatePackageFolder();
  EXPECT_EQ(folder, product.GetPackageFolder());
}

TEST(CProductDataTest, ShortcutOptionsFollowTheirValue) {
  const struct {
    bool offered;
    const wchar_t* value;
    bool set;
    bool hidden;
  } kCases[] = {
      {true, L"always", true, true},  {true, L"ALWAYS", true, true}, {true, L"never", false, true},
      {true, L"Never", false, true},  {true, L"1", true, false},     {true, L"0", false, false},
      {true, L"yes", false, false},   {true, L"", false, false},     {false, L"always", false, true},
      {false, L"1", false, true},
  };
  for (const auto& c : kCases) {
    CSelectionState state;
    SetShortcutOption(&state, c.offered, c.value);
    EXPECT_EQ(c.set, state.IsCurrent()) << c.offered << c.value;
    EXPECT_EQ(c.hidden, state.IsHidden()) << c.offered << c.value;
    EXPECT_TRUE(state.IsInitialised());
  }
}

TEST(CProductDataTest, TemplatesOf64BitPlatforms) {
  EXPECT_TRUE(Is64BitTemplate(L"Intel64;1033"));
  EXPECT_TRUE(Is64BitTemplate(L"AMD64;1033"));
  EXPECT_TRUE(Is64BitTemplate(L"x64;1031"));
  EXPECT_FALSE(Is64BitTemplate(L"Intel;1033"));
  EXPECT_FALSE(Is64BitTemplate(L"X64;1033"));  // case-sensitive
  EXPECT_FALSE(Is64BitTemplate(L""));
}

TEST(CRelationListTest, OnlyTheOwnersOwnRelationsMustHold) {
  CRelationList list;
  list.SetOwnerName(L"A");
  EXPECT_TRUE(list.IsSatisfied());
  list.Add(std::unique_ptr<CRelation>(new CFixedRelation(L"B", L"A", false)));  // B's requirement
  EXPECT_TRUE(list.IsSatisfied());
  list.Add(std::unique_ptr<CRelation>(new CFixedRelation(L"A", L"C", true)));
  EXPECT_TRUE(list.IsSatisfied());
  list.Add(std::unique_ptr<CRelation>(new CFixedRelation(L"a", L"D", false)));  // exact names
  EXPECT_TRUE(list.IsSatisfied());
  list.Add(std::unique_ptr<CRelation>(new CFixedRelation(L"A", L"D", false)));
  EXPECT_FALSE(list.IsSatisfied());
  list.Add(nullptr);
  CRelationList copy(list);
  EXPECT_EQ(L"A", copy.GetOwnerName());
  ASSERT_EQ(5u, copy.GetCount());
  EXPECT_EQ(nullptr, copy[4]);
  EXPECT_NE(list[0], copy[0]);
  const CRelationList& same = copy;
  copy = same;
  EXPECT_EQ(5u, copy.GetCount());
  copy.Clear();
  EXPECT_EQ(L"", copy.GetOwnerName());
  EXPECT_EQ(0u, copy.GetCount());
}
