// zip_path_component.cpp: splitting Windows paths, the same on every host.
#include "zip/zip_path_component.h"

#include "platform/wide_string.h"

namespace {

const wchar_t kLongUncPrefix[] = L"\\\\?\\unc\\";

std::wstring TrimSeparators(const std::wstring& text) {
  size_t first = 0;
  while (first < text.size() && CZipPathComponent::IsSeparator(text[first])) ++first;
  size_t last = text.size();
  while (last > first && CZipPathComponent::IsSeparator(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace

std::vector<std::wstring> CZipPathComponent::SplitParts(const std::wstring& name) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = name.size();
    parts.push_back(name.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

void CZipPathComponent::SetFullPath(const std::wstring& path) {
  m_prefix.clear();
  for (size_t length : {size_t(8), size_t(4), size_t(2)}) {
    if (path.size() >= length && EqualsNoCase(path.substr(0, length), std::wstring(kLongUncPrefix, length))) {
      m_prefix = path.substr(0, length);
      break;
    }
  }
  std::wstring rest = path.substr(m_prefix.size());
  m_drive.clear();
  if (rest.size() >= 2 && rest[1] == L':') {
    m_drive = rest.substr(0, 2);
    rest = rest.substr(2);
  }
  size_t lastSeparator = rest.find_last_of(L"\\/");
  std::wstring fileName = lastSeparator == std::wstring::npos ? rest : rest.substr(lastSeparator + 1);
  m_directory = lastSeparator == std::wstring::npos ? std::wstring() : TrimSeparators(rest.substr(0, lastSeparator));
  size_t dot = fileName.rfind(L'.');
  if (dot == std::wstring::npos) {
    m_fileTitle = fileName;
    m_fileExt.clear();
  } else {
    m_fileTitle = fileName.substr(0, dot);
    m_fileExt = fileName.substr(dot + 1);
  }
}

std::wstring CZipPathComponent::GetFileName() const {
  return m_fileExt.empty() ? m_fileTitle : m_fileTitle + L"." + m_fileExt;
}

std::wstring CZipPathComponent::GetFilePath() const {
  std::wstring path = m_prefix + m_drive;
  if (!m_drive.empty() && !m_directory.empty()) path += L'\\';
  return path + m_directory;
}

std::wstring CZipPathComponent::GetFullPath() const {
  std::wstring path = GetFilePath();
  std::wstring name = GetFileName();
  if (!name.empty()) path += L'\\' + name;
  return path;
}

std::wstring CZipPathComponent::GetNoDrive() const {
  std::wstring name = GetFileName();
  if (m_directory.empty()) return name;
  if (name.empty()) return m_directory;
  return m_directory + L'\\' + name;
}
