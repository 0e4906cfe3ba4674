// setup_log_test.cpp: where the log goes and what its lines look like. The
// log caches its setting per process, so most cases run in child processes.
#include "foundation/setup_log.h"

#include <windows.h>
#include <shlobj.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

const wchar_t kDefaultLog[] = L"C:\\VELL_SETUP.LOG";

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[4096] = {};
  DWORD length = GetEnvironmentVariableW(name, buffer, 4096);
  return length ? std::wstring(buffer, length) : std::wstring(L"<absent>");
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The message part of every line; fails the test on a malformed line.
std::vector<std::wstring> Messages(const std::wstring& path) {
  std::string bytes = ReadFileBytes(path);
  EXPECT_EQ(0u, bytes.size() % 2);
  std::wstring text = ReadUtf16File(path);
  std::vector<std::wstring> messages;
  const std::wregex line(L"^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d - (.*)$");
  for (const std::wstring& item : Lines(text)) {
    std::wsmatch match;
    if (!std::regex_match(item, match, line)) {
      ADD_FAILURE() << "malformed line: " << WideToUtf8(item);
      continue;
    }
    messages.push_back(match[1]);
  }
  return messages;
}

std::wstring TempText() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH, buffer);
  std::wstring folder(buffer, length);
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

std::wstring AppDataText() {
  wchar_t buffer[MAX_PATH + 1] = {};
  SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer);
  return buffer;
}

class CDefaultLogGuard {
 public:
  CDefaultLogGuard() { DeleteFileW(kDefaultLog); }
  ~CDefaultLogGuard() { DeleteFileW(kDefaultLog); }
};

}  // namespace

// args: command line for InitializeLogging, then lines to write.
TEST_CHILD(LogInitializeAndWrite) {
  InitializeLogging(args.empty() ? L"" : args[0]);
  for (size_t i = 1; i < args.size(); ++i) WriteLog(L"%s", args[i].c_str());
  return 0;
}

// Reports the cached setting and the variable after InitializeLogging.
TEST_CHILD(LogReportSetting) {
  InitializeLogging(args.empty() ? L"" : args[0]);
  std::wstring logTemplate, setting, folder;
  BOOL enabled = IsLoggingEnabled(&logTemplate);
  BOOL present = GetLogPathSetting(&setting);
  BOOL hasFolder = GetLogFilesFolder(&folder);
  std::wstring report = Format(L"%d|%s|%d|%s|%d|%s|%s", enabled, logTemplate.c_str(), present,
                               setting.c_str(), hasFolder, folder.c_str(), Env(L"KWSETUP").c_str());
  HANDLE out = CreateFileW(args[1].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(out, report.data(), static_cast<DWORD>(report.size() * 2), &written, nullptr);
  CloseHandle(out);
  return 0;
}

TEST_CHILD(LogManyLines) {
  int count = _wtoi(args[0].c_str());
  for (int i = 0; i < count; ++i) {
    WriteLog(L"writer %s line %d of a line long enough to be written in more than one piece %s",
             args[1].c_str(), i, std::wstring(40, L'x').c_str());
  }
  return 0;
}

TEST(SetupLogTest, LineIsUtf16WithoutBomAndWideArgumentsComeOutWhole) {
  CTestFolder folder;
  std::wstring logTemplate = folder.Path() + L"TAM_{ProductID}.log";
  DWORD code = RunChild(L"LogManyLines", {L"1", L"\u00e9t\u00e9 wide"}, {{L"KWSETUP", logTemplate}});
  ASSERT_EQ(0u, code);
  std::string bytes = ReadFileBytes(folder.File(L"VELL_SETUP.LOG"));
  ASSERT_GT(bytes.size(), 4u);
  EXPECT_NE("\xFF\xFE", bytes.substr(0, 2));
  EXPECT_EQ(std::string("\r\0\n\0", 4), bytes.substr(bytes.size() - 4));
  std::vector<std::wstring> messages = Messages(folder.File(L"VELL_SETUP.LOG"));
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(L"writer \u00e9t\u00e9 wide line 0 of a line long enough to be written in more than one piece " +
                std::wstring(40, L'x'),
            messages[0]);
}

TEST(SetupLogTest, VariableFormsDecideWhetherAndWhere) {
  CDefaultLogGuard guard;
  CTestFolder folder;
  // Absent: nothing is written anywhere.
  RunChild(L"LogManyLines", {L"1", L"absent"}, {{L"KWSETUP", L"", true}});
  EXPECT_FALSE(FileExists(kDefaultLog));
  // "log" and "LOGFILE": the default file.
  RunChild(L"LogManyLines", {L"1", L"lower"}, {{L"KWSETUP", L"log"}});
  RunChild(L"LogManyLines", {L"1", L"upper"}, {{L"KWSETUP", L"LOGFILE"}});
  std::vector<std::wstring> messages = Messages(kDefaultLog);
  ASSERT_EQ(2u, messages.size());
  EXPECT_TRUE(StartsWith(messages[0], L"writer lower line 0"));
  EXPECT_TRUE(StartsWith(messages[1], L"writer upper line 0"));
  // A file template keeps its folder: the setup log goes beside it.
  RunChild(L"LogManyLines", {L"1", L"file"}, {{L"KWSETUP", folder.File(L"setup.txt")}});
  EXPECT_EQ(1u, Messages(folder.File(L"VELL_SETUP.LOG")).size());
}

TEST(SetupLogTest, LogPathFromCommandLine) {
  struct Case {
    const wchar_t* commandLine;
    const wchar_t* path;
  };
  const Case kCases[] = {
      {L"setup.exe /L c:\\x.log", L"c:\\x.log"},
      {L"setup.exe /l c:\\x.log /qn", L"c:\\x.log"},
      {L"setup.exe /Log c:\\x.log", L"c:\\x.log"},
      {L"setup.exe /L*v \"C:\\my logs\\x.log\" /qn", L"C:\\my logs\\x.log"},
      {L"\"C:\\Program Files\\setup.exe\" /qn /L", L"{APPDATA_FOLDER}\\Tamsa Log Files\\"},
      {L"setup.exe -L c:\\x.log", L""},
      {L"setup.exe /qn", L""},
      {L"setup.exe /L a.log /L b.log", L"a.log"},
      {L"setup.exe /L /qn", L"/qn"},  // the next token, whatever it is
      {L"", L""},
  };
  for (const Case& c : kCases) {
    std::wstring path = L"unchanged";
    GetLogPathFromCommandLine(&path, c.commandLine);
    EXPECT_EQ(c.path, path) << WideToUtf8(c.commandLine);
  }
}

TEST(SetupLogTest, ExpandLogFileNameSteps) {
  std::wstring temp = TempText();
  std::wstring appData = AppDataText();
  struct Case {
    std::wstring path;
    std::wstring expanded;
  };
  const Case kCases[] = {
      // A named file: each package gets its own file beside it.
      {L"D:\\x\\setup.txt", L"D:\\x\\setup_{ProductID}.txt"},
      {L"D:\\x\\{productid}.log", L"D:\\x\\{productid}.log"},
      {L"D:\\x\\logs", L"D:\\x\\logs\\TAM_{ProductID}.log"},
      {L"D:\\x\\logs.d", L"D:\\x\\logs.d\\TAM_{ProductID}.log"},
      {L"D:\\x\\", L"D:\\x\\TAM_{ProductID}.log"},
      {L"logs\\a.log", L"C:\\logs\\a_{ProductID}.log"},
      {L"\\logs\\a.log", L"C:\\logs\\a_{ProductID}.log"},
      {L"X{TEMP_FOLDER}\\a.log", temp + L"\\a_{ProductID}.log"},
      {L"{temp_folder}\\{ProductID}_{INSTALL_MODE}.log", temp + L"\\{ProductID}_{INSTALL_MODE}.log"},
      {L"{APPDATA_FOLDER}\\Tamsa Log Files\\", appData + L"\\Tamsa Log Files\\TAM_{ProductID}.log"},
      {L"\\\\server\\share\\logs", L"\\\\server\\share\\logs\\TAM_{ProductID}.log"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.expanded, ExpandLogFileName(c.path)) << WideToUtf8(c.path);
  }
  std::wstring twice = ExpandLogFileName(L"C:\\{DATE_TIME}\\{date_time}.log");
  std::wregex sameMinute(L"^C:\\\\(\\d\\d-\\d\\d-\\d\\d \\d\\d-\\d\\d)\\\\\\1_\\{ProductID\\}\\.log$");
  EXPECT_TRUE(std::regex_match(twice, sameMinute)) << WideToUtf8(twice);
}

TEST(SetupLogTest, InitializeFromCommandLineSetsVariableAndCreatesFolder) {
  CTestFolder folder;
  std::wstring logFolder = folder.Path() + L"my logs\\deep";
  std::wstring report = folder.File(L"report.txt");
  ASSERT_EQ(0u, RunChild(L"LogReportSetting", {L"setup.exe /L \"" + logFolder + L"\" /qn", report},
                         {{L"KWSETUP", L"", true}}));
  std::wstring expected = logFolder + L"\\TAM_{ProductID}.log";
  EXPECT_EQ(L"1|" + expected + L"|1|" + expected + L"|1|" + folder.Path() + L"my logs\\|" + expected,
            ReadUtf16File(report));
  std::vector<std::wstring> messages = Messages(logFolder + L"\\VELL_SETUP.LOG");
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(L"Created folder for log files: " + expected, messages[0]);
}

TEST(SetupLogTest, LogFilesFolderIsParentOfLogFolder) {
  CTestFolder folder;
  std::wstring report = folder.File(L"report.txt");
  RunChild(L"LogReportSetting", {L"", report}, {{L"KWSETUP", L"C:\\Logs\\Setup\\TAM_{ProductID}.log"}});
  std::wstring text = ReadUtf16File(report);
  EXPECT_NE(std::wstring::npos, text.find(L"|1|C:\\Logs\\|")) << WideToUtf8(text);
  RemoveDirectoryW(L"C:\\Logs\\Setup");
  RemoveDirectoryW(L"C:\\Logs");
}

TEST(SetupLogTest, FailedFolderSendsTheRunToTheDefaultFile) {
  CDefaultLogGuard guard;
  CTestFolder folder;
  WriteFileBytes(folder.File(L"blocker"), "a file where a folder should be");
  std::wstring logPath = folder.Path() + L"blocker\\sub\\x_{ProductID}.log";
  RunChild(L"LogInitializeAndWrite", {L"setup.exe /L " + logPath, L"after"}, {{L"KWSETUP", L"", true}});
  std::vector<std::wstring> messages = Messages(kDefaultLog);
  ASSERT_EQ(2u, messages.size());
  EXPECT_TRUE(StartsWith(messages[0], L"Could not create folder for log files: " + logPath + L", Error: "))
      << WideToUtf8(messages[0]);
  EXPECT_EQ(L"after", messages[1]);
}

// Forward slashes, ".." and doubled backslashes used to make every open of
// the "\\?\" path fail, losing the whole log.
TEST(SetupLogTest, UnnormalisedPathsStillLog) {
  CTestFolder folder;
  std::wstring slashed = ReplaceAll(folder.Path(), L"\\", L"/") + L"a/../b//c.log";
  RunChild(L"LogInitializeAndWrite", {L"setup.exe /L " + slashed, L"kept"}, {{L"KWSETUP", L"", true}});
  std::vector<std::wstring> messages = Messages(folder.Path() + L"b\\VELL_SETUP.LOG");
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ(L"kept", messages[1]);
}

TEST(SetupLogTest, VeryLongVariableIsUsedWhole) {
  CTestFolder folder;
  std::wstring deep = folder.Path();
  while (deep.size() < 300) deep += L"abcdefghijklmnopqrstuvwxyz\\";
  std::wstring logTemplate = deep + L"TAM_{ProductID}.log";
  ASSERT_GE(logTemplate.size(), 300u);
  DWORD code = RunChild(L"LogInitializeAndWrite", {L"setup.exe", L"long"}, {{L"KWSETUP", logTemplate}});
  EXPECT_EQ(0u, code);
  std::vector<std::wstring> messages = Messages(L"\\\\?\\" + deep + L"VELL_SETUP.LOG");
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ(L"Created folder for log files: " + logTemplate, messages[0]);
  EXPECT_EQ(L"long", messages[1]);
}

TEST(SetupLogTest, ConcurrentWritersLoseNoLine) {
  CTestFolder folder;
  std::wstring logTemplate = folder.Path() + L"TAM_{ProductID}.log";
  const wchar_t* const kWriters[] = {L"A", L"B", L"C"};
  std::vector<HANDLE> processes;
  for (const wchar_t* writer : kWriters) {
    processes.push_back(StartChild(L"LogManyLines", {L"1500", writer}, {{L"KWSETUP", logTemplate}}));
    ASSERT_NE(nullptr, processes.back());
  }
  WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), TRUE, 300000);
  for (HANDLE process : processes) CloseHandle(process);

  std::map<std::wstring, int> counts;
  std::wregex line(L"^writer ([ABC]) line (\\d+) of a line long enough to be written in more than one piece x{40}$");
  for (const std::wstring& message : Messages(folder.File(L"VELL_SETUP.LOG"))) {
    std::wsmatch match;
    ASSERT_TRUE(std::regex_match(message, match, line)) << "torn line: " << WideToUtf8(message);
    ++counts[match[1]];
  }
  EXPECT_EQ(1500, counts[L"A"]);
  EXPECT_EQ(1500, counts[L"B"]);
  EXPECT_EQ(1500, counts[L"C"]);
}
