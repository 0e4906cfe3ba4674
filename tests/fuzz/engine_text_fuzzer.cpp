// engine_text_fuzzer.cpp: feeds arbitrary text to the engine's own settings
// reader and to macro expansion over maps built from the same input. Nothing
// may crash or hang, and an expansion must not depend on earlier ones.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/engine_settings.h"
#include "engine/macro_expander.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "engine text invariant broken: %s\n", what);
  abort();
}

// The first line is the text; every further line NAME=VALUE defines a macro:
// with braces in the replacement map, without in the property map.
void SplitInput(const std::wstring& input, std::wstring* text, MacroMap* replacements,
                MacroMap* properties) {
  size_t lineEnd = input.find(L'\n');
  *text = input.substr(0, lineEnd);
  while (lineEnd != std::wstring::npos) {
    size_t start = lineEnd + 1;
    lineEnd = input.find(L'\n', start);
    std::wstring line =
        input.substr(start, lineEnd == std::wstring::npos ? std::wstring::npos : lineEnd - start);
    size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) continue;
    std::wstring name = line.substr(0, equals);
    MacroMap* map = !name.empty() && name[0] == L'{' ? replacements : properties;
    (*map)[name] = line.substr(equals + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring input;
  for (size_t i = 0; i < size; ++i) input += static_cast<wchar_t>(data[i]);
  std::wstring text;
  MacroMap replacements;
  MacroMap properties;
  SplitInput(input, &text, &replacements, &properties);

  std::wstring commandLine = text;
  CEngineSettings settings;
  std::vector<std::wstring> log;
  TakeEngineSettings(&commandLine, &settings, &log);
  // Only the three fixed properties are ever added.
  Check(commandLine.size() <= text.size() + 60, "command line grew");
  Check(settings.languageCode.size() <= 3, "language code longer than three characters");
  for (const std::wstring& key : settings.disabledProducts)
    Check(!key.empty(), "empty product key");

  CMacroExpander first(replacements, properties);
  std::wstring expanded = first.Expand(text);
  if (text.find(L'{') == std::wstring::npos) Check(expanded == text, "text without macros changed");
  CMacroExpander second(replacements, properties);
  Check(second.Expand(text) == expanded, "expansion depends on an earlier one");
  std::wstring rest = text;
  std::wstring value;
  CMacroExpander third(replacements, properties);
  third.ResolveMacro(&rest, &value);
  return 0;
}
