// product_relation_test.cpp: relations read into both products' lists, and
// whether a product's requirements are met by the target's selection,
// version and feature tree.
#include "engine/product_relation.h"

#include <memory>
#include <string>

#include "engine/product_data.h"
#include "engine/setup_state.h"
#include "foundation/kw_ini_file.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

// Products A and B (features Docs > Help), A's relations loaded from `dcf`.
struct CRelationWorld {
  explicit CRelationWorld(const std::string& dcf) {
    WriteFileBytes(folder.File(L"SETUP.DCF"), dcf);
    configuration.Init(false);
    configuration.LoadFrom(folder.File(L"SETUP.DCF"));
    for (const wchar_t* key : {L"A", L"B"}) {
      std::unique_ptr<CProductData> product(new CProductData(key));
      product->SetName(key);
      product->GetSelection()->SetCurrent(true, false);
      state.m_products.SetAt(key, std::move(product));
    }
    std::unique_ptr<CFeatureList> features(new CFeatureList);
    for (auto ids : {std::make_pair(L"Docs", L""), std::make_pair(L"Help", L"Docs")}) {
      std::unique_ptr<CFeatureData> feature(new CFeatureData);
      feature->SetFeatureId(ids.first);
      feature->SetParentId(ids.second);
      feature->GetSelection().SetCurrent(true, false);
      features->AddFeature(feature);
    }
    B()->SetFeatures(std::move(features));
    A()->LoadRelationships(configuration, &state);
  }
  CProductData* A() const { return state.m_products.Lookup(L"A"); }
  CProductData* B() const { return state.m_products.Lookup(L"B"); }

  CTestFolder folder;
  CKwIniFile configuration;
  CSetupState state;
};

}  // namespace

TEST(CProductRelationTest, RelationsGoToBothProductsAndBindOnlyTheSource) {
  CRelationWorld world(
      "[Setup.A]\r\nRelationships=Require.Viewer,\"RequireFeature.Help\",Depends.X,,Require.Late\r\n"
      "[Relationship.A.Require.Viewer]\r\nSourceProduct=A\r\nTargetProduct=B\r\nTargetCusts=ENU,\"DEU\"\r\n"
      "[Relationship.A.RequireFeature.Help]\r\nSourceProduct=A\r\nTargetProduct=B\r\nFeatureId=Help\r\n"
      "[Relationship.A.Depends.X]\r\nSourceProduct=A\r\nTargetProduct=B\r\n"
      "[Relationship.A.Require.Late]\r\nSourceProduct=A\r\nTargetProduct=B\r\n");
  world.A()->LoadRelationships(world.configuration, &world.state);  // loaded again: no second copy
  const CRelationList& a = *world.A()->GetRelations();
  const CRelationList& b = *world.B()->GetRelations();
  ASSERT_EQ(2u, a.GetCount());  // Depends.X ignored; the empty item ends the list
  ASSERT_EQ(2u, b.GetCount());
  EXPECT_NE(a[0], b[0]);
  EXPECT_EQ(L"DEU", dynamic_cast<const CProductRelation&>(*a[0]).GetTargetCustomizations().at(1));
  EXPECT_EQ(L"Help", dynamic_cast<const CFeatureRelation&>(*b[1]).GetFeatureId());

  world.B()->GetSelection()->SetCurrent(false, false);
  EXPECT_FALSE(a.IsSatisfied());
  EXPECT_TRUE(b.IsSatisfied());  // B only holds the copies of A's requirements
  world.B()->GetSelection()->SetLocked(true);
  world.state.m_products.SelectRequiredProducts();  // A pulls B back in, locked or not
  EXPECT_TRUE(a.IsSatisfied());
  CRelationList copy(a);
  world.B()->GetSelection()->SetCurrent(false, true);
  EXPECT_FALSE(copy.IsSatisfied());  // a deep copy that still finds the products
}

TEST(CProductRelationTest, RequirementsFollowTheTargetsVersionSelectionAndFeatures) {
  struct Case {
    const char* kind;
    const char* keys;        // the bounds and FeatureId lines
    const wchar_t* version;  // of B; empty: not known
    bool bSelected;
    const wchar_t* deselect;  // a feature of B, or empty
    bool satisfied;
  } cases[] = {
      {"Require", "", L"1.0", true, L"", true},
      {"Require", "", L"", true, L"", true},  // no bounds: any version, even an unknown one
      {"Require", "", L"1.0", false, L"", false},
      {"Require", "MinVer=2.0\r\nMaxVer=3.5\r\n", L"3.5", true, L"", true},
      {"Require", "MinVer=2.0\r\nMaxVer=3.5\r\n", L"3.5.0.1", true, L"", false},
      {"Require", "MinVer=2.0\r\n", L"1.0", true, L"", false},  // one bound limits its side
      {"Require", "MinVer=2.0\r\n", L"9.0", true, L"", true},
      {"Require", "MaxVer=3.5\r\n", L"3.6", true, L"", false},
      {"Require", "MinVer=2.0\r\n", L"", true, L"", false},  // bounded, version unknown
      {"RequireFeature", "FeatureId=help\r\n", L"1.0", true, L"", true},
      {"RequireFeature", "FeatureId=Help\r\n", L"1.0", true, L"Docs", false},  // an ancestor
      {"RequireFeature", "FeatureId=Help\r\n", L"1.0", false, L"", false},
      {"RequireFeature", "FeatureId=Missing\r\n", L"1.0", true, L"", false},
      {"RequireFeature", "FeatureId=Help\r\nMinVer=2.0\r\n", L"1.0", true, L"", false},
  };
  for (const Case& c : cases) {
    CRelationWorld world(std::string("[Setup.A]\r\nRelationships=") + c.kind + ".B\r\n[Relationship.A." +
                         c.kind + ".B]\r\nSourceProduct=A\r\nTargetProduct=B\r\n" + c.keys);
    if (*c.version) world.B()->GetVersion()->Parse(c.version);
    world.B()->GetSelection()->SetCurrent(c.bSelected, false);
    if (*c.deselect) world.B()->GetFeatures()->FindById(c.deselect)->GetSelection().SetCurrent(false, false);
    EXPECT_EQ(c.satisfied, world.A()->GetRelations()->IsSatisfied())
        << c.kind << " " << c.keys << WideToUtf8(c.version) << " " << c.bSelected << WideToUtf8(c.deselect);
  }
}

TEST_CHILD(LoadRelationToAnUnknownProduct) {
  CRelationWorld world(
      "[Setup.A]\r\nRelationships=Require.Zeta\r\n"
      "[Relationship.A.Require.Zeta]\r\nSourceProduct=A\r\nTargetProduct=Zeta\r\n");
  return static_cast<int>(world.A()->GetRelations()->GetCount());
}

// A requirement of a product the suite does not have is said in the log.
TEST(CProductRelationTest, NamesAProductTheSuiteDoesNotHave) {
  CTestFolder folder;
  ASSERT_EQ(1u, RunChild(L"LoadRelationToAnUnknownProduct", {}, {{L"KWSETUP", folder.File(L"TAM_{ProductID}.log")}}));
  EXPECT_NE(std::wstring::npos,
            ReadUtf16File(folder.File(L"VELL_SETUP.LOG"))
                .find(L"Relationship Require.Zeta of product A names product 'Zeta', which is not a product of this suite"));
}
