#pragma once
// error.h: the program's exception base CError, the system error texts, and
// the internal-error report that ends an operation with a thrown code.
#include <windows.h>

#include <string>

class CError {
 public:
  CError();
  explicit CError(const std::wstring& message);
  explicit CError(DWORD code);
  CError(const std::wstring& context, DWORD code);
  CError(const CError& other) = default;
  CError& operator=(const CError& other) = default;
  virtual ~CError() = default;

  virtual std::wstring GetMessage() const { return m_message; }
  virtual DWORD GetErrorCode() const { return m_code; }

 private:
  std::wstring m_message;
  DWORD m_code;
};

// The system's text for a Win32 code, its trailing line break included.
std::wstring GetSystemErrorMessage(DWORD code);

using ErrorMessageBoxFunction = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);

void SetErrorMessageBoxFunction(ErrorMessageBoxFunction function);

// Area 0 with code 0 only stores the owner window. Otherwise tells the user
// (unless the command line asks for silence) and throws the code as an
// unsigned long.
void ReportInternalError(unsigned short area, DWORD code, HWND owner);
