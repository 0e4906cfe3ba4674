// shutdown_action_test.cpp: what a shutdown action does by its fields, and
// the "Files in Use" text the open windows give.
#include "actions/shutdown_action.h"

#include <windows.h>

#include <memory>
#include <string>

#include "actions/setup_action_list.h"
#include "engine/files_in_use.h"
#include "gtest/gtest.h"

namespace {

struct DispatchCase {
  const char* name;
  const wchar_t* service;
  const wchar_t* className;
  const wchar_t* title;
  DWORD expected;
};

// Nothing here is installed or open: each ends without touching the machine.
const DispatchCase kDispatchCases[] = {
    {"service not installed", L"TamsaNoSuchService", L"", L"", 0},
    {"class not running", L"", L"TamsaNoSuchWindowClass", L"", 0},
    {"title not open", L"", L"", L"Tamsa No Such Window", 0},
    {"service and class", L"TamsaNoSuchService", L"TamsaNoSuchWindowClass", L"", 2},
    {"nothing set", L"", L"", L"", 2},
};

std::unique_ptr<CShutdownAction> MakeAction(const std::wstring& service, const std::wstring& className,
                                            const std::wstring& title, const std::wstring& friendly = L"") {
  std::unique_ptr<CShutdownAction> action(
      new CShutdownAction(0, nullptr, className, title, friendly, 0, 0, 0, 0));
  if (!service.empty() && className.empty() && title.empty()) {
    action.reset(new CShutdownAction(0, nullptr, service, 0));
  } else if (!service.empty()) {
    // Both kinds at once is a configuration the loader does not build.
    action.reset(new CShutdownAction(0, nullptr, service, 0));
    action->SetClassName(className);
  }
  action->SetSilent(true);
  return action;
}

TEST(CShutdownActionTest, ExecuteDispatchesByTheFieldsSet) {
  for (const DispatchCase& c : kDispatchCases) {
    EXPECT_EQ(c.expected, MakeAction(c.service, c.className, c.title)->Execute()) << c.name;
  }
}

TEST(CShutdownActionTest, FilesInUseTextListsOpenApplicationsOnce) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"TamsaCensusWindow";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, L"TamsaCensusWindow", L"Report.txt - Tamsa Writer", WS_OVERLAPPED, 0, 0,
                                10, 10, nullptr, nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(nullptr, window);
  TakeOpenWindowCensus();
  CSetupActionList list;
  list.Append(MakeAction(L"", L"", L"tamsa writer"));                        // title piece, case-blind
  list.Append(MakeAction(L"", L"tamsa*window", L"", L"Tamsa Writer"));      // class pattern
  list.Append(MakeAction(L"", L"TamsaCensusWindow", L"", L"Tamsa Writer"));  // same entry again
  list.Append(MakeAction(L"", L"TamsaCensusWindow", L""));
  list.Append(MakeAction(L"", L"TamsaClosedWindow", L"", L"Not open"));
  list.Append(MakeAction(L"TamsaSomeService", L"", L""));
  EXPECT_EQ(L"tamsa writer\nTamsa Writer\nTamsaCensusWindow", FilesInUseText(list));
  DestroyWindow(window);
  UnregisterClassW(L"TamsaCensusWindow", windowClass.hInstance);
}

// A window that stays open is never reported closed: the close attempt
// fails and a required item in a silent run gives 1603, otherwise 0.
TEST(CShutdownActionTest, WindowThatStaysOpenIsNotClosed) {
  WNDCLASSW windowClass = {};
  // Nobody here reads the thread's messages: the window stays, as a hung
  // application's would.
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"TamsaStayingWindow";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, L"TamsaStayingWindow", L"Staying", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(nullptr, window);
  std::unique_ptr<CShutdownAction> required = MakeAction(L"", L"TamsaStayingWindow", L"");
  EXPECT_EQ(1603u, required->Execute());
  std::unique_ptr<CShutdownAction> optional = MakeAction(L"", L"TamsaStayingWindow", L"");
  optional->SetRequired(false);
  EXPECT_EQ(0u, optional->Execute());
  EXPECT_TRUE(IsWindow(window));
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  DestroyWindow(window);
  UnregisterClassW(L"TamsaStayingWindow", windowClass.hInstance);
}

}  // namespace
