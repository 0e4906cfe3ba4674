// single_instance_mutex_test.cpp: the mutex of a setup seen from another
// process and from the same one.
#include "foundation/single_instance_mutex.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/scoped_handle.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

// Exit codes of the child that tries the mutex.
const int kChildGotMutex = 0;
const int kChildSawExisting = 1;
const int kChildOtherFailure = 2;

std::wstring UniqueSetupPath() {
  return Format(L"C:\\Setup\\%u\\x.dcf", GetCurrentProcessId());
}

}  // namespace

TEST_CHILD(TrySingleInstanceMutex) {
  if (args.size() != 1) return kChildOtherFailure;
  CScopedHandle mutex = CreateSingleInstanceMutex(args[0].c_str());
  DWORD error = GetLastError();
  if (mutex.IsValid()) return kChildGotMutex;
  return error == ERROR_ALREADY_EXISTS ? kChildSawExisting : kChildOtherFailure;
}

TEST(SingleInstanceMutexTest, IsSeenFromAnotherProcess) {
  std::wstring setupPath = UniqueSetupPath();
  {
    CScopedHandle mutex = CreateSingleInstanceMutex(setupPath.c_str());
    ASSERT_TRUE(mutex.IsValid()) << GetLastError();
    std::wstring name = Format(L"Global\\SETUP C:_Setup_%u_x.dcf", GetCurrentProcessId());
    CScopedHandle opened(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()));
    EXPECT_TRUE(opened.IsValid()) << "no mutex named " << WideToUtf8(name);
    EXPECT_EQ(static_cast<DWORD>(kChildSawExisting), RunChild(L"TrySingleInstanceMutex", {setupPath}));
  }
  // Once the first run has ended, the next one gets it.
  EXPECT_EQ(static_cast<DWORD>(kChildGotMutex), RunChild(L"TrySingleInstanceMutex", {setupPath}));
}

TEST(SingleInstanceMutexTest, InTheSameProcessIsRefusedToo) {
  std::wstring setupPath = UniqueSetupPath();
  CScopedHandle first = CreateSingleInstanceMutex(setupPath.c_str());
  ASSERT_TRUE(first.IsValid());
  CScopedHandle second = CreateSingleInstanceMutex(setupPath.c_str());
  EXPECT_FALSE(second.IsValid());
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());

  EXPECT_FALSE(CreateSingleInstanceMutex(nullptr).IsValid());
}
