#pragma once
// kw_ini_file_exception.h: the one error type of the INI library. It is
// thrown as a pointer made with new; the catcher owns and deletes it.
#include <string>

class CKwIniFileException {
 public:
  // Kind 5: Load without a file name; kind 4: every other error.
  static constexpr int kLoadKind = 5;
  static constexpr int kErrorKind = 4;

  CKwIniFileException(int kind, int code, const std::wstring& message)
      : m_kind(kind), m_code(code), m_message(message) {}

  int GetKind() const { return m_kind; }
  // A Win32 code: the failed call's, or 13 (bad data) and 123 (bad name).
  int GetCode() const { return m_code; }
  const std::wstring& GetMessageText() const { return m_message; }

 private:
  int m_kind;
  int m_code;
  std::wstring m_message;
};
