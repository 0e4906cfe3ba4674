#pragma once
// offer_choice.h: what the browser offer pages decide, apart from their
// windows: the picture for the screen's DPI, the user's answer recorded in
// the shared state, and the offer marker left in the registry.
#include <windows.h>

class CSetupState;

// A check box's state as the page found it.
enum EOfferBox { kOfferBoxMissing = -1, kOfferBoxClear = 0, kOfferBoxChecked = 1 };

// The PNG resource of the offer's picture for the DPI (96 below 120).
UINT ToolbarImageResourceId(int dpi);
UINT ChromeImageResourceId(int dpi);

// The toolbar page's answer: the toolbar product selected exactly when the
// offer is made and the box is checked; taking it withdraws the browser
// offer, declining it gives back the offer the page found.
void RecordToolbarChoice(CSetupState& state, EOfferBox install, LONG savedBrowserOffer);

// The browser page's answer: its product selected exactly when the offer is
// made and "Include" is checked, CHROMEBROWSERPARAMS from "default
// browser". `chromeChosen` turns false when the browser is not taken.
void RecordChromeChoice(CSetupState& state, EOfferBox include, EOfferBox makeDefault, bool* chromeChosen);

// The marker a declined browser offer leaves ("No Chrome offer Until"),
// removed when the browser is not installed, so the offer may come again.
void CleanChromeOfferMarker();
