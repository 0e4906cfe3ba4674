#pragma once
// product_information_file.h: CProductInformationFile, the XML file that the
// setup property ProductInformation names; the information page and the
// offer page both read their texts from it.
#include <string>

class CSetupSheet;

class CProductInformationFile {
 public:
  // Whether the named file exists; the name is resolved the first time.
  bool HasContent(const CSetupSheet& sheet);
  const std::wstring& GetPath() const { return m_path; }

 private:
  std::wstring m_path;
  bool m_resolved = false;
};
