#pragma once
// folder.h: a snapshot of a folder tree taken when the object is built: the
// files of each folder and one sub-object per sub-folder.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// One file a scan found.
struct CFileInfo {
  std::wstring name;    // without its folder
  std::wstring folder;  // the scanned folder, with a trailing backslash
  DWORD attributes = 0;
  DWORD size = 0;  // the low 32 bits
};

// Owns its entries; GetAllFiles hands out copies.
using CFileInfoList = std::vector<CFileInfo>;

class CFolder {
 public:
  explicit CFolder(const std::wstring& path);
  CFolder(const CFolder&) = delete;
  CFolder& operator=(const CFolder&) = delete;
  virtual ~CFolder() = default;

  void ScanFiles();
  void ScanFolders();
  // Every file of the tree, this folder's own first, then each sub-folder's,
  // depth first; rescans as it goes.
  void GetAllFiles(CFileInfoList* files);
  // Creates the folder, and its missing parents, when it does not exist;
  // false with the failure's code as the last error.
  bool Create();

  const std::wstring& Path() const { return m_path; }
  const CFileInfoList& Files() const { return m_files; }
  bool Exists() const { return m_exists; }
  DWORD SizeOfFiles() const { return m_sizeOfFiles; }
  DWORD SizeOfTree() const { return m_sizeOfTree; }

 private:
  std::wstring Child(const std::wstring& name) const;

  std::wstring m_path;
  CFileInfoList m_files;
  std::vector<std::unique_ptr<CFolder>> m_folders;
  DWORD m_sizeOfFiles = 0;
  DWORD m_sizeOfTree = 0;
  bool m_exists = false;
};
