// folder.cpp: scans a folder tree into memory and creates missing folders.
#include "foundation/folder.h"

#include <windows.h>

#include <string>

#include "foundation/file_utils.h"
#include "foundation/text_utils.h"

namespace {

// Owns a FindFirstFileW handle.
class CFindHandle {
 public:
  explicit CFindHandle(HANDLE handle) : m_handle(handle) {}
  CFindHandle(const CFindHandle&) = delete;
  CFindHandle& operator=(const CFindHandle&) = delete;
  ~CFindHandle() {
    if (m_handle != INVALID_HANDLE_VALUE) FindClose(m_handle);
  }
  bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return m_handle; }

 private:
  HANDLE m_handle;
};

}  // namespace

CFolder::CFolder(const std::wstring& path) : m_path(path) {
  ScanFiles();
  ScanFolders();
}

std::wstring CFolder::Child(const std::wstring& name) const {
  if (!m_path.empty() && m_path.back() == L'\\') return m_path + name;
  return m_path + L"\\" + name;
}

void CFolder::ScanFiles() {
  m_files.clear();
  m_sizeOfFiles = 0;
  m_exists = false;
  if (m_path.empty()) return;
  WIN32_FIND_DATAW data;
  CFindHandle find(FindFirstFileW(Child(L"*.*").c_str(), &data));
  if (!find.IsValid()) return;
  m_exists = true;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    CFileInfo info;
    info.name = data.cFileName;
    info.folder = Child(std::wstring());
    info.attributes = data.dwFileAttributes;
    info.size = data.nFileSizeLow;
    m_sizeOfFiles += info.size;
    m_files.push_back(info);
  } while (FindNextFileW(find.Get(), &data));
}

void CFolder::ScanFolders() {
  m_folders.clear();
  m_sizeOfTree = 0;
  if (m_path.empty()) return;
  WIN32_FIND_DATAW data;
  CFindHandle find(FindFirstFileW(Child(L"*.*").c_str(), &data));
  if (!find.IsValid()) return;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDotOrDotDot(data.cFileName)) continue;
    // A folder link could lead back up the tree: it is not followed.
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    auto folder = std::make_unique<CFolder>(Child(data.cFileName));
    m_sizeOfTree += 4096 + folder->m_sizeOfFiles + folder->m_sizeOfTree;
    m_folders.push_back(std::move(folder));
  } while (FindNextFileW(find.Get(), &data));
}

void CFolder::GetAllFiles(CFileInfoList* files) {
  ScanFiles();
  ScanFolders();
  files->insert(files->end(), m_files.begin(), m_files.end());
  for (auto& folder : m_folders) folder->GetAllFiles(files);
}

bool CFolder::Create() {
  if (m_exists) return true;
  if (m_path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  DWORD error = ERROR_SUCCESS;
  // The tree variant makes the missing parents one level at a time.
  if (!CreateDirectoryW(m_path.c_str(), nullptr) && !CreateDirectoryTree(m_path, nullptr)) error = GetLastError();
  DWORD attributes = GetFileAttributesW(m_path.c_str());
  m_exists = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // The caller learns why the folder could not be made, not what the check
  // after it found.
  if (!m_exists) SetLastError(error != ERROR_SUCCESS ? error : ERROR_PATH_NOT_FOUND);
  return m_exists;
}
