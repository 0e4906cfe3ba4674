// kw_ini_file.cpp: the INI model: reading lines into sections, lookups, and
// the lines a save writes. No file access here (see kw_ini_file_storage.cpp).
#include "foundation/kw_ini_file.h"

#include <algorithm>

#include "platform/wide_string.h"

namespace {

const wchar_t kUnnamedSectionName[] = L"$$$unnamed$$$";
const int kInvalidDataCode = 13;   // ERROR_INVALID_DATA
const int kInvalidNameCode = 123;  // ERROR_INVALID_NAME
const wchar_t kIllegalSectionCharacters[] = L"=[];\t";
const wchar_t kIllegalKeyCharacters[] = L"[];\t";

[[noreturn]] void ThrowIniError(int code, const wchar_t* message) {
  throw new CKwIniFileException(CKwIniFileException::kErrorKind, code, message);
}

// Fetches every item of a collection through its enumerator, with the
// failure texts of the collection it walks.
struct CEnumerationTexts {
  const wchar_t* obtain;
  const wchar_t* reset;
  const wchar_t* retrieve;
  const wchar_t* count;
};

template <class T, class List>
std::vector<T*> FetchAll(const List& list, const CEnumerationTexts& texts) {
  CKwIniPtr<CKwEnumerator<T>> enumerator(list.CreateEnumerator());
  if (!enumerator) ThrowIniError(kInvalidDataCode, texts.obtain);
  if (!enumerator->Reset()) ThrowIniError(kInvalidDataCode, texts.reset);
  unsigned long count = static_cast<unsigned long>(list.GetCount());
  std::vector<T*> items(count);
  if (count == 0) return items;
  unsigned long fetched = 0;
  bool complete = enumerator->Next(count, items.data(), &fetched);
  if (fetched != count) ThrowIniError(kInvalidDataCode, texts.count);
  if (!complete) ThrowIniError(kInvalidDataCode, texts.retrieve);
  if (std::find(items.begin(), items.end(), nullptr) != items.end()) {
    ThrowIniError(kInvalidDataCode, L"The array of INI sections contains null pointers.");
  }
  // The items stay valid after the enumerator goes: the collection holds them.
  return items;
}

}  // namespace

// Usable before Init: case-blind lookup, as most files of the setup want.
CKwIniFile::CKwIniFile() : m_sections(std::make_unique<CKwIniSections>()) {}

CKwIniFile::~CKwIniFile() = default;

void CKwIniFile::Init(bool exactLookup) {
  m_sections = CreateSections();
  m_sections->SetLookupFlag(exactLookup);
  m_exactLookup = exactLookup;
}

std::unique_ptr<CKwIniSections> CKwIniFile::CreateSections() {
  return std::make_unique<CKwIniSections>();
}

CKwIniSections* CKwIniFile::GetSections() const { return m_sections.get(); }

bool CKwIniFile::FindSection(const std::wstring& name, CKwIniSection** section) const {
  if (!section) return false;
  *section = m_sections->Find(name);
  return *section != nullptr;
}

bool CKwIniFile::GetValue(const std::wstring& sectionName, const std::wstring& key,
                          std::wstring* value, const std::wstring& defaultValue) const {
  if (!value) return false;
  CKwIniSection* section = nullptr;
  if (sectionName.empty() || key.empty() || !FindSection(sectionName, &section) ||
      !section->GetValue(key, value)) {
    *value = defaultValue;
    return false;
  }
  return true;
}

void CKwIniFile::AddSection(const std::wstring& name) {
  CKwIniPtr<CKwIniSection> section(m_sections->CreateSection());
  section->SetName(name);
  section->SetLookupFlag(m_exactLookup);
  m_sections->Add(name, section.get());
}

void CKwIniFile::RemoveAllSections() { m_sections->RemoveAll(); }

void CKwIniFile::ParseHeader(const std::wstring& header, std::wstring* currentSection) {
  size_t close = header.find(L']');
  if (close == std::wstring::npos || close < 2) {
    ThrowIniError(kInvalidDataCode, L"Improperly formed section name.");
  }
  std::wstring name = Trim(header.substr(1, close - 1));
  if (name.find_first_of(kIllegalSectionCharacters) != std::wstring::npos) {
    ThrowIniError(kInvalidDataCode, L"Illegal character(s) in section name.");
  }
  *currentSection = name;
  // A blank name adds nothing: the lines under it then fail as sectionless.
  if (!name.empty()) AddSection(name);
}

void CKwIniFile::ParseLine(const std::wstring& line, std::wstring* currentSection) {
  size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  if (start < line.size() && line[start] == L'[') {
    ParseHeader(line.substr(start), currentSection);
    return;
  }
  CKwIniSection* section = nullptr;
  if (!FindSection(*currentSection, &section)) {
    ThrowIniError(kInvalidNameCode, L"Could not find INI section.");
  }
  if (start < line.size() && line[start] == L';') {
    section->AddRawLine(line);
    return;
  }
  size_t equals = line.find(L'=');
  if (equals != std::wstring::npos && equals > 0 &&
      std::find(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(equals), L'"') ==
          line.begin() + static_cast<std::ptrdiff_t>(equals)) {
    std::wstring key = line.substr(0, equals);
    std::wstring trimmedKey = Trim(key);
    if (trimmedKey.find_first_of(kIllegalKeyCharacters) == std::wstring::npos) {
      // A key line with a blank key is dropped.
      if (!trimmedKey.empty()) section->AddKeyValue(key, line.substr(equals + 1));
      return;
    }
  }
  section->AddRawLine(line);
}

void CKwIniFile::WriteSections(std::vector<std::wstring>* output) {
  static const CEnumerationTexts kSectionTexts = {
      L"Failed to obtain enumerator.", L"Failed to reset the enumerator.",
      L"Failed to retrieve the collection of IniSection objects.",
      L"The number of IniSection interfaces returned does not match the number requested."};
  for (CKwIniSection* section : FetchAll<CKwIniSection>(*m_sections, kSectionTexts)) {
    std::wstring name = section->GetName();
    if (name != kUnnamedSectionName) output->push_back(L"[" + name + L"]");
    WriteSection(section, output);
  }
}

void CKwIniFile::WriteSection(CKwIniSection* section, std::vector<std::wstring>* output) {
  static const CEnumerationTexts kLineTexts = {
      L"Failed to obtain enumerator.", L"Failed to reset the enumerator for INI section lines.",
      L"Failed to retrieve the collection of INI section lines.",
      L"The number of INI section lines returned does not match the number requested."};
  CKwIniLines* lines = section->GetLines();
  if (!lines) ThrowIniError(kInvalidDataCode, L"Failed to get the section's line list.");
  for (CKwIniLine* line : FetchAll<CKwIniLine>(*lines, kLineTexts)) {
    std::wstring text = line->IsRawLine() ? line->GetText() : line->GetKey() + L"=" + line->GetText();
    if (!text.empty()) output->push_back(text);
  }
}
