#pragma once
// external_command.h: CExternalCommand, one short command description of the
// configuration ("UNINSTALLKEY,<key>,<versions>,<languages>", "PROGRAM,<exe>,
// <arguments>", "DLL,<dll>,<entry>", "DEFAULT", "NONE"), parsed and run to a
// Win32 code.
#include <windows.h>

#include <string>

class CExternalCommand {
 public:
  enum EKind : DWORD {
    kNone = 0,
    kDefault = 1,
    kUninstallKey = 2,
    kNestedKey = 3,
    kProgram = 4,
    kDll = 5,
  };

  // Parses the description; IsValid tells whether it could be.
  explicit CExternalCommand(const std::wstring& description);
  CExternalCommand(const CExternalCommand&) = delete;
  CExternalCommand& operator=(const CExternalCommand&) = delete;
  virtual ~CExternalCommand();

  // Fields split at "," outside double quotes, the quotes removed, each field
  // trimmed; the keyword compares exactly. False (and the command invalid)
  // for an unknown keyword or a missing field.
  bool Parse(const std::wstring& description);

  // 0 success; 1168 for a product that is not found; 13 for a description
  // that could not be parsed; otherwise the code of the program, DLL entry or
  // uninstaller, or of the failure to start it.
  virtual DWORD Run();

  // A run whose restart code suppress-reboot turned into 0: the restart is
  // still needed, only not now.
  bool IsRebootRequested() const { return m_rebootRequested; }
  bool IsValid() const { return m_valid; }
  EKind GetKind() const { return m_kind; }
  void SetKind(EKind kind) { m_kind = kind; }
  bool IsKeyKind() const { return m_kind == kUninstallKey || m_kind == kNestedKey; }
  const std::wstring& GetKey() const { return m_key; }
  void SetKey(const std::wstring& key) { m_key = key; }
  void SetUninstallMode(bool uninstall) { m_uninstallMode = uninstall; }
  void SetSuppressReboot(bool suppress) { m_suppressReboot = suppress; }
  void SetSilent(bool silent) { m_silent = silent; }
  void SetForce(bool force) { m_force = force; }
  void SetSourceFolder(const std::wstring& folder) { m_sourceFolder = folder; }
  void SetTLASearchKey(const std::wstring& key) { m_tlaSearchKey = key; }
  const std::wstring& GetProgram() const { return m_program; }
  const std::wstring& GetArguments() const { return m_arguments; }
  const std::wstring& GetEntryPoint() const { return m_entryPoint; }
  const std::wstring& GetValidVersions() const { return m_validVersions; }
  const std::wstring& GetValidLanguages() const { return m_validLanguages; }

 private:
  DWORD RunProgram();
  DWORD RunDll();
  DWORD CallEntry(HMODULE module, const std::wstring& path);
  DWORD RunKey();
  bool IsProductFound(std::wstring* command);
  std::wstring FromSourceFolder(const std::wstring& path) const;
  DWORD SuppressReboot(DWORD result);

  std::wstring m_description;
  bool m_valid = false;
  EKind m_kind = kNone;
  std::wstring m_key;
  bool m_uninstallMode = false;
  bool m_suppressReboot = false;
  bool m_rebootRequested = false;
  bool m_silent = false;
  bool m_force = false;
  std::wstring m_program;
  std::wstring m_arguments;
  std::wstring m_entryPoint;
  std::wstring m_sourceFolder;
  std::wstring m_validVersions;
  std::wstring m_validLanguages;
  std::wstring m_tlaSearchKey;
};
