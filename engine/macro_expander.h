#pragma once
// macro_expander.h: expands {Name} macros in a text from the replacement map
// (keyed with braces) and the property map (keyed by the bare name). Pure
// logic, so it also builds natively.
#include <functional>
#include <map>
#include <string>
#include <vector>

using MacroMap = std::map<std::wstring, std::wstring>;

// One expander serves one expansion: it holds the macros being expanded, so
// expansions on other threads never share that state.
class CMacroExpander {
 public:
  using ErrorSink = std::function<void(const std::wstring& message)>;

  // The maps must outlive the expander.
  CMacroExpander(const MacroMap& replacements, const MacroMap& properties,
                 ErrorSink errorSink = nullptr);

  // Inner macros first; a value is expanded again; a macro that no map holds,
  // an unclosed one and one that would recurse without end stay as written.
  std::wstring Expand(const std::wstring& text);
  // The macro at the start of *text: true with its value and *text holding
  // what follows it; false with *text rewritten to the macro as written, its
  // inner macros expanded, followed by the rest.
  bool ResolveMacro(std::wstring* text, std::wstring* value);

  // Bounds that keep a hostile or broken configuration from recursing
  // without end or expanding exponentially.
  static const int kMaxDepth = 64;
  static const size_t kMaxExpansions = 100000;
  static const size_t kMaxLength = 1 << 20;

 private:
  std::wstring ExpandFrom(const std::wstring& text, int depth);
  bool Resolve(const std::wstring& text, size_t start, int depth, size_t* end, std::wstring* out);
  const std::wstring* Lookup(const std::wstring& macro) const;
  bool IsBeingExpanded(const std::wstring& macro) const;
  void Report(const std::wstring& message);

  const MacroMap& m_replacements;
  const MacroMap& m_properties;
  ErrorSink m_errorSink;
  std::vector<std::wstring> m_beingExpanded;
  size_t m_expansions = 0;
  bool m_limitReported = false;
};
