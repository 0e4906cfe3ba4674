// source_redirection.cpp: source.ini's hand-over to the setup program it
// names, and the temporary working copy of the running setup.
#include "engine/source_redirection.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <cwctype>
#include <memory>
#include <utility>
#include <vector>

#include "actions/command_options.h"
#include "actions/va_admin.h"
#include "actions/windows_installer_command.h"
#include "engine/engine_settings.h"
#include "engine/working_copy_records.h"
#include "foundation/file_identity_set.h"
#include "foundation/file_utils.h"
#include "foundation/kw_ini_file.h"
#include "foundation/kw_ini_file_exception.h"
#include "foundation/reboot_support.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "foundation/tree_deletion.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kAllSection[] = L"All";
const wchar_t kInstallSourceProgKey[] = L"InstallSourceProg";
const wchar_t kInstallSourceCmdKey[] = L"InstallSourceCmd";
const wchar_t kInstallSourceIniKey[] = L"InstallSourceIni";
const wchar_t kBinFolder[] = L"bin\\";
const wchar_t kRestartMarker[] = L"/~";
const wchar_t kKeepCopyMarker[] = L"/~-";
const wchar_t kStageSwitchFormat[] = L" /s%d";
// Followed by the copy's folder name: object names hold no backslash, and
// the name alone only makes two users' copies of one name both stay.
const wchar_t kClaimPrefix[] = L"Global\\SETUP working copy ";

std::wstring WithoutTrailingSeparators(std::wstring path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

std::wstring ClaimName(const std::wstring& folder) {
  return kClaimPrefix + ToUpper(FileNameOfPath(WithoutTrailingSeparators(folder)));
}

bool IsClaimed(const std::wstring& folder) {
  CScopedHandle claim(OpenMutexW(SYNCHRONIZE, FALSE, ClaimName(folder).c_str()));
  DWORD error = GetLastError();
  // Only "no such object" says nobody holds it.
  return claim.IsValid() || error != ERROR_FILE_NOT_FOUND;
}

// The name CreateTempWorkFolder gives: "ZOLM" and four hex digits.
bool IsWorkFolderName(const std::wstring& folder) {
  std::wstring path = WithoutTrailingSeparators(folder);
  std::wstring name = FileNameOfPath(path);
  if (name.size() != 8 || !StartsWithNoCase(name, L"ZOLM")) return false;
  for (size_t i = 4; i < name.size(); ++i) {
    if (!iswxdigit(name[i])) return false;
  }
  return true;
}

// A plain folder of a copy's name that a record or journal names, or that
// this process made: anyone may make a folder of that name and put in it
// whatever a copy holds, a link among it.
bool IsProvenWorkingCopy(const std::wstring& folder, bool proven) {
  if (!proven || !IsWorkFolderName(folder)) return false;
  CScopedHandle plain(OpenPlainFolder(WithoutTrailingSeparators(folder), 0));
  return plain.IsValid();
}

// Copies are made only new, with permissions that let only administrators
// change them, in the machine's temporary folder: there alone may what is
// in use go at the restart.
bool IsInMachineTempFolder(const std::wstring& folder) {
  std::wstring machine = GetMachineTempFolderPath();
  return !machine.empty() && EqualsNoCase(FolderOfPath(WithoutTrailingSeparators(folder)), machine);
}

// "C:" or "\\server\share": what is left of a root once its separator is gone.
bool IsRoot(const std::wstring& path) {
  if (path.size() <= 2) return true;
  if (path.compare(0, 2, L"\\\\") != 0) return false;
  size_t separators = 0;
  for (size_t i = 2; i < path.size(); ++i) {
    if (path[i] == L'\\') ++separators;
  }
  return separators < 2;
}

// The program a command line starts: its first word, without quotes.
std::wstring ProgramOfCommand(const std::wstring& command) {
  std::wstring rest = command;
  std::wstring program;
  if (!ExtractToken(&rest, &program, L" \t", true)) return std::wstring();
  return program;
}

// A "/q" switch of any level among the words after the program.
bool HasInterfaceSwitch(const std::wstring& command) {
  std::wstring rest = command;
  std::wstring word;
  ExtractToken(&rest, &word, L" \t", false);
  while (ExtractToken(&rest, &word, L" \t", false)) {
    if (word.size() >= 2 && word[0] == L'/' && (word[1] == L'q' || word[1] == L'Q')) return true;
  }
  return false;
}

// Two names of one file: the same path, or, through a link or a short name,
// the same file on the same volume.
bool IsSameFile(const std::wstring& first, const std::wstring& second) {
  if (first.empty() || second.empty()) return false;
  std::wstring firstFull = WithoutTrailingSeparators(GetFullPath(first));
  if (!firstFull.empty() && EqualsNoCase(firstFull, WithoutTrailingSeparators(GetFullPath(second)))) {
    return true;
  }
  CFileIdentitySet files;
  for (const std::wstring* path : {&first, &second}) {
    CScopedHandle file(CreateFileW(path->c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid()) return false;
    if (!files.Add(file.Get(), WithoutTrailingSeparators(GetFullPath(*path)))) return true;
  }
  return false;
}

// Byte for byte, read from the start of both.
bool SameContents(HANDLE first, HANDLE second) {
  LARGE_INTEGER firstSize = {};
  LARGE_INTEGER secondSize = {};
  if (!GetFileSizeEx(first, &firstSize) || !GetFileSizeEx(second, &secondSize) ||
      firstSize.QuadPart != secondSize.QuadPart) {
    return false;
  }
  const DWORD kBlock = 65536;
  std::vector<char> firstBlock(kBlock);
  std::vector<char> secondBlock(kBlock);
  for (;;) {
    DWORD firstRead = 0;
    DWORD secondRead = 0;
    if (!ReadFile(first, firstBlock.data(), kBlock, &firstRead, nullptr) ||
        !ReadFile(second, secondBlock.data(), kBlock, &secondRead, nullptr) || firstRead != secondRead) {
      return false;
    }
    if (firstRead == 0) return true;
    if (std::memcmp(firstBlock.data(), secondBlock.data(), firstRead) != 0) return false;
  }
}

std::vector<std::wstring> SystemFolders() {
  std::vector<std::wstring> folders;
  wchar_t buffer[MAX_PATH + 1];
  UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.push_back(buffer);
  length = GetSystemDirectoryW(buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.push_back(buffer);
  length = GetSystemWow64DirectoryW(buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.push_back(buffer);
  DWORD tempLength = GetTempPathW(MAX_PATH, buffer);
  if (tempLength > 0 && tempLength < MAX_PATH) folders.push_back(buffer);
  const int kShellFolders[] = {CSIDL_PROGRAM_FILES,  CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
                               CSIDL_PROFILE,        CSIDL_APPDATA,          CSIDL_LOCAL_APPDATA,
                               CSIDL_COMMON_APPDATA, CSIDL_PERSONAL,         CSIDL_DESKTOPDIRECTORY};
  for (int id : kShellFolders) {
    if (SUCCEEDED(SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
      folders.push_back(buffer);
    }
  }
  return folders;
}

}  // namespace

const wchar_t CSourceRedirection::kSourceIniName[] = L"source.ini";

CSourceRedirection::CSourceRedirection(CCommandOptions& options, const std::wstring& setupFolder,
                                       const std::wstring& programName,
                                       const std::wstring& configurationName,
                                       const std::wstring& engineSettings, bool startedByHandOver,
                                       const CWorkingCopyRecords& records)
    : m_options(options),
      m_setupFolder(setupFolder),
      m_programName(programName),
      m_configurationName(configurationName),
      m_engineSettings(engineSettings),
      m_restarted(options.GetTildeSwitch() != CCommandOptions::kRestartMarkerNone),
      m_startedByHandOver(startedByHandOver),
      m_records(records) {}

CSourceRedirection::CHandOver CSourceRedirection::ReadSourceIni(const std::wstring& path) {
  CHandOver result;
  m_options.SetSourceFolder(m_setupFolder);
  std::wstring program;
  std::wstring command;
  std::wstring configuration;
  try {
    CKwIniFile file;
    file.Init(false);
    file.LoadFrom(path);
    file.GetValue(kAllSection, kInstallSourceProgKey, &program, L"");
    file.GetValue(kAllSection, kInstallSourceCmdKey, &command, L"");
    file.GetValue(kAllSection, kInstallSourceIniKey, &configuration, L"");
  } catch (CKwIniFileException* raw) {
    // An unreadable file holds no data either: the same end as missing keys.
    std::unique_ptr<CKwIniFileException> error(raw);
    WriteLog(L"Unable to read '%s': %s", path.c_str(), error->GetMessageText().c_str());
  }
  if (program.empty() || command.empty() || configuration.empty()) {
    WriteLog(L"Source.ini does not contain the required data");
    result.code = ERROR_INVALID_DATA;
    return result;
  }
  if (RefuseHandOver(program, command)) {
    result.code = ERROR_INVALID_DATA;
    return result;
  }
  if (!FileExists(program)) {
    WriteLog(L"Unable to find the setup program '%s' that source.ini names", program.c_str());
    result.code = ERROR_FILE_NOT_FOUND;
    result.programMissing = true;
    return result;
  }
  // Held as compared until it has started: a name opened again could lead
  // to another program by then.
  CScopedHandle held;
  if (m_restarted && !IsProgramCopiedFrom(program, &held)) {
    result.code = ERROR_INVALID_DATA;
    return result;
  }
  bool resumed = m_restarted || m_options.GetSSwitchValue() != 0;
  result.code = RestartSetup(HandOverCommand(command), resumed ? nullptr : &result.process);
  return result;
}

// Each setup would start the next and wait for it, without end: a source.ini
// copied back beside the program it names, or two that name each other.
bool CSourceRedirection::RefuseHandOver(const std::wstring& program, const std::wstring& command) const {
  std::wstring own = m_setupFolder + m_programName;
  std::wstring started = ProgramOfCommand(command);
  if (IsSameFile(program, own) || IsSameFile(started, own)) {
    WriteLog(L"Source.ini names this setup program itself ('%s'); setup does not hand over to itself",
             own.c_str());
    return true;
  }
  if (m_startedByHandOver) {
    WriteLog(L"This setup was started by the source.ini of another setup; it does not hand over again to '%s'",
             started.c_str());
    return true;
  }
  return false;
}

// A run setup started from its copy (a resume after a restart, with the
// administrator's rights) hands over only to the very program the copy was
// made from: the kit lies where others may have changed it since.
bool CSourceRedirection::IsProgramCopiedFrom(const std::wstring& program, CScopedHandle* held) const {
  held->Reset(CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::wstring own = GetModuleFilePath();
  CScopedHandle copy(CreateFileW(own.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  if (held->IsValid() && copy.IsValid() && SameContents(held->Get(), copy.Get())) return true;
  WriteLog(L"The setup program '%s' that source.ini names is not the one this copy '%s' was made from; setup "
           L"does not hand over to it",
           program.c_str(), own.c_str());
  held->Reset();
  return false;
}

std::wstring CSourceRedirection::HandOverCommand(const std::wstring& command) const {
  std::wstring result = command;
  // Without a level of its own the setup would show its wizard to an
  // unattended run's caller, who waits on it.
  if (!HasInterfaceSwitch(result)) m_options.AppendUILevel(&result);
  result += L" ";
  result += kHandOverMark;
  // A run resumed after a restart hands its stage on: started afresh, the
  // setup program would meet the step that restarted the machine again.
  int stage = m_options.GetSSwitchValue();
  if (stage != 0) result += Format(kStageSwitchFormat, stage);
  return result;
}

DWORD CSourceRedirection::RestartSetup(const std::wstring& command, CScopedHandle* process) {
  WriteLog(L"Setup is going to attempt to restart using this command line:");
  WriteLog(L"   %s", command.c_str());
  HANDLE started = nullptr;
  if (!CreateShellProcess(command, std::wstring(), &started)) {
    DWORD error = GetLastError();
    WriteLog(L"   The new setup process did not respond, and returned with an error: %d", error);
    // A start that failed without a code must not read as a hand-over.
    return error != ERROR_SUCCESS ? error : static_cast<DWORD>(ERROR_INSTALL_FAILURE);
  }
  CScopedHandle owned(started);
  if (!process) {
    WriteLog(L"   The new setup has responded and this process will now exit.");
    return ERROR_SUCCESS;
  }
  WriteLog(L"   The new setup has responded; this process waits for it to end.");
  *process = std::move(owned);
  return ERROR_SUCCESS;
}

void CSourceRedirection::PrepareWorkingCopy() {
  if (m_options.GetTildeSwitch() != CCommandOptions::kRestartMarkerNone) {
    // Started by setup from its copy: the copy is this run's to remove.
    if (m_options.GetSourceFolder().empty()) m_options.SetSourceFolder(m_setupFolder);
    return;
  }
  std::wstring workFolder;
  auto claim = [this](const std::wstring& candidate) { return ClaimWorkingCopy(candidate); };
  // An administrator's resume runs with the rights of whoever logs on next:
  // its copy lies outside every user's profile, where only administrators
  // may change it. Where that cannot be made the run goes on from the setup
  // folder, never from a copy in the user's %TEMP%.
  bool machineWide = CVAAdmin::IsAdmin();
  if (!CreateTempWorkFolder(&workFolder, claim, machineWide)) {
    DWORD error = GetLastError();
    m_workingCopyClaim.Reset();
    WriteLog(L"Unable to create a temporary working folder (error %d); setup goes on from '%s'", error,
             m_setupFolder.c_str());
    return;
  }
  // Recorded before anything is in it: a run killed from here on leaves a
  // copy that a later run knows to be setup's.
  m_madeCopy = workFolder;
  m_records.Record(workFolder);
  // Without the program, its configuration or the way back to the setup
  // folder the copy cannot resume anything: it goes, and nothing deletes later.
  if (!CopyProgramAndConfiguration(workFolder) || !WriteSourceIni(workFolder)) {
    RemoveFolder(workFolder, true, m_records);
    m_workingCopyClaim.Reset();
    m_options.SetTildeSwitch(CCommandOptions::kRestartMarkerKeepCopy);
    return;
  }
  CopyBinFolder(workFolder);
  m_options.SetTildeSwitch(CCommandOptions::kRestartMarkerWorkingCopy);
  m_options.SetSourceFolder(workFolder);
  WriteLog(L"Setup works from its temporary copy in '%s'", workFolder.c_str());
}

bool CSourceRedirection::CopyProgramAndConfiguration(const std::wstring& workFolder) {
  const std::wstring* names[] = {&m_programName, &m_configurationName};
  for (const std::wstring* name : names) {
    std::wstring source = m_setupFolder + *name;
    std::wstring target = workFolder + *name;
    // A configuration named with a subfolder keeps it in the copy.
    std::wstring targetFolder = FolderOfPath(target);
    if (!EqualsNoCase(targetFolder, workFolder)) CreateDirectoryTree(targetFolder, nullptr);
    if (!CopyFileClearReadOnly(source, target, FALSE)) {
      DWORD error = GetLastError();
      WriteLog(L"Could not copy '%s' to '%s': %d", source.c_str(), target.c_str(), error);
      return false;
    }
  }
  return true;
}

bool CSourceRedirection::WriteSourceIni(const std::wstring& workFolder) {
  std::wstring program = m_setupFolder + m_programName;
  std::wstring command;
  // The running program's own path: a renamed setup program still starts.
  m_options.BuildCommandLine(&command, program);
  // Right after the quoted program, where the restarted run reads them first.
  command.insert(program.size() + 2, m_engineSettings);
  std::wstring path = workFolder + kSourceIniName;
  try {
    CKwIniFile file;
    file.Init(false);
    file.AddSection(kAllSection);
    CKwIniSection* section = nullptr;
    if (!file.FindSection(kAllSection, &section) || !section) return false;
    section->SetValue(kInstallSourceProgKey, program);
    section->SetValue(kInstallSourceCmdKey, command);
    section->SetValue(kInstallSourceIniKey, m_configurationName);
    file.SaveAs(path);
  } catch (CKwIniFileException* raw) {
    std::unique_ptr<CKwIniFileException> error(raw);
    WriteLog(L"Could not write '%s': %s", path.c_str(), error->GetMessageText().c_str());
    return false;
  }
  return true;
}

void CSourceRedirection::CopyBinFolder(const std::wstring& workFolder) {
  std::wstring source = m_setupFolder + kBinFolder;
  std::wstring target = workFolder + kBinFolder;
  CreateDirectoryTree(target, nullptr);
  DWORD attributes = GetFileAttributesW(source.c_str());
  // A kit without bin\ has nothing to copy; that is no failure.
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  if (!CopyFolderTree(source, target)) {
    WriteLog(L"Could not copy files from '%s' to '%s'", source.c_str(), target.c_str());
  }
}

void CSourceRedirection::BuildRestartCommand(const std::wstring& arguments,
                                             std::wstring* programPath,
                                             std::wstring* restartArguments) const {
  const std::wstring& folder =
      m_options.GetSourceFolder().empty() ? m_setupFolder : m_options.GetSourceFolder();
  if (programPath) *programPath = folder + m_programName;
  if (!restartArguments) return;
  *restartArguments = arguments;
  size_t marker = restartArguments->find(kRestartMarker);
  if (marker == std::wstring::npos) {
    m_options.AppendRestartMarker(restartArguments);
  } else if (restartArguments->compare(marker, 3, kKeepCopyMarker) == 0) {
    (*restartArguments)[marker + 2] = L' ';
  }
}

std::wstring CSourceRedirection::KitFolder() const {
  const std::wstring& source = m_options.GetInstallSource();
  if (!m_restarted || !IsWorkFolderName(m_setupFolder) || source.empty()) return m_setupFolder;
  return source.back() == L'\\' ? source : source + L'\\';
}

void CSourceRedirection::RemoveWorkingCopy() {
  std::wstring copy = WorkingCopyFolder();
  if (copy.empty()) return;
  RemoveFolder(copy, EqualsNoCase(copy, m_madeCopy) || m_records.Names(copy), m_records);
}

std::wstring CSourceRedirection::WorkingCopyFolder() const {
  if (m_options.GetTildeSwitch() != CCommandOptions::kRestartMarkerWorkingCopy) return std::wstring();
  return m_options.GetSourceFolder();
}

void CSourceRedirection::RemoveFolder(const std::wstring& folder, bool proven, const CWorkingCopyRecords& records) {
  if (IsProtectedFolder(folder)) {
    WriteLog(L"Refusing to delete the folder '%s': it is a drive root or a system folder",
             folder.c_str());
    return;
  }
  // "/~" on the command line of a setup started from its own kit must not
  // delete the kit, nor a clean-up a user's folder of the same name, nor
  // anything a link of that name leads to.
  if (!IsProvenWorkingCopy(folder, proven)) {
    WriteLog(L"Keeping the folder '%s': it is not a temporary working copy", folder.c_str());
    return;
  }
  // The copy's own program cannot go while it runs: it goes at the restart.
  bool atRestart = IsInMachineTempFolder(folder);
  if (!DeleteFolderTree(folder, atRestart)) {
    DWORD error = GetLastError();
    WriteLog(L"Could not delete every file under '%s': %d", folder.c_str(), error);
  }
  RemoveDirectoryChecked(WithoutTrailingSeparators(folder), atRestart);
  // Its record stays while anything of it does, for a later run to finish.
  if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) records.Drop(folder);
}

bool CSourceRedirection::ClaimWorkingCopy(const std::wstring& folder) {
  m_workingCopyClaim.Reset();
  CScopedHandle claim(CreateMutexW(nullptr, FALSE, ClaimName(folder).c_str()));
  DWORD error = GetLastError();
  if (!claim.IsValid() || error == ERROR_ALREADY_EXISTS) return false;
  m_workingCopyClaim = std::move(claim);
  return true;
}

void CSourceRedirection::ClaimOwnWorkingCopy() {
  if (!m_restarted || !IsWorkFolderName(m_setupFolder)) return;
  // The setup that started this run may hold it too: the object is shared.
  CScopedHandle claim(CreateMutexW(nullptr, FALSE, ClaimName(m_setupFolder).c_str()));
  if (claim.IsValid()) m_workingCopyClaim = std::move(claim);
}

void CSourceRedirection::RemoveAbandonedWorkingCopies(CRebootSupport* rebootSupport,
                                                      const CWorkingCopyRecords& records) {
  for (const std::wstring& folder : records.OfEndedRuns()) {
    RemoveAbandonedWorkingCopy(folder, rebootSupport, records);
  }
}

void CSourceRedirection::RemoveAbandonedWorkingCopy(const std::wstring& folder, CRebootSupport* rebootSupport,
                                                    const CWorkingCopyRecords& records) {
  if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    // Gone meanwhile, at a restart: nothing of it is left to delete.
    if (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND) {
      records.Drop(folder);
      rebootSupport->DropPendingDeletionsUnder(folder);
    }
    return;
  }
  // This very program may run from one, as a resume that hands over does.
  if (StartsWithNoCase(GetModuleFilePath(), folder) || IsClaimed(folder)) return;
  // Read after the claim: a setup writes its resume entry before it lets
  // its copy go.
  if (rebootSupport->AnyResumeEntryStartsIn(folder)) return;
  WriteLog(L"Removing the working copy '%s', which no running setup and no resume entry uses", folder.c_str());
  RemoveFolder(folder, true, records);
  // What a run before scheduled for the restart is gone now: a stale
  // entry would tell every installer that a restart is pending.
  if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    rebootSupport->DropPendingDeletionsUnder(folder);
  }
}

bool CSourceRedirection::IsProtectedFolder(const std::wstring& folder) {
  bool absolute = (folder.size() >= 3 && folder[1] == L':' &&
                   (folder[2] == L'\\' || folder[2] == L'/')) ||
                  folder.compare(0, 2, L"\\\\") == 0;
  if (!absolute) return true;
  std::wstring full = WithoutTrailingSeparators(GetFullPath(folder));
  if (full.empty() || IsRoot(full)) return true;
  for (const std::wstring& system : SystemFolders()) {
    std::wstring protectedFolder = WithoutTrailingSeparators(GetFullPath(system));
    if (protectedFolder.empty()) continue;
    // The folder itself, or any folder that holds it.
    if (EqualsNoCase(protectedFolder, full) || StartsWithNoCase(protectedFolder, full + L"\\")) {
      return true;
    }
  }
  return false;
}
