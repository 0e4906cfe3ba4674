#pragma once
// wiz_page_rules.h: the rules every wizard page follows, as pure functions:
// its buttons, whether its display condition skips it, and which header
// image suits the screen.
#include <windows.h>

#include <string>

#include "platform/string_map.h"
#include "wizard/wiz_page_settings.h"

// PSM_SETWIZBUTTONS bits of the page mask.
const DWORD kWizButtonBack = 0x1;
const DWORD kWizButtonNext = 0x2;
const DWORD kWizButtonFinish = 0x4;
const DWORD kWizButtonView = 0x10;

// Back and Next unless disabled, View when enabled; a page whose Next is
// exactly "0", or the user-exit page, offers Finish only.
DWORD ComputeButtonFlags(const CWizPageSettings& settings);

// A property value that holds a condition: "true" (any case) or "1".
bool IsPropertyTrue(const std::wstring& value);
// True when the page's display condition hides it: the condition names
// properties, and none of them is true. Names are trimmed; a missing
// property is not true.
bool IsSkippedByCondition(const std::wstring& displayCondition, const CMapStringToString& properties);

// The header image's size for the screen's logical DPI: 96, 120, 144 or 192.
int HeaderImageSize(int dpi);
// "header_NNN.png" for that size.
std::wstring HeaderImageFileName(int dpi);
// The PNG resource of that size.
UINT HeaderImageResourceId(int dpi);
// The progress page's picture beside its security note, by the same sizes.
UINT SecurityImageResourceId(int dpi);

// The side of a picture button's icon: 32 pixels at 96 DPI, grown with the
// DPI as the pictures drawn for 120, 144 and 192 are (40, 48, 64), but
// never more than the button's client area leaves inside its frame.
int PictureButtonIconSize(int dpi, int buttonWidth, int buttonHeight);

// Where the grey band below the header picture ends, in the page's pixels:
// where the layout's sub-titles begin (`layoutEnd`), or, below a picture
// taller than the layout leaves room for, a quarter of its height further.
int HeaderBandEnd(int layoutEnd, int headerTop, int headerBottom);
