// windows_system_facts_test.cpp: the built-in variables on the machine the
// tests run on, as Wine reports it, and the last error as Windows callers
// read it.
#include "conditions/windows_system_facts.h"

#include <windows.h>

#include <string>

#include "conditions/expression_parser.h"
#include "gtest/gtest.h"

namespace {

std::wstring EvaluateOutcome(CExpressionParser* parser, const std::wstring& text) {
  CMapStringToString properties;
  bool result = false;
  SetLastError(77);
  if (!parser->Evaluate(text.c_str(), &result, &properties)) {
    return L"error " + std::to_wstring(GetLastError());
  }
  return GetLastError() == 0 ? (result ? L"Yes" : L"No") : L"true with an error";
}

}  // namespace

// The 64-bit prefix of the tests; Wine 8 reports 6.1 SP1 unless an
// AppDefaults key says otherwise.
TEST(CWindowsSystemFactsTest, BuiltInsGiveWhatWineReports) {
  CWindowsSystemFacts facts;
  CExpressionParser parser(facts);
  EXPECT_EQ(L"Yes", EvaluateOutcome(&parser, L"{ARCHITECTURE} == 64"));
  EXPECT_EQ(L"Yes", EvaluateOutcome(&parser, L"{OSVERSION} == 6.1"));
  EXPECT_EQ(L"Yes", EvaluateOutcome(&parser, L"{OSSERVICEPACK} == 1.0"));
  // Wine's ProductType is WinNT and it has no media centre metric.
  EXPECT_EQ(L"Yes", EvaluateOutcome(&parser, L"{OSSUBTYPE} == \"PRO\""));
  std::wstring systemId = std::to_wstring(GetSystemDefaultLangID());
  std::wstring userId = std::to_wstring(GetUserDefaultLangID());
  EXPECT_EQ(L"Yes", EvaluateOutcome(&parser, L"{SYSLANGID} == " + systemId));
  EXPECT_EQ(L"Yes", EvaluateOutcome(&parser, L"{USERLANGID} == " + userId));
  EXPECT_EQ(L"Yes", EvaluateOutcome(&parser, L"{NEUTRALLANGID} == " +
                                                 std::to_wstring(GetUserDefaultLangID() & 255)));
  if (GetUserDefaultLangID() == 0x0409) {
    EXPECT_EQ(L"Yes", EvaluateOutcome(&parser, L"{USERLANG} == \"ENU\""));
  }
}

TEST(CWindowsSystemFactsTest, EvaluateSetsTheThreadLastError) {
  CWindowsSystemFacts facts;
  CExpressionParser parser(facts);
  EXPECT_EQ(L"error 3", EvaluateOutcome(&parser, L"{MISSING} == 1"));
  EXPECT_EQ(L"error 4", EvaluateOutcome(&parser, L"\"x\""));
  EXPECT_EQ(L"No", EvaluateOutcome(&parser, L"1 == 2"));
  bool result = false;
  SetLastError(77);
  EXPECT_FALSE(parser.Evaluate(L"1", &result, nullptr));
  EXPECT_EQ(2u, GetLastError());
}
