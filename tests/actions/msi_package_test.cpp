// msi_package_test.cpp: real packages built by wixl, opened with and without
// transforms, for their properties, features, costs and package codes.
#include "actions/msi_package.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <random>
#include <string>

#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/msi_fixtures.h"
#include "tests/support/test_support.h"

namespace {

// A copy of a fixture package in the test's own folder, so that transforms
// can be put beside it.
std::wstring CopyFixture(const CTestFolder& folder, const std::wstring& name) {
  std::wstring target = folder.File(name);
  EXPECT_TRUE(CopyFileW(MsiFixturePath(name).c_str(), target.c_str(), FALSE)) << name;
  return target;
}

std::string RandomBytes(size_t count) {
  std::mt19937 generator(6);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(generator());
  return bytes;
}

}  // namespace

TEST(CMSIPackageTest, LoadsWithoutTransformWhenNoneIsBesideThePackage) {
  CTestFolder folder;
  std::wstring path = CopyFixture(folder, L"alpha.msi");
  CMsiTraceCapture trace;
  CMSIPackage package(path, L"");
  ASSERT_TRUE(package.LoadAndCost());
  EXPECT_TRUE(package.IsDatabaseOpen());
  EXPECT_TRUE(package.IsPackageOpen());
  EXPECT_EQ(L"Intel;1033", package.GetTemplate());
  EXPECT_TRUE(trace.Has(L"Loading Transform File: " + folder.File(L"1033.mst")));
  EXPECT_TRUE(trace.Has(L"Could not find Default transform (1033.mst) in " + folder.Path()));
  EXPECT_TRUE(trace.Has(L"Package opened, Preparing Costing"));
}

TEST(CMSIPackageTest, ReadsPropertiesAndThePackageCode) {
  CMSIPackage package(MsiFixturePath(L"alpha.msi"), L"");
  ASSERT_TRUE(package.LoadAndCost());
  struct {
    const wchar_t* name;
    const wchar_t* value;
  } const kProperties[] = {
      {L"ProductCode", L"{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}"},
      {L"ProductName", L"Alpha Suite Editor"},
      {L"ProductVersion", L"3.58.94"},
      {L"ProductLanguage", L"1033"},
      {L"DESKTOPICON", L"Always"},
      {L"NoSuchProperty", L""},
      // A quote in the name is data, not query text.
      {L"ProductName' OR `Property`<>'", L""},
      {L"", L""},
  };
  for (const auto& p : kProperties) {
    std::wstring value = L"stale";
    EXPECT_TRUE(package.GetProperty(p.name, &value)) << p.name;
    EXPECT_EQ(p.value, value) << p.name;
  }
  std::wstring packageCode;
  ASSERT_TRUE(package.GetPackageCode(&packageCode));
  EXPECT_EQ(L"{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C62}", packageCode);
}

TEST(CMSIPackageTest, ReadsTheFeatureTableWithEachFeaturesOwnCost) {
  CMSIPackage package(MsiFixturePath(L"alpha.msi"), L"");
  ASSERT_TRUE(package.LoadAndCost());
  const CMSIFeatureList* features = package.GetFeatures();
  ASSERT_NE(nullptr, features);
  ASSERT_EQ(4u, features->GetCount());
  struct {
    const wchar_t* feature;
    const wchar_t* parent;
    const wchar_t* title;
    const wchar_t* description;
    int level;
  } const kRows[] = {
      {L"Main", L"", L"Main program", L"The editor", 1},
      {L"Docs", L"Main", L"Documentation", L"", 1},
      {L"HelpFiles", L"Docs", L"Help files", L"", 3},
      {L"Samples", L"", L"Samples", L"", 1},
  };
  for (const auto& row : kRows) {
    const CFeature* feature = features->Find(row.feature);
    ASSERT_NE(nullptr, feature) << row.feature;
    EXPECT_EQ(row.parent, feature->parent) << row.feature;
    EXPECT_EQ(row.title, feature->title) << row.feature;
    EXPECT_EQ(row.description, feature->description) << row.feature;
    EXPECT_EQ(row.level, feature->level) << row.feature;
    EXPECT_EQ(0, feature->attributes) << row.feature;
    EXPECT_GT(feature->display, 0) << row.feature;
  }
  EXPECT_EQ(nullptr, features->Find(L"main"));  // identifiers are exact
  // Own costs in 512-byte units: 300,000, 100,000 and 1,000 bytes. (The
  // cost of a feature with its children is 0 under Wine, so the product's
  // total is not asserted.)
  EXPECT_EQ(585.0, features->Find(L"Main")->cost);
  EXPECT_EQ(195.0, features->Find(L"Docs")->cost);
  EXPECT_EQ(1.0, features->Find(L"Samples")->cost);
  double cost = -1.0;
  EXPECT_TRUE(package.GetProductCost(&cost));
  EXPECT_GE(cost, 0.0);
  EXPECT_FALSE(package.GetProductCost(nullptr));
}

TEST(CMSIPackageTest, APackageOfAnotherPlatformOpensAsDatabaseWithCostZero) {
  CMsiTraceCapture trace;
  CMSIPackage package(MsiFixturePath(L"gamma.msi"), L"");
  ASSERT_TRUE(package.LoadAndCost());
  EXPECT_TRUE(package.IsDatabaseOpen());
  EXPECT_FALSE(package.IsPackageOpen());
  EXPECT_TRUE(trace.Has(L"Could not Open MSI Package, all costing will report as 0"));
  EXPECT_EQ(L"Intel64;1033", package.GetTemplate());
  EXPECT_EQ(0.0, package.GetCost());
  std::wstring value;
  EXPECT_TRUE(package.GetProperty(L"ProductName", &value));
  EXPECT_EQ(L"Gamma Tools", value);
  ASSERT_NE(nullptr, package.GetFeatures());
  ASSERT_EQ(1u, package.GetFeatures()->GetCount());
  EXPECT_EQ(0.0, (*package.GetFeatures())[0].cost);
  EXPECT_TRUE(package.GetPackageCode(&value));
  EXPECT_EQ(L"{8D3B5F42-9E40-4F73-BE2C-30415C6D7E82}", value);
}

// This Wine cannot generate transforms: the transforms here are an empty
// one that changes nothing, and files that are no transform at all.
TEST(CMSIPackageTest, AppliesTheDefaultTransformBesideThePackage) {
  CTestFolder folder;
  std::wstring path = CopyFixture(folder, L"alpha.msi");
  ASSERT_TRUE(MakeNoOpTransform(folder.File(L"1033.mst")));
  CMsiTraceCapture trace;
  CMSIPackage package(path, L"");
  ASSERT_TRUE(package.LoadAndCost());
  EXPECT_TRUE(trace.Has(L"Tranform Applied"));
  std::wstring value;
  EXPECT_TRUE(package.GetProperty(L"ProductName", &value));
  EXPECT_EQ(L"Alpha Suite Editor", value);
}

TEST(CMSIPackageTest, ATransformThatDoesNotApplyFailsTheLoadAndClosesTheDatabase) {
  CTestFolder folder;
  std::wstring path = CopyFixture(folder, L"alpha.msi");
  WriteFileBytes(folder.File(L"1033.mst"), "not a transform");
  CMsiTraceCapture trace;
  CMSIPackage package(path, L"");
  EXPECT_FALSE(package.LoadPackage());
  EXPECT_TRUE(trace.Has(L"Could not apply Transform " + folder.File(L"1033.mst")));
  EXPECT_FALSE(package.IsDatabaseOpen());
  EXPECT_FALSE(package.IsPackageOpen());
  EXPECT_FALSE(package.LoadAndCost());
  EXPECT_TRUE(trace.Has(L"Failed to Load Package"));
  EXPECT_EQ(nullptr, package.GetFeatures());
}

TEST(CMSIPackageTest, TransformNamesAreFoundBesideThePackageAndPathsAsGiven) {
  CTestFolder folder;
  std::wstring path = CopyFixture(folder, L"alpha.msi");
  ASSERT_TRUE(CreateDirectoryW(folder.File(L"elsewhere").c_str(), nullptr));
  std::wstring goodPath = folder.File(L"elsewhere\\good.mst");
  ASSERT_TRUE(MakeNoOpTransform(goodPath));
  WriteFileBytes(folder.File(L"bad.mst"), RandomBytes(4096));
  // A junk 1033.mst proves that a named transform replaces the default one.
  WriteFileBytes(folder.File(L"1033.mst"), "junk");

  struct {
    std::wstring transform;
    bool loads;
    std::wstring traced;
  } const kCases[] = {
      {goodPath, true, L"Tranform Applied"},
      {L"bad.mst", false, L"Could not apply Transform " + folder.File(L"bad.mst")},
      {L"missing.mst", true, L"Could not find Default transform (missing.mst) in " + folder.Path()},
      {L"elsewhere\\missing.mst", true, L"Loading Transform File: elsewhere\\missing.mst"},
  };
  for (const auto& c : kCases) {
    CMsiTraceCapture trace;
    CMSIPackage package(path, c.transform);
    EXPECT_EQ(c.loads, package.LoadAndCost()) << c.transform;
    EXPECT_TRUE(trace.Has(c.traced)) << c.transform;
  }
}

TEST(CMSIPackageTest, BadPackagesFailWithoutCrashing) {
  CTestFolder folder;
  WriteFileBytes(folder.File(L"random.msi"), RandomBytes(20000));
  WriteFileBytes(folder.File(L"empty.msi"), "");
  struct {
    std::wstring path;
    const wchar_t* traced;
  } const kCases[] = {
      {L"", L"Package Name supplied to LoadPackage() is Empty"},
      {folder.File(L"missing.msi"), L"Could not Open the Database"},
      {folder.File(L"random.msi"), L"Could not Open the Database"},
      {folder.File(L"empty.msi"), L"Could not Open the Database"},
      {folder.Path(), L"Could not Open the Database"},
  };
  for (const auto& c : kCases) {
    CMsiTraceCapture trace;
    CMSIPackage package(c.path, L"");
    EXPECT_FALSE(package.LoadAndCost()) << c.path;
    EXPECT_TRUE(trace.Has(c.traced)) << c.path;
    EXPECT_TRUE(trace.Has(L"Failed to Load Package")) << c.path;
    EXPECT_FALSE(package.IsDatabaseOpen());
    std::wstring value = L"stale";
    EXPECT_FALSE(package.GetProperty(L"ProductName", &value));
    EXPECT_EQ(L"", value);
    EXPECT_FALSE(package.GetPackageCode(&value));
  }
}

// The level is process-wide: the in-process runner that comes after a query
// sets its own and must not be overridden by ours.
TEST(CMSIPackageTest, LoadingLeavesTheInstallerInterfaceLevelAsItWas) {
  CTestFolder folder;
  WriteFileBytes(folder.File(L"random.msi"), RandomBytes(20000));
  const std::wstring kPaths[] = {MsiFixturePath(L"alpha.msi"), folder.File(L"random.msi"), L""};
  const INSTALLUILEVEL kLevel = static_cast<INSTALLUILEVEL>(INSTALLUILEVEL_BASIC | INSTALLUILEVEL_PROGRESSONLY);
  INSTALLUILEVEL before = MsiSetInternalUI(kLevel, nullptr);
  for (const std::wstring& path : kPaths) {
    CMSIPackage package(path, L"");
    package.LoadAndCost();
    EXPECT_EQ(kLevel, MsiSetInternalUI(INSTALLUILEVEL_NOCHANGE, nullptr)) << WideToUtf8(path);
  }
  MsiSetInternalUI(before, nullptr);
}

TEST(CMSIPackageTest, ADatabaseWithoutTablesGivesABrokenPropertyView) {
  CTestFolder folder;
  std::wstring path = folder.File(L"bare.msi");
  MSIHANDLE database = 0;
  ASSERT_EQ(0u, MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_CREATE, &database));
  ASSERT_EQ(0u, MsiDatabaseCommit(database));
  MsiCloseHandle(database);
  CMsiTraceCapture trace;
  CMSIPackage package(path, L"");
  ASSERT_TRUE(package.LoadPackage());
  std::wstring value = L"stale";
  EXPECT_FALSE(package.GetProperty(L"ProductCode", &value));
  EXPECT_EQ(L"", value);
  EXPECT_TRUE(trace.Has(L"Failed to Open Database View"));
  // Nothing to cost and no feature table: the full load fails.
  EXPECT_FALSE(package.LoadAndCost());
}

TEST(CMSIPackageTest, CloseReleasesBothHandlesAndALoadCanFollow) {
  CMSIPackage package(MsiFixturePath(L"alpha.msi"), L"");
  ASSERT_TRUE(package.LoadAndCost());
  package.Close();
  EXPECT_FALSE(package.IsDatabaseOpen());
  EXPECT_FALSE(package.IsPackageOpen());
  package.Close();
  ASSERT_TRUE(package.LoadAndCost());
  std::wstring value;
  EXPECT_TRUE(package.GetProperty(L"ProductVersion", &value));
  EXPECT_EQ(L"3.58.94", value);
}
