#pragma once
// zip_path_component.h: splits a Windows path into the pieces from which
// names in the archive are formed: prefix, drive, folder, title, extension.
#include <string>
#include <vector>

class CZipPathComponent {
 public:
  CZipPathComponent() = default;
  explicit CZipPathComponent(const std::wstring& path) { SetFullPath(path); }
  virtual ~CZipPathComponent() = default;

  void SetFullPath(const std::wstring& path);
  // Title, plus '.' and the extension when there is one.
  std::wstring GetFileName() const;
  std::wstring GetFilePath() const;
  std::wstring GetFullPath() const;
  // Folder and file name without the drive: the name of a file added with
  // its full path.
  std::wstring GetNoDrive() const;

  const std::wstring& GetFileDir() const { return m_directory; }
  const std::wstring& GetFileTitle() const { return m_fileTitle; }
  const std::wstring& GetFileExt() const { return m_fileExt; }
  const std::wstring& GetFileDrive() const { return m_drive; }
  const std::wstring& GetPrefix() const { return m_prefix; }

  static bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
  // The parts between separators, empty ones included: "a\\b\" gives
  // "a", "", "b" and "".
  static std::vector<std::wstring> SplitParts(const std::wstring& name);

 private:
  std::wstring m_directory;
  std::wstring m_fileTitle;
  std::wstring m_fileExt;
  std::wstring m_drive;
  std::wstring m_prefix;
};
