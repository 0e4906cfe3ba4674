// product_information_file.cpp: the information file's name, from the setup
// properties with its macros expanded.
#include "wizard/product_information_file.h"

#include "engine/setup_state.h"
#include "foundation/file_utils.h"
#include "wizard/setup_sheet.h"

namespace {

const wchar_t kProductInformationProperty[] = L"ProductInformation";

}  // namespace

bool CProductInformationFile::HasContent(const CSetupSheet& sheet) {
  if (!m_resolved) {
    std::wstring file;
    CSetupState* state = sheet.GetState();
    if (state && state->GetProperty(kProductInformationProperty, &file)) m_path = sheet.ExpandMacros(file);
    m_resolved = true;
  }
  return !m_path.empty() && FileExists(m_path);
}
