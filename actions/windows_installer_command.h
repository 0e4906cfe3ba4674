#pragma once
// windows_installer_command.h: starts the command lines of actions: Windows
// Installer command lines go to the in-process runner, everything else is
// started as a process of the program it names. Also the one wait for a
// started command.
#include <windows.h>

#include <string>

#include "foundation/reboot_support.h"

// Starts a Windows Installer command line in-process: 0 with the handle of
// the thread that runs it, or a Win32 code. The runner copies the text.
using WindowsInstallerRunner = DWORD (*)(const std::wstring& commandLine, HANDLE* thread);

// A command line naming MSIEXEC anywhere (any case) goes to the runner.
bool IsWindowsInstallerCommandLine(const std::wstring& commandLine);

// The process-wide runner; null (the default) refuses such command lines.
void SetWindowsInstallerRunner(WindowsInstallerRunner runner);

// 0 with the started thread's or process's handle in *handle (the caller owns
// it), or a Win32 code. An empty command line starts nothing: 0 and no handle.
DWORD RunWindowsInstallerCommand(const std::wstring& commandLine, HANDLE* handle);

// Starts the program at the front of the command line with the rest as its
// parameters, in `workingFolder` or else the program's own folder. An
// unquoted program is the longest leading part of the line that names an
// existing file (one ending in ".exe" first), never a shorter one. False with
// the last error set when it could not be started.
bool CreateShellProcess(const std::wstring& commandLine, const std::wstring& workingFolder,
                        HANDLE* handle);

// Waits without limit for a process or thread, closes the handle and gives its
// exit code. Without a handle nothing is waited for and the result is 1603.
DWORD WaitForCommandExit(HANDLE handle);

// The system folder's MSIEXEC.EXE, which "{msiexec}" names. A system folder
// that Windows cannot give is an internal error (area 6).
std::wstring InstallerProgramPath();
