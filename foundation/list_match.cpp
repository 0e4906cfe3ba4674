// list_match.cpp: matching a value against a ";"-separated list, used for
// the language and edition lists of the configuration.
#include "foundation/list_match.h"

#include <windows.h>

#include <string>

#include "foundation/error.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const unsigned short kListMatchErrorArea = 25;
const DWORD kListMatchErrorCode = 0x8004006B;

}  // namespace

BOOL MatchSemicolonList(const std::wstring& value, const std::wstring& list) {
  std::wstring entries = Trim(list);
  if (entries.empty()) return TRUE;
  if (value.empty()) return FALSE;
  bool negated = entries[0] == L'~';
  // "~" alone excludes nothing, so it accepts every value like the empty list.
  if (negated) entries = Trim(entries.substr(1));
  bool found = false;
  while (!entries.empty() && !found) {
    std::wstring entry;
    if (!ExtractToken(&entries, &entry, L";", true)) {
      ReportInternalError(kListMatchErrorArea, kListMatchErrorCode, nullptr);
    }
    found = EqualsNoCase(entry, value);
  }
  return found != negated ? TRUE : FALSE;
}
