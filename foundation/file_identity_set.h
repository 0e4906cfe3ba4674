#pragma once
// file_identity_set.h: CFileIdentitySet, the files met so far, each once
// whatever name reached it: a file is its volume (serial number) and its
// index there, so a hard link, or a folder reached through a second path,
// names a file already met.
#include <windows.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>

class CFileIdentitySet {
 public:
  // False when the open file (`path` names it) was met before. A file whose
  // identity cannot be read counts as new.
  bool Add(HANDLE file, const std::wstring& path);

 private:
  bool VolumeSerialOf(const std::wstring& path, DWORD* serial);

  std::map<std::wstring, DWORD> m_folderSerials;  // by the folder that holds the file
  std::map<std::wstring, DWORD> m_volumeSerials;  // by the volume's root folder
  std::set<std::pair<DWORD, uint64_t>> m_files;
};
