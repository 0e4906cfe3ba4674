// folder_security_test.cpp: a folder made or taken over for administrators
// alone reads back with their owner and access list, and hands the list down.
#include "foundation/folder_security.h"

#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>

#include <set>
#include <string>
#include <tuple>

#include "foundation/file_utils.h"
#include "foundation/text_utils.h"
#include "foundation/tree_deletion.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

using CEntry = std::tuple<std::string, DWORD, BYTE>;  // who, rights, inheritance flags

std::string Who(PSID sid) {
  if (IsWellKnownSid(sid, WinLocalSystemSid)) return "SYSTEM";
  if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) return "Administrators";
  return IsWellKnownSid(sid, WinWorldSid) ? "Everyone" : "other";
}

// Owner, whether the list is protected, and the list.
std::tuple<std::string, bool, std::set<CEntry>> ReadSecurity(const std::wstring& path) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  std::set<CEntry> entries;
  ACCESS_ALLOWED_ACE* entry = nullptr;
  for (DWORD i = 0; dacl && i < dacl->AceCount && GetAce(dacl, i, reinterpret_cast<void**>(&entry)); ++i) {
    entries.insert({Who(reinterpret_cast<PSID>(&entry->SidStart)), entry->Mask, entry->Header.AceFlags});
  }
  std::tuple<std::string, bool, std::set<CEntry>> security(Who(owner), (control & SE_DACL_PROTECTED) != 0,
                                                           entries);
  LocalFree(descriptor);
  return security;
}

// Upstream Wine keeps no access list on a file: what it reads back is made
// from the Unix mode bits, never protected.
bool AccessListsAreKept(std::wstring folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  ACL empty;
  InitializeAcl(&empty, sizeof(empty), ACL_REVISION);
  SetNamedSecurityInfoW(&folder[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, &empty, nullptr);
  return std::get<1>(ReadSecurity(folder));
}

}  // namespace

TEST(FolderSecurityTest, NewAndExistingFoldersBecomeAdministratorsOnly) {
  CTestFolder root;
  if (!AccessListsAreKept(root.File(L"probe"))) GTEST_SKIP() << "no access lists are kept on files here";
  if (!IsUserAnAdmin()) GTEST_SKIP() << "making Administrators the owner needs their rights";
  // An older run's folder, under the usual permissions.
  CreateDirectoryW(root.File(L"existing").c_str(), nullptr);
  const BYTE kHandedDown = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  const DWORD kRead = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
  const std::set<CEntry> kFolder = {{"SYSTEM", FILE_ALL_ACCESS, kHandedDown},
                                    {"Administrators", FILE_ALL_ACCESS, kHandedDown},
                                    {"Everyone", kRead, kHandedDown}};
  const std::set<CEntry> kFile = {{"SYSTEM", FILE_ALL_ACCESS, INHERITED_ACE},
                                  {"Administrators", FILE_ALL_ACCESS, INHERITED_ACE},
                                  {"Everyone", kRead, INHERITED_ACE}};
  for (const wchar_t* name : {L"new\\suite", L"existing"}) {
    SCOPED_TRACE(testing::Message() << name);
    std::wstring folder = root.File(name);
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), MakeAdministratorsOnlyFolder(folder));
    CloseHandle(CreateFileW((folder + L"\\setup.dcf").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_EQ(std::make_tuple(std::string("Administrators"), true, kFolder), ReadSecurity(folder));
    EXPECT_EQ(kFile, std::get<2>(ReadSecurity(folder + L"\\setup.dcf")));
  }
}

// The working copy an administrator's resume starts: made new in the
// machine's temporary folder, never a folder that stood at its name.
TEST(FolderSecurityTest, WorkingCopyIsMadeNewOutsideProfilesForAdministratorsOnly) {
  CTestFolder root;
  std::wstring existing = root.File(L"existing");
  CreateDirectoryW(existing.c_str(), nullptr);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), CreateAdministratorsOnlyFolder(existing));
  if (!IsUserAnAdmin()) GTEST_SKIP() << "making Administrators the owner needs their rights";
  std::wstring copy;
  ASSERT_TRUE(CreateTempWorkFolder(&copy, nullptr, true));
  std::wstring folder = copy.substr(0, copy.size() - 1);
  EXPECT_EQ(GetMachineTempFolderPath(), FolderOfPath(folder));
  std::tuple<std::string, bool, std::set<CEntry>> security = ReadSecurity(folder);
  DeleteFolderTree(folder);
  RemoveDirectoryW(folder.c_str());
  if (!AccessListsAreKept(root.File(L"probe"))) GTEST_SKIP() << "no access lists are kept on files here";
  const BYTE kHandedDown = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  const std::set<CEntry> kFolder = {{"SYSTEM", FILE_ALL_ACCESS, kHandedDown},
                                    {"Administrators", FILE_ALL_ACCESS, kHandedDown},
                                    {"Everyone", FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, kHandedDown}};
  EXPECT_EQ(std::make_tuple(std::string("Administrators"), true, kFolder), security);
}
