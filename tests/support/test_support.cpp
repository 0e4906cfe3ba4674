// test_support.cpp: child processes, temporary folders and registry keys for
// the in-process tests.
#include "tests/support/test_support.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "gtest/gtest.h"

namespace {

std::map<std::wstring, ChildMain>& Children() {
  static std::map<std::wstring, ChildMain> children;
  return children;
}

std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
    } else if (c == L'"') {
      out.append(slashes * 2 + 1, L'\\');
      slashes = 0;
    } else {
      slashes = 0;
    }
    out += c;
  }
  out.append(slashes, L'\\');
  return out + L"\"";
}

std::vector<wchar_t> BuildEnvironment(const std::vector<CEnvironmentChange>& changes) {
  std::map<std::wstring, std::wstring> variables;  // upper-case name -> "Name=value"
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* p = block; p && *p; p += wcslen(p) + 1) {
    std::wstring entry = p;
    size_t equals = entry.find(L'=', 1);
    if (equals == std::wstring::npos) continue;
    std::wstring key = entry.substr(0, equals);
    for (wchar_t& c : key) c = static_cast<wchar_t>(towupper(c));
    variables[key] = entry;
  }
  FreeEnvironmentStringsW(block);
  for (const CEnvironmentChange& change : changes) {
    std::wstring key = change.name;
    for (wchar_t& c : key) c = static_cast<wchar_t>(towupper(c));
    if (change.remove) variables.erase(key);
    else variables[key] = change.name + L"=" + change.value;
  }
  std::vector<wchar_t> out;
  for (const auto& item : variables) {
    out.insert(out.end(), item.second.begin(), item.second.end());
    out.push_back(L'\0');
  }
  out.push_back(L'\0');
  return out;
}

}  // namespace

CChildRegistrar::CChildRegistrar(const wchar_t* name, ChildMain main) { Children()[name] = main; }

std::wstring TestExecutablePath() {
  wchar_t path[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  return path;
}

HANDLE StartChild(const std::wstring& name, const std::vector<std::wstring>& args,
                  const std::vector<CEnvironmentChange>& environment) {
  std::wstring commandLine = Quote(TestExecutablePath()) + L" --child " + name;
  for (const std::wstring& arg : args) commandLine += L" " + Quote(arg);
  std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back(L'\0');
  std::vector<wchar_t> block = BuildEnvironment(environment);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &info)) {
    return nullptr;
  }
  CloseHandle(info.hThread);
  return info.hProcess;
}

DWORD RunChild(const std::wstring& name, const std::vector<std::wstring>& args,
               const std::vector<CEnvironmentChange>& environment, DWORD timeoutMilliseconds) {
  HANDLE process = StartChild(name, args, environment);
  if (!process) return 0xF0000001;
  DWORD code = 0xF0000002;
  if (WaitForSingleObject(process, timeoutMilliseconds) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process, &code);
  } else {
    TerminateProcess(process, 0xF0000003);
  }
  CloseHandle(process);
  return code;
}

int RunChildDispatch(int argc, wchar_t** argv, bool* handled) {
  *handled = false;
  if (argc < 3 || std::wstring(argv[1]) != L"--child") return 0;
  *handled = true;
  auto found = Children().find(argv[2]);
  if (found == Children().end()) return 0xF0000004;
  std::vector<std::wstring> args(argv + 3, argv + argc);
  try {
    return found->second(args);
  } catch (unsigned long code) {
    return static_cast<int>(0xE0000000 | (code & 0xFFFF));
  } catch (...) {
    return static_cast<int>(0xF0000005);
  }
}

std::wstring CurrentTestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!info) return L"NoTest";
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  std::wstring wide;
  for (char c : name) wide += (c == '/' ? L'_' : static_cast<wchar_t>(c));
  return wide;
}

namespace {

// Tests make paths longer than MAX_PATH: walk and remove in the long-path form.
void RemoveTreeLong(const std::wstring& longFolder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((longFolder + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = longFolder + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTreeLong(path);
      else DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(longFolder.c_str());
}

void RemoveTree(std::wstring folder) {
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  RemoveTreeLong(L"\\\\?\\" + folder);
}

}  // namespace

CTestFolder::CTestFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  m_path = std::wstring(temp) + L"SetupTests\\" + CurrentTestName() + L"_" +
           std::to_wstring(GetCurrentProcessId()) + L"\\";
  RemoveTree(m_path);
  std::error_code ignored;
  std::filesystem::create_directories(m_path, ignored);
}

CTestFolder::~CTestFolder() { RemoveTree(m_path); }

namespace {

void DeleteTreeBothViews(HKEY root, const std::wstring& path) {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
      RegDeleteTreeW(key, nullptr);
      RegCloseKey(key);
      RegDeleteKeyExW(root, path.c_str(), view, 0);
    }
  }
}

}  // namespace

CTestRegistryKey::CTestRegistryKey(HKEY root)
    : m_root(root), m_path(L"Software\\SetupTests\\" + CurrentTestName()) {
  DeleteTreeBothViews(m_root, m_path);
}

CTestRegistryKey::~CTestRegistryKey() { DeleteTreeBothViews(m_root, m_path); }

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::wstring ReadUtf16File(const std::wstring& path) {
  std::string bytes = ReadFileBytes(path);
  std::wstring text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return text;
}
