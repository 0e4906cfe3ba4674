// zip_file_system.cpp: the file-system functions built the same way on every
// host from the adapter's primitives.
#include "zip/zip_file_system.h"

#include "zip/zip_exception.h"
#include "zip/zip_path_component.h"

namespace ZipFileSystem {

bool ForceFolder(const std::wstring& path) {
  std::wstring folder = path;
  while (!folder.empty() && CZipPathComponent::IsSeparator(folder.back())) folder.pop_back();
  // A bare drive ("C:") or the root exists or can't be made.
  if (folder.empty() || (folder.size() == 2 && folder[1] == L':')) return true;
  if (PathExists(folder) == -1) return true;
  size_t separator = folder.find_last_of(L"\\/");
  if (separator != std::wstring::npos && separator > 0 && !ForceFolder(folder.substr(0, separator))) {
    return false;
  }
  CreateFolder(folder);
  return PathExists(folder) == -1;
}

bool RemoveFile(const std::wstring& path, bool raise) {
  if (RemovePath(path)) return true;
  if (raise) ThrowZipException(CZipException::kNotRemoved, path);
  return false;
}

bool RenameFile(const std::wstring& from, const std::wstring& to, bool raise) {
  if (RenamePath(from, to)) return true;
  if (raise) ThrowZipException(CZipException::kNotRenamed, from);
  return false;
}

}  // namespace ZipFileSystem
