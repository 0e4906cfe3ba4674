#pragma once
// test_support.h: what the in-process tests share: child processes of the
// test executable itself (for per-process caches), temporary folders and
// registry keys that each test builds and removes, and file readers.
#include <windows.h>

#include <string>
#include <vector>

#include "foundation/file_utils.h"

using ChildMain = int (*)(const std::vector<std::wstring>& args);

struct CChildRegistrar {
  CChildRegistrar(const wchar_t* name, ChildMain main);
};

// Declares a routine that runs in a fresh process: `foundation_tests.exe
// --child NAME args...`. Its return value is the process's exit code.
#define TEST_CHILD(name)                                                  \
  static int name##Child(const std::vector<std::wstring>& args);        \
  static CChildRegistrar name##Registrar(L## #name, name##Child);        \
  static int name##Child(const std::vector<std::wstring>& args)

// Runs a registered child routine and returns its exit code. A dispatch
// failure or a time-out gives a code above 0xF0000000.
struct CEnvironmentChange {
  std::wstring name;
  std::wstring value;
  bool remove = false;
};
DWORD RunChild(const std::wstring& name, const std::vector<std::wstring>& args,
               const std::vector<CEnvironmentChange>& environment = {},
               DWORD timeoutMilliseconds = 120000);
// Starts a child without waiting; the caller owns the process handle.
HANDLE StartChild(const std::wstring& name, const std::vector<std::wstring>& args,
                  const std::vector<CEnvironmentChange>& environment = {});

int RunChildDispatch(int argc, wchar_t** argv, bool* handled);

// A fresh folder under %TEMP%\SetupTests named after the running test; removed
// with its contents at destruction. Path() ends with a backslash.
class CTestFolder {
 public:
  CTestFolder();
  ~CTestFolder();
  const std::wstring& Path() const { return m_path; }
  std::wstring File(const std::wstring& name) const { return m_path + name; }

 private:
  std::wstring m_path;
};

// HKCU\Software\SetupTests\<TestName> (or a given root and path), removed in
// both registry views at construction and destruction.
class CTestRegistryKey {
 public:
  explicit CTestRegistryKey(HKEY root = HKEY_CURRENT_USER);
  ~CTestRegistryKey();
  HKEY Root() const { return m_root; }
  const std::wstring& Path() const { return m_path; }

 private:
  HKEY m_root;
  std::wstring m_path;
};

std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The file's bytes read as UTF-16LE code units (no BOM handling).
std::wstring ReadUtf16File(const std::wstring& path);
std::wstring TestExecutablePath();
std::wstring CurrentTestName();
