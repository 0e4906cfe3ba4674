#pragma once
// kit_files.h: the files a kit is made of in the folder it was unpacked in,
// and their removal, which leaves everything else in that folder alone.
#include <string>
#include <vector>

class CKitFiles {
 public:
  // `folder`: the kit's folder, a full path without a trailing backslash.
  explicit CKitFiles(const std::wstring& folder) : m_folder(folder) {}

  // A file or folder of the kit by its path below the kit's folder; an
  // empty path is passed over.
  void Add(const std::wstring& relativePath);
  // Deletes each entry: a file, a folder with its content, or a link (never
  // what it points at), then the folders a nested entry leaves empty. An
  // entry outside the kit's folder or reached through a link is logged and
  // left alone. False when an entry of the kit could not be deleted.
  bool Remove() const;

 private:
  bool RemoveEntry(const std::wstring& relativePath) const;

  std::wstring m_folder;
  std::vector<std::wstring> m_entries;
};
