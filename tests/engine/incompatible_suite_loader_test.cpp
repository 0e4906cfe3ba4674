// incompatible_suite_loader_test.cpp: which installed suites count as
// incompatible, the question asked about them, and the silent removal of
// their members.
#include "engine/incompatible_suite_loader.h"

#include <windows.h>

#include <string>

#include "actions/incompatible_suite_action.h"
#include "engine/message_box.h"
#include "foundation/setup_language.h"
#include "tests/actions/uninstall_fixture.h"
#include "tests/engine/action_list_world.h"

namespace {

int g_boxes = 0;
int g_answer = IDYES;
std::wstring g_text;
int WINAPI AnsweringBox(HWND, LPCWSTR text, LPCWSTR, UINT) {
  ++g_boxes;
  g_text = text;
  return g_answer;
}

bool WriteUsedBy(const CUninstallFixture& entry, const std::wstring& user) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(CUninstallFixture::kRoot) + entry.Id()).c_str(), 0,
                    KEY_SET_VALUE | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) {
    return false;
  }
  std::wstring data = user + L'\0' + L'\0';
  LONG rc = RegSetValueExW(key, L"UsedBy", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>(data.size() * sizeof(wchar_t)));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

}  // namespace

TEST(CIncompatibleSuiteLoaderTest, FindsAsksAndRemovesTheMembersOfIncompatibleSuites) {
  // The question asserted is the English one, whatever language an earlier
  // test chose.
  SetThreadUILanguageEx(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  CUninstallFixture suite;
  CUninstallFixture member(L".Member");
  ASSERT_TRUE(suite.Write(KEY_WOW64_32KEY, {{L"DisplayName", L"Old Suite"}, {L"UninstallString", L"x.exe"},
                                            {L"SKU", L"PRO"}, {L"BuildNumber", L"7"}}));
  ASSERT_TRUE(member.Write(KEY_WOW64_32KEY, {{L"DisplayName", L"Old Member"}, {L"UninstallString", L"prog.exe /remove"}}));
  ASSERT_TRUE(WriteUsedBy(member, ToLower(suite.Id())));
  std::string id = WideToUtf8(suite.Id());
  std::string dcf = "[Setup]\r\nProducts=Alpha\r\n[ProductGroup.Default]\r\nIncompatibleSuite=Old,Missing,OtherSku,OtherBuild\r\n"
                    "[IncompatibleSuite.Old]\r\nUUID=" + id + "\r\nSKU=pro\r\nBUILDNUM=7\r\n"
                    "[IncompatibleSuite.Missing]\r\nUUID=" + id + ".None\r\n"
                    "[IncompatibleSuite.OtherSku]\r\nUUID=" + id + "\r\nSKU=HOME\r\n"
                    "[IncompatibleSuite.OtherBuild]\r\nUUID=" + id + "\r\nBUILDNUM=8\r\n";
  const std::vector<std::wstring> kNames = {L"Old", L"Missing", L"OtherSku", L"OtherBuild"};
  struct Case {
    const wchar_t* level;
    int answer;
    bool cleanSystem;
    bool goesOn;
    int boxes;
    bool removes;
  } const kCases[] = {
      {L"/qn", IDNO, false, true, 0, true},  {L"/qb-", IDNO, false, true, 0, true},
      {L"/qb", IDYES, false, true, 1, true}, {L"/qb", IDNO, false, false, 1, false},
      {L"/qb", IDNO, true, true, 0, false},
  };
  SetMessageBoxImplementation(AnsweringBox);
  for (const Case& c : kCases) {
    g_boxes = 0;
    g_answer = c.answer;
    CActionListWorld world(dcf, c.level);
    CIncompatibleSuiteLoader loader(*world.sources);
    CActionListMap lists;
    std::string row = WideToUtf8(c.level) + std::to_string(c.answer);
    EXPECT_EQ(c.goesOn, loader.LoadIncompatibleSuite(kNames, c.cleanSystem, &lists)) << row;
    EXPECT_EQ(c.boxes, g_boxes) << row;
    if (c.boxes) {
      EXPECT_NE(std::wstring::npos, g_text.find(L"\n - Old Suite\n\nIf you choose")) << row;
    }
    if (!c.removes) {
      EXPECT_TRUE(loader.SuiteListNames().empty()) << row;
      continue;
    }
    ASSERT_EQ(std::vector<std::wstring>{suite.Id()}, loader.FoundSuites()) << row;
    ASSERT_EQ(std::vector<std::wstring>{L"SetupTests"}, loader.SuiteListNames()) << row;
    auto* action = static_cast<CIncompatibleSuiteAction*>(lists[L"SetupTests"]->begin()->get());
    EXPECT_EQ(100, action->GetSequence());
    EXPECT_EQ(member.Id(), action->GetUninstallKey());
    EXPECT_EQ(suite.Id(), action->GetUser());
    EXPECT_EQ(L"prog.exe /remove", action->GetCommand());
  }
  SetMessageBoxImplementation(nullptr);
}
