#pragma once
// engine_settings.h: the settings of the setup engine itself that its command
// line carries besides the Windows Installer syntax, and the reader that
// takes them out of the text. Pure logic, so it also builds natively.
#include <string>
#include <vector>

// The engine's settings of one run. TakeEngineSettings fills them from the
// command line; CSetupProperties then merges SETUP.DCF into them where the
// command line said nothing (its "given" flag is false) and adds the
// settings that only the configuration has. The later steps read them here.
struct CEngineSettings {
  bool createLaunchPoint = false;
  bool cleanSystem = false;
  bool fastInstall = false;
  bool prepareUpdate = false;
  std::wstring updateFolder;

  // The command line's word on the EULA and on the experience programme
  // (ueipAccepted) only: the run's choice lives in the shared state, where
  // the wizard's pages change it.
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
  // Started by another setup's source.ini: this run hands over no further.
  bool startedByHandOver = false;
  // The settings taken out of the text, each as it was written, in the
  // order they were taken: a command line that starts setup again must
  // carry them, since the command options never see them.
  std::vector<std::wstring> takenOut;

  // From SETUP.DCF only.
  bool languageDialogAllowed = false;  // never with a forced language, a repair or an uninstall
  bool requireAdmin = true;
  bool separateInstallDirs = true;
  bool perProductPlatforms = false;
  bool referenceCounting = false;
  std::wstring updateManagerExpiration;
};

// Reads the engine's settings from `text` (the command line without the
// program name) in their fixed order and takes the ones that packages must
// not see out of it, each only at the place where it was found. Names match
// case-sensitively at the start of a word outside quotes; /CreateLaunchPoint
// matches in any case. The lines to log are added to `logLines`.
void TakeEngineSettings(std::wstring* text, CEngineSettings* settings,
                        std::vector<std::wstring>* logLines);

// What a source.ini hand-over adds to the command line it starts.
extern const wchar_t kHandOverMark[];

// Takes the hand-over mark out of `text`, wherever it stands as a word of its
// own outside quotes; true when it was there. It is never handed on: a resume
// or a working copy of the run it marks is no hand-over.
bool TakeHandOverMark(std::wstring* text);

// The settings taken out, each after a blank, for a command line that starts
// setup again; those whose names `rewritten` holds (as "Name=") are left to
// the caller, which writes them itself.
std::wstring TakenSettingsText(const CEngineSettings& settings,
                               const std::vector<std::wstring>& rewritten = {});
