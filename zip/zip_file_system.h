#pragma once
// zip_file_system.h: the archive library's only contact with the operating
// system: files by handle, file facts, code pages, local time and the system's
// error text. One adapter implements it for Windows and one for POSIX, so the
// rest of the library is plain C++.
#include <cstdint>
#include <ctime>
#include <string>

namespace ZipFileSystem {

using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

// Open flags, as CZipAbstractFile passes them.
constexpr unsigned kModeRead = 0x0000;
constexpr unsigned kModeReadWrite = 0x0002;
constexpr unsigned kShareDenyNone = 0x0040;
constexpr unsigned kModeCreate = 0x1000;
constexpr unsigned kModeNoTruncate = 0x2000;
constexpr unsigned kModeCreateNew = 0x4000;

// Every failure reports an errno-style code of CZipException's range in *error.
FileHandle FileOpen(const std::wstring& path, unsigned flags, int* error);
void FileClose(FileHandle file);
bool FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* read, int* error);
bool FileWrite(FileHandle file, const void* buffer, uint32_t count, int* error);
// origin: 0 begin, 1 current, 2 end.
bool FileSeek(FileHandle file, int64_t offset, int origin, uint64_t* position, int* error);
bool FileLength(FileHandle file, uint64_t* length, int* error);
bool FileSetLength(FileHandle file, uint64_t length, int* error);
bool FileFlush(FileHandle file, int* error);
std::wstring FullPath(const std::wstring& path);

// Windows attribute bits (0x01 read-only, 0x02 hidden, 0x10 folder, 0x20 archive).
bool PathAttributes(const std::wstring& path, uint32_t* attributes);
// Calendar times are seconds since 1970 in 64 bits: the i686 C runtime's
// time_t is 32-bit and ends in 2038, MS-DOS dates in 2107.
// Last write time, the file opened for reading with read sharing.
bool PathModTime(const std::wstring& path, int64_t* time);
// All ones (-1) means now.
bool SetPathModTime(const std::wstring& path, int64_t time);
bool PathSize(const std::wstring& path, uint64_t* size);
bool SetPathAttributes(const std::wstring& path, uint32_t attributes);
// 0 absent, -1 a folder, 1 a file.
int PathExists(const std::wstring& path);
bool CreateFolder(const std::wstring& path);
// Creates the folder and every missing parent; true when it exists at the end.
bool ForceFolder(const std::wstring& path);
bool RemovePath(const std::wstring& path);
bool RenamePath(const std::wstring& from, const std::wstring& to);
// With `raise`, a failure is CZipException 113 or 114 naming the file.
bool RemoveFile(const std::wstring& path, bool raise);
bool RenameFile(const std::wstring& from, const std::wstring& to, bool raise);
std::wstring CurrentDirectory();
// Of the drive holding `path`: whether its disks can be taken out, and
// setting the label of the disk in it.
bool IsRemovableDrive(const std::wstring& path);
bool SetDriveLabel(const std::wstring& path, const std::wstring& label);
// Free bytes of the disk holding a folder (its drive root when the folder
// itself fails), 0 when unknown.
uint64_t FreeBytes(const std::wstring& folder);
// The system's folder for temporary files, and a new empty file in a folder
// named from `prefix` (empty when none could be made).
std::wstring TempFolder();
std::wstring MakeTempFile(const std::wstring& folder, const std::wstring& prefix);
// Bytes from the system's cryptographic generator.
bool RandomBytes(unsigned char* buffer, uint32_t count);

// Names in the archive's 8-bit code pages: the system's ANSI page (1252 in
// the POSIX adapter) and OEM page (437). Unmappable characters become '?'.
std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);
std::string AnsiToOemBytes(const std::string& text);
std::string OemToAnsiBytes(const std::string& text);

int64_t Now();
bool LocalTime(int64_t time, struct tm* local);
// -1 when the time can't be represented.
int64_t MakeLocalTime(struct tm* local);

// The text of the last system error, or empty when there is none.
std::wstring LastSystemErrorText();

}  // namespace ZipFileSystem
