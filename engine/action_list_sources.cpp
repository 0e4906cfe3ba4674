// action_list_sources.cpp: the readings every action-list loader shares.
#include "engine/action_list_sources.h"

#include "actions/command_options.h"
#include "engine/dcf_values.h"
#include "engine/product_data.h"
#include "engine/product_data_map.h"
#include "engine/product_list.h"
#include "foundation/dcf_names.h"
#include "platform/wide_string.h"

CActionListSources::CActionListSources(const CKwIniFile& configuration,
                                       const CCommandOptions& options,
                                       const CProductList& productList, CProductDataMap& products,
                                       CInstallGroupInfoMap& groups)
    : m_configuration(configuration),
      m_options(options),
      m_productList(productList),
      m_products(products),
      m_groups(groups) {}

std::wstring CActionListSources::Value(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& defaultValue) const {
  return ReadDcfValue(m_configuration, section, key, defaultValue);
}

bool CActionListSources::Flag(const std::wstring& section, const std::wstring& key,
                              const std::wstring& defaultValue) const {
  return Value(section, key, defaultValue) == L"1";
}

std::wstring CActionListSources::ProductValue(const std::wstring& product, const std::wstring& key,
                                              const std::wstring& defaultValue) const {
  return Value(Format(kSetupSectionFormat, product.c_str()), key, defaultValue);
}

std::wstring CActionListSources::ProductKeyOf(const std::wstring& item) {
  return item.substr(0, item.find(L'.'));
}

std::wstring CActionListSources::WithBackslash(const std::wstring& folder) {
  return EndsWith(folder, L"\\") ? folder : folder + L"\\";
}

bool CActionListSources::HasOwnFolder(const std::wstring& product) const {
  return IsMultiProduct() && !IsMaster(product);
}

// An install source given without its backslash must not run into the
// names joined to it.
std::wstring CActionListSources::ProductFolder(const std::wstring& product) const {
  const std::wstring& source = m_options.GetInstallSource();
  std::wstring folder = source.empty() ? source : WithBackslash(source);
  if (HasOwnFolder(product)) folder += product + L"\\";
  return folder;
}

std::wstring CActionListSources::ProductName(const std::wstring& product) const {
  CProductData* data = m_products.Lookup(product);
  if (data) return data->GetProductName();
  return Value(Format(kPropertySectionFormat, product.c_str()), kProductNameKey);
}

bool CActionListSources::IsMaster(const std::wstring& product) const {
  return m_productList.IsMaster(product);
}

bool CActionListSources::HasMasters() const {
  for (const std::wstring& key : m_productList.Keys()) {
    if (m_productList.IsMaster(key)) return true;
  }
  return false;
}

bool CActionListSources::IsMultiProduct() const { return m_productList.IsMultiProduct(); }

int CActionListSources::UiLevel() const { return m_options.GetUILevel(); }

bool CActionListSources::IsQuietLevel() const {
  return UiLevel() == CCommandOptions::kUILevelNoneWithEndDialog ||
         UiLevel() == CCommandOptions::kUILevelNone;
}
