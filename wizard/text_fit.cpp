// text_fit.cpp: measuring a static control's text as the control draws it.
#include "wizard/text_fit.h"

namespace {

const wchar_t kEllipsis[] = L"\u2026";

// The room the control's own drawing gives the text, wrapped at its width.
RECT MeasureWrapped(HWND control, const std::wstring& text) {
  RECT client = {};
  GetClientRect(control, &client);
  RECT needed = {0, 0, client.right, 0};
  HDC dc = GetDC(control);
  if (!dc) return needed;
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  UINT format = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS;
  if (GetWindowLongW(control, GWL_STYLE) & SS_NOPREFIX) format |= DT_NOPREFIX;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, format);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return needed;
}

}  // namespace

std::wstring ShortenWithEllipsis(const std::wstring& text, const std::function<bool(const std::wstring&)>& fits) {
  if (fits(text)) return text;
  auto cut = [&text](size_t length) {
    if (length > 0 && length < text.size() && IS_HIGH_SURROGATE(text[length - 1])) --length;
    size_t end = text.find_last_not_of(L" \t\r\n", length == 0 ? std::wstring::npos : length - 1);
    return (length == 0 || end == std::wstring::npos ? std::wstring() : text.substr(0, end + 1)) + kEllipsis;
  };
  // Longer beginnings need at least the room of shorter ones.
  size_t low = 0;
  size_t high = text.size();
  while (low + 1 < high) {
    size_t middle = (low + high) / 2;
    if (fits(cut(middle))) low = middle;
    else high = middle;
  }
  return cut(low);
}

int WrappedTextHeight(HWND control, const std::wstring& text) { return MeasureWrapped(control, text).bottom; }

bool FitsControl(HWND control, const std::wstring& text) {
  RECT client = {};
  GetClientRect(control, &client);
  RECT needed = MeasureWrapped(control, text);
  return needed.right <= client.right && needed.bottom <= client.bottom;
}
