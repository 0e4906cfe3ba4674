#pragma once
// product_information_dlg.h: CProductInformationDlg, the suite's product
// information page: its text comes from the XML file that the setup
// property ProductInformation names.
#include <string>

#include "wizard/product_information_file.h"
#include "wizard/text_page.h"

class CSetupSheet;

class CProductInformationDlg : public CTextPage {
 public:
  CProductInformationDlg();

  // Whether the named file exists; the name is resolved the first time.
  bool HasContent(const CSetupSheet& sheet);
  const std::wstring& GetContentFile() const { return m_content.GetPath(); }

 protected:
  BOOL OnInitDialog() override;

 private:
  CProductInformationFile m_content;
};
