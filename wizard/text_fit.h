#pragma once
// text_fit.h: texts that must keep to the room of the static control that
// shows them, wrapped in its width with its font: the room they need, and
// a text cut at its end with an ellipsis where it would be cut off.
#include <windows.h>

#include <functional>
#include <string>

// `text` when `fits` takes it; else its longest beginning, ended with an
// ellipsis, that `fits` takes (the ellipsis alone at the least). A letter
// written with two UTF-16 units is never split.
std::wstring ShortenWithEllipsis(const std::wstring& text, const std::function<bool(const std::wstring&)>& fits);

// The height `text` takes in `control`, wrapped at its width with its font.
int WrappedTextHeight(HWND control, const std::wstring& text);
// Whether `text`, so wrapped, lies within the control's width and height.
bool FitsControl(HWND control, const std::wstring& text);
