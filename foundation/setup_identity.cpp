// setup_identity.cpp: the names and versions that make a downloaded program
// this setup's update.
#include "foundation/setup_identity.h"

#include <string>

namespace {

const wchar_t kProductName[] = L"ProductName";
const wchar_t kInternalName[] = L"InternalName";

const wchar_t kOwnUnnamed[] = L"this setup's version resource does not name its product";
const wchar_t kOtherProgram[] = L"it is another program than this setup";
const wchar_t kNotAnnounced[] = L"its version is not the one the update site announced";
const wchar_t kNotNewer[] = L"it is not newer than this setup";

std::wstring Text(const CPeVersionInfo& info, const wchar_t* name) {
  auto found = info.strings.find(name);
  return found == info.strings.end() ? std::wstring() : found->second;
}

// Part by part: negative, zero or positive as `first` is below, equal to or above `second`.
int Compare(const uint16_t first[4], const uint16_t second[4]) {
  for (int i = 0; i < 4; ++i) {
    if (first[i] != second[i]) return first[i] < second[i] ? -1 : 1;
  }
  return 0;
}

}  // namespace

const wchar_t* SetupUpdateRefusal(const CPeVersionInfo& own, const CPeVersionInfo& update,
                                  const uint16_t announced[4]) {
  for (const wchar_t* name : {kProductName, kInternalName}) {
    if (Text(own, name).empty()) return kOwnUnnamed;
    if (Text(update, name) != Text(own, name)) return kOtherProgram;
  }
  if (Compare(update.fileVersion, announced) != 0) return kNotAnnounced;
  if (Compare(update.fileVersion, own.fileVersion) <= 0) return kNotNewer;
  return nullptr;
}
