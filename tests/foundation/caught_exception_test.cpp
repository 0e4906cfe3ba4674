// caught_exception_test.cpp: what a thread, the application's start or a
// dialog procedure that throws leaves in the setup log, and the status it
// hands on.
#include "foundation/caught_exception.h"

#include <windows.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/error.h"
#include "foundation/kw_ini_file_exception.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "gtest/gtest.h"
#include "platform/callback_boundary.h"
#include "platform/modal_dialog.h"
#include "platform/thread.h"
#include "platform/win_application.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"
#include "tests/support/test_support.h"

namespace {

const int kThrowKinds = 9;

unsigned __stdcall ThrowKind(void* parameter) {
  switch (*static_cast<int*>(parameter)) {
    case 0: throw CError(L"Open key 'Software\\SetupTests'", ERROR_ACCESS_DENIED);
    case 1: throw static_cast<unsigned long>(ERROR_INSTALL_USEREXIT);
    case 2: throw static_cast<unsigned long>(0);
    case 3: throw static_cast<long>(-2);
    case 4: throw new CKwIniFileException(CKwIniFileException::kErrorKind, 13, L"Improperly formed section name.");
    case 5: throw std::bad_alloc();
    case 6: throw std::runtime_error("broken");
    case 7: throw 2.5;
    default: return 7;  // no exception: the procedure's own code
  }
}

class CThrowingDialog : public CModalDialog {
 public:
  CThrowingDialog() : CModalDialog(IDD_SETUP_DIALOG, nullptr) {}

 protected:
  BOOL OnInitDialog() override {
    PostMessageW(GetSafeHwnd(), WM_APP, 0, 0);
    return TRUE;
  }
  bool OnMessage(UINT message, WPARAM, LPARAM, INT_PTR*) override {
    if (message == WM_APP) throw CError(L"Draw the status line");
    return false;
  }
};

class CThrowingApplication : public CWinApplication {
 public:
  BOOL InitInstance() override { throw static_cast<unsigned long>(ERROR_INSTALL_FAILURE); }
};

}  // namespace

TEST_CHILD(BoundaryReports) {
  SetBoundaryReporter(LogCaughtException);
  for (int kind = 0; kind < kThrowKinds; ++kind) {
    DWORD error = ERROR_SUCCESS;
    CScopedHandle thread(StartThread(ThrowKind, &kind, &error));
    if (!thread.IsValid()) return static_cast<int>(error);
    WaitForSingleObject(thread.Get(), INFINITE);
    DWORD code = 0;
    GetExitCodeThread(thread.Get(), &code);
    WriteLog(L"thread ended with %u", code);
  }
  {
    CThrowingApplication application;
    WriteLog(L"application ended with %d", RunApplication());
  }
  // The template's progress bar class comes with the common controls.
  LoadLibraryW(L"comctl32.dll");
  CThrowingDialog dialog;
  WriteLog(L"dialog ended with %d", static_cast<int>(dialog.DoModal()));
  return 0;
}

TEST(CaughtExceptionTest, BoundariesLogWhatTheyCatchAndHandOnAFailure) {
  CTestFolder folder;
  ASSERT_EQ(0u, RunChild(L"BoundaryReports", {}, {{L"KWSETUP", folder.File(L"TAM_{ProductID}.log")}}));
  std::wstring text = ReadUtf16File(folder.File(L"VELL_SETUP.LOG"));
  std::vector<std::wstring> messages;
  for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    messages.push_back(text.substr(start + 20, end - start - 20));  // after "mm/dd/yy hh:mm:ss - "
  }
  const wchar_t* const kThread = L"Exception caught in a thread procedure: ";
  std::vector<std::wstring> expected = {
      kThread + std::wstring(L"error 5, 'Open key 'Software\\SetupTests'. System error code: 5. "
                             L"System error message: 'Access denied.'.'; status 5"),
      L"thread ended with 5",
      kThread + std::wstring(L"thrown dword 1602; status 1602"),
      L"thread ended with 1602",
      // A boundary never hands on success.
      kThread + std::wstring(L"thrown dword 0; status 1603"),
      L"thread ended with 1603",
      kThread + std::wstring(L"thrown long -2; status -2"),
      L"thread ended with 4294967294",
      kThread + std::wstring(L"INI file error 13: Improperly formed section name.; status 13"),
      L"thread ended with 13",
      kThread + std::wstring(L"out of memory; status 8"),
      L"thread ended with 8",
      kThread + std::wstring(L"C++ exception 'broken'; status 1603"),
      L"thread ended with 1603",
      kThread + std::wstring(L"unknown exception; status 1603"),
      L"thread ended with 1603",
      L"thread ended with 7",
      L"Exception caught in the application's start-up: thrown dword 1603; status 1603",
      L"application ended with 1603",
      L"Exception caught in a dialog procedure: error 0, 'Draw the status line'; status 1603",
      L"dialog ended with 1603",
  };
  if (!messages.empty() && messages.back() == L"dialog ended with -1") {
    messages.pop_back();
    expected.resize(expected.size() - 2);
    EXPECT_EQ(expected, messages);
    GTEST_SKIP() << "no display: the dialog could not be created";
  }
  EXPECT_EQ(expected, messages);
}
