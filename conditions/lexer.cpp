// lexer.cpp: reads terminal definitions from the grammar text and scans
// condition text into tokens, trying the definitions in terminal order.
#include "conditions/lexer.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace {

constexpr uint32_t kIntegerLimit = 429496729;   // value must stay below after each digit
constexpr uint32_t kFractionLimit = 214748364;  // fraction digits, read as an integer
constexpr int kExponentDigitLimit = 3;           // a further digit only while below this

std::array<uint32_t, 128> MakeClassTable() {
  std::array<uint32_t, 128> table{};
  for (int c = 0x21; c <= 0x7E; ++c) {
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    bool digit = c >= '0' && c <= '9';
    if (letter || digit || c == '_') table[c] |= kClassAlphanumeric;
    if (digit) table[c] |= kClassDigit;
    if (!letter && !digit) table[c] |= kClassPunctuation;
    if (c == '.') table[c] |= kClassFullStop;
  }
  return table;
}

const std::array<uint32_t, 128> kClassTable = MakeClassTable();

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

bool IsIdentifierStart(int c) {
  return (GetCharacterClass(c) & kClassAlphanumeric) && !IsDigit(c);
}

bool IsIdentifierChar(int c) {
  return (GetCharacterClass(c) & (kClassAlphanumeric | kClassFullStop)) != 0;
}

// A read that hit the end leaves the stream failed, and a failed stream
// cannot tell its position: clear first.
std::streampos Tell(std::istream& stream) {
  stream.clear();
  return stream.tellg();
}

void Restore(std::istream& stream, std::streampos position) {
  stream.clear();
  stream.seekg(position);
}

// One character after skipping blanks (the stream's default formatting), or EOF.
int ReadSkipping(std::istream& stream) {
  char c = 0;
  if (!(stream >> c)) return EOF;
  return static_cast<unsigned char>(c);
}

std::unique_ptr<tToken> Fail(std::istream& stream, std::streampos start) {
  Restore(stream, start);
  return nullptr;
}

// Letters, digits, underscores and full stops after a letter or underscore,
// read without skipping; false for no identifier or one that is too long.
bool ReadIdentifier(std::istream& stream, tString* name) {
  stream >> std::ws;
  stream.clear();
  int c = stream.peek();
  if (!IsIdentifierStart(c)) return false;
  name->clear();
  while (IsIdentifierChar(c)) {
    stream.get();
    *name += static_cast<char>(c);
    if (name->size() > tLexer::kMaxIdentifierLength) return false;
    c = stream.peek();
  }
  return true;
}

bool ReadUnsignedInteger(std::istream& stream, uint32_t* value) {
  int c = ReadSkipping(stream);
  if (!IsDigit(c)) return false;
  uint32_t number = 0;
  for (;;) {
    number = number * 10 + static_cast<uint32_t>(c - '0');
    if (number >= kIntegerLimit) return false;
    std::streampos beforeNext = Tell(stream);
    c = ReadSkipping(stream);
    if (!IsDigit(c)) {
      Restore(stream, beforeNext);
      break;
    }
  }
  *value = number;
  return true;
}

// Exponent after the mantissa: e or E, an optional sign, at least one digit.
// Without digits the letter is given back and the number ends before it.
bool ReadExponent(std::istream& stream, int* exponent) {
  std::streampos start = Tell(stream);
  int c = ReadSkipping(stream);
  if (c != 'e' && c != 'E') return Restore(stream, start), false;
  c = ReadSkipping(stream);
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    c = ReadSkipping(stream);
  }
  if (!IsDigit(c)) return Restore(stream, start), false;
  int value = c - '0';
  while (value < kExponentDigitLimit) {
    std::streampos beforeNext = Tell(stream);
    c = ReadSkipping(stream);
    if (!IsDigit(c)) {
      Restore(stream, beforeNext);
      break;
    }
    value = value * 10 + (c - '0');
  }
  *exponent = negative ? -value : value;
  return true;
}

bool ReadDecimal(std::istream& stream, double* value) {
  int c = ReadSkipping(stream);
  if (!IsDigit(c) && c != '.') return false;
  bool anyDigit = false;
  uint32_t integerPart = 0;
  std::streampos beforeNext = 0;
  while (IsDigit(c)) {
    integerPart = integerPart * 10 + static_cast<uint32_t>(c - '0');
    if (integerPart >= kIntegerLimit) return false;
    anyDigit = true;
    beforeNext = Tell(stream);
    c = ReadSkipping(stream);
  }
  bool fullStop = c == '.';
  uint32_t fraction = 0;
  int fractionDigits = 0;
  if (fullStop) {
    beforeNext = Tell(stream);
    c = ReadSkipping(stream);
    while (IsDigit(c)) {
      fraction = fraction * 10 + static_cast<uint32_t>(c - '0');
      if (fraction >= kFractionLimit) return false;
      ++fractionDigits;
      anyDigit = true;
      beforeNext = Tell(stream);
      c = ReadSkipping(stream);
    }
  }
  Restore(stream, beforeNext);
  int exponent = 0;
  bool hasExponent = ReadExponent(stream, &exponent);
  // A lone full stop is no number.
  if (!anyDigit || (!fullStop && !hasExponent)) return false;
  double mantissa = integerPart + fraction / std::pow(10.0, fractionDigits);
  *value = mantissa * std::pow(10.0, exponent);
  return true;
}

bool CanBeginWith(const tLexer::tTerminalDefinition& definition, int first) {
  switch (definition.kind) {
    case tLexer::kCharacter: return first == static_cast<unsigned char>(definition.character);
    case tLexer::kText:
      if (!definition.hasPattern) return first == '"' || first == '\'';
      return !definition.pattern.empty() &&
             first == static_cast<unsigned char>(definition.pattern[0]);
    case tLexer::kInteger: return IsDigit(first);
    case tLexer::kDecimal: return IsDigit(first) || first == '.';
    case tLexer::kSymbol: return IsIdentifierStart(first);
    default: return true;  // an end marker or invalid definition must still stop the scan
  }
}

}  // namespace

uint32_t GetCharacterClass(int character) {
  if (character < 0 || character >= 128) return 0;
  return kClassTable[static_cast<size_t>(character)];
}

int tSymbolTable::Lookup(const tString& name) {
  auto found = m_index.find(name);
  if (found != m_index.end()) return found->second;
  int index = static_cast<int>(GetCount());
  Append(name);
  m_index.emplace(name, index);
  return index;
}

std::unique_ptr<tToken> tLexer::ScanChar(std::istream& stream, char character) {
  std::streampos start = Tell(stream);
  if (ReadSkipping(stream) != static_cast<unsigned char>(character)) return Fail(stream, start);
  auto token = std::make_unique<tToken>();
  token->character = character;
  return token;
}

std::unique_ptr<tToken> tLexer::ScanText(std::istream& stream, const tString* pattern) {
  std::streampos start = Tell(stream);
  auto token = std::make_unique<tToken>();
  if (!pattern) {
    // Quoted string: the content keeps its blanks and has no escapes.
    int quote = ReadSkipping(stream);
    if (quote != '"' && quote != '\'') return Fail(stream, start);
    for (int c = stream.get(); c != quote; c = stream.get()) {
      if (c == EOF) return Fail(stream, start);
      token->text += static_cast<char>(c);
    }
    return token;
  }
  if (pattern->empty()) return Fail(stream, start);
  for (char expected : *pattern) {
    if (ReadSkipping(stream) != static_cast<unsigned char>(expected)) return Fail(stream, start);
  }
  // A keyword ends at a word boundary, so {NOTEPAD} is a name and not NOT.
  if (IsIdentifierChar(static_cast<unsigned char>(pattern->back())) &&
      IsIdentifierChar(stream.peek())) {
    return Fail(stream, start);
  }
  token->text = *pattern;
  return token;
}

std::unique_ptr<tToken> tLexer::ScanInteger(std::istream& stream) {
  std::streampos start = Tell(stream);
  uint32_t value = 0;
  if (!ReadUnsignedInteger(stream, &value)) return Fail(stream, start);
  auto token = std::make_unique<tToken>();
  token->integer = value;
  return token;
}

std::unique_ptr<tToken> tLexer::ScanDouble(std::istream& stream) {
  std::streampos start = Tell(stream);
  double value = 0;
  if (!ReadDecimal(stream, &value)) return Fail(stream, start);
  auto token = std::make_unique<tToken>();
  token->real = value;
  return token;
}

std::unique_ptr<tToken> tLexer::ScanSymbol(std::istream& stream, int table) {
  std::streampos start = Tell(stream);
  tString name;
  if (table < 0 || static_cast<size_t>(table) >= m_tables.size() ||
      !ReadIdentifier(stream, &name)) {
    return Fail(stream, start);
  }
  auto token = std::make_unique<tToken>();
  token->index = m_tables[static_cast<size_t>(table)].Lookup(name);
  token->text = std::move(name);
  return token;
}

std::unique_ptr<tToken> tLexer::NextToken(std::istream& stream) {
  // Every scanner skips the blanks first: skip them once, and try only the
  // definitions that can begin with the character after them.
  Restore(stream, Tell(stream));
  stream >> std::ws;
  int first = stream.peek();
  for (size_t i = 0; i < m_definitions.size(); ++i) {
    const tTerminalDefinition& definition = m_definitions[i];
    if (!CanBeginWith(definition, first)) continue;
    std::unique_ptr<tToken> token;
    switch (definition.kind) {
      case kCharacter: token = ScanChar(stream, definition.character); break;
      case kText: token = ScanText(stream, definition.hasPattern ? &definition.pattern : nullptr); break;
      case kInteger: token = ScanInteger(stream); break;
      case kDecimal: token = ScanDouble(stream); break;
      case kSymbol: token = ScanSymbol(stream, definition.table); break;
      default: return nullptr;  // an end marker or invalid definition ends the scan
    }
    if (token) {
      token->symbol = static_cast<int>(i);
      return token;
    }
  }
  // Trailing blanks still mean the end.
  if (first != EOF) return nullptr;
  auto end = std::make_unique<tToken>();
  end->symbol = kEndSymbol;
  return end;
}

const tSymbolTable* tLexer::GetSymbolTable(const tString& name) const {
  for (size_t i = 0; i < m_tableNames.size(); ++i) {
    if (m_tableNames[i] == name) return &m_tables[i];
  }
  return nullptr;
}

tLexer::tLexer(std::istream& grammar) {
  if (!ReadGrammar(grammar)) {
    m_definitions.clear();
    m_tableNames.clear();
    m_tables.clear();
  }
}

// The lexer section: terminal count, table names (count, names), one
// definition per terminal, then per table its names (count, names).
bool tLexer::ReadGrammar(std::istream& grammar) {
  int terminalCount = 0;
  int tableCount = 0;
  if (!(grammar >> terminalCount) || terminalCount < 0) return false;
  if (!(grammar >> tableCount) || tableCount < 0) return false;
  for (int i = 0; i < tableCount; ++i) {
    tString name;
    if (!ReadIdentifier(grammar, &name)) return false;
    m_tableNames.push_back(name);
  }
  m_tables.resize(m_tableNames.size());
  for (int i = 0; i < terminalCount; ++i) {
    grammar >> std::ws;
    tString text;
    for (int c = grammar.peek();
         GetCharacterClass(c) & (kClassAlphanumeric | kClassPunctuation); c = grammar.peek()) {
      text += static_cast<char>(grammar.get());
    }
    tTerminalDefinition definition = ClassifyTerminal(text, m_tableNames);
    if (definition.kind == kInvalid) return false;
    m_definitions.push_back(definition);
  }
  for (tSymbolTable& table : m_tables) {
    int count = 0;
    if (!(grammar >> count) || count < 0) return false;
    for (int i = 0; i < count; ++i) {
      tString name;
      if (!ReadIdentifier(grammar, &name)) return false;
      // A repeated name would shift the indices of the names after it.
      if (table.Lookup(name) != i) return false;
    }
  }
  return true;
}

tLexer::tTerminalDefinition tLexer::ClassifyTerminal(const tString& definition,
                                                     const std::vector<tString>& tableNames) {
  tTerminalDefinition result;
  if (definition.empty()) return result;
  auto startsWithNoCase = [&definition](const char* word) {
    size_t i = 0;
    for (; word[i]; ++i) {
      if (i >= definition.size()) return false;
      char c = definition[i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != word[i]) return false;
    }
    return true;
  };
  if (definition[0] == '"') {
    if (!ParseQuotedPattern(definition, &result)) result.kind = kInvalid;
  } else if (definition[0] == '\'') {
    if (ReadCharLiteral(definition, &result.character)) result.kind = kCharacter;
  } else if (definition[0] == '$') {
    result.kind = kEndMarker;
  } else if (startsWithNoCase("INTEGER")) {
    result.kind = kInteger;
  } else if (startsWithNoCase("DOUBLE")) {
    result.kind = kDecimal;
  } else if (startsWithNoCase("STRING")) {
    result.kind = kText;
  } else if (startsWithNoCase("SYMBOL")) {
    result.table = ParseSymbolTableName(definition, tableNames);
    if (result.table >= 0) result.kind = kSymbol;
  }
  return result;
}

// "text": a literal text; "" stands for a quoted string.
bool tLexer::ParseQuotedPattern(const tString& text, tTerminalDefinition* definition) {
  size_t close = text.find('"', 1);
  if (text.empty() || text[0] != '"' || close != text.size() - 1) return false;
  definition->kind = kText;
  definition->pattern = text.substr(1, close - 1);
  definition->hasPattern = !definition->pattern.empty();
  return true;
}

// SYMBOL:name; the index of the named table, or -1.
int tLexer::ParseSymbolTableName(const tString& text, const std::vector<tString>& tableNames) {
  const size_t kWordLength = 6;  // SYMBOL
  size_t i = kWordLength;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i >= text.size() || text[i] != ':') return -1;
  ++i;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  tString name = text.substr(i < text.size() ? i : text.size());
  for (size_t k = 0; k < tableNames.size(); ++k) {
    if (tableNames[k] == name) return static_cast<int>(k);
  }
  return -1;
}

// 'c' with one character or one escape sequence between the quotes.
bool tLexer::ReadCharLiteral(const tString& text, char* character) {
  if (text.size() < 3 || text[0] != '\'') return false;
  size_t position = 1;
  char value = 0;
  if (text[position] == '\\') {
    if (!ReadEscapeSequence(text, &position, &value)) return false;
  } else {
    value = text[position++];
  }
  if (position != text.size() - 1 || text[position] != '\'') return false;
  *character = value;
  return true;
}

// At a backslash: a quote, a backslash, a letter of abfnrtv, octal digits, or
// x / X with hex digits of that case. *position ends after the sequence.
bool tLexer::ReadEscapeSequence(const tString& text, size_t* position, char* character) {
  size_t i = *position;
  if (i + 1 >= text.size() || text[i] != '\\') return false;
  char c = text[++i];
  static const char kSimple[] = "\"\"''\\\\a\ab\bf\fn\nr\rt\tv\v";
  for (const char* p = kSimple; *p; p += 2) {
    if (p[0] == c) {
      *character = p[1];
      *position = i + 1;
      return true;
    }
  }
  int base = 0;
  int limit = 0;
  auto digitValue = [&c](char d) -> int {
    if (c == 'x' && d >= 'a' && d <= 'f') return d - 'a' + 10;
    if (c == 'X' && d >= 'A' && d <= 'F') return d - 'A' + 10;
    if (d >= '0' && d <= (c == 'x' || c == 'X' ? '9' : '7')) return d - '0';
    return -1;
  };
  if (c >= '0' && c <= '7') {
    base = 8;
    limit = 32;
  } else if (c == 'x' || c == 'X') {
    base = 16;
    limit = 16;
    ++i;
  } else {
    return false;
  }
  if (i >= text.size() || digitValue(text[i]) < 0) return false;
  int value = digitValue(text[i++]);
  // Another digit is read only while the value so far is below the limit.
  while (value < limit && i < text.size() && digitValue(text[i]) >= 0) {
    value = value * base + digitValue(text[i++]);
  }
  if (value > 255) return false;
  *character = static_cast<char>(value);
  *position = i;
  return true;
}
