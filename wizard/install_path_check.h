#pragma once
// install_path_check.h: whether a folder typed on the install location page
// can take the suite: its length, its drive and the characters of its
// folder names. Pure logic: the drive's type comes from the caller.
#include <functional>
#include <string>

// The system's drive type of a root ("C:\", "\\server\share\").
using DriveTypeFunction = std::function<unsigned int(const std::wstring& root)>;

enum EInstallPathProblem {
  kInstallPathFine,
  // Empty, or longer than the system allows.
  kInstallPathBadLength,
  // Unknown, missing, on the network or on a CD.
  kInstallPathBadDrive,
  // A folder name holds a character that no folder name may hold.
  kInstallPathBadCharacter,
};

struct CInstallPathCheck {
  EInstallPathProblem problem = kInstallPathFine;
  // The root the drive was judged by.
  std::wstring root;
};

// The text up to and including its first backslash; for a network path,
// up to and including the backslash after the share name. A root without
// its closing backslash gets one.
std::wstring InstallPathRoot(const std::wstring& path);

CInstallPathCheck CheckInstallPath(const std::wstring& path, const DriveTypeFunction& driveType);

// The folder with one trailing backslash.
std::wstring WithTrailingBackslash(const std::wstring& folder);
// The folder without its trailing backslashes.
std::wstring WithoutTrailingBackslashes(const std::wstring& folder);
