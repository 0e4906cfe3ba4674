#pragma once
// system_information.h: CSystemInformation describes the machine in the log at
// the start of a run and publishes the facts conditions test as properties.
#include <windows.h>

#include <string>
#include <vector>

class CFileIdentitySet;
class CSetupState;

class CSystemInformation {
 public:
  // What the operating-system line is built from.
  struct COsFacts {
    DWORD majorVersion = 0;
    DWORD minorVersion = 0;
    DWORD buildNumber = 0;
    BYTE productType = VER_NT_WORKSTATION;
    WORD suiteMask = 0;
    DWORD productInfo = 0;  // GetProductInfo, Windows 6 and later
    bool serverR2 = false;
    bool itanium = false;
    bool wow64 = false;
    std::wstring servicePack;
  };

  // Sets OSVERSION, OSBUILD, ARCHITECTURE and OSEDITION in the state and,
  // when the run has a log, writes the "Operating System Information:" block.
  static void LogSystemInformation(CSetupState* state);

  // The line after "Operating System Information:" and the edition key.
  static std::wstring DescribeOperatingSystem(const COsFacts& facts, std::wstring* editionKey);

  // The values `valueName` of the subkeys of an HKLM key (the 64-bit view when
  // the default one lacks it): with an empty filter the values themselves,
  // else the paths of the subkeys whose value equals the filter, case-blind.
  static bool EnumerateRegistrySubkeyValues(const std::wstring& subkey, const std::wstring& valueName,
                                            const std::wstring& filter, size_t minimumNameLength,
                                            std::vector<std::wstring>* found);

  static UINT GetUserAnsiCodePage();
  static UINT GetUserOemCodePage();

 private:
  static COsFacts ReadOsFacts();
  static void LogDotNetVersions();
  // Each file not yet in `listed` with its version; adds it there.
  static void LogFileVersions(const std::vector<std::wstring>& paths, const wchar_t* foundText,
                              const wchar_t* noneText, CFileIdentitySet* listed);
};
