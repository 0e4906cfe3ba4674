// product_data_relations.cpp: where a product's relations are read from the
// configuration.
#include "engine/product_data.h"

// The relation kinds (a required product, a required feature) and their
// reader come with the relation checks; until then a product is loaded
// without relations and requires nothing.
bool CProductData::LoadRelationships(const CKwIniFile& /*file*/, CSetupState* /*state*/) {
  return true;
}
