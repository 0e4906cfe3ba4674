#pragma once
// install_action.h: CInstallAction, one product's install, repair or
// uninstall command line with the properties the run adds to it, its
// condition, its rollback and its reference-count operations.
#include <windows.h>

#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "actions/package_upgrade.h"
#include "actions/setup_action.h"
#include "foundation/scoped_handle.h"
#include "platform/string_map.h"

class CExpressionParser;
class CProductData;
class CRunJournal;
class IRefCounting;

class CInstallAction : public CSetupAction {
 public:
  enum EExecuteOptions : DWORD { kSync = 0, kWait = 1, kNoWait = 2 };
  enum EReturnProcessing : DWORD { kIgnore = 0, kMsi = 1, kStandard = 2 };

  // A command line that is a number up to 65535 naming a text of the string
  // table is that text; a condition is taken as written. The map and the
  // parser are not owned.
  CInstallAction(int sequence, const std::wstring& keyName, const std::wstring& actionName,
                 const std::wstring& commandLine, const std::wstring& executeOptions,
                 const std::wstring& returnProcessing, const CMapStringToString* properties,
                 const std::wstring& condition, CExpressionParser* parser);
  ~CInstallAction() override;

  // Case-blind; any other text gives kWait and kMsi.
  static EExecuteOptions ParseExecuteOptions(const std::wstring& text);
  static EReturnProcessing ParseReturnProcessing(const std::wstring& text);

  // Starts the command line; 0 when it started (or a NoUninstall/NoRepair
  // product was skipped), which marks the action executed. Waiting for the
  // action handle is the caller's business.
  DWORD Execute() override;
  // Whether Execute hands its command line to the in-process installer.
  bool RunsInInstaller();
  // Starts the rollback command line into the rollback handle.
  virtual DWORD Rollback();
  // What undoes the action's install: the line Rollback starts, and the one
  // a later run starts when this run was killed.
  const std::wstring& GetRollbackCommandLine();
  // Reference operations: 0 or the error's code, never thrown.
  virtual DWORD AddDateTimeStamp(time_t time);
  // After an install: the folders it was given, kept with the product.
  DWORD RecordInstallFolders();
  virtual DWORD AddReference(const std::wstring& suite);
  // The same for another product, one that stands in for the action's.
  virtual DWORD AddReferenceTo(const std::wstring& suite, const std::wstring& key);
  virtual DWORD ReleaseReference(const std::wstring& suite);
  virtual DWORD ReleaseAllReferences();
  // The product stands from now on for `codes`, which its package removed.
  virtual DWORD RecordReplacedProducts(const std::vector<std::wstring>& codes);

  // False for a condition that is false or cannot be evaluated; the latter
  // sets `unreadable` when given.
  bool EvaluateCondition(bool* unreadable = nullptr);
  // The map the condition reads from now on; not owned.
  void SetProperties(const CMapStringToString* properties) { m_properties = properties; }
  void UpdateSourceList(const std::wstring& sourceFolder);

  void AddSuiteIdProperty(const std::wstring& suiteId);
  void AddEulaAcceptedProperty(bool accepted);
  void AddForceEncryptionProperty(bool force);
  void AddNoOnlineAccessProperty(bool noOnlineAccess);
  void AddSilentProperty(bool silent);
  void AddUserAndCompanyProperties(const std::wstring& user, const std::wstring& company);
  void AddDesktopIconProperty(bool wanted);
  void AddQuickLaunchIconProperty(bool wanted);
  void AddInstallDirProperty(const std::wstring& folder);
  void AddFeatureSelection(const CProductData& product);
  // The folder properties of the install command line (INSTALLDIR and the
  // package's other directories it sets) go onto the uninstall line, which
  // the rollback runs too: the installer then removes the files from the
  // folders they went to, not from the package's default ones.
  void CarryInstallFolders();
  // The folder properties an earlier install of the product recorded, onto
  // every installer line of the action: its removal, its repair and, for a
  // product put back, its install.
  void UseInstallFolders(const std::wstring& properties);
  const std::wstring& GetInstallFolders() const { return m_installFolders; }

  // Also builds the default uninstall command line when none is set.
  void SetProductCode(const std::wstring& code);
  const std::wstring& GetProductCode() const { return m_productCode; }
  const std::wstring& GetProductName() const { return m_productName; }
  void SetProductName(const std::wstring& name) { m_productName = name; }
  const std::wstring& GetCommandLine() const { return m_commandLine; }
  void SetCommandLine(const std::wstring& line) { m_commandLine = line; }
  const std::wstring& GetUninstallCommandLine();
  const std::wstring& GetRepairCommandLine();
  void SetUninstallCommandLine(const std::wstring& line) { m_uninstallCommandLine = line; }
  void SetRepairCommandLine(const std::wstring& line) { m_repairCommandLine = line; }
  EExecuteOptions GetExecuteOptions() const { return m_executeOptions; }
  EReturnProcessing GetReturnProcessing() const { return m_returnProcessing; }

  void SetRunsProductPackage(bool runs) { m_runsProductPackage = runs; }
  bool RunsProductPackage() const { return m_runsProductPackage; }
  void SetUninstall(bool uninstall) { m_uninstall = uninstall; }
  bool IsUninstall() const { return m_uninstall; }
  void SetRepair(bool repair) { m_repair = repair; }
  bool IsRepair() const { return m_repair; }
  // Whether the user may cancel while this action runs.
  void SetCancelAllowed(bool allowed) { m_cancelAllowed = allowed; }
  bool IsCancelAllowed() const { return m_cancelAllowed; }
  void SetOverrideInstallDir(const std::wstring& text) { m_overrideInstallDir = text; }
  const std::wstring& GetOverrideInstallDir() const { return m_overrideInstallDir; }
  void SetNoUninstall(bool noUninstall) { m_noUninstall = noUninstall; }
  bool IsNoUninstall() const { return m_noUninstall; }
  void SetNoRepair(bool noRepair) { m_noRepair = noRepair; }
  bool IsNoRepair() const { return m_noRepair; }
  // In a repair, installs the suite's product that is missing: the action
  // stays an install, and its condition, which held when the suite
  // installed the product, is not asked again without that run's properties.
  void SetRestoresProduct(bool restores) { m_restoresProduct = restores; }
  bool RestoresProduct() const { return m_restoresProduct; }
  // The product is installed as an earlier build under the same product
  // code: the install line runs the package over it as a minor upgrade
  // (REINSTALL=ALL REINSTALLMODE=vomus) that keeps its installed features,
  // nothing journals it for removal, and a rollback leaves it installed, as
  // the run found it. A product the user installed alone (`usersOwn`)
  // stays the user's: the suite neither counts it nor hides it from the
  // programs list, whose entry stays as it was (`hidden`).
  void UpgradeInPlace(bool usersOwn, bool hidden);
  bool UpgradesInPlace() const { return m_upgradesInPlace; }
  bool LeavesUsersOwn() const { return m_leavesUsersOwn; }
  // The suites for which a rollback kept the product installed.
  void SetKeptFor(std::vector<std::wstring> suites) { m_keptFor = std::move(suites); }
  const std::vector<std::wstring>& GetKeptFor() const { return m_keptFor; }
  // Whether Execute runs the action: its condition decides, except in an
  // uninstall or a repair of a product's package, where whether the product
  // is installed does. A condition that cannot be evaluated sets
  // `unreadable`.
  bool IsWanted(bool* unreadable);
  void SetRefCounter(IRefCounting* counter) { m_refCounter = counter; }
  // Where an install keeps its rollback command before it starts; not owned.
  void SetRunJournal(CRunJournal* journal) { m_runJournal = journal; }
  bool IsExecuted() const { return m_executed; }
  // What the action's package removes as it installs, learnt before it starts.
  void SetReplacedProducts(std::vector<CPackageUpgrade::CReplacedProduct> products) {
    m_replacedProducts = std::move(products);
  }
  const std::vector<CPackageUpgrade::CReplacedProduct>& GetReplacedProducts() const { return m_replacedProducts; }

  // The running command's and the running rollback's thread or process; the
  // action keeps owning them until Close.
  HANDLE GetActionHandle() const { return m_actionHandle.Get(); }
  HANDLE GetRollbackHandle() const { return m_rollbackHandle.Get(); }
  void CloseActionHandle() { m_actionHandle.Reset(); }
  void CloseRollbackHandle() { m_rollbackHandle.Reset(); }

 private:
  void BuildDefaultUninstallCommandLine();
  void BuildDefaultRepairCommandLine();
  bool IsInstallerLine(const std::wstring& line) const;
  // The line Execute starts for the action's kind.
  const std::wstring& LineToRun();
  void AppendToInstallLine(const std::wstring& text);
  void ShowStatusText();
  template <typename Operation>
  DWORD GuardReferenceOperation(const wchar_t* failureText, Operation operation);

  EExecuteOptions m_executeOptions;
  EReturnProcessing m_returnProcessing;
  std::wstring m_commandLine;
  std::wstring m_uninstallCommandLine;
  std::wstring m_repairCommandLine;
  const CMapStringToString* m_properties;
  std::wstring m_condition;
  std::wstring m_productName;
  std::wstring m_productCode;
  CScopedHandle m_actionHandle;
  CScopedHandle m_rollbackHandle;
  CExpressionParser* m_parser;
  bool m_executed = false;
  bool m_runsProductPackage = false;
  bool m_uninstall = false;
  bool m_repair = false;
  bool m_cancelAllowed = true;
  IRefCounting* m_refCounter = nullptr;
  CRunJournal* m_runJournal = nullptr;
  std::wstring m_overrideInstallDir;
  bool m_noUninstall = false;
  bool m_noRepair = false;
  bool m_restoresProduct = false;
  bool m_upgradesInPlace = false;
  bool m_leavesUsersOwn = false;
  std::vector<std::wstring> m_keptFor;
  // What AddFeatureSelection appended to the install line.
  std::wstring m_featureProperties;
  std::wstring m_installFolders;
  std::vector<CPackageUpgrade::CReplacedProduct> m_replacedProducts;
};
