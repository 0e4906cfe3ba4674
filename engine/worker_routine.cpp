// worker_routine.cpp: the main routine of the run, step by step in its fixed
// order. A step that fails throws; the handlers at the end turn what was
// thrown into the status and always run Cleanup.
#include "engine/worker.h"

#include <windows.h>
#include <objbase.h>

#include <memory>

#include "actions/command_options.h"
#include "engine/google_detection.h"
#include "engine/language_dialog.h"
#include "engine/message_box.h"
#include "engine/product_data.h"
#include "engine/setup_aggregate.h"
#include "engine/setup_globals.h"
#include "engine/setup_host.h"
#include "engine/setup_properties.h"
#include "engine/source_redirection.h"
#include "engine/suite_record.h"
#include "engine/system_information.h"
#include "foundation/error.h"
#include "foundation/file_utils.h"
#include "foundation/kw_ini_file.h"
#include "foundation/kw_ini_file_exception.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_language.h"
#include "foundation/setup_log.h"
#include "foundation/dcf_names.h"
#include "foundation/single_instance_mutex.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kResumeSuffix[] = L".MultiInstall";
const DWORD kUnknownExceptionStatus = 0x8004FFFF;
const DWORD kSuiteConditionFalse = 1150;

// Ends the run early with status 0.
[[noreturn]] void EndRun() { throw static_cast<long>(0); }

}  // namespace

DWORD CWorker::WorkerRoutine() {
  try {
    return RunSteps();
  } catch (long value) {
    WriteLog(L"Caught thrown long %d", value);
    return HandleFailure(value);
  } catch (int value) {
    WriteLog(L"Caught thrown bool %d", value);
    return HandleFailure(value);
  } catch (unsigned long value) {
    WriteLog(L"Caught thrown dword %d", value);
    return HandleFailure(static_cast<LONG>(value));
  } catch (const CError& error) {
    WriteLog(L"Caught generic exception in worker routine: %d, '%s'", error.GetErrorCode(),
             error.GetMessage().c_str());
    return HandleFailure(static_cast<LONG>(error.GetErrorCode()));
  } catch (...) {
    WriteLog(L"Unknown exception thrown during install");
    return HandleFailure(static_cast<LONG>(kUnknownExceptionStatus));
  }
}

DWORD CWorker::RunSteps() {
  InitializeCom();
  SetErrorMessageBoxFunction(ShowMessageBox);
  ParseCommandLine();
  if (!LogSystemFactsAndCheckCompatibility()) EndRun();
  MapUnsupportedOSMessages();
  if (!ReadSourceIniIfPresent()) EndRun();
  // The other run does the work: this one did nothing, which a deployment
  // tool must not read as success.
  if (!CreateInstanceMutex()) throw static_cast<unsigned long>(ERROR_INSTALL_ALREADY_RUNNING);
  DetermineLanguage();
  LoadConfiguration();
  ReadProductList();
  BuildReplacementMap();
  UndoAbandonedRuns();
  if (!RunCreateLaunchPointMode()) EndRun();
  ReadSetupProperties();
  if (!RefuseRunFromCache()) EndRun();
  CheckSchemaVersion();
  ReadCachedProductData();
  ReadPackageList();
  if (!ChooseInstallLanguage()) EndRun();
  PublishLanguage();
  if (!RunPrepareUpdateMode()) EndRun();
  if (!LockSuite()) throw static_cast<unsigned long>(ERROR_INSTALL_ALREADY_RUNNING);
  // What the run reads of installed products, their references and their
  // packages is read while no other suite's run changes them.
  LockProductChanges();
  ReadInstallGroups();
  if (!CheckSuiteCondition()) throw static_cast<unsigned long>(kSuiteConditionFalse);
  TestInternetConnection();
  DisableProductsAndPromotions();
  PrepareWorkingCopyAndVerify();
  LoadActionListsAndPendingRestart();
  RunPerProductChecks();
  // The wizard waits on its user for as long as the user takes: other suites
  // go on meanwhile, and the run decides again once it has the lock back.
  UnlockProductChanges();
  if (!RunWizardHandshake()) EndRun();
  ApplyProductSelection();
  PrepareRepair();
  if (!RunCleanSystemMode()) EndRun();
  DWORD result = RunTheInstallation();
  FinishRun(result);
  DWORD routineResult = RoutineResult();
  RestartIfNeeded();
  // The routine's own result is what ends the dialog too: a requested 3010
  // must not turn into the 0 of the status.
  m_status = static_cast<LONG>(routineResult);
  Cleanup();
  return routineResult;
}

// A configuration step that fails ends the run with 13 after its own line.
void CWorker::RequireConfigurationStep(bool succeeded, const wchar_t* failure) {
  if (succeeded) return;
  WriteLog(L"%s", failure);
  AbortOnError(ERROR_INVALID_DATA, true);
}

// A failure is a status like any other, so the handlers run Cleanup.
void CWorker::InitializeCom() {
  WriteLog(L"Worker thread starting...");
  HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(result)) {
    WriteLog(L"ERROR: CoInitializeEx failed with: %x. Setup must exit.", result);
    throw static_cast<long>(result);
  }
  m_comInitialized = true;
  m_comThread = GetCurrentThreadId();
}

void CWorker::ParseCommandLine() { ParseCommandLineText(GetCommandLineW(), GetModuleFilePath()); }

void CWorker::ParseCommandLineText(const std::wstring& commandLine,
                                   const std::wstring& modulePath) {
  // No box: the interface level is not known, and a quiet run must never
  // wait on one.
  if (!m_commandLine->Parse(commandLine, modulePath, m_options.get(), &m_settings)) {
    AbortOnError(ERROR_INVALID_COMMAND_LINE, false);
  }
  if (m_settings.languageForced) m_installLanguage = m_settings.languageCode;
}

// True to go on, false when the compatibility check asks for a restart.
bool CWorker::LogSystemFactsAndCheckCompatibility() {
  if (m_settings.fastInstall) return true;
  CSystemInformation::LogSystemInformation(m_state.get());
  return CheckAppCompatMode() != 1;
}

// False when another setup program has taken over.
bool CWorker::ReadSourceIniIfPresent() {
  std::wstring path = m_commandLine->SetupFolder() + CSourceRedirection::kSourceIniName;
  if (!FileExists(path)) return true;
  CSourceRedirection::CHandOver handOver = SourceRedirection().ReadSourceIni(path);
  if (handOver.programMissing) {
    // The medium is gone: its own box, not the general error's.
    if (!IsSilentLevel()) {
      ShowBox(LoadResourceString(IDS_SOURCE_MEDIA_MISSING), IDS_WARNING_CAPTION,
              MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST);
    }
    throw static_cast<unsigned long>(ERROR_FILE_NOT_FOUND);
  }
  if (handOver.code != ERROR_SUCCESS) AbortOnError(handOver.code, true);
  if (handOver.process.IsValid()) EndWithResultOf(handOver.process.Get());
  return false;
}

CSourceRedirection& CWorker::SourceRedirection() {
  if (!m_sourceRedirection) {
    const std::wstring& program = m_commandLine->ProgramPath();
    std::wstring programName = program.substr(FolderOfPath(program).size());
    m_sourceRedirection.reset(new CSourceRedirection(*m_options, m_commandLine->SetupFolder(), programName,
                                                     m_commandLine->ConfigurationName(),
                                                     TakenSettingsText(m_settings), m_settings.startedByHandOver));
  }
  return *m_sourceRedirection;
}

// False when another instance of the same setup runs.
bool CWorker::CreateInstanceMutex() {
  m_mutex = CreateSingleInstanceMutex(m_commandLine->ConfigurationPath().c_str());
  if (m_mutex.IsValid()) return true;
  ReportAnotherInstance();
  return false;
}

// The kit, a copy of it elsewhere and the suite's cached copy each have a
// path of their own: only the suite's id makes their runs meet. A setup
// without one has its path's mutex alone.
bool CWorker::LockSuite() {
  std::wstring suite = ConfiguredSuiteId(*m_configuration);
  if (suite.empty()) return true;
  std::wstring holder;
  if (m_suiteLock.Acquire(suite, &holder)) {
    if (m_suiteLock.IsBorrowed()) {
      WriteLog(L"Suite %s is being changed by setup process %lu, which started this setup and waits for it",
               suite.c_str(), static_cast<unsigned long>(m_suiteLock.GetLender().GetId()));
    }
    return true;
  }
  ReportAnotherInstance(Format(L"   Suite %s is being changed by %s", suite.c_str(), holder.c_str()));
  return false;
}

void CWorker::ReportAnotherInstance(const std::wstring& holder) {
  WriteLog(L"Another instance of the same install is currently running");
  if (!holder.empty()) WriteLog(L"%s", holder.c_str());
  // A quiet deployment started twice must not wait on a box nobody sees.
  if (!IsSilentLevel()) {
    ShowBox(LoadResourceString(IDS_ANOTHER_INSTANCE), IDS_WARNING_CAPTION,
            MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST);
  }
}

CInstallLanguage CWorker::InstallLanguage() {
  return CInstallLanguage(*m_state, &m_installLanguage, m_commandLine->SetupFolder());
}

void CWorker::DetermineLanguage() {
  InstallLanguage().DetermineBaseLanguage(m_settings.languageForced);
}

void CWorker::LoadConfiguration() {
  std::wstring configurationPath = m_commandLine->ConfigurationPath();
  try {
    std::unique_ptr<CKwIniFile> configuration(new CKwIniFile());
    configuration->Init(false);
    configuration->LoadFrom(configurationPath);
    m_configuration = std::move(configuration);
  } catch (CKwIniFileException* exception) {
    std::unique_ptr<CKwIniFileException> owned(exception);
    WriteLog(L"Exception while loading DCF file: %s error %d: %s", configurationPath.c_str(),
             owned->GetCode(), owned->GetMessageText().c_str());
    AbortOnError(ERROR_FILE_NOT_FOUND, true);
  }
  m_state->m_configurationPath = configurationPath;
  if (g_setupAggregate) CopyToField(g_setupAggregate->configurationPath, configurationPath);
  NameResumeEntry();
}

// The suite's own name, so that one suite waiting for its restart does not
// keep another from registering (all kits name their configuration alike):
// its UUID, else the kit's configuration path.
void CWorker::NameResumeEntry() {
  std::wstring suite = ConfiguredSuiteId(*m_configuration);
  std::wstring name = suite.empty() ? SourceRedirection().KitFolder() + m_commandLine->ConfigurationName() : suite;
  m_resumeValueName = name + kResumeSuffix;
}

void CWorker::ReadProductList() {
  RequireConfigurationStep(ParseProductList(), L"Unable to parse the setup product list");
}

void CWorker::BuildReplacementMap() {
  RequireConfigurationStep(CreateReplacementMap(), L"Unable to create replacement macro mapping");
}

bool CWorker::CreateReplacementMap() {
  if (!m_configuration) return false;
  // An updated setup runs from its working copy; its macros still name the kit.
  const std::wstring& program = m_commandLine->ProgramPath();
  m_replacements->Create(*m_options, SourceRedirection().KitFolder() + FileNameOfPath(program), m_suiteMode);
  return true;
}

// False when the launch-point mode has done its job.
bool CWorker::RunCreateLaunchPointMode() {
  if (!m_settings.createLaunchPoint) return true;
  DWORD result = CreateLaunchPoint();
  if (result != ERROR_SUCCESS) AbortOnError(result, true);
  return false;
}

void CWorker::ReadSetupProperties() {
  RequireConfigurationStep(ParseSetupProperties(), L"Unable to parse the setup file properties");
}

bool CWorker::ParseSetupProperties() {
  if (!m_configuration) return false;
  CSetupProperties properties(*m_configuration, *m_replacements, *m_state, m_settings);
  return properties.Read(m_productList.Keys(), Mode(), m_commandLine->ProcessArguments());
}

// False when setup runs from its cached copy.
bool CWorker::RefuseRunFromCache() {
  if (!CheckRunningFromCache()) return true;
  // A quiet run has nobody to answer the box: the log says why it ended.
  if (!IsSilentLevel()) {
    ShowBox(ExpandMacros(LoadResourceString(IDS_UNINSTALL_FROM_CONTROL_PANEL)), IDS_ERROR_CAPTION,
            MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
  }
  return false;
}

void CWorker::CheckSchemaVersion() {
  RequireConfigurationStep(CheckDcfSchemaVersion(), L"The version schema is incompatible");
}

void CWorker::ReadCachedProductData() {
  RequireConfigurationStep(LoadCachedProductData(), L"Unable to read product data from DCF file");
}

void CWorker::ReadPackageList() {
  RequireConfigurationStep(ParseMsiFileList(), L"Unable to parse the setup MSI file list");
}

// False when the user closed the language dialog without a choice.
bool CWorker::ChooseInstallLanguage() {
  if (Mode() >= CCommandOptions::kModeRepair) return true;
  InstallLanguage().CollectLanguageCandidates(m_productList.Keys());
  if (KeepInstalledLanguage()) return true;
  if (!m_settings.languageDialogAllowed || UiLevel() >= CCommandOptions::kUILevelBasicNoDialogs) return true;
  RequireConfigurationStep(ShowLanguageDialog() == ERROR_SUCCESS, L"Error in user language selection dialog");
  if (m_installLanguage.empty()) return false;
  InstallLanguage().DetermineBaseLanguage(true);
  return true;
}

// A run over the installed suite without {lang} keeps the language its
// packages were installed in: another would replace its products, or record
// a language they do not have. A forced {lang} decides instead.
bool CWorker::KeepInstalledLanguage() {
  if (m_settings.languageForced || !m_configuration) return false;
  std::wstring suite = CProductData::GetIniValue(*m_configuration, kProductGroupDefaultSection, kUuidKey, L"");
  std::wstring installed;
  if (!CSuiteRecord::IsWellFormedSuiteId(suite) ||
      !CSuiteRecord(suite).ReadText(kSuiteInstalledLanguageValue, &installed) || Trim(installed).empty()) {
    return false;
  }
  WriteLog(L"   The suite is installed in language '%s': the run keeps it", installed.c_str());
  m_installLanguage = Trim(installed);
  InstallLanguage().DetermineBaseLanguage(true);
  return true;
}

// 0 when the dialog gave an answer (the worker's language is then the
// chosen code, or empty after a cancel), 13 otherwise.
DWORD CWorker::ShowLanguageDialog() {
  bool answered = SelectSetupLanguageThroughDialog(&m_state->m_lists[0], &m_installLanguage,
                                                   m_host ? m_host->GetOwnerWindow() : nullptr);
  return answered ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

void CWorker::PublishLanguage() {
  m_state->SetProperty(L"SETUPLANG", m_installLanguage);
  g_rightToLeft = m_installLanguage == L"ARA" ? 1 : 0;
  g_uiLanguageId = LangIdFromLanguageCode(m_installLanguage);
  std::wstring culture;
  if (GetCultureName(m_installLanguage, &culture)) m_state->SetProperty(L"Culture", culture);
}

// False when the update-folder mode has done its job; a mode that wrote
// nothing it was asked to ends with the code of why.
bool CWorker::RunPrepareUpdateMode() {
  if (!m_settings.prepareUpdate) return true;
  DWORD result = PrepareUpdateFolder();
  // The user who kept the folder has answered already: no box for that.
  if (result != ERROR_SUCCESS) AbortOnError(result, result != ERROR_ALREADY_EXISTS);
  return false;
}

void CWorker::ReadInstallGroups() {
  RequireConfigurationStep(ParseInstallGroupInfo(), L"Unable to parse the setup install group info");
}

// False when the suite's condition rules the machine out.
bool CWorker::CheckSuiteCondition() {
  if (Mode() >= CCommandOptions::kModeRepair) {
    if (Mode() == CCommandOptions::kModeRepair || Mode() == CCommandOptions::kModeUninstall) {
      ReadMissingProductCodes();
    }
    return true;
  }
  std::wstring publishedLanguage = m_installLanguage;
  InstallLanguage().ChooseProductLanguages(m_productList.Keys());
  // SETUPLANG and Culture must name the language the packages are installed in.
  if (m_installLanguage != publishedLanguage) PublishLanguage();
  FindPackagesAndTransforms();
  bool suiteAllowed = EvaluateMpiCondition(m_state->m_suiteCondition);
  if (!suiteAllowed) {
    if (UiLevel() < CCommandOptions::kUILevelBasicNoDialogs) {
      // The suite's condition refuses every product of the suite.
      std::vector<std::wstring> products;
      for (const std::wstring& key : m_productList.Keys()) products.push_back(ProductDisplayName(key));
      ShowBox(MessageText(m_state->m_conditionMessageName, IDS_CONFIGURATION_NOT_SUPPORTED,
                          SuiteDisplayName(), products),
              IDS_ERROR_CAPTION, MB_ICONERROR | MB_SETFOREGROUND);
    }
    return false;
  }
  if (m_settings.fastInstall) {
    ReadPackageIdentities();
  } else if (!LoadMsiData()) {
    WriteLog(L"Unable to read MSI package data for products");
    AbortOnError(ERROR_INVALID_DATA, false);
  }
  return true;
}

void CWorker::TestInternetConnection() {
  if (!m_settings.fastInstall) TestConnection();
}

void CWorker::DisableProductsAndPromotions() {
  DisableProducts();
  EvaluateURLPromotion();
}

void CWorker::PrepareWorkingCopyAndVerify() {
  if (m_settings.fastInstall) return;
  SourceRedirection().PrepareWorkingCopy();
  SourceRedirection().BuildRestartCommand(m_commandLine->ProcessArguments(), &m_restartProgramPath,
                                          &m_restartArguments);
  RunBuiltInVerifyActions();
}

// The context block's pointers are filled as soon as the lists
// exist, whatever the mode, so DLL actions of every later step see them.
void CWorker::LoadActionListsAndPendingRestart() {
  LoadActionLists();
  CheckPendingFileRenameOperations();
  if (g_setupAggregate) {
    g_setupAggregate->actionLists = &m_actionLists;
    g_setupAggregate->setupState = m_state.get();
  }
}

void CWorker::RunPerProductChecks() {
  if (m_settings.cleanSystem) return;
  if (Mode() < CCommandOptions::kModeRepair) {
    if (m_state->m_existingSuiteFound && m_suiteMode) RepairOrPromptSuiteOverInstall();
    EvaluateUpgradeLink();
    m_rebootSupport.UnregisterRebootResume(m_resumeValueName);
  }
  RunProductActions(m_options->GetSSwitchValue());
  if (m_settings.onlineAccess && Mode() == 0) {
    CGoogleDetection(m_commandLine->SetupFolder()).Detect(*m_state, UiLevel() > CCommandOptions::kUILevelFull);
  }
}
