// ref_counter_test.cpp: the reference values of Uninstall entries in the
// 32-bit view, where the installer registers this program's packages: adds
// and releases, the journal's undo, the queue's commit, the switch, and the
// clean-up of stale entries next to an installed product.
#include "actions/ref_counter.h"

#include <windows.h>
#include <msi.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/registry_key.h"
#include "gtest/gtest.h"
#include "tests/actions/uninstall_fixture.h"
#include "tests/support/msi_fixtures.h"

namespace {

using Users = std::vector<std::wstring>;

const wchar_t kDeltaProduct[] = L"{9E4C6A53-AF51-4A84-8F3D-41526D7E8F91}";

std::wstring EntryPath(const std::wstring& id) { return CUninstallFixture::kRoot + id; }

// A value of the entry in the 32-bit view: its type and data; false when missing.
bool QueryValue(const std::wstring& id, const wchar_t* name, DWORD* type, DWORD* number) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, EntryPath(id).c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                    &key) != ERROR_SUCCESS) {
    return false;
  }
  BYTE data[512];
  DWORD size = sizeof(data);
  LONG result = RegQueryValueExW(key, name, nullptr, type, data, &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return false;
  if (number && *type == REG_DWORD) memcpy(number, data, sizeof(DWORD));
  return true;
}

bool HasValue(const std::wstring& id, const wchar_t* name) {
  DWORD type = 0;
  return QueryValue(id, name, &type, nullptr);
}

void RemoveEntry(const std::wstring& id) {
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, EntryPath(id).c_str(), view, 0);
  }
}

// -1 when RefCount is missing.
long CountOf(const std::wstring& id) {
  DWORD type = 0;
  DWORD count = 0;
  return QueryValue(id, L"RefCount", &type, &count) && type == REG_DWORD ? static_cast<long>(count) : -1;
}

Users UsersOf(const std::wstring& id) {
  CRegistryKey key;
  Users users;
  try {
    key.Open(HKEY_LOCAL_MACHINE, EntryPath(id), KEY_QUERY_VALUE | KEY_WOW64_32KEY, false);
    key.GetValueMultiSZ(L"UsedBy", &users);
  } catch (const CError&) {
    users = {L"<missing>"};
  }
  return users;
}

void WriteValue(const std::wstring& id, const wchar_t* name, DWORD type, const std::wstring& data) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, EntryPath(id).c_str(), 0, nullptr, 0,
                                           KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr));
  RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

// Seeds a counted entry: RefCount and the users (a multi-string).
void Seed(const CUninstallFixture& entry, DWORD count, const Users& users) {
  ASSERT_TRUE(entry.Write(KEY_WOW64_32KEY, {{L"DisplayName", L"Test product"},
                                            {L"UninstallString", L"remove.exe"},
                                            Number(L"RefCount", count)}));
  std::wstring multi;
  for (const std::wstring& user : users) multi += user + L'\0';
  if (!users.empty()) WriteValue(entry.Id(), L"UsedBy", REG_MULTI_SZ, multi);
}

}  // namespace

class CRefCounterTest : public testing::Test {
 protected:
  void SetUp() override { CRefCounter::SetReferenceCountingEnabled(true); }
  void TearDown() override { CRefCounter::SetReferenceCountingEnabled(false); }
};

TEST_F(CRefCounterTest, AddsAndReleasesSuitesCaseBlindAndEmptiesTheEntryAtTheLastUser) {
  CUninstallFixture entry;
  ASSERT_TRUE(entry.Write(KEY_WOW64_32KEY, {{L"DisplayName", L"Test product"}}));
  CRefCounter counter;
  EXPECT_EQ(1, counter.AddReference(L"{S1}", entry.Id(), false));
  EXPECT_EQ(1, counter.AddReference(L"{s1}", entry.Id(), false));  // already counted
  EXPECT_EQ(2, counter.AddReference(L"{S2}", entry.Id(), false));
  EXPECT_EQ(2u, counter.GetJournalSize());
  EXPECT_EQ(2, CountOf(entry.Id()));
  EXPECT_EQ((Users{L"{S1}", L"{S2}"}), UsersOf(entry.Id()));

  counter.AddDateTimeStamp(entry.Id(), 86400 * 365);
  std::wstring stamp;
  CRegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, EntryPath(entry.Id()), KEY_QUERY_VALUE | KEY_WOW64_32KEY, false);
  stamp = key.GetValueSZ(L"InstallDateTime");
  EXPECT_EQ(14u, stamp.size()) << stamp;
  EXPECT_EQ(L"1971", stamp.substr(0, 4));

  Users read;
  EXPECT_EQ(2, counter.ReadUsers(entry.Id(), &read));
  EXPECT_EQ((Users{L"{S1}", L"{S2}"}), read);
  EXPECT_TRUE(counter.IsUsedBy(L"{s2}", entry.Id()));
  EXPECT_FALSE(counter.IsUsedBy(L"{S9}", entry.Id()));
  EXPECT_EQ(2, counter.ReleaseReference(L"{S9}", entry.Id(), false));  // not a user: no change
  EXPECT_EQ(1, counter.ReleaseReference(L"{s1}", entry.Id(), false));
  EXPECT_EQ((Users{L"{S2}"}), UsersOf(entry.Id()));
  EXPECT_EQ(0, counter.ReleaseReference(L"{S2}", entry.Id(), false));
  // The entry belongs to the product's installer: only our values go.
  EXPECT_TRUE(entry.Exists(KEY_WOW64_32KEY));
  EXPECT_FALSE(HasValue(entry.Id(), L"RefCount"));
  EXPECT_FALSE(HasValue(entry.Id(), L"UsedBy"));
  EXPECT_FALSE(HasValue(entry.Id(), L"InstallDateTime"));
  EXPECT_EQ(4u, counter.GetJournalSize());

  // Releasing from an entry without RefCount is the missing-value error;
  // such an entry has no users.
  EXPECT_THROW(counter.ReleaseReference(L"{S2}", entry.Id(), false), CRegistryKey::CMissingValue);
  EXPECT_FALSE(counter.IsUsedBy(L"{S2}", entry.Id()));
  // A product not installed yet has no users; an empty key is refused.
  CUninstallFixture missing(L".Missing");
  EXPECT_EQ(0, counter.ReadUsers(missing.Id(), &read));
  EXPECT_TRUE(read.empty());
  EXPECT_FALSE(counter.IsUsedBy(L"{S1}", missing.Id()));
  EXPECT_THROW(counter.ReadUsers(L"", &read), CError);
  EXPECT_THROW(counter.AddReference(L"{S1}", missing.Id(), false), CRegistryKey::CMissingKey);
  EXPECT_FALSE(missing.Exists(KEY_WOW64_32KEY));
}

// A count that disagrees with the list must not cost the other suites their
// entries.
TEST_F(CRefCounterTest, ReleaseFollowsTheListWhenTheCountDisagrees) {
  CUninstallFixture entry;
  Seed(entry, 1, {L"{S1}", L"{S2}"});
  CRefCounter counter;
  EXPECT_EQ(1, counter.ReleaseReference(L"{S1}", entry.Id(), false));
  EXPECT_EQ(1, CountOf(entry.Id()));
  EXPECT_EQ((Users{L"{S2}"}), UsersOf(entry.Id()));
}

TEST_F(CRefCounterTest, RollbackUndoesOnlyRealChangesNewestFirstAndGoesOnAfterAFailure) {
  CUninstallFixture first(L".First");
  CUninstallFixture second(L".Second");
  CUninstallFixture gone(L".Gone");
  Seed(first, 1, {L"{S0}"});
  Seed(second, 1, {L"{S0}"});
  Seed(gone, 1, {L"{S0}"});
  CRefCounter counter;
  counter.AddReference(L"{S1}", first.Id(), false);
  counter.AddReference(L"{S0}", first.Id(), false);  // there before the run: not journalled
  counter.ReleaseReference(L"{S0}", first.Id(), false);
  counter.AddReference(L"{S1}", gone.Id(), false);
  counter.AddReference(L"{S1}", second.Id(), false);
  ASSERT_EQ(4u, counter.GetJournalSize());
  // The uninstaller took this product's whole entry away.
  gone.Remove();

  counter.RollbackOperations();
  EXPECT_EQ(0u, counter.GetJournalSize());
  EXPECT_EQ((Users{L"{S0}"}), UsersOf(second.Id()));
  EXPECT_EQ(1, CountOf(second.Id()));
  // The release was undone first, then the add: S0 stays, S1 goes.
  EXPECT_EQ((Users{L"{S0}"}), UsersOf(first.Id()));
  EXPECT_EQ(1, CountOf(first.Id()));
  EXPECT_FALSE(gone.Exists(KEY_WOW64_32KEY));
  EXPECT_THROW(counter.UndoLastOperation(), CError);
}

TEST_F(CRefCounterTest, CommitCarriesOutTheQueueSkipsListedAddsAndJournalsOnlyChanges) {
  CUninstallFixture first(L".First");
  CUninstallFixture second(L".Second");
  CUninstallFixture gone(L".Gone");
  Seed(first, 1, {L"{S0}"});
  Seed(second, 1, {L"{S0}"});
  CRefCounter counter;
  EXPECT_EQ(1, counter.AddReference(L"{S1}", first.Id(), true));
  EXPECT_EQ(1, counter.AddReference(L"{S2}", first.Id(), true));
  EXPECT_EQ(0, counter.ReleaseReference(L"{S0}", gone.Id(), true));
  EXPECT_EQ(1, counter.AddReference(L"{S0}", second.Id(), true));  // already a user
  EXPECT_EQ(1, counter.ReleaseReference(L"{S0}", second.Id(), true));
  // Nothing is written before the commit.
  EXPECT_EQ((Users{L"{S0}"}), UsersOf(first.Id()));
  EXPECT_EQ(0u, counter.GetJournalSize());

  counter.CommitOperations({L"{S1}"});
  EXPECT_EQ(0u, counter.GetQueueSize());
  EXPECT_EQ((Users{L"{S0}", L"{S2}"}), UsersOf(first.Id()));
  EXPECT_EQ(2, CountOf(first.Id()));
  EXPECT_FALSE(HasValue(second.Id(), L"RefCount"));
  ASSERT_EQ(2u, counter.GetJournal().size());
  EXPECT_EQ(L"{S2}", counter.GetJournal()[0].user);
  EXPECT_EQ(CRefCounter::COperation::kRemove, counter.GetJournal()[1].type);

  counter.RollbackOperations();
  EXPECT_EQ((Users{L"{S0}"}), UsersOf(first.Id()));
  EXPECT_EQ((Users{L"{S0}"}), UsersOf(second.Id()));
}

TEST_F(CRefCounterTest, SwitchedOffNothingIsReadOrWritten) {
  CUninstallFixture entry;
  Seed(entry, 1, {L"{S0}"});
  CRefCounter::SetReferenceCountingEnabled(false);
  CRefCounter counter;
  Users read = {L"stale"};
  EXPECT_EQ(0, counter.ReadUsers(entry.Id(), &read));
  EXPECT_TRUE(read.empty());
  EXPECT_EQ(1, counter.AddReference(L"{S1}", entry.Id(), false));
  EXPECT_EQ(0, counter.ReleaseReference(L"{S0}", entry.Id(), false));
  counter.AddReference(L"{S2}", entry.Id(), true);
  counter.CommitOperations({});
  counter.AddDateTimeStamp(entry.Id(), 0);
  counter.RollbackOperations();
  EXPECT_EQ(0u, counter.GetJournalSize());
  EXPECT_EQ((Users{L"{S0}"}), UsersOf(entry.Id()));
  EXPECT_EQ(1, CountOf(entry.Id()));
  EXPECT_FALSE(HasValue(entry.Id(), L"InstallDateTime"));
}

// An installed product without UninstallString (as with ARPNOREMOVE) keeps
// its entry; so does an entry whose UninstallString is an expandable text.
TEST_F(CRefCounterTest, CleanStaleEntriesDeletesOnlyEntriesOfProductsThatAreGone) {
  if (MsiQueryProductStateW(kDeltaProduct) == INSTALLSTATE_DEFAULT) {
    RunMsiexec(L"/x " + std::wstring(kDeltaProduct) + L" /qn");
  }
  CInstalledPackage delta(MsiFixturePath(L"delta.msi"), kDeltaProduct);
  ASSERT_EQ(0u, delta.InstallResult());
  ASSERT_TRUE(HasValue(kDeltaProduct, L"UninstallString"));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, EntryPath(kDeltaProduct).c_str(), 0,
                                         KEY_SET_VALUE | KEY_WOW64_32KEY, &key));
  RegDeleteValueW(key, L"UninstallString");
  RegCloseKey(key);
  CRefCounter counter;
  counter.AddReference(L"{S1}", kDeltaProduct, false);

  CUninstallFixture stale(L".Stale");
  CUninstallFixture expandable(L".Expandable");
  CUninstallFixture uncounted(L".Uncounted");
  const std::wstring goneProduct = L"{9E4C6A53-AF51-4A84-8F3D-000000000001}";
  RemoveEntry(goneProduct);
  ASSERT_TRUE(stale.Write(KEY_WOW64_32KEY, {Number(L"RefCount", 1)}));
  WriteValue(stale.Id(), L"UsedBy", REG_MULTI_SZ, std::wstring(L"{S1}") + L'\0');
  ASSERT_TRUE(expandable.Write(KEY_WOW64_64KEY, {Number(L"RefCount", 1)}));
  HKEY key64 = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, EntryPath(expandable.Id()).c_str(), 0,
                          KEY_SET_VALUE | KEY_WOW64_64KEY, &key64));
  std::wstring users = std::wstring(L"{S1}") + L'\0' + L'\0';
  std::wstring command = L"%SystemRoot%\\remove.exe";
  RegSetValueExW(key64, L"UsedBy", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(users.c_str()),
                 static_cast<DWORD>(users.size() * sizeof(wchar_t)));
  RegSetValueExW(key64, L"UninstallString", 0, REG_EXPAND_SZ,
                 reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key64);
  ASSERT_TRUE(uncounted.Write(KEY_WOW64_32KEY, {{L"DisplayName", L"Other"}}));
  WriteValue(goneProduct, L"RefCount", REG_SZ, L"");
  WriteValue(goneProduct, L"UsedBy", REG_MULTI_SZ, std::wstring(L"{S1}") + L'\0');
  WriteValue(goneProduct, L"WindowsInstaller", REG_SZ, L"1");

  counter.CleanStaleEntries();
  EXPECT_FALSE(stale.Exists(KEY_WOW64_32KEY));
  EXPECT_TRUE(expandable.Exists(KEY_WOW64_64KEY));
  EXPECT_TRUE(uncounted.Exists(KEY_WOW64_32KEY));
  EXPECT_FALSE(HasValue(goneProduct, L"UsedBy"));
  EXPECT_EQ((Users{L"{S1}"}), UsersOf(kDeltaProduct));
  RemoveEntry(goneProduct);
}
