// ini_fuzzer.cpp: feeds arbitrary bytes to the INI model as a file's lines
// (SETUP.DCF and source.ini are the program's main untrusted input), looks
// every key up, writes the lines a save would write and loads them again:
// nothing may crash, and the second model must hold the same sections, keys
// and values, in both lookup modes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "foundation/kw_ini_file.h"
#include "platform/wide_string.h"

namespace {

// The loader's first section, holding the lines before any header.
const wchar_t kUnnamedSectionName[] = L"$$$unnamed$$$";

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "INI invariant broken: %s\n", what);
  abort();
}

// Lines as the stream reads them: UTF-16LE after an FF FE mark, otherwise
// one byte per character; split at line feeds, one carriage return before
// each dropped.
std::vector<std::wstring> SplitLines(const uint8_t* data, size_t size) {
  std::wstring text;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    for (size_t i = 2; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  } else {
    for (size_t i = 0; i < size; ++i) text += static_cast<wchar_t>(data[i]);
  }
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t feed = text.find(L'\n', start);
    size_t end = feed == std::wstring::npos ? text.size() : feed;
    std::wstring line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// False when the model refuses the text (a broken header, a line before any
// usable section): the refusal must be an INI exception, never a crash.
bool Load(CKwIniFile* file, bool exactLookup, const std::vector<std::wstring>& lines) {
  file->Init(exactLookup);
  std::wstring currentSection = kUnnamedSectionName;
  file->AddSection(currentSection);
  try {
    for (const std::wstring& line : lines) file->ParseLine(line, &currentSection);
  } catch (CKwIniFileException* raw) {
    std::unique_ptr<CKwIniFileException> error(raw);
    return false;
  }
  return true;
}

struct CEntry {
  std::wstring section;
  std::wstring key;
  bool found;
  std::wstring value;
  bool operator==(const CEntry& other) const {
    return section == other.section && key == other.key && found == other.found && value == other.value;
  }
};

// Every key line of every section, looked up by its section's name and its
// key as a caller would ask for them.
std::vector<CEntry> LookUpAll(const CKwIniFile& file) {
  std::vector<CEntry> entries;
  CKwIniSections* sections = file.GetSections();
  for (size_t i = 0; i < sections->GetCount(); ++i) {
    CKwIniSection* section = sections->GetAt(i);
    CKwIniLines* lines = section->GetLines();
    CKwIniSection* mapped = nullptr;
    bool isMapped = file.FindSection(section->GetName(), &mapped) && mapped == section;
    for (size_t j = 0; j < lines->GetCount(); ++j) {
      CKwIniLine* line = lines->GetAt(j);
      if (line->IsRawLine()) continue;
      CEntry entry{section->GetName(), Trim(line->GetKey()), false, std::wstring()};
      entry.found = file.GetValue(entry.section, entry.key, &entry.value, L"");
      // A key of the section its name finds is always found.
      if (isMapped && section->GetName() != kUnnamedSectionName) Check(entry.found, "key not found");
      entries.push_back(entry);
    }
  }
  return entries;
}

// A header naming the unnamed section adds an empty duplicate (its lines go
// to the first one, as the name finds it), and a save writes no header for
// it: only the first section of that name counts.
std::vector<std::wstring> SectionNames(const CKwIniFile& file) {
  std::vector<std::wstring> names;
  CKwIniSections* sections = file.GetSections();
  for (size_t i = 0; i < sections->GetCount(); ++i) {
    std::wstring name = sections->GetAt(i)->GetName();
    if (i > 0 && name == kUnnamedSectionName) continue;
    names.push_back(name);
  }
  return names;
}

void RoundTrip(const std::vector<std::wstring>& input, bool exactLookup) {
  CKwIniFile first;
  if (!Load(&first, exactLookup, input)) return;
  std::vector<CEntry> firstEntries = LookUpAll(first);
  std::vector<std::wstring> saved;
  first.WriteSections(&saved);
  for (const std::wstring& line : saved) Check(line.find(L'\n') == std::wstring::npos, "line feed in a line");

  CKwIniFile second;
  Check(Load(&second, exactLookup, saved), "saved text does not load");
  Check(SectionNames(second) == SectionNames(first), "sections changed");
  Check(LookUpAll(second) == firstEntries, "keys or values changed");
  std::vector<std::wstring> savedAgain;
  second.WriteSections(&savedAgain);
  Check(savedAgain == saved, "second save differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::wstring> lines = SplitLines(data, size);
  RoundTrip(lines, false);
  RoundTrip(lines, true);
  return 0;
}
