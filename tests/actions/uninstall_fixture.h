#pragma once
// uninstall_fixture.h: an entry under HKLM\...\Uninstall\<id> in one registry
// view, written by a test and removed from both views around it.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

// A value of the entry: text, or a DWORD when `isNumber`.
struct CUninstallValue {
  const wchar_t* name;
  const wchar_t* text;
  DWORD number = 0;
  bool isNumber = false;
};

inline CUninstallValue Number(const wchar_t* name, DWORD number) { return {name, L"", number, true}; }

class CUninstallFixture {
 public:
  static constexpr const wchar_t* kRoot = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

  // An id named after the running test, and optionally its case.
  explicit CUninstallFixture(const std::wstring& suffix = L"")
      : m_id(L"SetupTests." + CurrentTestName() + suffix) {
    Remove();
  }
  ~CUninstallFixture() { Remove(); }
  CUninstallFixture(const CUninstallFixture&) = delete;
  CUninstallFixture& operator=(const CUninstallFixture&) = delete;

  const std::wstring& Id() const { return m_id; }

  // view: KEY_WOW64_32KEY or KEY_WOW64_64KEY.
  bool Write(REGSAM view, const std::vector<CUninstallValue>& values) const {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kRoot + m_id).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE | view, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return false;
    }
    bool written = true;
    for (const CUninstallValue& value : values) {
      LONG result = value.isNumber
          ? RegSetValueExW(key, value.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value.number),
                           sizeof(DWORD))
          : RegSetValueExW(key, value.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text),
                           static_cast<DWORD>((wcslen(value.text) + 1) * sizeof(wchar_t)));
      written = written && result == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return written;
  }

  bool Exists(REGSAM view) const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kRoot + m_id).c_str(), 0, KEY_READ | view, &key) !=
        ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }

  void Remove() const {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (kRoot + m_id).c_str(), view, 0);
    }
  }

 private:
  std::wstring m_id;
};

// The folder of the test executable and its helper programs, with a backslash.
inline std::wstring ToolFolder() {
  std::wstring path = TestExecutablePath();
  return path.substr(0, path.find_last_of(L'\\') + 1);
}
