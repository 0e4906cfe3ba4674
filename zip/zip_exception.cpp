// zip_exception.cpp: the error texts of the archive library and the mapping
// of zlib's result codes into its range.
#include "zip/zip_exception.h"

#include <cerrno>
#include <cwchar>

#include "platform/wide_string.h"
#include "zip/zip_file_system.h"

namespace {

struct CCodeText {
  int code;
  const wchar_t* text;
};

const CCodeText kTexts[] = {
    {1, L"Not super-user"},
    {2, L"No such file or directory"},
    {4, L"Interrupted system call"},
    {5, L"I/O error"},
    {6, L"No such device or address"},
    {9, L"Bad file number"},
    {12, L"Not enough space"},
    {13, L"Permission denied"},
    {14, L"Bad address"},
    {17, L"File exists"},
    {18, L"Cross-device link"},
    {19, L"No such device"},
    {20, L"Not a directory"},
    {21, L"Is a directory"},
    {22, L"Invalid argument"},
    {23, L"File table overflow"},
    {24, L"Too many open files"},
    {27, L"File too large"},
    {28, L"No space left on device"},
    {29, L"Illegal seek"},
    {30, L"Read-only file system"},
    {101, L"Damaged or not a zip file"},
    {102, L"Crc mismatched"},
    {103, L"No disk-spanning callback object set"},
    {104, L"Disk change aborted"},
    {105, L"Action aborted"},
    {106, L"Action aborted safely"},
    {107, L"The device selected for the disk spanning archive is non removable"},
    {108, L"Limit of the maximum volumes reached"},
    {109, L"The filename of the file being added to the archive is too long"},
    {110, L"Incorrect password set for the file being decrypted"},
    {111, L"During testing found the directory with the size greater than 0"},
    {112, L"Internal error"},
    {115, L"Cannot create the file for the specified platform"},
    {116, L"The central directory was not found in the archive (or you were trying to open not "
          L"the last disk of a multi-disk archive)"},
    {500, L"Zlib Library error (end of stream)"},
    {503, L"Zlib library error (stream error)"},
    {504, L"Zlib library error (data error)"},
    {505, L"Not enough memory"},
    {506, L"Zlib library error (buffer error)"},
    {507, L"Zlib library error (version error)"},
};

}  // namespace

std::wstring CZipException::GetErrorDescription(int code, bool fromSystemPath) {
  for (const CCodeText& entry : kTexts) {
    if (entry.code == code) return entry.text;
  }
  // errno may hold any number: on the system path only plain texts, so a
  // description never asks for the system text again.
  if (fromSystemPath) return L"Unknown error";
  switch (code) {
    case kNotRemoved:
      return Format(L"%s (%s)", L"Error while removing a file", GetSystemErrorText().c_str());
    case kNotRenamed:
      return Format(L"%s (%s)", L"Error while renaming a file", GetSystemErrorText().c_str());
    case kErrNo:
      return GetErrorDescription(errno == kErrNo ? kGeneric : errno, true);
    default:
      return GetSystemErrorText();
  }
}

std::wstring CZipException::GetErrorDescription() const {
  std::wstring text = GetErrorDescription(m_code, false);
  return m_detail.empty() ? text : Format(L"%s (%s)", text.c_str(), m_detail.c_str());
}

std::wstring CZipException::Quote(const std::wstring& name) {
  std::wstring quoted = L"'";
  for (wchar_t c : name) {
    if (c < 0x20 || c == 0x7F) quoted += Format(L"<U+%04X>", static_cast<unsigned>(c));
    else quoted += c;
  }
  return quoted + L"'";
}

std::wstring CZipException::GetSystemErrorText() {
  // System texts end in a line break; inside "%s (%s)" it would split the line.
  std::wstring text = TrimRight(ZipFileSystem::LastSystemErrorText());
  if (!text.empty()) return text;
  return GetErrorDescription(errno == 0 ? kGeneric : errno, true);
}

bool CZipException::GetErrorMessage(wchar_t* buffer, unsigned capacity) const {
  if (buffer == nullptr || capacity == 0) return false;
  std::wstring text = GetErrorDescription();
  if (text.empty()) return false;
  size_t count = text.size() < capacity - 1 ? text.size() : capacity - 1;
  wmemcpy(buffer, text.c_str(), count);
  buffer[count] = L'\0';
  return true;
}

int CZipException::ZlibToCode(int zlibResult) {
  switch (zlibResult) {
    case -6: return kVersionError;
    case -5: return kBufError;
    case -4: return kMemError;
    case -3: return kDataError;
    case -2: return kStreamError;
    case -1: return kErrNo;
    case 1: return kStreamEnd;
    case 2: return kNeedDict;
    default: return kGeneric;
  }
}

void ThrowZipException(int code, const std::wstring& fileName, const std::wstring& detail) {
  throw new CZipException(code, fileName, detail);
}
