#pragma once
// window_text.h: a window's text as a wide string, the reading order of
// controls whose text is not in the interface's script, and pictures that
// keep their orientation in a mirrored dialog.
#include <windows.h>

#include <string>

std::wstring GetWindowTextString(HWND window);

// A control holding paths, file names or window titles reads them left to
// right in a mirrored dialog too: it leaves its parent's mirroring and
// right-to-left reading. Nothing changes in a dialog laid out left to right.
void KeepLeftToRightReading(HWND control);

// A mirrored dialog mirrors what its controls draw, pictures too: a picture
// control (a static's bitmap or icon, a picture button, an owner-drawn
// list of pictures) leaves its parent's mirroring and shows its picture as
// drawn, in its mirrored place. Nothing changes in a dialog laid out left
// to right.
void KeepPictureOrientation(HWND control);
