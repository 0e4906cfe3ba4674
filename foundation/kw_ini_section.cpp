// kw_ini_section.cpp: key lookups and edits on the lines of one INI section.
#include "foundation/kw_ini_section.h"

#include "platform/wide_string.h"

CKwIniSection::CKwIniSection() { CKwIniSection::CreateLines(); }

CKwIniSection::~CKwIniSection() = default;

std::wstring CKwIniSection::GetName() const { return m_name; }

void CKwIniSection::SetName(const std::wstring& name) { m_name = name; }

CKwIniLines* CKwIniSection::GetLines() const { return m_lines.get(); }

CKwIniLine* CKwIniSection::FindLine(const std::wstring& key) const {
  return m_lines->Find(Trim(key));
}

bool CKwIniSection::GetValue(const std::wstring& key, std::wstring* value) const {
  CKwIniLine* line = FindLine(key);
  if (!line || !value) return false;
  *value = line->GetText();
  return true;
}

bool CKwIniSection::GetLineText(int index, std::wstring* text) const {
  if (index < 0 || !text) return false;
  CKwIniLine* line = m_lines->GetAt(index == 0 ? 0 : static_cast<size_t>(index) - 1);
  if (!line) return false;
  *text = line->GetText();
  return true;
}

bool CKwIniSection::AddKeyValue(const std::wstring& key, const std::wstring& value) {
  std::wstring trimmedKey = Trim(key);
  if (trimmedKey.empty()) return false;
  CKwIniPtr<CKwIniLine> line(m_lines->CreateLine());
  line->SetKey(key);
  line->SetText(value);
  m_lines->Add(trimmedKey, line.get());
  return true;
}

void CKwIniSection::AddRawLine(const std::wstring& text) {
  CKwIniPtr<CKwIniLine> line(m_lines->CreateLine());
  line->SetText(text);
  m_lines->Add(std::wstring(), line.get());
}

void CKwIniSection::SetValue(const std::wstring& key, const std::wstring& value) {
  if (CKwIniLine* line = FindLine(key)) {
    line->SetText(value);
  } else {
    AddKeyValue(key, value);
  }
}

bool CKwIniSection::RemoveKey(const std::wstring& key) {
  CKwIniLine* line = FindLine(key);
  return line && m_lines->Remove(line);
}

bool CKwIniSection::RemoveLineAt(int index) {
  return index >= 0 && m_lines->RemoveAt(static_cast<size_t>(index));
}

void CKwIniSection::RemoveAllLines() { m_lines->RemoveAll(); }

void CKwIniSection::CreateLines() {
  m_lines = std::make_unique<CKwIniLines>();
  m_lines->SetLookupFlag(m_exactLookup);
}

void CKwIniSection::SetLookupFlag(bool exactLookup) {
  m_exactLookup = exactLookup;
  m_lines->SetLookupFlag(exactLookup);
}
