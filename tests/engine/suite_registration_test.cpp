// suite_registration_test.cpp: the suite's record and cache as the machine
// sees them after a run, their removal once no member product uses the
// suite, and the reference values a removed product leaves behind.
#include "engine/suite_registration.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "actions/command_options.h"
#include "actions/windows_command_options_system.h"
#include "engine/engine_settings.h"
#include "engine/install_group_info.h"
#include "engine/install_group_info_map.h"
#include "engine/product_data.h"
#include "engine/replacement_map.h"
#include "engine/setup_state.h"
#include "foundation/kw_ini_file.h"
#include "foundation/tree_deletion.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/actions/memory_ref_counter.h"
#include "tests/actions/uninstall_fixture.h"
#include "tests/support/test_support.h"

namespace {

const wchar_t kRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool ReadValue(const std::wstring& key, REGSAM view, const wchar_t* name, std::wstring* text,
               DWORD* number = nullptr) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kRoot + key).c_str(), 0, KEY_QUERY_VALUE | view, &handle) !=
      ERROR_SUCCESS) {
    return false;
  }
  wchar_t data[1024] = {};
  DWORD size = sizeof(data) - sizeof(wchar_t);
  DWORD type = 0;
  LONG result = RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS) return false;
  if (type == REG_DWORD && number) memcpy(number, data, sizeof(DWORD));
  if (text) *text = data;
  return true;
}

void SetRaw(const std::wstring& key, REGSAM view, const wchar_t* name, DWORD type, const std::wstring& data) {
  HKEY handle = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kRoot + key).c_str(), 0, nullptr, 0,
                                           KEY_SET_VALUE | view, nullptr, &handle, nullptr));
  RegSetValueExW(handle, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
}

// A run of a one-product suite whose product is only an Uninstall entry:
// the configuration, the maps and a counter in memory.
class CSuiteRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(m_folder.File(L"setup.exe"), "program");
    WriteFileBytes(m_folder.File(L"SETUP.DCF"),
                   "[Setup]\r\nProducts=P1\r\n[Property]\r\nProductVersion=2.5.1\r\n"
                   "UpdateManagerURL=http://updates.example\r\n[ProductGroup.Default]\r\n"
                   "UninstallUILevel=/qn\r\n");
    m_configuration.Init(false);
    m_configuration.LoadFrom(m_folder.File(L"SETUP.DCF"));
    ASSERT_TRUE(m_options.Parse(m_folder.Path(), L"/qn"));
    m_macros.Create(m_options, m_folder.File(L"setup.exe"), false);
    m_state.SetProperty(L"SETUPLANG", L"ENU");
    m_state.SetInstallFolder(m_folder.File(L"Suite"));
    m_state.m_publisherName = L"Tamsa";
    auto group = std::make_unique<CInstallGroupInfo>();
    group->SetUuid(m_suite.Id());
    group->SetDisplayName(L"Sample Suite");
    group->SetVersion(L"1.2.3");
    group->SetBuildNumber(L"100");
    group->AddMember(L"P1");
    m_groups.SetAt(L"default", std::move(group));
    auto product = std::make_unique<CProductData>(L"P1");
    product->GetSelection()->SetCurrent(true, false);
    product->SetPackageName(L"p1.msi");
    product->SetCost(2.7);
    m_state.m_products.SetAt(L"P1", std::move(product));
    m_state.m_productCodes[L"P1"] = m_product.Id();
  }
  void TearDown() override {
    std::wstring cache = m_registration.CacheFolder(m_suite.Id());
    DeleteFolderTree(cache);
    RemoveDirectoryW(cache.c_str());
  }

  CTestFolder m_folder;
  CUninstallFixture m_suite{L".Suite"};
  CUninstallFixture m_product{L".Product"};
  CUninstallFixture m_other{L".Other"};
  CKwIniFile m_configuration;
  CCommandOptions m_options{CWindowsCommandOptionsSystem::Instance()};
  CSetupState m_state;
  CEngineSettings m_settings;
  CReplacementMap m_macros{m_state};
  CMemoryRefCounter m_counter;
  CInstallGroupInfoMap m_groups;
  CSuiteRegistration m_registration{m_configuration, m_macros, m_state, m_groups, m_settings, m_counter,
                                    m_folder.File(L"setup.exe"), m_folder.File(L"SETUP.DCF")};
};

}  // namespace

// Registered, kept while its product lists it, removed with the other
// suite that has no product left once the product is gone.
TEST_F(CSuiteRegistrationTest, RecordAndCacheLastAsLongAsAProductUsesTheSuite) {
  ASSERT_EQ(0u, m_registration.SetupInstallGroups());
  std::wstring cache = m_registration.CacheFolder(m_suite.Id());
  EXPECT_EQ(L"C:\\ProgramData\\Uninstall\\" + m_suite.Id(), cache);
  EXPECT_EQ("program", ReadFileBytes(cache + L"\\setup.exe"));
  EXPECT_TRUE(FileExists(cache + L"\\setup.dcf"));
  EXPECT_TRUE(FileExists(cache + L"\\P1.dcf"));
  EXPECT_TRUE(m_suite.Exists(KEY_WOW64_32KEY));
  EXPECT_FALSE(m_suite.Exists(KEY_WOW64_64KEY));
  const struct {
    const wchar_t* name;
    std::wstring text;
    DWORD number;
  } kValues[] = {
      {L"DisplayName", L"Sample Suite", 0},
      {L"UninstallString", L"\"" + cache + L"\\setup.exe\" /x " + m_suite.Id() + L" /qn {lang}=ENU", 0},
      {L"CacheLocation", cache, 0},
      {L"DisplayVersion", L"2.5.1", 0},
      {L"BuildNumber", L"100", 0},
      {L"Publisher", L"Tamsa", 0},
      {L"InstallLocation", m_folder.File(L"Suite"), 0},
      {L"UpdateManagerURL", L"http://updates.example/", 0},
      {L"VersionMajor", L"", 2},
      {L"VersionMinor", L"", 5},
      {L"Version", L"", 0x01020003},
      {L"EstimatedSize", L"", 2000},
      {L"ShowEULA", L"", 1},
  };
  for (const auto& value : kValues) {
    SCOPED_TRACE(value.name);
    std::wstring text;
    DWORD number = 0;
    ASSERT_TRUE(ReadValue(m_suite.Id(), KEY_WOW64_32KEY, value.name, &text, &number));
    if (value.text.empty()) EXPECT_EQ(value.number, number);
    else EXPECT_EQ(value.text, text);
  }
  EXPECT_FALSE(ReadValue(m_suite.Id(), KEY_WOW64_32KEY, L"SystemComponent", nullptr));

  // The product still lists the suite (in other letter case): all stays.
  ASSERT_TRUE(m_product.Write(KEY_WOW64_32KEY, {{L"UninstallString", L"remove.exe"}}));
  m_counter.users[m_product.Id()] = {ToLower(m_suite.Id())};
  ASSERT_TRUE(m_other.Write(KEY_WOW64_32KEY, {{L"DisplayName", L"Other suite"}}));
  EXPECT_TRUE(m_registration.RemoveInstallGroups(false, {m_other.Id()}));
  EXPECT_TRUE(m_suite.Exists(KEY_WOW64_32KEY));
  EXPECT_TRUE(FileExists(cache + L"\\setup.exe"));
  EXPECT_FALSE(m_other.Exists(KEY_WOW64_32KEY));

  // Gone: its entry keeps only its name and references.
  m_product.Remove();
  SetRaw(m_product.Id(), KEY_WOW64_32KEY, L"DisplayName", REG_SZ, L"P1");
  SetRaw(m_product.Id(), KEY_WOW64_32KEY, L"RefCount", REG_SZ, L"1");
  EXPECT_TRUE(m_registration.RemoveInstallGroups(false, {}));
  EXPECT_FALSE(m_product.Exists(KEY_WOW64_32KEY));
  EXPECT_FALSE(m_suite.Exists(KEY_WOW64_32KEY));
  EXPECT_FALSE(FileExists(cache + L"\\setup.exe"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(cache.c_str()));
}

TEST_F(CSuiteRegistrationTest, ForcedRemovalIgnoresAProductThatListsTheSuite) {
  ASSERT_EQ(0u, m_registration.SetupInstallGroups());
  ASSERT_TRUE(m_product.Write(KEY_WOW64_32KEY, {{L"UninstallString", L"remove.exe"}}));
  m_counter.users[m_product.Id()] = {m_suite.Id()};
  EXPECT_TRUE(m_registration.RemoveInstallGroups(true, {}));
  EXPECT_FALSE(m_suite.Exists(KEY_WOW64_32KEY));
  EXPECT_TRUE(m_product.Exists(KEY_WOW64_32KEY));
}

TEST_F(CSuiteRegistrationTest, NoSelectedMemberRegistersNothing) {
  m_state.m_products.Lookup(L"P1")->GetSelection()->SetCurrent(false, false);
  EXPECT_EQ(0u, m_registration.SetupInstallGroups());
  EXPECT_FALSE(m_suite.Exists(KEY_WOW64_32KEY));
  CInstallGroupInfoMap onlyRemove;
  onlyRemove.SetAt(L"remove", std::make_unique<CInstallGroupInfo>());
  CSuiteRegistration withoutDefault(m_configuration, m_macros, m_state, onlyRemove, m_settings, m_counter,
                                    m_folder.File(L"setup.exe"), m_folder.File(L"SETUP.DCF"));
  EXPECT_EQ(13u, withoutDefault.SetupInstallGroups());
  EXPECT_FALSE(withoutDefault.RemoveInstallGroups(false, {}));
  EXPECT_EQ(13u, GetLastError());
}

// Ids from UsedBy values that climb out of the cache folder or into
// another entry reach neither the files nor the key they point at.
TEST_F(CSuiteRegistrationTest, MalformedSuiteIdNeverReachesADeletion) {
  std::wstring victim = L"C:\\ProgramData\\" + m_other.Id();
  ASSERT_TRUE(CreateDirectoryTree(victim, nullptr));
  WriteFileBytes(victim + L"\\keep.txt", "keep");
  SetRaw(m_product.Id() + L"\\Sub", KEY_WOW64_32KEY, L"Keep", REG_SZ, L"1");
  m_registration.RemoveSuiteRecord(L"..\\" + m_other.Id());
  m_registration.RemoveSuiteRecord(m_product.Id() + L"\\Sub");
  EXPECT_EQ("keep", ReadFileBytes(victim + L"\\keep.txt"));
  EXPECT_TRUE(ReadValue(m_product.Id() + L"\\Sub", KEY_WOW64_32KEY, L"Keep", nullptr));
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (kRoot + m_product.Id() + L"\\Sub").c_str(), KEY_WOW64_32KEY, 0);
  DeleteFolderTree(victim);
  RemoveDirectoryW(victim.c_str());
}

TEST_F(CSuiteRegistrationTest, ReferenceCleanupKeepsOnlyEntriesThatStillRemoveSomething) {
  struct Case {
    const char* name;
    bool uninstallString;  // REG_EXPAND_SZ, as the installer writes it
    bool otherValue;
    bool keyStays;
  };
  const Case kCases[] = {
      {"WithUninstallString", true, true, true},
      {"OnlyReferences", false, false, false},
      {"NameWithoutUninstallString", false, true, false},
  };
  for (const Case& test : kCases) {
    SCOPED_TRACE(test.name);
    CUninstallFixture entry(Utf8ToWide(std::string(".") + test.name));
    SetRaw(entry.Id(), KEY_WOW64_32KEY, L"UsedBy", REG_MULTI_SZ, m_suite.Id() + L'\0');
    SetRaw(entry.Id(), KEY_WOW64_32KEY, L"RefCount", REG_SZ, L"1");
    SetRaw(entry.Id(), KEY_WOW64_32KEY, L"InstallDateTime", REG_SZ, L"20260101120000");
    if (test.uninstallString) SetRaw(entry.Id(), KEY_WOW64_32KEY, L"UninstallString", REG_EXPAND_SZ, L"x.exe");
    if (test.otherValue) SetRaw(entry.Id(), KEY_WOW64_32KEY, L"DisplayName", REG_SZ, L"P");
    EXPECT_TRUE(m_registration.CleanupReferenceCountRegistry(entry.Id()));
    EXPECT_EQ(test.keyStays, entry.Exists(KEY_WOW64_32KEY));
    for (const wchar_t* value : {L"RefCount", L"UsedBy", L"InstallDateTime"}) {
      EXPECT_FALSE(ReadValue(entry.Id(), KEY_WOW64_32KEY, value, nullptr)) << WideToUtf8(value);
    }
  }
  // An entry its product's uninstall took along leaves nothing to clean.
  EXPECT_TRUE(m_registration.CleanupReferenceCountRegistry(L"SetupTests.Missing"));
}
