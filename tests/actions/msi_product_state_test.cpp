// msi_product_state_test.cpp: installed state, package code, install folder
// and feature states of a package installed quietly for these tests.
#include "actions/msi_product_state.h"

#include <windows.h>
#include <msi.h>

#include <memory>
#include <string>

#include "actions/msi_package.h"
#include "gtest/gtest.h"
#include "tests/support/msi_fixtures.h"

namespace {

const wchar_t kBetaProduct[] = L"{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}";
const wchar_t kBetaPackage[] = L"{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D72}";
const wchar_t kAlphaProduct[] = L"{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}";

}  // namespace

class CMsiProductStateTest : public testing::Test {
 protected:
  // One install for the suite (a few seconds under Wine); removed at the end.
  static void SetUpTestSuite() {
    s_installed.reset(new CInstalledPackage(MsiFixturePath(L"beta.msi"), kBetaProduct));
  }
  static void TearDownTestSuite() { s_installed.reset(); }

  void SetUp() override { ASSERT_EQ(0u, s_installed->InstallResult()); }

  static std::unique_ptr<CInstalledPackage> s_installed;
};

std::unique_ptr<CInstalledPackage> CMsiProductStateTest::s_installed;

TEST_F(CMsiProductStateTest, KnowsWhichProductsAreInstalled) {
  EXPECT_TRUE(IsProductInstalled(kBetaProduct));
  EXPECT_FALSE(IsProductInstalled(kAlphaProduct));
  EXPECT_FALSE(IsProductInstalled(L""));
  EXPECT_FALSE(IsProductInstalled(L"not a product code"));
}

TEST_F(CMsiProductStateTest, ComparesThePackageCodeOfTheInstalledProduct) {
  EXPECT_TRUE(IsSamePackageInstalled(kBetaProduct, kBetaPackage));
  EXPECT_TRUE(IsSamePackageInstalled(kBetaProduct, L"{7c2a4e31-8d3f-4e62-ad1b-2f304b5c6d72}"));
  EXPECT_FALSE(IsSamePackageInstalled(kBetaProduct, L"{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D73}"));
  EXPECT_FALSE(IsSamePackageInstalled(kBetaProduct, L""));
  EXPECT_FALSE(IsSamePackageInstalled(kAlphaProduct, L"{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C62}"));
}

TEST_F(CMsiProductStateTest, ReadsTheInstallLocationTheProductRecorded) {
  std::wstring location = L"stale";
  ASSERT_TRUE(GetInstallLocation(kBetaProduct, &location));
  EXPECT_NE(std::wstring::npos, location.find(L"\\TamsaBeta\\")) << location;
  EXPECT_FALSE(GetInstallLocation(kAlphaProduct, &location));
  EXPECT_EQ(L"", location);
}

TEST_F(CMsiProductStateTest, FeatureStatesAreTrueOnlyForLocalFeatures) {
  struct {
    const wchar_t* product;
    const wchar_t* feature;
    bool local;
    const wchar_t* traced;
  } const kCases[] = {
      {kBetaProduct, L"Viewer", true, L"Feature 'Viewer' of product code '%s' state: local"},
      {kBetaProduct, L"Plugins", true, L"Feature 'Plugins' of product code '%s' state: local"},
      {kBetaProduct, L"Extras", false, L"Feature 'Extras' of product code '%s' state: absent"},
      {kBetaProduct, L"Nothing", false,
       L"Feature 'Nothing' of product code '%s' state: ERROR: unknown product code or feature id"},
      {kAlphaProduct, L"Main", false, L"Feature 'Main' not installed; product '%s' not present"},
  };
  for (const auto& c : kCases) {
    CMsiTraceCapture trace;
    EXPECT_EQ(c.local, QueryFeatureState(c.product, c.feature)) << c.feature;
    std::wstring traced = c.traced;
    traced.replace(traced.find(L"%s"), 2, c.product);
    EXPECT_TRUE(trace.Has(traced)) << traced;
  }
}

TEST_F(CMsiProductStateTest, AnInstalledPackageStillLoadsForItsFacts) {
  CMSIPackage package(MsiFixturePath(L"beta.msi"), L"");
  ASSERT_TRUE(package.LoadAndCost());
  std::wstring code;
  ASSERT_TRUE(package.GetPackageCode(&code));
  EXPECT_EQ(kBetaPackage, code);
  EXPECT_TRUE(IsSamePackageInstalled(kBetaProduct, code));
}

TEST(MsiFeatureStateNameTest, NamesEveryState) {
  struct {
    int state;
    const wchar_t* name;
  } const kCases[] = {
      {3, L"local"},
      {2, L"absent"},
      {1, L"advertised"},
      {4, L"run from source"},
      {-2, L"ERROR: invalid parameter"},
      {-1, L"ERROR: unknown product code or feature id"},
      {-6, L"ERROR: bad configuration"},
      {5, L"ERROR: unknown value 5"},
      {-7, L"ERROR: unknown value -7"},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.name, FeatureStateName(c.state)) << c.state;
}
