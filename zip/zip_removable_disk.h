#pragma once
// zip_removable_disk.h: what spanning an archive over removable disks needs
// to know of the drive: whether it is removable, how to label the disk in it,
// and how much room is left. The system answers by default; a caller may put
// its own answers in their place.
#include <cstdint>
#include <string>

class CZipRemovableDisk {
 public:
  virtual ~CZipRemovableDisk() = default;

  // Each question is asked of the drive that holds `path`.
  virtual bool IsRemovable(const std::wstring& path);
  virtual bool SetLabel(const std::wstring& path, const std::wstring& label);
  // Free bytes on the disk, 0 when unknown.
  virtual uint64_t FreeSpace(const std::wstring& path);

  // The system's answers.
  static CZipRemovableDisk& System();
};
