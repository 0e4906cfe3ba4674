// kw_ini_file_storage.cpp: loading an INI file into the model and saving it
// back, through a temporary file so a failed save never harms the old one.
#include "foundation/kw_ini_file.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/staged_files.h"
#include "foundation/t_char_stream.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kUnnamedSectionName[] = L"$$$unnamed$$$";
const wchar_t kNoFileNameMessage[] = L"The filename member of CIniFile has not been initialized.";
const int kLineBufferSize = 5120;

[[noreturn]] void ThrowIniError(DWORD code, const std::wstring& message) {
  throw new CKwIniFileException(CKwIniFileException::kErrorKind, static_cast<int>(code), message);
}

// True when the ANSI code page gives back exactly this text: no default
// character and no best-fit replacement.
bool IsAnsiRepresentable(const std::wstring& text) {
  if (text.empty()) return true;
  int length = static_cast<int>(text.size());
  int byteCount = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (byteCount <= 0) return false;
  std::string bytes(static_cast<size_t>(byteCount), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, &bytes[0], byteCount, nullptr, nullptr);
  int charCount = MultiByteToWideChar(CP_ACP, 0, bytes.data(), byteCount, nullptr, 0);
  if (charCount != length) return false;
  std::wstring back(static_cast<size_t>(charCount), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), byteCount, &back[0], charCount);
  return back == text;
}

bool AreAllAnsiRepresentable(const std::vector<std::wstring>& lines) {
  for (const std::wstring& line : lines) {
    if (!IsAnsiRepresentable(line)) return false;
  }
  return true;
}

// Writes every line to a new file; throws on failure (the caller's staging
// removes the file).
void WriteLinesTo(const std::wstring& fileName, const std::vector<std::wstring>& lines, bool utf16,
                  bool scrambled) {
  CTCharStream stream;
  if (!stream.OpenStream(fileName, utf16 ? CTCharStream::kWriteUtf16Mode : CTCharStream::kWriteAnsiMode,
                         scrambled)) {
    DWORD error = GetLastError();
    ThrowIniError(error, L"Failed to open the output stream");
  }
  for (const std::wstring& line : lines) {
    if (!stream.WriteString(line)) {
      DWORD error = GetLastError();
      stream.Close();
      ThrowIniError(error, L"Failed to write to the output stream");
    }
  }
  if (!stream.Flush()) {
    DWORD error = GetLastError();
    stream.Close();
    ThrowIniError(error, L"Failed to write to the output stream");
  }
  stream.Close();
}

}  // namespace

void CKwIniFile::LoadFrom(const std::wstring& fileName) {
  m_fileName = fileName;
  try {
    Load();
  } catch (...) {
    m_fileName.clear();
    throw;
  }
}

void CKwIniFile::Load() {
  RemoveAllSections();
  m_utf16 = false;
  m_formatNumber = 0;
  if (m_fileName.empty()) {
    throw new CKwIniFileException(CKwIniFileException::kLoadKind, ERROR_INVALID_NAME, kNoFileNameMessage);
  }
  CTCharStream stream;
  if (!stream.OpenStream(m_fileName, CTCharStream::kReadMode, m_scrambled)) {
    DWORD error = GetLastError();
    ThrowIniError(error, L"Call to CTCharStream::OpenStream( " + m_fileName + L" ) failed.");
  }
  m_utf16 = stream.GetEncoding() == CTCharStream::kUtf16Encoding;

  std::wstring currentSection = kUnnamedSectionName;
  AddSection(currentSection);
  std::vector<wchar_t> buffer(kLineBufferSize);
  for (;;) {
    int length = static_cast<int>(buffer.size());
    if (!stream.ReadLine(buffer.data(), &length, &m_formatNumber)) {
      DWORD error = GetLastError();
      if (length <= 0) ThrowIniError(error, L"Failed to read line from file:" + m_fileName);
      // The line did not fit: read it again into a buffer of its size.
      buffer.resize(static_cast<size_t>(length) + 1);
      length = static_cast<int>(buffer.size());
      if (!stream.ReadLine(buffer.data(), &length, &m_formatNumber)) {
        error = GetLastError();
        ThrowIniError(error, L"Failed to read line from file:" + m_fileName);
      }
    }
    if (length < 0) break;
    ParseLine(std::wstring(buffer.data(), static_cast<size_t>(length)), &currentSection);
  }
  stream.Close();
}

void CKwIniFile::SaveAs(const std::wstring& fileName) {
  std::wstring previousName = m_fileName;
  m_fileName = fileName;
  try {
    Save();
  } catch (...) {
    m_fileName = previousName;
    throw;
  }
}

void CKwIniFile::Save() {
  if (m_fileName.empty()) ThrowIniError(ERROR_INVALID_NAME, kNoFileNameMessage);
  std::vector<std::wstring> lines;
  WriteSections(&lines);
  // Never alter text silently: what the code page cannot hold goes UTF-16LE.
  bool utf16 = m_utf16 || !AreAllAnsiRepresentable(lines);

  CStagedFiles staged;
  staged.Write(m_fileName, [&](const std::wstring& temporary) {
    WriteLinesTo(temporary, lines, utf16, m_scrambled);
    return true;
  });
  if (!staged.Commit()) {
    DWORD error = GetLastError();
    ThrowIniError(error, L"Failed to replace file:" + m_fileName);
  }
  m_utf16 = utf16;
}
