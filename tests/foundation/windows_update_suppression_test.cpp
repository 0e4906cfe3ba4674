// windows_update_suppression_test.cpp: the AUOptions round trip from every
// starting state, on a key of the test's own.
#include "foundation/windows_update_suppression.h"

#include <windows.h>

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

void WriteOptions(const CTestRegistryKey& key, DWORD value) {
  HKEY raw = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key.Root(), key.Path().c_str(), 0, nullptr, 0,
                                           KEY_SET_VALUE, nullptr, &raw, nullptr));
  RegSetValueExW(raw, L"AUOptions", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                 sizeof(value));
  RegCloseKey(raw);
}

bool KeyExists(const CTestRegistryKey& key) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(key.Root(), key.Path().c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  RegCloseKey(raw);
  return true;
}

struct SuppressionCase {
  DWORD before;          // kMissing: no value
  DWORD duringRun;       // what the value is while suppressed
  DWORD changedTo;       // someone changes it during the run; kMissing: nobody
  DWORD afterRestore;
};

}  // namespace

TEST(CWindowsUpdateSuppressionTest, SuppressesAutomaticSettingsAndRestoresThem) {
  const SuppressionCase kCases[] = {
      {4, 2, kMissing, 4},
      {3, 2, kMissing, 3},
      {5, 2, kMissing, 5},
      {2, 2, kMissing, 2},
      {1, 1, kMissing, 1},
      {0, 0, kMissing, 0},
      {kMissing, kMissing, kMissing, kMissing},
      // Changed back to 2 by someone: still restored, to the value found.
      {3, 2, 2, 3},
      {4, 2, 5, 4},
      // Never suppressed: a change during the run is not ours to undo.
      {1, 1, 4, 4},
  };
  for (const SuppressionCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "before " << c.before << ", changed to " << c.changedTo);
    CTestRegistryKey key;
    if (c.before != kMissing) WriteOptions(key, c.before);
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
  }
}

TEST(CWindowsUpdateSuppressionTest, MissingKeyIsNotCreated) {
  CTestRegistryKey key;
  CWindowsUpdateSuppression suppression(key.Root(), key.Path());
  suppression.SuppressWindowsUpdate(true);
  suppression.SuppressWindowsUpdate(false);
  EXPECT_FALSE(KeyExists(key));
}
