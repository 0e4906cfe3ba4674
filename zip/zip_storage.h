#pragma once
// zip_storage.h: the archive's storage: the archive file (its own or a
// caller's), a write buffer in front of it, and short reads turned into
// errors. Archives of several volumes are not built: only single files.
#include <cstdint>
#include <string>

#include "zip/zip_abstract_file.h"
#include "zip/zip_auto_buffer.h"
#include "zip/zip_file.h"

class CZipStorage {
 public:
  enum SpanMode { noSpan = 0, pkzipSpan = 1, tdSpan = 2, suggestedAuto = 3, suggestedTd = 4 };

  CZipStorage() = default;
  virtual ~CZipStorage() = default;
  CZipStorage(const CZipStorage&) = delete;
  CZipStorage& operator=(const CZipStorage&) = delete;

  // mode: 0 read-write, 1 read-only (both of an existing archive), 2 create.
  void Open(const std::wstring& path, int mode, uint64_t volumeSize);
  void OpenFrom(CZipAbstractFile& file, int mode);
  // `atOnce` marks a record that must not be split; on a single file every
  // write goes through the buffer alike.
  void Write(const void* buffer, uint32_t count, bool atOnce);
  void Flush();
  // Reads exactly count bytes or raises 101 (damaged or not a zip file).
  uint32_t Read(void* buffer, uint32_t count, bool atOnce);
  // Returns the archive's path.
  std::wstring Close(bool afterException);

  // Where the next byte written lands: the file's position plus what the
  // write buffer still holds.
  uint64_t GetPosition() const { return m_file->GetPosition() + m_bytesInWriteBuffer; }
  // Discards what the write buffer holds (the entry it belonged to is dropped).
  void DiscardBuffer() { m_bytesInWriteBuffer = 0; }

  void SetWriteBufferSize(uint32_t size) { m_writeBufferSize = size < 1024 ? 1024 : size; }
  // Settles the span mode from the end record's "number of this volume".
  void SettleSpanMode(uint16_t thisVolume);

  bool IsClosed(bool storage) const;
  bool IsReadOnly() const { return m_readOnly; }
  bool IsExternal() const { return m_external; }
  int GetCurrentVolume() const { return m_currentVolume; }
  // 0 single file, 1 multi-volume being created, -1 existing multi-volume.
  int IsSpanMode() const { return m_spanMode == noSpan ? 0 : (m_newSpan ? 1 : -1); }
  CZipAbstractFile* File() { return m_file; }
  std::wstring GetFilePath() const { return m_file != nullptr ? m_file->GetFilePath() : std::wstring(); }

 private:
  uint32_t m_writeBufferSize = 65536;
  CZipFile m_internalFile;
  CZipAbstractFile* m_file = nullptr;
  int m_spanMode = noSpan;
  uint32_t m_bytesInWriteBuffer = 0;
  CZipAutoBuffer m_writeBuffer;
  bool m_newSpan = false;
  int m_currentVolume = -1;
  bool m_external = false;
  bool m_readOnly = false;
};
