#pragma once
// setup_log.h: the one log of a setup run. KWSETUP turns it on and carries
// its location to every process the run starts.
#include <windows.h>

#include <string>

// <windows.h> maps this name to a system function of its own.
#undef IsLoggingEnabled

// printf-style, Microsoft semantics (%s is wide). cdecl varargs: DLL actions
// call it through the context block.
void __cdecl WriteLog(const wchar_t* format, ...);

BOOL IsLoggingEnabled(std::wstring* logTemplate);
BOOL GetLogPathSetting(std::wstring* logTemplate);
BOOL GetLogFilesFolder(std::wstring* folder);
// The folder that holds the setup log itself, with a trailing backslash;
// false when the log has no folder of its own (logging off, or "LOG").
BOOL GetSetupLogFolder(std::wstring* folder);
// The final path of the folder this process first found its setup log in:
// the run's log folder. Empty before the first line, without a log, or
// where the system cannot tell.
std::wstring GetOpenedLogFolder();
// False, after a log line, when `path` names a file of the setup log's
// folder but that folder now lies elsewhere than where the log was first
// found (swapped for a link meanwhile): no log may be made or written
// there. `finalPath`, when given, is where the file's open handle lies;
// otherwise the folder is opened by its name. True for a file of another
// folder, and where nothing can be told.
bool IsInOpenedLogFolder(const std::wstring& path, const std::wstring& finalPath = std::wstring());
std::wstring GetLogPathFromEnvironment(const wchar_t* variableName);
std::wstring ExpandLogFileName(const std::wstring& path);
// Creates the folder of the path (the text before its last backslash) with
// its parents. 0 when it exists as a folder; ERROR_DIRECTORY when a file
// stands there.
DWORD CreateLogFolder(const std::wstring& path);
void GetLogPathFromCommandLine(std::wstring* path, const std::wstring& commandLine);
// The LogFile key of SETUP.DCF beside the program. Returns the line that
// reports a file that cannot be loaded (empty otherwise), for the caller to
// write once the log's place is decided.
std::wstring GetLogPathFromDcf(std::wstring* path);
void InitializeLogging(const std::wstring& commandLine);
std::wstring FormatCurrentTime(const wchar_t* pattern);
