// wiz_page_rules.cpp: the page rules that need no window.
#include "wizard/wiz_page_rules.h"

#include <algorithm>
#include <iterator>

#include "foundation/text_utils.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kUserExitPage[] = L"UserExit";
const wchar_t kNoNextPage[] = L"0";
// The sizes the program's icons are drawn in, largest first, and the
// room a push button's frame and focus mark take on each side.
const int kIconSizes[] = {64, 48, 40, 32, 24, 16};
const int kButtonFrame = 6;

// The resource of the page pictures' size for the DPI.
UINT ResourceOfImageSize(int dpi, UINT at96, UINT at120, UINT at144, UINT at192) {
  switch (HeaderImageSize(dpi)) {
    case 192:
      return at192;
    case 144:
      return at144;
    case 120:
      return at120;
    default:
      return at96;
  }
}

}  // namespace

DWORD ComputeButtonFlags(const CWizPageSettings& settings) {
  DWORD flags = 0;
  if (!settings.disableBack) flags |= kWizButtonBack;
  if (!settings.disableNext) flags |= kWizButtonNext;
  if (settings.enableView) flags |= kWizButtonView;
  if (settings.next == kNoNextPage || EqualsNoCase(settings.name, kUserExitPage)) flags = kWizButtonFinish;
  return flags;
}

// The engine writes "true" and "false", pages "1" and "0": both mean the same.
bool IsPropertyTrue(const std::wstring& value) {
  std::wstring trimmed = Trim(value);
  return EqualsNoCase(trimmed, L"true") || trimmed == L"1";
}

bool IsSkippedByCondition(const std::wstring& displayCondition, const CMapStringToString& properties) {
  std::wstring rest = displayCondition;
  std::wstring name;
  bool named = false;
  while (ExtractToken(&rest, &name, L",", true)) {
    name = Trim(name);
    if (name.empty()) continue;
    named = true;
    auto found = properties.find(name);
    if (found != properties.end() && IsPropertyTrue(found->second)) return false;
  }
  return named;
}

int HeaderImageSize(int dpi) {
  if (dpi >= 145) return 192;
  if (dpi >= 121) return 144;
  if (dpi >= 97) return 120;
  return 96;
}

std::wstring HeaderImageFileName(int dpi) { return Format(L"header_%d.png", HeaderImageSize(dpi)); }

UINT HeaderImageResourceId(int dpi) {
  return ResourceOfImageSize(dpi, IDB_HEADER_96, IDB_HEADER_120, IDB_HEADER_144, IDB_HEADER_192);
}

UINT SecurityImageResourceId(int dpi) {
  return ResourceOfImageSize(dpi, IDB_SECURITY_96, IDB_SECURITY_120, IDB_SECURITY_144, IDB_SECURITY_192);
}

int PictureButtonIconSize(int dpi, int buttonWidth, int buttonHeight) {
  int wanted = MulDiv(32, dpi, 96);
  int room = std::min(buttonWidth, buttonHeight) - 2 * kButtonFrame;
  for (int size : kIconSizes) {
    if (size <= wanted && size <= room) return size;
  }
  return kIconSizes[std::size(kIconSizes) - 1];
}

int HeaderBandEnd(int layoutEnd, int headerTop, int headerBottom) {
  if (layoutEnd > headerBottom) return layoutEnd;
  return headerBottom + (headerBottom - headerTop) / 4;
}
