// nt_file.cpp: the native calls of ntdll, looked up at run time as the
// Win32 layer itself reaches them.
#include "foundation/nt_file.h"

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct CIoStatus {
  LONG status;
  ULONG_PTR information;
};

struct CUnicodeString {
  USHORT length;
  USHORT maximumLength;
  PWSTR buffer;
};

struct CObjectAttributes {
  ULONG length;
  HANDLE rootDirectory;
  CUnicodeString* objectName;
  ULONG attributes;
  void* securityDescriptor;
  void* securityQualityOfService;
};

// FILE_NAMES_INFORMATION, one record of a listing.
struct CNameRecord {
  ULONG nextEntryOffset;
  ULONG fileIndex;
  ULONG fileNameLength;
  WCHAR fileName[1];
};

const ULONG kObjectCaseInsensitive = 0x40;
const ULONG kFileOpen = 1;
const ULONG kFileSynchronousIoNonAlert = 0x20;
const ULONG kFileOpenForBackupIntent = 0x4000;
const ULONG kFileOpenReparsePoint = 0x200000;
const ULONG kFileNamesInformation = 12;
const LONG kStatusNoMoreFiles = static_cast<LONG>(0x80000006);
const ULONG kListingBlock = 16384;

using QueryInformationFileType = LONG(WINAPI*)(HANDLE, CIoStatus*, void*, ULONG, ULONG);
using SetInformationFileType = LONG(WINAPI*)(HANDLE, CIoStatus*, const void*, ULONG, ULONG);
using CreateFileType = LONG(WINAPI*)(HANDLE*, ACCESS_MASK, CObjectAttributes*, CIoStatus*, LARGE_INTEGER*, ULONG,
                                     ULONG, ULONG, ULONG, void*, ULONG);
using QueryDirectoryFileType = LONG(WINAPI*)(HANDLE, HANDLE, void*, void*, CIoStatus*, void*, ULONG, ULONG,
                                             BOOLEAN, CUnicodeString*, BOOLEAN);
using StatusToErrorType = ULONG(WINAPI*)(LONG);

FARPROC Native(const char* name) { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name); }

template <typename Function>
Function NativeFunction(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(Native(name)));
}

DWORD ErrorOf(LONG status) {
  static const StatusToErrorType convert = NativeFunction<StatusToErrorType>("RtlNtStatusToDosError");
  DWORD error = convert ? convert(status) : ERROR_GEN_FAILURE;
  return error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error;
}

}  // namespace

bool QueryOpenFile(HANDLE file, void* value, ULONG size, ULONG kind) {
  static const QueryInformationFileType query = NativeFunction<QueryInformationFileType>("NtQueryInformationFile");
  CIoStatus status = {};
  return query && query(file, &status, value, size, kind) >= 0;
}

DWORD SetOpenFileFact(HANDLE file, const void* value, ULONG size, ULONG kind) {
  static const SetInformationFileType set = NativeFunction<SetInformationFileType>("NtSetInformationFile");
  if (!set) return ERROR_CALL_NOT_IMPLEMENTED;
  CIoStatus status = {};
  LONG result = set(file, &status, value, size, kind);
  return result >= 0 ? ERROR_SUCCESS : ErrorOf(result);
}

HANDLE OpenInFolder(HANDLE folder, const std::wstring& name, ACCESS_MASK access) {
  static const CreateFileType create = NativeFunction<CreateFileType>("NtCreateFile");
  if (!create) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
  }
  std::vector<wchar_t> text(name.begin(), name.end());
  text.push_back(L'\0');
  CUnicodeString objectName = {static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                               static_cast<USHORT>(name.size() * sizeof(wchar_t)), text.data()};
  CObjectAttributes attributes = {sizeof(attributes), folder, &objectName, kObjectCaseInsensitive, nullptr, nullptr};
  CIoStatus status = {};
  HANDLE file = nullptr;
  LONG result = create(&file, access | SYNCHRONIZE, &attributes, &status, nullptr, 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kFileOpen,
                       kFileOpenReparsePoint | kFileOpenForBackupIntent | kFileSynchronousIoNonAlert, nullptr, 0);
  if (result < 0) {
    SetLastError(ErrorOf(result));
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

bool ListOpenFolder(HANDLE folder, std::vector<std::wstring>* names) {
  static const QueryDirectoryFileType query = NativeFunction<QueryDirectoryFileType>("NtQueryDirectoryFile");
  names->clear();
  if (!query) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  // ULONG-aligned, as the records are.
  std::vector<ULONG> block(kListingBlock / sizeof(ULONG));
  for (bool first = true;; first = false) {
    CIoStatus status = {};
    LONG result = query(folder, nullptr, nullptr, nullptr, &status, block.data(), kListingBlock,
                        kFileNamesInformation, FALSE, nullptr, first ? TRUE : FALSE);
    if (result == kStatusNoMoreFiles) return true;
    if (result < 0) {
      SetLastError(ErrorOf(result));
      return false;
    }
    const BYTE* at = reinterpret_cast<const BYTE*>(block.data());
    for (;;) {
      CNameRecord record;
      std::memcpy(&record, at, offsetof(CNameRecord, fileName));
      std::wstring name(reinterpret_cast<const wchar_t*>(at + offsetof(CNameRecord, fileName)),
                        record.fileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") names->push_back(name);
      if (record.nextEntryOffset == 0) break;
      at += record.nextEntryOffset;
    }
  }
}
