#pragma once
// internet.h: what the run asks of the internet through WinINet: whether a
// server can be reached, and HTTP downloads with their progress shown in a
// dialog. Tests point every URL at a loopback listener of their own.
#include <windows.h>
#include <wininet.h>

#include <string>

// What a dialog shows of one download of a batch; the caller owns it.
struct CDownloadProgress {
  std::wstring fileName;
  DWORD totalSize = 0;   // 0 when the server gives no length
  DWORD bytesRead = 0;   // by the last read
  int fileCount = 1;
  int fileIndex = 0;     // 0-based
  HWND textControl = nullptr;
  HWND progressBar = nullptr;
  int percent = 0;       // the bar's running position
};

// TRUE when a connection to the URL's server can be made now. A failure is
// logged with the URL and WinINet's error, which stays the last error.
BOOL CheckInternetConnection(const std::wstring& url);

// "http://host[:port]/path" or "https://...": host, path (from the first
// "/") and port (80, or 443 for https, unless the URL names one).
BOOL SplitUrl(const std::wstring& url, std::wstring* host, std::wstring* path,
              INTERNET_PORT* port);

// Fetches the URL into the file. Only a 2xx answer whose whole body arrived
// counts; any failure is logged, leaves no target file behind and is thrown
// as an unsigned long Win32 code. A download that has not ended within the
// time limit fails with ERROR_INTERNET_TIMEOUT.
void DownloadFile(const std::wstring& url, const std::wstring& target,
                  CDownloadProgress* progress);
// The time limit of one download, in milliseconds (0: the default, five
// minutes); the tests shorten it.
void SetDownloadTimeLimit(DWORD milliseconds);

// Shows the progress state in its text control and progress bar, if set.
void UpdateDownloadProgress(CDownloadProgress* progress);
