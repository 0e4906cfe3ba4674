// worker_product_selection.cpp: the run trimmed to the user's choice of
// products before it starts.
#include "actions/command_options.h"
#include "actions/msi_product_state.h"
#include "engine/product_selection.h"
#include "engine/worker.h"

void CWorker::ApplyProductSelection() {
  CProductSelection selection(
      m_state.get(), m_productList, &m_actionLists, &m_retiredActions,
      [this](const std::wstring& key) { DisableProduct(key, false); }, IsProductInstalled);
  selection.ApplyProductSelection(Mode(), UiLevel());
  m_removalKeepsProducts = selection.KeepsProducts();
}
