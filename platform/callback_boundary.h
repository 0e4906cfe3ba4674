#pragma once
// callback_boundary.h: what a function that Windows calls back (a thread or
// dialog procedure) does with an exception it caught. This layer cannot
// write the setup log, so the program installs a reporter that can.
#include <windows.h>

// Called inside a catch block only: describes the exception in flight and
// returns the status the boundary hands on, never ERROR_SUCCESS.
using BoundaryReporter = DWORD (*)(const wchar_t* boundary);

// Null restores the default (debugger output, ERROR_INSTALL_FAILURE).
// Returns the previous reporter.
BoundaryReporter SetBoundaryReporter(BoundaryReporter reporter);

// For use inside a catch block.
DWORD ReportBoundaryException(const wchar_t* boundary);
