#pragma once
// zip_mem_file.h: an archive library file in a growable block of memory,
// for archives built or read without touching the disk.
#include <cstdint>

#include "zip/zip_abstract_file.h"

class CZipMemFile : public CZipAbstractFile {
 public:
  explicit CZipMemFile(uint32_t growStep = 1024) : m_growStep(growStep) {}
  ~CZipMemFile() override;
  CZipMemFile(const CZipMemFile&) = delete;
  CZipMemFile& operator=(const CZipMemFile&) = delete;

  void Close() override;
  void Flush() override {}
  uint64_t GetPosition() const override { return m_position; }
  uint64_t Seek(int64_t offset, int origin) override;
  uint64_t GetLength() const override { return m_dataSize; }
  void SetLength(uint64_t length) override;
  std::wstring GetFilePath() const override { return std::wstring(); }
  uint32_t Read(void* buffer, uint32_t count) override;
  void Write(const void* buffer, uint32_t count) override;
  bool IsClosed() const override { return m_data == nullptr; }

  uint32_t GetCapacity() const { return m_capacity; }
  const unsigned char* GetData() const { return m_data; }

 private:
  void Grow(uint64_t size);

  uint32_t m_growStep;
  uint64_t m_position = 0;
  uint32_t m_capacity = 0;
  uint32_t m_dataSize = 0;
  unsigned char* m_data = nullptr;
  bool m_autoDelete = true;
};
