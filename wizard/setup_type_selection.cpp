// setup_type_selection.cpp: the choices of a setup type over the products.
#include "wizard/setup_type_selection.h"

#include "engine/product_data_map.h"

namespace {

void SetShortcut(CSelectionState* state, bool value, bool force) {
  if (state && !state->IsHidden()) state->SetCurrent(value, force);
}

}  // namespace

void ClearSelectionsForMaintenance(CProductDataMap& products) {
  for (const auto& entry : products) {
    CProductData* product = entry.second.get();
    if (!product) continue;
    if (product->GetSelection()) product->GetSelection()->SetCurrent(false, true);
    SetShortcut(product->GetDesktopIconState(), false, true);
    SetShortcut(product->GetQuickLaunchIconState(), false, true);
    if (product->GetFeatures()) product->GetFeatures()->SetSelected(false);
  }
}

void SelectEverything(CProductDataMap& products) {
  for (const auto& entry : products) {
    CProductData* product = entry.second.get();
    if (!product) continue;
    if (product->GetSelection()) product->GetSelection()->SetCurrent(true, true);
    SetShortcut(product->GetDesktopIconState(), true, false);
    SetShortcut(product->GetQuickLaunchIconState(), true, false);
    if (product->GetFeatures()) product->GetFeatures()->SetSelected(true);
  }
  products.SelectRequiredProducts();
}

void RestoreInitialSelections(CProductDataMap& products) {
  for (const auto& entry : products) {
    CProductData* product = entry.second.get();
    if (!product) continue;
    for (CSelectionState* state :
         {product->GetSelection(), product->GetDesktopIconState(), product->GetQuickLaunchIconState()}) {
      if (state) state->RevertToSaved();
    }
    if (product->GetFeatures()) product->GetFeatures()->RevertSelection();
  }
  products.SelectRequiredProducts();
}
