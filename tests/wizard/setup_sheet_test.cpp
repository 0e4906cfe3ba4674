// setup_sheet_test.cpp: what the sheet keeps for its pages, without
// showing it: the install mode's properties, the disk space figures, and
// the progress callback against a real (hidden) progress display.
#include "wizard/setup_sheet.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "actions/command_options.h"
#include "engine/setup_globals.h"
#include "foundation/file_utils.h"
#include "foundation/text_utils.h"
#include "engine/setup_state.h"
#include "foundation/scoped_handle.h"
#include "platform/thread.h"
#include "platform/window_text.h"
#include "resources/resource_ids.h"
#include "tests/actions/fake_command_options_system.h"
#include "wizard/wiz_page_rules.h"
#include "gtest/gtest.h"

namespace {

CSetupWizardContext ContextOf(CSetupState* state) {
  CSetupWizardContext context;
  context.state = state;
  return context;
}

}  // namespace

TEST(CSetupSheetTest, InstallModeSetsOneModePropertyAndOnlineAccess) {
  struct Case {
    int type;
    const wchar_t* noOnlineAccess;  // null: the property is missing
    const wchar_t* trueMode;        // null: the mode properties stay unset
    const wchar_t* online;
  };
  const Case kCases[] = {
      {SetupTypeTypical, nullptr, L"TypicalInstall", L"true"},
      {SetupTypeCustom, L"0", L"CustomInstall", L"true"},
      {SetupTypeComplete, L"1", L"CompleteInstall", L"false"},
      {SetupTypeModify, L"true", L"ModifyInstall", L"true"},
      {SetupTypeRepair, L"1 ", L"RepairInstall", L"true"},
      {SetupTypeRemove, L"1", L"RemoveInstall", L"false"},
      {SetupTypeCleanSystem, L"1", nullptr, L"false"},
  };
  const wchar_t* const kModes[] = {L"TypicalInstall", L"CustomInstall", L"CompleteInstall",
                                   L"ModifyInstall",  L"RepairInstall", L"RemoveInstall"};
  for (const Case& c : kCases) {
    CSetupState state;
    if (c.noOnlineAccess) state.SetProperty(L"NO_ONLINE_ACCESS", c.noOnlineAccess);
    CSetupSheet sheet(ContextOf(&state));
    sheet.SetInstallMode(c.type);
    EXPECT_EQ(c.type, state.m_setupType);
    for (const wchar_t* mode : kModes) {
      std::wstring expected = !c.trueMode ? L"" : mode == std::wstring(c.trueMode) ? L"true" : L"false";
      EXPECT_EQ(expected, sheet.GetProperty(mode)) << c.type << " " << mode;
    }
    EXPECT_EQ(c.online, sheet.GetProperty(L"AllowOnlineAccess")) << c.type;
  }
}

TEST(CSetupSheetTest, AvailableSpaceIsMeasuredOnTheRootAndKeptWhenItCannotBe) {
  CSetupState state;
  CSetupSheet sheet(ContextOf(&state));
  state.SetInstallFolder(L"C:\\windows\\no such folder\\Tamsa");
  ASSERT_TRUE(sheet.ComputeAvailableSpace());
  EXPECT_EQ(L"C:\\", sheet.GetInstallRoot());
  ULARGE_INTEGER free = {};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &free, nullptr, nullptr));
  double measured = sheet.GetAvailableSpace();
  EXPECT_GT(measured, 0.0);
  // Other programs write to the disk meanwhile: a megabyte either way.
  EXPECT_NEAR(static_cast<double>(free.QuadPart >> 20), measured, 64.0);

  const wchar_t* const kUnmeasurable[] = {L"\\\\server", L"", L"Q:\\missing drive\\x"};
  for (const wchar_t* folder : kUnmeasurable) {
    state.SetInstallFolder(folder);
    EXPECT_FALSE(sheet.ComputeAvailableSpace()) << folder;
    EXPECT_EQ(measured, sheet.GetAvailableSpace()) << folder;
  }
  state.SetInstallFolder(L"\\\\server\\share\\Tamsa");
  sheet.ComputeAvailableSpace();
  EXPECT_EQ(L"\\\\server\\share\\", sheet.GetInstallRoot());
}

TEST(CSetupSheetTest, RequiredSpaceCountsTheSelectedProductsThisSuiteInstalls) {
  CSetupState state;
  struct Product {
    const wchar_t* name;
    double cost;
    bool selected;
    bool installedAlready;
  };
  const Product kProducts[] = {
      {L"ALPHA", 120.5, true, false}, {L"BETA", 30, false, false}, {L"GAMMA", 70, true, true},
      {L"DELTA", 9.5, true, false},
  };
  for (const Product& p : kProducts) {
    auto product = std::make_unique<CProductData>(p.name);
    auto selection = std::make_unique<CSelectionState>();
    selection->SetCurrent(p.selected, true);
    product->SetSelectionState(std::move(selection));
    product->SetCost(p.cost);
    product->SetSamePackageInstalled(p.installedAlready);
    state.m_products.SetAt(p.name, std::move(product));
  }
  CSetupSheet sheet(ContextOf(&state));
  sheet.ComputeRequiredSpace();
  EXPECT_DOUBLE_EQ(130.0, sheet.GetRequiredSpace());
  state.m_products.RemoveAll();
  sheet.ComputeRequiredSpace();
  EXPECT_DOUBLE_EQ(0.0, sheet.GetRequiredSpace());
}

// The kit's own header image, in the bin folder beside the program, wins;
// it is the one for the screen's DPI.
TEST(CSetupSheetTest, HeaderImageComesFromTheBinFolderBesideTheProgram) {
  CSetupState state;
  {
    CSetupSheet sheet(ContextOf(&state));
    EXPECT_TRUE(sheet.GetHeaderImage().IsEmpty());
  }
  std::wstring folder = FolderOfPath(GetModuleFilePath()) + L"bin";
  bool madeFolder = CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDB_HEADER_192), L"PNG");
  ASSERT_NE(nullptr, found);
  const void* bytes = LockResource(LoadResource(module, found));
  DWORD size = SizeofResource(module, found);
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  std::wstring path = folder + L"\\" + HeaderImageFileName(dpi);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, bytes, size, &written, nullptr);
  CloseHandle(file);
  SIZE loaded = {};
  bool basicHasImage = true;
  {
    CSetupSheet sheet(ContextOf(&state));
    loaded = sheet.GetHeaderImage().GetSize();
    // The basic interface shows no headers.
    CFakeCommandOptionsSystem system;
    CCommandOptions options(&system);
    options.Parse(L"C:\\kit\\", L"/qb");
    CSetupWizardContext basic = ContextOf(&state);
    basic.commandOptions = &options;
    CSetupSheet basicSheet(basic);
    EXPECT_FALSE(basicSheet.ShowHeaders());
    basicHasImage = !basicSheet.GetHeaderImage().IsEmpty();
  }
  DeleteFileW(path.c_str());
  if (madeFolder) RemoveDirectoryW(folder.c_str());
  // The 192 DPI picture under the name of this screen's size.
  EXPECT_EQ(240, loaded.cx);
  EXPECT_EQ(80, loaded.cy);
  EXPECT_FALSE(basicHasImage);
}

namespace {

struct CPulseWatch {
  HANDLE event;
  HANDLE ready;
  DWORD wait = 0;
};

unsigned __stdcall WatchPulse(void* parameter) {
  CPulseWatch* watch = static_cast<CPulseWatch*>(parameter);
  SetEvent(watch->ready);
  watch->wait = WaitForSingleObject(watch->event, 10000);
  return 0;
}

}  // namespace

TEST(CSetupSheetTest, ProgressMovesThePublishedBarAndPulsesItsEvent) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, owner);
  HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 200, 10, owner, nullptr, nullptr, nullptr);
  HWND status = CreateWindowExW(0, L"STATIC", L"before", WS_CHILD, 0, 20, 200, 10, owner, nullptr, nullptr,
                                nullptr);
  ASSERT_TRUE(bar && status);
  CSetupState state;
  CProgressWindows saved = g_progressWindows;

  // Nothing is published: nothing moves and nothing is pulsed.
  g_progressWindows = CProgressWindows();
  UpdateInstallProgress(&state, 5, 10, L"ignored", false);
  EXPECT_EQ(0, SendMessageW(bar, PBM_GETPOS, 0, 0));

  g_progressWindows.overallBar = bar;
  g_progressWindows.statusLine = status;
  struct Case {
    DWORD done;
    DWORD total;
    const wchar_t* text;
    int position;
    const wchar_t* status;
  };
  const Case kCases[] = {
      {5, 10, L"Installing Alpha", 50, L"Installing Alpha"},
      {static_cast<DWORD>(-5), 10, nullptr, 0, L"Installing Alpha"},
      {15, 10, L"", 100, L""},
      {3, 0, L"Done", 100, L"Done"},
      {1, 3, L"Installing Beta", 33, L"Installing Beta"},
  };
  for (const Case& c : kCases) {
    UpdateInstallProgress(&state, c.done, c.total, c.text, false);
    EXPECT_EQ(c.position, SendMessageW(bar, PBM_GETPOS, 0, 0)) << c.done << "/" << c.total;
    EXPECT_EQ(c.status, GetWindowTextString(status)) << c.done << "/" << c.total;
  }
  EXPECT_NE(0, GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE);

  // A waiter of the moment wakes on the event of the kind of progress.
  for (bool rollback : {false, true}) {
    CPulseWatch watch = {state.GetEvent(rollback ? RollbackProgressEvent : InstallProgressEvent),
                         CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    DWORD error = 0;
    CScopedHandle thread(StartThread(WatchPulse, &watch, &error));
    ASSERT_TRUE(thread.IsValid());
    WaitForSingleObject(watch.ready, 5000);
    Sleep(200);  // the watcher is inside its wait
    UpdateInstallProgress(&state, 1, 2, nullptr, rollback);
    WaitForSingleObject(thread.Get(), 15000);
    CloseHandle(watch.ready);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), watch.wait) << rollback;
    // A pulse leaves the event reset.
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(watch.event, 0));
  }
  g_progressWindows = saved;
  DestroyWindow(owner);
}
