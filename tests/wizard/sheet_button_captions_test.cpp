// sheet_button_captions_test.cpp: the wizard's button captions come from
// the string table on every Windows version (the system's own would be in
// the system's language), and Next reads "&Remove" for the system cleaner.
// Wine takes the version it reports from a per-program key, so a copy of
// this program runs as XP or Vista while the tests themselves stay on the
// prefix's 6.1.
#include "wizard/setup_sheet.h"

#include <windows.h>

#include <string>
#include <vector>

#include "engine/setup_state.h"
#include "foundation/scoped_handle.h"
#include "platform/thread.h"
#include "platform/wide_string.h"
#include "platform/window_text.h"
#include "platform/wizard_sheet.h"
#include "tests/support/test_support.h"
#include "gtest/gtest.h"

namespace {

const wchar_t kProbeName[] = L"wizard_caption_probe.exe";
const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\wizard_caption_probe.exe";

struct CProbeRun {
  CSetupState state;
  CSetupWizardContext context;
};

unsigned __stdcall ProbeWizard(void* parameter) {
  CProbeRun* run = static_cast<CProbeRun*>(parameter);
  return RunSetupWizard(run->context);
}

// The captions of Back, Next, Finish and Cancel, one a line.
std::wstring RunProbe(const std::wstring& program, const std::wstring& output) {
  std::wstring commandLine = L"\"" + program + L"\" --child ButtonCaptions \"" + output + L"\"";
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return L"could not start the probe";
  }
  CScopedHandle process(info.hProcess);
  CloseHandle(info.hThread);
  if (WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.Get(), 1);
    return L"the probe did not end";
  }
  return Utf8ToWide(ReadFileBytes(output));
}

}  // namespace

TEST_CHILD(ButtonCaptions) {
  if (args.empty()) return 2;
  CProbeRun run;
  run.state.SetProductName(L"Tamsa Probe");
  run.state.m_setupType = SetupTypeCleanSystem;
  run.context.state = &run.state;
  DWORD error = 0;
  CScopedHandle thread(StartThread(ProbeWizard, &run, &error));
  HWND sheet = nullptr;
  for (int i = 0; i < 300 && !(sheet = FindWindowW(nullptr, L"Tamsa Probe Setup")); ++i) Sleep(50);
  if (!sheet) return 3;
  Sleep(500);  // the sheet's initialisation has run
  std::wstring captions;
  for (int id : {12323, 12324, 12325, IDCANCEL}) captions += GetWindowTextString(GetDlgItem(sheet, id)) + L"\n";
  WriteFileBytes(args[0], WideToUtf8(captions));
  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kFinish);
  WaitForSingleObject(thread.Get(), 15000);
  return 0;
}

TEST(CSheetButtonCaptionsTest, StringTableCaptionsOnEveryVersion) {
  CTestFolder folder;
  std::wstring probe = folder.File(kProbeName);
  ASSERT_TRUE(CopyFileW(TestExecutablePath().c_str(), probe.c_str(), FALSE));
  struct Case {
    const wchar_t* version;  // null: the prefix's own (6.1)
    const wchar_t* captions;
  };
  const Case kCases[] = {
      {L"winxp", L"< &Back\n&Remove\n&Finish\n&Cancel\n"},
      {L"vista", L"< &Back\n&Remove\n&Finish\n&Cancel\n"},
      {nullptr, L"< &Back\n&Remove\n&Finish\n&Cancel\n"},
  };
  for (const Case& c : kCases) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kAppDefaults);
    if (c.version) {
      HKEY key = nullptr;
      ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kAppDefaults, 0, nullptr, 0, KEY_SET_VALUE,
                                               nullptr, &key, nullptr));
      RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.version),
                     static_cast<DWORD>((wcslen(c.version) + 1) * sizeof(wchar_t)));
      RegCloseKey(key);
    }
    std::wstring output = folder.File(std::wstring(c.version ? c.version : L"own") + L".txt");
    std::wstring captions = RunProbe(probe, output);
    RegDeleteTreeW(HKEY_CURRENT_USER, kAppDefaults);
    EXPECT_EQ(c.captions, captions) << (c.version ? c.version : L"the prefix's version");
  }
}
