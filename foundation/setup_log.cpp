// setup_log.cpp: the setup log. One line per call, appended as UTF-16LE
// without a byte-order mark; KWSETUP decides whether and where.
#include "foundation/setup_log.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdarg>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/dcf_names.h"
#include "foundation/file_utils.h"
#include "foundation/kw_ini_file.h"
#include "foundation/kw_ini_file_exception.h"
#include "foundation/scoped_handle.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kLogVariable[] = L"KWSETUP";
const wchar_t kDefaultLogPath[] = L"C:\\VELL_SETUP.LOG";
const wchar_t kSetupLogName[] = L"\\VELL_SETUP.LOG";
const wchar_t kDefaultDrive[] = L"C:";
const wchar_t kProductIdToken[] = L"{ProductID}";
const wchar_t kPackageLogName[] = L"TAM_{ProductID}.log";
const wchar_t kDefaultCommandLineLog[] = L"{APPDATA_FOLDER}\\Tamsa Log Files\\";
const wchar_t kLineTimePattern[] = L"%m/%d/%y %H:%M:%S";
const wchar_t kNameTimePattern[] = L"%y-%m-%d %H-%M";

// Cross-process appends of several writers lose lines without a lock: every
// writer locks this one byte far beyond any real log size around its
// seek-and-write. The file's contents are not touched by the lock.
const DWORD kLockOffsetHigh = 0x7FFFFFFF;
const int kLogNameTries = 99;
const DWORD kLogShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

struct CEnvironmentValue {
  bool exists = false;
  std::wstring value;
};

// Reads the whole value, however long it is.
CEnvironmentValue ReadEnvironment(const wchar_t* name) {
  CEnvironmentValue result;
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      result.exists = GetLastError() != ERROR_ENVVAR_NOT_FOUND;
      return result;
    }
    if (length < buffer.size()) {
      result.exists = true;
      result.value.assign(buffer.data(), length);
      return result;
    }
    buffer.resize(length + 1);
  }
}

bool IsLogForm(const std::wstring& value) { return StartsWithNoCase(value, L"LOG"); }

// The folder of a file's path; a drive root keeps its backslash.
std::wstring FolderPart(const std::wstring& path) {
  std::wstring folder = FolderOfPath(path, false);
  return folder.size() == 2 && folder[1] == L':' ? folder + L"\\" : folder;
}

struct CLogSetting {
  bool enabled = false;
  std::wstring logTemplate;
};

CLogSetting ReadLogSetting() {
  CLogSetting setting;
  CEnvironmentValue value = ReadEnvironment(kLogVariable);
  if (value.exists) {
    setting.enabled = true;
    if (!IsLogForm(value.value)) setting.logTemplate = value.value;
  }
  return setting;
}

// The folder that holds the logs of a template, made absolute and free of
// "/", ".." and doubled backslashes: the "\\?\" form accepts none of them.
std::wstring LogFolderOf(const std::wstring& logTemplate) {
  std::wstring full = logTemplate;
  DWORD length = GetFullPathNameW(logTemplate.c_str(), 0, nullptr, nullptr);
  if (length > 0) {
    std::vector<wchar_t> buffer(length + 1);
    DWORD written = GetFullPathNameW(logTemplate.c_str(), static_cast<DWORD>(buffer.size()),
                                     buffer.data(), nullptr);
    if (written > 0 && written < buffer.size()) full.assign(buffer.data(), written);
  }
  return FolderOfPath(full, false);
}

std::wstring LongPathForm(const std::wstring& folder) {
  if (StartsWith(folder, L"\\\\?\\")) return folder;
  if (StartsWith(folder, L"\\\\")) return L"\\\\?\\UNC\\" + folder.substr(2);
  return L"\\\\?\\" + folder;
}

class CLogWriter {
 public:
  static CLogWriter& Instance() {
    static CLogWriter writer;
    return writer;
  }

  bool Enabled() const { return m_setting.enabled; }
  const std::wstring& Template() const { return m_setting.logTemplate; }

  void Append(const std::wstring& stamp, const std::wstring& message) {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (!m_pathResolved) {
      std::wstring folder = m_setting.logTemplate.empty() ? std::wstring() : LogFolderOf(m_setting.logTemplate);
      m_basePath = folder.empty() ? std::wstring(kDefaultLogPath) : LongPathForm(folder) + kSetupLogName;
      m_logPath = m_basePath;
      m_pathResolved = true;
    }
    std::wstring notice;
    CScopedHandle opened(m_lost ? INVALID_HANDLE_VALUE : OpenLog(&notice));
    // Once the folder leads elsewhere, the lines go only into the log file
    // this run began, through the handle kept to it.
    HANDLE file = m_lost ? m_held.Get() : opened.Get();
    if (file == INVALID_HANDLE_VALUE || file == nullptr) return;  // the log never reports its own failures
    OVERLAPPED lockRange = {};
    lockRange.OffsetHigh = kLockOffsetHigh;
    bool locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockRange) != FALSE;
    SetFilePointer(file, 0, nullptr, FILE_END);
    std::wstring lines = notice.empty() ? std::wstring() : stamp + L" - " + notice + L"\r\n";
    lines += stamp + L" - " + message + L"\r\n";
    DWORD written = 0;
    WriteFile(file, lines.data(), static_cast<DWORD>(lines.size() * sizeof(wchar_t)), &written, nullptr);
    if (locked) UnlockFileEx(file, 0, 1, 0, &lockRange);
  }

  std::wstring OpenedFolder() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_folder;
  }

 private:
  CLogWriter() : m_setting(ReadLogSetting()) {}

  // The log, or the next plain file beside it: through a link, or into a
  // file with other names, the run would write into another's file with its
  // rights. Every process of the run walks the same names to the same file.
  HANDLE OpenLog(std::wstring* notice) {
    // Where the name led last time it is checked cheaply: the full check
    // would cost more than the line.
    HANDLE file = ReopenPlainFile(m_logPath, m_checkedPath, GENERIC_WRITE, kLogShare);
    if (file != INVALID_HANDLE_VALUE) return file;
    // Nothing is made or added to in a folder the log folder's name leads to now.
    if (LeadsElsewhere(FolderPart(m_logPath), notice)) return INVALID_HANDLE_VALUE;
    for (int tries = 0; tries < kLogNameTries; ++tries) {
      file = OpenPlainFile(m_logPath, GENERIC_WRITE, kLogShare, true);
      m_checkedPath = file != INVALID_HANDLE_VALUE ? FinalPathOfOpenFile(file) : std::wstring();
      if (file != INVALID_HANDLE_VALUE && LeadsElsewhere(m_checkedPath.empty() ? std::wstring() :
                                                         FolderPart(m_checkedPath), notice, false)) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
      }
      if (file != INVALID_HANDLE_VALUE) Remember(file);
      if (file != INVALID_HANDLE_VALUE || GetLastError() != kNotPlainFileError) return file;
      std::wstring next = NumberedName(m_basePath, ++m_number);
      const wchar_t* why = FolderExists(m_logPath) ? L"a folder" : L"a link or a file with other names";
      *notice = Format(L"The log file %s is %s: this run logs into %s", m_logPath.c_str(), why, next.c_str());
      m_logPath = next;
    }
    return INVALID_HANDLE_VALUE;
  }

  // The first log file found: its folder is the run's log folder from then
  // on, and the handle kept to it holds the file (and, on Windows, keeps
  // the folders above it from being renamed while the run lives).
  void Remember(HANDLE file) {
    if (m_held.IsValid() || m_checkedPath.empty()) return;
    m_folder = FolderPart(m_checkedPath);
    HANDLE held = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &held, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      m_held.Reset(held);
    }
  }

  // True, with the notice, when `folder` (a name, or with `byName` false a
  // final path) no longer lies where the log folder did.
  bool LeadsElsewhere(const std::wstring& folder, std::wstring* notice, bool byName = true) {
    if (m_folder.empty() || folder.empty()) return false;
    std::wstring found = folder;
    if (byName) {
      CScopedHandle opened(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
      found = opened.IsValid() ? FinalPathOfOpenFile(opened.Get()) : std::wstring();
    }
    if (found.empty() || EqualsNoCase(found, m_folder)) return false;
    m_lost = true;
    *notice = Format(L"The log folder now leads to %s, not to %s where this run began its log: no log file is "
                     L"made or written there, and the lines go on only into this log",
                     found.c_str(), m_folder.c_str());
    return true;
  }

  std::mutex m_mutex;
  CLogSetting m_setting;
  bool m_pathResolved = false;
  std::wstring m_basePath;
  std::wstring m_logPath;
  int m_number = 1;
  std::wstring m_checkedPath;  // where m_logPath led when last found a plain file
  std::wstring m_folder;       // the final path of the folder the log was first found in
  CScopedHandle m_held;
  bool m_lost = false;         // the folder's name leads elsewhere now
};

const std::wstring& DateTimeText() {
  static const std::wstring text = FormatCurrentTime(kNameTimePattern);
  return text;
}

std::wstring TempFolderText() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length > MAX_PATH) return kDefaultDrive;
  std::wstring folder(buffer, length);
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

std::wstring AppDataFolderText() {
  wchar_t buffer[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
    return kDefaultDrive;
  }
  std::wstring folder = buffer;
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

// Drops whatever stands before a later occurrence of the folder's text.
std::wstring StartAtFolder(const std::wstring& path, const std::wstring& folder) {
  if (folder.empty()) return path;
  size_t hit = FindNoCase(path, folder);
  return (hit != std::wstring::npos && hit > 0) ? path.substr(hit) : path;
}

bool HasDrive(const std::wstring& path) { return path.size() >= 2 && path[1] == L':'; }

std::wstring ExecutableFolder() { return FolderOfPath(GetModuleFilePath()); }

}  // namespace

void __cdecl WriteLog(const wchar_t* format, ...) {
  if (!format) return;
  va_list args;
  va_start(args, format);
  // DLL actions call this through the context block, so nothing may escape
  // into their frames; and the log never reports its own failures.
  try {
    if (IsLoggingEnabled(nullptr)) {
      std::wstring stamp = FormatCurrentTime(kLineTimePattern);
      std::wstring message = FormatV(format, args);
      CLogWriter::Instance().Append(stamp, message);
    }
  } catch (...) {
  }
  va_end(args);
}

BOOL IsLoggingEnabled(std::wstring* logTemplate) {
  CLogWriter& writer = CLogWriter::Instance();
  if (logTemplate) *logTemplate = writer.Template();
  return writer.Enabled() ? TRUE : FALSE;
}

BOOL GetLogPathSetting(std::wstring* logTemplate) {
  static const CLogSetting setting = ReadLogSetting();
  if (logTemplate) *logTemplate = setting.logTemplate;
  return setting.enabled ? TRUE : FALSE;
}

BOOL GetLogFilesFolder(std::wstring* folder) {
  struct CFolder {
    BOOL found = FALSE;
    std::wstring path;
  };
  static const CFolder cached = [] {
    CFolder result;
    std::wstring logTemplate;
    result.found = GetLogPathSetting(&logTemplate);
    size_t lastSlash = logTemplate.find_last_of(L'\\');
    std::wstring logFolder = lastSlash == std::wstring::npos ? std::wstring() : logTemplate.substr(0, lastSlash);
    size_t parentSlash = logFolder.find_last_of(L'\\');
    if (parentSlash != std::wstring::npos) result.path = logFolder.substr(0, parentSlash + 1);
    return result;
  }();
  if (folder) *folder = cached.path;
  return cached.found;
}

std::wstring GetOpenedLogFolder() { return CLogWriter::Instance().OpenedFolder(); }

bool IsInOpenedLogFolder(const std::wstring& path, const std::wstring& finalPath) {
  std::wstring opened = GetOpenedLogFolder();
  std::wstring logFolder;
  // A file of another folder is no log of this run's folder.
  if (opened.empty() || !GetSetupLogFolder(&logFolder) ||
      !EqualsNoCase(FolderOfPath(GetFullPath(path)), GetFullPath(logFolder))) {
    return true;
  }
  std::wstring found = finalPath;
  if (found.empty()) {
    CScopedHandle folder(CreateFileW(FolderPart(path).c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    found = folder.IsValid() ? FinalPathOfOpenFile(folder.Get()) : std::wstring();
  } else {
    found = FolderPart(found);
  }
  if (found.empty() || EqualsNoCase(found, opened)) return true;
  WriteLog(L"   The log folder now leads to %s, not to %s where this run began its log: %s is not written",
           found.c_str(), opened.c_str(), path.c_str());
  return false;
}

BOOL GetSetupLogFolder(std::wstring* folder) {
  std::wstring logTemplate;
  if (!IsLoggingEnabled(&logTemplate) || logTemplate.empty()) return FALSE;
  std::wstring path = LogFolderOf(logTemplate);
  if (path.empty()) return FALSE;
  if (folder) *folder = path.back() == L'\\' ? path : path + L"\\";
  return TRUE;
}

std::wstring GetLogPathFromEnvironment(const wchar_t* variableName) {
  CEnvironmentValue value = ReadEnvironment(variableName ? variableName : kLogVariable);
  if (!value.exists || IsLogForm(value.value)) return std::wstring();
  return value.value;
}

std::wstring ExpandLogFileName(const std::wstring& path) {
  std::wstring temp = TempFolderText();
  std::wstring appData = AppDataFolderText();
  std::wstring result = ReplaceToken(path, L"{DATE_TIME}", DateTimeText());
  result = ReplaceToken(result, L"{TEMP_FOLDER}", temp);
  result = ReplaceToken(result, L"{APPDATA_FOLDER}", appData);
  result = StartAtFolder(result, temp);
  result = StartAtFolder(result, appData);
  // A UNC path is rooted already; one that starts with a single backslash
  // only lacks the drive.
  if (!HasDrive(result) && !StartsWith(result, L"\\\\")) {
    if (!StartsWith(result, L"\\")) result = L"\\" + result;
    result = kDefaultDrive + result;
  }
  size_t lastDot = result.find_last_of(L'.');
  if (lastDot != std::wstring::npos && lastDot + 4 == result.size()) {
    // Every package logs into the template's file: without the product's
    // key in its name each package would overwrite the one before.
    if (FindNoCase(result, kProductIdToken) != std::wstring::npos) return result;
    return result.substr(0, lastDot) + L"_" + kProductIdToken + result.substr(lastDot);
  }
  if (result.empty() || result.back() != L'\\') result += L'\\';
  return result + kPackageLogName;
}

DWORD CreateLogFolder(const std::wstring& path) {
  std::wstring folder = LogFolderOf(path);
  if (CreateDirectoryTree(folder, nullptr)) return ERROR_SUCCESS;
  DWORD error = GetLastError();
  if (error != ERROR_ALREADY_EXISTS) return error;
  // A plain file of that name also "already exists": no log could be
  // written into it.
  return FolderExists(folder) ? ERROR_SUCCESS : ERROR_DIRECTORY;
}

void GetLogPathFromCommandLine(std::wstring* path, const std::wstring& commandLine) {
  if (!path) return;
  path->clear();
  std::wstring rest = commandLine;
  std::wstring token;
  while (ExtractToken(&rest, &token, L" ", false) && !token.empty()) {
    if (!StartsWith(ToUpper(token), L"/L")) continue;
    std::wstring next;
    if (ExtractToken(&rest, &next, L" ", true) && !next.empty()) *path = next;
    else *path = kDefaultCommandLineLog;
    return;
  }
}

std::wstring GetLogPathFromDcf(std::wstring* path) {
  if (!path) return std::wstring();
  path->clear();
  std::wstring dcfPath = ExecutableFolder() + kDcfFileName;
  // No configuration beside the program is no error of the log's: the run
  // reports a missing SETUP.DCF where it reads it.
  if (GetFileAttributesW(dcfPath.c_str()) == INVALID_FILE_ATTRIBUTES) return std::wstring();
  try {
    CKwIniFile dcf;
    dcf.Init(false);
    dcf.LoadFrom(dcfPath);
    dcf.GetValue(kPropertySection, kLogFileKey, path, L"");
  } catch (CKwIniFileException* exception) {
    std::unique_ptr<CKwIniFileException> owned(exception);
    path->clear();
    return Format(L"Exception while loading DCF file: %s error %d: %s", dcfPath.c_str(),
                  owned->GetCode(), owned->GetMessageText().c_str());
  }
  return std::wstring();
}

void InitializeLogging(const std::wstring& commandLine) {
  // Nothing is written before the log's place is settled: the first line
  // fixes the file for the whole run, so a broken SETUP.DCF's line waits.
  std::wstring path;
  std::wstring dcfFailure;
  GetLogPathFromCommandLine(&path, commandLine);
  if (path.empty()) dcfFailure = GetLogPathFromDcf(&path);
  if (path.empty()) path = GetLogPathFromEnvironment(nullptr);
  if (path.empty()) {
    if (!dcfFailure.empty()) WriteLog(L"%s", dcfFailure.c_str());
    return;
  }
  path = ExpandLogFileName(path);
  SetEnvironmentVariableW(kLogVariable, path.c_str());
  DWORD error = CreateLogFolder(path);
  if (error != ERROR_SUCCESS) SetEnvironmentVariableW(kLogVariable, L"LOG");
  if (!dcfFailure.empty()) WriteLog(L"%s", dcfFailure.c_str());
  if (error != ERROR_SUCCESS) {
    WriteLog(L"Could not create folder for log files: %s, Error: %d", path.c_str(), error);
    if (error == ERROR_DIRECTORY) {
      WriteLog(L"   A file, not a folder, stands at %s: the log goes to %s", LogFolderOf(path).c_str(),
               kDefaultLogPath);
    }
  } else {
    WriteLog(L"Created folder for log files: %s", path.c_str());
  }
}

std::wstring FormatCurrentTime(const wchar_t* pattern) {
  if (!pattern) return std::wstring();
  time_t now = time(nullptr);
  struct tm local = {};
  if (localtime_s(&local, &now) != 0) return std::wstring();
  wchar_t buffer[128] = {};
  size_t length = wcsftime(buffer, 128, pattern, &local);
  return std::wstring(buffer, length);
}
