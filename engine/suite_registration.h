#pragma once
// suite_registration.h: the suite's place on the machine beyond its
// packages: its entry in the list of installed programs, the cached copy of
// setup and its configuration that the entry's uninstall command starts, and
// their removal once no product of the suite is left.
#include <windows.h>

#include <string>
#include <vector>

struct CEngineSettings;
class CInstallAction;
class CInstallGroupInfo;
class CInstallGroupInfoMap;
class CKwIniFile;
class CReplacementMap;
class CSetupState;
class CStagedFiles;
class CSuiteRecord;
class IRefCounting;

class CSuiteRegistration {
 public:
  // All must outlive the object. `programPath` and `configurationPath` are
  // the running setup.exe and its configuration, copied into the cache.
  CSuiteRegistration(const CKwIniFile& configuration, const CReplacementMap& macros,
                     CSetupState& state, const CInstallGroupInfoMap& groups,
                     const CEngineSettings& settings, IRefCounting& counter,
                     const std::wstring& programPath, const std::wstring& configurationPath);
  CSuiteRegistration(const CSuiteRegistration&) = delete;
  CSuiteRegistration& operator=(const CSuiteRegistration&) = delete;

  // The cache and the record of the "default" group: 0, or the code of what
  // failed (never 0 for a failure); a failed record leaves behind no cache
  // that this run made.
  DWORD SetupInstallGroups();
  // Before an install changes any product: the folder of every suite's cache
  // is made the program's own (SecureCacheRoot), and a cache folder of the
  // suite's name that the suite has no record for is someone else's
  // making; it is emptied and given the administrators' permissions, with a
  // log line. 0, or the code of what failed, logged: the run must end then.
  DWORD TakeOverCache();
  // Removes the suite's record and cache unless an installed member still
  // lists the suite as a user (`force` ignores that), then those of the
  // `otherUsers` suites that have no member left. False, with last error
  // 13, only without a "default" group.
  bool RemoveInstallGroups(bool force, const std::vector<std::wstring>& otherUsers);
  // After a removal of the whole suite: 0 when its record is gone, else
  // ERROR_INSTALL_FAILURE with the reason logged.
  DWORD ConfirmSuiteRemoved() const;
  // The suite's install folder if empty, its record in both views, and its
  // cache folders when the id is well formed.
  void RemoveSuiteRecord(const std::wstring& suiteId);
  // Deletes what runs that ended while they wrote a cache left beside its
  // files, in every suite's and product's cache; a running writer's stay.
  void RemoveStrayTemporaries() const;
  // A copy of the configuration, under a new UUID + ".dcf" in
  // {AllUsersAppData}\Uninstall\<product>\, for each action that did not
  // run because another suite had installed its product (one that lists
  // only this suite needs none), unless a copy there already names this
  // suite: 0 or the code of what failed.
  DWORD CacheConfigurationFiles(const std::vector<CInstallAction*>& actions);
  // The copies CacheConfigurationFiles made in this run, when the run fails.
  void DiscardConfigurationFiles();
  // Every copy kept for a product, once its last user has removed it.
  void RemoveConfigurationFiles(const std::wstring& product);
  // RefCount, UsedBy and InstallDateTime of a product, and its Uninstall
  // entry when nothing else of the product is left there.
  bool CleanupReferenceCountRegistry(const std::wstring& productCode);

  // {AllUsersAppData}\Uninstall\<suite id>; empty when the folder is unknown.
  std::wstring CacheFolder(const std::wstring& suiteId) const;

 private:
  bool AnyMemberSelected(const CInstallGroupInfo& group) const;
  DWORD MakeCache(const CInstallGroupInfo& group);
  DWORD EmptyFoundCache(const std::wstring& folder);
  // {AllUsersAppData}\Uninstall, without its backslash.
  std::wstring CacheRoot() const;
  DWORD SecureCacheRoot();
  // A plain folder an administrator owns: what is in use in it may go at
  // the restart.
  bool IsOwnCacheRoot() const;
  DWORD StageProductFiles(const CInstallGroupInfo& group, const std::wstring& folder, CStagedFiles* staged);
  DWORD WriteRecord(const CInstallGroupInfo& group);
  DWORD WriteIdentity(const CInstallGroupInfo& group, CSuiteRecord* record);
  DWORD WriteSettings(CSuiteRecord* record);
  std::wstring ProductCodeOf(const std::wstring& member) const;
  bool CountedMemberInstalled(const CInstallGroupInfo& group) const;
  bool ReadProductUsers(const std::wstring& code, std::vector<std::wstring>* users) const;
  bool UsedByOtherSuite(const std::wstring& code) const;
  // The product lists the suite among its users.
  std::wstring InstalledLanguage() const;
  bool CountsProduct(const CInstallGroupInfo& group, const std::wstring& code) const;
  std::wstring SharedInstallersFolder() const;
  std::wstring ConfigurationFolder(const std::wstring& product) const;
  std::wstring KeptConfiguration(const std::wstring& folder) const;

  const CKwIniFile& m_configuration;
  const CReplacementMap& m_macros;
  CSetupState& m_state;
  const CInstallGroupInfoMap& m_groups;
  const CEngineSettings& m_settings;
  IRefCounting& m_counter;
  std::wstring m_programPath;
  std::wstring m_configurationPath;
  bool m_cacheCreated = false;
  // TakeOverCache emptied a folder found at the cache's name: it counts as made.
  bool m_cacheTakenOver = false;
  // The last RemoveInstallGroups kept the suite for a product that lists it.
  bool m_productPresent = false;
  std::vector<std::wstring> m_configurationCopies;
};
