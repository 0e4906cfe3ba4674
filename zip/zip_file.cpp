// zip_file.cpp: an archive library file over a file on disk, through the
// operating-system adapter.
#include "zip/zip_file.h"

#include "zip/zip_exception.h"

CZipFile::~CZipFile() { Close(); }

void CZipFile::Raise(int code) const { ThrowZipException(code, GetFilePath()); }

bool CZipFile::Open(const std::wstring& path, unsigned flags, bool raiseOnFailure) {
  Close();
  int error = 0;
  ZipFileSystem::FileHandle handle = ZipFileSystem::FileOpen(path, flags, &error);
  if (handle == ZipFileSystem::kNoFile) {
    if (raiseOnFailure) ThrowZipException(error, path);
    return false;
  }
  m_handle = handle;
  m_fileName = path;
  return true;
}

void CZipFile::Close() {
  if (IsClosed()) return;
  ZipFileSystem::FileClose(m_handle);
  m_handle = ZipFileSystem::kNoFile;
}

void CZipFile::Flush() {
  int error = 0;
  if (!ZipFileSystem::FileFlush(m_handle, &error)) Raise(error);
}

uint64_t CZipFile::GetPosition() const {
  int error = 0;
  uint64_t position = 0;
  if (!ZipFileSystem::FileSeek(m_handle, 0, current, &position, &error)) Raise(error);
  return position;
}

uint64_t CZipFile::Seek(int64_t offset, int origin) {
  int error = 0;
  uint64_t position = 0;
  if (!ZipFileSystem::FileSeek(m_handle, offset, origin, &position, &error)) Raise(error);
  return position;
}

uint64_t CZipFile::GetLength() const {
  int error = 0;
  uint64_t length = 0;
  if (!ZipFileSystem::FileLength(m_handle, &length, &error)) Raise(error);
  return length;
}

void CZipFile::SetLength(uint64_t length) {
  int error = 0;
  if (!ZipFileSystem::FileSetLength(m_handle, length, &error)) Raise(error);
}

std::wstring CZipFile::GetFilePath() const {
  if (m_fileName.empty()) return m_fileName;
  return ZipFileSystem::FullPath(m_fileName);
}

uint32_t CZipFile::Read(void* buffer, uint32_t count) {
  int error = 0;
  uint32_t read = 0;
  if (!ZipFileSystem::FileRead(m_handle, buffer, count, &read, &error)) Raise(error);
  return read;
}

void CZipFile::Write(const void* buffer, uint32_t count) {
  int error = 0;
  if (!ZipFileSystem::FileWrite(m_handle, buffer, count, &error)) Raise(error);
}
