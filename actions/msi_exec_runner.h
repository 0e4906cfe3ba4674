#pragma once
// msi_exec_runner.h: runs an installer command line in this process, on a
// thread of its own per package, through the Windows Installer API, so its
// progress reaches the setup's own bar; and the check that no other
// installation holds the installer.
#include <windows.h>

#include <string>

// The runner given to SetWindowsInstallerRunner: 1618 when the installer
// stays busy; otherwise starts the thread, whose exit code is the
// installer's result (3 without a package). The thread works on its own
// copy of the command line. `thread` (may be null) gets its handle.
DWORD RunMsiExecCommand(const std::wstring& commandLine, HANDLE* thread);

// True when another installation holds the installer through every attempt.
bool IsWindowsInstallerBusy();

// What the busy check does between attempts; tests replace both. Null
// restores the default (ask the installer service to stop; sleep).
using InstallerServiceStop = void (*)();
using InstallerSleep = void (*)(DWORD milliseconds);
void SetInstallerBusyFunctions(InstallerServiceStop stop, InstallerSleep sleep);

// Waits for every runner thread still running, so the process does not end
// in the middle of an installation. Called before the process ends, not
// from an exit handler: the installer thread may need what the runtime's
// exit holds.
void WaitForWindowsInstallerThreads();
