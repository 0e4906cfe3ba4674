// worker_properties_test.cpp: the setup properties read from a SETUP.DCF
// with the command line winning.
#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/engine/inspectable_worker.h"
#include "tests/support/test_support.h"

namespace {

const char kSuiteDcf[] =
    "[Setup]\r\n"
    "Products=P1,P2\r\n"
    "[Property]\r\n"
    "INSTALLDIR={SetupDir}/apps\r\n"
    "ProductName=0x410x42\r\n"
    "DcfVersionSchema=1.0\r\n"
    "URLPromotion=http://www.tamsa.example/setup/promotion\r\n"
    "OnlineAccess=0\r\n"
    "UEIP=1\r\n"
    "AllowOnlineUpdates=1\r\n"
    "DynamicProperties=Alpha,Beta,Gamma,OSRequirements\r\n"
    "Alpha=suite\r\n"
    "Beta=suite beta\r\n"
    "Gamma={SetupDir}\\data\r\n"
    "OSRequirements=NT\r\n"
    "[Property.P1]\r\n"
    "DynamicProperties=::Alpha,Y,::Unset\r\n"
    "::Alpha=product\r\n"
    "Y=why\r\n"
    "[Setup.P1]\r\n"
    "ProductName=Fallback\r\n";

class CWorkerPropertiesTest : public ::testing::Test {
 protected:
  // Parses the arguments and loads a SETUP.DCF holding `dcf`.
  void Prepare(CInspectableWorker* worker, const std::string& dcf, const std::wstring& arguments,
               const std::vector<std::wstring>& products) {
    WriteFileBytes(m_folder.File(L"SETUP.DCF"), dcf);
    ASSERT_EQ(0u, worker->ParseArguments(m_folder.Path(), arguments));
    worker->LoadConfigurationFile(m_folder.File(L"SETUP.DCF"));
    worker->m_products = products;
    ASSERT_TRUE(worker->CreateReplacementMap());
  }
  std::wstring FolderWithoutBackslash() const {
    return m_folder.Path().substr(0, m_folder.Path().size() - 1);
  }
  CTestFolder m_folder;
};

}  // namespace

TEST_F(CWorkerPropertiesTest, NoConfigurationNoMaps) {
  CInspectableWorker worker;
  ASSERT_EQ(0u, worker.ParseArguments(m_folder.Path(), L"/qn"));
  EXPECT_FALSE(worker.CreateReplacementMap());
  EXPECT_FALSE(worker.ParseSetupProperties());
}

TEST_F(CWorkerPropertiesTest, LaterSourcesWin) {
  CInspectableWorker worker;
  Prepare(&worker, kSuiteDcf, L"/qn INSTALLDIR=D:\\Apps Beta=\"cmd beta\"", {L"P1", L"P2"});
  ASSERT_TRUE(worker.ParseSetupProperties());
  CSetupState* state = worker.GetSetupState();
  EXPECT_EQ(L"product", worker.Property(L"Alpha"));
  EXPECT_EQ(L"why", worker.Property(L"P1.Y"));
  EXPECT_EQ(L"<absent>", worker.Property(L"Unset"));
  EXPECT_EQ(L"\"cmd beta\"", worker.Property(L"Beta"));
  EXPECT_EQ(L"{SetupDir}\\data", worker.Property(L"Gamma"));
  EXPECT_EQ(FolderWithoutBackslash() + L"\\data", worker.ExpandMacros(L"{Gamma}"));
  EXPECT_EQ(L"D:\\Apps", worker.Property(L"INSTALLDIR"));
  EXPECT_EQ(FolderWithoutBackslash() + L"\\apps", state->m_installFolder);
  EXPECT_EQ(state->m_installFolder, state->m_defaultInstallFolder);
  EXPECT_EQ(L"AB", worker.Property(L"ProductName"));
  EXPECT_EQ(L"AB", state->GetProductName());
  EXPECT_EQ(L"AB", state->GetShortProductName());
  EXPECT_EQ(L"1.0", worker.Property(L"DcfSchemaVersionFound"));
  EXPECT_EQ(L"{SETUPLANG} == \"ENU\"", worker.Property(L"URLPromotionCondition"));
  EXPECT_EQ(L"", worker.Property(L"CHROMEBROWSERPARAMS"));
  // OnlineAccess=0: the online settings are not read, UEIP is refused.
  EXPECT_FALSE(worker.m_settings.onlineAccess);
  EXPECT_EQ(L"1", worker.Property(L"NO_ONLINE_ACCESS"));
  EXPECT_EQ(0, state->m_ueipAccepted);
  EXPECT_FALSE(worker.m_settings.onlineUpdatesAllowed);
  EXPECT_FALSE(worker.m_settings.updateManagerAutomatic);
}

TEST_F(CWorkerPropertiesTest, CommandLineSettingsAreNotReadAgain) {
  CInspectableWorker worker;
  Prepare(&worker, kSuiteDcf, L"/qn NO_ONLINE_ACCESS=0 UEIP=0 ReturnRebootRequest=1", {});
  ASSERT_TRUE(worker.ParseSetupProperties());
  EXPECT_TRUE(worker.m_settings.onlineAccess);
  EXPECT_EQ(L"0", worker.Property(L"NO_ONLINE_ACCESS"));
  EXPECT_EQ(0, worker.GetSetupState()->m_ueipAccepted);
  EXPECT_TRUE(worker.m_settings.returnRebootRequest);
  EXPECT_TRUE(worker.m_settings.onlineUpdatesAllowed);  // read now that online access is allowed
}

TEST_F(CWorkerPropertiesTest, ProductNames) {
  struct Case {
    std::string propertyLines;
    std::vector<std::wstring> products;
    const wchar_t* productName;
    const wchar_t* shortName;
  };
  const Case kCases[] = {
      {"ProductName=0x41 0x42\r\n", {}, L"AB", L"AB"},
      {"ProductName=Name 0x41\r\n", {}, L"Name 0x41", L"Name 0x41"},
      {"ProductName=Suite\r\nShortProductName=S\r\n", {}, L"Suite", L"S"},
      {"", {L"P1", L"P2"}, L"", L""},
      {"", {L"P1"}, L"Fallback", L"Fallback"},
  };
  for (const Case& c : kCases) {
    CInspectableWorker worker;
    Prepare(&worker, "[Property]\r\n" + c.propertyLines + "[Setup.P1]\r\nProductName=Fallback\r\n",
            L"/qn", c.products);
    ASSERT_TRUE(worker.ParseSetupProperties()) << c.propertyLines;
    EXPECT_EQ(c.productName, worker.GetSetupState()->GetProductName()) << c.propertyLines;
    EXPECT_EQ(c.shortName, worker.GetSetupState()->GetShortProductName()) << c.propertyLines;
  }
}

TEST_F(CWorkerPropertiesTest, LanguageDialogFollowsAutoDetectUnlessForced) {
  struct Case {
    const char* autoDetect;
    const wchar_t* arguments;
    bool dialog;
  };
  const Case kCases[] = {
      {"", L"/qn", false},
      {"AutoDetectLang=0\r\n", L"/qn", true},
      {"AutoDetectLang=0\r\n", L"/qn {lang}=DEU", false},
      {"AutoDetectLang=0\r\n", L"/qn /x a.msi", false},
      {"AutoDetectLang=0\r\n", L"/qn /fa a.msi", false},
  };
  for (const Case& c : kCases) {
    CInspectableWorker worker;
    Prepare(&worker, std::string("[Property]\r\n") + c.autoDetect, c.arguments, {});
    ASSERT_TRUE(worker.ParseSetupProperties());
    EXPECT_EQ(c.dialog, worker.m_languageDialogAllowed != FALSE) << WideToUtf8(c.arguments);
  }
}

TEST_F(CWorkerPropertiesTest, BrowserOffersOnlyForListedProducts) {
  CInspectableWorker worker;
  Prepare(&worker, "[Property]\r\n", L"/qn GOOGLE_CHROME=0", {L"GOOGLE_TOOLBAR", L"GOOGLE_CHROME"});
  ASSERT_TRUE(worker.ParseSetupProperties());
  CSetupState* state = worker.GetSetupState();
  EXPECT_EQ(1, state->m_toolbarOffer);
  EXPECT_EQ(0, state->m_browserOffer);
  EXPECT_EQ(std::vector<std::wstring>{L"GOOGLE_CHROME"}, state->m_excludedOfferProducts);

  CInspectableWorker offline;
  Prepare(&offline, "[Property]\r\nOnlineAccess=0\r\n", L"/qn", {L"GOOGLE_CHROME"});
  ASSERT_TRUE(offline.ParseSetupProperties());
  EXPECT_EQ(0, offline.GetSetupState()->m_browserOffer);
  EXPECT_EQ(0, offline.GetSetupState()->m_toolbarOffer);
  EXPECT_EQ(std::vector<std::wstring>{L"GOOGLE_CHROME"},
            offline.GetSetupState()->m_excludedOfferProducts);
}

TEST_F(CWorkerPropertiesTest, FixedInstallPointNeedsAFolder) {
  CInspectableWorker worker;
  Prepare(&worker, "[Property]\r\nFixedInstallPoint=1\r\n", L"/qn", {});
  EXPECT_FALSE(worker.ParseSetupProperties());
  CInspectableWorker withFolder;
  Prepare(&withFolder, "[Property]\r\nFixedInstallPoint=1\r\nINSTALLDIR=C:\\Fixed\r\n", L"/qn", {});
  EXPECT_TRUE(withFolder.ParseSetupProperties());
  EXPECT_EQ(1, withFolder.GetSetupState()->m_fixedInstallPoint);
}

TEST_F(CWorkerPropertiesTest, ReferenceCountingGatesTheProjectTexts) {
  const std::string kTexts =
      "[Property]\r\nProjectName=Proj\r\nDeliveryNumber=7\r\nCustCode=C1\r\n";
  CInspectableWorker off;
  Prepare(&off, kTexts, L"/qn", {});
  ASSERT_TRUE(off.ParseSetupProperties());
  EXPECT_EQ(L"<absent>", off.Property(L"ProjectName"));
  CInspectableWorker on;
  Prepare(&on, kTexts + "[Setup]\r\nReferenceCountingEnabled=1\r\n", L"/qn", {});
  ASSERT_TRUE(on.ParseSetupProperties());
  EXPECT_EQ(L"Proj", on.Property(L"ProjectName"));
  EXPECT_EQ(L"7", on.Property(L"DeliveryNumber"));
  EXPECT_EQ(L"C1", on.GetSetupState()->m_customerCode);
}

TEST_CHILD(WorkerPropertyLogLines) {
  const std::wstring folder = args.at(0);
  WriteFileBytes(folder + L"FIXED.DCF", "[Property]\r\nFixedInstallPoint=1\r\n");
  WriteFileBytes(folder + L"SETUP.DCF",
                 "[Property]\r\nDynamicProperties=OSRequirements,Self\r\n"
                 "OSRequirements=NT\r\nSelf=<{Self}>\r\n");
  CInspectableWorker fixed;
  if (fixed.ParseArguments(folder, L"/qn") != 0) return 2;
  fixed.LoadConfigurationFile(folder + L"FIXED.DCF");
  if (fixed.ParseSetupProperties()) return 3;
  CInspectableWorker worker;
  if (worker.ParseArguments(folder, L"/qn") != 0) return 4;
  worker.LoadConfigurationFile(folder + L"SETUP.DCF");
  if (!worker.ParseSetupProperties()) return 5;
  if (worker.ExpandMacros(L"{Self}") != L"<{Self}>") return 6;
  worker.LogPropertyMaps();
  return 0;
}

TEST_F(CWorkerPropertiesTest, ProblemsAreLogged) {
  ASSERT_EQ(0u, RunChild(L"WorkerPropertyLogLines", {m_folder.Path()},
                         {{L"KWSETUP", m_folder.File(L"TAM_{ProductID}.log")}}));
  std::wstring log = ReadUtf16File(m_folder.File(L"VELL_SETUP.LOG"));
  const wchar_t* kExpected[] = {
      L" - Install path not specified in fixed point install set\r\n",
      L" - WARNING: OSRequirements does not have a matching OSRequirementsURL property\r\n",
      L" - ERROR: The macro {Self} refers to itself; it is left unexpanded\r\n",
      L" - Listing all PropertyMap (DynamicProperties) keys and values:\r\n",
      L" -    Self = <{Self}>\r\n",
      L" - Listing all ReplacementMap keys and values:\r\n",
  };
  size_t position = 0;
  for (const wchar_t* line : kExpected) {
    size_t found = log.find(line, position);
    ASSERT_NE(std::wstring::npos, found) << "missing or out of order: " << WideToUtf8(line);
    position = found + wcslen(line);
  }
}
