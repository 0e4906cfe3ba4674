// parser_generator_test.cpp: the LALR(1) tables built for the condition
// grammar and for textbook grammars with known automata, and the driver's
// recovery after syntax errors and after a reduce action throws.
#include "conditions/parse_engine.h"

#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

#include "conditions/condition_platform.h"
#include "conditions/grammar_text.h"
#include "gtest/gtest.h"

namespace {

std::unique_ptr<tParseEngine> MakeEngine(const std::string& grammar,
                                         std::vector<tReduceAction> actions = {},
                                         std::vector<tValueDeleter> deleters = {},
                                         void* context = nullptr) {
  std::istringstream stream(grammar);
  return std::make_unique<tParseEngine>(stream, std::move(actions), std::move(deleters), context);
}

bool Accepts(tParseEngine* engine, const std::string& text) {
  std::istringstream stream(text);
  return engine->Parse(stream) != nullptr;
}

const tMachineEntry* Entry(const tParser& parser, int state, int symbol) {
  for (const tMachineEntry& entry : parser.GetEntries(static_cast<size_t>(state))) {
    if (entry.symbol == symbol) return &entry;
  }
  return nullptr;
}

// Target of a shift or goto, or -1.
int Next(const tParser& parser, int state, int symbol) {
  const tMachineEntry* entry = Entry(parser, state, symbol);
  if (!entry || (entry->kind != tMachineEntry::kShift && entry->kind != tMachineEntry::kGoto)) {
    return -1;
  }
  return entry->target;
}

size_t CountConflicts(const tParser& parser) {
  size_t conflicts = 0;
  for (size_t state = 0; state < parser.GetStateCount(); ++state) {
    std::set<int> seen;
    for (const tMachineEntry& entry : parser.GetEntries(state)) {
      if (!seen.insert(entry.symbol).second) ++conflicts;
    }
  }
  return conflicts;
}

// S -> C C; C -> c C | d. Terminals c 0, d 1; S 2, C 3.
const char kTwoCGrammar[] = "2 2 3  0 2 2 3 3  1 3 2 0 3  2 3 1 1  2 0 'c' 'd'";
// S -> L = R | R; L -> * R | id; R -> L. Not SLR(1), but LALR(1).
// Terminals = 0, * 1, id 2; S 3, L 4, R 5.
const char kAssignmentGrammar[] =
    "3 3 5  0 3 3 4 0 5  1 3 1 5  2 4 2 1 5  3 4 1 2  4 5 1 4  3 1 IDS '=' '*' symbol:IDS 0";
// E -> E + T | T; T -> T * F | F; F -> ( E ) | id.
// Terminals + 0, * 1, ( 2, ) 3, id 4; E 5, T 6, F 7.
const char kExpressionGrammar[] =
    "5 3 6  0 5 3 5 0 6  1 5 1 6  2 6 3 6 1 7  3 6 1 7  4 7 3 2 5 3  5 7 1 4"
    "  5 1 IDS '+' '*' '(' ')' symbol:IDS 0";

}  // namespace

TEST(ParserGeneratorTest, ConditionGrammarTextIsTheKnownLine) {
  std::wstring text;
  ASSERT_TRUE(WriteGrammarText(&text));
  EXPECT_EQ(
      L"22 10 26 0 22 1 23 1 23 1 24 2 23 3 23 0 24 3 24 1 25 4 24 3 24 1 25 5 25 1 26 6 25 3 25 "
      L"2 26 7 25 3 25 3 26 8 26 1 27 9 26 3 26 4 27 10 26 3 26 5 27 11 26 3 26 6 27 12 26 3 26 "
      L"7 27 13 27 1 28 14 27 2 30 27 15 28 1 29 16 28 3 10 20 11 17 28 1 31 18 28 3 8 22 9 19 "
      L"31 4 21 12 29 13 20 30 1 14 21 29 1 16 22 29 1 15 23 29 1 17 24 29 1 18 25 29 1 19 22 2 "
      L"VARIABLES FUNCTIONS \"OR\" \"AND\" \"==\" \"!=\" \"<<\" \">>\" \"<=\" \">=\" '(' ')' '{' "
      L"'}' '[' ']' \"NOT\" double integer \"TRUE\" \"FALSE\" string symbol:VARIABLES "
      L"symbol:FUNCTIONS 9 OSVERSION OSSERVICEPACK OSSUBTYPE ARCHITECTURE SYSLANG SYSLANGID "
      L"USERLANG USERLANGID NEUTRALLANGID 2 MSIPROP DCFPROP",
      text);
  EXPECT_FALSE(WriteGrammarText(nullptr));
}

TEST(ParserGeneratorTest, ConditionGrammarHas44StatesWithoutConflicts) {
  std::wstring text;
  WriteGrammarText(&text);
  std::unique_ptr<tParseEngine> engine = MakeEngine(ConditionTextToAnsi(text));
  ASSERT_NE(nullptr, engine->GetParser());
  const tParser& parser = *engine->GetParser();
  EXPECT_EQ(44u, parser.GetStateCount());
  EXPECT_EQ(0u, CountConflicts(parser));

  size_t transitions = 0;
  size_t accepts = 0;
  std::set<int> reduced;
  for (size_t state = 0; state < parser.GetStateCount(); ++state) {
    for (const tMachineEntry& entry : parser.GetEntries(state)) {
      if (entry.kind == tMachineEntry::kShift || entry.kind == tMachineEntry::kGoto) ++transitions;
      if (entry.kind == tMachineEntry::kReduce) reduced.insert(entry.target);
      if (entry.kind == tMachineEntry::kAccept) {
        ++accepts;
        EXPECT_EQ(kEndSymbol, entry.symbol);
        EXPECT_EQ(static_cast<int>(state), Next(parser, 0, 22));
      }
    }
  }
  EXPECT_EQ(201u, transitions);
  EXPECT_EQ(1u, accepts);
  EXPECT_EQ(26u, reduced.size());  // every production is reachable
}

TEST(ParserGeneratorTest, TwoCGrammarHasSevenLalrStates) {
  std::unique_ptr<tParseEngine> engine = MakeEngine(kTwoCGrammar);
  ASSERT_NE(nullptr, engine->GetParser());
  const tParser& parser = *engine->GetParser();
  EXPECT_EQ(7u, parser.GetStateCount());
  EXPECT_EQ(0u, CountConflicts(parser));
  // The LR(1) states after c and after d, which differ only in lookaheads,
  // are merged: c loops on one state from both places it is read.
  int afterC = Next(parser, 0, 0);
  ASSERT_GE(afterC, 0);
  EXPECT_EQ(afterC, Next(parser, afterC, 0));
  EXPECT_EQ(afterC, Next(parser, Next(parser, 0, 3), 0));
  int afterD = Next(parser, afterC, 1);
  EXPECT_EQ(afterD, Next(parser, 0, 1));
  for (int lookahead : {0, 1, kEndSymbol}) {
    const tMachineEntry* entry = Entry(parser, afterD, lookahead);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(tMachineEntry::kReduce, entry->kind);
    EXPECT_EQ(2, entry->target);  // C -> d
  }
  const tMachineEntry* accept = Entry(parser, Next(parser, 0, 2), kEndSymbol);
  ASSERT_NE(nullptr, accept);
  EXPECT_EQ(tMachineEntry::kAccept, accept->kind);

  for (const char* text : {"dd", "cdd", "dcd", "ccdcccd", "c d d"}) {
    EXPECT_TRUE(Accepts(engine.get(), text)) << text;
  }
  for (const char* text : {"", "d", "cd", "ddd", "c", "dx"}) {
    EXPECT_FALSE(Accepts(engine.get(), text)) << text;
  }
}

TEST(ParserGeneratorTest, AssignmentGrammarReducesOnlyOnItsLookahead) {
  std::unique_ptr<tParseEngine> engine = MakeEngine(kAssignmentGrammar);
  ASSERT_NE(nullptr, engine->GetParser());
  const tParser& parser = *engine->GetParser();
  EXPECT_EQ(10u, parser.GetStateCount());
  EXPECT_EQ(0u, CountConflicts(parser));
  // After L: shift on '=' and reduce R -> L only at the end, where an SLR
  // table would also reduce on '='.
  int afterL = Next(parser, 0, 4);
  ASSERT_GE(afterL, 0);
  ASSERT_NE(nullptr, Entry(parser, afterL, 0));
  EXPECT_EQ(tMachineEntry::kShift, Entry(parser, afterL, 0)->kind);
  ASSERT_NE(nullptr, Entry(parser, afterL, kEndSymbol));
  EXPECT_EQ(tMachineEntry::kReduce, Entry(parser, afterL, kEndSymbol)->kind);
  EXPECT_EQ(4, Entry(parser, afterL, kEndSymbol)->target);

  for (const char* text : {"x = *y", "*x", "**p = q", "x"}) {
    EXPECT_TRUE(Accepts(engine.get(), text)) << text;
  }
  for (const char* text : {"x = y = z", "= x", "x *", "x = "}) {
    EXPECT_FALSE(Accepts(engine.get(), text)) << text;
  }
}

TEST(ParserGeneratorTest, GrammarsWithEmptyAndLeftRecursiveParts) {
  // S -> A b; A -> a A | (empty): a*b.
  std::unique_ptr<tParseEngine> repeat = MakeEngine("2 2 3  0 2 2 3 1  1 3 2 0 3  2 3 0  2 0 'a' 'b'");
  ASSERT_NE(nullptr, repeat->GetParser());
  EXPECT_EQ(0u, CountConflicts(*repeat->GetParser()));
  for (const char* text : {"b", "ab", "aaab"}) EXPECT_TRUE(Accepts(repeat.get(), text)) << text;
  for (const char* text : {"", "a", "ba", "abb"}) EXPECT_FALSE(Accepts(repeat.get(), text)) << text;

  // S -> A L; A -> a; L -> L x | x: closing S needs FIRST of the
  // left-recursive L.
  std::unique_ptr<tParseEngine> list =
      MakeEngine("2 3 4  0 2 2 3 4  1 3 1 0  2 4 2 4 1  3 4 1 1  2 0 'a' 'x'");
  ASSERT_NE(nullptr, list->GetParser());
  for (const char* text : {"ax", "axxx"}) EXPECT_TRUE(Accepts(list.get(), text)) << text;
  for (const char* text : {"a", "x", "axa"}) EXPECT_FALSE(Accepts(list.get(), text)) << text;
}

TEST(ParserGeneratorTest, UnreadableGrammarTextGivesNoParser) {
  const char* const kTexts[] = {
      "",
      "x",
      "0 1 1 0 1 0",                               // no terminals
      "2 2 1 1 2 1 0 2 0 'a' 'b'",                 // production index is not its position
      "2 2 1 0 1 1 0 2 0 'a' 'b'",                 // left-hand symbol is a terminal
      "2 2 1 0 2 1 9 2 0 'a' 'b'",                 // symbol out of range
      "2 2 2 0 2 1 0",                             // fewer productions than counted
      "70000 2 1 0 70000 1 0",                     // symbols reach the reserved numbers
      "2 2 1 0 2 1 0 3 0 'a' 'b' 'c'",             // the lexer defines other terminals
  };
  for (const char* text : kTexts) {
    std::unique_ptr<tParseEngine> engine = MakeEngine(text);
    EXPECT_EQ(nullptr, engine->GetParser()) << text;
    EXPECT_FALSE(Accepts(engine.get(), "a")) << text;
  }
}

namespace {

// Values of the expression grammar: postfix text on the heap, counted so a
// test can tell that every one was freed.
struct PostfixContext {
  int live = 0;
  std::string boom;
};

std::string* NewText(void* context, std::string text) {
  ++static_cast<PostfixContext*>(context)->live;
  return new std::string(std::move(text));
}

std::string TakeText(void* context, tToken* token) {
  std::unique_ptr<std::string> text(static_cast<std::string*>(token->node));
  token->node = nullptr;
  --static_cast<PostfixContext*>(context)->live;
  return *text;
}

PostfixContext* g_deleterContext = nullptr;

void DeleteText(tToken* token) {
  delete static_cast<std::string*>(token->node);
  token->node = nullptr;
  --g_deleterContext->live;
}

bool Binary(void* context, tToken* const* rhs, tToken* result) {
  std::string left = TakeText(context, rhs[0]);
  std::string right = TakeText(context, rhs[2]);
  result->node = NewText(context, left + " " + right + " " + (rhs[1]->symbol == 0 ? "+" : "*"));
  return true;
}

bool Single(void* context, tToken* const* rhs, tToken* result) {
  result->node = NewText(context, TakeText(context, rhs[0]));
  return true;
}

bool Inner(void* context, tToken* const* rhs, tToken* result) {
  result->node = NewText(context, TakeText(context, rhs[1]));
  return true;
}

bool Name(void* context, tToken* const* rhs, tToken* result) {
  if (rhs[0]->text == static_cast<PostfixContext*>(context)->boom) {
    throw std::runtime_error("reduce action failed");
  }
  result->node = NewText(context, rhs[0]->text);
  return true;
}

class PostfixEngine {
 public:
  PostfixEngine() {
    g_deleterContext = &context;
    engine = MakeEngine(kExpressionGrammar, {Binary, Single, Binary, Single, Inner, Name},
                        {DeleteText, DeleteText, DeleteText}, &context);
  }
  std::string Parse(const std::string& text) {
    std::istringstream stream(text);
    std::unique_ptr<tToken> root = engine->Parse(stream);
    if (!root) return "(no parse)";
    return TakeText(&context, root.get());
  }

  PostfixContext context;
  std::unique_ptr<tParseEngine> engine;
};

}  // namespace

TEST(ParserGeneratorTest, ExpressionGrammarBuildsValuesLeftToRight) {
  PostfixEngine postfix;
  ASSERT_NE(nullptr, postfix.engine->GetParser());
  EXPECT_EQ(12u, postfix.engine->GetParser()->GetStateCount());
  EXPECT_EQ(0u, CountConflicts(*postfix.engine->GetParser()));
  EXPECT_EQ("a b c d + * +", postfix.Parse("a + b * (c + d)"));
  EXPECT_EQ("a b + c +", postfix.Parse("a + b + c"));
  EXPECT_EQ("a b * c +", postfix.Parse("a * b + c"));
  EXPECT_EQ(0, postfix.context.live);
}

// A failed parse, whatever failed, frees the values built so far and leaves
// the parser ready: the next text parses as on a fresh parser.
TEST(ParserGeneratorTest, FailedParseLeavesNothingBehind) {
  PostfixEngine postfix;
  postfix.context.boom = "boom";
  for (const char* bad : {"a + (b * c", "a + b)", "a + + b", "(a * b) #", "a * (b + c) d"}) {
    EXPECT_EQ("(no parse)", postfix.Parse(bad)) << bad;
    EXPECT_EQ(0, postfix.context.live) << bad;
    EXPECT_EQ("x y *", postfix.Parse("x * y")) << bad;
  }
  // An exception in a reduce action, with values on the stack below it.
  for (const char* bad : {"(a + b) * (c + boom)", "boom", "a * b + boom"}) {
    std::istringstream stream(bad);
    EXPECT_THROW(postfix.engine->Parse(stream), std::runtime_error) << bad;
    EXPECT_EQ(0, postfix.context.live) << bad;
    EXPECT_EQ("x y *", postfix.Parse("x * y")) << bad;
  }
  EXPECT_EQ(0, postfix.context.live);
}
