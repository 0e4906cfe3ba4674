#pragma once
// caught_exception.h: the setup log's reporter for exceptions caught at a
// callback boundary (SetBoundaryReporter installs it).
#include <windows.h>

// Inside a catch block: logs what was caught and where, and returns the
// status to hand on: a CError's or thrown code's own value, a failure code
// otherwise; never ERROR_SUCCESS.
DWORD LogCaughtException(const wchar_t* boundary);
