// version_info_file.cpp: a version from a file's version resource (Win32).
#include "engine/version_info.h"

#include <windows.h>

#include <vector>

bool CVersionInfo::SetFromFileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> buffer;
  try {
    buffer.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!GetFileVersionInfoW(path.c_str(), 0, size, buffer.data())) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(buffer.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  SetParts4(HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
            HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
  return true;
}
