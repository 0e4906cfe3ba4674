#pragma once
// setup_sheet_rules.h: the sheet's arithmetic as pure functions: where the
// View button goes, which root the free space is measured on, and the
// progress bar's percentage.
#include <windows.h>

#include <string>

// 85 pixels below 120 DPI, 115 from there on.
int ViewButtonWidth(int dpi);
// The View button's left edge in the sheet's client coordinates: mirrored
// from Cancel when Cancel sits in the left part of the sheet (its left edge
// below 301), else as far from the left edge as Cancel is from the right.
int ViewButtonLeft(const RECT& sheet, const RECT& cancel, int width);

// The root on which free space is measured: "C:\" for "C:\Program Files\x",
// "\\server\share\" for "\\server\share\x". Empty when there is none (a
// relative folder, or a network path without its share).
std::wstring InstallRootOf(const std::wstring& folder);

// `done` clamped to 0..total, as a whole percentage of `total`; 100 when
// there is nothing to count.
int ProgressPercent(long done, long total);
