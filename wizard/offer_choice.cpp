// offer_choice.cpp: the offer pages' decisions and the offer marker.
#include "wizard/offer_choice.h"

#include "engine/product_data.h"
#include "engine/selection_state.h"
#include "engine/setup_state.h"
#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kToolbarProduct[] = L"GOOGLE_TOOLBAR";
const wchar_t kChromeProduct[] = L"GOOGLE_CHROME";
const wchar_t kBrowserParamsProperty[] = L"CHROMEBROWSERPARAMS";
const wchar_t kMakeDefault[] = L"/b:1";
const wchar_t kKeepDefault[] = L"/b:0";
const wchar_t kChromeClientKey[] = L"Software\\Google\\Update\\Clients\\{8A69D345-D564-463c-AFF1-A69D9E530F96}";
const wchar_t kVersionValue[] = L"PV";
const wchar_t kMarkerKey[] = L"Software\\google\\No Chrome offer Until";

UINT ImageForDpi(int dpi, UINT at96, UINT at120, UINT at144, UINT at192) {
  if (dpi >= 192) return at192;
  if (dpi >= 144) return at144;
  if (dpi >= 120) return at120;
  return at96;
}

void Select(CSetupState& state, const wchar_t* key, bool selected) {
  CProductData* product = state.m_products.Lookup(key);
  if (product && product->GetSelection()) product->GetSelection()->SetCurrent(selected, false);
}

bool ChromeInstalled() {
  try {
    CRegistryKey client;
    client.Open(HKEY_LOCAL_MACHINE, kChromeClientKey, KEY_QUERY_VALUE | KEY_WOW64_32KEY, false);
    client.GetValueSZ(kVersionValue);
    return true;
  } catch (const CError&) {
    return false;  // no client key or no version: the browser is not installed
  }
}

}  // namespace

UINT ToolbarImageResourceId(int dpi) {
  return ImageForDpi(dpi, IDB_TOOLBAR_96, IDB_TOOLBAR_120, IDB_TOOLBAR_144, IDB_TOOLBAR_192);
}

UINT ChromeImageResourceId(int dpi) {
  return ImageForDpi(dpi, IDB_CHROME_96, IDB_CHROME_120, IDB_CHROME_144, IDB_CHROME_192);
}

void RecordToolbarChoice(CSetupState& state, EOfferBox install, LONG savedBrowserOffer) {
  if (!state.m_toolbarOffer || !state.m_products.Lookup(kToolbarProduct)) return;
  if (install == kOfferBoxMissing) {
    WriteLog(L"Unable to retrieve user selection for Google Toolbar; disabling");
    Select(state, kToolbarProduct, false);
    return;
  }
  bool taken = install == kOfferBoxChecked;
  Select(state, kToolbarProduct, taken);
  if (taken) {
    WriteLog(L"User agree to install google; disable chrome page by condition");
    Select(state, kChromeProduct, false);
    state.m_browserOffer = 0;
  } else {
    state.m_browserOffer = savedBrowserOffer;
  }
}

void RecordChromeChoice(CSetupState& state, EOfferBox include, EOfferBox makeDefault, bool* chromeChosen) {
  if (!state.m_products.Lookup(kChromeProduct)) {
    state.m_browserOffer = 0;
    return;
  }
  if (include == kOfferBoxMissing) {
    WriteLog(L"Unable to retrieve user selection for Google Chrome; disabling");
    Select(state, kChromeProduct, false);
  } else {
    bool taken = state.m_browserOffer && include == kOfferBoxChecked;
    Select(state, kChromeProduct, taken);
    if (!taken && chromeChosen) *chromeChosen = false;
  }
  if (makeDefault != kOfferBoxMissing) {
    state.SetProperty(kBrowserParamsProperty, makeDefault == kOfferBoxChecked ? kMakeDefault : kKeepDefault);
  }
}

void CleanChromeOfferMarker() {
  if (ChromeInstalled()) return;
  try {
    CRegistryKey marker;
    marker.Open(HKEY_LOCAL_MACHINE, kMarkerKey, KEY_READ | KEY_WOW64_32KEY, false);
    marker.Close();
    marker.DeleteKey();
    WriteLog(L"Removed the browser offer marker");
  } catch (const CRegistryKey::CMissingKey&) {
    // No marker: nothing to remove.
  } catch (const CError& error) {
    WriteLog(L"Failed to remove the browser offer marker, error code = %d", error.GetErrorCode());
  }
}
