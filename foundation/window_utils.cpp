// window_utils.cpp: window placement and fonts from a text spec.
#include "foundation/window_utils.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const DWORD kPlaceWindowPollStep = 1000;

}  // namespace

BOOL PlaceWindowOfClass(const wchar_t* className, int width, int height,
                        DWORD timeoutMilliseconds) {
  if (!className) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HWND window = FindWindowW(className, nullptr);
  DWORD waited = 0;
  while (!window && waited < timeoutMilliseconds) {
    DWORD step = std::min(kPlaceWindowPollStep, timeoutMilliseconds - waited);
    Sleep(step);
    waited += step;
    window = FindWindowW(className, nullptr);
  }
  if (!window) {
    SetLastError(ERROR_TIMEOUT);
    return FALSE;
  }
  // Listed before any is moved: moving activates a window, which reorders the
  // windows and would send a walk in z-order round in circles.
  std::vector<HWND> windows{window};
  for (;;) {
    window = FindWindowExW(nullptr, window, className, nullptr);
    if (!window || FindWindowExW(window, nullptr, className, nullptr)) break;
    windows.push_back(window);
  }
  for (HWND target : windows) {
    SetWindowPos(target, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_FRAMECHANGED);
  }
  return TRUE;
}

HFONT CreateFontFromSpec(HDC dc, const std::wstring& spec, const wchar_t* separators, int dpi) {
  std::wstring rest = spec;
  std::wstring face;
  std::wstring style;
  std::wstring size;
  ExtractToken(&rest, &face, separators, true);
  ExtractToken(&rest, &style, separators, true);
  ExtractToken(&rest, &size, separators, true);
  int points = 0;
  if (!dc || face.empty() || face.size() >= LF_FACESIZE || !StringToInt(size, &points)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  LOGFONTW font = {};
  font.lfHeight = -MulDiv(points, dpi > 0 ? dpi : GetDeviceCaps(dc, LOGPIXELSY), 72);
  font.lfWeight = EqualsNoCase(style, L"Bold") ? FW_BOLD : FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  return CreateFontIndirectW(&font);
}
