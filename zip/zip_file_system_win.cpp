// zip_file_system_win.cpp: the archive library's operating-system adapter
// for Windows: Win32 files, code pages and the system's error texts.
#include "zip/zip_file_system.h"

#include <windows.h>
#include <ntsecapi.h>

#include <vector>

#include "zip/zip_exception.h"

namespace ZipFileSystem {
namespace {

int ToZipCode(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return CZipException::kNoSuchFile;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return CZipException::kAccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return CZipException::kNoSpace;
    case ERROR_FILE_TOO_LARGE:
      return CZipException::kFileTooLarge;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return CZipException::kFileExists;
    default:
      return CZipException::kIoError;
  }
}

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// FILETIME counts 100 ns from 1601; calendar times seconds from 1970.
constexpr long long kEpochDifference = 116444736000000000LL;

}  // namespace

FileHandle FileOpen(const std::wstring& path, unsigned flags, int* error) {
  bool write = (flags & kModeReadWrite) != 0;
  DWORD access = GENERIC_READ | (write ? GENERIC_WRITE : 0);
  // Sources may still be open in their writers (log files): share everything.
  // The archive itself lets others read it but not write while it is open.
  DWORD share = (flags & kShareDenyNone) ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                                         : FILE_SHARE_READ;
  DWORD disposition = OPEN_EXISTING;
  if (flags & kModeCreate) disposition = (flags & kModeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
  if ((flags & kModeCreate) && (flags & kModeCreateNew)) disposition = CREATE_NEW;
  HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = ToZipCode(GetLastError());
    return kNoFile;
  }
  return reinterpret_cast<FileHandle>(file);
}

void FileClose(FileHandle file) {
  if (file != kNoFile) CloseHandle(AsHandle(file));
}

bool FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* read, int* error) {
  DWORD done = 0;
  if (!::ReadFile(AsHandle(file), buffer, count, &done, nullptr)) {
    *error = ToZipCode(GetLastError());
    return false;
  }
  *read = done;
  return true;
}

bool FileWrite(FileHandle file, const void* buffer, uint32_t count, int* error) {
  DWORD done = 0;
  if (!::WriteFile(AsHandle(file), buffer, count, &done, nullptr)) {
    *error = ToZipCode(GetLastError());
    return false;
  }
  if (done != count) {
    *error = CZipException::kNoSpace;
    return false;
  }
  return true;
}

bool FileSeek(FileHandle file, int64_t offset, int origin, uint64_t* position, int* error) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER result;
  DWORD method = origin == 1 ? FILE_CURRENT : origin == 2 ? FILE_END : FILE_BEGIN;
  if (!SetFilePointerEx(AsHandle(file), distance, &result, method)) {
    *error = ToZipCode(GetLastError());
    return false;
  }
  *position = static_cast<uint64_t>(result.QuadPart);
  return true;
}

bool FileLength(FileHandle file, uint64_t* length, int* error) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(AsHandle(file), &size)) {
    *error = ToZipCode(GetLastError());
    return false;
  }
  *length = static_cast<uint64_t>(size.QuadPart);
  return true;
}

bool FileSetLength(FileHandle file, uint64_t length, int* error) {
  uint64_t position = 0;
  if (!FileSeek(file, 0, 1, &position, error)) return false;
  uint64_t ignored = 0;
  if (!FileSeek(file, static_cast<int64_t>(length), 0, &ignored, error)) return false;
  if (!SetEndOfFile(AsHandle(file))) {
    *error = ToZipCode(GetLastError());
    return false;
  }
  return FileSeek(file, static_cast<int64_t>(position), 0, &ignored, error);
}

bool FileFlush(FileHandle file, int* error) {
  if (!FlushFileBuffers(AsHandle(file))) {
    *error = ToZipCode(GetLastError());
    return false;
  }
  return true;
}

std::wstring FullPath(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::vector<wchar_t> buffer(size + 1);
  DWORD length = GetFullPathNameW(path.c_str(), size + 1, buffer.data(), nullptr);
  if (length == 0 || length > size) return path;
  return std::wstring(buffer.data(), length);
}

bool PathAttributes(const std::wstring& path, uint32_t* attributes) {
  DWORD value = GetFileAttributesW(path.c_str());
  if (value == INVALID_FILE_ATTRIBUTES) return false;
  *attributes = value;
  return true;
}

bool PathModTime(const std::wstring& path, int64_t* time) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME written;
  BOOL ok = GetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
  if (!ok) return false;
  long long ticks = (static_cast<long long>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  if (ticks < kEpochDifference) return false;
  *time = (ticks - kEpochDifference) / 10000000LL;
  return true;
}

bool SetPathModTime(const std::wstring& path, int64_t time) {
  if (time == -1) time = Now();
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  long long ticks = static_cast<long long>(time) * 10000000LL + kEpochDifference;
  FILETIME stamp;
  stamp.dwLowDateTime = static_cast<DWORD>(ticks);
  stamp.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  BOOL ok = SetFileTime(file, nullptr, &stamp, &stamp);
  CloseHandle(file);
  return ok != FALSE;
}

bool PathSize(const std::wstring& path, uint64_t* size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER value;
  BOOL ok = GetFileSizeEx(file, &value);
  CloseHandle(file);
  if (!ok) return false;
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

bool SetPathAttributes(const std::wstring& path, uint32_t attributes) {
  return SetFileAttributesW(path.c_str(), attributes) != FALSE;
}

int PathExists(const std::wstring& path) {
  DWORD value = GetFileAttributesW(path.c_str());
  if (value == INVALID_FILE_ATTRIBUTES) return 0;
  return (value & FILE_ATTRIBUTE_DIRECTORY) ? -1 : 1;
}

bool CreateFolder(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != FALSE; }

bool RemovePath(const std::wstring& path) { return DeleteFileW(path.c_str()) != FALSE; }

bool RenamePath(const std::wstring& from, const std::wstring& to) {
  return MoveFileW(from.c_str(), to.c_str()) != FALSE;
}

std::wstring CurrentDirectory() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return std::wstring();
  std::vector<wchar_t> buffer(size + 1);
  DWORD length = GetCurrentDirectoryW(size + 1, buffer.data());
  return length != 0 && length <= size ? std::wstring(buffer.data(), length) : std::wstring();
}

namespace {

// "C:\" for a path on drive C:, "\\server\share\" for a UNC path.
std::wstring DriveRoot(const std::wstring& path) {
  std::wstring full = FullPath(path);
  if (full.size() >= 2 && full[1] == L':') return full.substr(0, 2) + L"\\";
  if (full.compare(0, 2, L"\\\\") != 0) return std::wstring();
  size_t server = full.find(L'\\', 2);
  size_t share = server == std::wstring::npos ? server : full.find(L'\\', server + 1);
  return share == std::wstring::npos ? full + L"\\" : full.substr(0, share + 1);
}

}  // namespace

bool IsRemovableDrive(const std::wstring& path) {
  std::wstring root = DriveRoot(path);
  return !root.empty() && GetDriveTypeW(root.c_str()) == DRIVE_REMOVABLE;
}

bool SetDriveLabel(const std::wstring& path, const std::wstring& label) {
  std::wstring root = DriveRoot(path);
  return !root.empty() && SetVolumeLabelW(root.c_str(), label.c_str()) != FALSE;
}

// The product is taken in 64 bits: free clusters times cluster size passes
// 4 GiB on any disk of today.
uint64_t FreeBytes(const std::wstring& folder) {
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceW(folder.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) {
    std::wstring root = folder.size() >= 2 && folder[1] == L':' ? folder.substr(0, 2) + L"\\" : std::wstring();
    if (root.empty() ||
        !GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) {
      return 0;
    }
  }
  return static_cast<uint64_t>(freeClusters) * sectorsPerCluster * bytesPerSector;
}

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return length != 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

std::wstring MakeTempFile(const std::wstring& folder, const std::wstring& prefix) {
  wchar_t buffer[MAX_PATH];
  if (GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, buffer) == 0) return std::wstring();
  return buffer;
}

// RtlGenRandom: in advapi32 on every version, without CryptoAPI contexts.
bool RandomBytes(unsigned char* buffer, uint32_t count) {
  return RtlGenRandom(buffer, count) != FALSE;
}

std::string WideToAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

std::wstring AnsiToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int size = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(),
                                 static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(size, L'\0');
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), static_cast<int>(text.size()), &out[0],
                      size);
  return out;
}

namespace {

std::string Recode(const std::string& text, UINT from, UINT to) {
  if (text.empty()) return text;
  int wideSize = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(wideSize, L'\0');
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), &wide[0], wideSize);
  int size = WideCharToMultiByte(to, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(to, 0, wide.data(), wideSize, &out[0], size, nullptr, nullptr);
  return out;
}

}  // namespace

// The same conversions as CharToOemBuffA and OemToCharBuffA, without user32.
std::string AnsiToOemBytes(const std::string& text) { return Recode(text, CP_ACP, CP_OEMCP); }
std::string OemToAnsiBytes(const std::string& text) { return Recode(text, CP_OEMCP, CP_ACP); }

int64_t Now() { return static_cast<int64_t>(_time64(nullptr)); }

bool LocalTime(int64_t time, struct tm* local) {
  __time64_t value = time;
  return _localtime64_s(local, &value) == 0;
}

int64_t MakeLocalTime(struct tm* local) { return static_cast<int64_t>(_mktime64(local)); }

std::wstring LastSystemErrorText() {
  DWORD error = GetLastError();
  if (error == 0) return std::wstring();
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text),
      0, nullptr);
  std::wstring result = length != 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  return result;
}

}  // namespace ZipFileSystem
