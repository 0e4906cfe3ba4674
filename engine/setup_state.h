#pragma once
// setup_state.h: what the worker, the wizard, the action runner and the host
// dialog share during a run. What more than one thread writes is guarded:
// flags are atomic, texts and the property map go through accessors under
// a lock. The rest is written by one side only, before the wizard starts
// or while the other side waits, and the handshake events order the reads.
#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/product_data_map.h"
#include "engine/product_removal_data.h"
#include "platform/string_map.h"

using PropertyMap = CMapStringToString;
using CMapStringToLong = std::map<std::wstring, long>;

enum CSetupStateEvent {
  ProgressStartedEvent = 1,
  InstallProgressEvent = 2,
  RollbackProgressEvent = 3,
  FinishEvent = 4,
  CancelRequestEvent = 5,
  CancelUIEvent = 6,
  CancelConfirmedEvent = 7,
  CancelAbortedEvent = 8,
};

enum CSetupType {
  SetupTypeTypical = 0,
  SetupTypeCustom = 1,
  SetupTypeComplete = 2,
  SetupTypeModify = 3,
  SetupTypeRepair = 4,
  SetupTypeRemove = 5,
  SetupTypeCleanSystem = 6,
};

class CSetupState {
 public:
  static const int kEventCount = 9;

  CSetupState();
  CSetupState(const CSetupState&) = delete;
  CSetupState& operator=(const CSetupState&) = delete;
  ~CSetupState();

  // Index 0 has no event: null.
  HANDLE GetEvent(int index) const;
  // Every signal from the wizard to the worker: reset, then set.
  void Signal(CSetupStateEvent event) const;
  // Progress events wake only a waiter of the moment.
  void Pulse(CSetupStateEvent event) const;

  // The names are written by the worker and, for the user's own, the
  // wizard; the install folder by the worker and the install location page.
  void SetShortProductName(const wchar_t* name);
  std::wstring GetShortProductName() const;
  void SetProductName(const wchar_t* name);
  std::wstring GetProductName() const;
  void SetUserName(const wchar_t* name);
  std::wstring GetUserName() const;
  void SetCompanyName(const wchar_t* name);
  std::wstring GetCompanyName() const;
  void SetInstallFolder(const std::wstring& folder);
  std::wstring GetInstallFolder() const;
  // The names of the products a failed run removed and did not install
  // again, for the page that ends the run: written by the worker before it
  // lets the wizard go on to that page.
  void SetProductsNotRestored(const std::vector<std::wstring>& names);
  std::vector<std::wstring> GetProductsNotRestored() const;

  // The property map under its lock: the wizard's thread reads and writes
  // it too, and a macro expansion works on a copy.
  void SetProperty(const std::wstring& name, const std::wstring& value);
  bool GetProperty(const std::wstring& name, std::wstring* value) const;
  PropertyMap CopyProperties() const;

  // Shared fields, read and written directly by the parts of the run.
  std::wstring m_configurationPath;
  // The product and selection lists of the wizard and the configuration readers.
  std::vector<std::wstring> m_lists[4];
  std::wstring m_suiteCondition;
  std::wstring m_conditionMessageName;
  std::wstring m_installSource;
  std::wstring m_repairSource;
  // The licence and experience pages change the configured choices.
  std::atomic<LONG> m_eulaAccepted{0};
  std::atomic<LONG> m_ueipAccepted{0};
  LONG m_basePathSet = 0;
  std::wstring m_basePath;
  std::wstring m_defaultInstallFolder;
  std::wstring m_productVersion;
  std::wstring m_viewReadme;
  std::wstring m_publisherName;
  LONG m_fixedInstallPoint = 0;
  // The wizard opens on the install location page.
  LONG m_startAtInstallLocation = 0;
  LONG m_toolbarOffer = 0;
  LONG m_browserOffer = 0;
  std::vector<std::wstring> m_excludedOfferProducts;
  std::wstring m_projectName;
  std::wstring m_deliveryNumber;
  std::wstring m_customerCode;
  std::atomic<LONG> m_cancelAllowed{0};
  // The sequence number of the install action running now (the action
  // manager's), for the progress page.
  std::atomic<LONG> m_runningSequence{0};
  WORD m_primaryLanguageId = 0;
  WORD m_languageId = 0;
  std::wstring m_languageCode;
  // The language the packages are installed in when none offers the install
  // language (each then installs in its own); empty otherwise.
  std::wstring m_packageLanguageCode;
  std::atomic<LONG> m_setupType{SetupTypeComplete};
  std::atomic<LONG> m_rebootPending{0};
  std::atomic<LONG> m_rebootApproved{1};
  std::atomic<LONG> m_maintenanceMode{0};
  CMapStringToLong m_messageIds;
  // Each product's product code under its key, as the configuration gives it.
  std::map<std::wstring, std::wstring> m_productCodes;
  CProductDataMap m_products;
  // The suite this configuration describes is installed already.
  LONG m_existingSuiteFound = 0;
  // The products the run would remove, for the wizard's removal page:
  // written by the worker before the wizard starts.
  CProductRemovalDataList m_productRemovalData;

 private:
  void SetText(std::wstring* field, const std::wstring& value);
  std::wstring GetText(const std::wstring& field) const;

  HANDLE m_events[kEventCount] = {};
  mutable std::mutex m_propertyLock;
  PropertyMap m_properties;
  mutable std::mutex m_textLock;
  std::wstring m_shortProductName;
  std::wstring m_productName;
  std::wstring m_userName;
  std::wstring m_companyName;
  std::wstring m_installFolder;
  std::vector<std::wstring> m_productsNotRestored;
};
