#pragma once
// launch_point.h: the /CreateLaunchPoint mode: a shortcut that starts this
// setup program with the rest of its command line.
#include <windows.h>

#include <functional>
#include <string>

class CKwIniFile;

class CLaunchPoint {
 public:
  using ExpandFunction = std::function<std::wstring(const std::wstring&)>;

  // Both must outlive the object; `expand` resolves {Name} macros.
  CLaunchPoint(const CKwIniFile& configuration, ExpandFunction expand);

  // Creates the shortcut configured in [Shortcut] to `setupDir` + the
  // program's file name, with the arguments of `commandLine` that follow the
  // program, the switch taken out. 0, 13 without a setup folder or a link
  // or when something else than a shortcut stands at the link's name, 1639
  // without a program, else the shell's failure.
  DWORD Create(const std::wstring& commandLine, const std::wstring& setupDir) const;
  // Deletes the configured shortcut after a run that succeeded, and its
  // folder when nothing else is left in it, only when it is a shortcut to
  // the program `programPath` names in `setupDir`: the configured path may
  // name any file.
  void Cleanup(const std::wstring& setupDir, const std::wstring& programPath) const;

 private:
  std::wstring Read(const wchar_t* key) const;
  static std::wstring Target(const std::wstring& setupDir, const std::wstring& programPath);

  const CKwIniFile& m_configuration;
  ExpandFunction m_expand;
};

// The switch taken out of the command line, in any case, wherever it stands
// as a word of its own.
std::wstring WithoutLaunchPointSwitch(const std::wstring& commandLine);
