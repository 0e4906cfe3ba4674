// worker_rebranding.cpp: a "RebrandFor" check that passed renames the product
// and tells its package through a property.
#include "actions/install_action.h"
#include "actions/installer_property.h"
#include "engine/product_data.h"
#include "engine/worker.h"
#include "foundation/dcf_names.h"
#include "foundation/kw_ini_file.h"
#include "platform/wide_string.h"

namespace {
const wchar_t kRebrandMark[] = L"RebrandFor";
const wchar_t kMsiExecMacro[] = L"{msiexec}";
}  // namespace

void CWorker::ApplyRebranding(const CSetupAction& verifyAction) {
  const std::wstring& key = verifyAction.GetKeyName();
  const std::wstring& section = verifyAction.GetActionName();
  CProductData* product = m_state->m_products.Lookup(key);
  size_t mark = section.find(kRebrandMark);
  if (!product || mark == std::wstring::npos) return;
  // A name that is no property name renames the product all the same.
  std::wstring property;
  BuildInstallerProperty(section.substr(mark + wcslen(kRebrandMark)), L"1", &property);

  std::wstring name;
  if (m_configuration) m_configuration->GetValue(section, kProductNameKey, &name, std::wstring());
  if (!name.empty()) {
    m_state->SetProductName(name.c_str());
    m_state->SetShortProductName(name.c_str());
    product->SetProductName(name);
  } else {
    name = product->GetProductName();
  }
  for (CInstallAction* action : InstallActions()) {
    if (action->GetKeyName() != key || action->GetCommandLine().find(kMsiExecMacro) == std::wstring::npos) continue;
    action->SetCommandLine(action->GetCommandLine() + property);
    action->SetProductName(name);
  }
}
