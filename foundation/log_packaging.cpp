// log_packaging.cpp: packs log files and update folders into ZIP archives.
// The ZIP library throws its exceptions by pointer; they are caught here,
// logged, and the archive is closed with the entries it already holds.
#include "foundation/log_packaging.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "foundation/folder.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"

namespace {

const wchar_t kLogArchivePattern[] = L"LogFile %y-%m-%d %H-%M.zip";
const uint32_t kCopyBufferSize = 65536;

// The full path without trailing backslashes, for comparing folders.
std::wstring NormalFolder(const std::wstring& folder) {
  wchar_t buffer[MAX_PATH * 2] = {};
  DWORD length = GetFullPathNameW(folder.c_str(), MAX_PATH * 2, buffer, nullptr);
  std::wstring path = length == 0 || length >= MAX_PATH * 2 ? folder : std::wstring(buffer, length);
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return std::wstring();
  return buffer;
}

std::vector<std::wstring> ProtectedFolders() {
  std::vector<std::wstring> folders;
  wchar_t buffer[MAX_PATH] = {};
  // PathIsSystemFolderW only tests attributes: it is false for the Windows
  // folder itself under Wine, so the system's folders are named here.
  if (GetWindowsDirectoryW(buffer, MAX_PATH)) folders.push_back(buffer);
  if (GetSystemDirectoryW(buffer, MAX_PATH)) folders.push_back(buffer);
  if (GetSystemWow64DirectoryW(buffer, MAX_PATH)) folders.push_back(buffer);
  DWORD length = GetTempPathW(MAX_PATH, buffer);
  if (length && length < MAX_PATH) folders.push_back(buffer);
  const int kShellFolders[] = {CSIDL_PROFILE,        CSIDL_APPDATA,          CSIDL_LOCAL_APPDATA,
                               CSIDL_COMMON_APPDATA, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY,
                               CSIDL_PERSONAL,       CSIDL_COMMON_DOCUMENTS, CSIDL_PROGRAM_FILES,
                               CSIDL_PROGRAM_FILESX86};
  for (int csidl : kShellFolders) folders.push_back(ShellFolder(csidl));
  // The folder that holds every profile.
  std::wstring profile = ShellFolder(CSIDL_PROFILE);
  size_t slash = profile.find_last_of(L'\\');
  if (slash != std::wstring::npos && slash > 2) folders.push_back(profile.substr(0, slash));
  return folders;
}

// The entry name: `base`, the file's folder below the scanned one, and the
// file name in lower case.
std::wstring EntryName(const std::wstring& scanned, const CFileInfo& file, const std::wstring& base) {
  std::wstring below = file.folder.size() > scanned.size() ? file.folder.substr(scanned.size()) : std::wstring();
  while (!below.empty() && below.front() == L'\\') below.erase(0, 1);
  std::wstring name = below + ToLower(file.name);
  return base.empty() ? name : base + L"\\" + name;
}

std::wstring WithBackslash(const std::wstring& folder) {
  return !folder.empty() && folder.back() == L'\\' ? folder : folder + L"\\";
}

// Called inside a catch block: logs what the ZIP library threw.
void LogZipFailure(const std::wstring& archivePath) {
  try {
    throw;
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    WriteLog(L"   ZIP error %d on '%s': %s", error->GetCode(), error->GetFileName().c_str(),
             error->GetErrorDescription().c_str());
  } catch (const std::exception& error) {
    WriteLog(L"   Packing '%s' failed: %s", archivePath.c_str(), Utf8ToWide(error.what()).c_str());
  }
}

// Writes the central directory of what the archive holds; when even that
// fails, the file is let go as it is.
void CloseAfterFailure(CZipArchive* archive, const std::wstring& archivePath) {
  try {
    archive->Close(CZipArchive::afterExceptionWrite);
  } catch (...) {
    LogZipFailure(archivePath);
    try {
      archive->Close(CZipArchive::afterExceptionNoWrite);
    } catch (CZipException* raw) {
      std::unique_ptr<CZipException> ignored(raw);  // logged once above
    }
  }
}

struct CEntry {
  std::wstring path;
  std::wstring name;
};

// The name with each letter outside printable ASCII replaced by '_', which
// every code page stores.
std::wstring AsciiName(const std::wstring& name) {
  std::wstring ascii = name;
  for (wchar_t& letter : ascii) {
    if (letter < 0x20 || letter > 0x7E) letter = L'_';
  }
  return ascii;
}

// A log whose name the archive's code page cannot hold is still packed,
// under a plain name: its contents matter more than its name, and stopping
// there would leave every later log out.
bool AddEntry(CZipArchive* archive, const CEntry& entry) {
  try {
    return archive->AddFileAs(entry.path, entry.name, -1, CZipArchive::zipsmSafeSmart, kCopyBufferSize);
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    if (error->GetCode() != CZipException::kInvalidArgument) throw error.release();
  }
  std::wstring ascii = AsciiName(entry.name);
  WriteLog(L"   The name '%s' cannot be stored in the archive; packed as '%s'", entry.name.c_str(),
           ascii.c_str());
  return archive->AddFileAs(entry.path, ascii, -1, CZipArchive::zipsmSafeSmart, kCopyBufferSize);
}

// A created archive that could not be finished goes: a part of it passes
// for the logs packed, and on a full drive it holds the room the setup log
// needs to say so.
void RemoveUnfinished(const std::wstring& archivePath) {
  if (DeleteFileW(archivePath.c_str())) {
    WriteLog(L"   Removed the unfinished archive '%s'", archivePath.c_str());
    return;
  }
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) return;
  WriteLog(L"   The unfinished archive '%s' could not be removed, error %d", archivePath.c_str(), error);
}

// Adds each entry in turn; false at the first that cannot be added.
BOOL PackEntries(const std::wstring& archivePath, bool create, const std::vector<CEntry>& entries) {
  // Until the archive is open, a file already there is not this packing's.
  bool made = create && GetFileAttributesW(archivePath.c_str()) == INVALID_FILE_ATTRIBUTES;
  CZipArchive archive;
  try {
    archive.Open(archivePath, create ? CZipArchive::zipCreate : CZipArchive::zipOpen);
  } catch (...) {
    LogZipFailure(archivePath);
    if (made) RemoveUnfinished(archivePath);
    return FALSE;
  }
  try {
    bool added = true;
    for (const CEntry& entry : entries) {
      added = AddEntry(&archive, entry);
      if (!added) {
        WriteLog(L"   Could not add '%s' to '%s'", entry.path.c_str(), archivePath.c_str());
        break;
      }
    }
    archive.Close();
    if (added) return TRUE;
  } catch (...) {
    LogZipFailure(archivePath);
    CloseAfterFailure(&archive, archivePath);
  }
  if (create) RemoveUnfinished(archivePath);
  return FALSE;
}

bool MayPack(const CFolder& folder) {
  return folder.Exists() && !IsProtectedFolder(folder.Path());
}

}  // namespace

bool IsProtectedFolder(const std::wstring& folder) {
  // "C:" alone names the drive's current folder, whatever that is.
  if (folder.size() == 2 && folder[1] == L':') return true;
  std::wstring path = NormalFolder(folder);
  if (path.empty() || PathIsRootW(WithBackslash(path).c_str()) || PathIsSystemFolderW(path.c_str(), 0)) {
    return true;
  }
  for (const std::wstring& other : ProtectedFolders()) {
    if (!other.empty() && EqualsNoCase(path, NormalFolder(other))) return true;
  }
  return false;
}

BOOL ZipLogFiles(const std::wstring& folder, std::wstring* archivePath) {
  CFolder logs(folder);
  if (!MayPack(logs)) return FALSE;
  std::wstring scanned = WithBackslash(folder);
  std::wstring archive = scanned + FormatCurrentTime(kLogArchivePattern);
  if (archivePath) *archivePath = archive;
  CFileInfoList files;
  logs.GetAllFiles(&files);
  std::vector<CEntry> entries;
  for (const CFileInfo& file : files) {
    std::wstring name = ToLower(file.name);
    size_t log = name.find(L".log");
    if (name.find(L".zip") != std::wstring::npos || log == std::wstring::npos || log == 0) continue;
    entries.push_back({file.folder + file.name, EntryName(scanned, file, std::wstring())});
  }
  return PackEntries(archive, true, entries);
}

BOOL ZipFolderTree(const std::wstring& folder, const std::wstring& base, const std::wstring& archivePath) {
  CFolder tree(folder);
  if (!MayPack(tree)) return FALSE;
  size_t slash = archivePath.find_last_of(L'\\');
  if (slash == std::wstring::npos) return FALSE;
  CFolder target(archivePath.substr(0, slash));
  if (!target.Create()) return FALSE;
  CFileInfoList files;
  tree.GetAllFiles(&files);
  std::vector<CEntry> entries;
  for (const CFileInfo& file : files) {
    entries.push_back({file.folder + file.name, EntryName(WithBackslash(folder), file, base)});
  }
  return PackEntries(archivePath, true, entries);
}

BOOL ZipFolderFiles(const std::wstring& folder, const std::wstring& base, const std::wstring& archivePath,
                    bool create, bool relativeNames) {
  CFolder files(folder);
  if (!MayPack(files)) return FALSE;
  size_t slash = archivePath.find_last_of(L'\\');
  if (slash == std::wstring::npos) return FALSE;
  CFolder target(archivePath.substr(0, slash));
  if (!target.Create()) return FALSE;
  std::vector<CEntry> entries;
  for (const CFileInfo& file : files.Files()) {
    // The archive being appended to may lie in the folder it packs.
    if (EqualsNoCase(file.folder + file.name, archivePath)) continue;
    std::wstring name = relativeNames ? EntryName(WithBackslash(folder), file, base) : file.name;
    entries.push_back({file.folder + file.name, name});
  }
  return PackEntries(archivePath, create, entries);
}
