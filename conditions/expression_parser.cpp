// expression_parser.cpp: the reduce actions that build expression trees,
// table building at construction, and Evaluate with its last-error codes.
#include "conditions/expression_parser.h"

#include <sstream>
#include <string>
#include <vector>

#include "conditions/condition_platform.h"
#include "conditions/expression.h"
#include "conditions/function.h"
#include "conditions/grammar_text.h"
#include "conditions/literal.h"
#include "conditions/variable.h"

namespace {

// Evaluating and freeing a tree recurse once per level: a deeper tree could
// run out of stack, so such a condition fails to parse instead.
constexpr int kMaxTreeDepth = 1000;

using NodePtr = std::unique_ptr<CPrimaryExpression>;

NodePtr Take(tToken* token) {
  NodePtr node(static_cast<CPrimaryExpression*>(token->node));
  token->node = nullptr;
  return node;
}

bool Keep(tToken* result, NodePtr node) {
  if (!node || node->GetDepth() > kMaxTreeDepth) return false;
  result->node = node.release();
  return true;
}

const ISystemFacts* FactsOf(void* context) {
  return &static_cast<const CExpressionParser*>(context)->GetFacts();
}

bool PassOn(void*, tToken* const* rhs, tToken* result) { return Keep(result, Take(rhs[0])); }

bool PassOnInner(void*, tToken* const* rhs, tToken* result) { return Keep(result, Take(rhs[1])); }

bool OrAlone(void*, tToken* const* rhs, tToken* result) {
  return Keep(result, std::make_unique<CLogicalOrExpression>(Take(rhs[0])));
}

bool Or(void*, tToken* const* rhs, tToken* result) {
  auto node = std::make_unique<CLogicalOrExpression>(Take(rhs[2]), Take(rhs[0]));
  return Keep(result, std::move(node));
}

bool AndAlone(void*, tToken* const* rhs, tToken* result) {
  return Keep(result, std::make_unique<CLogicalAndExpression>(Take(rhs[0])));
}

bool And(void*, tToken* const* rhs, tToken* result) {
  auto node = std::make_unique<CLogicalAndExpression>(Take(rhs[2]), Take(rhs[0]));
  return Keep(result, std::move(node));
}

template <int kOperator>
bool Equality(void*, tToken* const* rhs, tToken* result) {
  if (kOperator == CEqualityExpression::kNone) {
    return Keep(result, std::make_unique<CEqualityExpression>(kOperator, Take(rhs[0])));
  }
  auto node = std::make_unique<CEqualityExpression>(kOperator, Take(rhs[2]), Take(rhs[0]));
  return Keep(result, std::move(node));
}

template <int kOperator>
bool Relational(void*, tToken* const* rhs, tToken* result) {
  if (kOperator == CRelationalExpression::kNone) {
    return Keep(result, std::make_unique<CRelationalExpression>(kOperator, Take(rhs[0])));
  }
  auto node = std::make_unique<CRelationalExpression>(kOperator, Take(rhs[2]), Take(rhs[0]));
  return Keep(result, std::move(node));
}

bool Unary(void*, tToken* const* rhs, tToken* result) {
  return Keep(result, std::make_unique<CUnaryExpression>(Take(rhs[0])));
}

// NOT unary: the marker toggles the unary node below, which passes on.
bool Negate(void*, tToken* const* rhs, tToken* result) {
  auto* unary = dynamic_cast<CUnaryExpression*>(static_cast<CPrimaryExpression*>(rhs[1]->node));
  if (!unary) return false;
  unary->ToggleNegation();
  return Keep(result, Take(rhs[1]));
}

bool NotMarker(void*, tToken* const*, tToken*) { return true; }

bool Variable(void* context, tToken* const* rhs, tToken* result) {
  auto node = std::make_unique<CVariable>(AnsiToConditionText(rhs[1]->text), rhs[1]->index,
                                          FactsOf(context));
  return Keep(result, std::move(node));
}

bool Function(void*, tToken* const* rhs, tToken* result) {
  NodePtr argument = Take(rhs[2]);
  auto* literal = dynamic_cast<CLiteral*>(argument.get());
  std::wstring text;
  if (!literal || !literal->ToString(&text)) return false;
  return Keep(result, std::make_unique<CFunction>(rhs[0]->index, text));
}

bool Integer(void*, tToken* const* rhs, tToken* result) {
  return Keep(result, std::make_unique<CLiteralInteger>(static_cast<int>(rhs[0]->integer)));
}

bool Decimal(void*, tToken* const* rhs, tToken* result) {
  return Keep(result, std::make_unique<CLiteralFloat>(static_cast<float>(rhs[0]->real)));
}

bool True(void*, tToken* const*, tToken* result) {
  return Keep(result, std::make_unique<CLiteralBoolean>(true));
}

bool False(void*, tToken* const*, tToken* result) {
  return Keep(result, std::make_unique<CLiteralBoolean>(false));
}

bool String(void*, tToken* const* rhs, tToken* result) {
  return Keep(result, std::make_unique<CLiteralString>(AnsiToConditionText(rhs[0]->text)));
}

// One per production, in production order.
const tReduceAction kActions[kConditionProductionCount] = {
    PassOn,                                                  // 0 condition := or
    OrAlone,          Or,                                    // 1, 2
    AndAlone,         And,                                   // 3, 4
    Equality<CEqualityExpression::kNone>,                    // 5
    Equality<CEqualityExpression::kEqual>,                   // 6 ==
    Equality<CEqualityExpression::kNotEqual>,                // 7 !=
    Relational<CRelationalExpression::kNone>,                // 8
    Relational<CRelationalExpression::kLess>,                // 9 <<
    Relational<CRelationalExpression::kGreater>,             // 10 >>
    Relational<CRelationalExpression::kLessOrEqual>,         // 11 <=
    Relational<CRelationalExpression::kGreaterOrEqual>,      // 12 >=
    Unary,            Negate,                                // 13, 14
    PassOn,           Variable,  PassOn,  PassOnInner,       // 15..18 primary
    Function,                                                // 19
    NotMarker,                                               // 20
    Integer,          Decimal,   True,    False,   String,   // 21..25 literal
};

void DeleteNode(tToken* token) {
  delete static_cast<CPrimaryExpression*>(token->node);
  token->node = nullptr;
}

// Per nonterminal 22..31; the not-marker (30) carries no value.
const tValueDeleter kDeleters[kConditionNonterminalCount] = {
    DeleteNode, DeleteNode, DeleteNode, DeleteNode, DeleteNode,
    DeleteNode, DeleteNode, DeleteNode, nullptr,    DeleteNode,
};

}  // namespace

CExpressionParser::CExpressionParser(const ISystemFacts& facts, GrammarWriter writeGrammar)
    : m_facts(facts) {
  try {
    std::wstring grammar;
    if (!writeGrammar || !writeGrammar(&grammar)) return;
    std::istringstream stream(ConditionTextToAnsi(grammar));
    m_engine = std::make_unique<tParseEngine>(
        stream, std::vector<tReduceAction>(std::begin(kActions), std::end(kActions)),
        std::vector<tValueDeleter>(std::begin(kDeleters), std::end(kDeleters)), this);
  } catch (...) {
    // Without tables every Evaluate reports error 1.
    m_engine.reset();
  }
}

CExpressionParser::~CExpressionParser() = default;

bool CExpressionParser::Evaluate(const wchar_t* text, bool* result,
                                 const CMapStringToString* properties) {
  uint32_t code = EvaluateCondition(text, result, properties);
  // Last, after every value and node is freed.
  SetConditionLastError(code);
  return code == kSuccess;
}

uint32_t CExpressionParser::EvaluateCondition(const wchar_t* text, bool* result,
                                              const CMapStringToString* properties) {
  m_stopPosition = kParsed;
  if (!m_engine) return kNoParseEngine;
  if (!text || !result || !properties) return kNullArgument;
  try {
    std::string ansi = ConditionTextToAnsi(text);
    std::istringstream stream(ansi);
    std::unique_ptr<tToken> root = m_engine->Parse(stream);
    if (!root) {
      // The lexer reads up to the token that did not fit, or to the end.
      stream.clear();
      std::streamoff read = stream.tellg();
      size_t stop = read < 0 || static_cast<size_t>(read) > ansi.size() ? ansi.size() : static_cast<size_t>(read);
      m_stopPosition = AnsiToConditionText(ansi.substr(0, stop)).size();
      return kEvaluationFailed;
    }
    NodePtr tree = Take(root.get());
    std::unique_ptr<CLiteral> value;
    if (!tree || !tree->Evaluate(&value, properties) || !value) return kEvaluationFailed;
    bool truth = false;
    if (!value->ToBoolean(&truth)) return kNotBoolean;
    *result = truth;
    return kSuccess;
  } catch (...) {
    // Whatever threw, the next condition starts from a clean parser.
    m_engine->Reset();
    return kEvaluationFailed;
  }
}
