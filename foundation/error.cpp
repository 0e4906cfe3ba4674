// error.cpp: CError texts from system error codes, and the internal-error
// report that tells the user and ends the operation with a thrown code.
#include "foundation/error.h"

#include <windows.h>

#include <string>

#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

ErrorMessageBoxFunction g_messageBox = nullptr;
HWND g_owner = nullptr;

const wchar_t* const kSilentSwitches[] = {
    L"/qn", L"/Qn", L"/QN", L"/qN", L"/qb-", L"/Qb-", L"/QB-", L"/qB-", L"/Silent", L"/NoPrompt",
};

bool IsSilentCommandLine(const std::wstring& commandLine) {
  for (const wchar_t* silent : kSilentSwitches) {
    if (commandLine.find(silent) != std::wstring::npos) return true;
  }
  return false;
}
}  // namespace

CError::CError() : m_code(0) {}

CError::CError(const std::wstring& message) : m_message(message), m_code(0) {}

CError::CError(DWORD code)
    : m_message(Format(L"System error code: %d. System error message: %s", code,
                       GetSystemErrorMessage(code).c_str())),
      m_code(code) {}

CError::CError(const std::wstring& context, DWORD code)
    : m_message(Format(L"%s. System error code: %d. System error message: '%s'.", context.c_str(),
                       code, GetSystemErrorMessage(code).c_str())),
      m_code(code) {}

std::wstring GetSystemErrorMessage(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0,
      nullptr);
  if (length == 0 || !text) {
    DWORD lastError = GetLastError();
    return Format(
        L"no system error message is available: call to FormatMessage() function failed for error "
        L"code %d, GetLastError() returned %d",
        code, lastError);
  }
  std::wstring message(text, length);
  LocalFree(text);
  return message;
}

void SetErrorMessageBoxFunction(ErrorMessageBoxFunction function) { g_messageBox = function; }

void ReportInternalError(unsigned short area, DWORD code, HWND owner) {
  if (area == 0 && code == 0) {
    g_owner = owner;
    return;
  }
  const wchar_t* commandLine = GetCommandLineW();
  if (!IsSilentCommandLine(commandLine ? commandLine : L"")) {
    std::wstring text = Format(LoadResourceString(IDS_INTERNAL_ERROR_CODE).c_str(), area, code);
    WriteLog(L"Internal Error");
    WriteLog(L"%s", text.c_str());
    if (!g_messageBox) g_messageBox = MessageBoxW;
    g_messageBox(g_owner, text.c_str(), LoadResourceString(IDS_INTERNAL_ERROR_CAPTION).c_str(),
                 MB_ICONERROR | MB_SETFOREGROUND);
  }
  throw static_cast<unsigned long>(code);
}
