// kit_files.cpp: deletes the kit's own files from the folder it was unpacked
// in, never stepping out of that folder or through a link: each entry by
// handle below the kit's folder.
#include "engine/kit_files.h"

#include <string>

#include "foundation/file_utils.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "foundation/tree_deletion.h"
#include "platform/wide_string.h"

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
  return DeleteEntryBelow(m_folder, path.substr(prefix.size())) != FALSE;
}
