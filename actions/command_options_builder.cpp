// command_options_builder.cpp: turns the command-line model back into text,
// whole for a restart of the setup or piece by piece for package commands.
#include "actions/command_options.h"

#include <string>

#include "platform/wide_string.h"

namespace {

const wchar_t kSetupProgram[] = L"SETUP.EXE";

// Indexed by mode; the administrative patch (7) is built from /p and /a.
const wchar_t* const kModeSwitches[] = {L"", L" /I", L" /f", L" /x", L" /j", L" /a", L" /p "};
const wchar_t* const kUILevelSwitches[] = {L"",     L" /qf",  L" /qr",  L" /qb+", L" /qb",
                                           L" /qb-", L" /qb!", L" /qn+", L" /qn"};
const wchar_t* const kRebootTexts[] = {L"", L" REBOOT=Force", L" REBOOT=Suppress",
                                       L" REBOOT=ReallySuppress", L" REBOOT=\"\""};
const wchar_t* const kRestartMarkers[] = {L"", L" /~", L" /~-"};

// Values set from outside (SetMode, SetTildeSwitch) may be out of range.
template <size_t N>
const wchar_t* TableText(const wchar_t* const (&table)[N], int index) {
  return index >= 0 && static_cast<size_t>(index) < N ? table[index] : L"";
}

}  // namespace

void CCommandOptions::BuildCommandLine(std::wstring* out, const std::wstring& programPath) const {
  if (!out) return;
  if (programPath.empty()) {
    if (m_setupFolder.empty()) {
      m_system->ReportInternalError(kInternalErrorArea, kNullArgument);
      return;
    }
    *out = L"\"" + m_setupFolder + kSetupProgram + L"\"";
    if (!m_configurationFileName.empty() &&
        !EqualsNoCase(m_configurationFileName, kDefaultConfigurationFile)) {
      *out += L" " + m_configurationFileName;
    }
  } else {
    *out = L"\"" + programPath + L"\"";
  }
  AppendMode(out);
  AppendUILevel(out);
  AppendLogSwitch(out);
  AppendMifFile(out);
  AppendPassThroughSwitches(out);
  AppendPropertiesAsGiven(out);
  AppendRebootOption(out);
  if (programPath.empty()) AppendRestartMarker(out);
}

void CCommandOptions::AppendMode(std::wstring* out) const {
  if (!out) return;
  if (m_mode < kModeNone || m_mode > kModeAdministrativePatch) return;
  *out += m_mode == kModeAdministrativePatch ? kModeSwitches[kModePatch]
                                             : kModeSwitches[m_mode];
  if (m_mode != kModeNone && m_mode != kModeAdministrative) *out += m_modeOptions;
  if (m_mode == kModeAdministrativePatch) *out += L" /a";
  if (m_mode != kModeNone && m_mode != kModePatch) *out += L" " + m_package;
  if (m_mode == kModeAdvertise && m_advertiseOption != kAdvertiseNone) {
    *out += m_advertiseOption == kAdvertiseLanguage ? L" /g " : L" /t ";
    *out += m_advertiseValue;
  }
}

void CCommandOptions::AppendUILevel(std::wstring* out) const {
  if (out) *out += TableText(kUILevelSwitches, m_uiLevel);
}

void CCommandOptions::AppendLogSwitch(std::wstring* out) const {
  if (!out || !m_logGiven || m_logOptions.empty() || m_logFile.empty()) return;
  *out += L" " + m_logOptions + L" " + m_logFile;
}

void CCommandOptions::AppendMifFile(std::wstring* out) const {
  if (out && m_mifGiven) *out += L" /m " + m_mifFile;
}

void CCommandOptions::AppendPassThroughSwitches(std::wstring* out) const {
  if (!out) return;
  for (const std::wstring& entry : m_passThroughSwitches) *out += L" " + entry;
}

void CCommandOptions::AppendProperties(std::wstring* out) const {
  if (!out) return;
  for (const std::wstring& entry : m_properties) *out += L" " + entry;
}

void CCommandOptions::AppendPropertiesAsGiven(std::wstring* out) const {
  if (!out) return;
  for (const std::wstring& entry : m_givenProperties) *out += L" " + entry;
}

void CCommandOptions::AppendRebootOption(std::wstring* out) const {
  if (out) *out += TableText(kRebootTexts, m_rebootOption);
}

void CCommandOptions::AppendRestartMarker(std::wstring* out) const {
  if (out) *out += TableText(kRestartMarkers, m_restartMarker);
}

void CCommandOptions::AppendInstallSource(std::wstring* out) const {
  if (out && !m_installSource.empty()) *out += L" InstallSource=\"" + m_installSource + L"\"";
}
