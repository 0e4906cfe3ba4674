#pragma once
// product_facts.h: CProductFacts, what the machine says of one product of
// the suite, read at once while the run holds the product lock: whether it
// is installed, which build and in which context; the installed products of
// its family and whether one of them replaced it; which suites count it, or
// that none does (the user installed it alone); and where it lives. Every
// road that acts on the product decides from these facts: the install
// (over-install and upgrade too), the repair, the removal and the rollback.
#include <windows.h>

#include <string>
#include <vector>

#include "actions/package_upgrade.h"
#include "engine/version_info.h"

class CProductData;

class CProductFacts {
 public:
  // An installed product of the same family (UpgradeCode) under another
  // product code.
  struct CRelative {
    std::wstring code;
    std::wstring name;
    std::wstring version;
    // Installed in the product's context: per machine for a per-machine
    // product, for this user for a per-user one.
    bool sameContext = false;
    // Its own upgrade (its Upgrade table) removes the product's version.
    bool replaces = false;
    // Its Replaces record names the product: a suite's package replaced
    // it, and the suites that counted it count this one.
    bool replacedThroughSuite = false;
    std::vector<std::wstring> users;
  };

  // What the install of the product's own package does.
  enum EInstall {
    kInstall,         // not installed: the package runs
    kUpgradeInPlace,  // an earlier build under the same code: the package runs over it
    kStoodIn,         // not installed, and a product that replaced it is
    kInstalled,       // installed as it is, or newer: its references decide
  };

  // Reads the facts of product `code` for the suite `suite` (empty: none);
  // `product`, when given, says what the suite has of it: its version, its
  // family, its package and the folders its install recorded.
  static CProductFacts Gather(const std::wstring& code, const CProductData* product, const std::wstring& suite);

  const std::wstring& Code() const { return m_code; }
  bool IsInstalled() const { return m_installed; }
  // The version its Uninstall entry gives, also for a product the
  // installer does not know; false without one.
  bool HasInstalledVersion() const { return !m_installedVersion.IsEmpty(); }
  const CVersionInfo& InstalledVersion() const { return m_installedVersion; }
  const CVersionInfo& Version() const { return m_version; }
  // Its entry exists and holds no reference count: no suite counted it.
  bool IsUncounted() const { return m_uncounted; }
  // Installed and counted by no suite: the user installed it alone.
  bool IsUsersOwn() const { return m_installed && m_uncounted; }
  DWORD Count() const { return m_count; }
  const std::vector<std::wstring>& Users() const { return m_users; }
  bool IsCountedBy(const std::wstring& suite) const;
  // Why the users could not be read: 0 when they could.
  DWORD UsersError() const { return m_usersError; }
  const std::wstring& UsersErrorText() const { return m_usersErrorText; }
  // Its entry hides it from the programs list (SystemComponent).
  bool IsHiddenFromList() const { return m_hidden; }
  // The folder properties an install that keeps it where it is gives it:
  // those its install recorded (InstallFolders, else the suite's cached
  // product file), else INSTALLDIR from its InstallLocation; empty when none
  // is known.
  const std::wstring& Folders() const { return m_folders; }

  EInstall DecideInstall() const;
  // The installed product that stands in for it: a product of its family
  // that replaced it in its context, else one the suite counts whose
  // Replaces record names it. Null while it is installed itself.
  const CRelative* StandIn() const;
  // Names the stand-in and what the suite does with it; `key` is the
  // product's name in the suite.
  void LogStandIn(const std::wstring& key) const;
  // The package's features that the installed build does not have: an
  // upgrade in place keeps the installed features and so leaves them out.
  std::vector<std::wstring> NewFeatures() const;
  // Suites other than this one list it now: a removal keeps it for them.
  bool IsKeptForOtherSuites() const;
  // The other suites that counted a product the package of this run
  // replaced (`replaced`, learnt before it ran) that is gone now: the
  // product is all of the family they have left, and no rollback may take
  // it. What this suite counted goes back to its own kit.
  std::vector<std::wstring> SuitesStandingOn(const std::vector<CPackageUpgrade::CReplacedProduct>& replaced) const;

 private:
  void ReadUsers();
  void ReadEntry();
  enum EContext { kPerUser, kPerMachine, kUnknownContext };
  void GatherFamily(const CProductData& product);
  EContext PackageContext(const CProductData& product) const;
  CRelative ReadRelative(const std::wstring& code, EContext context) const;
  void FindCountedStandIn();

  std::wstring m_code;
  std::wstring m_suite;
  std::wstring m_upgradeCode;
  std::wstring m_packagePath;
  int m_language = 0;
  bool m_windowsInstaller = false;
  CVersionInfo m_version;
  bool m_installed = false;
  CVersionInfo m_installedVersion;
  bool m_uncounted = false;
  DWORD m_count = 0;
  std::vector<std::wstring> m_users;
  DWORD m_usersError = 0;
  std::wstring m_usersErrorText;
  bool m_hidden = false;
  std::wstring m_folders;
  std::vector<CRelative> m_relatives;
  // A product of another family the suite counts that replaced it.
  CRelative m_countedStandIn;
};
