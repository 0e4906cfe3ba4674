// install_group_info_test.cpp: the scan of both registry views for the
// products whose UsedBy lists a suite.
#include "engine/install_group_info.h"

#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/actions/uninstall_fixture.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

// Writes UsedBy of the fixture's entry in one view.
void WriteUsedBy(const CUninstallFixture& entry, REGSAM view, const std::vector<std::wstring>& users) {
  ASSERT_TRUE(entry.Write(view, {{L"DisplayName", L"member"}}));
  std::wstring data;
  for (const std::wstring& user : users) data += user + L'\0';
  data += L'\0';
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, (CUninstallFixture::kRoot + entry.Id()).c_str(),
                                         0, KEY_SET_VALUE | view, &key));
  RegSetValueExW(key, L"UsedBy", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                 static_cast<DWORD>(data.size() * sizeof(wchar_t)));
  RegCloseKey(key);
}

int Count(const std::vector<std::wstring>& members, const std::wstring& name) {
  int count = 0;
  for (const std::wstring& member : members) count += member == name ? 1 : 0;
  return count;
}

}  // namespace

TEST(CInstallGroupInfoTest, WithoutUuidFindsNothing) {
  CInstallGroupInfo group;
  group.AddMember(L"stale");
  EXPECT_FALSE(group.FindMemberProducts());
  EXPECT_EQ(std::vector<std::wstring>{L"stale"}, group.GetMembers());
}

// Both views, a case-blind match, an entry without UsedBy and one of
// another suite only.
TEST(CInstallGroupInfoTest, FindsMembersInBothViewsCaseBlind) {
  const std::wstring uuid = L"{5E7E0000-0000-4000-8000-" + std::to_wstring(GetCurrentProcessId()) + L"}";
  CUninstallFixture both(L".Both"), only32(L".Only32"), noUsers(L".NoUsers"), other(L".Other");
  WriteUsedBy(both, KEY_WOW64_64KEY, {L"{OTHER}", uuid});
  WriteUsedBy(both, KEY_WOW64_32KEY, {ToLower(uuid)});
  WriteUsedBy(only32, KEY_WOW64_32KEY, {uuid});
  ASSERT_TRUE(noUsers.Write(KEY_WOW64_32KEY, {{L"DisplayName", L"no users"}}));
  WriteUsedBy(other, KEY_WOW64_32KEY, {L"{OTHER}"});

  CInstallGroupInfo group;
  group.SetUuid(uuid);
  group.AddMember(L"stale");
  ASSERT_TRUE(group.FindMemberProducts());
  EXPECT_EQ(2, Count(group.GetMembers(), both.Id()));
  EXPECT_EQ(1, Count(group.GetMembers(), only32.Id()));
  EXPECT_EQ(0, Count(group.GetMembers(), noUsers.Id()));
  EXPECT_EQ(0, Count(group.GetMembers(), other.Id()));
  EXPECT_EQ(0, Count(group.GetMembers(), L"stale"));
  EXPECT_TRUE(group.HasMember(only32.Id()));
  EXPECT_FALSE(group.HasMember(ToLower(only32.Id())));
}
