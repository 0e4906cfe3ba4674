// file_version.cpp: a file's fixed version from its version resource: read
// piece by piece from the open file (a few small reads), or, for what that
// does not read (a 16-bit file, an unusual layout), through the version
// functions, which map the file twice.
#include "foundation/file_version.h"

#include <windows.h>

#include <new>
#include <vector>

#include "foundation/file_utils.h"
#include "foundation/pe_version_resource.h"
#include "foundation/scoped_handle.h"

namespace {

bool ReadThroughVersionFunctions(const std::wstring& path, uint16_t parts[4]) {
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
  parts[0] = HIWORD(info->dwFileVersionMS);
  parts[1] = LOWORD(info->dwFileVersionMS);
  parts[2] = HIWORD(info->dwFileVersionLS);
  parts[3] = LOWORD(info->dwFileVersionLS);
  return true;
}

}  // namespace

bool ReadFileVersion(HANDLE file, const std::wstring& path, uint16_t parts[4]) {
  if (!parts) return false;
  CImageReader read = [file](uint64_t offset, void* buffer, uint32_t size) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    return ReadFile(file, buffer, size, &done, &at) && done == size;
  };
  uint16_t found[4] = {};
  if (file != INVALID_HANDLE_VALUE && file && ReadPeFileVersion(read, found)) {
    for (int i = 0; i < 4; ++i) parts[i] = found[i];
    return true;
  }
  return !path.empty() && ReadThroughVersionFunctions(path, parts);
}

bool ReadFileVersion(const std::wstring& path, uint16_t parts[4]) {
  if (path.empty()) return false;
  CScopedHandle file(SafeCreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
  return ReadFileVersion(file.Get(), path, parts);
}
