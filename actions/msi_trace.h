#pragma once
// msi_trace.h: the levelled trace of the Windows Installer package layer.
// Kept lines go to the debugger output; errors also go into the setup log.
#include <string>

enum CMsiTraceLevel {
  MsiTraceFatal = 1,
  MsiTraceError = 2,
  MsiTraceWarning = 3,
  MsiTraceInformation = 4,
  MsiTraceVerbose = 5,
  MsiTraceDebug = 6,
};

// Lines above MsiTraceInformation are dropped. A kept line reads
// "hh:mm:ss.mmm [thread] LEVEL: text". FATAL ERROR and ERROR lines are also
// logged as "MSI package layer LEVEL: text".
void MsiTrace(int level, const wchar_t* format, ...);

// Where kept lines go besides the setup log; null restores the debugger
// output. Returns the previous sink. For tests that read what the layer
// reports.
using MsiTraceSink = void (*)(const std::wstring& line);
MsiTraceSink SetMsiTraceSink(MsiTraceSink sink);
