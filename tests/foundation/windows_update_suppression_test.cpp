// windows_update_suppression_test.cpp: the AUOptions round trip when the
// value changes during the run, and the setting a killed run held, on a key
// of the test's own.
#include "foundation/windows_update_suppression.h"

#include <windows.h>

#include "foundation/wow64.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

const DWORD kMissing = 0xFFFFFFFF;

DWORD ReadOptions(const CTestRegistryKey& key) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegGetValueW(key.Root(), key.Path().c_str(), L"AUOptions", RRF_RT_REG_DWORD, nullptr, &value,
                   &size) != ERROR_SUCCESS) {
    return kMissing;
  }
  return value;
}

void WriteOptions(const CTestRegistryKey& key, DWORD value, const wchar_t* name = L"AUOptions") {
  HKEY raw = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key.Root(), key.Path().c_str(), 0, nullptr, 0,
                                           KEY_SET_VALUE, nullptr, &raw, nullptr));
  RegSetValueExW(raw, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  RegCloseKey(raw);
}

DWORD ValueCount(const CTestRegistryKey& key) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(key.Root(), key.Path().c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return 0;
  DWORD count = 0;
  RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                   nullptr, nullptr);
  RegCloseKey(raw);
  return count;
}

// No process has this id: the run that held the setting has ended.
const wchar_t kEndedRunHold[] = L"AUOptions held by setup 4294967280.01D0000000000001";

struct SuppressionCase {
  DWORD before;          // kMissing: no value
  DWORD endedRunHeld;    // the setting a killed run kept; kMissing: none
  DWORD duringRun;       // what the value is while suppressed
  DWORD changedTo;       // someone changes it during the run; kMissing: nobody
  DWORD afterRestore;
};

}  // namespace

// The starting states without a change during the run are the end-to-end
// tests' (AUOptions after setup.exe has run). No record is left in the end.
TEST(CWindowsUpdateSuppressionTest, OnlyTheValueARunWroteIsPutBack) {
  const SuppressionCase kCases[] = {
      {5, kMissing, 2, kMissing, 5},
      // Changed back to 2 by someone: still restored, to the value found.
      {3, kMissing, 2, 2, 3},
      // Changed to another setting during the run: that setting stays.
      {4, kMissing, 2, 5, 5},
      // Never suppressed: a change during the run is not ours to undo.
      {1, kMissing, 1, 4, 4},
      {kMissing, kMissing, kMissing, 4, 4},
      // A killed run left 2 in place of 4: put back first, then held again.
      {2, 4, 2, kMissing, 4},
      // Changed since that run was killed: the setting found stays.
      {1, 4, 1, kMissing, 1},
      // Values Windows Update does not know are neither held nor put back.
      {99, kMissing, 99, kMissing, 99},
      {2, 99, 2, kMissing, 2},
  };
  for (const SuppressionCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "before " << c.before << ", held " << c.endedRunHeld << ", changed to "
                                    << c.changedTo);
    CTestRegistryKey key;
    if (c.before != kMissing) WriteOptions(key, c.before);
    if (c.endedRunHeld != kMissing) WriteOptions(key, c.endedRunHeld, kEndedRunHold);
    CWindowsUpdateSuppression suppression(key.Root(), key.Path());
    suppression.SuppressWindowsUpdate(true);
    EXPECT_EQ(c.duringRun, ReadOptions(key));
    suppression.SuppressWindowsUpdate(true);  // already suppressed: nothing happens
    EXPECT_EQ(c.duringRun, ReadOptions(key));
    if (c.changedTo != kMissing) WriteOptions(key, c.changedTo);
    suppression.SuppressWindowsUpdate(false);
    EXPECT_EQ(c.afterRestore, ReadOptions(key));
    suppression.SuppressWindowsUpdate(false);
    EXPECT_EQ(c.afterRestore, ReadOptions(key));
    EXPECT_EQ(c.afterRestore == kMissing ? 0u : 1u, ValueCount(key));
  }
}


// Windows Update reads the 64-bit view only: a setting in the 32-bit one is neither held nor changed.
TEST(CWindowsUpdateSuppressionTest, ASettingOnlyInThe32BitViewIsLeftAlone) {
  if (!IsWow64()) GTEST_SKIP() << "a 32-bit system has one view";
  CTestRegistryKey key(HKEY_LOCAL_MACHINE);
  HKEY raw = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key.Root(), key.Path().c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &raw, nullptr));
  DWORD value = 4, size = sizeof(value);
  RegSetValueExW(raw, L"AUOptions", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), size);
  CWindowsUpdateSuppression suppression(key.Root(), key.Path());
  suppression.SuppressWindowsUpdate(true);
  RegQueryValueExW(raw, L"AUOptions", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(raw);
  EXPECT_EQ(4u, value);
}
