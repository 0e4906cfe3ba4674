// msi_trace.cpp: formatting and filtering of the package layer's trace.
#include "actions/msi_trace.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>

#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const int kHighestKeptLevel = MsiTraceInformation;
// Errors also go into the setup log, which otherwise only says that a
// package failed to load, not why.
const int kHighestLoggedLevel = MsiTraceError;

void DebuggerSink(const std::wstring& line) { OutputDebugStringW((line + L"\n").c_str()); }

std::atomic<MsiTraceSink> g_sink{DebuggerSink};

const wchar_t* LevelName(int level) {
  static const wchar_t* const kNames[] = {L"FATAL ERROR", L"ERROR",   L"WARNING",
                                          L"INFORMATION", L"VERBOSE", L"DEBUG"};
  return level >= 1 && level <= 6 ? kNames[level - 1] : L"????";
}

}  // namespace

void MsiTrace(int level, const wchar_t* format, ...) {
  if (level > kHighestKeptLevel) return;
  va_list args;
  va_start(args, format);
  std::wstring text = FormatV(format, args);
  va_end(args);
  if (level >= MsiTraceFatal && level <= kHighestLoggedLevel) {
    WriteLog(L"MSI package layer %s: %s", LevelName(level), text.c_str());
  }
  SYSTEMTIME now;
  GetLocalTime(&now);
  g_sink.load()(Format(L"%02d:%02d:%02d.%03d [%04X] %s: %s", now.wHour, now.wMinute, now.wSecond,
                       now.wMilliseconds, GetCurrentThreadId(), LevelName(level), text.c_str()));
}

MsiTraceSink SetMsiTraceSink(MsiTraceSink sink) {
  return g_sink.exchange(sink ? sink : DebuggerSink);
}
