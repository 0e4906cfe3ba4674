// setup_sheet_rules.cpp: the sheet's arithmetic that needs no window.
#include "wizard/setup_sheet_rules.h"

int ViewButtonWidth(int dpi) { return dpi < 120 ? 85 : 115; }

int ViewButtonLeft(const RECT& sheet, const RECT& cancel, int width) {
  if (cancel.left < 301) return sheet.left + sheet.right - cancel.left - width;
  return sheet.right - cancel.right;
}

std::wstring InstallRootOf(const std::wstring& folder) {
  size_t first = folder.find(L'\\');
  if (first == std::wstring::npos) return std::wstring();
  if (first > 0) return folder.substr(0, first + 1);
  // A network path: "\\server\share\" is the root.
  if (folder.size() < 2 || folder[1] != L'\\') return std::wstring();
  size_t server = folder.find(L'\\', 2);
  if (server == std::wstring::npos || server == 2) return std::wstring();
  std::wstring withSlash = folder + L"\\";
  size_t share = withSlash.find(L'\\', server + 1);
  if (share == server + 1) return std::wstring();
  return withSlash.substr(0, share + 1);
}

int ProgressPercent(long done, long total) {
  if (total < 1) return 100;
  if (done < 0) done = 0;
  if (done > total) done = total;
  return static_cast<int>(static_cast<long long>(done) * 100 / total);
}
