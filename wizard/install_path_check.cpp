// install_path_check.cpp: the checks of a typed install folder, in the
// order the user is told of them.
#include "wizard/install_path_check.h"

namespace {

const size_t kMaxPathLength = 260;
// GetDriveType's answers that no install can use.
const unsigned int kDriveUnknown = 0;
const unsigned int kDriveNoRootDir = 1;
const unsigned int kDriveRemote = 4;
const unsigned int kDriveCdRom = 5;
const wchar_t kBadCharacters[] = L":/*?\"<>|";

bool IsNetworkPath(const std::wstring& path) { return path.compare(0, 2, L"\\\\") == 0; }

}  // namespace

std::wstring InstallPathRoot(const std::wstring& path) {
  size_t end = std::wstring::npos;
  if (IsNetworkPath(path)) {
    size_t server = path.find(L'\\', 2);
    if (server != std::wstring::npos) end = path.find(L'\\', server + 1);
  } else {
    end = path.find(L'\\');
  }
  if (end == std::wstring::npos) return WithTrailingBackslash(path);
  return path.substr(0, end + 1);
}

CInstallPathCheck CheckInstallPath(const std::wstring& path, const DriveTypeFunction& driveType) {
  CInstallPathCheck check;
  if (path.empty() || path.size() > kMaxPathLength) {
    check.problem = kInstallPathBadLength;
    return check;
  }
  check.root = InstallPathRoot(path);
  unsigned int type = driveType ? driveType(check.root) : kDriveUnknown;
  if (type == kDriveUnknown || type == kDriveNoRootDir || type == kDriveRemote || type == kDriveCdRom) {
    check.problem = kInstallPathBadDrive;
    return check;
  }
  // The drive's own colon ("C:") is the only one allowed.
  size_t namesStart = path.size() >= 2 && path[1] == L':' ? 2 : 0;
  if (IsNetworkPath(path)) namesStart = 2;
  if (path.find_first_of(kBadCharacters, namesStart) != std::wstring::npos) {
    check.problem = kInstallPathBadCharacter;
  }
  return check;
}

std::wstring WithTrailingBackslash(const std::wstring& folder) {
  if (!folder.empty() && folder.back() == L'\\') return folder;
  return folder + L"\\";
}

std::wstring WithoutTrailingBackslashes(const std::wstring& folder) {
  size_t end = folder.find_last_not_of(L'\\');
  return end == std::wstring::npos ? std::wstring() : folder.substr(0, end + 1);
}
