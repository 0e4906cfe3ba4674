// kit_files.cpp: deletes the kit's own files from the folder it was unpacked
// in, never stepping out of that folder or through a link.
#include "engine/kit_files.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/file_utils.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

bool IsLinkAttribute(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

bool IsFolderAttribute(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

}  // namespace

void CKitFiles::Add(const std::wstring& relativePath) {
  if (!relativePath.empty()) m_entries.push_back(ReplaceAll(relativePath, L"/", L"\\"));
}

bool CKitFiles::Remove() const {
  bool removed = true;
  for (const std::wstring& entry : m_entries) removed = RemoveEntry(entry) && removed;
  return removed;
}

bool CKitFiles::RemoveEntry(const std::wstring& relativePath) const {
  std::wstring path = GetFullPath(m_folder + L"\\" + relativePath);
  std::wstring prefix = m_folder + L"\\";
  if (path.size() <= prefix.size() || !StartsWithNoCase(path, prefix)) {
    WriteLog(L"   '%s' lies outside the kit's folder and is left in place", relativePath.c_str());
    return true;
  }
  // Every folder on the way is the kit's own: a link among them leads to
  // files of another tree.
  for (size_t at = path.find(L'\\', prefix.size()); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    DWORD attributes = GetFileAttributesW(path.substr(0, at).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (IsLinkAttribute(attributes)) {
      WriteLog(L"   '%s' is reached through a link and is left in place", path.c_str());
      return true;
    }
  }
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  WriteLog(L"   Deleting '%s'", path.c_str());
  BOOL deleted = FALSE;
  if (IsFolderAttribute(attributes) && IsLinkAttribute(attributes)) {
    deleted = RemoveDirectoryChecked(path, FALSE);  // the link only, not its target
  } else if (IsFolderAttribute(attributes)) {
    deleted = DeleteFolderTree(path) && RemoveDirectoryChecked(path, FALSE);
  } else {
    deleted = DeleteFileChecked(path, FALSE);
  }
  if (deleted) RemoveEmptyParents(path);
  return deleted != FALSE;
}

void CKitFiles::RemoveEmptyParents(const std::wstring& path) const {
  for (std::wstring folder = FolderOfPath(path, false); folder.size() > m_folder.size() + 1;
       folder = FolderOfPath(folder, false)) {
    if (!RemoveDirectoryW(folder.c_str())) return;
  }
}
