// msi_trace_test.cpp: the package layer's trace keeps levels 1 to 4 only.
#include "actions/msi_trace.h"

#include <windows.h>

#include <regex>
#include <string>

#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/msi_fixtures.h"

TEST(MsiTraceTest, KeepsLevelsUpToInformationInTheFixedLineShape) {
  CMsiTraceCapture trace;
  for (int level = 0; level <= 7; ++level) MsiTrace(level, L"level %d %s", level, L"text");
  ASSERT_EQ(5u, trace.Lines().size());  // 0 is kept as "????"; 5, 6 and 7 are dropped
  const wchar_t* const kNames[] = {L"????", L"FATAL ERROR", L"ERROR", L"WARNING", L"INFORMATION"};
  std::wstring thread = Format(L"[%04X]", GetCurrentThreadId());
  for (int level = 0; level <= 4; ++level) {
    const std::wstring& line = trace.Lines()[level];
    std::string narrow = WideToUtf8(line);
    EXPECT_TRUE(std::regex_match(narrow, std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d \[[0-9A-F]{4,}\] .*)")))
        << narrow;
    EXPECT_NE(std::wstring::npos, line.find(thread));
    EXPECT_TRUE(EndsWith(line, std::wstring(L"] ") + kNames[level] + Format(L": level %d text", level)))
        << narrow;
  }
}
