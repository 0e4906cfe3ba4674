// windows_update_suppression_test.cpp: the AUOptions round trip when the
// value changes during the run, on a key of the test's own.
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

struct SuppressionCase {
  DWORD before;          // kMissing: no value
  DWORD duringRun;       // what the value is while suppressed
  DWORD changedTo;       // someone changes it during the run; kMissing: nobody
  DWORD afterRestore;
};

}  // namespace

// The starting states without a change during the run are the end-to-end
// tests' (AUOptions after setup.exe has run).
TEST(CWindowsUpdateSuppressionTest, ChangeDuringTheRunIsUndoneOnlyWhenSuppressed) {
  const SuppressionCase kCases[] = {
      {5, 2, kMissing, 5},
      // Changed back to 2 by someone: still restored, to the value found.
      {3, 2, 2, 3},
      {4, 2, 5, 4},
      // Never suppressed: a change during the run is not ours to undo.
      {1, 1, 4, 4},
      {kMissing, kMissing, 4, 4},
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

