#pragma once
// update_folder.h: the PrepareUpdate mode: one archive per product of the
// suite, and Setup.zip with the setup program's files, in a target folder.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CUpdateFolder {
 public:
  // Asks the question of the text; true for yes.
  using AskFunction = std::function<bool(const std::wstring& text)>;

  // `installSource` holds a folder per product and the "bin" folder;
  // `setupFolder` the setup program's own files. Both end with a backslash.
  CUpdateFolder(const std::wstring& installSource, const std::wstring& setupFolder, AskFunction ask);

  // Fills `target` (replaced when the user agrees) and logs each archive
  // that could not be made. ERROR_SUCCESS when an archive was written;
  // ERROR_ALREADY_EXISTS for an existing target kept, ERROR_DIRECTORY for a
  // target that is a file; otherwise the code of what kept every archive
  // from being written.
  DWORD Prepare(const std::wstring& target, const std::vector<std::wstring>& products) const;

  // The two values of a product's build history file: its first two lines
  // that are not blank, trimmed, "0" for each one missing.
  static void ReadHistory(const std::wstring& path, std::wstring* first, std::wstring* second);

 private:
  bool MayReplace(const std::wstring& target, const std::vector<std::wstring>& products) const;
  // Each true when it wrote its archive.
  bool PackProduct(const std::wstring& target, const std::wstring& product) const;
  bool PackSetupFiles(const std::wstring& target) const;

  std::wstring m_installSource;
  std::wstring m_setupFolder;
  AskFunction m_ask;
};
