// app_search_test.cpp: the AppSearch language: how a program splits into
// tests, and what each kind of test finds in the registry (both views) and
// in files, with the fallback and failure codes.
#include "engine/app_search.h"

#include <windows.h>

#include <string>
#include <vector>

#include "engine/setup_state.h"
#include "foundation/wow64.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

using Tests = std::vector<std::vector<std::wstring>>;

void SetValue(HKEY root, const std::wstring& path, REGSAM view, const wchar_t* name, DWORD type,
              const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                                           &key, nullptr));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
  RegCloseKey(key);
}

void SetText(HKEY root, const std::wstring& path, REGSAM view, const wchar_t* name, DWORD type,
             const std::wstring& text) {
  SetValue(root, path, view, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

class CAppSearchTest : public ::testing::Test {
 protected:
  // Runs `program` from the property "Search"; the result lands in R.
  DWORD Run(const std::wstring& program, std::wstring* result) {
    m_state.SetProperty(L"Search", program);
    CAppSearch search(m_state, [this](const std::wstring& text) {
      return ReplaceAll(ReplaceAll(text, L"{KEY}", m_key), L"{EXE}", TestExecutablePath());
    });
    DWORD code = search.Run(L"Search");
    result->clear();
    m_state.GetProperty(L"R", result);
    return code;
  }

  CSetupState m_state;
  CTestRegistryKey m_registry;
  std::wstring m_key = L"HKCU\\" + m_registry.Path();
};

}  // namespace

TEST(CAppSearchParseTest, SplitsTestsAndFields) {
  const struct {
    const wchar_t* program;
    Tests tests;
  } kCases[] = {
      {L"out,A,none;reg,HKLM\\X,REG_SZ,V", {{L"out", L"A", L"none"}, {L"reg", L"HKLM\\X", L"REG_SZ", L"V"}}},
      // Quotes protect both separators and stay in the field.
      {L"app,\"C:\\a,b;c.exe\",MAX,2.0", {{L"app", L"\"C:\\a,b;c.exe\"", L"MAX", L"2.0"}}},
      {L"app,x,MAX,2.0,extra,more", {{L"app", L"x", L"MAX", L"2.0"}}},
      {L"reg,,REG_SZ,V", {{L"reg"}}},
      {L";;out,A;", {{L"out", L"A"}}},
      {L",out,A", {}},
      {L"", {}},
      {L"\"unclosed;x,y", {{L"\"unclosed;x,y"}}},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.tests, CAppSearch::ParseProgram(c.program)) << c.program;
}

TEST_F(CAppSearchTest, RegistryTestsSetTheResultOrTheFallback) {
  SetText(HKEY_CURRENT_USER, m_registry.Path(), 0, L"Text", REG_SZ, L"hello");
  SetText(HKEY_CURRENT_USER, m_registry.Path(), 0, L"Expand", REG_EXPAND_SZ, L"%TEMP%\\x");
  SetText(HKEY_CURRENT_USER, m_registry.Path(), 0, L"Long", REG_SZ, std::wstring(300, L'a'));
  DWORD number = 42;
  SetValue(HKEY_CURRENT_USER, m_registry.Path(), 0, L"Number", REG_DWORD, &number, sizeof(number));
  const struct {
    const wchar_t* program;
    DWORD code;
    const wchar_t* result;
  } kCases[] = {
      {L"out,R,none;reg,{KEY},REG_SZ,Text", 0, L"hello"},
      {L"out,R,none;reg,{KEY},REG_EXPAND_SZ,Expand", 0, L"%TEMP%\\x"},
      {L"out,R,none;reg,{KEY},REG_DWORD,Number", 0, L"42"},
      {L"out,R,none;reg,{KEY},REG_SZ,Number", 1168, L"none"},
      {L"out,R,none;reg,{KEY},REG_EXPAND_SZ,Text", 1168, L"none"},
      {L"out,R,none;reg,{KEY},reg_sz,Text", 1168, L"none"},
      // A key that exists is success enough without a value type.
      {L"out,R,none;reg,{KEY}", 0, L"none"},
      {L"out,R,none;reg,{KEY},REG_SZ", 1168, L"none"},
      {L"out,R,none;reg,{KEY},REG_SZ,Missing", 1168, L"none"},
      {L"out,R,none;reg,{KEY}\\Missing,REG_SZ,Text", 1168, L"none"},
      {L"out,R,none;reg,{KEY},REG_SZ,Long", 1168, L"none"},
      {L"out,R,none;reg,hkcu\\Software,REG_SZ,Text", 1168, L"none"},
      {L"out,R;reg,{KEY}\\Missing,REG_SZ,Text", 1168, L""},
      {L"out,R,none;ret,false;reg,{KEY}\\Missing,REG_SZ,Text", 0, L"none"},
      {L"OUT,R,none;reg,{KEY}\\Missing,REG_SZ,Text;REG,{KEY},REG_SZ,Text", 0, L"hello"},
      {L"out,R,none;find,{KEY}", 1168, L"none"},
      {L"reg,{KEY},REG_SZ,Text", 0, L""},
  };
  for (const auto& c : kCases) {
    m_state.SetProperty(L"R", L"before");
    std::wstring result;
    EXPECT_EQ(c.code, Run(c.program, &result)) << c.program;
    if (std::wstring(c.program).rfind(L"reg,", 0) == 0) continue;  // no "out": R untouched
    EXPECT_EQ(c.result, result) << c.program;
  }
}

// A 32-bit program sees the 32-bit view first; a key only the 64-bit view
// holds is found by the second look.
TEST_F(CAppSearchTest, RegistryTestFindsAKeyOfEitherView) {
  if (!IsWow64()) GTEST_SKIP() << "a 32-bit system has one view";
  CTestRegistryKey machine(HKEY_LOCAL_MACHINE);
  std::wstring path = machine.Path();
  SetText(HKEY_LOCAL_MACHINE, path + L"\\Only64", KEY_WOW64_64KEY, L"Where", REG_SZ, L"64");
  SetText(HKEY_LOCAL_MACHINE, path + L"\\Both", KEY_WOW64_64KEY, L"Where", REG_SZ, L"64");
  SetText(HKEY_LOCAL_MACHINE, path + L"\\Both", KEY_WOW64_32KEY, L"Where", REG_SZ, L"32");
  std::wstring result;
  EXPECT_EQ(0u, Run(L"out,R,none;reg,HKLM\\" + path + L"\\Only64,REG_SZ,Where", &result));
  EXPECT_EQ(L"64", result);
  EXPECT_EQ(0u, Run(L"out,R,none;reg,HKLM\\" + path + L"\\Both,REG_SZ,Where", &result));
  EXPECT_EQ(L"32", result);
  EXPECT_EQ(1168u, Run(L"out,R,none;reg,HKLM\\" + path + L"\\Neither,REG_SZ,Where", &result));
  EXPECT_EQ(L"none", result);
}

TEST_F(CAppSearchTest, FileTestsCompareTheFileVersion) {
  std::wstring exe = TestExecutablePath();  // version 3.58.94.0
  const struct {
    const wchar_t* program;
    DWORD code;
  } kCases[] = {
      {L"out,R,none;app,{EXE}", 0},
      {L"out,R,none;app,{EXE},MAX,3.58.94", 0},
      {L"out,R,none;app,{EXE},MAX,3.58.94.1", 0},
      {L"out,R,none;app,{EXE},max,4", 0},
      {L"out,R,none;app,{EXE},MAX,2.0", 1168},
      {L"out,R,none;app,{EXE},MIN,3.58.94.0", 0},
      {L"out,R,none;app,{EXE},MIN,3.58.95", 1168},
      {L"out,R,none;app,{EXE},MIN,1", 0},
      {L"out,R,none;app,{EXE},MAX", 1168},
      {L"out,R,none;app,{EXE},MAX,x", 1168},
      {L"out,R,none;app,{EXE},EQUAL,3.58.94", 1168},
      {L"out,R,none;app,{EXE}.missing", 1168},
      {L"out,R,none;app,{EXE}.missing;app,{EXE},MIN,3", 0},
  };
  for (const auto& c : kCases) {
    std::wstring result;
    EXPECT_EQ(c.code, Run(c.program, &result)) << c.program;
    EXPECT_EQ(c.code == 0 ? exe : std::wstring(L"none"), result) << c.program;
  }
}

// "dep" runs other properties' programs; the last one run decides. A
// program that reaches itself again fails instead of running for ever.
TEST_F(CAppSearchTest, DependenciesRunInOrderAndCyclesFail) {
  SetText(HKEY_CURRENT_USER, m_registry.Path(), 0, L"Text", REG_SZ, L"hello");
  m_state.SetProperty(L"Found", L"out,R,none;reg," + m_key + L",REG_SZ,Text");
  m_state.SetProperty(L"Lost", L"out,Q,gone;reg," + m_key + L"\\Missing,REG_SZ,Text");
  m_state.SetProperty(L"Self", L"dep,Self");
  m_state.SetProperty(L"Ping", L"out,P,none;dep,Pong");
  m_state.SetProperty(L"Pong", L"dep,Found&Ping");
  const struct {
    const wchar_t* program;
    DWORD code;
    const wchar_t* result;
  } kCases[] = {
      {L"dep,Found", 0, L"hello"},
      {L"dep,Found&Lost", 1168, L"hello"},
      {L"dep,Lost&Found", 0, L"hello"},
      {L"dep,&Lost", 0, L"before"},
      {L"dep,Nothing", 1168, L"before"},
      {L"dep,Self", 1168, L"before"},
      {L"dep,Search", 1168, L"before"},
      {L"dep,Ping", 1168, L"hello"},
  };
  for (const auto& c : kCases) {
    m_state.SetProperty(L"R", L"before");
    std::wstring result;
    EXPECT_EQ(c.code, Run(c.program, &result)) << c.program;
    EXPECT_EQ(c.result, result) << c.program;
  }
}
