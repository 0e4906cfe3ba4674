// file_version.cpp: a file's fixed version from its version resource: read
// from the open file block by block, or, for what that does not read (a
// 16-bit file, an unusual layout), through the version functions, which map
// the file twice.
#include "foundation/file_version.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <vector>

#include "foundation/file_utils.h"
#include "foundation/pe_version_resource.h"
#include "foundation/scoped_handle.h"

namespace {

const uint64_t kBlockSize = 4096;

// The headers and the resource tree lie close together: whole blocks read
// once serve the many small reads of the walk (two or three file reads in
// all, where each small read would be one).
class CBlockReader {
 public:
  explicit CBlockReader(HANDLE file) : m_file(file) {}

  bool Read(uint64_t offset, void* buffer, uint32_t size) {
    if (offset < m_start || offset + size > m_start + m_data.size()) {
      uint64_t start = offset & ~(kBlockSize - 1);
      uint64_t end = (offset + size + kBlockSize - 1) & ~(kBlockSize - 1);
      m_data.resize(static_cast<size_t>(end - start));
      OVERLAPPED at = {};
      at.Offset = static_cast<DWORD>(start);
      at.OffsetHigh = static_cast<DWORD>(start >> 32);
      DWORD done = 0;
      if (!ReadFile(m_file, m_data.data(), static_cast<DWORD>(m_data.size()), &done, &at)) done = 0;
      m_data.resize(done);
      m_start = start;
      if (offset + size > m_start + m_data.size()) return false;
    }
    std::memcpy(buffer, m_data.data() + (offset - m_start), size);
    return true;
  }

 private:
  HANDLE m_file;
  uint64_t m_start = 0;
  std::vector<uint8_t> m_data;
};

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

CImageReader ReaderOf(CBlockReader* blocks) {
  return [blocks](uint64_t offset, void* buffer, uint32_t size) { return blocks->Read(offset, buffer, size); };
}

CScopedHandle OpenForReading(const std::wstring& path) {
  return CScopedHandle(SafeCreateFile(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      0, nullptr));
}

}  // namespace

bool ReadFileVersion(HANDLE file, const std::wstring& path, uint16_t parts[4]) {
  if (!parts) return false;
  uint16_t found[4] = {};
  if (file != INVALID_HANDLE_VALUE && file) {
    CBlockReader blocks(file);
    if (ReadPeFileVersion(ReaderOf(&blocks), found)) {
      for (int i = 0; i < 4; ++i) parts[i] = found[i];
      return true;
    }
  }
  return !path.empty() && ReadThroughVersionFunctions(path, parts);
}

bool ReadFileVersion(const std::wstring& path, uint16_t parts[4]) {
  if (path.empty()) return false;
  CScopedHandle file = OpenForReading(path);
  return ReadFileVersion(file.Get(), path, parts);
}

bool ReadFileVersionInfo(const std::wstring& path, CPeVersionInfo* info) {
  CScopedHandle file = OpenForReading(path);
  if (!file.IsValid() || !info) return false;
  CBlockReader blocks(file.Get());
  return ReadPeVersionInfo(ReaderOf(&blocks), info);
}
