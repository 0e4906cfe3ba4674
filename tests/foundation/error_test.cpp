// error_test.cpp: CError texts, the internal-error report with and without
// silent switches, and CBuffer's allocation rules.
#include "foundation/error.h"

#include <windows.h>

#include <string>

#include "foundation/buffer.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

struct CBoxCall {
  int count = 0;
  HWND owner = nullptr;
  std::wstring text;
  std::wstring caption;
  UINT style = 0;
};
CBoxCall g_box;

int WINAPI FakeMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
  ++g_box.count;
  g_box.owner = owner;
  g_box.text = text ? text : L"";
  g_box.caption = caption ? caption : L"";
  g_box.style = style;
  return IDOK;
}

DWORD ThrownCode(unsigned short area, DWORD code) {
  try {
    ReportInternalError(area, code, nullptr);
  } catch (unsigned long thrown) {
    return thrown;
  }
  return 0xFFFFFFFF;
}

}  // namespace

TEST(CErrorTest, MessageForms) {
  EXPECT_EQ(L"", CError().GetMessage());
  EXPECT_EQ(0u, CError().GetErrorCode());
  EXPECT_EQ(L"plain", CError(L"plain").GetMessage());
  EXPECT_EQ(0u, CError(L"plain").GetErrorCode());

  std::wstring system5 = GetSystemErrorMessage(5);
  EXPECT_EQ(L"System error code: 5. System error message: " + system5, CError(5).GetMessage());
  EXPECT_EQ(5u, CError(5).GetErrorCode());
  EXPECT_EQ(L"Open key 'x'. System error code: 2. System error message: '" + GetSystemErrorMessage(2) + L"'.",
            CError(L"Open key 'x'", 2).GetMessage());

  CError original(L"ctx", 87);
  CError copy(original);
  EXPECT_EQ(original.GetMessage(), copy.GetMessage());
  EXPECT_EQ(87u, copy.GetErrorCode());
}

TEST(CErrorTest, SystemMessageKeepsLineBreakAndHasFallback) {
  std::wstring text = GetSystemErrorMessage(2);
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(L"\r\n", text.substr(text.size() - 2));
  // Wine has no text for this code; Windows has none either.
  std::wstring missing = GetSystemErrorMessage(0x2345678);
  EXPECT_TRUE(StartsWith(missing,
                         L"no system error message is available: call to FormatMessage() function "
                         L"failed for error code 36984440, GetLastError() returned "))
      << WideToUtf8(missing);
}

TEST(CErrorTest, ReportInternalErrorShowsBoxAndThrowsCode) {
  SetErrorMessageBoxFunction(FakeMessageBox);
  g_box = CBoxCall();
  HWND owner = reinterpret_cast<HWND>(0x1234);
  ReportInternalError(0, 0, owner);  // only stores the owner
  EXPECT_EQ(0, g_box.count);

  EXPECT_EQ(0x80070005u, ThrownCode(24, 0x80070005));
  EXPECT_EQ(1, g_box.count);
  EXPECT_EQ(owner, g_box.owner);
  EXPECT_EQ(L"Error Code: 0018.80070005", g_box.text);
  EXPECT_EQ(L"Internal Error", g_box.caption);
  EXPECT_EQ(0x10010u, g_box.style);
  ReportInternalError(0, 0, nullptr);
}

// The silent test reads the process command line, so it runs in children.
TEST_CHILD(ReportWithCommandLine) {
  (void)args;
  SetErrorMessageBoxFunction(FakeMessageBox);
  g_box = CBoxCall();
  DWORD code = ThrownCode(25, 0x8004006B);
  if (code != 0x8004006B) return 99;
  return g_box.count;  // 0: silent, 1: the box was shown
}

TEST(CErrorTest, SilentSwitchesSkipTheBox) {
  struct Case {
    const wchar_t* argument;
    DWORD boxes;
  };
  const Case kCases[] = {
      {L"/qn", 0},    {L"/qN", 0},     {L"/QN", 0},       {L"/qb-", 0},       {L"/QB-", 0},
      {L"/Silent", 0}, {L"/NoPrompt", 0}, {L"/qB", 1},      {L"/silent", 1},   {L"/q", 1},
      {L"C:\\a/qnb\\x", 0},  // a plain substring test: any text holding the switch silences
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.boxes, RunChild(L"ReportWithCommandLine", {c.argument})) << WideToUtf8(c.argument);
  }
}

TEST(CBufferTest, AllocationRules) {
  CBuffer buffer;
  EXPECT_THROW(buffer.GetBuffer(), CBuffer::CNULLBuffer);
  EXPECT_THROW(buffer.Allocate(0), CBuffer::CNegativeBufferSize);
  EXPECT_THROW(buffer.Allocate(-5), CBuffer::CNegativeBufferSize);
  EXPECT_EQ(0, buffer.GetSize());

  buffer.Allocate(16);
  ASSERT_EQ(16, buffer.GetSize());
  for (int i = 0; i < 16; ++i) EXPECT_EQ(0, buffer.GetBuffer()[i]);
  buffer.GetBuffer()[0] = 7;
  // A failed reallocation leaves the buffer empty, not half-owned.
  EXPECT_THROW(buffer.Allocate(0), CBuffer::CNegativeBufferSize);
  EXPECT_EQ(0, buffer.GetSize());
  EXPECT_THROW(buffer.GetBuffer(), CBuffer::CNULLBuffer);
  try {
    buffer.GetBuffer();
  } catch (const CError& error) {  // the buffer errors are CErrors with no text
    EXPECT_EQ(L"", error.GetMessage());
    EXPECT_EQ(0u, error.GetErrorCode());
  }
}
