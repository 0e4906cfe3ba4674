#pragma once
// kw_ini_section.h: one named INI section: its lines in file order and the
// key lookups on them.
#include <memory>
#include <string>

#include "foundation/kw_ini_base.h"
#include "foundation/kw_ini_lines.h"

class CKwIniSection : public CKwIniBase {
 public:
  CKwIniSection();

  virtual std::wstring GetName() const;
  virtual void SetName(const std::wstring& name);
  virtual CKwIniLines* GetLines() const;
  // The key is trimmed before the search. The value comes back as stored,
  // untrimmed. False when the key is not there.
  virtual bool GetValue(const std::wstring& key, std::wstring* value) const;
  // Counts from 1 (0 is taken as 1). A key line gives its value only.
  virtual bool GetLineText(int index, std::wstring* text) const;
  // The key is kept as given and mapped trimmed, unless a line of that key
  // is mapped already. False (nothing added) for a blank key.
  virtual bool AddKeyValue(const std::wstring& key, const std::wstring& value);
  virtual void AddRawLine(const std::wstring& text);
  // Replaces the value of the key's line, or adds a key line at the end.
  virtual void SetValue(const std::wstring& key, const std::wstring& value);
  virtual bool RemoveKey(const std::wstring& key);
  // Counts from 0.
  virtual bool RemoveLineAt(int index);
  virtual void RemoveAllLines();
  // Starts a new, empty line collection.
  virtual void CreateLines();
  // True: keys are compared exactly; false: case-blind.
  virtual void SetLookupFlag(bool exactLookup);
  bool GetLookupFlag() const { return m_exactLookup; }

 protected:
  ~CKwIniSection() override;

 private:
  CKwIniLine* FindLine(const std::wstring& key) const;

  std::wstring m_name;
  std::unique_ptr<CKwIniLines> m_lines;
  bool m_exactLookup = false;
};
