// macro_expander.cpp: {Name} macro expansion, inside out, with values
// expanded again, and with bounds on self-reference, depth and size.
#include "engine/macro_expander.h"

#include <algorithm>
#include <string>

#include "platform/wide_string.h"

CMacroExpander::CMacroExpander(const MacroMap& replacements, const MacroMap& properties,
                               ErrorSink errorSink)
    : m_replacements(replacements), m_properties(properties), m_errorSink(std::move(errorSink)) {}

std::wstring CMacroExpander::Expand(const std::wstring& text) { return ExpandFrom(text, 0); }

bool CMacroExpander::ResolveMacro(std::wstring* text, std::wstring* value) {
  if (!text || !value) return false;
  value->clear();
  if (text->empty() || (*text)[0] != L'{') return false;
  size_t end = 0;
  std::wstring out;
  bool found = Resolve(*text, 0, 0, &end, &out);
  std::wstring rest = text->substr(end);
  if (found) {
    *value = out;
    *text = rest;
  } else {
    *text = out + rest;
  }
  return found;
}

// Every macro's result, value or literal text, is final: it is not scanned
// again, so a literal brace inside a value can never start a loop.
std::wstring CMacroExpander::ExpandFrom(const std::wstring& text, int depth) {
  std::wstring result;
  size_t position = 0;
  while (position < text.size()) {
    size_t brace = text.find(L'{', position);
    if (brace == std::wstring::npos) {
      result.append(text, position, std::wstring::npos);
      break;
    }
    result.append(text, position, brace - position);
    size_t end = brace + 1;
    std::wstring out;
    Resolve(text, brace, depth, &end, &out);
    result += out;
    position = end;
    if (result.size() > kMaxLength && position < text.size()) {
      if (!m_limitReported) {
        Report(
            Format(L"ERROR: Macro expansion grew beyond %d characters; the rest is left unexpanded",
                   static_cast<int>(kMaxLength)));
        m_limitReported = true;
      }
      result.append(text, position, std::wstring::npos);
      break;
    }
  }
  return result;
}

// On success *out is the value; otherwise it is the macro as written with
// its inner macros expanded. *end is where the text goes on in both cases.
bool CMacroExpander::Resolve(const std::wstring& text, size_t start, int depth, size_t* end,
                             std::wstring* out) {
  *end = start + 1;
  *out = L"{";
  if (depth >= kMaxDepth) {
    if (!m_limitReported) {
      Report(Format(L"ERROR: Macros nest deeper than %d levels; the rest is left unexpanded",
                    kMaxDepth));
      m_limitReported = true;
    }
    return false;
  }
  std::wstring macro = L"{";
  size_t position = start + 1;
  for (;;) {
    size_t hit = text.find_first_of(L"{}", position);
    if (hit == std::wstring::npos) {
      // Unclosed: kept as written.
      macro.append(text, position, std::wstring::npos);
      *out = macro;
      *end = text.size();
      return false;
    }
    macro.append(text, position, hit - position);
    if (text[hit] == L'}') {
      macro += L'}';
      position = hit + 1;
      break;
    }
    // A macro inside the macro: its value becomes part of this one's name.
    size_t innerEnd = hit + 1;
    std::wstring inner;
    bool innerFound = Resolve(text, hit, depth + 1, &innerEnd, &inner);
    macro += inner;
    position = innerEnd;
    if (!innerFound) {
      *out = macro;
      *end = position;
      return false;
    }
  }
  *end = position;
  *out = macro;
  const std::wstring* value = Lookup(macro);
  if (!value) return false;
  if (value->empty()) {
    out->clear();
    return true;
  }
  if (IsBeingExpanded(macro)) {
    Report(Format(L"ERROR: The macro %s refers to itself; it is left unexpanded", macro.c_str()));
    return false;
  }
  if (++m_expansions > kMaxExpansions) {
    if (!m_limitReported) {
      Report(Format(L"ERROR: More than %d macros to expand; the rest is left unexpanded",
                    static_cast<int>(kMaxExpansions)));
      m_limitReported = true;
    }
    return false;
  }
  m_beingExpanded.push_back(macro);
  *out = ExpandFrom(*value, depth + 1);
  m_beingExpanded.pop_back();
  return true;
}

// The replacement map wins over the property map.
const std::wstring* CMacroExpander::Lookup(const std::wstring& macro) const {
  auto replacement = m_replacements.find(macro);
  if (replacement != m_replacements.end()) return &replacement->second;
  auto property = m_properties.find(macro.substr(1, macro.size() - 2));
  if (property != m_properties.end()) return &property->second;
  return nullptr;
}

bool CMacroExpander::IsBeingExpanded(const std::wstring& macro) const {
  return std::find(m_beingExpanded.begin(), m_beingExpanded.end(), macro) != m_beingExpanded.end();
}

void CMacroExpander::Report(const std::wstring& message) {
  if (m_errorSink) m_errorSink(message);
}
