// engine_settings_test.cpp: the engine's own settings read from its command
// line: what each decides, what stays for the packages, and that a removal
// touches only the setting's own place.
#include "engine/engine_settings.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/wide_string.h"

namespace {

std::wstring Flag(bool value) { return value ? L"1" : L"0"; }

// The settings that differ from the defaults, in a fixed order.
std::wstring Describe(const CEngineSettings& s) {
  std::vector<std::wstring> parts;
  if (s.createLaunchPoint) parts.push_back(L"launchpoint");
  if (s.cleanSystem) parts.push_back(L"clean");
  if (s.fastInstall) parts.push_back(L"fast");
  if (s.prepareUpdate) parts.push_back(L"prepare=" + s.updateFolder);
  if (s.eulaAcceptedGiven) parts.push_back(L"eula=" + Flag(s.eulaAccepted));
  if (s.noOnlineAccessGiven) parts.push_back(L"online=" + Flag(s.onlineAccess));
  if (s.updateManagerGiven) parts.push_back(L"um=" + Flag(s.updateManager));
  if (s.updateManagerAutomaticGiven) parts.push_back(L"uma=" + Flag(s.updateManagerAutomatic));
  if (s.forceEncryptionGiven) parts.push_back(L"enc=" + Flag(s.forceEncryption));
  if (s.ueipGiven) parts.push_back(L"ueip=" + Flag(s.ueipAccepted));
  if (s.allowOnlineUpdatesGiven) {
    parts.push_back(L"aou=" + Flag(s.onlineUpdatesAllowed) + Flag(s.onlineUpdatesAutomatic));
  }
  if (s.requireOnlineAccessGiven) parts.push_back(L"roa=" + Flag(s.requireOnlineAccess));
  if (s.repairSourceGiven) parts.push_back(L"repair=" + s.repairSource);
  if (s.installSourceGiven) parts.push_back(L"source=" + s.installSource);
  if (s.basePathGiven) parts.push_back(L"base=" + s.basePath);
  if (!s.disabledProducts.empty()) {
    std::wstring list;
    for (const std::wstring& key : s.disabledProducts) list += (list.empty() ? L"" : L",") + key;
    parts.push_back(L"disable=" + list);
  }
  if (s.mandatoryIgnored) parts.push_back(L"nomandatory");
  if (s.languageForced) parts.push_back(L"lang=" + s.languageCode);
  if (s.installAllLanguagesGiven) parts.push_back(L"all=" + Flag(s.installAllLanguages));
  if (s.cleanupSourceFilesGiven) parts.push_back(L"cleanup=" + Flag(s.cleanupSourceFiles));
  if (s.returnRebootRequestGiven) parts.push_back(L"rrr=" + Flag(s.returnRebootRequest));
  std::wstring out;
  for (const std::wstring& part : parts) out += (out.empty() ? L"" : L" ") + part;
  return out;
}

struct CSettingsCase {
  const wchar_t* commandLine;
  const wchar_t* left;      // the text the command options get
  const wchar_t* settings;  // Describe() of the result
};

const CSettingsCase kCases[] = {
    {L"", L"", L""},
    {L"/qn /Silent /NoPrompt", L"/qn /Silent /NoPrompt", L""},
    // FastInstall
    {L"FastInstall=3 /qn", L" /qn MSIFASTINSTALL=7 DISABLEROLLBACK=1", L"fast"},
    {L"FastInstall=2", L" MSIFASTINSTALL=7", L"fast"},
    {L"/qn FastInstall=1", L"/qn ", L"fast"},
    {L"FastInstall=9 /qn", L" /qn", L""},
    {L"FastInstall= /qn", L"FastInstall= /qn", L""},
    // names are case-sensitive, and only a whole word's start counts
    {L"INSTALLSOURCE=C:\\x", L"INSTALLSOURCE=C:\\x", L""},
    {L"MYUEIP=1 UEIP=0", L"MYUEIP=1 ", L"ueip=0"},
    {L"PROP=\"a UEIP=1\"", L"PROP=\"a UEIP=1\"", L""},
    {L"UEIP=1 UEIP=0", L" UEIP=0", L"ueip=1"},
    // sources, quoted values with blanks, an unclosed quote
    {L"InstallSource=\"C:\\my kit\" /qn", L" /qn", L"source=C:\\my kit"},
    {L"/qn InstallSource=C:\\kit2", L"/qn ", L"source=C:\\kit2"},
    {L"InstallSource=\"C:\\unclosed /qn", L"", L"source=C:\\unclosed /qn"},
    {L"RequireOnlineAccess=1 RepairSource=\\\\srv\\share", L" ", L"roa=1 repair=\\\\srv\\share"},
    {L"BASEPATH=C:/Apps/{ProductName}", L"", L"base=C:\\Apps\\{ProductName}"},
    // online access is read first, wherever it stands
    {L"UEIP=1 NO_ONLINE_ACCESS=1", L" NO_ONLINE_ACCESS=1", L"online=0 ueip=0"},
    {L"NO_ONLINE_ACCESS=1 UEIP=1", L"NO_ONLINE_ACCESS=1 ", L"online=0 ueip=0"},
    {L"NO_ONLINE_ACCESS=0 UEIP=1", L"NO_ONLINE_ACCESS=0 ", L"online=1 ueip=1"},
    {L"AllowOnlineUpdates=2", L"", L"aou=11"},
    {L"AllowOnlineUpdates=1", L"", L"aou=10"},
    {L"NO_ONLINE_ACCESS=1 AllowOnlineUpdates=2", L"NO_ONLINE_ACCESS=1 ", L"online=0 aou=00"},
    // settings the packages see too
    {L"MPI_EULA_ACCEPTED=1 FORCE_ENCRYPTION=0",
     L"MPI_EULA_ACCEPTED=1 FORCE_ENCRYPTION=0 FORCED_ENCRYPTION=1", L"eula=1 enc=0"},
    {L"MPI_EULA_ACCEPTED=10", L"MPI_EULA_ACCEPTED=10", L"eula=0"},
    {L"UpdateManager=0 UpdateManagerAutomatic=0", L"UpdateManager=0 UpdateManagerAutomatic=0",
     L"um=0 uma=0"},
    {L"/CreateLaunchPoint /qn", L"/CreateLaunchPoint /qn", L"launchpoint"},
    {L"/createlaunchpoint", L"/createlaunchpoint", L"launchpoint"},
    {L"/CreateLaunchPointX", L"/CreateLaunchPointX", L""},
    {L"CleanSystem=1 /qn", L"CleanSystem=1 /qn", L"clean"},
    {L"CleanSystem=0", L"CleanSystem=0", L""},
    {L"PrepareUpdate=C:\\upd /qn", L" /qn", L"prepare=C:\\upd"},
    {L"PrepareUpdate=", L"PrepareUpdate=", L"prepare="},
    // disabled products: reversed, ending at the first empty key
    {L"DisableProducts=A,,B", L"", L"disable=A"},
    {L"DisableProducts=A,B,C /qn", L" /qn", L"disable=C,B,A"},
    {L"DisableProducts=\"A, B\"", L"", L"disable=B,A"},
    {L"DisableProducts=A INSTALLDIR=C:\\Apps", L" INSTALLDIR=C:\\Apps", L"disable=A"},
    // languages
    {L"{lang}=FRA INSTALL_ALL_LANGS=1", L" INSTALL_ALL_LANGS=1", L"lang=FRA all=0"},
    {L"INSTALL_ALL_LANGS=1 /qn", L" /qn", L"all=1"},
    {L"{lang}=ENU MENUFILE=ENU.mnu", L" MENUFILE=ENU.mnu", L"lang=ENU"},
    {L"/qn {lang}=FR", L"/qn ", L"lang=FR"},
    {L"{lang}=DE /qn", L" /qn", L"lang=DE"},
    {L"{lang}=", L"{lang}=", L""},
    {L"Mandatory=0 CleanupSourceFiles=1 ReturnRebootRequest=1", L"  ",
     L"nomandatory cleanup=1 rrr=1"},
    {L"ReturnRebootRequest= /qn", L"ReturnRebootRequest= /qn", L""},
};

}  // namespace

TEST(CEngineSettingsTest, TakesSettingsFromTable) {
  for (const CSettingsCase& c : kCases) {
    std::wstring text = c.commandLine;
    CEngineSettings settings;
    std::vector<std::wstring> log;
    TakeEngineSettings(&text, &settings, &log);
    EXPECT_EQ(c.left, text) << WideToUtf8(c.commandLine);
    EXPECT_EQ(c.settings, Describe(settings)) << WideToUtf8(c.commandLine);
    // A restart of setup gets what was taken, then what was left: the same settings.
    std::wstring restarted = TakenSettingsText(settings) + L" " + text;
    CEngineSettings again;
    TakeEngineSettings(&restarted, &again, &log);
    EXPECT_EQ(c.settings, Describe(again)) << WideToUtf8(c.commandLine);
  }
}

TEST(CEngineSettingsTest, LogsWhatItFinds) {
  struct Case {
    const wchar_t* commandLine;
    std::vector<std::wstring> lines;
  };
  const Case kLogCases[] = {
      {L"FastInstall=3",
       {L"Found FastInstall in command line, setup will bypass all non-essential tasks",
        L"   Adding MSIFASTINSTALL=7 to the command line: "
        L"see MSIFASTINSTALL in the Windows Installer property reference",
        L"   Adding DISABLEROLLBACK=1 to the command line: "
        L"see DISABLEROLLBACK in the Windows Installer property reference"}},
      {L"FastInstall=yes",
       {L"Found FastInstall in the command line, however the value yes is invalid"}},
      {L"/CreateLaunchPoint CleanSystem=1",
       {L"Found CreateLaunchPoint in command line, setup will create a launch point on this system",
        L"Found CleanSystem in command line, setup will cleanup this product on this system"}},
  };
  for (const Case& c : kLogCases) {
    std::wstring text = c.commandLine;
    CEngineSettings settings;
    std::vector<std::wstring> log;
    TakeEngineSettings(&text, &settings, &log);
    EXPECT_EQ(c.lines, log) << WideToUtf8(c.commandLine);
  }
}
