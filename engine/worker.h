#pragma once
// worker.h: the setup engine. One CWorker per run owns the command options,
// the configuration, the shared state and the expression parser; its main
// routine runs the whole setup in a fixed order of steps and ends at the
// first step that fails, with that step's status.
#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "actions/run_journal.h"
#include "actions/setup_action_list.h"
#include "engine/engine_command_line.h"
#include "engine/engine_settings.h"
#include "engine/install_group_info_map.h"
#include "engine/install_language.h"
#include "engine/install_run.h"
#include "engine/product_list.h"
#include "engine/replacement_map.h"
#include "engine/setup_state.h"
#include "foundation/product_change_lock.h"
#include "foundation/reboot_support.h"
#include "foundation/scoped_handle.h"
#include "foundation/suite_lock.h"

class CActionListSources;
class CConditionEvaluator;
class CCommandOptions;
class CInstallAction;
class CInstallActionManager;
class CInstallGroupInfo;
class CRemoveAction;
class CSetupAction;
class CVerifyAction;
class CSourceRedirection;
class CRefCounter;
class CSuiteRegistration;
class CExpressionParser;
class CKwIniFile;
class CWindowsSystemFacts;
class CWindowsUpdateSuppression;
class ISetupHost;

class CWorker {
 public:
  explicit CWorker(ISetupHost* host);
  CWorker(const CWorker&) = delete;
  CWorker& operator=(const CWorker&) = delete;
  virtual ~CWorker();

  // Null: runs the routine here and returns its result. Otherwise starts the
  // worker thread, hands its handle over and returns 0 or the start error.
  DWORD StartWorker(HANDLE* thread);
  // The steps run under the handlers, which turn whatever a step throws into
  // the status and always run Cleanup.
  DWORD WorkerRoutine();
  [[noreturn]] void AbortOnError(DWORD code, bool show);
  void Cleanup();
  // The interface thread's work: the wizard, or 13 without the suite's group.
  DWORD RunInterface();

  CSetupState* GetSetupState() const { return m_state.get(); }
  LONG GetStatus() const { return m_status; }

  // {Name} macros from the replacement map, then the property map. Safe on
  // any thread: every call keeps its own state and reads a copy of the
  // properties. A null text gives an empty result.
  std::wstring ExpandMacros(const wchar_t* text) const;
  std::wstring ExpandMacros(const std::wstring& text) const;
  bool ResolveMacro(std::wstring* text, std::wstring* value) const;
  void LogPropertyMaps() const;

 protected:
  // Every message box of the run; tests replace the implementation behind it.
  int ShowBox(const std::wstring& text, UINT captionId, UINT style, HWND owner = nullptr);
  int UiLevel() const;
  int Mode() const;
  bool IsSilentLevel() const;  // UI levels 5 to 8: no modal box

  // The steps of WorkerRoutine in their order; the routine's result.
  virtual DWORD RunSteps();
  void InitializeCom();
  void ParseCommandLine();
  // The same from a given process command line and program path.
  void ParseCommandLineText(const std::wstring& commandLine, const std::wstring& modulePath);
  bool LogSystemFactsAndCheckCompatibility();
  int CheckAppCompatMode();
  void MapUnsupportedOSMessages();
  bool ReadSourceIniIfPresent();
  bool CreateInstanceMutex();
  // False when another run changes the same suite, from whatever copy of
  // its setup; ends nothing itself.
  bool LockSuite();
  // `holder`, when known, is the log line that names the run that holds it.
  void ReportAnotherInstance(const std::wstring& holder = std::wstring());
  // Starts the setup that does this run's work and ends with its result;
  // returns only when it could not start, with the suite held again.
  void HandOverTo(const std::wstring& command);
  // Takes the machine-wide lock around product changes, waiting a bounded
  // time for the run of another suite that holds it, or borrows it from the
  // setup that started this one. The run ends with 1618 when it stays held,
  // as cancelled when the user cancels the wait. Taken, it first undoes what
  // killed runs left, and ends the run with 1618 when it cannot.
  void LockProductChanges();
  void WaitForProductChanges(const std::wstring& holder);
  [[noreturn]] void EndWithProductsBusy();
  void UnlockProductChanges();
  CInstallLanguage InstallLanguage();
  void DetermineLanguage();
  void LoadConfiguration();
  void NameResumeEntry();
  void ReadProductList();
  void BuildReplacementMap();
  bool CreateReplacementMap();
  // What runs that were killed left half done, before this run reads any
  // product's references: their journals and working copies.
  void UndoAbandonedRuns();
  bool UndoAbandonedJournals();
  void UndoAbandonedRun(const CRunJournal::CRecord& record);
  void RemoveAbandonedResume(const CRunJournal::CRecord& record);
  std::vector<CRunJournal::CProduct> RemoveAbandonedProducts(const CRunJournal::CRecord& record,
                                                             CRefCounter* counter);
  void RemoveUnusedSuiteRecord(const std::wstring& suiteId);
  // After a removal of the suite: its resume entry, unless a running setup wrote it.
  void RemoveEndedResumeEntry();
  // A run that undoes its work when it fails keeps that undo for a later
  // run from here on, in case it is killed.
  void BeginRunJournal();
  // The resume entry just written, kept in the journal, which it opens
  // when no step has yet.
  void JournalResumeEntry();
  bool RunCreateLaunchPointMode();
  // The special modes and the jobs of their kind.
  DWORD CreateLaunchPoint();
  void CleanupLaunchPoint();
  bool CheckRunningFromCache();
  DWORD PrepareUpdateFolder();
  void CreateLogFolderShortcut();
  // Packs the run's logs once it has reached its end, in Cleanup, so that
  // the archive holds the run's last lines; whatever happens to them, the
  // run's result stands.
  void PackLogFiles();
  void ReadSetupProperties();
  bool ParseSetupProperties();
  bool RefuseRunFromCache();
  void CheckSchemaVersion();
  void ReadCachedProductData();
  void ReadPackageList();
  bool ChooseInstallLanguage();
  DWORD ShowLanguageDialog();
  void PublishLanguage();
  bool RunPrepareUpdateMode();
  void ReadInstallGroups();
  bool CheckSuiteCondition();
  void TestInternetConnection();
  void DisableProductsAndPromotions();
  void PrepareWorkingCopyAndVerify();
  // Made on first use, once the command line is read.
  CSourceRedirection& SourceRedirection();
  void LoadActionListsAndPendingRestart();
  // The action lists of the mode; ends the run with 13 for lists that
  // cannot be read and 1223 when the user keeps an incompatible suite.
  void LoadActionLists();
  // The applications and services to shut down before installing.
  void LoadShutdownApplications();
  // Each install action's product's icon choices on its command line.
  void AddIconProperties();
  CActionListSources MakeListSources();
  void RunPerProductChecks();
  bool RunWizardHandshake();
  void SetSetupTypeFromMode();
  // Trims the action lists to the products chosen; in an uninstall without
  // choices, deselects everything.
  void ApplyProductSelection();
  void PrepareRepair();
  bool RunCleanSystemMode();
  DWORD RunTheInstallation();
  void FinishRun(DWORD result);
  void JoinInterfaceThread();
  DWORD RoutineResult();
  void RestartIfNeeded();
  // Whether the wizard's finish page, rather than the end of the run, asks
  // for a restart the run leaves pending.
  bool FinishPageAsksForRestart() const;
  // Throws 0x70669 unless a REBOOT option lets the quiet run go on.
  void HandleRebootDuringPreparation();
  // The same for the step of `stage`, which must not restart a run resumed
  // at that stage again: that run ends with 1603.
  void RestartForPreparation(int stage);
  // Before the install list: the removals of earlier versions and
  // incompatible applications (ends the run when no product is left), then
  // those of incompatible suites.
  void ExecutePrepareActions(int startSequence);
  DWORD RunPrepareAction(CSetupAction* action, const std::wstring& target);
  void ApplyRemovalChoice(CRemoveAction* action, const std::wstring& target);
  void LogKeptRemoval(const CSetupAction* action, const std::wstring& product, DWORD result) const;
  void TakeProductOutOfRun(const std::wstring& key, bool dropOwnList);
  void ProcessIncompatibleSuite();
  // Unlinks the product's actions from the named list into m_retiredActions.
  void RemoveProductActions(const std::wstring& listName, const std::wstring& key);

  // The checks before anything is installed; each ends the run when it fails.
  void RunBuiltInVerifyActions();
  void CheckAdministrator();
  void EnsureMSI();
  void EnsureSetupFiles();
  void CheckPendingFileRenameOperations();
  void RepairOrPromptSuiteOverInstall();
  void EvaluateUpgradeLink();
  void RunProductActions(int startSequence);
  void ExecuteShutdownActions();
  void AddInstallPathToCommandLine();
  DWORD RunVerifyAction(CVerifyAction* action, DWORD* kept);
  void PrepareVerifyAction(CVerifyAction* action, const wchar_t* section);
  void HookRebootResume(int sequence);
  void UnhookRebootResume();
  // A product (or the suite) a check refused: the name its box shows,
  // whether the check may show a box, its configured message name, and
  // whether a configured check refused it.
  struct CRefusal {
    std::wstring name;
    bool silent;
    std::wstring messageName;
    bool custom;
  };
  void RefuseProduct(const CVerifyAction& action, DWORD kept, std::vector<CRefusal>* refused);
  void ReportRefusedProducts(const std::vector<CRefusal>& refused, DWORD kept);
  // One box for the refusals whose checks may show one; `ending`: the run ends.
  void ShowRefusals(const std::vector<CRefusal>& refusals, bool ending);
  CRefusal RefusalOf(const CVerifyAction& action) const;
  std::wstring ProductDisplayName(const std::wstring& key) const;
  std::wstring SuiteDisplayName() const;
  // The text of a message name with _PRODUCT_NAME_ (the product's name) and
  // _PRODUCTS_ (the list, one a line) filled. No name gives `fallback`; so
  // does an unknown one or one without a text, with a log line.
  std::wstring MessageText(const std::wstring& messageName, UINT fallback, const std::wstring& productName,
                           const std::vector<std::wstring>& products) const;
  static int CompareSuiteVersions(const std::wstring& ours, const std::wstring& theirs);
  // Returns only when the cached setup could not be started.
  void HandOverToCachedSetup(const CInstallGroupInfo& suite);
  void PromptSuiteOverInstall(UINT messageId, const CInstallGroupInfo& suite,
                              const CInstallGroupInfo& installed);
  std::wstring DisabledProductsArgument() const;
  bool UpdateMadeSetupNewer(const std::wstring& announced);
  void RestartWithNewSetupFiles(const std::wstring& workFolder);
  void CancelInterfaceForFilesInUse();

  // The install run's steps.
  std::vector<CInstallAction*> InstallActions() const;
  CInstallRun MakeInstallRun() const;
  bool PrepareRepairActions();
  DWORD CountProgressSteps() const;
  void AddUserProperties();
  void FinalCleanup(DWORD status);
  DWORD RunInstall(DWORD progressTotal);
  DWORD CommitRun(CSuiteRegistration* registration, const std::vector<std::wstring>& otherUsers,
                  bool repair);
  void RecordInstallFolders();
  bool InstalledAnything() const;
  DWORD UninstallByGroup();
  CSuiteRegistration MakeSuiteRegistration();
  std::unique_ptr<CInstallActionManager> MakeActionManager(const std::vector<CSetupAction*>& actions,
                                                           DWORD progressTotal);
  // A failure that came without a code of its own still fails.
  static DWORD FailureCode(DWORD code);

  void RequireConfigurationStep(bool succeeded, const wchar_t* failure);

  // Takes the product out of the run: the product lists, its data, and,
  // unless uninstalling, every product that requires it. A product marked
  // Mandatory stays when `checkMandatory` is set. False when it stays.
  bool DisableProduct(const std::wstring& key, bool checkMandatory);
  // A passed "RebrandFor" check: the product's new name, and a property for
  // its package's install command lines.
  void ApplyRebranding(const CSetupAction& verifyAction);

  // What the machine can take: the schema, the suite's and the products'
  // conditions, the products' searches, the connection, the promotion.
  CConditionEvaluator Conditions() const;
  bool EvaluateMpiCondition(const std::wstring& condition);
  bool EvaluateCondition(const std::wstring& condition);
  bool CheckDcfSchemaVersion();
  // 1 when the product qualifies, 0 when it does not.
  int EvaluateProductConditions(const std::wstring& key);
  DWORD RunAppSearch(const std::wstring& property);
  void SetSearchResultProperty(const std::wstring& name, const std::wstring& value,
                               const std::wstring& fallback);
  void DisableProducts();
  // Ends the run with 1150 when no product is left.
  void EvaluateURLPromotion();
  // Ends a quiet run with 59 when the connection is needed and fails.
  void TestConnection();
  std::wstring GetProductName(const std::wstring& key);
  // The final clean-up's folders.
  void DeleteUserAppDataFolder();
  void CleanupSourceFiles();

  // The suite's products and their packages.
  bool ParseProductList();
  bool LoadCachedProductData();
  std::vector<std::wstring> CachedProductFolders(const CKwIniFile& configuration) const;
  std::wstring InstalledSuiteCacheFolder(const CKwIniFile& configuration) const;
  // The UUID (else SuiteId) of [ProductGroup.Default] when it is well formed.
  static std::wstring ConfiguredSuiteId(const CKwIniFile& configuration);
  bool LoadCachedProductFile(const std::wstring& key, CProductData* product,
                             const std::vector<std::wstring>& folders);
  bool ParseMsiFileList();
  bool ParseInstallGroupInfo();
  void CheckTemporarySpace(bool spaceKnown, const std::wstring& tempFolder, double freeSpace,
                           double largestCost);
  void FindPackagesAndTransforms();
  void FindPackageAndTransform(const std::wstring& key, CProductData* product);
  bool LoadMsiData();
  void ReadMissingProductCodes();
  void ReadPackageIdentities();
  void RecordProductCodes();
  void ShowPackageError(const std::wstring& packagePath);
  // The suite's members that are missing: found before a repair or an
  // uninstall loads its lists, put back by a repair where the kit can.
  void FindMissingMembers();
  std::vector<std::wstring> RestoredMembers() const;
  bool IsMemberPresent(const std::wstring& suiteId, const std::wstring& key, const std::wstring& code) const;
  // Whether the kit holds the missing member's own package (its product code).
  bool HasOwnPackage(const std::wstring& key, CProductData* product);
  // Whether a newer product of the member's family (its UpgradeCode) that
  // the user installed replaced it; logged with that product's name.
  bool IsReplacedByNewerOfFamily(const std::wstring& key, CProductData* product);
  // A run over the installed suite without {lang} takes its recorded
  // language; true when it did.
  bool KeepInstalledLanguage();
  // ERROR_INSTALL_FAILURE, naming each, when a missing member is still missing.
  DWORD ReportMissingMembers() const;
  // At the end of a failed run: the products it removed for good, logged,
  // as the text that ends its error message, and named on the wizard's
  // last page.
  struct CLostProduct {
    std::wstring name;
    std::wstring key;
    std::wstring by;
  };
  std::vector<CLostProduct> ProductsNotRestored();
  void LogRemovalsNotRestored();
  std::wstring ProductsNotRestoredText(const std::vector<CLostProduct>& lost) const;
  // An uninstall's products that the configuration no longer names; a
  // repair's that replaced one it names.
  bool AddDroppedProducts();
  bool StandsForNamedProduct(const std::wstring& key) const;
  std::vector<std::unique_ptr<CProductData>> ReadUnlistedProductFiles();
  std::unique_ptr<CProductData> MakeDroppedProduct(const std::wstring& key,
                                                   std::vector<std::unique_ptr<CProductData>>* files);

  // A failure after the wizard has started: tell it and wait for it.
  void StopInterfaceThread(bool failure);
  DWORD HandleFailure(LONG value);
  // Waits for another setup.exe this run handed over to and ends the run
  // with its exit code as this run's status, adding no failure of its own.
  [[noreturn]] void EndWithResultOf(HANDLE process);
  void RemoveWorkingCopyUnlessResumed();

  ISetupHost* m_host;
  std::unique_ptr<CSetupState> m_state;
  std::unique_ptr<CCommandOptions> m_options;
  std::unique_ptr<CKwIniFile> m_configuration;
  std::unique_ptr<CWindowsSystemFacts> m_systemFacts;
  std::unique_ptr<CExpressionParser> m_expressionParser;
  // Held off from construction to destruction, so for the whole run.
  std::unique_ptr<CWindowsUpdateSuppression> m_windowsUpdate;

  // The program's path and folder, the arguments and the configuration's
  // name and path as the command line gives them.
  std::unique_ptr<CEngineCommandLine> m_commandLine;
  std::wstring m_installLanguage;
  std::wstring m_resumeValueName;
  CProductList m_productList;
  std::unique_ptr<CReplacementMap> m_replacements;
  std::unique_ptr<CSourceRedirection> m_sourceRedirection;
  // What a resume after a restart starts: the working copy's program when
  // there is one, and the arguments with their restart marker.
  std::wstring m_restartProgramPath;
  std::wstring m_restartArguments;

  LONG m_status = 0;
  // Set when the status is the exit code of the setup this run handed over to.
  bool m_handedOver = false;
  // The run got as far as its logs are packed for: at its very end.
  bool m_packLogs = false;
  // Restarts Windows; null is the system's call. Tests record it instead.
  BOOL (*m_restartFunction)() = nullptr;
  BOOL m_rebootHooked = FALSE;
  // The run's resume entry: it removes only what it wrote itself.
  CRebootSupport m_rebootSupport;
  BOOL m_actionListsLoaded = FALSE;
  BOOL m_suiteMode = FALSE;

  // The command line merged with the configuration, the command line winning.
  CEngineSettings m_settings;

  CScopedHandle m_mutex;
  // Held from the first step that may change the suite to Cleanup.
  CSuiteLock m_suiteLock;
  // Held while the run reads, decides and changes products and references.
  CProductChangeLock m_productLock;
  CScopedHandle m_interfaceThread;
  bool m_interfaceThreadJoined = false;
  bool m_comInitialized = false;
  DWORD m_comThread = 0;
  CActionListMap m_actionLists;
  CInstallGroupInfoMap m_installGroups;
  // The suites that use each product: written as the actions run, undone
  // when the run fails.
  std::unique_ptr<CRefCounter> m_refCounter;
  // The same undo, kept in the registry until the run settles.
  std::unique_ptr<CRunJournal> m_runJournal;
  // The killed runs' records this run has tried to undo: what it could not
  // undo of their products waits for a later run, not for its next lock.
  std::set<std::wstring> m_triedJournals;
  // Suites whose queued references a commit must not add.
  std::vector<std::wstring> m_skipUsers;
  // What loading the lists found: the incompatible suites and the names of
  // their lists, how upgrade conditions count, a newer product kept.
  std::vector<std::wstring> m_incompatibleSuites;
  std::vector<std::wstring> m_incompatibleSuiteLists;
  int m_upgradeConditionMode = 0;
  bool m_newerVersionKept = false;
  // An uninstall whose selection keeps products: a change of the suite,
  // which stays registered.
  bool m_removalKeepsProducts = false;
  // The products an uninstall removes after those the configuration names,
  // in the order they go.
  std::vector<std::wstring> m_droppedProducts;
  // Members the suite counted that are not installed; `restored`: the
  // repair installs it again from the kit's package.
  struct CMissingMember {
    std::wstring key;
    std::wstring code;
    std::wstring name;
    bool restored;
  };
  std::vector<CMissingMember> m_missingMembers;
  // Actions taken out of their lists; they live as long as the worker.
  std::vector<std::unique_ptr<CSetupAction>> m_retiredActions;
};

// Thread start of the dialog path: runs StartWorker(nullptr) on the worker.
unsigned __stdcall WorkerThreadProc(void* parameter);
// Thread start of the interface thread: RunInterface on the worker.
unsigned __stdcall InterfaceThreadProc(void* parameter);
