// product_information_dlg.cpp: the information file and its text.
#include "wizard/product_information_dlg.h"

#include "engine/setup_state.h"
#include "foundation/file_utils.h"
#include "foundation/xml_document.h"
#include "resources/resource_ids.h"
#include "wizard/setup_sheet.h"
#include "wizard/wizard_text.h"

namespace {

const wchar_t kInformationNode[] = L"//ProductInformation";

}  // namespace

CProductInformationDlg::CProductInformationDlg()
    : CTextPage(IDD_WIZ_PRODUCT_INFORMATION, IDC_PRODUCT_INFORMATION_TITLE, {IDC_PRODUCT_INFORMATION_BODY}) {}

bool CProductInformationDlg::HasContent(const CSetupSheet& sheet) {
  return m_content.HasContent(sheet);
}

// A file that cannot be read shows the title in its place.
BOOL CProductInformationDlg::OnInitDialog() {
  CTextPage::OnInitDialog();
  if (m_content.GetPath().empty()) return TRUE;
  std::wstring text;
  try {
    CXmlDocument document;
    document.LoadFile(m_content.GetPath());
    document.SelectSingleNodeText(kInformationNode, &text);
  } catch (long) {
    text.clear();  // the wrapper logged why
  }
  if (text.empty()) text = GetItemText(IDC_PRODUCT_INFORMATION_TITLE);
  SetItemText(IDC_PRODUCT_INFORMATION_BODY, ReplaceWizardTokens(text, GetState()));
  return TRUE;
}
