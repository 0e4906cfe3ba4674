// condition_platform.cpp: last-error value and ANSI conversions for the
// condition language, Win32 on Windows and portable stand-ins natively.
#include "conditions/condition_platform.h"

#ifdef _WIN32
#include <windows.h>
#endif

#ifdef _WIN32

void SetConditionLastError(uint32_t code) { SetLastError(code); }

uint32_t GetConditionLastError() { return GetLastError(); }

std::string ConditionTextToAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

std::wstring AnsiToConditionText(const std::string& text) {
  if (text.empty()) return std::wstring();
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
  return out;
}

#else

namespace {
thread_local uint32_t t_lastError = 0;
}

void SetConditionLastError(uint32_t code) { t_lastError = code; }

uint32_t GetConditionLastError() { return t_lastError; }

std::string ConditionTextToAnsi(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    out += static_cast<uint32_t>(c) < 0x100 ? static_cast<char>(c) : '?';
  }
  return out;
}

std::wstring AnsiToConditionText(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  for (char c : text) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

#endif
