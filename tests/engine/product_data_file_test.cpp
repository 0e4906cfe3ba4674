// product_data_file_test.cpp: the cached product file written and read
// back, in any language, and its failures.
#include "engine/product_data.h"

#include <windows.h>

#include <string>

#include "foundation/kw_ini_file.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

// Japanese, Greek and Cyrillic: beyond any single ANSI code page.
const wchar_t kProductName[] =
    L"\u30a2\u30eb\u30d5\u30a1 "
    L"\u0395\u03c0\u03b5\u03be\u03b5\u03c1\u03b3\u03b1\u03c3\u03c4\u03ae\u03c2 "
    L"\u0420\u0435\u0434\u0430\u043a\u0442\u043e\u0440";
const wchar_t kShortName[] = L"\u30a2\u30eb\u30d5\u30a1";
const wchar_t kCompany[] = L"T\u00e4msa \u00c6sir";

void FillProduct(CProductData* product) {
  product->SetProductCode(L"{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}");
  product->SetPackageCode(L"{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C62}");
  product->SetProductGroup(L"Office");
  product->SetGroup(L"default");
  product->SetProductName(kProductName);
  product->SetShortProductName(kShortName);
  product->GetVersion()->Parse(L"3.58.94b");
  product->SetOurCompanyName(kCompany);
  product->SetInternalProductName(L"ALPHA");
  product->SetTemplate(L"Intel64;1041");
  product->SetProductLanguage(1041);
  product->GetSelection()->SetCurrent(true, false);
  product->GetSelection()->SetLocked(true);
  product->GetDesktopIconState()->SetCurrent(true, false);
  product->GetDesktopIconState()->SetHidden(false);
  product->GetQuickLaunchIconState()->SetCurrent(false, false);
  product->GetQuickLaunchIconState()->SetHidden(true);
  product->SetCost(12.75);
  product->SetInstallFolders(L"INSTALLDIR=\"C:\\A b\\\" DATADIR=D:\\");
  product->SetInstalledForSuite(true);
  product->SetUpgradeCode(L"{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C60}");
}

}  // namespace

TEST(CProductDataFileTest, WritesOneUtf16SectionInTheFixedOrder) {
  CTestFolder folder;
  CProductData product(L"Alpha");
  FillProduct(&product);
  ASSERT_TRUE(product.SaveToDcf(folder.File(L"Alpha.dcf")));
  std::string bytes = ReadFileBytes(folder.File(L"Alpha.dcf"));
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ("\xff\xfe", bytes.substr(0, 2));
  std::wstring text = ReadUtf16File(folder.File(L"Alpha.dcf")).substr(1);
  EXPECT_EQ(std::wstring(L"[Setup.Alpha]\r\n"
                         L"PrimaryAction=DummyAction\r\n"
                         L"ProductCode={6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}\r\n"
                         L"PackageCode={6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C62}\r\n"
                         L"ProductGroup=Office\r\n"
                         L"Group=default\r\n"
                         L"ProductName=") + kProductName + L"\r\n"
                L"ShortProductName=" + kShortName + L"\r\n"
                L"ProductVersion=3.58.94.1\r\n"
                L"OurCompanyName=" + kCompany + L"\r\n"
                L"InternalProductName=ALPHA\r\n"
                L"Template=Intel64;1041\r\n"
                L"ProductLanguage=1041\r\n"
                L"Visible=1\r\n"
                L"Mandatory=1\r\n"
                L"DESKTOPSHORTCUTS=Dummy\r\n"
                L"DESKTOPICON=1\r\n"
                L"QUICKLAUNCHSHORTCUTS=Dummy\r\n"
                L"QUICKLAUNCHICON=never\r\n"
                L"Cost=12.75\r\n"
                L"InstallFolders=INSTALLDIR=\"C:\\A b\\\" DATADIR=D:\\\r\n"
                L"InstalledForSuite=1\r\n"
                L"UpgradeCode={6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C60}\r\n",
            text);
}

TEST(CProductDataFileTest, ReadingItBackGivesTheSameProduct) {
  CTestFolder folder;
  CProductData saved(L"Alpha");
  FillProduct(&saved);
  saved.SetCost(0.1 + 12.2);  // not 12.3: the text must keep every bit
  ASSERT_TRUE(saved.SaveToDcf(folder.File(L"Alpha.dcf")));

  CProductData loaded(L"Alpha");
  ASSERT_TRUE(loaded.LoadFromDcfFile(folder.File(L"Alpha.dcf"), nullptr));
  EXPECT_EQ(saved.GetProductCode(), loaded.GetProductCode());
  EXPECT_EQ(saved.GetPackageCode(), loaded.GetPackageCode());
  EXPECT_EQ(L"Office", loaded.GetProductGroup());
  EXPECT_EQ(L"default", loaded.GetGroup());
  EXPECT_EQ(kProductName, loaded.GetProductName());
  EXPECT_EQ(kShortName, loaded.GetShortProductName());
  EXPECT_EQ(kCompany, loaded.GetOurCompanyName());
  EXPECT_EQ(L"ALPHA", loaded.GetInternalProductName());
  EXPECT_EQ(0, saved.GetVersion()->Compare(*loaded.GetVersion()));
  EXPECT_EQ(L"3.58.94.1", loaded.GetVersion()->ToString());
  EXPECT_EQ(L"Intel64;1041", loaded.GetTemplate());
  EXPECT_TRUE(loaded.Is64Bit());
  EXPECT_EQ(1041, loaded.GetProductLanguage());
  EXPECT_FALSE(loaded.GetSelection()->IsHidden());
  EXPECT_TRUE(loaded.GetSelection()->IsLocked());
  EXPECT_TRUE(loaded.GetDesktopIconState()->IsCurrent());
  EXPECT_FALSE(loaded.GetDesktopIconState()->IsHidden());
  EXPECT_FALSE(loaded.GetQuickLaunchIconState()->IsCurrent());
  EXPECT_TRUE(loaded.GetQuickLaunchIconState()->IsHidden());
  EXPECT_EQ(saved.GetCost(), loaded.GetCost());
  EXPECT_TRUE(loaded.GetFeatures()->IsEmpty());
  EXPECT_EQ(saved.GetInstallFolders(), loaded.GetInstallFolders());
  EXPECT_TRUE(loaded.IsInstalledForSuite());
  EXPECT_EQ(saved.GetUpgradeCode(), loaded.GetUpgradeCode());

  // An install over the suite takes only what the install recorded.
  CProductData installing(L"Alpha");
  installing.SetProductName(L"Alpha 2");
  ASSERT_TRUE(installing.LoadInstallRecord(folder.File(L"Alpha.dcf")));
  EXPECT_EQ(L"Alpha 2", installing.GetProductName());
  EXPECT_EQ(saved.GetInstallFolders(), installing.GetInstallFolders());
  EXPECT_TRUE(installing.IsInstalledForSuite());
  EXPECT_EQ(L"", installing.GetUpgradeCode());
  EXPECT_FALSE(installing.LoadInstallRecord(folder.File(L"Missing.dcf")));
}

TEST(CProductDataFileTest, EveryShortcutAndVisibilityCombinationSurvives) {
  CTestFolder folder;
  for (int combination = 0; combination < 16; ++combination) {
    CProductData saved(L"P");
    bool set = combination & 1;
    bool hidden = combination & 2;
    bool visible = combination & 4;
    saved.GetSelection()->SetHidden(!visible);
    saved.GetDesktopIconState()->SetCurrent(set, false);
    saved.GetDesktopIconState()->SetHidden(hidden);
    saved.GetQuickLaunchIconState()->SetCurrent(!set, false);
    saved.GetQuickLaunchIconState()->SetHidden(!hidden);
    saved.SetCost(combination & 8 ? 0.0 : 140.25);
    ASSERT_TRUE(saved.SaveToDcf(folder.File(L"P.dcf")));
    CProductData loaded(L"P");
    ASSERT_TRUE(loaded.LoadFromDcfFile(folder.File(L"P.dcf"), nullptr));
    EXPECT_EQ(!visible, loaded.GetSelection()->IsHidden()) << combination;
    EXPECT_EQ(set, loaded.GetDesktopIconState()->IsCurrent()) << combination;
    EXPECT_EQ(hidden, loaded.GetDesktopIconState()->IsHidden()) << combination;
    EXPECT_EQ(!set, loaded.GetQuickLaunchIconState()->IsCurrent()) << combination;
    EXPECT_EQ(!hidden, loaded.GetQuickLaunchIconState()->IsHidden()) << combination;
    EXPECT_EQ(saved.GetCost(), loaded.GetCost()) << combination;
    EXPECT_EQ(L"", loaded.GetVersion()->ToString()) << combination;
  }
}

TEST(CProductDataFileTest, ReadOnTopOfTheConfigurationItKeepsTheFeatures) {
  CTestFolder folder;
  WriteFileBytes(folder.File(L"SETUP.DCF"),
                 "[Setup.Alpha]\r\nPrimaryAction=Install\r\nProductName=Old name\r\n"
                 "[InstallActions.Alpha.Install]\r\nFeatures=Main\r\nCost=10\r\n"
                 "[InstallActions.Alpha.Install.Main]\r\nFeatureId=Main\r\nCost=4\r\n");
  CKwIniFile configuration;
  configuration.Init(false);
  configuration.LoadFrom(folder.File(L"SETUP.DCF"));
  CProductData product(L"Alpha");
  ASSERT_TRUE(product.LoadFromDcf(configuration, nullptr));
  CProductData cached(L"Alpha");
  FillProduct(&cached);
  ASSERT_TRUE(cached.SaveToDcf(folder.File(L"Alpha.dcf")));
  ASSERT_TRUE(product.LoadFromDcfFile(folder.File(L"Alpha.dcf"), nullptr));
  EXPECT_EQ(kProductName, product.GetProductName());
  EXPECT_EQ(cached.GetCost(), product.GetCost());
  ASSERT_EQ(1u, product.GetFeatures()->GetCount());
  EXPECT_EQ(L"Main", (*product.GetFeatures())[0].GetFeatureId());
}

TEST(CProductDataFileTest, OlderAnsiFilesStillLoadAndNamesAreExact) {
  CTestFolder folder;
  WriteFileBytes(folder.File(L"old.dcf"),
                 "[Setup.Alpha]\r\nPrimaryAction=DummyAction\r\nProductName=Caf\xe9 Editor\r\n"
                 "ProductVersion=2.1\r\nCost=3.5\r\nVisible=0\r\n");
  CProductData product(L"Alpha");
  ASSERT_TRUE(product.LoadFromDcfFile(folder.File(L"old.dcf"), nullptr));
  EXPECT_EQ(L"Caf\u00e9 Editor", product.GetProductName());
  EXPECT_EQ(L"2.1", product.GetVersion()->ToString());
  EXPECT_EQ(3.5, product.GetCost());
  EXPECT_TRUE(product.GetSelection()->IsHidden());
  // The cached file's names are exact: [Setup.Alpha] is not product "alpha".
  CProductData other(L"alpha");
  ASSERT_TRUE(other.LoadFromDcfFile(folder.File(L"old.dcf"), nullptr));
  EXPECT_EQ(L"", other.GetProductName());
}

TEST(CProductDataFileTest, FailuresReportTheirCodeThroughTheLastError) {
  CTestFolder folder;
  CProductData product(L"Alpha");
  CProductData unnamed(L"");
  EXPECT_FALSE(product.SaveToDcf(L""));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_FALSE(unnamed.SaveToDcf(folder.File(L"x.dcf")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
  EXPECT_FALSE(product.SaveToDcf(folder.File(L"no\\such\\folder\\x.dcf")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
  EXPECT_FALSE(product.LoadFromDcfFile(L"", nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_FALSE(product.LoadFromDcfFile(folder.File(L"missing.dcf"), nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_FALSE(product.LoadFromDcfFile(folder.Path(), nullptr));  // a folder
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_FALSE(FileExists(folder.File(L"x.dcf")));

  // A file held open without sharing cannot be read.
  ASSERT_TRUE(product.SaveToDcf(folder.File(L"held.dcf")));
  HANDLE held = CreateFileW(folder.File(L"held.dcf").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  EXPECT_FALSE(product.LoadFromDcfFile(folder.File(L"held.dcf"), nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_OPEN_FAILED), GetLastError());
  CloseHandle(held);

  // Read but unusable: a feature whose parent is missing. A stale "not
  // found" left by an earlier call must not make the failure look harmless.
  WriteFileBytes(folder.File(L"orphan.dcf"),
                 "[Setup.Alpha]\r\nPrimaryAction=Install\r\n[InstallActions.Alpha.Install]\r\n"
                 "Features=Child\r\n[InstallActions.Alpha.Install.Child]\r\nFeatureId=Child\r\n"
                 "ParentId=Nowhere\r\n");
  SetLastError(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(product.LoadFromDcfFile(folder.File(L"orphan.dcf"), nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
}
