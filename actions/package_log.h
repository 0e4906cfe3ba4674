#pragma once
// package_log.h: the log file of one package's installer run. A file that
// already holds a log (its install's, before a rollback's uninstall; an
// earlier run's) is added to, never written over.
#include <string>

class CPackageLog {
 public:
  // An empty file: the package runs without a log.
  explicit CPackageLog(const std::wstring& file);
  CPackageLog(const CPackageLog&) = delete;
  CPackageLog& operator=(const CPackageLog&) = delete;

  // The package's log: the file named, or the plain one beside it that the
  // run writes instead.
  const std::wstring& File() const { return m_file; }
  // The file to hand the installer: the log itself while it holds nothing,
  // else a fresh file beside it.
  const std::wstring& InstallerFile() const { return m_installerFile; }
  // Appends what the installer wrote beside the log to it. Called once the
  // installer has let go of its file; when the copy fails the file beside
  // stays, so nothing is lost.
  void Finish();

 private:
  std::wstring m_file;
  std::wstring m_installerFile;
};
