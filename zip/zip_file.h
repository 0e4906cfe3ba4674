#pragma once
// zip_file.h: an archive library file over a file on disk. Failures of an
// open file are raised as CZipException carrying the path and an errno-style
// code.
#include "zip/zip_abstract_file.h"
#include "zip/zip_file_system.h"

class CZipFile : public CZipAbstractFile {
 public:
  CZipFile() = default;
  ~CZipFile() override;
  CZipFile(const CZipFile&) = delete;
  CZipFile& operator=(const CZipFile&) = delete;

  bool Open(const std::wstring& path, unsigned flags, bool raiseOnFailure) override;
  void Close() override;
  void Flush() override;
  uint64_t GetPosition() const override;
  uint64_t Seek(int64_t offset, int origin) override;
  uint64_t GetLength() const override;
  void SetLength(uint64_t length) override;
  // The full path, or the name it was opened with when that can't be had.
  std::wstring GetFilePath() const override;
  uint32_t Read(void* buffer, uint32_t count) override;
  void Write(const void* buffer, uint32_t count) override;
  bool IsClosed() const override { return m_handle == ZipFileSystem::kNoFile; }

 private:
  [[noreturn]] void Raise(int code) const;

  ZipFileSystem::FileHandle m_handle = ZipFileSystem::kNoFile;
  std::wstring m_fileName;
};
