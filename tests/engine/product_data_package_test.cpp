// product_data_package_test.cpp: a product's gaps filled from its real
// package, before and after the package is installed.
#include "engine/product_data.h"

#include <windows.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/kw_ini_file.h"
#include "gtest/gtest.h"
#include "tests/support/msi_fixtures.h"
#include "tests/support/test_support.h"

namespace {

const wchar_t kBetaProduct[] = L"{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}";
const wchar_t kBetaPackage[] = L"{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D72}";

std::unique_ptr<CProductData> ProductOf(const std::wstring& packagePath) {
  std::unique_ptr<CProductData> product(new CProductData(L"P"));
  product->SetPackagePath(packagePath);
  return product;
}

// Beta's features as a configuration lists them, without its codes.
std::unique_ptr<CProductData> BetaFromConfiguration(const CTestFolder& folder) {
  WriteFileBytes(folder.File(L"SETUP.DCF"),
                 "[Setup.Beta]\r\nPrimaryAction=Install\r\nCost=3\r\n"
                 "[InstallActions.Beta.Install]\r\nFeatures=Viewer,Plugins,Extras\r\n"
                 "[InstallActions.Beta.Install.Viewer]\r\nFeatureId=Viewer\r\nDisplay=1\r\n"
                 "[InstallActions.Beta.Install.Plugins]\r\nFeatureId=Plugins\r\nParentId=Viewer\r\n"
                 "[InstallActions.Beta.Install.Extras]\r\nFeatureId=Extras\r\nDisplay=2\r\n");
  CKwIniFile file;
  file.Init(false);
  file.LoadFrom(folder.File(L"SETUP.DCF"));
  std::unique_ptr<CProductData> product(new CProductData(L"Beta"));
  EXPECT_TRUE(product->LoadFromDcf(file, nullptr));
  product->SetPackagePath(MsiFixturePath(L"beta.msi"));
  return product;
}

}  // namespace

TEST(CProductDataPackageTest, AnEmptyProductTakesEverythingFromThePackage) {
  std::unique_ptr<CProductData> product = ProductOf(MsiFixturePath(L"alpha.msi"));
  ASSERT_TRUE(product->LoadFromPackage());
  EXPECT_EQ(L"{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}", product->GetProductCode());
  EXPECT_EQ(L"{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C62}", product->GetPackageCode());
  EXPECT_EQ(L"Alpha Suite Editor", product->GetProductName());
  EXPECT_EQ(L"Alpha", product->GetShortProductName());
  EXPECT_EQ(L"3.58.94", product->GetVersion()->ToString());
  EXPECT_EQ(L"Tamsa Alpha Works", product->GetOurCompanyName());
  EXPECT_EQ(L"ALPHA_EDITOR", product->GetInternalProductName());
  EXPECT_EQ(L"Intel;1033", product->GetTemplate());
  EXPECT_FALSE(product->Is64Bit());
  EXPECT_EQ(1033, product->GetProductLanguage());
  EXPECT_TRUE(product->GetDesktopIconState()->IsCurrent());  // DESKTOPICON=Always
  EXPECT_TRUE(product->GetDesktopIconState()->IsHidden());
  EXPECT_FALSE(product->GetQuickLaunchIconState()->IsCurrent());  // not offered
  EXPECT_TRUE(product->GetQuickLaunchIconState()->IsHidden());
  EXPECT_FALSE(product->IsSamePackageInstalled());
  EXPECT_GE(product->GetCost(), 0.0);  // Wine costs a feature tree as 0
}

TEST(CProductDataPackageTest, TheConfigurationWins) {
  std::unique_ptr<CProductData> product = ProductOf(MsiFixturePath(L"alpha.msi"));
  product->SetProductName(L"Configured name");
  product->SetProductCode(L"{CONFIGURED}");
  product->GetVersion()->Parse(L"9.9");
  product->SetTemplate(L"x64;1031");
  product->SetProductLanguage(1031);
  product->GetDesktopIconState()->SetCurrent(false, false);
  product->SetCost(42.0);
  ASSERT_TRUE(product->LoadFromPackage());
  EXPECT_EQ(L"Configured name", product->GetProductName());
  EXPECT_EQ(L"{CONFIGURED}", product->GetProductCode());
  EXPECT_EQ(L"{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C62}", product->GetPackageCode());  // was empty
  EXPECT_EQ(L"9.9", product->GetVersion()->ToString());
  EXPECT_EQ(L"x64;1031", product->GetTemplate());
  EXPECT_TRUE(product->Is64Bit());
  EXPECT_EQ(1031, product->GetProductLanguage());
  EXPECT_FALSE(product->GetDesktopIconState()->IsCurrent());
  EXPECT_EQ(42.0, product->GetCost());
}

TEST(CProductDataPackageTest, APackageOfAnotherPlatformGivesItsTemplateAndNoCost) {
  std::unique_ptr<CProductData> product = ProductOf(MsiFixturePath(L"gamma.msi"));
  ASSERT_TRUE(product->LoadFromPackage());
  EXPECT_EQ(L"Intel64;1033", product->GetTemplate());
  EXPECT_TRUE(product->Is64Bit());
  EXPECT_EQ(0.0, product->GetCost());
  EXPECT_EQ(L"Gamma Tools", product->GetProductName());
  EXPECT_EQ(L"2.0", product->GetVersion()->ToString());
}

TEST(CProductDataPackageTest, MissingOrCorruptPackagesFailAndLeaveTheProductAlone) {
  CTestFolder folder;
  std::mt19937 generator(11);
  std::string noise(30000, '\0');
  for (char& c : noise) c = static_cast<char>(generator());
  WriteFileBytes(folder.File(L"corrupt.msi"), noise);
  for (const std::wstring& path : {folder.File(L"missing.msi"), folder.File(L"corrupt.msi")}) {
    std::unique_ptr<CProductData> product = ProductOf(path);
    EXPECT_FALSE(product->LoadFromPackage()) << path;
    EXPECT_EQ(L"", product->GetProductCode());
    EXPECT_EQ(L"", product->GetTemplate());
  }
  std::unique_ptr<CProductData> nothing = ProductOf(L"");
  EXPECT_TRUE(nothing->LoadFromPackage());
  EXPECT_EQ(L"", nothing->GetProductCode());
}

// Installs Beta quietly in the middle of the test and removes it at the end.
TEST(CProductDataPackageTest, InstalledStateAndFeaturesBeforeAndAfterInstall) {
  CTestFolder folder;
  std::unique_ptr<CProductData> before = BetaFromConfiguration(folder);
  ASSERT_TRUE(before->LoadFromPackage());
  EXPECT_EQ(kBetaProduct, before->GetProductCode());
  EXPECT_EQ(kBetaPackage, before->GetPackageCode());
  EXPECT_FALSE(before->IsSamePackageInstalled());
  EXPECT_FALSE(before->GetFeatures()->FindById(L"Viewer")->IsInstalled());
  EXPECT_EQ(3.0, before->GetCost());

  CInstalledPackage installed(MsiFixturePath(L"beta.msi"), kBetaProduct);
  ASSERT_EQ(0u, installed.InstallResult());
  std::unique_ptr<CProductData> after = BetaFromConfiguration(folder);
  ASSERT_TRUE(after->LoadFromPackage());
  EXPECT_TRUE(after->IsSamePackageInstalled());
  const CFeatureList& features = *after->GetFeatures();
  EXPECT_EQ(kBetaProduct, features.FindById(L"Plugins")->GetProductCode());
  EXPECT_TRUE(features.FindById(L"Viewer")->IsInstalled());
  EXPECT_TRUE(features.FindById(L"Plugins")->IsInstalled());
  EXPECT_FALSE(features.FindById(L"Extras")->IsInstalled());

  // A configuration that names the codes learns the same at once.
  WriteFileBytes(folder.File(L"codes.dcf"),
                 "[Setup.Beta]\r\nPrimaryAction=Install\r\n"
                 "ProductCode={7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}\r\n"
                 "PackageCode={7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D72}\r\n"
                 "[InstallActions.Beta.Install]\r\nFeatures=Viewer\r\n"
                 "[InstallActions.Beta.Install.Viewer]\r\nFeatureId=Viewer\r\n");
  CKwIniFile file;
  file.Init(false);
  file.LoadFrom(folder.File(L"codes.dcf"));
  CProductData configured(L"Beta");
  ASSERT_TRUE(configured.LoadFromDcf(file, nullptr));
  EXPECT_TRUE(configured.IsSamePackageInstalled());
  EXPECT_TRUE(configured.GetFeatures()->FindById(L"Viewer")->IsInstalled());
  configured.SetPackageCode(L"{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D73}");
  ASSERT_TRUE(configured.LoadFromDcf(file, nullptr));  // read again: the code is the file's
  EXPECT_TRUE(configured.IsSamePackageInstalled());
}

// The sample suite: each product from SETUP.DCF, then from its package.
TEST(CProductDataPackageTest, TheSampleSuiteLoadsFromItsConfigurationAndPackages) {
  CKwIniFile file;
  file.Init(false);
  file.LoadFrom(MsiFixturePath(L"SETUP.DCF"));
  struct {
    const wchar_t* name;
    const wchar_t* productName;
    const wchar_t* version;
    bool is64Bit;
    double cost;
    const wchar_t* selectedIds;
  } const kProducts[] = {
      {L"Alpha", L"Alpha Suite Editor", L"3.58.94", false, 2.5, L"Main Docs HelpFiles Samples"},
      {L"Beta", L"Beta Viewer", L"1.2.3", false, 1.0, L"Viewer Plugins Extras"},
      {L"Gamma", L"Gamma Tools", L"2.0", true, 0.5, L"Tools"},
  };
  for (const auto& p : kProducts) {
    CProductData product(p.name);
    ASSERT_TRUE(product.LoadFromDcf(file, nullptr)) << p.name;
    std::wstring packageName = CProductData::GetIniValue(
        file, std::wstring(L"Setup.") + p.name, L"PackageName", L"");
    product.SetPackagePath(MsiFixturePath(packageName));
    ASSERT_TRUE(product.LoadFromPackage()) << p.name;
    EXPECT_EQ(p.productName, product.GetProductName());
    EXPECT_EQ(p.version, product.GetVersion()->ToString());
    EXPECT_EQ(p.is64Bit, product.Is64Bit()) << p.name;
    EXPECT_EQ(p.cost, product.GetCost()) << p.name;
    std::vector<std::wstring> ids;
    product.GetFeatures()->GetSelectedIds(&ids);
    std::wstring joined;
    for (const std::wstring& id : ids) joined += (joined.empty() ? L"" : L" ") + id;
    EXPECT_EQ(p.selectedIds, joined);
    EXPECT_FALSE(product.IsSamePackageInstalled());
  }
}
