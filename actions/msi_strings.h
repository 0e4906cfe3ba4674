#pragma once
// msi_strings.h: text out of Windows Installer records, summary information
// and product information, of any length (the calls report the size needed
// when a buffer is short).
#include <windows.h>
#include <msi.h>

#include <string>

// Each returns the Windows Installer result; *value is empty on failure.
UINT ReadRecordString(MSIHANDLE record, UINT field, std::wstring* value);
UINT ReadSummaryString(MSIHANDLE summary, UINT property, std::wstring* value);
UINT ReadProductInfo(const std::wstring& productCode, const wchar_t* property, std::wstring* value);
