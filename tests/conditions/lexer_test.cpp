// lexer_test.cpp: token streams of the condition lexer built from the
// program's grammar text, the number scanners on their own, and the readers
// of terminal definitions.
#include "conditions/lexer.h"

#include <memory>
#include <sstream>
#include <string>

#include "conditions/condition_platform.h"
#include "conditions/grammar.h"
#include "conditions/grammar_text.h"
#include "gtest/gtest.h"

namespace {

std::unique_ptr<tLexer> MakeConditionLexer() {
  std::wstring text;
  WriteGrammarText(&text);
  std::istringstream stream(ConditionTextToAnsi(text));
  int terminals = 0;
  int nonterminals = 0;
  stream >> terminals >> nonterminals;
  tProductionTable productions;
  EXPECT_TRUE(productions.Read(stream, terminals, nonterminals));
  return std::make_unique<tLexer>(stream);
}

// The tokens of `input` as one line: keywords as written, I:/D: numbers,
// S: strings, V:name#index for names, then END or ERR.
std::string Tokens(tLexer* lexer, const std::string& input) {
  static const char* const kNames[] = {"OR", "AND", "==", "!=", "<<", ">>", "<=", ">=",
                                       "(",  ")",   "{",  "}",  "[",  "]",  "NOT"};
  std::istringstream stream(input);
  std::string out;
  for (int guard = 0; guard < 100; ++guard) {
    std::unique_ptr<tToken> token = lexer->NextToken(stream);
    if (!out.empty()) out += ' ';
    if (!token) return out + "ERR";
    std::ostringstream item;
    switch (token->symbol) {
      case kEndSymbol: return out + "END";
      case 15: item << "D:" << token->real; break;
      case 16: item << "I:" << token->integer; break;
      case 17: item << "TRUE"; break;
      case 18: item << "FALSE"; break;
      case 19: item << "S:" << token->text; break;
      case 20: item << "V:" << token->text << '#' << token->index; break;
      case 21: item << "F:" << token->text << '#' << token->index; break;
      default: item << kNames[token->symbol]; break;
    }
    out += item.str();
  }
  return out + " ...";
}

struct LexerCase {
  const char* input;
  const char* tokens;
};

}  // namespace

TEST(LexerTest, ConditionTextGivesTheseTokens) {
  const LexerCase kCases[] = {
      {"{A}==1", "{ V:A#9 } == I:1 END"},
      {"{A} == 1", "{ V:A#9 } == I:1 END"},
      {"{ A } ==1", "{ V:A#9 } == I:1 END"},
      {"64 AND TRUE", "I:64 AND TRUE END"},
      {"1 OR NOT 0 != FALSE", "I:1 OR NOT I:0 != FALSE END"},
      {"<< >> <= >= [ ] ( )", "<< >> <= >= [ ] ( ) END"},
      // Quoted strings keep their blanks; the other quote is content.
      {"\"Windows XP\"", "S:Windows XP END"},
      {"'a\"b'", "S:a\"b END"},
      {"\"\"", "S: END"},
      {"\"abc", "ERR"},
      // Numbers.
      {"5.", "D:5 END"},
      {".5", "D:0.5 END"},
      {"5", "I:5 END"},
      {"429496728", "I:429496728 END"},
      {"429496729", "ERR"},
      {"4294967296", "ERR"},
      {"1e2", "D:100 END"},
      {"2.5E-1", "D:0.25 END"},
      {"1.5e", "D:1.5 V:e#9 END"},
      {"1e300", "D:1000 I:0 END"},
      {"1.2.3", "D:1.2 D:0.3 END"},
      {"1.214748364", "I:1 ERR"},
      {".", "ERR"},
      // Blanks are skipped inside keywords and numbers.
      {"1 2", "I:12 END"},
      {"= =", "== END"},
      // Keywords end at a word boundary.
      {"{NOTEPAD}", "{ V:NOTEPAD#9 } END"},
      {"{ORDER} {ANDX} {TRUEX}", "{ V:ORDER#9 } { V:ANDX#10 } { V:TRUEX#11 } END"},
      {"TRUEAND FALSE", "V:TRUEAND#9 FALSE END"},
      {"NOT(0)", "NOT ( I:0 ) END"},
      {"NOT.x OR1", "V:NOT.x#9 V:OR1#10 END"},
      {"{Notepad}", "{ V:Notepad#9 } END"},
      // Built-in names are case-sensitive; function names lex as variables.
      {"{OSVERSION} {osversion}", "{ V:OSVERSION#0 } { V:osversion#9 } END"},
      {"{NEUTRALLANGID} {A} {A}", "{ V:NEUTRALLANGID#8 } { V:A#9 } { V:A#9 } END"},
      {"MSIPROP[1]", "V:MSIPROP#9 [ I:1 ] END"},
      {"_a.b_1", "V:_a.b_1#9 END"},
      // No token, or the end after blanks.
      {"#", "ERR"},
      {"1 < 2", "I:1 ERR"},
      {"-1", "ERR"},
      {"   ", "END"},
      {"", "END"},
      {"1 \t\r\n", "I:1 END"},
      // Bytes above 0x7F have no class: they end a name and match nothing
      // outside quotes.
      {"{Gr\xF6\xDF" "e}", "{ V:Gr#9 ERR"},
      {"\x80", "ERR"},
      {"\"\xF6\"", "S:\xF6 END"},
  };
  for (const LexerCase& row : kCases) {
    std::unique_ptr<tLexer> lexer = MakeConditionLexer();
    EXPECT_EQ(row.tokens, Tokens(lexer.get(), row.input)) << row.input;
  }
}

TEST(LexerTest, LongNamesFailAndLongStringsWork) {
  std::unique_ptr<tLexer> lexer = MakeConditionLexer();
  std::string longest(255, 'N');
  EXPECT_EQ("V:" + longest + "#9 END", Tokens(lexer.get(), longest));
  EXPECT_EQ("ERR", Tokens(lexer.get(), longest + "N"));
  std::string text(100000, 'x');
  EXPECT_EQ("S:" + text + " END", Tokens(lexer.get(), "\"" + text + "\""));
}

TEST(LexerTest, VariablesTableKeepsEveryNewName) {
  std::unique_ptr<tLexer> lexer = MakeConditionLexer();
  Tokens(lexer.get(), "{B} {A} {B}");
  Tokens(lexer.get(), "{C}");
  const tSymbolTable* variables = lexer->GetSymbolTable("VARIABLES");
  ASSERT_NE(nullptr, variables);
  ASSERT_EQ(12u, variables->GetCount());
  EXPECT_EQ("OSVERSION", (*variables)[0]);
  EXPECT_EQ("B", (*variables)[9]);
  EXPECT_EQ("A", (*variables)[10]);
  EXPECT_EQ("C", (*variables)[11]);
}

TEST(LexerTest, NumberScannersReadThePrefixAndGiveBackTheRest) {
  std::istringstream integer("  12abc");
  std::unique_ptr<tToken> token = tLexer::ScanInteger(integer);
  ASSERT_NE(nullptr, token);
  EXPECT_EQ(12u, token->integer);
  EXPECT_EQ('a', integer.get());

  std::istringstream version("5.1.2600");
  token = tLexer::ScanDouble(version);
  ASSERT_NE(nullptr, token);
  EXPECT_DOUBLE_EQ(5.1, token->real);
  EXPECT_EQ('.', version.get());

  // A failing scanner leaves the stream where it was, blanks included.
  for (const char* text : {"  12 AND", "  -5", "  ", "  429496729"}) {
    std::istringstream stream(text);
    EXPECT_EQ(nullptr, tLexer::ScanDouble(stream)) << text;
    if (std::string(text) != "  12 AND") {
      EXPECT_EQ(nullptr, tLexer::ScanInteger(stream)) << text;
    }
    EXPECT_EQ(' ', stream.get()) << text;
  }
}

TEST(LexerTest, TerminalDefinitionsAreClassified) {
  const std::vector<tString> tables = {"VARIABLES", "FUNCTIONS"};
  struct DefinitionCase {
    const char* text;
    int kind;
    const char* pattern;  // kind 1: the pattern, or null for a quoted string
    char character;       // kind 0
    int table;            // kind 4
  };
  const DefinitionCase kCases[] = {
      {"\"OR\"", 1, "OR", 0, 0},         {"\"\"", 1, nullptr, 0, 0},
      {"string", 1, nullptr, 0, 0},      {"STRING", 1, nullptr, 0, 0},
      {"'('", 0, nullptr, '(', 0},       {"'\\n'", 0, nullptr, '\n', 0},
      {"'\\''", 0, nullptr, '\'', 0},    {"'\\\\'", 0, nullptr, '\\', 0},
      {"'\\101'", 0, nullptr, 'A', 0},   {"'\\x41'", 0, nullptr, 'A', 0},
      {"'\\X4F'", 0, nullptr, 'O', 0},   {"'\\x4F'", 6, nullptr, 0, 0},
      {"'\\q'", 6, nullptr, 0, 0},       {"'ab'", 6, nullptr, 0, 0},
      {"$", 5, nullptr, 0, 0},           {"integer", 2, nullptr, 0, 0},
      {"Double", 3, nullptr, 0, 0},      {"symbol:VARIABLES", 4, nullptr, 0, 0},
      {"SYMBOL:FUNCTIONS", 4, nullptr, 0, 1}, {"symbol:OTHER", 6, nullptr, 0, 0},
      {"symbol", 6, nullptr, 0, 0},      {"bogus", 6, nullptr, 0, 0},
      {"\"OR", 6, nullptr, 0, 0},        {"\"OR\"x", 6, nullptr, 0, 0},
  };
  for (const DefinitionCase& row : kCases) {
    tLexer::tTerminalDefinition definition = tLexer::ClassifyTerminal(row.text, tables);
    EXPECT_EQ(row.kind, definition.kind) << row.text;
    if (row.kind == 1) {
      EXPECT_EQ(row.pattern != nullptr, definition.hasPattern) << row.text;
      if (row.pattern) {
        EXPECT_EQ(row.pattern, definition.pattern) << row.text;
      }
    }
    if (row.kind == 0) {
      EXPECT_EQ(row.character, definition.character) << row.text;
    }
    if (row.kind == 4) {
      EXPECT_EQ(row.table, definition.table) << row.text;
    }
  }
}

TEST(LexerTest, BadLexerSectionLeavesNoDefinitions) {
  for (const char* section : {"2 0 \"a\" bogus", "1 1 T symbol:U 0", "1 0", "x", "2 1 T 'a' 'b' 2 X X"}) {
    std::istringstream grammar(section);
    tLexer lexer(grammar);
    EXPECT_EQ(0u, lexer.GetDefinitionCount()) << section;
    std::istringstream text("a");
    EXPECT_EQ(nullptr, lexer.NextToken(text)) << section;
  }
}

TEST(LexerTest, EndMarkerDefinitionStopsTheScan) {
  std::istringstream grammar("2 0 $ 'a'");
  tLexer lexer(grammar);
  ASSERT_EQ(2u, lexer.GetDefinitionCount());
  std::istringstream text("a");
  EXPECT_EQ(nullptr, lexer.NextToken(text));
}
