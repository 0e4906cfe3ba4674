// offer_choice_test.cpp: the offer pages' answers as they reach the shared
// state (the products' selections, the other offer, the browser's switch),
// the pictures by DPI, and the offer marker against the browser's
// registration in the 32-bit view.
#include "wizard/offer_choice.h"

#include <windows.h>

#include <memory>
#include <string>

#include "engine/product_data.h"
#include "engine/selection_state.h"
#include "engine/setup_state.h"
#include "foundation/registry_key.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"

namespace {

// "1" selected, "0" not, "-" no such product.
std::wstring Selection(const CSetupState& state, const wchar_t* key) {
  CProductData* product = state.m_products.Lookup(key);
  return product ? (product->GetSelection()->IsCurrent() ? L"1" : L"0") : L"-";
}

void AddProduct(CSetupState* state, const wchar_t* key) {
  auto product = std::make_unique<CProductData>(key);
  product->GetSelection()->SetCurrent(true, false);
  state->m_products.SetAt(key, std::move(product));
}

}  // namespace

TEST(COfferChoiceTest, TheToolbarAnswerSelectsItsProductAndDecidesTheBrowserOffer) {
  struct Case {
    LONG toolbarOffer;
    bool products;
    EOfferBox install;
    LONG savedBrowserOffer;
    const wchar_t* toolbar;  // selections after the answer
    const wchar_t* chrome;
    LONG browserOffer;
  };
  const Case kCases[] = {
      {1, true, kOfferBoxChecked, 1, L"1", L"0", 0},    // taken: the browser offer is withdrawn
      {1, true, kOfferBoxClear, 1, L"0", L"1", 1},      // declined: the offer the page found comes back
      {1, true, kOfferBoxClear, 0, L"0", L"1", 0},
      {1, true, kOfferBoxMissing, 1, L"0", L"1", 7},    // no box: declined, the flag left alone
      {0, true, kOfferBoxChecked, 1, L"1", L"1", 7},    // no offer made: nothing recorded
      {1, false, kOfferBoxChecked, 1, L"-", L"-", 7},
  };
  for (const Case& c : kCases) {
    CSetupState state;
    if (c.products) {
      AddProduct(&state, L"GOOGLE_TOOLBAR");
      AddProduct(&state, L"GOOGLE_CHROME");
    }
    state.m_toolbarOffer = c.toolbarOffer;
    state.m_browserOffer = 7;
    RecordToolbarChoice(state, c.install, c.savedBrowserOffer);
    std::string label = WideToUtf8(Format(L"offer %d box %d saved %d", c.toolbarOffer, c.install, c.savedBrowserOffer));
    EXPECT_EQ(c.toolbar, Selection(state, L"GOOGLE_TOOLBAR")) << label;
    EXPECT_EQ(c.chrome, Selection(state, L"GOOGLE_CHROME")) << label;
    EXPECT_EQ(c.browserOffer, state.m_browserOffer) << label;
  }
}

TEST(COfferChoiceTest, TheBrowserAnswerSelectsItsProductAndSetsTheDefaultSwitch) {
  struct Case {
    LONG browserOffer;
    bool product;
    EOfferBox include;
    EOfferBox makeDefault;
    const wchar_t* chrome;
    const wchar_t* params;  // CHROMEBROWSERPARAMS after the answer
    bool chosen;
    LONG browserOfferAfter;
  };
  const Case kCases[] = {
      {1, true, kOfferBoxChecked, kOfferBoxChecked, L"1", L"/b:1", true, 1},
      {1, true, kOfferBoxChecked, kOfferBoxClear, L"1", L"/b:0", true, 1},
      {1, true, kOfferBoxClear, kOfferBoxClear, L"0", L"/b:0", false, 1},
      {0, true, kOfferBoxChecked, kOfferBoxChecked, L"0", L"/b:1", false, 0},  // no offer made: not taken
      {1, true, kOfferBoxMissing, kOfferBoxChecked, L"0", L"/b:1", true, 1},
      {1, true, kOfferBoxChecked, kOfferBoxMissing, L"1", L"unset", true, 1},
      {1, false, kOfferBoxChecked, kOfferBoxChecked, L"-", L"unset", true, 0},  // no product: no offer
  };
  for (const Case& c : kCases) {
    CSetupState state;
    if (c.product) AddProduct(&state, L"GOOGLE_CHROME");
    state.m_browserOffer = c.browserOffer;
    state.SetProperty(L"CHROMEBROWSERPARAMS", L"unset");
    bool chosen = true;
    RecordChromeChoice(state, c.include, c.makeDefault, &chosen);
    std::string label = WideToUtf8(Format(L"offer %d include %d default %d", c.browserOffer, c.include, c.makeDefault));
    std::wstring params;
    state.GetProperty(L"CHROMEBROWSERPARAMS", &params);
    EXPECT_EQ(c.chrome, Selection(state, L"GOOGLE_CHROME")) << label;
    EXPECT_EQ(c.params, params) << label;
    EXPECT_EQ(c.chosen, chosen) << label;
    EXPECT_EQ(c.browserOfferAfter, state.m_browserOffer) << label;
  }
}

TEST(COfferChoiceTest, EachOfferHasItsPictureForTheScreensDpi) {
  const int kDpis[] = {72, 96, 119, 120, 143, 144, 191, 192, 240};
  const UINT kToolbar[] = {11201, 11201, 11201, 11204, 11204, 11202, 11202, 11203, 11203};
  const UINT kChrome[] = {11165, 11165, 11165, 11206, 11206, 11207, 11207, 11208, 11208};
  for (size_t i = 0; i < sizeof(kDpis) / sizeof(kDpis[0]); ++i) {
    EXPECT_EQ(kToolbar[i], ToolbarImageResourceId(kDpis[i])) << kDpis[i];
    EXPECT_EQ(kChrome[i], ChromeImageResourceId(kDpis[i])) << kDpis[i];
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(kChrome[i]), L"PNG");
    EXPECT_NE(nullptr, found) << kDpis[i];
  }
}

namespace {

const wchar_t kClientKey[] = L"Software\\Google\\Update\\Clients\\{8A69D345-D564-463c-AFF1-A69D9E530F96}";
const wchar_t kMarkerKey[] = L"Software\\google\\No Chrome offer Until";

void SetKey(const wchar_t* path, const wchar_t* value, const wchar_t* data) {
  CRegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS | KEY_WOW64_32KEY, true);
  if (value) key.SetValueSZ(value, data);
}

void RemoveKey(const wchar_t* path) {
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY, 0);
}

bool KeyExists(const wchar_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

}  // namespace

// The marker goes only while the browser is not installed (no client key,
// or one without its version).
TEST(COfferChoiceTest, TheOfferMarkerGoesOnlyWhileTheBrowserIsNotInstalled) {
  struct Case {
    bool clientKey;
    const wchar_t* version;
    bool marker;
    bool markerAfter;
  };
  const Case kCases[] = {
      {false, nullptr, true, false},
      {true, nullptr, true, false},
      {true, L"120.0.1", true, true},
      {false, nullptr, false, false},
  };
  for (const Case& c : kCases) {
    RemoveKey(kClientKey);
    RemoveKey(kMarkerKey);
    if (c.clientKey) SetKey(kClientKey, c.version ? L"PV" : nullptr, c.version);
    if (c.marker) SetKey(kMarkerKey, nullptr, nullptr);
    CleanChromeOfferMarker();
    EXPECT_EQ(c.markerAfter, KeyExists(kMarkerKey)) << c.clientKey << " " << (c.version != nullptr);
    EXPECT_EQ(c.clientKey, KeyExists(kClientKey));
  }
  RemoveKey(kClientKey);
  RemoveKey(kMarkerKey);
  RemoveKey(L"Software\\Google\\Update\\Clients");
  RemoveKey(L"Software\\Google\\Update");
  RemoveKey(L"Software\\google");
}
