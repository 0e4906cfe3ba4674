#pragma once
// action_list_world.h: what the action-list loader tests build each time: a
// SETUP.DCF of the test's own, its product list and product data, a command
// line, and the loaders' sources over them.
#include <memory>
#include <string>

#include "actions/command_options.h"
#include "engine/action_list_sources.h"
#include "engine/install_group_info_map.h"
#include "engine/product_data.h"
#include "engine/product_list.h"
#include "engine/replacement_map.h"
#include "engine/setup_state.h"
#include "foundation/kw_ini_file.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/actions/fake_command_options_system.h"
#include "tests/support/test_support.h"

class CActionListWorld {
 public:
  // `dcf` in UTF-8; `commandLine` in the installer's syntax. Each product's
  // package is "<key>.msi" below the install source.
  CActionListWorld(const std::string& dcf, const std::wstring& commandLine,
                   const std::wstring& installSource = L"D:\\src\\")
      : options(&system), macros(state) {
    WriteFileBytes(folder.File(L"SETUP.DCF"), dcf);
    configuration.Init(false);
    configuration.LoadFrom(folder.File(L"SETUP.DCF"));
    EXPECT_TRUE(options.Parse(L"C:\\setup\\", commandLine)) << WideToUtf8(options.GetParseFailure());
    options.SetInstallSource(installSource);
    EXPECT_TRUE(productList.Parse(configuration, &state.m_products));
    productList.ReadPackages(configuration, installSource, macros, &state.m_products);
    for (const auto& entry : state.m_products) {
      entry.second->LoadFromDcf(configuration, nullptr);
      entry.second->SetPackagePath(entry.second->GetSourcePackagePath());
    }
    sources.reset(new CActionListSources(configuration, options, productList, state.m_products, groups));
  }

  CProductData* Product(const std::wstring& key) const { return state.m_products.Lookup(key); }

  CTestFolder folder;
  CFakeCommandOptionsSystem system;
  CCommandOptions options;
  CSetupState state;
  CReplacementMap macros;
  CKwIniFile configuration;
  CProductList productList;
  CInstallGroupInfoMap groups;
  std::unique_ptr<CActionListSources> sources;
};

// "sequence section" of each action of the list, or "-" without the list.
inline std::wstring Describe(const CActionListMap& lists, const std::wstring& name) {
  CSetupActionList* list = CSetupActionList::Find(lists, name);
  if (!list) return L"-";
  std::wstring text;
  for (const auto& action : *list) {
    text += Format(L"%s%d %s", text.empty() ? L"" : L", ", action->GetSequence(), action->GetActionName().c_str());
  }
  return text;
}
