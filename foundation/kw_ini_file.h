#pragma once
// kw_ini_file.h: an INI file as an ordered, editable model of sections and
// lines that is written back as it was read, in the file's own encoding.
// Every error is a CKwIniFileException thrown by pointer:
//   catch (CKwIniFileException* raw) { std::unique_ptr<CKwIniFileException> e(raw); ... }
#include <memory>
#include <string>
#include <vector>

#include "foundation/kw_ini_file_exception.h"
#include "foundation/kw_ini_section.h"
#include "foundation/kw_ini_sections.h"

class CKwIniFile {
 public:
  CKwIniFile();
  CKwIniFile(const CKwIniFile&) = delete;
  CKwIniFile& operator=(const CKwIniFile&) = delete;
  virtual ~CKwIniFile();

  // Starts an empty section collection. exactLookup false: section names and
  // keys are compared case-blind; true: exactly. Before Init a file has an
  // empty case-blind collection.
  void Init(bool exactLookup);

  // Load and Save are in kw_ini_file_storage.cpp (Win32).
  // On failure the stored file name is cleared.
  void LoadFrom(const std::wstring& fileName);
  void Load();
  // On failure the previous file name is put back.
  void SaveAs(const std::wstring& fileName);
  // Writes through a temporary file in the same folder, so a failed save
  // leaves the old file as it was. A file loaded as UTF-16LE stays UTF-16LE;
  // an ANSI file that holds text the code page cannot represent is written
  // as UTF-16LE instead of losing that text.
  void Save();

  // The section is returned without an added reference.
  bool FindSection(const std::wstring& name, CKwIniSection** section) const;
  // The value as stored (untrimmed); `defaultValue` and false when the
  // section name or key is empty or not found.
  bool GetValue(const std::wstring& sectionName, const std::wstring& key, std::wstring* value,
                const std::wstring& defaultValue) const;
  // A name already present adds a second, unmapped section object.
  void AddSection(const std::wstring& name);
  void RemoveAllSections();

  CKwIniSections* GetSections() const;
  const std::wstring& GetFileName() const { return m_fileName; }
  bool IsUtf16() const { return m_utf16; }
  // Set: the next save writes UTF-16LE with a byte-order mark, whatever the
  // text. Load sets it from the file read.
  void SetUtf16(bool utf16) { m_utf16 = utf16; }
  // From a ";~^#<digits>" comment line; 0 when the file has none.
  int GetFormatNumber() const { return m_formatNumber; }
  bool GetLookupFlag() const { return m_exactLookup; }

  virtual std::unique_ptr<CKwIniSections> CreateSections();
  // Takes one line as read (end-of-line removed) into the model. A header
  // changes *currentSection.
  virtual void ParseLine(const std::wstring& line, std::wstring* currentSection);
  // Appends the section's lines as they are written; empty texts are left out.
  virtual void WriteSection(CKwIniSection* section, std::vector<std::wstring>* output);
  // Every section: its header (none for the unnamed one) and its lines.
  void WriteSections(std::vector<std::wstring>* output);

 private:
  void ParseHeader(const std::wstring& header, std::wstring* currentSection);

  std::wstring m_fileName;
  std::unique_ptr<CKwIniSections> m_sections;
  bool m_utf16 = false;
  int m_formatNumber = 0;
  bool m_exactLookup = false;
  // Never switched on by this program; kept for scrambled files.
  bool m_scrambled = false;
};
