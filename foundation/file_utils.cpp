// file_utils.cpp: folder trees, checked deletes and copies, temporary work
// folders, full paths and the shell launch.
#include "foundation/file_utils.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <string>
#include <vector>

#include "foundation/folder_security.h"
#include "foundation/nt_file.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "platform/system_dlls.h"
#include "platform/wide_string.h"

namespace {

// What SetFileAttributesW accepts; the rest of a find record's bits are not ours to set.
const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
const int kTempFolderTries = 99;
// Below the Windows folder.
const wchar_t kMachineTempFolder[] = L"\\Temp\\";
const int kNumberedNameTries = 99;

class CScopedFindHandle {
 public:
  explicit CScopedFindHandle(HANDLE handle) : m_handle(handle) {}
  CScopedFindHandle(const CScopedFindHandle&) = delete;
  CScopedFindHandle& operator=(const CScopedFindHandle&) = delete;
  ~CScopedFindHandle() {
    if (IsValid()) FindClose(m_handle);
  }
  bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return m_handle; }

 private:
  HANDLE m_handle;
};

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty() || folder.back() == L'\\') return folder + name;
  return folder + L"\\" + name;
}

using GetFinalPathFunctionType = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// Vista and later: looked up, so the program still starts on XP.
GetFinalPathFunctionType GetFinalPathFunction() {
  static const GetFinalPathFunctionType function = reinterpret_cast<GetFinalPathFunctionType>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
  return function;
}

// The path the open file or folder ends at, without "\\?\"; empty when
// the system cannot tell.
std::wstring FinalPathOf(HANDLE file) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetFinalPathFunction()(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::wstring();
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\" + path.substr(7);
      if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
      return path;
    }
    buffer.resize(length + 1);
  }
}

// Only itself: no folder, no link or other reparse point, one name.
bool IsSingleNamedFile(HANDLE file) {
  CFileBasicInformation basic = {};
  CFileStandardInformation standard = {};
  return QueryOpenFile(file, &basic, sizeof(basic), kFileBasicInformation) &&
         QueryOpenFile(file, &standard, sizeof(standard), kFileStandardInformation) &&
         standard.numberOfLinks == 1 && !standard.directory &&
         !(basic.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

bool IsFolder(const WIN32_FIND_DATAW& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsDotOrDotDotName(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Entries matching `pattern` in `folder`, "." and ".." left out. The listing
// is complete before the caller changes anything in the folder.
bool ListFolder(const std::wstring& folder, const std::wstring& pattern,
                std::vector<WIN32_FIND_DATAW>* entries) {
  entries->clear();
  WIN32_FIND_DATAW entry = {};
  std::wstring search = JoinPath(folder, pattern);
  CScopedFindHandle find(FindFirstFileW(search.c_str(), &entry));
  if (!find.IsValid()) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (!IsDotOrDotDotName(entry.cFileName)) entries->push_back(entry);
  } while (FindNextFileW(find.Get(), &entry));
  DWORD error = GetLastError();
  if (error == ERROR_NO_MORE_FILES) return true;
  SetLastError(error);
  return false;
}

BOOL SetAttributes(const std::wstring& path, DWORD attributes) {
  attributes &= kSettableAttributes;
  return SetFileAttributesW(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

bool IsPlainFileName(const std::wstring& name) {
  static const wchar_t* const kDeviceNames[] = {L"CON",  L"PRN",  L"AUX",  L"NUL",  L"CONIN$", L"CONOUT$",
                                                L"COM1", L"COM2", L"COM3", L"COM4", L"COM5",   L"COM6",
                                                L"COM7", L"COM8", L"COM9", L"LPT1", L"LPT2",   L"LPT3",
                                                L"LPT4", L"LPT5", L"LPT6", L"LPT7", L"LPT8",   L"LPT9"};
  if (name.empty() || name.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) return false;
  if (name.find(L"..") != std::wstring::npos || name.find_first_not_of(L" .") == std::wstring::npos) return false;
  for (wchar_t letter : name) {
    if (letter < 0x20) return false;
  }
  // The system takes "nul.txt" and "NUL " for the device too.
  std::wstring stem = TrimRight(name.substr(0, name.find(L'.')));
  for (const wchar_t* device : kDeviceNames) {
    if (EqualsNoCase(stem, device)) return false;
  }
  return true;
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL CreateDirectoryTree(const std::wstring& path, LPSECURITY_ATTRIBUTES security) {
  if (path.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::wstring folder = path;
  while (folder.size() > 1 && folder.back() == L'\\') folder.pop_back();
  DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (CreateDirectoryW(folder.c_str(), security)) return TRUE;
  DWORD error = GetLastError();
  if (error != ERROR_PATH_NOT_FOUND) {
    SetLastError(error);
    return FALSE;
  }
  size_t lastSlash = folder.find_last_of(L'\\');
  if (lastSlash == std::wstring::npos || lastSlash == 0) {
    SetLastError(ERROR_INVALID_DRIVE);
    return FALSE;
  }
  std::wstring parent = folder.substr(0, lastSlash);
  if (!CreateDirectoryTree(parent, security) && GetLastError() != ERROR_ALREADY_EXISTS) return FALSE;
  if (CreateDirectoryW(folder.c_str(), security)) return TRUE;
  return FALSE;
}

BOOL IsValidFolderPath(const std::wstring& path) {
  size_t start = (path.size() >= 2 && path[1] == L':') ? 2 : 0;
  size_t lastSeparator = path.find_last_of(L"\\/");
  if (lastSeparator == std::wstring::npos || lastSeparator < start) return TRUE;
  std::wstring folder = path.substr(start, lastSeparator + 1 - start);
  if (folder.find_first_of(L":/*?\"<>|") != std::wstring::npos) return FALSE;
  return folder.find(L"\\\\") == std::wstring::npos;
}

BOOL FindFileRecursive(const std::wstring& folder, const std::wstring& pattern,
                       std::wstring* foundPath) {
  std::vector<WIN32_FIND_DATAW> entries;
  if (ListFolder(folder, pattern, &entries)) {
    for (const WIN32_FIND_DATAW& entry : entries) {
      if (IsFolder(entry)) continue;
      *foundPath = JoinPath(folder, entry.cFileName);
      return TRUE;
    }
  }
  if (!ListFolder(folder, L"*", &entries)) return FALSE;
  for (const WIN32_FIND_DATAW& entry : entries) {
    if (IsFolder(entry) && FindFileRecursive(JoinPath(folder, entry.cFileName), pattern, foundPath)) {
      return TRUE;
    }
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return FALSE;
}

BOOL CopyFolderTree(const std::wstring& source, const std::wstring& target) {
  // Listed before the target exists, so a target inside the source is not copied into itself.
  std::vector<WIN32_FIND_DATAW> entries;
  if (!ListFolder(source, L"*.*", &entries)) return FALSE;
  if (!CreateDirectoryTree(target, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return FALSE;
  for (const WIN32_FIND_DATAW& entry : entries) {
    std::wstring from = JoinPath(source, entry.cFileName);
    std::wstring to = JoinPath(target, entry.cFileName);
    BOOL copied = IsFolder(entry) ? CopyFolderTree(from, to) : CopyFileClearReadOnly(from, to, FALSE);
    if (!copied) return FALSE;
  }
  return TRUE;
}

BOOL CopyFileClearReadOnly(const std::wstring& source, const std::wstring& target,
                           BOOL failIfExists) {
  DWORD attributes = GetFileAttributesW(target.c_str());
  // Only when the copy may overwrite: a refused copy leaves the target untouched.
  bool cleared = !failIfExists && attributes != INVALID_FILE_ATTRIBUTES &&
                 !(attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_READONLY);
  if (cleared) SetAttributes(target, attributes & ~FILE_ATTRIBUTE_READONLY);
  if (CopyFileW(source.c_str(), target.c_str(), failIfExists)) return TRUE;
  DWORD error = GetLastError();
  if (cleared) SetAttributes(target, attributes);
  SetLastError(error);
  return FALSE;
}

std::wstring GetTempFolderPath() {
  DWORD size = GetTempPathW(0, nullptr);
  if (size == 0) return std::wstring();
  std::vector<wchar_t> buffer(size + 1);
  DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length == 0 || length >= buffer.size()) return std::wstring();
  std::wstring tempFolder(buffer.data(), length);
  if (tempFolder.back() != L'\\') tempFolder += L'\\';
  return tempFolder;
}

std::wstring GetMachineTempFolderPath() {
  wchar_t folder[MAX_PATH + 8] = {};
  UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  wcscat(folder, kMachineTempFolder + (folder[length - 1] == L'\\' ? 1 : 0));
  // Spelt as the folder's own name is, which the resume entry then shows.
  wchar_t spelt[MAX_PATH + 8] = {};
  DWORD written = GetLongPathNameW(folder, spelt, MAX_PATH + 8);
  return written == 0 || written >= MAX_PATH + 8 ? folder : spelt;
}

bool IsLinkPath(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool FileIndexOf(HANDLE file, uint64_t* index) {
  LARGE_INTEGER value = {};
  if (!QueryOpenFile(file, &value, sizeof(value), kFileInternalInformation)) return false;
  *index = static_cast<uint64_t>(value.QuadPart);
  return true;
}

std::wstring FinalPathOfOpenFile(HANDLE file) {
  return GetFinalPathFunction() ? FinalPathOf(file) : std::wstring();
}

bool IsPlainFile(HANDLE file, const std::wstring& path) {
  if (!IsSingleNamedFile(file)) return false;
  // Wine shows a file symlink as a plain file and opens its target: only
  // the name the open file ends at tells it. Where the system cannot tell
  // (Windows XP; Wine past 260 characters) a link is seen by its attribute.
  std::wstring filePath = GetFinalPathFunction() ? FinalPathOf(file) : std::wstring();
  if (filePath.empty()) return true;
  std::wstring expected = FinalPathOfName(path);
  return expected.empty() || EqualsNoCase(filePath, expected);
}

std::wstring FinalPathOfName(const std::wstring& path) {
  std::wstring full = GetFullPath(path);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  size_t slash = full.find_last_of(L'\\');
  if (!GetFinalPathFunction() || slash == std::wstring::npos || slash + 1 >= full.size()) return std::wstring();
  CScopedHandle folder(CreateFileW(full.substr(0, slash + 1).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  std::wstring folderPath = folder.IsValid() ? FinalPathOf(folder.Get()) : std::wstring();
  if (folderPath.empty()) return std::wstring();
  // A short name on the way is spelt out, as the final path spells it.
  std::wstring name = full.substr(slash + 1);
  if (name.find(L'~') != std::wstring::npos) {
    std::vector<wchar_t> spelt(full.size() + MAX_PATH);
    DWORD length = GetLongPathNameW(full.c_str(), spelt.data(), static_cast<DWORD>(spelt.size()));
    if (length > 0 && length < spelt.size()) {
      std::wstring longPath(spelt.data(), length);
      name = longPath.substr(longPath.find_last_of(L'\\') + 1);
    }
  }
  return JoinPath(folderPath, name);
}

HANDLE OpenPlainFolder(const std::wstring& path, DWORD access) {
  CScopedHandle folder(CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!folder.IsValid()) return INVALID_HANDLE_VALUE;
  CFileBasicInformation basic = {};
  bool plain = QueryOpenFile(folder.Get(), &basic, sizeof(basic), kFileBasicInformation) &&
               (basic.attributes & FILE_ATTRIBUTE_DIRECTORY) && !(basic.attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  // Wine opens a folder link at its target and shows it as a plain folder:
  // only where the handle lies tells it.
  std::wstring found = plain ? FinalPathOfOpenFile(folder.Get()) : std::wstring();
  std::wstring expected = found.empty() ? std::wstring() : FinalPathOfName(path);
  if (!plain || (!expected.empty() && !EqualsNoCase(found, expected))) {
    SetLastError(kNotPlainFileError);
    return INVALID_HANDLE_VALUE;
  }
  return folder.Release();
}

HANDLE OpenPlainFile(const std::wstring& path, DWORD access, DWORD shareMode, bool create) {
  // The check reads the file's attributes, which a handle for writing only
  // may not do.
  access |= FILE_READ_ATTRIBUTES;
  // A name that appears between the two opens is met by the other one.
  for (int attempt = 0; attempt < 2; ++attempt) {
    HANDLE file = CreateFileW(path.c_str(), access, shareMode, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      if (IsPlainFile(file, path)) return file;
      CloseHandle(file);
      SetLastError(kNotPlainFileError);
      return INVALID_HANDLE_VALUE;
    }
    DWORD error = GetLastError();
    // A folder, or a link to one, refuses a file's open: no file of the
    // name can be had there either.
    if (error == ERROR_ACCESS_DENIED && FolderExists(path)) break;
    if (error != ERROR_FILE_NOT_FOUND || !create) return INVALID_HANDLE_VALUE;
    file = CreateFileW(path.c_str(), access, shareMode, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && FolderExists(path)) break;
    // A link whose target is missing is not found, yet its name is taken.
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return INVALID_HANDLE_VALUE;
  }
  SetLastError(kNotPlainFileError);
  return INVALID_HANDLE_VALUE;
}

HANDLE ReopenPlainFile(const std::wstring& path, const std::wstring& finalPath, DWORD access, DWORD shareMode) {
  if (finalPath.empty()) return INVALID_HANDLE_VALUE;
  CScopedHandle file(CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES, shareMode, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  // A link planted at the name, or at a folder on the way, leads elsewhere.
  if (!file.IsValid() || !IsSingleNamedFile(file.Get()) || FinalPathOf(file.Get()) != finalPath) {
    return INVALID_HANDLE_VALUE;
  }
  return file.Release();
}

std::wstring NumberedName(const std::wstring& path, int number) {
  if (number <= 1) return path;
  size_t slash = path.find_last_of(L'\\');
  size_t dot = path.find_last_of(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) dot = path.size();
  return path.substr(0, dot) + Format(L" (%d)", number) + path.substr(dot);
}

std::wstring ClaimPlainFile(const std::wstring& path) {
  for (int number = 1; number <= kNumberedNameTries; ++number) {
    std::wstring candidate = NumberedName(path, number);
    CScopedHandle file(OpenPlainFile(candidate, FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true));
    if (file.IsValid()) return candidate;
    if (GetLastError() != kNotPlainFileError) break;
  }
  return path;
}

BOOL CreateTempWorkFolder(std::wstring* path,
                          const std::function<bool(const std::wstring& candidate)>& claim, bool machineWide) {
  std::wstring tempFolder = machineWide ? GetMachineTempFolderPath() : GetTempFolderPath();
  if (tempFolder.empty()) return FALSE;
  if (!CreateDirectoryTree(tempFolder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return FALSE;
  }
  srand(static_cast<unsigned>(time(nullptr)));
  for (int attempt = 0; attempt < kTempFolderTries; ++attempt) {
    std::wstring candidate = Format(L"%sZOLM%04X", tempFolder.c_str(), rand() % 65535);
    if (claim && !claim(candidate)) continue;
    if (machineWide) {
      // Only ever a folder this run makes: one that stood there already
      // could hold what its maker put in or swaps in later.
      DWORD made = CreateAdministratorsOnlyFolder(candidate);
      if (made == ERROR_ALREADY_EXISTS || made == ERROR_FILE_EXISTS) continue;
      if (made != ERROR_SUCCESS) {
        SetLastError(made);
        return FALSE;
      }
    } else if (!CreateDirectoryTree(candidate, nullptr)) {
      continue;
    }
    *path = candidate + L"\\";
    return TRUE;
  }
  return FALSE;
}

std::wstring GetFullPath(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::wstring();
  std::vector<wchar_t> buffer(size + 1);
  DWORD length = GetFullPathNameW(path.c_str(), size + 1, buffer.data(), nullptr);
  return length && length <= size ? std::wstring(buffer.data(), length) : std::wstring();
}

std::wstring GetModuleFilePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

HANDLE SafeCreateFile(const wchar_t* path, DWORD access, DWORD shareMode,
                      LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                      HANDLE templateFile) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // kernel32 is a known DLL, always the system folder's copy: no path lookup to guard.
  return CreateFileW(path, access, shareMode, security, disposition, flags, templateFile);
}

BOOL SafeShellExecuteEx(SHELLEXECUTEINFOW* info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
  // Kept loaded for the whole run: the shell may leave work running in it.
  static HMODULE shell32 = LoadSystemDll(L"shell32.dll");
  if (!shell32) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  auto shellExecuteEx =
      reinterpret_cast<ShellExecuteExFunction>(GetProcAddress(shell32, "ShellExecuteExW"));
  if (!shellExecuteEx) return FALSE;
  return shellExecuteEx(info);
}

std::vector<std::wstring> ListFolderEntries(const std::wstring& folder, const std::wstring& pattern,
                                            bool folders) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry = {};
  CScopedFindHandle find(FindFirstFileW(JoinPath(folder, pattern).c_str(), &entry));
  if (!find.IsValid()) return names;
  do {
    if (IsFolder(entry) != folders || IsDotOrDotDotName(entry.cFileName)) continue;
    names.push_back(entry.cFileName);
  } while (FindNextFileW(find.Get(), &entry));
  return names;
}
