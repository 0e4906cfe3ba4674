// caught_exception.cpp: turns the exception in flight into one log line and
// a status for the boundary that caught it.
#include "foundation/caught_exception.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <new>
#include <string>

#include "foundation/error.h"
#include "foundation/kw_ini_file_exception.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

struct CCaught {
  std::wstring description;
  DWORD status;
};

CCaught Describe() {
  try {
    throw;
  } catch (const CError& error) {
    // A system message ends in a line break, which would split the log line.
    std::wstring message = ReplaceAll(error.GetMessage(), L"\r\n", L"");
    return {Format(L"error %u, '%s'", error.GetErrorCode(), message.c_str()), error.GetErrorCode()};
  } catch (unsigned long code) {
    return {Format(L"thrown dword %u", code), code};
  } catch (long value) {
    return {Format(L"thrown long %d", value), static_cast<DWORD>(value)};
  } catch (int value) {
    return {Format(L"thrown int %d", value), ERROR_INSTALL_FAILURE};
  } catch (CKwIniFileException* raw) {
    std::unique_ptr<CKwIniFileException> owned(raw);
    return {Format(L"INI file error %d: %s", owned->GetCode(), owned->GetMessageText().c_str()),
            static_cast<DWORD>(owned->GetCode())};
  } catch (const std::bad_alloc&) {
    return {L"out of memory", ERROR_NOT_ENOUGH_MEMORY};
  } catch (const std::exception& error) {
    return {Format(L"C++ exception '%S'", error.what()), ERROR_INSTALL_FAILURE};
  } catch (...) {
    return {L"unknown exception", ERROR_INSTALL_FAILURE};
  }
}

}  // namespace

DWORD LogCaughtException(const wchar_t* boundary) {
  CCaught caught = Describe();
  // Whatever was thrown, leaving a boundary is a failure.
  DWORD status = caught.status != ERROR_SUCCESS ? caught.status : ERROR_INSTALL_FAILURE;
  WriteLog(L"Exception caught in %s: %s; status %d", boundary ? boundary : L"a callback",
           caught.description.c_str(), status);
  return status;
}
