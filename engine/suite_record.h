#pragma once
// suite_record.h: one entry of the system's list of installed programs under
// HKLM, read and written in one registry view: the suite's own record, which
// is created and read in the 32-bit view, where the suite's packages register
// theirs, and deleted in both views.
#include <windows.h>

#include <string>

// Values of a suite's record that more than its writer reads.
extern const wchar_t kSuiteDisplayNameValue[];
extern const wchar_t kSuiteDisplayVersionValue[];
extern const wchar_t kSuiteBuildNumberValue[];
extern const wchar_t kSuiteSkuValue[];
extern const wchar_t kSuiteBasePathValue[];
extern const wchar_t kSuiteFolderValue[];
extern const wchar_t kSuiteFamilyIdValue[];
extern const wchar_t kSuiteInstallLocationValue[];
extern const wchar_t kSuiteInstalledLanguageValue[];

class CSuiteRecord {
 public:
  // The view of every suite record the run creates or reads.
  static const REGSAM kSuiteView = KEY_WOW64_32KEY;

  explicit CSuiteRecord(const std::wstring& key, REGSAM view = kSuiteView);
  CSuiteRecord(const CSuiteRecord&) = delete;
  CSuiteRecord& operator=(const CSuiteRecord&) = delete;
  ~CSuiteRecord();

  // A suite id that can name a registry key and a cache folder: a plain
  // file name (no separator, drive, ".." or device name).
  static bool IsWellFormedSuiteId(const std::wstring& suiteId);
  // SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<key>
  static std::wstring KeyPath(const std::wstring& key);

  bool Exists() const;
  // A text value (REG_SZ or REG_EXPAND_SZ, not expanded); false when the
  // record or the value is missing, or the value is not text.
  bool ReadText(const wchar_t* name, std::wstring* value) const;

  // Opens the record for writing, creating it: a Win32 code.
  LONG Create();
  LONG SetText(const wchar_t* name, const std::wstring& value);
  LONG SetNumber(const wchar_t* name, DWORD value);
  // Deletes the record in both views; true when neither has it afterwards.
  bool Delete();
  // Deletes the entry in its own view only; false with the last error set.
  bool DeleteInView();

 private:
  std::wstring m_path;
  REGSAM m_view;
  HKEY m_key = nullptr;
};
