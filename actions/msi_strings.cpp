// msi_strings.cpp: reading installer texts with a buffer that grows to fit.
#include "actions/msi_strings.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <vector>

namespace {

const DWORD kFirstBufferSize = 260;

// Calls read(buffer, &size) until the text fits.
template <class Read>
UINT ReadGrowing(std::wstring* value, Read read) {
  value->clear();
  std::vector<wchar_t> buffer(kFirstBufferSize);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = static_cast<DWORD>(buffer.size());
    UINT result = read(buffer.data(), &size);
    if (result == ERROR_MORE_DATA) {
      buffer.assign(static_cast<size_t>(size) + 1, L'\0');
      continue;
    }
    if (result == ERROR_SUCCESS) value->assign(buffer.data(), wcsnlen(buffer.data(), size));
    return result;
  }
  return ERROR_MORE_DATA;
}

}  // namespace

UINT ReadRecordString(MSIHANDLE record, UINT field, std::wstring* value) {
  return ReadGrowing(value, [&](wchar_t* buffer, DWORD* size) {
    return MsiRecordGetStringW(record, field, buffer, size);
  });
}

UINT ReadSummaryString(MSIHANDLE summary, UINT property, std::wstring* value) {
  return ReadGrowing(value, [&](wchar_t* buffer, DWORD* size) {
    UINT type = 0;
    INT number = 0;
    FILETIME time = {};
    return MsiSummaryInfoGetPropertyW(summary, property, &type, &number, &time, buffer, size);
  });
}

UINT ReadProductInfo(const std::wstring& productCode, const wchar_t* property, std::wstring* value) {
  return ReadGrowing(value, [&](wchar_t* buffer, DWORD* size) {
    return MsiGetProductInfoW(productCode.c_str(), property, buffer, size);
  });
}
