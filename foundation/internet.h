#pragma once
// internet.h: what the run asks of the internet through WinINet. Tests point
// every URL at a loopback listener of their own.
#include <windows.h>

#include <string>

// TRUE when a connection to the URL's server can be made now. A failure is
// logged with the URL and WinINet's error.
BOOL CheckInternetConnection(const std::wstring& url);
