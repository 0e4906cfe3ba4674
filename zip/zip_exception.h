#pragma once
// zip_exception.h: the archive library's one error type. It carries a code
// (errno-style system failures, the library's own 101-116, zlib's 500-507)
// and the path of the archive or file concerned, and where the code alone
// would mislead, what exactly was refused and why. It is thrown as a
// pointer made with new; the catcher owns and deletes it.
#include <string>

class CZipException {
 public:
  enum {
    kGeneric = 100,
    kBadZipFile = 101,
    kBadCrc = 102,
    kNoCallback = 103,
    kAborted = 104,
    kAbortedAction = 105,
    kAbortedSafely = 106,
    kNonRemovable = 107,
    kTooManyVolumes = 108,
    kTooLongFileName = 109,
    kBadPassword = 110,
    kDirWithSize = 111,
    kInternal = 112,
    kNotRemoved = 113,
    kNotRenamed = 114,
    kPlatformNotSupported = 115,
    kCentralDirNotFound = 116,
    kStreamEnd = 500,
    kNeedDict = 501,
    kErrNo = 502,
    kStreamError = 503,
    kDataError = 504,
    kMemError = 505,
    kBufError = 506,
    kVersionError = 507,
    // errno-style codes this library raises itself.
    kNoSuchFile = 2,
    kIoError = 5,
    kAccessDenied = 13,
    kFileExists = 17,
    kInvalidArgument = 22,
    kFileTooLarge = 27,
    kNoSpace = 28,
  };

  CZipException(int code, const std::wstring& fileName, const std::wstring& detail = std::wstring())
      : m_code(code), m_fileName(fileName), m_detail(detail) {}
  virtual ~CZipException() = default;

  int GetCode() const { return m_code; }
  const std::wstring& GetFileName() const { return m_fileName; }

  // Copies at most capacity - 1 characters of the description and ends them
  // with a null; false for no buffer, no room or an empty description.
  bool GetErrorMessage(wchar_t* buffer, unsigned capacity) const;
  // The code's text, followed by the detail in parentheses when there is one.
  std::wstring GetErrorDescription() const;

  // The English text of a code. `fromSystemPath` is set when the text is
  // wanted for the system's own last error: unknown codes then read
  // "Unknown error" instead of asking the system again.
  static std::wstring GetErrorDescription(int code, bool fromSystemPath);
  // The text of the last system error, else of the C runtime's errno.
  static std::wstring GetSystemErrorText();
  // zlib's result codes in the library's range.
  static int ZlibToCode(int zlibResult);
  // A name as details quote it: whole, in quotes, each control character
  // shown as <U+XXXX> (a NUL would end the text, a line break split it).
  static std::wstring Quote(const std::wstring& name);

 private:
  int m_code;
  std::wstring m_fileName;
  std::wstring m_detail;
};

[[noreturn]] void ThrowZipException(int code, const std::wstring& fileName = std::wstring(),
                                    const std::wstring& detail = std::wstring());
