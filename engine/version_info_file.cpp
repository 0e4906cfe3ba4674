// version_info_file.cpp: a version from a file's version resource (Win32).
#include "engine/version_info.h"

#include <cstdint>

#include "foundation/file_version.h"

bool CVersionInfo::SetFromFileVersion(const std::wstring& path) {
  uint16_t parts[4] = {};
  if (!ReadFileVersion(path, parts)) return false;
  SetParts4(parts[0], parts[1], parts[2], parts[3]);
  return true;
}
