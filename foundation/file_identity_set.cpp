// file_identity_set.cpp: a file's index comes from the open file itself;
// its volume's serial number is asked once per volume, since that question
// is the expensive one (under Wine it goes to another process).
#include "foundation/file_identity_set.h"

#include <windows.h>

#include <vector>

#include "foundation/file_utils.h"

bool CFileIdentitySet::Add(HANDLE file, const std::wstring& path) {
  uint64_t index = 0;
  DWORD serial = 0;
  if (!FileIndexOf(file, &index) || !VolumeSerialOf(path, &serial)) return true;
  return m_files.insert({serial, index}).second;
}

// A file lies on the volume of the folder that holds it: the question is
// asked once per folder, and of the system once per volume.
bool CFileIdentitySet::VolumeSerialOf(const std::wstring& path, DWORD* serial) {
  size_t slash = path.find_last_of(L'\\');
  std::wstring folder = slash == std::wstring::npos ? path : path.substr(0, slash + 1);
  auto knownFolder = m_folderSerials.find(folder);
  if (knownFolder != m_folderSerials.end()) {
    *serial = knownFolder->second;
    return true;
  }
  std::vector<wchar_t> root(path.size() + 2);
  if (!GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size()))) return false;
  auto knownVolume = m_volumeSerials.find(root.data());
  if (knownVolume != m_volumeSerials.end()) {
    *serial = knownVolume->second;
  } else if (GetVolumeInformationW(root.data(), nullptr, 0, serial, nullptr, nullptr, nullptr, 0)) {
    m_volumeSerials[root.data()] = *serial;
  } else {
    return false;
  }
  m_folderSerials[folder] = *serial;
  return true;
}
