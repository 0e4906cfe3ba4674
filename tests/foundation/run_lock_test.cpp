// run_lock_test.cpp: a run lock held by another thread keeps a waiting run
// out for the time it waits and names the holder; one whose holder died is
// taken over and says so.
#include "foundation/run_lock.h"

#include <windows.h>

#include <string>

#include "foundation/scoped_handle.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"

namespace {

struct CHolderThread {
  std::wstring name;
  HANDLE taken;
  HANDLE letGo;
  bool release;
};

DWORD WINAPI HoldLock(void* parameter) {
  auto* holder = static_cast<CHolderThread*>(parameter);
  CRunLock lock;
  if (!lock.Acquire(holder->name, 0, nullptr)) return 1;
  SetEvent(holder->taken);
  WaitForSingleObject(holder->letGo, INFINITE);
  // Ends owning the mutex unless told to let it go, as a killed run does:
  // no destructor runs.
  if (!holder->release) ExitThread(0);
  return 0;
}

std::wstring LockName(const wchar_t* test) { return Format(L"Global\\SETUP test %s %lu", test, GetCurrentProcessId()); }

}  // namespace

TEST(CRunLockTest, HeldLockKeepsAWaiterOutAndNamesTheHolder) {
  // Rows: whether the holder lets go; the waiter's wait while it holds.
  const struct {
    bool release;
    DWORD wait;
  } kRows[] = {{true, 0}, {true, 200}, {false, 200}};
  for (const auto& row : kRows) {
    CHolderThread holder = {LockName(L"held"), CreateEventW(nullptr, TRUE, FALSE, nullptr),
                            CreateEventW(nullptr, TRUE, FALSE, nullptr), row.release};
    CScopedHandle taken(holder.taken), letGo(holder.letGo);
    CScopedHandle thread(CreateThread(nullptr, 0, HoldLock, &holder, 0, nullptr));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(taken.Get(), 10000));

    CRunLock lock;
    std::wstring named;
    EXPECT_FALSE(lock.Acquire(holder.name, row.wait, &named));
    EXPECT_NE(std::wstring::npos, named.find(Format(L"setup process %lu", GetCurrentProcessId()))) << WideToUtf8(named);
    EXPECT_FALSE(lock.IsHeld());

    SetEvent(letGo.Get());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 10000));
    EXPECT_TRUE(lock.Acquire(holder.name, 1000, &named));
    EXPECT_TRUE(lock.IsHeld());
    // A holder that ended without letting go was killed: its work is to be undone.
    EXPECT_EQ(!row.release, lock.WasAbandoned());
    lock.Release();
    EXPECT_FALSE(lock.IsHeld());
  }
}
