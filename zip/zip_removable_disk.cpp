// zip_removable_disk.cpp: the system's answers about the drive an archive
// is spanned on.
#include "zip/zip_removable_disk.h"

#include "zip/zip_file_system.h"

bool CZipRemovableDisk::IsRemovable(const std::wstring& path) { return ZipFileSystem::IsRemovableDrive(path); }

bool CZipRemovableDisk::SetLabel(const std::wstring& path, const std::wstring& label) {
  return ZipFileSystem::SetDriveLabel(path, label);
}

// The archive may not exist yet: its folder is asked.
uint64_t CZipRemovableDisk::FreeSpace(const std::wstring& path) {
  std::wstring full = ZipFileSystem::FullPath(path);
  size_t separator = full.find_last_of(L"\\/");
  return ZipFileSystem::FreeBytes(separator == std::wstring::npos ? ZipFileSystem::CurrentDirectory()
                                                                  : full.substr(0, separator + 1));
}

CZipRemovableDisk& CZipRemovableDisk::System() {
  static CZipRemovableDisk system;
  return system;
}
