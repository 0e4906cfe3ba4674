// engine_settings.cpp: reads the engine's own settings from its command line
// in their fixed order and takes out those that packages must not see.
#include "engine/engine_settings.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kCreateLaunchPoint[] = L"/CreateLaunchPoint";
const wchar_t kCleanSystem[] = L"CleanSystem=";
const wchar_t kFastInstall[] = L"FastInstall=";
const wchar_t kPrepareUpdate[] = L"PrepareUpdate=";
const wchar_t kEulaAccepted[] = L"MPI_EULA_ACCEPTED=";
const wchar_t kNoOnlineAccess[] = L"NO_ONLINE_ACCESS=";
const wchar_t kUpdateManager[] = L"UpdateManager=";
const wchar_t kUpdateManagerAutomatic[] = L"UpdateManagerAutomatic=";
const wchar_t kForceEncryption[] = L"FORCE_ENCRYPTION=";
const wchar_t kUeip[] = L"UEIP=";
const wchar_t kAllowOnlineUpdates[] = L"AllowOnlineUpdates=";
const wchar_t kRequireOnlineAccess[] = L"RequireOnlineAccess=";
const wchar_t kRepairSource[] = L"RepairSource=";
const wchar_t kInstallSource[] = L"InstallSource=";
const wchar_t kBasePath[] = L"BASEPATH=";
const wchar_t kDisableProducts[] = L"DisableProducts=";
const wchar_t kMandatory[] = L"Mandatory=";
const wchar_t kLanguage[] = L"{lang}=";
const wchar_t kInstallAllLanguages[] = L"INSTALL_ALL_LANGS=";
const wchar_t kCleanupSourceFiles[] = L"CleanupSourceFiles=";
const wchar_t kReturnRebootRequest[] = L"ReturnRebootRequest=";

const wchar_t kFastInstallProperty[] = L" MSIFASTINSTALL=7";
const wchar_t kDisableRollbackProperty[] = L" DISABLEROLLBACK=1";
const wchar_t kForcedEncryptionProperty[] = L" FORCED_ENCRYPTION=1";
const size_t kLanguageCodeLength = 3;

// One setting as found in the text: where it stands and what it says.
struct CSetting {
  bool found = false;
  size_t start = 0;
  size_t end = 0;  // after the value
  bool hasValue = false;
  std::wstring value;
};

bool Matches(const std::wstring& text, size_t at, const std::wstring& name, bool ignoreCase) {
  if (text.size() - at < name.size()) return false;
  std::wstring piece = text.substr(at, name.size());
  return ignoreCase ? EqualsNoCase(piece, name) : piece == name;
}

// The first place where `name` begins a word outside quotes, so that a value
// or a longer name that merely contains it is never taken for it.
size_t FindWord(const std::wstring& text, const std::wstring& name, bool ignoreCase,
                bool wholeWord) {
  bool inQuotes = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!inQuotes && (i == 0 || IsBlank(text[i - 1])) && Matches(text, i, name, ignoreCase)) {
      size_t after = i + name.size();
      if (!wholeWord || after == text.size() || IsBlank(text[after])) return i;
    }
    if (text[i] == L'"') inQuotes = !inQuotes;
  }
  return std::wstring::npos;
}

// NAME=value: the value runs to the next blank outside quotes (an unclosed
// quote runs to the end); a value that begins with a quote loses its quotes.
CSetting FindSetting(const std::wstring& text, const std::wstring& name, bool keepQuotes = false) {
  CSetting setting;
  setting.start = FindWord(text, name, false, false);
  if (setting.start == std::wstring::npos) return setting;
  setting.found = true;
  size_t valueStart = setting.start + name.size();
  size_t end = valueStart;
  bool inQuotes = false;
  for (; end < text.size(); ++end) {
    if (text[end] == L'"')
      inQuotes = !inQuotes;
    else if (!inQuotes && IsBlank(text[end]))
      break;
  }
  setting.end = end;
  std::wstring raw = text.substr(valueStart, end - valueStart);
  setting.hasValue = !raw.empty();
  setting.value = (!keepQuotes && !raw.empty() && raw[0] == L'"') ? RemoveQuotes(raw) : raw;
  return setting;
}

// Removes the setting at its own place only: the same text elsewhere, in
// another property's value for instance, stays.
void TakeOut(std::wstring* text, const CSetting& setting, CEngineSettings* settings) {
  settings->takenOut.push_back(text->substr(setting.start, setting.end - setting.start));
  text->erase(setting.start, setting.end - setting.start);
}

// A valued setting whose value cannot be taken is ignored and stays.
bool TakeValued(std::wstring* text, const std::wstring& name, std::wstring* value,
                CEngineSettings* settings, bool keepQuotes = false) {
  CSetting setting = FindSetting(*text, name, keepQuotes);
  if (!setting.found || !setting.hasValue) return false;
  *value = setting.value;
  TakeOut(text, setting, settings);
  return true;
}

void ReadPresence(std::wstring* text, CEngineSettings* settings, std::vector<std::wstring>* log) {
  if (FindWord(*text, kCreateLaunchPoint, true, true) != std::wstring::npos) {
    settings->createLaunchPoint = true;
    log->push_back(
        L"Found CreateLaunchPoint in command line, setup will create a launch point on this "
        L"system");
  }
  CSetting cleanSystem = FindSetting(*text, kCleanSystem);
  if (cleanSystem.found && cleanSystem.value == L"1") {
    settings->cleanSystem = true;
    log->push_back(
        L"Found CleanSystem in command line, setup will cleanup this product on this system");
  }
}

void ReadFastInstall(std::wstring* text, CEngineSettings* settings,
                     std::vector<std::wstring>* log) {
  std::wstring value;
  if (!TakeValued(text, kFastInstall, &value, settings)) return;
  if (value != L"1" && value != L"2" && value != L"3") {
    log->push_back(Format(L"Found FastInstall in the command line, however the value %s is invalid",
                          value.c_str()));
    return;
  }
  settings->fastInstall = true;
  log->push_back(L"Found FastInstall in command line, setup will bypass all non-essential tasks");
  if (value == L"1") return;
  *text += kFastInstallProperty;
  log->push_back(
      L"   Adding MSIFASTINSTALL=7 to the command line: "
      L"see MSIFASTINSTALL in the Windows Installer property reference");
  if (value == L"2") return;
  *text += kDisableRollbackProperty;
  log->push_back(
      L"   Adding DISABLEROLLBACK=1 to the command line: "
      L"see DISABLEROLLBACK in the Windows Installer property reference");
}

void ReadPrepareUpdate(std::wstring* text, CEngineSettings* settings) {
  CSetting setting = FindSetting(*text, kPrepareUpdate);
  if (!setting.found) return;
  settings->prepareUpdate = true;
  if (!setting.hasValue) return;
  settings->updateFolder = setting.value;
  TakeOut(text, setting, settings);
}

// These stay in the text: the packages read them too.
void ReadKeptSettings(std::wstring* text, CEngineSettings* settings) {
  CSetting setting = FindSetting(*text, kEulaAccepted);
  if (setting.found) {
    settings->eulaAcceptedGiven = true;
    settings->eulaAccepted = setting.value == L"1";
  }
  setting = FindSetting(*text, kNoOnlineAccess);
  if (setting.found) {
    settings->noOnlineAccessGiven = true;
    settings->onlineAccess = setting.value != L"1";
  }
  setting = FindSetting(*text, kUpdateManager);
  if (setting.found) {
    settings->updateManagerGiven = true;
    settings->updateManager = setting.value != L"0";
  }
  setting = FindSetting(*text, kUpdateManagerAutomatic);
  if (setting.found) {
    settings->updateManagerAutomaticGiven = true;
    settings->updateManagerAutomatic = setting.value != L"0";
  }
  setting = FindSetting(*text, kForceEncryption);
  if (setting.found) {
    settings->forceEncryptionGiven = true;
    settings->forceEncryption = setting.value == L"1";
    *text += kForcedEncryptionProperty;
  }
}

void ReadOnlineSettings(std::wstring* text, CEngineSettings* settings) {
  std::wstring value;
  if (TakeValued(text, kUeip, &value, settings)) {
    settings->ueipGiven = true;
    settings->ueipAccepted = value == L"1" && settings->onlineAccess;
  }
  if (TakeValued(text, kAllowOnlineUpdates, &value, settings)) {
    settings->allowOnlineUpdatesGiven = true;
    settings->onlineUpdatesAllowed = (value == L"1" || value == L"2") && settings->onlineAccess;
    settings->onlineUpdatesAutomatic = value == L"2" && settings->onlineAccess;
  }
  if (TakeValued(text, kRequireOnlineAccess, &value, settings)) {
    settings->requireOnlineAccessGiven = true;
    settings->requireOnlineAccess = value == L"1";
  }
}

void ReadSources(std::wstring* text, CEngineSettings* settings) {
  std::wstring value;
  if (TakeValued(text, kRepairSource, &value, settings)) {
    settings->repairSourceGiven = true;
    settings->repairSource = value;
  }
  if (TakeValued(text, kInstallSource, &value, settings)) {
    settings->installSourceGiven = true;
    settings->installSource = value;
  }
  if (TakeValued(text, kBasePath, &value, settings)) {
    settings->basePathGiven = true;
    settings->basePath = ReplaceAll(value, L"/", L"\\");
  }
}

// The keys are put at the front, so the list holds them in reverse order; it
// ends at the first empty key.
void ReadDisabledProducts(std::wstring* text, CEngineSettings* settings) {
  std::wstring value;
  if (!TakeValued(text, kDisableProducts, &value, settings, true)) return;
  std::wstring rest = RemoveQuotes(value);
  std::wstring key;
  while (ExtractToken(&rest, &key, L",", false) && !key.empty()) {
    settings->disabledProducts.insert(settings->disabledProducts.begin(), key);
  }
}

// Three characters at most, and never past the end of the word.
void ReadLanguage(std::wstring* text, CEngineSettings* settings) {
  size_t start = FindWord(*text, kLanguage, false, false);
  if (start == std::wstring::npos) return;
  size_t codeStart = start + std::wstring(kLanguage).size();
  size_t codeEnd = codeStart;
  while (codeEnd < text->size() && codeEnd - codeStart < kLanguageCodeLength &&
         !IsBlank((*text)[codeEnd])) {
    ++codeEnd;
  }
  if (codeEnd == codeStart) return;
  settings->languageForced = true;
  settings->languageCode = text->substr(codeStart, codeEnd - codeStart);
  settings->installAllLanguages = false;
  settings->takenOut.push_back(text->substr(start, codeEnd - start));
  text->erase(start, codeEnd - start);
}

void ReadLanguageAndRunSettings(std::wstring* text, CEngineSettings* settings) {
  std::wstring value;
  if (TakeValued(text, kMandatory, &value, settings)) settings->mandatoryIgnored = value == L"0";
  ReadLanguage(text, settings);
  // With a forced language the setting stays for the packages.
  CSetting allLanguages = FindSetting(*text, kInstallAllLanguages);
  if (allLanguages.found && allLanguages.hasValue) {
    settings->installAllLanguagesGiven = true;
    settings->installAllLanguages = allLanguages.value == L"1" && !settings->languageForced;
    if (!settings->languageForced) TakeOut(text, allLanguages, settings);
  }
  if (TakeValued(text, kCleanupSourceFiles, &value, settings)) {
    settings->cleanupSourceFilesGiven = true;
    settings->cleanupSourceFiles = value == L"1";
  }
  if (TakeValued(text, kReturnRebootRequest, &value, settings)) {
    settings->returnRebootRequestGiven = true;
    settings->returnRebootRequest = value == L"1";
  }
}

}  // namespace

const wchar_t kHandOverMark[] = L"SourceIniHandOver=1";

bool TakeHandOverMark(std::wstring* text) {
  if (!text) return false;
  bool found = false;
  for (;;) {
    size_t start = FindWord(*text, kHandOverMark, false, true);
    if (start == std::wstring::npos) return found;
    size_t end = start + wcslen(kHandOverMark);
    // With the blank before it, so the rest reads as it did without it.
    if (start > 0 && IsBlank((*text)[start - 1])) --start;
    text->erase(start, end - start);
    found = true;
  }
}

// The order is fixed: NO_ONLINE_ACCESS is read before the settings that
// depend on online access, wherever they stand on the command line.
void TakeEngineSettings(std::wstring* text, CEngineSettings* settings,
                        std::vector<std::wstring>* logLines) {
  if (!text || !settings) return;
  std::vector<std::wstring> ignoredLines;
  std::vector<std::wstring>* log = logLines ? logLines : &ignoredLines;
  ReadPresence(text, settings, log);
  ReadFastInstall(text, settings, log);
  ReadPrepareUpdate(text, settings);
  ReadKeptSettings(text, settings);
  ReadOnlineSettings(text, settings);
  ReadSources(text, settings);
  ReadDisabledProducts(text, settings);
  ReadLanguageAndRunSettings(text, settings);
}

std::wstring TakenSettingsText(const CEngineSettings& settings, const std::vector<std::wstring>& rewritten) {
  std::wstring text;
  for (const std::wstring& setting : settings.takenOut) {
    bool left = false;
    for (const std::wstring& name : rewritten) left = left || setting.compare(0, name.size(), name) == 0;
    if (left) continue;
    // An unclosed quote ran to the end of the line: closed here, it does not
    // swallow what follows it in the new line.
    bool open = std::count(setting.begin(), setting.end(), L'"') % 2 != 0;
    text += L" " + setting + (open ? L"\"" : L"");
  }
  return text;
}
