// ui_sequence_choice_test.cpp: configured page sequences read from
// SETUP.DCF fixtures, the walk, and the choice between them and the
// built-in sequences, as page lists (no window is made).
#include "wizard/ui_sequence_choice.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "foundation/kw_ini_file.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"
#include "wizard/ini_exception.h"
#include "wizard/ini_sequence.h"

namespace {

const char kConfigured[] =
    "[Interface]\r\n"
    "Sequences=Install\r\n"
    "[Interface.Install]\r\n"
    "Pages= Welcome , Verify,Finish\r\n"
    "Start=Welcome\r\n"
    "[Interface.Install.Welcome]\r\n"
    "Next=Verify\r\n"
    "DisableBack=1\r\n"
    "DisableNext=\r\n"
    "EnableView=-1\r\n"
    "DisplayCondition=A, B  \r\n"
    "[Interface.Install.Verify]\r\n"
    "Next=Finish\r\n"
    "DisableBack=0\r\n"
    "DisableNext=-1\r\n"
    "DisplayCondition=\r\n"
    "[Interface.Install.Finish]\r\n"
    "Next=0\r\n"
    "DisableBack=1\r\n"
    "DisableNext=1\r\n"
    "DisplayCondition=\r\n";

using Edits = std::vector<std::pair<std::string, std::string>>;

std::string Edited(std::string text, const Edits& edits) {
  for (const auto& edit : edits) {
    size_t at = text.find(edit.first);
    if (at == std::string::npos) {
      ADD_FAILURE() << "fixture has no " << edit.first;
      continue;
    }
    text.replace(at, edit.first.size(), edit.second);
  }
  return text;
}

// "Name|flags|condition|next", flags from B(ack), N(ext) and V(iew).
std::string Describe(const CIniPage& page) {
  std::string flags = std::string(page.IsBackDisabled() ? "B" : "") + (page.IsNextDisabled() ? "N" : "") +
                      (page.IsViewEnabled() ? "V" : "");
  return WideToUtf8(page.GetName()) + "|" + flags + "|" + WideToUtf8(page.GetDisplayCondition()) + "|" +
         WideToUtf8(page.GetNext());
}

std::string Names(const CIniPageList& pages) {
  std::string names;
  for (const CIniPage& page : pages) names += (names.empty() ? "" : ",") + WideToUtf8(page.GetName());
  return names;
}

class CUiSequenceTest : public ::testing::Test {
 protected:
  std::wstring Write(const std::string& text) {
    std::wstring path = m_folder.File(L"SETUP.DCF");
    WriteFileBytes(path, text);
    return path;
  }
  CTestFolder m_folder;
};

}  // namespace

TEST_F(CUiSequenceTest, LoaderReadsPagesOrThrowsItsText) {
  struct Case {
    Edits edits;
    const wchar_t* error;  // null: loads
  };
  const Case kCases[] = {
      {{}, nullptr},
      {{{"[Interface.Install]", "[Interface.Other]"}}, L"Could not load section Interface.Install"},
      {{{"Pages= Welcome , Verify,Finish\r\n", ""}}, L"Could not load 'Pages' entry in  Interface.Install"},
      {{{"Pages= Welcome , Verify", "Pages= Welcome , \"Verify"}},
       L"Error while parsing 'Pages' entry in Interface.Install"},
      {{{"Start=Welcome\r\n", ""}}, L"Could not load 'Start' entry in  Interface.Install"},
      {{{"Verify,Finish", "Verify,Finish,Upsell"}}, L"Could not load section Interface.Install.Upsell"},
      {{{"Next=Finish\r\n", ""}}, L"Failed to load 'Next' value from Interface.Install.Verify"},
      {{{"DisableBack=0\r\n", ""}}, L"Failed to load 'DisableBack' value from Interface.Install.Verify"},
      {{{"DisableBack=0", "DisableBack=1x"}},
       L"Failed converting 'DisableBack' value to BOOL Interface.Install.Verify"},
      {{{"DisableNext=-1\r\n", ""}}, L"Failed to load 'DisableNext' value from Interface.Install.Verify"},
      {{{"DisableNext=-1", "DisableNext=- 1"}},
       L"Failed converting 'DisableNext' value to BOOL Interface.Install.Verify"},
      {{{"DisplayCondition=\r\n[Interface.Install.Finish]", "[Interface.Install.Finish]"}},
       L"Failed to load 'DisplayCondition' value from Interface.Install.Verify"},
      // The list splitter's quotes and empty items.
      {{{"Pages= Welcome , Verify,Finish", "Pages=\"Welcome\",, Verify ,Finish,"}}, nullptr},
  };
  for (const Case& c : kCases) {
    CKwIniFile file;
    file.LoadFrom(Write(Edited(kConfigured, c.edits)));
    CIniSequence sequence;
    std::wstring error;
    try {
      sequence.Load(file, L"Install");
    } catch (const CIniException& e) {
      error = e.GetMessage();
      EXPECT_EQ(0u, e.GetErrorCode());
    }
    std::string label = c.edits.empty() ? "unchanged" : c.edits[0].second;
    if (c.error) {
      EXPECT_EQ(c.error, error) << label;
      continue;
    }
    EXPECT_EQ(L"", error) << label;
    EXPECT_EQ(3u, sequence.GetPages().size()) << label;
    EXPECT_EQ(L"Welcome", sequence.GetStart());
    EXPECT_EQ("Welcome|BV|A, B|Verify", Describe(sequence.GetPage(L"Welcome"))) << label;
    EXPECT_EQ("Verify|N||Finish", Describe(sequence.GetPage(L"Verify"))) << label;
    EXPECT_EQ("Finish|BN||0", Describe(sequence.GetPage(L"Finish"))) << label;
    EXPECT_EQ("|||", Describe(sequence.GetPage(L"Upsell"))) << label;
  }
}

TEST_F(CUiSequenceTest, EnableViewIsOptionalAndDefaultsToOff) {
  for (const char* view : {"", "EnableView=zz\r\n", "EnableView=\r\n", "EnableView=0\r\n"}) {
    CKwIniFile file;
    file.LoadFrom(Write(Edited(kConfigured, {{"EnableView=-1\r\n", view}})));
    CIniSequence sequence;
    sequence.Load(file, L"Install");
    EXPECT_FALSE(sequence.GetPage(L"Welcome").IsViewEnabled()) << view;
  }
}

// The walk follows Next from Start: it ends at "0" or "" whatever Pages
// lists, at a page Pages lacks (an empty entry), and refuses to come back
// to a page it has shown.
TEST_F(CUiSequenceTest, WalkEndsOrRefusesALoop) {
  struct Case {
    Edits edits;
    const char* walked;  // null: refused
  };
  const Case kCases[] = {
      {{}, "Welcome,Verify,Finish"},
      {{{"Next=Finish", "Next=0"}}, "Welcome,Verify"},
      {{{"Next=Finish", "Next="}}, "Welcome,Verify"},
      {{{"Next=0", "Next=Welcome"}}, nullptr},
      {{{"Next=Verify", "Next=Welcome"}}, nullptr},
      {{{"Next=Finish", "Next=Missing"}}, "Welcome,Verify,"},
      {{{"Start=Welcome", "Start=Nowhere"}}, ""},
  };
  for (const Case& c : kCases) {
    CKwIniFile file;
    file.LoadFrom(Write(Edited(kConfigured, c.edits)));
    CIniSequence sequence;
    sequence.Load(file, L"Install");
    std::string label = c.edits.empty() ? "unchanged" : c.edits[0].second;
    try {
      CIniPageList walked = CUiSequenceChoice::WalkSequence(sequence);
      ASSERT_NE(nullptr, c.walked) << label << ": a loop was walked: " << Names(walked);
      EXPECT_EQ(c.walked, Names(walked)) << label;
    } catch (const CIniException& e) {
      EXPECT_EQ(nullptr, c.walked) << label << ": " << WideToUtf8(e.GetMessage());
    }
  }
}

TEST_F(CUiSequenceTest, ChoiceFollowsLevelTypeModeAndConfiguration) {
  const std::string kInstallOnly = Edited(kConfigured, {{"Sequences=Install", "Sequences=UnInstall"}});
  struct Case {
    const char* label;
    int uiLevel;
    bool maintenance;
    long setupType;
    std::string dcf;  // empty: no file
    const char* pages;
  };
  const std::string kBuiltInInstall =
      "Welcome,Eula,InstallMode,InstallPoint,Customize,RemovePrevious,Verify,Progress,UserExit,Finish";
  const Case kCases[] = {
      {"basic install", 2, false, 0, kConfigured, "Progress,UserExit,Finish"},
      {"basic maintenance", 3, true, 0, kConfigured, "Progress,UserExit,Finish"},
      {"verify type", 0, false, 6, kConfigured, "Verify,Progress,UserExit,Finish"},
      {"configured", 0, false, 0, kConfigured, "Welcome,Verify,Finish"},
      {"no file", 0, false, 0, "", kBuiltInInstall.c_str()},
      {"no Sequences", 0, false, 0, Edited(kConfigured, {{"Sequences=Install\r\n", ""}}), kBuiltInInstall.c_str()},
      {"case-sensitive", 0, false, 0, Edited(kConfigured, {{"Sequences=Install", "Sequences=install"}}),
       kBuiltInInstall.c_str()},
      // A plain substring search: "UnInstall" holds "Install", so a first
      // install reads [Interface.Install]; "Uninstall" does not.
      {"Install inside UnInstall", 0, false, 0, kInstallOnly, "Welcome,Verify,Finish"},
      {"Uninstall", 0, false, 0, Edited(kConfigured, {{"Sequences=Install", "Sequences=Uninstall"}}),
       kBuiltInInstall.c_str()},
      {"Install inside UnInstall, no section", 0, false, 0,
       Edited(kInstallOnly, {{"[Interface.Install]", "[Interface.Other]"}}), kBuiltInInstall.c_str()},
      {"maintenance without Uninstall", 0, true, 0, kConfigured,
       "Welcome,InstallMode,Customize,Verify,Progress,UserExit,Finish"},
      {"broken page", 0, false, 0, Edited(kConfigured, {{"DisplayCondition=A, B  \r\n", ""}}),
       kBuiltInInstall.c_str()},
      {"loop", 0, false, 0, Edited(kConfigured, {{"Next=0", "Next=Verify"}}), kBuiltInInstall.c_str()},
      // Names are matched case-blind; names of no page are dropped.
      {"names", 0, false, 0,
       Edited(kConfigured, {{"Next=Verify", "Next=verify"},
                            {"Verify,Finish", "Verify, verify,Finish,Bogus"},
                            {"Next=0", "Next=Bogus"}}) +
           "[Interface.Install.Bogus]\r\nNext=0\r\nDisableBack=0\r\nDisableNext=0\r\nDisplayCondition=\r\n",
       "Welcome,Verify,Finish"},
  };
  for (const Case& c : kCases) {
    CUiSequenceFacts facts;
    facts.uiLevel = c.uiLevel;
    facts.maintenance = c.maintenance;
    facts.setupType = c.setupType;
    facts.configurationPath = c.dcf.empty() ? m_folder.File(L"MISSING.DCF") : Write(c.dcf);
    CMapStringToString properties;
    CIniPageList pages = CUiSequenceChoice(facts).Choose(&properties);
    EXPECT_EQ(c.pages, Names(pages)) << c.label;
    EXPECT_TRUE(properties.empty()) << c.label;
  }
}

// Pages with conditions of their own: the licence page only while the
// licence is not accepted, the product information only with its text, the
// offers only when offered (and then their property is set).
TEST_F(CUiSequenceTest, PagesWithConditionsOfTheirOwn) {
  const std::string kWithInformation =
      Edited(kConfigured, {{"Pages= Welcome , Verify,Finish", "Pages=Welcome,ProductInformation,Verify,Finish"},
                           {"Welcome]\r\nNext=Verify", "Welcome]\r\nNext=ProductInformation"},
                           {"[Interface.Install.Verify]",
                            "[Interface.Install.ProductInformation]\r\nNext=Verify\r\nDisableBack=0\r\n"
                            "DisableNext=0\r\nDisplayCondition=\r\n[Interface.Install.Verify]"}});
  struct Case {
    bool eulaAccepted, toolbar, browser, content;
    bool configured;
    const char* pages;
    const char* properties;
  };
  const Case kCases[] = {
      {false, false, false, false, false,
       "Welcome,Eula,InstallMode,InstallPoint,Customize,RemovePrevious,Verify,Progress,UserExit,Finish", ""},
      {true, true, true, false, false,
       "Welcome,InstallMode,InstallPoint,Customize,RemovePrevious,GoogleToolbar,GoogleChrome,Verify,Progress,"
       "UserExit,Finish",
       "GoogleChromePresent=true;GoogleToolbarPresent=true;"},
      {true, false, true, false, false,
       "Welcome,InstallMode,InstallPoint,Customize,RemovePrevious,GoogleChrome,Verify,Progress,UserExit,Finish",
       "GoogleChromePresent=true;"},
      {false, false, false, false, true, "Welcome,Verify,Finish", ""},
      {false, false, false, true, true, "Welcome,ProductInformation,Verify,Finish", ""},
  };
  for (const Case& c : kCases) {
    CUiSequenceFacts facts;
    facts.configurationPath = Write(c.configured ? kWithInformation : std::string("[Interface]\r\n"));
    facts.eulaAccepted = c.eulaAccepted;
    facts.toolbarOffer = c.toolbar;
    facts.browserOffer = c.browser;
    bool content = c.content;
    facts.productInformationHasContent = [content]() { return content; };
    CMapStringToString properties;
    CIniPageList pages = CUiSequenceChoice(facts).Choose(&properties);
    EXPECT_EQ(c.pages, Names(pages));
    std::string set;
    for (const auto& property : properties) set += WideToUtf8(property.first + L"=" + property.second) + ";";
    EXPECT_EQ(c.properties, set) << c.pages;
  }
}

TEST_F(CUiSequenceTest, BuiltInRowsCarryTheirButtonsAndConditions) {
  CIniPageList pages = CUiSequenceChoice::BuildDefaultInstallSequence();
  std::vector<std::string> described;
  for (const CIniPage& page : pages) described.push_back(Describe(page));
  const std::vector<std::string> kExpected = {
      "Welcome|B||",           "Eula|V||",
      "InstallMode|N||",       "InstallPoint||CustomInstall|",
      "Customize||CustomInstall|", "RemovePrevious|||",
      "GoogleToolbar||GoogleToolbarPresent|", "GoogleChrome||GoogleChromePresent|",
      "Verify|||",             "Progress|BN||",
      "UserExit|BN|UserCanceled, FailedInstall|", "Finish|BN||0",
  };
  EXPECT_EQ(kExpected, described);
  CIniPageList uninstall = CUiSequenceChoice::BuildDefaultUninstallSequence();
  EXPECT_EQ("Customize||ModifyInstall|", Describe(*std::next(uninstall.begin(), 2)));
  EXPECT_EQ("Verify|B||", Describe(CUiSequenceChoice::BuildDefaultVerifySequence().front()));
  EXPECT_EQ("Finish|BN||0", Describe(CUiSequenceChoice::BuildDefaultInstallBasicSequence().back()));
}

namespace {

// Each choice once, for its log lines.
TEST_CHILD(UiSequenceLogLines) {
  std::wstring folder = args.at(0);
  auto choose = [&](int uiLevel, bool maintenance, long type, const std::wstring& dcf) {
    CUiSequenceFacts facts;
    facts.uiLevel = uiLevel;
    facts.maintenance = maintenance;
    facts.setupType = type;
    facts.configurationPath = folder + dcf;
    CMapStringToString properties;
    CUiSequenceChoice(facts).Choose(&properties);
  };
  choose(2, false, 0, L"good.dcf");
  choose(2, true, 0, L"good.dcf");
  choose(0, false, 6, L"good.dcf");
  choose(0, false, 0, L"good.dcf");
  choose(0, true, 0, L"good.dcf");
  choose(0, false, 0, L"broken.dcf");
  choose(0, false, 0, L"loop.dcf");
  return 0;
}

}  // namespace

TEST_F(CUiSequenceTest, ChoicesWriteTheirLogLines) {
  WriteFileBytes(m_folder.File(L"good.dcf"), kConfigured);
  WriteFileBytes(m_folder.File(L"broken.dcf"), Edited(kConfigured, {{"DisableBack=0", "DisableBack=1x"}}));
  WriteFileBytes(m_folder.File(L"loop.dcf"), Edited(kConfigured, {{"Next=0", "Next=Welcome"}}));
  ASSERT_EQ(0u, RunChild(L"UiSequenceLogLines", {m_folder.Path()},
                         {{L"KWSETUP", m_folder.File(L"TAM_{ProductID}.log")}}));
  std::wstring log = ReadUtf16File(m_folder.File(L"VELL_SETUP.LOG"));
  const std::wstring kExpected[] = {
      L" - Using default Install Basic UI sequence\r\n",
      L" - Using default Uninstall Basic UI sequence\r\n",
      L" - Reading UI sequence from the DCF\r\n",
      L" - Using default Uninstall UI sequence\r\n",
      L" - Reading UI sequence from the DCF\r\n",
      L" - Exception while loading dcf file: " + m_folder.File(L"broken.dcf") +
          L" error 0: Failed converting 'DisableBack' value to BOOL Interface.Install.Verify\r\n",
      L" - Using default Install UI sequence\r\n",
      L" - Reading UI sequence from the DCF\r\n",
      L" - Exception while loading dcf file: " + m_folder.File(L"loop.dcf") + L" error 0: Page 'Welcome'",
      L" - Using default Install UI sequence\r\n",
  };
  size_t position = 0;
  for (const std::wstring& line : kExpected) {
    size_t found = log.find(line, position);
    ASSERT_NE(std::wstring::npos, found) << "missing or out of order: " << WideToUtf8(line);
    position = found + line.size();
  }
  // The verify sequence has no line of its own.
  size_t builtIn = 0;
  for (size_t at = log.find(L"Using default"); at != std::wstring::npos; at = log.find(L"Using default", at + 1)) {
    ++builtIn;
  }
  EXPECT_EQ(5u, builtIn);
}
