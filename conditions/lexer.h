#pragma once
// lexer.h: the table-driven lexer of the condition language. It is built
// from the lexer section of a grammar text (terminal definitions and symbol
// tables) and knows nothing else of the language; its number scanners also
// serve the string-to-number conversions of condition values.

#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "conditions/containers.h"

using tString = std::string;

// Reserved symbol numbers of the generator and the driver.
constexpr int kEndSymbol = 65535;     // end of input; also the augmented start production
constexpr int kEmptySymbol = 65534;   // the empty string in FIRST sets
constexpr int kDummySymbol = 65533;   // placeholder lookahead while finding lookaheads

// The unit passed from the lexer to the driver and kept on its value stack.
struct tToken {
  int symbol = 0;
  uint32_t integer = 0;   // unsigned integer
  double real = 0;        // decimal number
  char character = 0;     // single character
  int index = 0;          // position of an identifier in its symbol table
  void* node = nullptr;   // value of a nonterminal; freed through the deleter table
  tString text;           // literal text, quoted-string content or identifier name
};

// Names met in conditions, in order of first appearance; a name's index is
// its position and never changes.
class tSymbolTable : public tList<tString> {
 public:
  // Index of `name`, appended when it is new.
  int Lookup(const tString& name);

 private:
  std::unordered_map<tString, int> m_index;
};

class tLexer {
 public:
  enum tDefinitionKind {
    kCharacter = 0,
    kText = 1,  // literal text with a pattern, quoted string without
    kInteger = 2,
    kDecimal = 3,
    kSymbol = 4,
    kEndMarker = 5,
    kInvalid = 6,
  };
  struct tTerminalDefinition {
    int kind = kInvalid;
    char character = 0;
    bool hasPattern = false;
    tString pattern;
    int table = 0;
  };

  // Longest identifier the lexer accepts; a longer one is a lexical error.
  static constexpr size_t kMaxIdentifierLength = 255;

  // Reads the lexer section of a grammar text. Any invalid part leaves the
  // lexer without definitions, so that every condition fails to lex.
  explicit tLexer(std::istream& grammar);

  // The next token; symbol kEndSymbol at the end of input; null when nothing
  // matches (a lexical error).
  std::unique_ptr<tToken> NextToken(std::istream& stream);

  size_t GetDefinitionCount() const { return m_definitions.size(); }
  const tSymbolTable* GetSymbolTable(const tString& name) const;

  // Each scanner returns a token or null; a failing scanner gives back every
  // character it read, so the next one starts at the same place.
  static std::unique_ptr<tToken> ScanChar(std::istream& stream, char character);
  // A null pattern scans a quoted string.
  static std::unique_ptr<tToken> ScanText(std::istream& stream, const tString* pattern);
  static std::unique_ptr<tToken> ScanInteger(std::istream& stream);
  static std::unique_ptr<tToken> ScanDouble(std::istream& stream);
  std::unique_ptr<tToken> ScanSymbol(std::istream& stream, int table);

  // Readers of the grammar text.
  static tTerminalDefinition ClassifyTerminal(const tString& definition,
                                              const std::vector<tString>& tableNames);
  static bool ParseQuotedPattern(const tString& text, tTerminalDefinition* definition);
  static int ParseSymbolTableName(const tString& text, const std::vector<tString>& tableNames);
  static bool ReadCharLiteral(const tString& text, char* character);
  static bool ReadEscapeSequence(const tString& text, size_t* position, char* character);

 private:
  bool ReadGrammar(std::istream& grammar);

  std::vector<tTerminalDefinition> m_definitions;
  std::vector<tString> m_tableNames;
  std::vector<tSymbolTable> m_tables;
};

// Character classes of 7-bit codes; other bytes belong to no class.
constexpr uint32_t kClassFullStop = 1u << 3;
constexpr uint32_t kClassAlphanumeric = 1u << 8;  // letters, digits, underscore
constexpr uint32_t kClassDigit = 1u << 9;
constexpr uint32_t kClassPunctuation = 1u << 10;
uint32_t GetCharacterClass(int character);
