// zip_file_system_posix.cpp: the archive library's operating-system adapter
// for the native build: POSIX files, and the code pages of a Windows machine
// with the default western locale (ANSI 1252, OEM 437) built in, so names come
// out byte for byte as under Wine.
#include "zip/zip_file_system.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/wide_string.h"
#include "zip/zip_exception.h"

namespace ZipFileSystem {
namespace {

// Characters of bytes 0x80-0xFF; below 0x80 both pages are ASCII.
const uint16_t kAnsiHigh[128] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
};
const uint16_t kOemHigh[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

wchar_t FromPage(const uint16_t* high, unsigned char byte) {
  return byte < 0x80 ? static_cast<wchar_t>(byte) : static_cast<wchar_t>(high[byte - 0x80]);
}

char ToPage(const uint16_t* high, wchar_t c) {
  if (c < 0x80) return static_cast<char>(c);
  for (int i = 0; i < 128; ++i) {
    if (high[i] == static_cast<uint32_t>(c)) return static_cast<char>(0x80 + i);
  }
  return '?';
}

std::string Recode(const std::string& text, const uint16_t* from, const uint16_t* to) {
  std::string out;
  out.reserve(text.size());
  for (char byte : text) out += ToPage(to, FromPage(from, static_cast<unsigned char>(byte)));
  return out;
}

// The library keeps Windows paths; only here do they become POSIX ones.
std::string NativePath(const std::wstring& path) {
  return WideToUtf8(ReplaceAll(path, L"\\", L"/"));
}

int ToZipCode(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return CZipException::kNoSuchFile;
    case EACCES:
    case EPERM:
    case EROFS:
      return CZipException::kAccessDenied;
    case ENOSPC:
      return CZipException::kNoSpace;
    case EFBIG:
      return CZipException::kFileTooLarge;
    case EEXIST:
      return CZipException::kFileExists;
    default:
      return CZipException::kIoError;
  }
}

int AsDescriptor(FileHandle file) { return static_cast<int>(file); }

}  // namespace

FileHandle FileOpen(const std::wstring& path, unsigned flags, int* error) {
  int mode = (flags & kModeReadWrite) ? O_RDWR : O_RDONLY;
  if (flags & kModeCreate) mode |= O_CREAT | ((flags & kModeNoTruncate) ? 0 : O_TRUNC);
  if ((flags & kModeCreate) && (flags & kModeCreateNew)) mode |= O_EXCL;
  int file = open(NativePath(path).c_str(), mode | O_CLOEXEC, 0644);
  if (file < 0) {
    *error = ToZipCode(errno);
    return kNoFile;
  }
  struct stat facts;
  if (fstat(file, &facts) == 0 && S_ISDIR(facts.st_mode)) {
    close(file);
    *error = CZipException::kAccessDenied;
    return kNoFile;
  }
  return file;
}

void FileClose(FileHandle file) {
  if (file != kNoFile) close(AsDescriptor(file));
}

bool FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* read, int* error) {
  uint32_t done = 0;
  while (done < count) {
    ssize_t got = ::read(AsDescriptor(file), static_cast<char*>(buffer) + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = ToZipCode(errno);
      return false;
    }
    if (got == 0) break;
    done += static_cast<uint32_t>(got);
  }
  *read = done;
  return true;
}

bool FileWrite(FileHandle file, const void* buffer, uint32_t count, int* error) {
  uint32_t done = 0;
  while (done < count) {
    ssize_t put = ::write(AsDescriptor(file), static_cast<const char*>(buffer) + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      *error = put < 0 ? ToZipCode(errno) : CZipException::kNoSpace;
      return false;
    }
    done += static_cast<uint32_t>(put);
  }
  return true;
}

bool FileSeek(FileHandle file, int64_t offset, int origin, uint64_t* position, int* error) {
  int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
  off_t result = lseek(AsDescriptor(file), static_cast<off_t>(offset), whence);
  if (result < 0) {
    *error = ToZipCode(errno);
    return false;
  }
  *position = static_cast<uint64_t>(result);
  return true;
}

bool FileLength(FileHandle file, uint64_t* length, int* error) {
  struct stat facts;
  if (fstat(AsDescriptor(file), &facts) != 0) {
    *error = ToZipCode(errno);
    return false;
  }
  *length = static_cast<uint64_t>(facts.st_size);
  return true;
}

bool FileSetLength(FileHandle file, uint64_t length, int* error) {
  if (ftruncate(AsDescriptor(file), static_cast<off_t>(length)) != 0) {
    *error = ToZipCode(errno);
    return false;
  }
  return true;
}

bool FileFlush(FileHandle file, int* error) {
  if (fsync(AsDescriptor(file)) != 0 && errno != EINVAL) {
    *error = ToZipCode(errno);
    return false;
  }
  return true;
}

std::wstring FullPath(const std::wstring& path) {
  char resolved[PATH_MAX];
  if (realpath(NativePath(path).c_str(), resolved) == nullptr) return path;
  return Utf8ToWide(resolved);
}

bool PathAttributes(const std::wstring& path, uint32_t* attributes) {
  struct stat facts;
  if (stat(NativePath(path).c_str(), &facts) != 0) return false;
  uint32_t value = S_ISDIR(facts.st_mode) ? 0x10 : 0x20;
  if ((facts.st_mode & S_IWUSR) == 0) value |= 0x01;
  *attributes = value;
  return true;
}

bool PathModTime(const std::wstring& path, int64_t* time) {
  struct stat facts;
  if (stat(NativePath(path).c_str(), &facts) != 0 || facts.st_mtime < 0) return false;
  *time = facts.st_mtime;
  return true;
}

bool SetPathModTime(const std::wstring& path, int64_t time) {
  if (time == -1) time = Now();
  struct timeval times[2] = {{static_cast<time_t>(time), 0}, {static_cast<time_t>(time), 0}};
  return utimes(NativePath(path).c_str(), times) == 0;
}

bool PathSize(const std::wstring& path, uint64_t* size) {
  struct stat facts;
  if (stat(NativePath(path).c_str(), &facts) != 0) return false;
  *size = static_cast<uint64_t>(facts.st_size);
  return true;
}

// Only the read-only bit has a POSIX meaning: it takes the write bits away.
bool SetPathAttributes(const std::wstring& path, uint32_t attributes) {
  struct stat facts;
  std::string native = NativePath(path);
  if (stat(native.c_str(), &facts) != 0) return false;
  mode_t mode = facts.st_mode & 07777;
  mode = (attributes & 0x01) ? (mode & ~0222) : (mode | S_IWUSR);
  return chmod(native.c_str(), mode) == 0;
}

int PathExists(const std::wstring& path) {
  struct stat facts;
  if (stat(NativePath(path).c_str(), &facts) != 0) return 0;
  return S_ISDIR(facts.st_mode) ? -1 : 1;
}

bool CreateFolder(const std::wstring& path) { return mkdir(NativePath(path).c_str(), 0755) == 0; }

bool RemovePath(const std::wstring& path) { return unlink(NativePath(path).c_str()) == 0; }

bool RenamePath(const std::wstring& from, const std::wstring& to) {
  return rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

std::wstring CurrentDirectory() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) != nullptr ? Utf8ToWide(buffer) : std::wstring();
}

// Removable disks are a Windows drive's matter; here every path is fixed.
bool IsRemovableDrive(const std::wstring& path) {
  (void)path;
  return false;
}

bool SetDriveLabel(const std::wstring& path, const std::wstring& label) {
  (void)path;
  (void)label;
  return false;
}

uint64_t FreeBytes(const std::wstring& folder) {
  struct statvfs facts;
  if (statvfs(NativePath(folder).c_str(), &facts) != 0) return 0;
  return static_cast<uint64_t>(facts.f_bavail) * facts.f_frsize;
}

std::wstring TempFolder() {
  const char* folder = getenv("TMPDIR");
  return Utf8ToWide(folder != nullptr && *folder != 0 ? folder : "/tmp");
}

std::wstring MakeTempFile(const std::wstring& folder, const std::wstring& prefix) {
  std::string pattern = NativePath(folder + L"/" + prefix) + "XXXXXX";
  int file = mkstemp(&pattern[0]);
  if (file < 0) return std::wstring();
  close(file);
  return Utf8ToWide(pattern);
}

bool RandomBytes(unsigned char* buffer, uint32_t count) {
  uint32_t done = 0;
  while (done < count) {
    ssize_t got = getrandom(buffer + done, count - done, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<uint32_t>(got);
  }
  return true;
}

std::string WideToAnsi(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) out += ToPage(kAnsiHigh, c);
  return out;
}

std::wstring AnsiToWide(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  for (char byte : text) out += FromPage(kAnsiHigh, static_cast<unsigned char>(byte));
  return out;
}

std::string AnsiToOemBytes(const std::string& text) { return Recode(text, kAnsiHigh, kOemHigh); }
std::string OemToAnsiBytes(const std::string& text) { return Recode(text, kOemHigh, kAnsiHigh); }

int64_t Now() { return static_cast<int64_t>(time(nullptr)); }

bool LocalTime(int64_t time, struct tm* local) {
  time_t value = static_cast<time_t>(time);
  return localtime_r(&value, local) != nullptr;
}

int64_t MakeLocalTime(struct tm* local) { return static_cast<int64_t>(mktime(local)); }

// errno carries POSIX failures, and CZipException describes it itself.
std::wstring LastSystemErrorText() { return std::wstring(); }

}  // namespace ZipFileSystem
