#pragma once
// engine_settings.h: the settings of the setup engine itself that its command
// line carries besides the Windows Installer syntax, and the reader that
// takes them out of the text. Pure logic, so it also builds natively.
#include <string>
#include <vector>

// What the command line decided. A "given" flag tells the configuration
// reader that the command line has the last word on that setting.
struct CEngineSettings {
  bool createLaunchPoint = false;
  bool cleanSystem = false;
  bool fastInstall = false;
  bool prepareUpdate = false;
  std::wstring updateFolder;

  bool eulaAcceptedGiven = false;
  bool eulaAccepted = false;
  bool noOnlineAccessGiven = false;
  bool onlineAccess = true;
  bool updateManagerGiven = false;
  bool updateManager = true;
  bool updateManagerAutomaticGiven = false;
  bool updateManagerAutomatic = false;
  bool forceEncryptionGiven = false;
  bool forceEncryption = false;

  bool ueipGiven = false;
  bool ueipAccepted = false;
  bool allowOnlineUpdatesGiven = false;
  bool onlineUpdatesAllowed = false;
  bool onlineUpdatesAutomatic = false;
  bool requireOnlineAccessGiven = false;
  bool requireOnlineAccess = false;
  bool repairSourceGiven = false;
  std::wstring repairSource;
  bool installSourceGiven = false;
  std::wstring installSource;  // as given; may lack its trailing backslash
  bool basePathGiven = false;
  std::wstring basePath;                       // '/' already turned into '\', macros not expanded
  std::vector<std::wstring> disabledProducts;  // in reverse order of the command line
  bool mandatoryIgnored = false;
  bool languageForced = false;
  std::wstring languageCode;
  bool installAllLanguagesGiven = false;
  bool installAllLanguages = false;
  bool cleanupSourceFilesGiven = false;
  bool cleanupSourceFiles = false;
  bool returnRebootRequestGiven = false;
  bool returnRebootRequest = false;
};

// Reads the engine's settings from `text` (the command line without the
// program name) in their fixed order and takes the ones that packages must
// not see out of it, each only at the place where it was found. Names match
// case-sensitively at the start of a word outside quotes; /CreateLaunchPoint
// matches in any case. The lines to log are added to `logLines`.
void TakeEngineSettings(std::wstring* text, CEngineSettings* settings,
                        std::vector<std::wstring>* logLines);
