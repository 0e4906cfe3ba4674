#pragma once
// expression_parser.h: evaluates one-line conditions from the setup
// configuration against a property map. The lexer and the LALR(1) tables are
// built from the grammar text when the object is made; it serves one thread
// at a time.

#include <cstdint>
#include <memory>
#include <string>

#include "conditions/grammar_text.h"
#include "conditions/parse_engine.h"
#include "conditions/system_facts.h"
#include "platform/string_map.h"

class CExpressionParser {
 public:
  // Last-error codes of Evaluate.
  enum : uint32_t {
    kSuccess = 0,
    kNoParseEngine = 1,
    kNullArgument = 2,
    kEvaluationFailed = 3,  // no parse, a missing property, a failed built-in, an exception
    kNotBoolean = 4,
  };

  using GrammarWriter = bool (*)(std::wstring* out);

  // Built-in variables read `facts`, which must outlive the parser. The
  // tables are built from the text `writeGrammar` gives (normally
  // WriteGrammarText); when it gives none, every Evaluate reports error 1.
  explicit CExpressionParser(const ISystemFacts& facts,
                             GrammarWriter writeGrammar = WriteGrammarText);
  virtual ~CExpressionParser();
  CExpressionParser(const CExpressionParser&) = delete;
  CExpressionParser& operator=(const CExpressionParser&) = delete;

  // True stores the condition's truth in *result. Always sets the thread's
  // last error (GetConditionLastError; on Windows also GetLastError) to one
  // of the codes above. An empty map is allowed; callers skip empty
  // conditions themselves.
  bool Evaluate(const wchar_t* text, bool* result, const CMapStringToString* properties);

  // Where the text of the last Evaluate stopped being read, in its
  // characters, when it could not be parsed; kParsed when it was (a failure
  // then came from evaluating it), or when it never reached the parser.
  static constexpr size_t kParsed = static_cast<size_t>(-1);
  size_t GetStopPosition() const { return m_stopPosition; }

  // Null when the tables could not be built.
  tParseEngine* GetEngine() const { return m_engine.get(); }
  const ISystemFacts& GetFacts() const { return m_facts; }

 private:
  uint32_t EvaluateCondition(const wchar_t* text, bool* result,
                             const CMapStringToString* properties);

  const ISystemFacts& m_facts;
  std::unique_ptr<tParseEngine> m_engine;
  size_t m_stopPosition = kParsed;
};
