#pragma once
// replacement_map.h: the {Name} macros of the system's folders and of the
// run's own values, and expansion over them and the shared property map.
#include <string>

#include "engine/macro_expander.h"

class CCommandOptions;
class CSetupState;

class CReplacementMap {
 public:
  // The state's property map is the second source of every expansion.
  explicit CReplacementMap(const CSetupState& state) : m_state(state) {}
  CReplacementMap(const CReplacementMap&) = delete;
  CReplacementMap& operator=(const CReplacementMap&) = delete;

  // Written only here and before the wizard starts, so the wizard's thread
  // reads the map without a lock. {SetupDir} and {InstallerDir} name the
  // folder of `programPath`: the setup program as the kit holds it.
  void Create(const CCommandOptions& options, const std::wstring& programPath, bool suiteMode);
  // What every package command of the run gets: {setupparams}.
  static std::wstring BuildSetupParams(const CCommandOptions& options, bool suiteMode);

  // Safe on any thread: every call keeps its own state and reads a copy of
  // the properties.
  std::wstring Expand(const std::wstring& text) const;
  bool Resolve(std::wstring* text, std::wstring* value) const;
  // Both maps, the property map first.
  void Log() const;

  const MacroMap& Map() const { return m_map; }
  // A folder of the shell by its CSIDL; empty when the shell cannot give it.
  static std::wstring ShellFolder(int folderId);
  // Also before the wizard starts only.
  void SetMacro(const std::wstring& name, const std::wstring& value) { m_map[name] = value; }

 private:
  void AddProgramFilesFolders();
  void AddShellFolder(const wchar_t* key, int folderId);

  const CSetupState& m_state;
  MacroMap m_map;
};
