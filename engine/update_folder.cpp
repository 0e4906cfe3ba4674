// update_folder.cpp: packs the product folders and the setup files of the
// install source into a fresh update folder.
#include "engine/update_folder.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/file_utils.h"
#include "foundation/folder.h"
#include "foundation/log_packaging.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "foundation/tree_deletion.h"
#include "platform/wide_string.h"

namespace {
const wchar_t kHistoryFile[] = L"HISTORY.BLD";
const wchar_t kSetupArchive[] = L"Setup.zip";
const wchar_t kBinFolder[] = L"bin";

std::wstring WithBackslash(const std::wstring& folder) {
  return !folder.empty() && folder.back() == L'\\' ? folder : folder + L"\\";
}

std::wstring WithoutBackslash(std::wstring folder) {
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

// True when `inner` is `outer` or lies below it.
bool IsWithin(const std::wstring& inner, const std::wstring& outer) {
  return !outer.empty() && !inner.empty() && StartsWithNoCase(WithBackslash(inner), WithBackslash(outer));
}

// Where `path` lies with the links on its way resolved: the final path of
// the nearest folder of it that exists, and the names below that (empty
// where the system cannot tell). False when a file stands on the way:
// nothing can be made there.
bool Resolve(const std::wstring& path, std::wstring* resolved) {
  std::wstring at = WithoutBackslash(GetFullPath(path));
  std::wstring below;
  resolved->clear();
  while (!at.empty()) {
    DWORD attributes = GetFileAttributesW(at.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
      CScopedHandle folder(CreateFileW(at.c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
      std::wstring found = folder.IsValid() ? FinalPathOfOpenFile(folder.Get()) : std::wstring();
      while (!found.empty() && found.back() == L'\\') found.pop_back();
      if (!found.empty()) *resolved = found + below;
      return true;
    }
    size_t slash = at.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash < 2 || slash + 1 == at.size()) return true;
    below = at.substr(slash) + below;
    at = at.substr(0, slash == 2 ? 3 : slash);
  }
  return true;
}

// Either holds the other, by name or where the names lead.
bool Overlap(const std::wstring& target, const std::wstring& resolvedTarget, const std::wstring& folder) {
  std::wstring resolvedFolder;
  Resolve(folder, &resolvedFolder);
  return IsWithin(target, folder) || IsWithin(folder, target) || IsWithin(resolvedTarget, resolvedFolder) ||
         IsWithin(resolvedFolder, resolvedTarget);
}
}  // namespace

CUpdateFolder::CUpdateFolder(const std::wstring& installSource, const std::wstring& setupFolder, AskFunction ask)
    : m_installSource(WithBackslash(installSource)), m_setupFolder(WithBackslash(setupFolder)),
      m_ask(std::move(ask)) {}

void CUpdateFolder::ReadHistory(const std::wstring& path, std::wstring* first, std::wstring* second) {
  std::vector<std::wstring> values;
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    char buffer[4096];
    DWORD read = 0;
    // Only the first lines matter: one block is enough.
    if (ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) bytes.assign(buffer, read);
    CloseHandle(file);
  }
  std::wstring text = Utf8ToWide(bytes);
  size_t start = 0;
  while (start <= text.size() && values.size() < 2) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = Trim(text.substr(start, end - start));
    if (!line.empty()) values.push_back(FileNamePart(line));  // may hold what a name cannot
    start = end + 1;
  }
  *first = values.size() > 0 ? values[0] : L"0";
  *second = values.size() > 1 ? values[1] : L"0";
}

// Never a root, a system or profile folder, nor a folder that holds the
// kit or a folder this mode packs, or lies inside one: replacing it would
// delete what is about to be packed.
bool CUpdateFolder::MayReplace(const std::wstring& target, const std::vector<std::wstring>& products) const {
  std::vector<std::wstring> packed = {m_installSource, m_setupFolder, m_installSource + kBinFolder};
  for (const std::wstring& product : products) packed.push_back(m_installSource + product);
  std::wstring resolved;
  // A path through a file holds nothing: its making fails with its own error.
  bool possible = Resolve(target, &resolved);
  bool refused = IsProtectedFolder(target);
  for (const std::wstring& folder : packed) refused = refused || (possible && Overlap(target, resolved, folder));
  if (refused) WriteLog(L"   The update folder '%s' may not be replaced", target.c_str());
  return !refused;
}

DWORD CUpdateFolder::Prepare(const std::wstring& target, const std::vector<std::wstring>& products) const {
  std::wstring folder = WithoutBackslash(target);
  WriteLog(L"Preparing update folder %s", folder.c_str());
  if (folder.empty()) {
    WriteLog(L"   No update folder was given");
    return ERROR_PATH_NOT_FOUND;
  }
  DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    WriteLog(L"   '%s' is not a folder; no update folder is prepared", folder.c_str());
    return ERROR_DIRECTORY;
  }
  if (!MayReplace(folder, products)) return ERROR_ACCESS_DENIED;
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // Kept, nothing is written: a caller must not read that as prepared.
    if (!m_ask(Format(L"%s already exist. Do you want to overwrite it?", folder.c_str()))) {
      WriteLog(L"   Keeping the existing folder %s; no update folder is prepared", folder.c_str());
      return ERROR_ALREADY_EXISTS;
    }
    if (!DeleteFolderTree(folder) || !RemoveDirectoryChecked(folder, FALSE)) {
      DWORD error = GetLastError();
      WriteLog(L"   Failed removing the folder %s, error %d", folder.c_str(), error);
      return error != ERROR_SUCCESS ? error : ERROR_INSTALL_FAILURE;
    }
  }
  if (!CFolder(folder).Create()) {
    DWORD error = GetLastError();
    WriteLog(L"   Failed creating the folder %s, error %d", folder.c_str(), error);
    return error != ERROR_SUCCESS ? error : ERROR_INSTALL_FAILURE;
  }
  int written = 0;
  for (const std::wstring& product : products) written += PackProduct(folder, product) ? 1 : 0;
  written += PackSetupFiles(folder) ? 1 : 0;
  if (written > 0) return ERROR_SUCCESS;
  // The packing leaves no code of its own to pass on.
  WriteLog(L"   No archive was written to %s", folder.c_str());
  return ERROR_INSTALL_FAILURE;
}

bool CUpdateFolder::PackProduct(const std::wstring& target, const std::wstring& product) const {
  std::wstring source = m_installSource + product;
  std::wstring first, second;
  ReadHistory(source + L"\\" + kHistoryFile, &first, &second);
  std::wstring archive = Format(L"%s\\%s_%s_%s.zip", target.c_str(), product.c_str(), first.c_str(), second.c_str());
  if (!ZipFolderTree(source, product, archive)) {
    WriteLog(L"   Fail to zip: %s", archive.c_str());
    return false;
  }
  WriteLog(L"   Packed %s", archive.c_str());
  return true;
}

bool CUpdateFolder::PackSetupFiles(const std::wstring& target) const {
  std::wstring archive = target + L"\\" + kSetupArchive;
  bool binPacked = ZipFolderFiles(m_installSource + kBinFolder, kBinFolder, archive, true, true);
  if (!binPacked) WriteLog(L"   Fail to bin folder");
  // Without a bin folder there is no archive yet to append to.
  bool create = !FileExists(archive);
  if (!ZipFolderFiles(WithoutBackslash(m_setupFolder), std::wstring(), archive, create, false)) {
    WriteLog(L"   Fail to Setup folder");
    return binPacked;
  }
  WriteLog(L"   Packed %s", archive.c_str());
  return true;
}
