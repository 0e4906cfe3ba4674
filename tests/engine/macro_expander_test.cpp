// macro_expander_test.cpp: {Name} expansion from the two maps: inner macros
// first, values expanded again, literal text for what no map holds, and
// bounded work for self-reference, deep nesting and exponential growth.
#include "engine/macro_expander.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/wide_string.h"

namespace {

const MacroMap kReplacements = {
    {L"{SetupDir}", L"C:\\kit"},
    {L"{Both}", L"replacement"},
    {L"{Gone}", L""},
    {L"{NL}", L"\n"},
};

const MacroMap kProperties = {
    {L"lang", L"ENU"},
    {L"Key_ENU", L"x"},
    {L"Both", L"property"},
    {L"Folder", L"{SetupDir}\\sub"},
    {L"Nested", L"[{Folder}]"},
    {L"EmptyProperty", L""},
    {L"Brace", L"{"},
    {L"Self", L"<{Self}>"},
    {L"A", L"a{B}"},
    {L"B", L"b{A}"},
    {L"LoopName", L"Loop"},
    {L"Loop", L"{{LoopName}}"},
};

struct CExpansionCase {
  const wchar_t* text;
  const wchar_t* expanded;
  bool errorLogged;
};

const CExpansionCase kExpansions[] = {
    {L"", L"", false},
    {L"no macros", L"no macros", false},
    {L"{SetupDir}\\setup.ini", L"C:\\kit\\setup.ini", false},
    {L"{Unknown}", L"{Unknown}", false},
    {L"{", L"{", false},
    {L"a{b", L"a{b", false},
    {L"{abc", L"{abc", false},
    {L"}{", L"}{", false},
    {L"{}", L"{}", false},
    {L"{Key_{lang}}", L"x", false},
    {L"{Missing_{lang}} and {lang}", L"{Missing_ENU} and ENU", false},
    {L"{Open_{lang}", L"{Open_ENU", false},
    {L"{{SetupDir}}", L"{C:\\kit}", false},
    {L"{Folder}", L"C:\\kit\\sub", false},
    {L"{Nested}", L"[C:\\kit\\sub]", false},
    {L"{Both}", L"replacement", false},
    {L"<{Gone}{EmptyProperty}>", L"<>", false},
    {L"{setupdir}", L"{setupdir}", false},
    {L"{LANG}", L"{LANG}", false},
    {L"line{NL}next", L"line\nnext", false},
    // A value's literal brace is final text, not the start of a macro.
    {L"{Brace}SetupDir}", L"{SetupDir}", false},
    {L"{Self}", L"<{Self}>", true},
    {L"{A}", L"ab{A}", true},
    {L"{B}{A}", L"ba{B}ab{A}", true},
    {L"{Loop}", L"{Loop}", true},
};

class CMacroExpanderTest : public ::testing::Test {
 protected:
  std::wstring Expand(const std::wstring& text, const MacroMap& properties = kProperties) {
    CMacroExpander expander(kReplacements, properties,
                            [this](const std::wstring& message) { m_errors.push_back(message); });
    return expander.Expand(text);
  }
  std::vector<std::wstring> m_errors;
};

}  // namespace

TEST_F(CMacroExpanderTest, ExpandsFromTable) {
  for (const CExpansionCase& c : kExpansions) {
    m_errors.clear();
    EXPECT_EQ(c.expanded, Expand(c.text)) << WideToUtf8(c.text);
    EXPECT_EQ(c.errorLogged, !m_errors.empty()) << WideToUtf8(c.text);
  }
}

TEST_F(CMacroExpanderTest, SelfReferenceIsNamedInTheError) {
  Expand(L"{Self}");
  ASSERT_EQ(1u, m_errors.size());
  EXPECT_EQ(L"ERROR: The macro {Self} refers to itself; it is left unexpanded", m_errors[0]);
}

TEST_F(CMacroExpanderTest, ResolveMacroRewritesTheText) {
  struct Case {
    const wchar_t* text;
    bool found;
    const wchar_t* value;
    const wchar_t* rest;
  };
  const Case kCases[] = {
      {L"{SetupDir}\\tail", true, L"C:\\kit", L"\\tail"},
      {L"{Gone}tail", true, L"", L"tail"},
      {L"{Unknown_{lang}} tail", false, L"", L"{Unknown_ENU} tail"},
      {L"{unclosed {lang}", false, L"", L"{unclosed ENU"},
      {L"text {SetupDir}", false, L"", L"text {SetupDir}"},
      {L"", false, L"", L""},
  };
  for (const Case& c : kCases) {
    CMacroExpander expander(kReplacements, kProperties);
    std::wstring text = c.text;
    std::wstring value = L"stale";
    EXPECT_EQ(c.found, expander.ResolveMacro(&text, &value)) << WideToUtf8(c.text);
    EXPECT_EQ(c.value, value) << WideToUtf8(c.text);
    EXPECT_EQ(c.rest, text) << WideToUtf8(c.text);
  }
}

// A chain longer than the nesting bound ends with the rest left literal.
TEST_F(CMacroExpanderTest, LongChainStopsAtTheDepthBound) {
  MacroMap chain;
  for (int i = 0; i < 200; ++i) chain[Format(L"P%d", i)] = Format(L"{P%d}", i + 1);
  chain[L"P200"] = L"end";
  std::wstring result = Expand(L"{P0}", chain);
  EXPECT_NE(std::wstring::npos, result.find(L"{P")) << WideToUtf8(result);
  ASSERT_EQ(1u, m_errors.size());
  EXPECT_EQ(0u, m_errors[0].find(L"ERROR: Macros nest deeper than"));
}

TEST_F(CMacroExpanderTest, ManyOpeningBracesStayAsWritten) {
  std::wstring braces(10000, L'{');
  EXPECT_EQ(braces, Expand(braces));
  // Each unclosed brace nests the next one inside it, up to the bound.
  std::wstring mixed;
  for (int i = 0; i < 2000; ++i) mixed += L"{{lang}";
  std::wstring result = Expand(mixed);
  EXPECT_EQ(0u, result.find(L"{ENU{ENU{ENU"));
  EXPECT_LE(result.size(), mixed.size());
}

// Each level doubles the text: without a bound the expansion would need 2^40
// steps.
TEST_F(CMacroExpanderTest, ExponentialGrowthIsCutOff) {
  MacroMap doubling;
  for (int i = 0; i < 40; ++i) doubling[Format(L"L%d", i)] = Format(L"{L%d}{L%d}", i + 1, i + 1);
  doubling[L"L40"] = L"xy";
  std::wstring result = Expand(L"{L0}", doubling);
  EXPECT_LE(result.size(), CMacroExpander::kMaxLength + 1000);
  ASSERT_FALSE(m_errors.empty());
  EXPECT_EQ(0u, m_errors[0].find(L"ERROR: "));
}
