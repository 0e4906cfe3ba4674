// registry_search_test.cpp: finding a value below a key, in the machine's hive only,
// depth first, with the "SOFTWARE\" prefix rule.
#include "foundation/registry_search.h"

#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

void SetText(HKEY root, const std::wstring& path, const std::wstring& name,
             const std::wstring& text) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key,
                                           nullptr));
  RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

// The test key's path below "Software\".
std::wstring BelowSoftware(const CTestRegistryKey& key) {
  return key.Path().substr(std::wstring(L"Software\\").size());
}

}  // namespace

TEST(RegistrySearchTest, FindsTrimmedValueDepthFirst) {
  CTestRegistryKey user;
  // A comes before C, so the deep value under A wins over C's.
  SetText(HKEY_CURRENT_USER, user.Path() + L"\\A\\B", L"BuildOEM", L"  deep \t");
  SetText(HKEY_CURRENT_USER, user.Path() + L"\\C", L"BuildOEM", L"shallow");
  SetText(HKEY_CURRENT_USER, user.Path() + L"\\C", L"Other", L"other");

  std::wstring value;
  EXPECT_TRUE(FindRegistryValueRecursive(HKEY_CURRENT_USER, user.Path(), L"", &value));
  EXPECT_EQ(L"deep", value);
  EXPECT_TRUE(FindRegistryValueRecursive(HKEY_CURRENT_USER, user.Path(), L"Other", &value));
  EXPECT_EQ(L"other", value);
  EXPECT_FALSE(FindRegistryValueRecursive(HKEY_CURRENT_USER, user.Path(), L"None", &value));
  EXPECT_FALSE(FindRegistryValueRecursive(HKEY_CURRENT_USER, user.Path() + L"\\Missing", L"",
                                          &value));

  // The key's own value comes before any subkey's.
  SetText(HKEY_CURRENT_USER, user.Path(), L"BuildOEM", L"top");
  EXPECT_TRUE(FindRegistryValueRecursive(HKEY_CURRENT_USER, user.Path(), L"BuildOEM", &value));
  EXPECT_EQ(L"top", value);
}

TEST(RegistrySearchTest, SkipsValuesThatAreNotText) {
  CTestRegistryKey user;
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, user.Path().c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  DWORD number = 7;
  RegSetValueExW(key, L"BuildOEM", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                 sizeof(number));
  RegCloseKey(key);
  SetText(HKEY_CURRENT_USER, user.Path() + L"\\Sub", L"BuildOEM", L"text");

  std::wstring value;
  EXPECT_TRUE(FindRegistryValueRecursive(HKEY_CURRENT_USER, user.Path(), L"", &value));
  EXPECT_EQ(L"text", value);
}

// Any program of the user may write HKCU: a value only there decides nothing.
TEST(RegistrySearchTest, SearchesOnlyTheMachineBelowSoftware) {
  CTestRegistryKey machine(HKEY_LOCAL_MACHINE);
  CTestRegistryKey user;
  ASSERT_EQ(machine.Path(), user.Path());
  SetText(HKEY_CURRENT_USER, user.Path() + L"\\Product", L"BuildOEM", L"user");

  std::wstring value;
  EXPECT_FALSE(FindRegistryValue(BelowSoftware(user), L"BuildOEM", &value));

  SetText(HKEY_LOCAL_MACHINE, machine.Path() + L"\\Product", L"BuildOEM", L"machine");
  EXPECT_TRUE(FindRegistryValue(BelowSoftware(machine), L"BuildOEM", &value));
  EXPECT_EQ(L"machine", value);
  // A path that already starts with "SOFTWARE\" gets no second prefix.
  EXPECT_TRUE(FindRegistryValue(L"SOFTWARE\\" + BelowSoftware(machine), L"", &value));
  EXPECT_EQ(L"machine", value);
  EXPECT_FALSE(FindRegistryValue(BelowSoftware(machine) + L"\\Missing", L"", &value));
}
