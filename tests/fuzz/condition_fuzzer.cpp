// condition_fuzzer.cpp: libFuzzer target for CExpressionParser::Evaluate on
// arbitrary bytes with a small property map taken from the same input.
// Checks: no crash or leak (the sanitizers), the last error is one of the
// codes Evaluate may give with valid arguments, and a second evaluation of
// the same text gives what a freshly built parser gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "conditions/condition_platform.h"
#include "conditions/expression_parser.h"
#include "tests/conditions/fake_system_facts.h"
#include "platform/string_map.h"

namespace {

struct COutcome {
  bool ok;
  bool result;
  uint32_t error;
  bool operator==(const COutcome& other) const {
    return ok == other.ok && error == other.error && (!ok || result == other.result);
  }
};

COutcome Run(CExpressionParser* parser, const std::wstring& text,
             const CMapStringToString& properties) {
  COutcome outcome{};
  outcome.ok = parser->Evaluate(text.c_str(), &outcome.result, &properties);
  outcome.error = GetConditionLastError();
  return outcome;
}

void Check(bool condition) {
  if (!condition) abort();
}

// Bytes up to the first NUL become the condition; the rest, split at NULs,
// gives up to four property values named A, B, C and NOTEPAD.
void Split(const uint8_t* data, size_t size, std::wstring* text, CMapStringToString* properties) {
  static const wchar_t* const kNames[] = {L"A", L"B", L"C", L"NOTEPAD"};
  size_t i = 0;
  for (; i < size && data[i]; ++i) *text += static_cast<wchar_t>(data[i]);
  for (int name = 0; name < 4 && i < size; ++name) {
    std::wstring value;
    for (++i; i < size && data[i]; ++i) value += static_cast<wchar_t>(data[i]);
    (*properties)[kNames[name]] = value;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A user language the table lacks, so the failing lookups are reached too.
  static const CFakeSystemFacts facts = [] {
    CFakeSystemFacts fixed = CFakeSystemFacts::Windows7();
    fixed.userLanguage = 0x0464;
    return fixed;
  }();
  // One parser for the whole run, as in the program; rebuilt now and then so
  // that its table of names met stays small.
  static std::unique_ptr<CExpressionParser> parser;
  static unsigned runs = 0;
  if (!parser || ++runs % 10000 == 0) parser = std::make_unique<CExpressionParser>(facts);

  std::wstring text;
  CMapStringToString properties;
  Split(data, size, &text, &properties);

  COutcome first = Run(parser.get(), text, properties);
  Check(first.error == 0 || first.error == 3 || first.error == 4);
  Check(first.ok == (first.error == 0));
  COutcome second = Run(parser.get(), text, properties);
  Check(second == first);
  // A fresh parser is costly to build: compare with one every 64th input.
  if (runs % 64 == 0) {
    CExpressionParser fresh(facts);
    Check(Run(&fresh, text, properties) == first);
  }
  return 0;
}
