#pragma once
// setup_type_selection.h: what a setup type does to the choices of every
// product: its own selection, its two shortcut options and its features.
// A hidden shortcut option is not the user's to change and keeps its value
// when everything is cleared or selected. Pure logic.

class CProductDataMap;

// Repair and Remove: every choice cleared, forced.
void ClearSelectionsForMaintenance(CProductDataMap& products);
// Complete: every product and feature selected; the products they require too.
void SelectEverything(CProductDataMap& products);
// Custom: every choice back to the value the run started with; the products
// that those require are selected again.
void RestoreInitialSelections(CProductDataMap& products);
