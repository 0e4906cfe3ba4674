// setup_properties_test.cpp: the setup properties read from a SETUP.DCF,
// the configuration merged into the engine's settings with the command line
// winning, and the problems the reader logs.
#include "engine/setup_properties.h"

#include <windows.h>

#include <string>
#include <vector>

#include "actions/command_options.h"
#include "actions/windows_command_options_system.h"
#include "engine/engine_settings.h"
#include "engine/replacement_map.h"
#include "engine/setup_state.h"
#include "foundation/kw_ini_file.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
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

// What the reader gets from the earlier steps of a run whose program sits in
// `folder`: the command line's settings, the options' mode and the maps,
// with the configuration `dcf` written there as `fileName` and loaded.
class CPropertiesRun {
 public:
  CPropertiesRun(const std::wstring& folder, const std::string& dcf, const std::wstring& arguments,
                 const std::wstring& fileName = L"SETUP.DCF")
      : m_options(CWindowsCommandOptionsSystem::Instance()), m_macros(m_state), m_arguments(arguments) {
    std::wstring rest = arguments;
    TakeEngineSettings(&rest, &m_settings, nullptr);
    m_parsed = m_options.Parse(folder, rest);
    m_macros.Create(m_options, folder + L"setup.exe", false);
    WriteFileBytes(folder + fileName, dcf);
    m_configuration.Init(false);
    m_configuration.LoadFrom(folder + fileName);
  }
  bool Read(const std::vector<std::wstring>& products = {}) {
    CSetupProperties properties(m_configuration, m_macros, m_state, m_settings);
    return properties.Read(products, m_options.GetMode(), m_arguments);
  }
  std::wstring Property(const std::wstring& name) const {
    std::wstring value = L"<absent>";
    m_state.GetProperty(name, &value);
    return value;
  }

  CSetupState m_state;
  CEngineSettings m_settings;
  CCommandOptions m_options;
  CReplacementMap m_macros;
  CKwIniFile m_configuration;
  std::wstring m_arguments;
  bool m_parsed = false;
};

class CSetupPropertiesTest : public ::testing::Test {
 protected:
  std::wstring FolderWithoutBackslash() const {
    return m_folder.Path().substr(0, m_folder.Path().size() - 1);
  }
  CTestFolder m_folder;
};

}  // namespace

TEST_F(CSetupPropertiesTest, LaterSourcesWin) {
  CPropertiesRun run(m_folder.Path(), kSuiteDcf, L"/qn INSTALLDIR=D:\\Apps Beta=\"cmd beta\"");
  ASSERT_TRUE(run.m_parsed);
  ASSERT_TRUE(run.Read({L"P1", L"P2"}));
  const CSetupState& state = run.m_state;
  EXPECT_EQ(L"product", run.Property(L"Alpha"));
  EXPECT_EQ(L"why", run.Property(L"P1.Y"));
  EXPECT_EQ(L"<absent>", run.Property(L"Unset"));
  EXPECT_EQ(L"\"cmd beta\"", run.Property(L"Beta"));
  EXPECT_EQ(L"{SetupDir}\\data", run.Property(L"Gamma"));
  EXPECT_EQ(FolderWithoutBackslash() + L"\\data", run.m_macros.Expand(L"{Gamma}"));
  EXPECT_EQ(L"D:\\Apps", run.Property(L"INSTALLDIR"));
  EXPECT_EQ(FolderWithoutBackslash() + L"\\apps", state.GetInstallFolder());
  EXPECT_EQ(state.GetInstallFolder(), state.m_defaultInstallFolder);
  EXPECT_EQ(L"AB", run.Property(L"ProductName"));
  EXPECT_EQ(L"AB", state.GetProductName());
  EXPECT_EQ(L"AB", state.GetShortProductName());
  EXPECT_EQ(L"1.0", run.Property(L"DcfSchemaVersionFound"));
  EXPECT_EQ(L"{SETUPLANG} == \"ENU\"", run.Property(L"URLPromotionCondition"));
  EXPECT_EQ(L"", run.Property(L"CHROMEBROWSERPARAMS"));
  // OnlineAccess=0: the online settings are not read, UEIP is refused.
  EXPECT_FALSE(run.m_settings.onlineAccess);
  EXPECT_EQ(L"1", run.Property(L"NO_ONLINE_ACCESS"));
  EXPECT_EQ(0, state.m_ueipAccepted);
  EXPECT_FALSE(run.m_settings.onlineUpdatesAllowed);
  EXPECT_FALSE(run.m_settings.updateManagerAutomatic);
}

// Every setting that both the command line and the configuration carry: the
// configuration decides only where the command line said nothing, and the
// online settings are read only while online access is allowed.
TEST_F(CSetupPropertiesTest, CommandLineWinsOverTheConfiguration) {
  struct Case {
    const wchar_t* arguments;
    const char* propertyLines;
    const wchar_t* merged;
  };
  const char kAllSet[] =
      "SkipEULADialog=1\r\nUpdateManager=1\r\nUpdateManagerAutomatic=0\r\nAllowOnlineUpdates=1\r\n"
      "RequireOnlineAccess=1\r\nForceEncryption=1\r\nMUI=0\r\nUEIP=0\r\nCleanupSourceFiles=1\r\n"
      "ReturnRebootRequest=1\r\n";
  const Case kCases[] = {
      {L"/qn", "", L"eula=0 online=1 um=0 uma=1 aou=0 roa=0 enc=0 mui=1 ueip=1 clean=0 reboot=0 noa=0"},
      {L"/qn", kAllSet, L"eula=1 online=1 um=1 uma=0 aou=1 roa=1 enc=1 mui=0 ueip=0 clean=1 reboot=1 noa=0"},
      {L"/qn MPI_EULA_ACCEPTED=0 UpdateManager=0 UpdateManagerAutomatic=1 AllowOnlineUpdates=0 "
       L"RequireOnlineAccess=0 FORCE_ENCRYPTION=0 INSTALL_ALL_LANGS=1 UEIP=1 CleanupSourceFiles=0 "
       L"ReturnRebootRequest=0",
       kAllSet, L"eula=0 online=1 um=0 uma=1 aou=0 roa=0 enc=0 mui=1 ueip=1 clean=0 reboot=0 noa=0"},
      {L"/qn", "OnlineAccess=0\r\nUpdateManagerAutomatic=1\r\nAllowOnlineUpdates=1\r\nRequireOnlineAccess=1\r\n",
       L"eula=0 online=0 um=0 uma=0 aou=0 roa=0 enc=0 mui=1 ueip=0 clean=0 reboot=0 noa=1"},
      {L"/qn NO_ONLINE_ACCESS=1", "OnlineAccess=1\r\nAllowOnlineUpdates=1\r\nRequireOnlineAccess=1\r\n",
       L"eula=0 online=0 um=0 uma=0 aou=0 roa=0 enc=0 mui=1 ueip=0 clean=0 reboot=0 noa=1"},
      {L"/qn NO_ONLINE_ACCESS=0", "OnlineAccess=0\r\nAllowOnlineUpdates=1\r\n",
       L"eula=0 online=1 um=0 uma=1 aou=1 roa=0 enc=0 mui=1 ueip=1 clean=0 reboot=0 noa=0"},
      // Offline on the command line refuses the experience programme it asks for.
      {L"/qn UEIP=1 NO_ONLINE_ACCESS=1", "",
       L"eula=0 online=0 um=0 uma=0 aou=0 roa=0 enc=0 mui=1 ueip=0 clean=0 reboot=0 noa=1"},
      {L"/qn {lang}=DEU", "MUI=1\r\n",
       L"eula=0 online=1 um=0 uma=1 aou=0 roa=0 enc=0 mui=0 ueip=1 clean=0 reboot=0 noa=0"},
  };
  for (const Case& c : kCases) {
    CPropertiesRun run(m_folder.Path(), std::string("[Property]\r\n") + c.propertyLines, c.arguments);
    ASSERT_TRUE(run.Read()) << WideToUtf8(c.arguments);
    const CEngineSettings& s = run.m_settings;
    std::wstring merged = Format(
        L"eula=%d online=%d um=%d uma=%d aou=%d roa=%d enc=%d mui=%d ueip=%d clean=%d reboot=%d "
        L"noa=%s",
        static_cast<int>(run.m_state.m_eulaAccepted), s.onlineAccess, s.updateManager,
        s.updateManagerAutomatic, s.onlineUpdatesAllowed, s.requireOnlineAccess, s.forceEncryption,
        s.installAllLanguages, static_cast<int>(run.m_state.m_ueipAccepted), s.cleanupSourceFiles,
        s.returnRebootRequest, run.Property(L"NO_ONLINE_ACCESS").c_str());
    EXPECT_EQ(c.merged, merged) << WideToUtf8(c.arguments) << " / " << c.propertyLines;
  }
}

TEST_F(CSetupPropertiesTest, ProductNames) {
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
    CPropertiesRun run(m_folder.Path(),
                       "[Property]\r\n" + c.propertyLines + "[Setup.P1]\r\nProductName=Fallback\r\n",
                       L"/qn");
    ASSERT_TRUE(run.Read(c.products)) << c.propertyLines;
    EXPECT_EQ(c.productName, run.m_state.GetProductName()) << c.propertyLines;
    EXPECT_EQ(c.shortName, run.m_state.GetShortProductName()) << c.propertyLines;
  }
}

TEST_F(CSetupPropertiesTest, LanguageDialogFollowsAutoDetectUnlessForced) {
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
    CPropertiesRun run(m_folder.Path(), std::string("[Property]\r\n") + c.autoDetect, c.arguments);
    ASSERT_TRUE(run.Read());
    EXPECT_EQ(c.dialog, run.m_settings.languageDialogAllowed) << WideToUtf8(c.arguments);
  }
}

TEST_F(CSetupPropertiesTest, BrowserOffersOnlyForListedProducts) {
  CPropertiesRun run(m_folder.Path(), "[Property]\r\n", L"/qn GOOGLE_CHROME=0");
  ASSERT_TRUE(run.Read({L"GOOGLE_TOOLBAR", L"GOOGLE_CHROME"}));
  EXPECT_EQ(1, run.m_state.m_toolbarOffer);
  EXPECT_EQ(0, run.m_state.m_browserOffer);
  EXPECT_EQ(std::vector<std::wstring>{L"GOOGLE_CHROME"}, run.m_state.m_excludedOfferProducts);

  CPropertiesRun offline(m_folder.Path(), "[Property]\r\nOnlineAccess=0\r\n", L"/qn");
  ASSERT_TRUE(offline.Read({L"GOOGLE_CHROME"}));
  EXPECT_EQ(0, offline.m_state.m_browserOffer);
  EXPECT_EQ(0, offline.m_state.m_toolbarOffer);
  EXPECT_EQ(std::vector<std::wstring>{L"GOOGLE_CHROME"}, offline.m_state.m_excludedOfferProducts);
}

TEST_F(CSetupPropertiesTest, FixedInstallPointNeedsAFolder) {
  CPropertiesRun run(m_folder.Path(), "[Property]\r\nFixedInstallPoint=1\r\n", L"/qn");
  EXPECT_FALSE(run.Read());
  CPropertiesRun withFolder(m_folder.Path(),
                            "[Property]\r\nFixedInstallPoint=1\r\nINSTALLDIR=C:\\Fixed\r\n", L"/qn");
  EXPECT_TRUE(withFolder.Read());
  EXPECT_EQ(1, withFolder.m_state.m_fixedInstallPoint);
}

TEST_F(CSetupPropertiesTest, ReferenceCountingGatesTheProjectTexts) {
  const std::string kTexts =
      "[Property]\r\nProjectName=Proj\r\nDeliveryNumber=7\r\nCustCode=C1\r\n";
  CPropertiesRun off(m_folder.Path(), kTexts, L"/qn");
  ASSERT_TRUE(off.Read());
  EXPECT_EQ(L"<absent>", off.Property(L"ProjectName"));
  CPropertiesRun on(m_folder.Path(), kTexts + "[Setup]\r\nReferenceCountingEnabled=1\r\n", L"/qn");
  ASSERT_TRUE(on.Read());
  EXPECT_EQ(L"Proj", on.Property(L"ProjectName"));
  EXPECT_EQ(L"7", on.Property(L"DeliveryNumber"));
  EXPECT_EQ(L"C1", on.m_state.m_customerCode);
}

TEST_CHILD(SetupPropertyLogLines) {
  const std::wstring folder = args.at(0);
  CPropertiesRun fixed(folder, "[Property]\r\nFixedInstallPoint=1\r\n", L"/qn", L"FIXED.DCF");
  if (fixed.Read()) return 3;
  CPropertiesRun run(folder,
                     "[Property]\r\nDynamicProperties=OSRequirements,Self\r\n"
                     "OSRequirements=NT\r\nSelf=<{Self}>\r\n",
                     L"/qn");
  if (!run.Read()) return 5;
  if (run.m_macros.Expand(L"{Self}") != L"<{Self}>") return 6;
  run.m_macros.Log();
  return 0;
}

TEST_F(CSetupPropertiesTest, ProblemsAreLogged) {
  ASSERT_EQ(0u, RunChild(L"SetupPropertyLogLines", {m_folder.Path()},
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
