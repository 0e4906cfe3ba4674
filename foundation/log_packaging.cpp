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

#include "foundation/error.h"
#include "foundation/file_utils.h"
#include "foundation/folder.h"
#include "foundation/nt_file.h"
#include "foundation/registry_key.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "foundation/tree_deletion.h"
#include "platform/wide_string.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_file.h"

namespace {

const wchar_t kLogArchivePattern[] = L"LogFile %y-%m-%d %H-%M.zip";
const uint32_t kCopyBufferSize = 65536;
const int kArchiveNameTries = 99;
const wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const wchar_t* const kProgramFolderValues[] = {L"ProgramFilesDir", L"CommonFilesDir"};
const int kShellFolders[] = {
    CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_FONTS, CSIDL_RESOURCES,
    CSIDL_PROFILE, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL,
    CSIDL_PROGRAMS, CSIDL_STARTMENU,
    CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86,
    CSIDL_COMMON_APPDATA, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_PROGRAMS,
    CSIDL_COMMON_STARTMENU, CSIDL_COMMON_STARTUP, CSIDL_COMMON_TEMPLATES, CSIDL_COMMON_MUSIC,
    CSIDL_COMMON_PICTURES, CSIDL_COMMON_VIDEO, CSIDL_COMMON_ADMINTOOLS, CSIDL_COMMON_FAVORITES,
};

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

std::wstring ParentOf(const std::wstring& folder) {
  size_t slash = folder.find_last_of(L'\\');
  return slash != std::wstring::npos && slash > 2 ? folder.substr(0, slash) : std::wstring();
}

// A 32-bit process is shown the 32-bit program folders under the 64-bit
// names: the 64-bit ones are read from the 64-bit registry view.
void AddNativeProgramFolders(std::vector<std::wstring>* folders) {
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, kCurrentVersionKey, KEY_READ | KEY_WOW64_64KEY, false);
    for (const wchar_t* name : kProgramFolderValues) folders->push_back(key.GetValueSZ(name));
  } catch (const CError&) {
    // A 32-bit Windows has no other view: its folders are the shell's.
  }
}

// The folders Windows keeps for itself and for all users, and the user's own
// roots, in both views.
std::vector<std::wstring> ProtectedFolders() {
  std::vector<std::wstring> folders;
  wchar_t buffer[MAX_PATH] = {};
  // PathIsSystemFolderW only tests attributes: it is false for the Windows
  // folder itself under Wine, so the system's folders are named here.
  if (GetWindowsDirectoryW(buffer, MAX_PATH)) {
    folders.push_back(buffer);
    folders.push_back(folders.back() + L"\\Temp");  // the temporary folder of services and SYSTEM
  }
  if (GetSystemDirectoryW(buffer, MAX_PATH)) folders.push_back(buffer);
  if (GetSystemWow64DirectoryW(buffer, MAX_PATH)) folders.push_back(buffer);
  DWORD length = GetTempPathW(MAX_PATH, buffer);
  if (length && length < MAX_PATH) folders.push_back(buffer);
  for (int csidl : kShellFolders) folders.push_back(ShellFolder(csidl));
  AddNativeProgramFolders(&folders);
  // The folders that hold every profile and the all-users documents.
  folders.push_back(ParentOf(ShellFolder(CSIDL_PROFILE)));
  folders.push_back(ParentOf(ShellFolder(CSIDL_COMMON_DOCUMENTS)));
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
  // A log: packed only as a plain file of its own that still lies in the
  // log folder under its entry name.
  bool plainOnly = false;
};

// Where the log folder lay when its packing began, and the handle that
// keeps it from being renamed meanwhile.
struct CLogFolder {
  CScopedHandle handle;
  std::wstring finalPath;
};

const int64_t kFileTimeTicksTo1970 = 116444736000000000LL;

// The archive reads a log, and writes a new archive, through the handle its
// checks were made on: the name opened again could lead elsewhere by then.
class CHeldFile : public CZipAbstractFile {
 public:
  CHeldFile(HANDLE file, const std::wstring& path) : m_file(file), m_path(path) {}
  void Close() override {}
  void Flush() override {}
  uint64_t GetPosition() const override { return Move(0, FILE_CURRENT); }
  uint64_t Seek(int64_t offset, int origin) override {
    return Move(offset, origin == end ? FILE_END : origin == current ? FILE_CURRENT : FILE_BEGIN);
  }
  uint64_t GetLength() const override {
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(m_file, &size)) Raise();
    return static_cast<uint64_t>(size.QuadPart);
  }
  void SetLength(uint64_t length) override {
    uint64_t position = GetPosition();
    Move(static_cast<int64_t>(length), FILE_BEGIN);
    if (!SetEndOfFile(m_file)) Raise();
    Move(static_cast<int64_t>(position < length ? position : length), FILE_BEGIN);
  }
  std::wstring GetFilePath() const override { return m_path; }
  uint32_t Read(void* buffer, uint32_t count) override {
    DWORD read = 0;
    if (!ReadFile(m_file, buffer, count, &read, nullptr)) Raise();
    return read;
  }
  void Write(const void* buffer, uint32_t count) override {
    DWORD written = 0;
    if (!WriteFile(m_file, buffer, count, &written, nullptr)) Raise();
    if (written != count) ThrowZipException(CZipException::kGeneric, m_path, L"disk full");
  }
  bool IsClosed() const override { return false; }

 private:
  uint64_t Move(int64_t offset, DWORD method) const {
    LARGE_INTEGER distance = {};
    distance.QuadPart = offset;
    LARGE_INTEGER position = {};
    if (!SetFilePointerEx(m_file, distance, &position, method)) Raise();
    return static_cast<uint64_t>(position.QuadPart);
  }
  [[noreturn]] void Raise() const {
    DWORD error = GetLastError();
    ThrowZipException(CZipException::kGeneric, m_path, Format(L"system error %d", error));
  }

  HANDLE m_file;
  std::wstring m_path;
};

enum class CTarget { kCreate, kCreateNew, kAppend };

// The file's attributes and time, from the handle the archive reads.
void TakeFileFacts(HANDLE file, CZipAddFileRequest* request) {
  BY_HANDLE_FILE_INFORMATION information = {};
  if (!GetFileInformationByHandle(file, &information)) return;
  int64_t ticks = (static_cast<int64_t>(information.ftLastWriteTime.dwHighDateTime) << 32) |
                  information.ftLastWriteTime.dwLowDateTime;
  request->streamHasFileFacts = true;
  request->streamAttributes = information.dwFileAttributes;
  request->streamModified = ticks < kFileTimeTicksTo1970 ? 0 : (ticks - kFileTimeTicksTo1970) / 10000000LL;
}

// A name the archive's code page cannot hold is stored as UTF-8 under the
// entry's flag, which unzip, 7-Zip and Python's zipfile read: two such logs
// keep names of their own.
bool AddEntry(CZipArchive* archive, const CEntry& entry, HANDLE held) {
  CZipAddFileRequest request;
  CHeldFile stream(held, entry.path);
  if (held != INVALID_HANDLE_VALUE && held != nullptr) {
    request.stream = &stream;
    TakeFileFacts(held, &request);
  } else {
    request.filePath = entry.path;
  }
  request.fileNameInZip = entry.name;
  request.smartness = CZipArchive::zipsmSafeSmart;
  request.bufferSize = kCopyBufferSize;
  try {
    return archive->AddFileRequest(request);
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    if (error->GetCode() != CZipException::kInvalidArgument) throw error.release();
  }
  request.utf8Name = true;
  return archive->AddFileRequest(request);
}

// False for a log left out: through a link, a file with other names, or a
// folder on the way swapped for a link meanwhile, the run would pack another
// file's contents with its rights. `held` is the file the archive reads, and
// keeps it from being renamed or replaced until it is packed.
bool HoldPlainLog(const CEntry& entry, const CLogFolder* folder, CScopedHandle* held) {
  held->Reset(OpenPlainFile(entry.path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, false));
  if (!held->IsValid()) {
    if (GetLastError() != kNotPlainFileError) return true;
    WriteLog(L"   Left out of the archive, being a link or a file with other names: %s", entry.path.c_str());
    return false;
  }
  // Where the system cannot tell final paths, the link checks above are all.
  std::wstring found = FinalPathOfOpenFile(held->Get());
  if (!folder || folder->finalPath.empty() || found.empty() ||
      EqualsNoCase(found, folder->finalPath + L"\\" + entry.name)) {
    return true;
  }
  WriteLog(L"   Left out of the archive, lying outside the log folder (at '%s'): %s", found.c_str(),
           entry.path.c_str());
  held->Reset();
  return false;
}


// A created archive that could not be finished goes: a part of it passes
// for the logs packed, and on a full drive it holds the room the setup log
// needs to say so. It goes through the handle it was made with.
void RemoveUnfinished(CScopedHandle* archive, const std::wstring& archivePath) {
  BOOLEAN disposition = TRUE;
  DWORD error = SetOpenFileFact(archive->Get(), &disposition, sizeof(disposition), kFileDispositionInformation);
  archive->Reset();
  if (error == ERROR_SUCCESS) {
    WriteLog(L"   Removed the unfinished archive '%s'", archivePath.c_str());
    return;
  }
  WriteLog(L"   The unfinished archive '%s' could not be removed, error %d", archivePath.c_str(), error);
}

void RemoveUnfinished(const std::wstring& archivePath) {
  if (DeleteFileChecked(archivePath, FALSE)) {
    WriteLog(L"   Removed the unfinished archive '%s'", archivePath.c_str());
    return;
  }
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) return;
  WriteLog(L"   The unfinished archive '%s' could not be removed, error %d", archivePath.c_str(), error);
}

// A new archive is made only where nothing stands, never through a link
// planted at its name: it takes the first free numbered name. Made, it must
// lie in `folder` (a final path, when given), or it goes again.
bool CreateNewArchive(CScopedHandle* archive, std::wstring* archivePath, const std::wstring& folder) {
  std::wstring base = *archivePath;
  for (int number = 1; number <= kArchiveNameTries; ++number) {
    *archivePath = NumberedName(base, number);
    archive->Reset(CreateFileW(archivePath->c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!archive->IsValid()) {
      DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
        WriteLog(L"   The archive '%s' could not be made, error %d", archivePath->c_str(), error);
        return false;
      }
      WriteLog(L"   Something stands at '%s' already: the archive takes the next name", archivePath->c_str());
      continue;
    }
    std::wstring found = FinalPathOfOpenFile(archive->Get());
    if (folder.empty() || found.empty() || EqualsNoCase(found, folder + L"\\" + FileNameOfPath(*archivePath))) {
      return true;
    }
    WriteLog(L"   The archive was made at '%s', outside the log folder %s: it goes", found.c_str(), folder.c_str());
    RemoveUnfinished(archive, *archivePath);
    return false;
  }
  return false;
}

// Adds each entry in turn; false at the first that cannot be added. Logs
// are read only through the handle their checks against `folder` were made on.
BOOL PackEntries(std::wstring* archivePath, CTarget target, const std::vector<CEntry>& entries,
                 const CLogFolder* folder = nullptr) {
  // Until the archive is open, a file already there is not this packing's.
  bool made = target == CTarget::kCreate && GetFileAttributesW(archivePath->c_str()) == INVALID_FILE_ATTRIBUTES;
  CScopedHandle created;
  if (target == CTarget::kCreateNew && !CreateNewArchive(&created, archivePath, folder ? folder->finalPath : L"")) {
    return FALSE;
  }
  CHeldFile createdFile(created.Get(), *archivePath);
  CZipArchive archive;
  try {
    if (target == CTarget::kCreateNew) {
      archive.OpenFrom(createdFile, CZipArchive::zipCreate);
    } else {
      archive.Open(*archivePath, target == CTarget::kCreate ? CZipArchive::zipCreate : CZipArchive::zipOpen);
    }
  } catch (...) {
    LogZipFailure(*archivePath);
    if (created.IsValid()) RemoveUnfinished(&created, *archivePath);
    else if (made) RemoveUnfinished(*archivePath);
    return FALSE;
  }
  try {
    bool added = true;
    for (const CEntry& entry : entries) {
      CScopedHandle held;
      if (entry.plainOnly && !HoldPlainLog(entry, folder, &held)) continue;
      // A log that could not be opened is never read by its name instead.
      added = (!entry.plainOnly || held.IsValid()) && AddEntry(&archive, entry, held.Get());
      if (!added) {
        WriteLog(L"   Could not add '%s' to '%s'", entry.path.c_str(), archivePath->c_str());
        break;
      }
    }
    archive.Close();
    if (added) return TRUE;
  } catch (...) {
    LogZipFailure(*archivePath);
    CloseAfterFailure(&archive, *archivePath);
  }
  if (created.IsValid()) RemoveUnfinished(&created, *archivePath);
  else if (target != CTarget::kAppend) RemoveUnfinished(*archivePath);
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
  // A folder that holds one of them would be walked through it.
  std::wstring inside = WithBackslash(path);
  for (const std::wstring& other : ProtectedFolders()) {
    if (other.empty()) continue;
    std::wstring normal = NormalFolder(other);
    if (EqualsNoCase(path, normal) || StartsWithNoCase(normal, inside)) return true;
  }
  return false;
}

BOOL ZipLogFiles(const std::wstring& folder, std::wstring* archivePath, const std::wstring& lyingAt) {
  // Taken before the scan: every log packed must still lie there.
  CLogFolder logFolder;
  logFolder.handle.Reset(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (logFolder.handle.IsValid()) logFolder.finalPath = FinalPathOfOpenFile(logFolder.handle.Get());
  while (!logFolder.finalPath.empty() && logFolder.finalPath.back() == L'\\') logFolder.finalPath.pop_back();
  std::wstring expected = lyingAt;
  while (!expected.empty() && expected.back() == L'\\') expected.pop_back();
  if (!expected.empty() && !logFolder.finalPath.empty() && !EqualsNoCase(expected, logFolder.finalPath)) {
    WriteLog(L"   The log folder %s now leads to %s, not to %s where this run began its log: nothing there is packed",
             folder.c_str(), logFolder.finalPath.c_str(), expected.c_str());
    return FALSE;
  }
  CFolder logs(folder);
  if (!MayPack(logs)) return FALSE;
  std::wstring scanned = WithBackslash(folder);
  std::wstring archive = scanned + FormatCurrentTime(kLogArchivePattern);
  CFileInfoList files;
  logs.GetAllFiles(&files);
  std::vector<CEntry> entries;
  for (const CFileInfo& file : files) {
    std::wstring name = ToLower(file.name);
    size_t log = name.find(L".log");
    if (name.find(L".zip") != std::wstring::npos || log == std::wstring::npos || log == 0) continue;
    entries.push_back({file.folder + file.name, EntryName(scanned, file, std::wstring()), true});
  }
  BOOL packed = PackEntries(&archive, CTarget::kCreateNew, entries, &logFolder);
  if (archivePath) *archivePath = archive;
  return packed;
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
  std::wstring archive = archivePath;
  return PackEntries(&archive, CTarget::kCreate, entries);
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
  std::wstring archive = archivePath;
  return PackEntries(&archive, create ? CTarget::kCreate : CTarget::kAppend, entries);
}
