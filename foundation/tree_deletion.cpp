// tree_deletion.cpp: the one walk that deletes files and folders by handle.
// Names are used only to open the top of the walk and to log; below it each
// entry is opened inside its folder's handle, so a folder swapped for a link
// meanwhile is never walked through, and the handle's final path tells where
// Wine, which opens every link at its target, has led.
#include "foundation/tree_deletion.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "foundation/file_utils.h"
#include "foundation/nt_file.h"
#include "foundation/reboot_support.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const DWORD kProtectiveAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// What a handle may set; the rest of the bits are the system's.
const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
const ACCESS_MASK kEntryAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
const ACCESS_MASK kFolderAccess = kEntryAccess | FILE_LIST_DIRECTORY;
// A folder that is only emptied, or looked into: a process working in it
// (its current folder) shares no deletion of it.
const ACCESS_MASK kListAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty() || folder.back() == L'\\') return folder + name;
  return folder + L"\\" + name;
}

// A drive root keeps its backslash.
std::wstring WithoutTrailingBackslashes(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// One entry opened by handle, with what its handle tells.
struct CEntry {
  CScopedHandle handle;
  std::wstring path;       // by name: what is logged and scheduled
  std::wstring finalPath;  // where the handle lies; empty where the system cannot tell
  DWORD attributes = 0;
  ULONG names = 1;
  // The handle lies elsewhere than the name says: a link the system opened
  // at its target, or a folder on the way swapped meanwhile.
  bool elsewhere = false;

  bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsLink(); }
};

void Describe(CEntry* entry, const std::wstring& expectedPath) {
  CFileBasicInformation basic = {};
  CFileStandardInformation standard = {};
  if (QueryOpenFile(entry->handle.Get(), &basic, sizeof(basic), kFileBasicInformation)) {
    entry->attributes = basic.attributes;
  }
  if (QueryOpenFile(entry->handle.Get(), &standard, sizeof(standard), kFileStandardInformation)) {
    entry->names = standard.numberOfLinks;
    if (standard.directory) entry->attributes |= FILE_ATTRIBUTE_DIRECTORY;
  }
  entry->finalPath = FinalPathOfOpenFile(entry->handle.Get());
  entry->elsewhere = !expectedPath.empty() && !entry->finalPath.empty() && !EqualsNoCase(entry->finalPath, expectedPath);
}

// Folders are opened to be listed too; a file the run may not read can
// still be deleted.
HANDLE OpenAccess(const std::function<HANDLE(ACCESS_MASK)>& open) {
  HANDLE handle = open(kFolderAccess);
  if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) handle = open(kEntryAccess);
  return handle;
}

bool OpenEntry(const CEntry& folder, const std::wstring& name, CEntry* entry) {
  entry->path = JoinPath(folder.path, name);
  HANDLE opened = OpenAccess([&](ACCESS_MASK access) { return OpenInFolder(folder.handle.Get(), name, access); });
  if (opened == INVALID_HANDLE_VALUE) return false;
  entry->handle.Reset(opened);
  Describe(entry, folder.finalPath.empty() ? std::wstring() : JoinPath(folder.finalPath, name));
  return true;
}

// The top of a walk, opened by its name; `deletion`: to be deleted itself.
bool OpenTop(const std::wstring& path, CEntry* top, bool deletion = true) {
  std::wstring full = WithoutTrailingBackslashes(GetFullPath(path));
  top->path = WithoutTrailingBackslashes(path);
  if (full.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  auto open = [&](ACCESS_MASK access) {
    return CreateFileW(full.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  };
  HANDLE opened = deletion ? OpenAccess(open) : open(kListAccess);
  if (opened == INVALID_HANDLE_VALUE) return false;
  top->handle.Reset(opened);
  Describe(top, FinalPathOfName(full));
  return true;
}

void LogElsewhere(const CEntry& entry) {
  WriteLog(L"   '%s' leads to '%s', outside the folder being deleted; it is left in place", entry.path.c_str(),
           entry.finalPath.c_str());
}

bool Schedule(const std::wstring& path) {
  if (MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    WriteLog(L"   Scheduled '%s' for deletion during next reboot", path.c_str());
    return true;
  }
  DWORD error = GetLastError();
  WriteLog(L"   The file '%s' could not be scheduled for deletion during next reboot. error = %d", path.c_str(),
           error);
  return false;
}

bool IsListed(const std::vector<std::wstring>& paths, const std::wstring& path) {
  for (const std::wstring& listed : paths) {
    if (EqualsNoCase(listed, path)) return true;
  }
  return false;
}

// True when everything in the open folder is deleted at the restart, before
// the folder itself would be.
bool EmptiedAtRestart(const CEntry& folder, const std::vector<std::wstring>& pending) {
  std::vector<std::wstring> names;
  if (!ListOpenFolder(folder.handle.Get(), &names)) return false;
  for (const std::wstring& name : names) {
    CEntry entry;
    if (!IsListed(pending, JoinPath(folder.path, name))) return false;
    if (OpenEntry(folder, name, &entry) && entry.IsFolder() && !entry.elsewhere && !EmptiedAtRestart(entry, pending)) {
      return false;
    }
  }
  return true;
}

// Deletes the opened entry through its handle, clearing its protective
// attributes first; a file with other names keeps them, as those names
// share them. ERROR_SUCCESS or the system's code; the name goes as the
// handle closes.
DWORD DeleteThrough(CEntry* entry) {
  CFileBasicInformation cleared = {};
  bool reset = (entry->attributes & kProtectiveAttributes) && entry->names <= 1;
  if (reset) {
    cleared.attributes = entry->attributes & kSettableAttributes & ~kProtectiveAttributes;
    if (cleared.attributes == 0) cleared.attributes = FILE_ATTRIBUTE_NORMAL;
    WriteLog(L"Resetting file attributes for \"%s\" from 0x%08X to 0x%08X", entry->path.c_str(), entry->attributes,
             cleared.attributes);
    DWORD error = SetOpenFileFact(entry->handle.Get(), &cleared, sizeof(cleared), kFileBasicInformation);
    if (error != ERROR_SUCCESS) WriteLog(L"Failed to set file attributes. Error code = 0x%08X", error);
  }
  BOOLEAN disposition = TRUE;
  DWORD error = SetOpenFileFact(entry->handle.Get(), &disposition, sizeof(disposition), kFileDispositionInformation);
  if (error == ERROR_SUCCESS) {
    entry->handle.Reset();
    return ERROR_SUCCESS;
  }
  if (reset) {
    CFileBasicInformation restored = {};
    restored.attributes = entry->attributes & kSettableAttributes;
    SetOpenFileFact(entry->handle.Get(), &restored, sizeof(restored), kFileBasicInformation);
  }
  return error;
}

void LogFailure(const std::wstring& path, bool folder, DWORD error) {
  if (folder) {
    WriteLog(L"   Failed to remove directory: '%s', Error code = %d", path.c_str(), error);
  } else {
    WriteLog(L"   Failed to delete file: \"%s\", Error code: %d", path.c_str(), error);
  }
}

// One walk: what it could not delete, and whether all of that waits for the
// restart.
class CTreeWalk {
 public:
  explicit CTreeWalk(bool atRestart) : m_atRestart(atRestart) {}

  // Deletes what the open folder holds; true when nothing is left now.
  // `allScheduled` tells whether everything left goes at the restart.
  bool DeleteContents(const CEntry& folder, bool* allScheduled) {
    *allScheduled = true;
    std::vector<std::wstring> names;
    if (!ListOpenFolder(folder.handle.Get(), &names)) {
      Fail(GetLastError());
      *allScheduled = false;
      return false;
    }
    bool emptied = true;
    for (const std::wstring& name : names) {
      CEntry entry;
      bool scheduled = false;
      if (OpenEntry(folder, name, &entry)) {
        if (DeleteEntry(&entry, &scheduled)) continue;
      } else {
        DWORD error = GetLastError();
        if (IsGone(error)) continue;
        // In use by someone who shares no deletion.
        scheduled = Failed(entry.path, false, error);
      }
      emptied = false;
      *allScheduled = *allScheduled && scheduled;
    }
    return emptied;
  }

  // Deletes the entry, a folder with all it holds; true when it is gone now.
  bool DeleteEntry(CEntry* entry, bool* scheduled) {
    *scheduled = false;
    if (entry->elsewhere) {
      LogElsewhere(*entry);
      Fail(ERROR_ACCESS_DENIED);
      return false;
    }
    if (entry->IsFolder()) {
      bool contentsScheduled = false;
      if (!DeleteContents(*entry, &contentsScheduled)) {
        // A folder whose files wait for the restart follows them.
        *scheduled = contentsScheduled && m_atRestart && Schedule(entry->path);
        return false;
      }
    }
    DWORD error = DeleteThrough(entry);
    if (error == ERROR_SUCCESS) return true;
    *scheduled = Failed(entry->path, entry->IsFolder(), error);
    return false;
  }

  DWORD FirstError() const { return m_firstError == ERROR_SUCCESS ? ERROR_ACCESS_DENIED : m_firstError; }

 private:
  // True when the entry goes at the restart.
  bool Failed(const std::wstring& path, bool folder, DWORD error) {
    Fail(error);
    if (m_atRestart && Schedule(path)) return true;
    LogFailure(path, folder, error);
    return false;
  }
  void Fail(DWORD error) {
    if (m_firstError == ERROR_SUCCESS) m_firstError = error;
  }

  bool m_atRestart;
  DWORD m_firstError = ERROR_SUCCESS;
};

// The folders of a tree of empty folders, bottom up; false at the first
// file or link.
bool RemoveEmptyFolders(CEntry* folder) {
  std::vector<std::wstring> names;
  if (!ListOpenFolder(folder->handle.Get(), &names)) return false;
  for (const std::wstring& name : names) {
    CEntry entry;
    if (!OpenEntry(*folder, name, &entry)) {
      if (IsGone(GetLastError())) continue;
      return false;
    }
    if (!entry.IsFolder() || entry.elsewhere) {
      SetLastError(ERROR_DIR_NOT_EMPTY);
      return false;
    }
    if (!RemoveEmptyFolders(&entry)) return false;
  }
  DWORD error = DeleteThrough(folder);
  if (error == ERROR_SUCCESS) return true;
  LogFailure(folder->path, true, error);
  SetLastError(error);
  return false;
}

bool HoldsAnything(const CEntry& folder) {
  std::vector<std::wstring> names;
  return !ListOpenFolder(folder.handle.Get(), &names) || !names.empty();
}

}  // namespace

BOOL DeleteFileChecked(const std::wstring& path, BOOL deleteAtRestart) {
  CEntry file;
  if (!OpenTop(path, &file)) {
    DWORD error = GetLastError();
    if (IsGone(error)) return FALSE;
    if (!(deleteAtRestart && Schedule(file.path))) LogFailure(file.path, false, error);
    SetLastError(error);
    return FALSE;
  }
  if (file.IsFolder()) {
    // Not a file: never schedule a folder through the file route.
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  CTreeWalk walk(deleteAtRestart != FALSE);
  bool scheduled = false;
  if (walk.DeleteEntry(&file, &scheduled)) return TRUE;
  SetLastError(walk.FirstError());
  return FALSE;
}

BOOL RemoveDirectoryChecked(const std::wstring& path, BOOL deleteAtRestart) {
  CEntry folder;
  // In use (a process's current folder): judged all the same, and it goes
  // at the restart when that is allowed.
  DWORD inUse = ERROR_SUCCESS;
  if (!OpenTop(path, &folder) && GetLastError() == ERROR_SHARING_VIOLATION) {
    inUse = ERROR_SHARING_VIOLATION;
    OpenTop(path, &folder, false);
  }
  if (!folder.handle.IsValid()) {
    DWORD error = GetLastError();
    if (IsGone(error)) {
      // What the caller wants is already so; it is told through the result all the same.
      WriteLog(L"   The directory '%s' does not exist; nothing to remove", folder.path.c_str());
    } else {
      LogFailure(folder.path, true, error);
    }
    SetLastError(error);
    return FALSE;
  }
  if (folder.elsewhere) {
    LogElsewhere(folder);
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!(folder.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  // A folder that still holds what the restart leaves is no failure of its
  // removal (other suites' files, say), and scheduling it would only leave a
  // restart pending that achieves nothing.
  if (!folder.IsLink() && HoldsAnything(folder)) {
    if (!(deleteAtRestart && EmptiedAtRestart(folder, CRebootSupport().PendingDeletions()) &&
          Schedule(folder.path))) {
      WriteLog(L"   The directory '%s' is not empty; left in place", folder.path.c_str());
    }
    SetLastError(ERROR_DIR_NOT_EMPTY);
    return FALSE;
  }
  DWORD error = inUse != ERROR_SUCCESS ? inUse : DeleteThrough(&folder);
  if (error == ERROR_SUCCESS) return TRUE;
  if (!(deleteAtRestart && Schedule(folder.path))) LogFailure(folder.path, true, error);
  SetLastError(error);
  return FALSE;
}

BOOL RemoveEmptyFolderTree(const std::wstring& path) {
  CEntry folder;
  if (!OpenTop(path, &folder)) return FALSE;
  if (!folder.IsFolder() || folder.elsewhere) {
    SetLastError(ERROR_DIR_NOT_EMPTY);
    return FALSE;
  }
  return RemoveEmptyFolders(&folder) ? TRUE : FALSE;
}

BOOL DeleteFolderTree(const std::wstring& path, BOOL deleteAtRestart) {
  CEntry folder;
  if (!OpenTop(path, &folder, false)) return FALSE;
  if (folder.elsewhere || folder.IsLink()) {
    WriteLog(L"   '%s' is a link; what it leads to is not deleted", folder.path.c_str());
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!folder.IsFolder()) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  CTreeWalk walk(deleteAtRestart != FALSE);
  bool scheduled = false;
  if (walk.DeleteContents(folder, &scheduled)) return TRUE;
  SetLastError(walk.FirstError());
  return FALSE;
}

BOOL DeleteEntryBelow(const std::wstring& folder, const std::wstring& relativePath) {
  std::vector<CEntry> chain(1);
  if (!OpenTop(folder, &chain.back(), false)) return IsGone(GetLastError());
  if (chain.back().elsewhere || !chain.back().IsFolder()) {
    WriteLog(L"   '%s' is not a plain folder; nothing in it is deleted", chain.back().path.c_str());
    return FALSE;
  }
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= relativePath.size()) {
    size_t end = relativePath.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = relativePath.size();
    std::wstring part = relativePath.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    if (part == L"." || part == L"..") {
      WriteLog(L"   '%s' leaves the folder '%s'; it is left in place", relativePath.c_str(), folder.c_str());
      return FALSE;
    }
    parts.push_back(part);
  }
  if (parts.empty()) return FALSE;
  for (size_t i = 0; i < parts.size(); ++i) {
    CEntry entry;
    if (!OpenEntry(chain.back(), parts[i], &entry)) return IsGone(GetLastError());
    bool last = i + 1 == parts.size();
    if (!last && (entry.elsewhere || !entry.IsFolder())) {
      WriteLog(L"   '%s' is reached through a link and is left in place", JoinPath(entry.path, parts.back()).c_str());
      return TRUE;
    }
    chain.push_back(std::move(entry));
  }
  WriteLog(L"   Deleting '%s'", chain.back().path.c_str());
  CTreeWalk walk(false);
  bool scheduled = false;
  if (!walk.DeleteEntry(&chain.back(), &scheduled)) return FALSE;
  // The folders the entry leaves empty, deepest first; never the top's.
  for (size_t i = chain.size() - 2; i > 0; --i) {
    if (HoldsAnything(chain[i]) || DeleteThrough(&chain[i]) != ERROR_SUCCESS) break;
  }
  return TRUE;
}
