// product_relation_test.cpp: relations read from the configuration into
// both products' lists, and whether a product's requirements are met by
// the target's selection, version and feature tree.
#include "engine/product_relation.h"

#include <windows.h>

#include <memory>
#include <string>

#include "engine/product_data.h"
#include "engine/setup_state.h"
#include "foundation/kw_ini_file.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

// The products A and B in a state, with the relations of the given
// configuration loaded for A (where they are declared).
class CRelationWorld {
 public:
  explicit CRelationWorld(const std::string& dcf, bool withTarget = true) {
    WriteFileBytes(folder.File(L"SETUP.DCF"), dcf);
    configuration.Init(false);
    configuration.LoadFrom(folder.File(L"SETUP.DCF"));
    Add(L"A");
    if (withTarget) Add(L"B");
    // B: Docs > Help, and Samples.
    if (withTarget) {
      std::unique_ptr<CFeatureList> features(new CFeatureList);
      for (auto ids : {std::make_pair(L"Docs", L""), std::make_pair(L"Help", L"Docs"),
                       std::make_pair(L"Samples", L"")}) {
        std::unique_ptr<CFeatureData> feature(new CFeatureData);
        feature->SetFeatureId(ids.first);
        feature->SetParentId(ids.second);
        feature->GetSelection().SetCurrent(true, false);
        EXPECT_TRUE(features->AddFeature(feature));
      }
      Product(L"B")->SetFeatures(std::move(features));
    }
    Product(L"A")->LoadRelationships(configuration, &state);
  }

  CProductData* Product(const wchar_t* key) const { return state.m_products.Lookup(key); }

  CTestFolder folder;
  CKwIniFile configuration;
  CSetupState state;

 private:
  void Add(const wchar_t* key) {
    std::unique_ptr<CProductData> product(new CProductData(key));
    product->SetName(key);
    product->GetSelection()->SetCurrent(true, false);
    state.m_products.SetAt(key, std::move(product));
  }
};

}  // namespace

TEST(CProductRelationTest, RelationsGoToBothProductsAndOnlyRequireKindsCount) {
  CRelationWorld world(
      "[Setup.A]\r\nRelationships=Require.Viewer, \"RequireFeature.Help\",Depends.X,,Require.Late\r\n"
      "[Relationship.A.Require.Viewer]\r\nSourceProduct=A\r\nTargetProduct=B\r\n"
      "TargetCusts=ENU,\"DEU\",,FRA\r\n"
      "[Relationship.A.RequireFeature.Help]\r\nSourceProduct=A\r\nTargetProduct=B\r\nFeatureId=Help\r\n"
      "[Relationship.A.Depends.X]\r\nSourceProduct=A\r\nTargetProduct=B\r\n"
      "[Relationship.A.Require.Late]\r\nSourceProduct=A\r\nTargetProduct=B\r\n");
  const CRelationList& a = *world.Product(L"A")->GetRelations();
  const CRelationList& b = *world.Product(L"B")->GetRelations();
  ASSERT_EQ(2u, a.GetCount());  // Depends.X ignored; the empty item ends the list
  ASSERT_EQ(2u, b.GetCount());
  EXPECT_EQ(L"Require.Viewer", a[0]->GetName());
  EXPECT_EQ(L"RequireFeature.Help", b[1]->GetName());
  EXPECT_NE(a[0], b[0]);  // each side owns its own copy
  const CProductRelation* viewer = dynamic_cast<const CProductRelation*>(a[0]);
  ASSERT_NE(nullptr, viewer);
  EXPECT_EQ(2u, viewer->GetTargetCustomizations().size());  // cut at the empty item
  EXPECT_EQ(L"DEU", viewer->GetTargetCustomizations()[1]);
  const CFeatureRelation* help = dynamic_cast<const CFeatureRelation*>(b[1]);
  ASSERT_NE(nullptr, help);
  EXPECT_EQ(L"Help", help->GetFeatureId());
  EXPECT_EQ(&world.state, help->GetSetupState());

  // Loading A again (a cached product file) adds no second copy.
  world.Product(L"A")->LoadRelationships(world.configuration, &world.state);
  EXPECT_EQ(2u, world.Product(L"B")->GetRelations()->GetCount());

  // B holds the relations as the required side: they do not bind B.
  EXPECT_TRUE(b.IsSatisfied());
  EXPECT_TRUE(a.IsSatisfied());
  world.Product(L"B")->GetSelection()->SetCurrent(false, false);
  EXPECT_FALSE(a.IsSatisfied());
  EXPECT_TRUE(b.IsSatisfied());

  // Selecting A pulls B back in, even when B is locked.
  world.Product(L"B")->GetSelection()->SetLocked(true);
  world.state.m_products.SelectRequiredProducts();
  EXPECT_TRUE(world.Product(L"B")->GetSelection()->IsCurrent());
  EXPECT_TRUE(a.IsSatisfied());

  // A copy of the list is a deep copy that still finds the products.
  CRelationList copy(a);
  world.Product(L"B")->GetSelection()->SetCurrent(false, true);
  EXPECT_FALSE(copy.IsSatisfied());
}

TEST(CProductRelationTest, ARelationOnAProductNotInTheRunStaysWithTheExistingSide) {
  CRelationWorld world(
      "[Setup.A]\r\nRelationships=Require.Viewer\r\n"
      "[Relationship.A.Require.Viewer]\r\nSourceProduct=A\r\nTargetProduct=B\r\n",
      false);
  ASSERT_EQ(1u, world.Product(L"A")->GetRelations()->GetCount());
  EXPECT_FALSE(world.Product(L"A")->GetRelations()->IsSatisfied());
}

TEST(CProductRelationTest, RequirementsFollowTheTargetsVersionSelectionAndFeatures) {
  struct Case {
    const char* kind;      // the item's prefix
    const char* bounds;    // MinVer/MaxVer lines
    const wchar_t* version;  // of B; empty: not known
    bool bSelected;
    const wchar_t* deselect;  // a feature of B to deselect, or empty
    bool satisfied;
  } cases[] = {
      {"Require", "", L"1.0", true, L"", true},
      {"Require", "", L"", true, L"", true},  // no bounds: any version, even an unknown one
      {"Require", "", L"1.0", false, L"", false},
      {"Require", "MinVer=2.0\r\nMaxVer=3.5\r\n", L"3.5", true, L"", true},
      {"Require", "MinVer=2.0\r\nMaxVer=3.5\r\n", L"3.5.0.1", true, L"", false},
      {"Require", "MinVer=2.0\r\nMaxVer=3.5\r\n", L"1.9", true, L"", false},
      {"Require", "MinVer=2.0\r\n", L"1.0", true, L"", false},  // one bound limits its side
      {"Require", "MinVer=2.0\r\n", L"9.0", true, L"", true},
      {"Require", "MaxVer=3.5\r\n", L"3.6", true, L"", false},
      {"Require", "MaxVer=3.5\r\n", L"0.1", true, L"", true},
      {"Require", "MinVer=2.0\r\n", L"", true, L"", false},  // bounded, version unknown
      {"RequireFeature", "FeatureId=Help\r\n", L"1.0", true, L"", true},
      {"RequireFeature", "FeatureId=help\r\n", L"1.0", true, L"Docs", false},  // an ancestor
      {"RequireFeature", "FeatureId=Help\r\n", L"1.0", true, L"Samples", true},
      {"RequireFeature", "FeatureId=Help\r\n", L"1.0", false, L"", false},
      {"RequireFeature", "FeatureId=Missing\r\n", L"1.0", true, L"", false},
      {"RequireFeature", "FeatureId=Help\r\nMinVer=2.0\r\n", L"1.0", true, L"", false},
  };
  for (const Case& c : cases) {
    std::string dcf = std::string("[Setup.A]\r\nRelationships=") + c.kind + ".B\r\n[Relationship.A." +
                      c.kind + ".B]\r\nSourceProduct=A\r\nTargetProduct=B\r\n" + c.bounds;
    CRelationWorld world(dcf);
    CProductData* b = world.Product(L"B");
    if (*c.version) b->GetVersion()->Parse(c.version);
    b->GetSelection()->SetCurrent(c.bSelected, false);
    if (*c.deselect) b->GetFeatures()->FindById(c.deselect)->GetSelection().SetCurrent(false, false);
    EXPECT_EQ(c.satisfied, world.Product(L"A")->GetRelations()->IsSatisfied())
        << c.kind << " " << c.bounds << " version " << WideToUtf8(c.version) << " selected "
        << c.bSelected << " deselected " << WideToUtf8(c.deselect);
  }
}
