#pragma once
// zip_storage.h: the archive's storage: the archive file (its own or a
// caller's), a write buffer in front of it, and short reads turned into
// errors. An archive may also be split into files of a set size (name.z01,
// name.z02, ... and the last under the archive's own name) or spanned over
// removable disks, each holding a file of the archive's name, with a
// callback asking for each disk: records that must stay whole are never
// split, data may be, and reads run on into the next volume.
#include <cstdint>
#include <string>
#include <vector>

#include "zip/zip_abstract_file.h"
#include "zip/zip_action_callback.h"
#include "zip/zip_auto_buffer.h"
#include "zip/zip_file.h"
#include "zip/zip_removable_disk.h"

class CZipStorage {
 public:
  enum SpanMode { noSpan = 0, pkzipSpan = 1, tdSpan = 2, suggestedAuto = 3, suggestedTd = 4 };
  static constexpr uint32_t kSpanMarker = 0x08074B50;

  CZipStorage() = default;
  virtual ~CZipStorage() = default;
  CZipStorage(const CZipStorage&) = delete;
  CZipStorage& operator=(const CZipStorage&) = delete;

  // mode: 0 read-write, 1 read-only (both of an existing archive), 2 create,
  // 3 create split into volumes of `volumeSize` bytes, or spanned over
  // removable disks without one.
  void Open(const std::wstring& path, int mode, uint64_t volumeSize);
  void OpenFrom(CZipAbstractFile& file, int mode);
  // `atOnce` marks a record that must not be split between volumes.
  void Write(const void* buffer, uint32_t count, bool atOnce);
  void Flush();
  // Reads exactly count bytes, running on into the next volume of a split
  // archive, or raises 101 (damaged or not a zip file).
  uint32_t Read(void* buffer, uint32_t count, bool atOnce);
  // Moves forward as reading would.
  void Skip(uint64_t count);
  // Returns the archive's path.
  std::wstring Close(bool afterException);

  // Where the next byte written lands: the file's position plus what the
  // write buffer still holds.
  uint64_t GetPosition() const { return m_file->GetPosition() + m_bytesInWriteBuffer; }
  // Discards what the write buffer holds (the entry it belonged to is dropped).
  void DiscardBuffer() { m_bytesInWriteBuffer = 0; }

  void SetWriteBufferSize(uint32_t size) { m_writeBufferSize = size < 1024 ? 1024 : size; }
  // Not owned. Asked for every disk of a spanned archive, its parameter set
  // to the disk's number counted from 1; refusing raises 104.
  void SetChangeVolumeCallback(CZipActionCallback* callback) { m_changeVolume = callback; }
  // Not owned; none means the system's answers.
  void SetRemovableDisk(CZipRemovableDisk* disk) { m_disk = disk; }
  // Settles the span mode from the end record's "number of this volume".
  void SettleSpanMode(uint16_t thisVolume);
  // Makes a volume of an existing split archive the current file.
  void ChangeVolume(int volume);
  // Where byte `offset` of `volume` lies in the one stream the volumes make
  // end to end (the offset itself in a single file). False when that can't
  // be known: a disk other than the one in the drive, or a volume missing.
  bool GetStreamPosition(int volume, uint64_t offset, uint64_t* position);
  // Before a record of `count` bytes that must not be split: starts new
  // volumes until it fits in what is left of the current one.
  void AssureFree(uint32_t count);
  // Room left in the current volume of an archive being spanned.
  uint64_t GetFreeInVolume() const;
  uint64_t GetVolumeSize() const { return m_volumeSize; }
  // The split archive being created fitted its first volume and has become
  // a single file.
  void EndSpan();

  bool IsClosed(bool storage) const;
  bool IsReadOnly() const { return m_readOnly; }
  bool IsExternal() const { return m_external; }
  int GetCurrentVolume() const { return m_currentVolume; }
  // 0 single file, 1 multi-volume being created, -1 existing multi-volume.
  int IsSpanMode() const { return m_spanMode == noSpan ? 0 : (m_newSpan ? 1 : -1); }
  CZipAbstractFile* File() { return m_file; }
  std::wstring GetFilePath() const { return m_file != nullptr ? m_file->GetFilePath() : std::wstring(); }
  // The name of volume `volume` (0-based) of a split archive.
  std::wstring GetVolumeName(int volume, bool last) const;

 private:
  bool IsSpanRead() const { return (m_spanMode == tdSpan || m_spanMode == pkzipSpan) && !m_newSpan; }
  CZipRemovableDisk& Disk() const { return m_disk != nullptr ? *m_disk : CZipRemovableDisk::System(); }
  void OpenSpan(uint64_t volumeSize);
  void NextVolume(uint32_t needed);
  void NextDisk(uint32_t needed);
  // Asks for disk `volume` until one takes a new file of the archive's name.
  void PrepareDisk(uint32_t needed);
  void AskForDisk(int volume, uint64_t needed, int code);
  void FinishSpan(int lastVolume);

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
  std::wstring m_archivePath;
  uint64_t m_volumeSize = 0;
  uint64_t m_bytesWrittenToVolume = 0;
  int m_lastVolume = 0;
  CZipActionCallback* m_changeVolume = nullptr;
  CZipRemovableDisk* m_disk = nullptr;
  // Free bytes of the current disk as last read, what it held included.
  uint64_t m_freeSpace = 0;
  // Where each volume of a split archive being read begins in its stream;
  // read on first use.
  std::vector<uint64_t> m_volumeStarts;
};
