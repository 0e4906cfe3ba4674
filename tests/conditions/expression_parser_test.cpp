// expression_parser_test.cpp: Evaluate on tables of conditions (operators,
// precedence, literals, built-in variables posed through fake system facts,
// missing properties and type errors) with the last-error code of each, and
// recovery after every kind of failure.
#include "conditions/expression_parser.h"

#include <string>
#include <utility>
#include <vector>

#include "conditions/condition_platform.h"
#include "gtest/gtest.h"
#include "tests/conditions/fake_system_facts.h"

namespace {

enum Outcome { Yes, No, SyntaxError, Failure, NotBoolean };

struct ConditionCase {
  const wchar_t* text;
  Outcome outcome;
};

// The outcome as a test sees it: return value, result and last error.
std::string Describe(CExpressionParser* parser, const std::wstring& text,
                     const CMapStringToString& properties) {
  bool result = false;
  SetConditionLastError(77);
  bool ok = parser->Evaluate(text.c_str(), &result, &properties);
  uint32_t error = GetConditionLastError();
  if (ok) return error == 0 ? (result ? "Yes" : "No") : "true with error " + std::to_string(error);
  return "error " + std::to_string(error);
}

std::string Expected(Outcome outcome) {
  switch (outcome) {
    case Yes: return "Yes";
    case No: return "No";
    case NotBoolean: return "error 4";
    default: return "error 3";  // SyntaxError and Failure
  }
}

const CMapStringToString kProperties = {
    {L"A", L"1"},           {L"P", L"10"},         {L"SIX", L"6"},
    {L"V", L"5.1.2600"},    {L"T", L"TRUE"},       {L"NUMBERS", L"12abc"},
    {L"NEGATIVE", L"-5"},   {L"SETUPLANG", L"ENU"}, {L"LOWER", L"enu"},
    {L"BLANK", L"Windows XP"}, {L"QUOTE", L"a\"b"}, {L"EMPTY", L""},
    {L"NOTEPAD", L"x"},     {L"ORDER", L"y"},      {L"osversion", L"lower"},
    {L"UMLAUT", L"Gr\u00F6\u00DFe"},
    // Ordered as UTF-16: a surrogate pair (D83D DE00) sorts below U+FF5E.
    {L"EMOJI", sizeof(wchar_t) == 4 ? std::wstring(1, static_cast<wchar_t>(0x1F600))
                                    : std::wstring(L"\xD83D\xDE00")},
    {L"FULLWIDTH", L"\xFF5E"},
};

void ExpectCases(CExpressionParser* parser, const std::vector<ConditionCase>& cases,
                 const CMapStringToString& properties = kProperties) {
  for (const ConditionCase& row : cases) {
    EXPECT_EQ(Expected(row.outcome), Describe(parser, row.text, properties)) << row.text;
  }
}

class CExpressionParserTest : public ::testing::Test {
 protected:
  CFakeSystemFacts facts;
  CExpressionParser parser{facts};
};

}  // namespace

TEST_F(CExpressionParserTest, OperatorsPrecedenceAndAssociativity) {
  ExpectCases(&parser, {
      {L"TRUE OR FALSE", Yes},        {L"FALSE OR FALSE", No},       {L"0 OR 1", Yes},
      {L"FALSE OR \"x\"", Failure},   {L"TRUE AND TRUE", Yes},       {L"TRUE AND FALSE", No},
      {L"1 AND 2", Yes},              {L"\"TRUE\" AND \"FALSE\"", No},
      {L"1 == 1", Yes},               {L"1 == 2", No},               {L"1 != 2", Yes},
      {L"2 != 2", No},                {L"1 << 2", Yes},              {L"2 << 1", No},
      {L"2 >> 1", Yes},               {L"1 >> 1", No},               {L"2 <= 2", Yes},
      {L"3 <= 2", No},                {L"2 >= 2", Yes},              {L"1 >= 2", No},
      {L"NOT 0", Yes},                {L"NOT 1", No},                {L"NOT (1 == 2)", Yes},
      // Every NOT toggles one flag: an even number leaves the value unconverted.
      {L"NOT NOT 7", Yes},            {L"NOT NOT 0", No},            {L"NOT \"abc\"", Failure},
      {L"NOT NOT \"abc\"", NotBoolean},
      // NOT binds tighter than comparison: (NOT {A}) == 1.
      {L"NOT {A} == 1", Failure},     {L"NOT {T} == FALSE", Yes},    {L"NOT ({A} == 1)", No},
      {L"NOT 0 == TRUE", Yes},
      // OR < AND < equality < relational.
      {L"TRUE OR FALSE AND FALSE", Yes}, {L"FALSE AND FALSE OR TRUE", Yes},
      {L"1 == 1 AND 2 == 2", Yes},    {L"1 << 2 == TRUE", Yes},      {L"(1 << 2) == TRUE", Yes},
      {L"1 << (2 == TRUE)", No},
      // Left-associative: (1 << 2) << 3 compares TRUE with 3 as booleans.
      {L"1 << 2 << 3", No},           {L"3 >> 2 >> 1", No},          {L"1 == 2 == FALSE", Yes},
      {L"2 != 2 != TRUE", Yes},
  });
}

TEST_F(CExpressionParserTest, LiteralsAndConversions) {
  ExpectCases(&parser, {
      {L"5", Yes},                    {L"0", No},                    {L"TRUE", Yes},
      {L"FALSE", No},                 {L"429496728 == 429496728", Yes},
      {L"429496729 == 1", SyntaxError},
      {L"5.1 == 5.1", Yes},           {L".5 == 0.5", Yes},           {L"5. == 5", Yes},
      {L"1e2 == 100", Yes},           {L"2.5E-1 == .25", Yes},       {L"0.0", No},
      {L"1.5e == 1.5", SyntaxError},
      // The right operand's kind decides ==: 1e29 has no integer form.
      {L"5 == 1e29", No},             {L"1e29 == 5", No},            {L"1e29 != 5", No},
      {L"\"TRUE\"", Yes},             {L"\"FALSE\"", No},            {L"\"true\"", NotBoolean},
      {L"\"1\"", NotBoolean},         {L"'x' == \"x\"", Yes},
      {L"\"Windows XP\" == {BLANK}", Yes}, {L"'a\"b' == {QUOTE}", Yes},
      {L"\"\" == {EMPTY}", Yes},      {L"\"abc", SyntaxError},
      {L"\"Gr\u00F6\u00DFe\" == {UMLAUT}", Yes},
      {L"{SETUPLANG} == \"ENU\"", Yes}, {L"{LOWER} == \"ENU\"", No},
      // A property is a string: the other side converts to its kind or not.
      {L"{A} == 1", Yes},             {L"1 == {A}", Yes},            {L"{A}", NotBoolean},
      {L"{T}", Yes},
      {L"{P} >= 5", No},              {L"5 <= {P}", Yes},            {L"{P} << 5", Yes},
      {L"{SIX} == 6.0", No},          {L"{SIX} != 6.0", No},         {L"{SIX} == 6", Yes},
      {L"{V} == 5.1", Yes},           {L"{V} == 5", Yes},            {L"{NUMBERS} == 12", Yes},
      {L"{NEGATIVE} == 5", No},       {L"5.1 == \"5.1\"", Yes},      {L"64 == \"64\"", Yes},
      {L"TRUE == \"TRUE\"", Yes},     {L"TRUE == \"1\"", No},
      {L"{EMOJI} << {FULLWIDTH}", Yes},
  });
}

TEST_F(CExpressionParserTest, NamesMissingPropertiesAndSyntax) {
  ExpectCases(&parser, {
      {L"{MISSING} == 1", Failure},   {L"TRUE OR {MISSING}", Failure},
      {L"{MISSING} OR TRUE", Failure}, {L"{osversion} == \"lower\"", Yes},
      {L"{NOTEPAD} == \"x\"", Yes},   {L"{ORDER} == \"y\"", Yes},    {L"{Notepad} == \"x\"", Failure},
      {L"TRUEAND FALSE", SyntaxError}, {L"NOT(0)", Yes},
      {L"{P} >= -1", SyntaxError},    {L"(1 == 1", SyntaxError},     {L"1 == 1)", SyntaxError},
      {L"   ", SyntaxError},          {L"", SyntaxError},            {L"#", SyntaxError},
      {L"1 = 1", SyntaxError},        {L"1 < 2", SyntaxError},       {L"{}", SyntaxError},
      {L"{A", SyntaxError},           {L"1 == 1 == ", SyntaxError},  {L"AND", SyntaxError},
      {L"1 = = 1", Yes},              {L"1 2 == 12", Yes},           {L"  1 == 1  ", Yes},
      // Every name lexes as a variable first, so a function call cannot parse.
      {L"MSIPROP[\"A\"] == 1", SyntaxError}, {L"{Gr\u00F6\u00DFe} == 1", SyntaxError},
  });
}

TEST_F(CExpressionParserTest, LongNamesStringsAndDeepNesting) {
  std::wstring name(255, L'N');
  std::wstring value(100000, L'v');
  CMapStringToString properties = {{name, L"1"}, {name + L"N", L"1"}, {L"LONG", value}};
  std::wstring nested = std::wstring(150, L'(') + L"1" + std::wstring(150, L')');
  std::wstring tooDeep = std::wstring(300, L'(') + L"1" + std::wstring(300, L')');
  std::wstring chain = L"1";
  for (int i = 0; i < 2000; ++i) chain += L" == 1";
  ExpectCases(&parser, {
      {(L"{" + name + L"} == 1").c_str(), Yes},
      {(L"{" + name + L"N} == 1").c_str(), SyntaxError},
      {(L"\"" + value + L"\" == {LONG}").c_str(), Yes},
      {nested.c_str(), Yes},
      // Evaluating and freeing a tree recurse per level: very deep trees are refused.
      {tooDeep.c_str(), SyntaxError},
      {chain.c_str(), SyntaxError},
      {(std::wstring(100000, L'(')).c_str(), SyntaxError},
      {L"1 == 1", Yes},
  }, properties);
}

TEST_F(CExpressionParserTest, BuiltInVariablesOnTheDefaultMachine) {
  // 5.1 SP3 workstation, 64-bit Windows, English system, German user.
  ExpectCases(&parser, {
      {L"{OSVERSION} >= 5.1", Yes},   {L"{OSVERSION} == 5.1", Yes},  {L"{OSVERSION} << 5.2", Yes},
      {L"{OSVERSION} >> 5", Yes},     {L"{OSSERVICEPACK} == 3.0", Yes}, {L"{OSSERVICEPACK} == 3", Yes},
      {L"{OSSUBTYPE} == \"PRO\"", Yes}, {L"{ARCHITECTURE} == 64", Yes}, {L"{ARCHITECTURE} == \"64\"", Yes},
      {L"{SYSLANG} == \"ENU\"", Yes}, {L"{SYSLANGID} == 1033", Yes}, {L"{USERLANG} == \"DEU\"", Yes},
      {L"{USERLANGID} == 1031", Yes}, {L"{NEUTRALLANGID} == 7", Yes}, {L"{OSVERSION}", Yes},
      {L"{SYSLANG}", NotBoolean},
  });
  // Built-ins need no properties.
  ExpectCases(&parser, {{L"{OSVERSION} >= 5.1", Yes}, {L"{A} == 1", Failure}}, {});
}

TEST_F(CExpressionParserTest, BuiltInVariablesFollowTheFacts) {
  struct FactsCase {
    void (*pose)(CFakeSystemFacts*);
    std::vector<ConditionCase> cases;
  };
  const FactsCase kPoses[] = {
      {[](CFakeSystemFacts* f) { f->version = {6, 1, 1, 0, 0x100, true}; },
       {{L"{OSVERSION} == 6.1", Yes}, {L"{OSVERSION} >= 6.0", Yes}, {L"{OSSERVICEPACK} == 1.0", Yes}}},
      {[](CFakeSystemFacts* f) { f->version = {10, 0, 0, 0, 0, true}; },
       {{L"{OSVERSION} == 10.0", Yes}, {L"{OSVERSION} >= 6.1", Yes}, {L"{OSSERVICEPACK} == 0.0", Yes}}},
      {[](CFakeSystemFacts* f) { f->version = {5, 2, 2, 0, 0, true}; },
       {{L"{OSVERSION} == 5.2", Yes}, {L"{OSVERSION} >= 5.1", Yes}}},
      {[](CFakeSystemFacts* f) { f->version = {5, 1, 3, 0, 0x200, true}; },
       {{L"{OSSUBTYPE} == \"HOME\"", Yes}}},
      // The edition checks go home, server, media centre, in that order.
      {[](CFakeSystemFacts* f) {
         f->version.suiteMask = 0x200;
         f->productType = L"ServerNT";
         f->mediaCenter = true;
       },
       {{L"{OSSUBTYPE} == \"HOME\"", Yes}}},
      {[](CFakeSystemFacts* f) { f->productType = L"ServerNT"; f->mediaCenter = true; },
       {{L"{OSSUBTYPE} == \"SERVER\"", Yes}}},
      {[](CFakeSystemFacts* f) { f->productType = L"LanmanNT"; }, {{L"{OSSUBTYPE} == \"SERVER\"", Yes}}},
      {[](CFakeSystemFacts* f) { f->productType = L"servernt"; }, {{L"{OSSUBTYPE} == \"PRO\"", Yes}}},
      {[](CFakeSystemFacts* f) { f->mediaCenter = true; }, {{L"{OSSUBTYPE} == \"MCE\"", Yes}}},
      // A missing ProductType only means: not a server.
      {[](CFakeSystemFacts* f) { f->hasProductType = false; }, {{L"{OSSUBTYPE} == \"PRO\"", Yes}}},
      {[](CFakeSystemFacts* f) { f->wow64 = false; }, {{L"{ARCHITECTURE} == 32", Yes}}},
      {[](CFakeSystemFacts* f) { f->systemLanguage = 0x0C0A; f->userLanguage = 0x082C; },
       {{L"{SYSLANG} == \"ESN\"", Yes}, {L"{USERLANG} == \"AZE\"", Yes}, {L"{NEUTRALLANGID} == 44", Yes}}},
      // An unlisted language fails the condition; its id still reads.
      {[](CFakeSystemFacts* f) { f->systemLanguage = 0x0464; f->userLanguage = 0x0464; },
       {{L"{SYSLANG} == \"XXX\"", Failure}, {L"{USERLANG} == \"XXX\"", Failure},
        {L"{SYSLANGID} == 1124", Yes}, {L"{NEUTRALLANGID} == 100", Yes}}},
      {[](CFakeSystemFacts* f) { f->versionWorks = false; },
       {{L"{OSVERSION} >= 5.1", Failure}, {L"{OSSERVICEPACK} >= 0.0", Failure},
        {L"{OSSUBTYPE} == \"PRO\"", Yes}}},
      // Only the basic version query worked: no service pack, no suite mask.
      {[](CFakeSystemFacts* f) { f->version = {5, 1, 0, 0, 0x200, false}; },
       {{L"{OSVERSION} == 5.1", Yes}, {L"{OSSERVICEPACK} >= 0.0", Failure},
        {L"{OSSUBTYPE} == \"PRO\"", Yes}}},
  };
  for (const FactsCase& pose : kPoses) {
    CFakeSystemFacts posed;
    pose.pose(&posed);
    CExpressionParser posedParser(posed);
    ExpectCases(&posedParser, pose.cases);
  }
}

TEST_F(CExpressionParserTest, NullArgumentsAndMissingTablesSetTheirCodes) {
  bool result = true;
  CMapStringToString empty;
  EXPECT_FALSE(parser.Evaluate(L"1 == 1", &result, nullptr));
  EXPECT_EQ(2u, GetConditionLastError());
  EXPECT_FALSE(parser.Evaluate(L"1 == 1", nullptr, &empty));
  EXPECT_EQ(2u, GetConditionLastError());
  EXPECT_FALSE(parser.Evaluate(nullptr, &result, &empty));
  EXPECT_EQ(2u, GetConditionLastError());
  EXPECT_TRUE(result);  // untouched

  CExpressionParser noText(facts, [](std::wstring*) { return false; });
  EXPECT_EQ(nullptr, noText.GetEngine());
  EXPECT_FALSE(noText.Evaluate(L"1 == 1", &result, &empty));
  EXPECT_EQ(1u, GetConditionLastError());
  EXPECT_FALSE(noText.Evaluate(L"1 == 1", &result, nullptr));
  EXPECT_EQ(1u, GetConditionLastError());

  // A text that is no grammar builds no parser: every condition fails to parse.
  CExpressionParser badText(facts, [](std::wstring* out) {
    *out = L"22 x";
    return true;
  });
  EXPECT_FALSE(badText.Evaluate(L"1 == 1", &result, &empty));
  EXPECT_EQ(3u, GetConditionLastError());
}

// One failed condition never affects the next, whatever failed: the same
// condition then gives what a fresh parser gives.
TEST_F(CExpressionParserTest, FailureNeverAffectsTheNextCondition) {
  std::wstring tooDeep = std::wstring(300, L'(') + L"1" + std::wstring(300, L')');
  const ConditionCase kFailures[] = {
      {L"(1 == 1 AND", SyntaxError},      {L"((({A} == 1) OR", SyntaxError},
      {L"{A} == 1 AND NOT", SyntaxError}, {L"1 == 1 #", SyntaxError},
      {L"{MISSING} == 1", Failure},       {L"NOT \"abc\" AND 1", Failure},
      {L"\"x\"", NotBoolean},             {L"{SYSLANG}", NotBoolean},
      {tooDeep.c_str(), SyntaxError},
  };
  const ConditionCase kFollowing[] = {
      {L"{A} == 1 AND (2 >> 1 OR {P} == \"10\")", Yes}, {L"NOT NOT 0", No}, {L"{MISSING}", Failure},
  };
  for (const ConditionCase& failure : kFailures) {
    ExpectCases(&parser, {failure});
    for (const ConditionCase& following : kFollowing) {
      CExpressionParser fresh(facts);
      EXPECT_EQ(Describe(&fresh, following.text, kProperties),
                Describe(&parser, following.text, kProperties))
          << failure.text << " then " << following.text;
      ExpectCases(&parser, {following});
    }
  }
}

TEST_F(CExpressionParserTest, ExceptionDuringEvaluationIsErrorThreeAndRecovers) {
  facts.throwOnVersion = true;
  ExpectCases(&parser, {{L"(({OSVERSION} >= 5.1) AND {A} == 1)", Failure}});
  facts.throwOnVersion = false;
  ExpectCases(&parser, {{L"(({OSVERSION} >= 5.1) AND {A} == 1)", Yes}});
}

// An unreadable text stops after the token that did not fit, or before a
// character no token starts with; a text that parses has no stop.
TEST_F(CExpressionParserTest, StopPositionOfAnUnreadableText) {
  const std::pair<const wchar_t*, size_t> kCases[] = {
      {L"1 == == 2", 7}, {L"(1 == 1", 7}, {L"1 == #", 5}, {L"{MISSING} == 1", CExpressionParser::kParsed}};
  for (const auto& row : kCases) {
    bool result = false;
    parser.Evaluate(row.first, &result, &kProperties);
    EXPECT_EQ(row.second, parser.GetStopPosition()) << row.first;
  }
}
