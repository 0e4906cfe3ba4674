// product_data_dcf_test.cpp: products and their feature trees read from a
// configuration file.
#include "engine/product_data.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/kw_ini_file.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

using Ids = std::vector<std::wstring>;

const char kConfiguration[] =
    "[Setup.Alpha]\r\n"
    "ProductGroup=Office\r\n"
    "Visible=yes\r\n"
    "Mandatory=1\r\n"
    "PrimaryAction=Install\r\n"
    "ProductName=Alpha Editor\r\n"
    "ShortProductName=Alpha\r\n"
    "ProductVersion=3.58.94a\r\n"
    "OurCompanyName=Tamsa\r\n"
    "InternalProductName=ALPHA_EDITOR\r\n"
    "Template=x64;1031\r\n"
    "ProductLanguage=1031\r\n"
    "DESKTOPSHORTCUTS=1\r\n"
    "DESKTOPICON=Always\r\n"
    "QUICKLAUNCHSHORTCUTS=\r\n"
    "QUICKLAUNCHICON=1\r\n"
    "ProductCode={SETUP-CODE}\r\n"
    "PackageCode={SETUP-PACKAGE}\r\n"
    "Cost=999\r\n"
    "[InstallActions.Alpha.Install]\r\n"
    "ProductCode={ACTION-CODE}\r\n"
    "Cost=50.5\r\n"
    "Features=Help, \"Docs\" ,Main,Samples,Tools,,Never\r\n"
    "[InstallActions.Alpha.Install.Main]\r\n"
    "FeatureId=Main\r\nDisplayName=Main program\r\nDisplay=2\r\nCost=20\r\n"
    "[InstallActions.Alpha.Install.Docs]\r\n"
    "FeatureId=Docs\r\nParentId=Main\r\nDisplayName=Documentation\r\nDisplay=1\r\nCost=5.25\r\n"
    "[InstallActions.Alpha.Install.Help]\r\n"
    "FeatureId=Help\r\nParentId=Docs\r\nDisplay=3\r\nCost=1\r\n"
    "[InstallActions.Alpha.Install.Samples]\r\n"
    "FeatureId=Samples\r\nDisplay=5\r\nCost=2\r\n"
    "[InstallActions.Alpha.Install.Tools]\r\n"
    "FeatureId=Tools\r\nDisplay=0\r\nCost=0.25\r\n"
    "[InstallActions.Alpha.Install.Never]\r\n"
    "FeatureId=Never\r\n"
    // Without PrimaryAction: group and flags only.
    "[Setup.Plain]\r\n"
    "Group=exclude\r\n"
    "Visible=0\r\n"
    "ProductName=Plain Product\r\n"
    "ProductVersion=1.0\r\n"
    "ProductCode={PLAIN}\r\n"
    "DESKTOPSHORTCUTS=1\r\n"
    "DESKTOPICON=1\r\n"
    "Cost=12\r\n"
    // Codes and cost from the Setup section when the action section has none.
    "[Setup.Fallback]\r\n"
    "PrimaryAction=Repair\r\n"
    "ProductVersion=beta\r\n"
    "ProductCode={FALLBACK-CODE}\r\n"
    "PackageCode={FALLBACK-PACKAGE}\r\n"
    "Cost=7.5\r\n"
    "DESKTOPSHORTCUTS=1\r\n"
    "DESKTOPICON=never\r\n"
    "QUICKLAUNCHSHORTCUTS=1\r\n"
    "QUICKLAUNCHICON=0\r\n"
    "ProductLanguage=70000\r\n"
    "[InstallActions.Fallback.Repair]\r\n"
    "Cost=0.0\r\n"
    "Features=Child,Parent\r\n"
    "[InstallActions.Fallback.Repair.Child]\r\n"
    "FeatureId=Child\r\nParentId=Parent\r\nDisplay=1\r\n"
    "[InstallActions.Fallback.Repair.Parent]\r\n"
    "FeatureId=Parent\r\nDisplay=1\r\n"
    // A feature whose parent never comes.
    "[Setup.Broken]\r\n"
    "PrimaryAction=Install\r\n"
    "[InstallActions.Broken.Install]\r\n"
    "Features=Good,Orphan\r\n"
    "[InstallActions.Broken.Install.Good]\r\n"
    "FeatureId=Good\r\n"
    "[InstallActions.Broken.Install.Orphan]\r\n"
    "FeatureId=Orphan\r\nParentId=Missing\r\n";

class CProductDataDcfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(m_folder.File(L"SETUP.DCF"), kConfiguration);
    m_file.Init(false);
    m_file.LoadFrom(m_folder.File(L"SETUP.DCF"));
  }

  CTestFolder m_folder;
  CKwIniFile m_file;
};

Ids SelectedIds(const CProductData& product) {
  Ids ids;
  product.GetFeatures()->GetSelectedIds(&ids);
  return ids;
}

}  // namespace

TEST_F(CProductDataDcfTest, ReadsNamesCodesVersionAndFlags) {
  CProductData product(L"Alpha");
  ASSERT_TRUE(product.LoadFromDcf(m_file, nullptr));
  EXPECT_EQ(L"Office", product.GetProductGroup());
  EXPECT_EQ(L"default", product.GetGroup());
  EXPECT_TRUE(product.GetSelection()->IsCurrent());
  EXPECT_TRUE(product.GetSelection()->IsHidden());  // "yes" is not a number: 0
  EXPECT_TRUE(product.GetSelection()->IsLocked());
  EXPECT_TRUE(product.HasPrimaryAction());
  EXPECT_EQ(L"Alpha Editor", product.GetProductName());
  EXPECT_EQ(L"Alpha", product.GetShortProductName());
  EXPECT_EQ(L"3.58.94.0", product.GetVersion()->ToString());
  EXPECT_EQ(L"Tamsa", product.GetOurCompanyName());
  EXPECT_EQ(L"ALPHA_EDITOR", product.GetInternalProductName());
  EXPECT_EQ(L"x64;1031", product.GetTemplate());
  EXPECT_TRUE(product.Is64Bit());
  EXPECT_EQ(1031, product.GetProductLanguage());
  EXPECT_TRUE(product.GetDesktopIconState()->IsCurrent());
  EXPECT_TRUE(product.GetDesktopIconState()->IsHidden());
  EXPECT_FALSE(product.GetQuickLaunchIconState()->IsCurrent());  // not offered
  EXPECT_TRUE(product.GetQuickLaunchIconState()->IsHidden());
  EXPECT_EQ(L"{ACTION-CODE}", product.GetProductCode());
  EXPECT_EQ(L"{SETUP-PACKAGE}", product.GetPackageCode());
  EXPECT_EQ(50.5, product.GetCost());
  EXPECT_FALSE(product.IsSamePackageInstalled());  // no such product here
}

TEST_F(CProductDataDcfTest, BuildsTheFeatureTreeInDisplayOrder) {
  CProductData product(L"Alpha");
  ASSERT_TRUE(product.LoadFromDcf(m_file, nullptr));
  const CFeatureList& features = *product.GetFeatures();
  ASSERT_EQ(3u, features.GetCount());  // "Never" comes after the empty item
  EXPECT_EQ(L"Tools", features[0].GetFeatureId());
  EXPECT_EQ(L"Main", features[1].GetFeatureId());
  EXPECT_EQ(L"Samples", features[2].GetFeatureId());
  EXPECT_EQ((Ids{L"Tools", L"Main", L"Docs", L"Help", L"Samples"}), SelectedIds(product));
  CFeatureData* help = features.FindById(L"Help");
  ASSERT_NE(nullptr, help);
  EXPECT_EQ(L"Docs", help->GetParent()->GetFeatureId());
  EXPECT_EQ(L"{ACTION-CODE}", help->GetProductCode());
  EXPECT_EQ(L"Documentation", features.FindById(L"Docs")->GetDisplayName());
  EXPECT_TRUE(features.FindById(L"Tools")->GetSelection().IsHidden());
  EXPECT_FALSE(features.FindById(L"Main")->GetSelection().IsHidden());
  EXPECT_FALSE(help->IsInstalled());
  // 50.5 - (20 + 5.25 + 1) - 2 - 0.25
  EXPECT_EQ(22.0, product.GetBaseCost());
  EXPECT_EQ(50.5, product.GetSelectedCost());
  features.FindById(L"Docs")->GetSelection().SetCurrent(false, false);
  EXPECT_EQ(44.25, product.GetSelectedCost());
}

TEST_F(CProductDataDcfTest, WithoutPrimaryActionOnlyGroupAndFlagsAreRead) {
  CProductData product(L"Plain");
  ASSERT_TRUE(product.LoadFromDcf(m_file, nullptr));
  EXPECT_EQ(L"exclude", product.GetGroup());
  EXPECT_TRUE(product.GetSelection()->IsHidden());
  EXPECT_FALSE(product.GetSelection()->IsLocked());
  EXPECT_FALSE(product.HasPrimaryAction());
  EXPECT_EQ(L"", product.GetProductName());
  EXPECT_EQ(L"", product.GetProductCode());
  EXPECT_EQ(-1, product.GetVersion()->GetLastPartIndex());
  EXPECT_EQ(0.0, product.GetCost());
  EXPECT_TRUE(product.GetDesktopIconState()->IsHidden());
  EXPECT_FALSE(product.GetDesktopIconState()->IsInitialised());
  EXPECT_TRUE(product.GetFeatures()->IsEmpty());
}

TEST_F(CProductDataDcfTest, CodesAndCostFallBackToTheSetupSection) {
  CProductData product(L"Fallback");
  ASSERT_TRUE(product.LoadFromDcf(m_file, nullptr));
  EXPECT_EQ(L"{FALLBACK-CODE}", product.GetProductCode());
  EXPECT_EQ(L"{FALLBACK-PACKAGE}", product.GetPackageCode());
  EXPECT_EQ(7.5, product.GetCost());
  EXPECT_EQ(L"", product.GetVersion()->ToString());  // "beta" is no version
  EXPECT_EQ(0, product.GetProductLanguage());        // beyond 16 bits
  EXPECT_FALSE(product.GetDesktopIconState()->IsCurrent());
  EXPECT_TRUE(product.GetDesktopIconState()->IsHidden());
  EXPECT_FALSE(product.GetQuickLaunchIconState()->IsCurrent());
  EXPECT_FALSE(product.GetQuickLaunchIconState()->IsHidden());
  // Listed child first: placed once its parent is in.
  CFeatureData* child = product.GetFeatures()->FindById(L"Child");
  ASSERT_NE(nullptr, child);
  EXPECT_EQ(L"Parent", child->GetParent()->GetFeatureId());
}

TEST_F(CProductDataDcfTest, AMandatoryProductStaysUnselectedWhenLoadedLockedAgain) {
  CProductData product(L"Alpha");
  product.GetSelection()->SetLocked(true);
  ASSERT_TRUE(product.LoadFromDcf(m_file, nullptr));
  EXPECT_FALSE(product.GetSelection()->IsCurrent());
  EXPECT_TRUE(product.GetSelection()->IsInitialised());
}

TEST_F(CProductDataDcfTest, AFeatureWithoutItsParentFailsTheLoad) {
  CProductData product(L"Broken");
  EXPECT_FALSE(product.LoadFromDcf(m_file, nullptr));
  ASSERT_EQ(1u, product.GetFeatures()->GetCount());
  EXPECT_EQ(L"Good", (*product.GetFeatures())[0].GetFeatureId());
}

TEST_F(CProductDataDcfTest, AProductWithoutSectionsTakesTheDefaults) {
  CProductData product(L"Unknown");
  ASSERT_TRUE(product.LoadFromDcf(m_file, nullptr));
  EXPECT_EQ(L"default", product.GetGroup());
  EXPECT_TRUE(product.GetSelection()->IsCurrent());
  EXPECT_FALSE(product.GetSelection()->IsHidden());
  EXPECT_FALSE(product.HasPrimaryAction());
}

TEST_CHILD(LoadProductsForTheLog) {
  CKwIniFile file;
  file.Init(false);
  file.LoadFrom(args.at(0));
  CProductData alpha(L"Alpha");
  CProductData fallback(L"Fallback");
  CProductData broken(L"Broken");
  return (alpha.LoadFromDcf(file, nullptr) ? 0 : 1) | (fallback.LoadFromDcf(file, nullptr) ? 0 : 2) |
         (broken.LoadFromDcf(file, nullptr) ? 4 : 0);
}

TEST_F(CProductDataDcfTest, LogsEachFeaturePlacedOrDropped) {
  ASSERT_EQ(0u, RunChild(L"LoadProductsForTheLog", {m_folder.File(L"SETUP.DCF")},
                         {{L"KWSETUP", m_folder.File(L"TAM_{ProductID}.log")}}));
  std::wstring log = ReadUtf16File(m_folder.File(L"VELL_SETUP.LOG"));
  const std::wstring kExpected[] = {
      L" - Successfully added feature 'Main' to product 'Alpha'\r\n",
      L" - Successfully added feature 'Samples' to product 'Alpha'\r\n",
      L" - Successfully added feature 'Tools' to product 'Alpha'\r\n",
      L" - Successfully added feature 'Docs' to product 'Alpha'\r\n",
      L" - Successfully added feature 'Help' to product 'Alpha'\r\n",
      L" - Successfully added feature 'Parent' to product 'Fallback'\r\n",
      L" - Successfully added feature 'Child' to product 'Fallback'\r\n",
      L" - Successfully added feature 'Good' to product 'Broken'\r\n",
      L" - Failed to add feature 'Orphan' (parent: 'Missing') to product 'Broken'\r\n",
      L" - Failed to load feature data for product 'Broken'\r\n",
  };
  size_t position = 0;
  for (const std::wstring& line : kExpected) {
    size_t found = log.find(line, position);
    ASSERT_NE(std::wstring::npos, found) << line << L"\n" << log;
    position = found + line.size();
  }
  EXPECT_EQ(std::wstring::npos, log.find(L"feature 'Never'"));
}
