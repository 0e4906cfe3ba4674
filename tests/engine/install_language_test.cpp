// install_language_test.cpp: the languages a suite's packages offer and the
// language each product and the run end up with, over package folders on disk.
#include "engine/install_language.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/setup_state.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

class CInstallLanguageTest : public ::testing::Test {
 protected:
  // A package in a folder per language under the product's own folder.
  CProductData* AddProduct(const std::wstring& key, const std::vector<std::wstring>& languages,
                           LANGID own = 0) {
    CreateDirectoryW(m_folder.File(key).c_str(), nullptr);
    for (const std::wstring& code : languages) {
      CreateDirectoryW(m_folder.File(key + L"\\" + code).c_str(), nullptr);
      WriteFileBytes(m_folder.File(key + L"\\" + code + L"\\p.msi"), "x");
    }
    std::unique_ptr<CProductData> product(new CProductData(key));
    product->SetSourcePackagePath(m_folder.File(key + L"\\{lang}\\p.msi"));
    product->SetProductLanguage(own);
    CProductData* raw = product.get();
    m_state.m_products.SetAt(key, std::move(product));
    m_keys.push_back(key);
    return raw;
  }

  // The run's language forced to `code`, as {lang}= on the command line does.
  CInstallLanguage Forced(const std::wstring& code) {
    m_installLanguage = code;
    CInstallLanguage language(m_state, &m_installLanguage, m_folder.Path());
    language.DetermineBaseLanguage(true);
    return language;
  }

  CTestFolder m_folder;
  CSetupState m_state;
  std::wstring m_installLanguage;
  std::vector<std::wstring> m_keys;
};

TEST_F(CInstallLanguageTest, OffersEachPackageLanguageOnceInAscendingOrder) {
  AddProduct(L"Alpha", {L"FRA", L"ENU"});
  AddProduct(L"Beta", {L"ENU", L"DEU"});
  AddProduct(L"Gamma", {}, 0x0411);  // no package files: its own language
  AddProduct(L"Delta", {});
  m_keys.push_back(L"NoData");
  Forced(L"ENU").CollectLanguageCandidates(m_keys);
  EXPECT_EQ((std::vector<std::wstring>{L"DEU", L"ENU", L"FRA", L"JPN"}), m_state.m_lists[0]);
}

TEST_F(CInstallLanguageTest, ProductsInTheInstallLanguageKeepIt) {
  CProductData* alpha = AddProduct(L"Alpha", {L"ENU", L"DEU"});
  CProductData* beta = AddProduct(L"Beta", {L"FRA"});
  Forced(L"DEU").ChooseProductLanguages(m_keys);
  EXPECT_EQ(0x0407, alpha->GetProductLanguage());
  EXPECT_EQ(0x040C, beta->GetProductLanguage());
  EXPECT_EQ(L"DEU", m_installLanguage);
  EXPECT_EQ(L"DEU", m_state.m_languageCode);
  EXPECT_EQ(0x0407, m_state.m_languageId);
  EXPECT_EQ(0x0007, m_state.m_primaryLanguageId);
}

// No package exists in Spanish: each product takes the first language of
// the table it has, and the run follows the last product.
TEST_F(CInstallLanguageTest, RunFollowsTheLastProductWhenNoneMatches) {
  CProductData* alpha = AddProduct(L"Alpha", {L"ITA", L"FRA"});
  CProductData* beta = AddProduct(L"Beta", {L"PTB", L"DEU"});
  Forced(L"ESN").ChooseProductLanguages(m_keys);
  EXPECT_EQ(0x040C, alpha->GetProductLanguage());
  EXPECT_EQ(0x0407, beta->GetProductLanguage());
  EXPECT_EQ(L"DEU", m_installLanguage);
  EXPECT_EQ(0x0407, m_state.m_languageId);
}

// One package each, none in French: the interface keeps French; the record
// names the packages' own language.
TEST_F(CInstallLanguageTest, PackagesWithoutTheLanguageNameTheirOwn) {
  AddProduct(L"Alpha", {}, 0x0409);
  CInstallLanguage language = Forced(L"FRA");
  language.CollectLanguageCandidates(m_keys);
  language.ChooseProductLanguages(m_keys);
  EXPECT_EQ(L"FRA", m_installLanguage);
  EXPECT_EQ(L"ENU", m_state.m_packageLanguageCode);
}

}  // namespace
