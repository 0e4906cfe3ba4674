// zip_storage.cpp: the archive's storage over one file, with a write buffer.
#include "zip/zip_storage.h"

#include <cstring>

#include "zip/zip_exception.h"

void CZipStorage::Open(const std::wstring& path, int mode, uint64_t volumeSize) {
  m_writeBuffer.Allocate(m_writeBufferSize);
  m_bytesInWriteBuffer = 0;
  m_newSpan = false;
  m_file = &m_internalFile;
  m_external = false;
  if (mode == 0 || mode == 1) {
    m_readOnly = mode == 1;
    m_internalFile.Open(path, mode == 0 ? CZipAbstractFile::modeReadWrite | CZipAbstractFile::modeNoTruncate
                                        : CZipAbstractFile::modeNoTruncate,
                        true);
    m_spanMode = volumeSize != 0 ? suggestedTd : suggestedAuto;
    // The volume stays unknown (-1) until the end record has been read.
    return;
  }
  if (mode == 2) {
    m_readOnly = false;
    m_spanMode = noSpan;
    m_internalFile.Open(path, CZipAbstractFile::modeCreate | CZipAbstractFile::modeReadWrite, true);
    m_currentVolume = 0;
    return;
  }
  // Creating archives of several volumes is not built.
  m_writeBuffer.Release();
  m_file = nullptr;
  ThrowZipException(CZipException::kInvalidArgument, path);
}

void CZipStorage::OpenFrom(CZipAbstractFile& file, int mode) {
  m_writeBuffer.Allocate(m_writeBufferSize);
  m_bytesInWriteBuffer = 0;
  m_newSpan = false;
  m_file = &file;
  m_external = true;
  if (mode == 2) {
    m_readOnly = false;
    m_spanMode = noSpan;
    m_currentVolume = 0;
    file.SetLength(0);
    file.SeekToBegin();
  } else {
    m_readOnly = mode == 1;
    file.SeekToBegin();
    m_spanMode = suggestedAuto;
  }
}

void CZipStorage::SettleSpanMode(uint16_t thisVolume) {
  if (thisVolume == 0) {
    m_spanMode = noSpan;
    m_currentVolume = 0;
    return;
  }
  // Reading the other volumes of a split or spanned archive is not built:
  // such an archive is refused as one this library can't read.
  ThrowZipException(CZipException::kBadZipFile, GetFilePath());
}

void CZipStorage::Write(const void* buffer, uint32_t count, bool atOnce) {
  (void)atOnce;
  const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
  while (count > 0) {
    uint32_t room = m_writeBuffer.GetSize() - m_bytesInWriteBuffer;
    if (room == 0) {
      Flush();
      continue;
    }
    uint32_t piece = count < room ? count : room;
    memcpy(m_writeBuffer.Data() + m_bytesInWriteBuffer, bytes, piece);
    m_bytesInWriteBuffer += piece;
    bytes += piece;
    count -= piece;
  }
}

void CZipStorage::Flush() {
  if (m_bytesInWriteBuffer == 0) return;
  // Emptied first: a failed write must not be written again at close.
  uint32_t count = m_bytesInWriteBuffer;
  m_bytesInWriteBuffer = 0;
  m_file->Write(m_writeBuffer.Data(), count);
}

uint32_t CZipStorage::Read(void* buffer, uint32_t count, bool atOnce) {
  (void)atOnce;
  if (count == 0) return 0;
  uint32_t read = m_file->Read(buffer, count);
  if (read != count) ThrowZipException(CZipException::kBadZipFile, GetFilePath());
  return read;
}

std::wstring CZipStorage::Close(bool afterException) {
  std::wstring path;
  if (m_file != nullptr) {
    if (!afterException && !m_file->IsClosed()) Flush();
    path = m_file->GetFilePath();
    if (!m_external) m_internalFile.Close();
  }
  m_writeBuffer.Release();
  m_bytesInWriteBuffer = 0;
  m_currentVolume = -1;
  m_spanMode = noSpan;
  m_file = nullptr;
  m_external = false;
  return path;
}

bool CZipStorage::IsClosed(bool storage) const {
  if (storage) return m_currentVolume == -1;
  return m_file == nullptr || m_file->IsClosed();
}
