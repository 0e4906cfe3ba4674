// zip_storage.cpp: the archive's storage over one file or split volumes,
// with a write buffer.
#include "zip/zip_storage.h"

#include <cstring>

#include "platform/wide_string.h"
#include "zip/zip_exception.h"
#include "zip/zip_file_system.h"

namespace {

// Volume numbers are 16-bit in the records; names run .z01 to .z99 while
// writing, and readers meet .z100 and on from other tools.
constexpr int kMaxSplitVolumes = 99;
constexpr int kMaxDisks = 999;

// Reasons given to the change-volume callback.
constexpr int kNewDisk = -1;
constexpr int kFileExists = -2;
constexpr int kLabelFailed = -3;
constexpr int kCreateFailed = -4;

}  // namespace

void CZipStorage::Open(const std::wstring& path, int mode, uint64_t volumeSize) {
  m_writeBuffer.Allocate(m_writeBufferSize);
  m_bytesInWriteBuffer = 0;
  m_newSpan = false;
  m_file = &m_internalFile;
  m_external = false;
  m_archivePath = path;
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
  int refusal = mode != 3                   ? CZipException::kInvalidArgument
                : volumeSize != 0           ? 0
                : m_changeVolume == nullptr ? CZipException::kNoCallback
                : !Disk().IsRemovable(path) ? CZipException::kNonRemovable
                                            : 0;
  if (refusal != 0) {
    m_writeBuffer.Release();
    m_file = nullptr;
    ThrowZipException(refusal, path);
  }
  try {
    OpenSpan(volumeSize);
  } catch (...) {
    Close(true);
    throw;
  }
}

void CZipStorage::OpenSpan(uint64_t volumeSize) {
  m_readOnly = false;
  m_newSpan = true;
  m_volumeSize = volumeSize;
  m_bytesWrittenToVolume = 0;
  m_currentVolume = 0;
  if (volumeSize != 0) {
    m_spanMode = tdSpan;
    m_internalFile.Open(GetVolumeName(0, false), CZipAbstractFile::modeCreate | CZipAbstractFile::modeReadWrite,
                        true);
  } else {
    m_spanMode = pkzipSpan;
    PrepareDisk(4);
  }
  unsigned char marker[4] = {0x50, 0x4B, 0x07, 0x08};
  Write(marker, sizeof marker, true);
}

void CZipStorage::OpenFrom(CZipAbstractFile& file, int mode) {
  m_writeBuffer.Allocate(m_writeBufferSize);
  m_bytesInWriteBuffer = 0;
  m_newSpan = false;
  m_file = &file;
  m_external = true;
  m_archivePath.clear();
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
  // Volumes are files beside this one; a stream has none.
  if (m_external) ThrowZipException(CZipException::kBadZipFile, GetFilePath());
  if (m_spanMode == suggestedAuto && Disk().IsRemovable(m_archivePath)) {
    if (m_changeVolume == nullptr) ThrowZipException(CZipException::kNoCallback, m_archivePath);
    m_spanMode = pkzipSpan;
  } else {
    m_spanMode = tdSpan;
  }
  m_readOnly = true;
  m_lastVolume = thisVolume;
  m_currentVolume = thisVolume;
}

std::wstring CZipStorage::GetVolumeName(int volume, bool last) const {
  if (last) return m_archivePath;
  size_t separator = m_archivePath.find_last_of(L"\\/");
  size_t dot = m_archivePath.rfind(L'.');
  std::wstring stem = dot != std::wstring::npos && (separator == std::wstring::npos || dot > separator)
                          ? m_archivePath.substr(0, dot)
                          : m_archivePath;
  return stem + Format(volume + 1 < 100 ? L".z%.2d" : L".z%.3d", volume + 1);
}

// A disk asked for and not given leaves no file open: asking for the same
// one again goes to the callback once more.
void CZipStorage::ChangeVolume(int volume) {
  if (m_spanMode == noSpan || (volume == m_currentVolume && !m_internalFile.IsClosed())) return;
  if (!IsSpanRead() || volume < 0 || volume > m_lastVolume) {
    ThrowZipException(CZipException::kBadZipFile, m_archivePath);
  }
  m_internalFile.Close();
  if (m_spanMode == pkzipSpan) {
    AskForDisk(volume, 0, kNewDisk);
    m_internalFile.Open(m_archivePath, CZipAbstractFile::modeRead, true);
  } else {
    m_internalFile.Open(GetVolumeName(volume, volume == m_lastVolume), CZipAbstractFile::modeRead, true);
  }
  m_currentVolume = volume;
}

bool CZipStorage::GetStreamPosition(int volume, uint64_t offset, uint64_t* position) {
  if (m_spanMode == noSpan || (m_spanMode == pkzipSpan && volume == m_currentVolume)) {
    *position = offset;
    return true;
  }
  if (m_spanMode != tdSpan || m_newSpan || volume < 0 || volume > m_lastVolume) return false;
  if (m_volumeStarts.empty()) {
    uint64_t start = 0;
    for (int i = 0; i <= m_lastVolume; ++i) {
      m_volumeStarts.push_back(start);
      uint64_t length = 0;
      if (!ZipFileSystem::PathSize(GetVolumeName(i, i == m_lastVolume), &length)) {
        m_volumeStarts.clear();
        return false;
      }
      start += length;
    }
  }
  *position = m_volumeStarts[volume] + offset;
  return true;
}

uint64_t CZipStorage::GetFreeInVolume() const {
  if (m_spanMode == pkzipSpan) return m_freeSpace > m_bytesInWriteBuffer ? m_freeSpace - m_bytesInWriteBuffer : 0;
  uint64_t used = m_bytesWrittenToVolume + m_bytesInWriteBuffer;
  return used < m_volumeSize ? m_volumeSize - used : 0;
}

void CZipStorage::AskForDisk(int volume, uint64_t needed, int code) {
  m_changeVolume->m_param = volume + 1;
  if (!m_changeVolume->Callback(needed, code)) ThrowZipException(CZipException::kAborted, m_archivePath);
}

void CZipStorage::PrepareDisk(uint32_t needed) {
  std::wstring label = Format(L"pkback# %.3d", m_currentVolume + 1);
  int code = kNewDisk;
  for (;;) {
    AskForDisk(m_currentVolume, needed, code);
    if (ZipFileSystem::PathExists(m_archivePath) == 1) {
      code = kFileExists;
    } else if (!Disk().SetLabel(m_archivePath, label)) {
      code = kLabelFailed;
    } else if (!m_internalFile.Open(m_archivePath, CZipAbstractFile::modeCreate | CZipAbstractFile::modeReadWrite,
                                    false)) {
      code = kCreateFailed;
    } else {
      break;
    }
  }
  m_freeSpace = Disk().FreeSpace(m_archivePath);
}

void CZipStorage::NextDisk(uint32_t needed) {
  if (m_bytesWrittenToVolume != 0) {
    if (m_currentVolume + 1 >= kMaxDisks) ThrowZipException(CZipException::kTooManyVolumes, m_archivePath);
    ++m_currentVolume;
    m_bytesWrittenToVolume = 0;
    m_internalFile.Close();
  } else if (!m_internalFile.IsClosed()) {
    // Too small for what must go on it: the empty file made on it goes, so
    // the disk is left as it was given.
    m_internalFile.Close();
    ZipFileSystem::RemovePath(m_archivePath);
  }
  // Until the next disk is in, nothing more fits: a refused disk is asked
  // for again by the next write.
  m_freeSpace = 0;
  PrepareDisk(needed);
}

void CZipStorage::NextVolume(uint32_t needed) {
  Flush();
  if (m_spanMode == pkzipSpan) {
    NextDisk(needed);
    return;
  }
  if (m_bytesWrittenToVolume == 0) {
    // A fresh volume can't hold the record: no later one will.
    if (needed > m_volumeSize) ThrowZipException(CZipException::kTooManyVolumes, m_archivePath);
    return;
  }
  if (m_currentVolume + 1 >= kMaxSplitVolumes) ThrowZipException(CZipException::kTooManyVolumes, m_archivePath);
  ++m_currentVolume;
  m_bytesWrittenToVolume = 0;
  m_internalFile.Close();
  m_internalFile.Open(GetVolumeName(m_currentVolume, false),
                      CZipAbstractFile::modeCreate | CZipAbstractFile::modeReadWrite, true);
}

void CZipStorage::AssureFree(uint32_t count) {
  if (IsSpanMode() != 1) return;
  while (GetFreeInVolume() < count) NextVolume(count);
}

void CZipStorage::Write(const void* buffer, uint32_t count, bool atOnce) {
  if (atOnce) AssureFree(count);
  const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
  while (count > 0) {
    uint32_t room = m_writeBuffer.GetSize() - m_bytesInWriteBuffer;
    if (IsSpanMode() == 1 && GetFreeInVolume() < room) room = static_cast<uint32_t>(GetFreeInVolume());
    if (room == 0) {
      if (IsSpanMode() == 1 && GetFreeInVolume() == 0) NextVolume(1);
      else Flush();
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
  m_bytesWrittenToVolume += count;
  if (m_spanMode == pkzipSpan && m_newSpan) m_freeSpace = Disk().FreeSpace(m_archivePath);
}

uint32_t CZipStorage::Read(void* buffer, uint32_t count, bool atOnce) {
  (void)atOnce;
  if (count == 0) return 0;
  uint32_t read = m_file->Read(buffer, count);
  while (read < count && IsSpanRead() && m_currentVolume < m_lastVolume) {
    ChangeVolume(m_currentVolume + 1);
    read += m_file->Read(static_cast<unsigned char*>(buffer) + read, count - read);
  }
  if (read != count) ThrowZipException(CZipException::kBadZipFile, GetFilePath());
  return read;
}

void CZipStorage::Skip(uint64_t count) {
  for (;;) {
    uint64_t position = m_file->GetPosition();
    uint64_t length = m_file->GetLength();
    uint64_t left = length > position ? length - position : 0;
    if (count <= left || !IsSpanRead() || m_currentVolume >= m_lastVolume) {
      m_file->Seek(static_cast<int64_t>(count), CZipAbstractFile::current);
      return;
    }
    count -= left;
    ChangeVolume(m_currentVolume + 1);
  }
}

void CZipStorage::EndSpan() {
  m_spanMode = noSpan;
  m_newSpan = false;
}

// The last volume takes the archive's own name, replacing a file of that name.
void CZipStorage::FinishSpan(int lastVolume) {
  std::wstring last = GetVolumeName(lastVolume, false);
  if (ZipFileSystem::PathExists(m_archivePath) == 1) ZipFileSystem::RemoveFile(m_archivePath, true);
  ZipFileSystem::RenameFile(last, m_archivePath, true);
}

std::wstring CZipStorage::Close(bool afterException) {
  std::wstring path;
  bool renameLast = !afterException && !m_external && !m_archivePath.empty() && m_currentVolume >= 0 &&
                    ((m_newSpan && m_spanMode == tdSpan) || (m_spanMode == noSpan && m_volumeSize != 0));
  if (m_file != nullptr) {
    if (!afterException && !m_file->IsClosed()) Flush();
    path = m_file->GetFilePath();
    if (!m_external) m_internalFile.Close();
  }
  m_writeBuffer.Release();
  m_bytesInWriteBuffer = 0;
  m_spanMode = noSpan;
  m_newSpan = false;
  m_file = nullptr;
  m_external = false;
  m_volumeSize = 0;
  m_bytesWrittenToVolume = 0;
  m_lastVolume = 0;
  m_freeSpace = 0;
  m_volumeStarts.clear();
  int lastVolume = m_currentVolume;
  m_currentVolume = -1;
  if (renameLast) {
    FinishSpan(lastVolume);
    path = ZipFileSystem::FullPath(m_archivePath);
  }
  return path;
}

bool CZipStorage::IsClosed(bool storage) const {
  if (storage) return m_currentVolume == -1;
  return m_file == nullptr || m_file->IsClosed();
}
