#pragma once
// zip_abstract_file.h: the archive library's file interface, over a file on
// disk (CZipFile) or a block of memory (CZipMemFile). Positions and lengths
// are 64-bit here; archives themselves stay within 32-bit offsets.
#include <cstdint>
#include <string>

class CZipAbstractFile {
 public:
  enum OpenFlags : unsigned {
    modeRead = 0x0000,
    modeReadWrite = 0x0002,
    shareDenyNone = 0x0040,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    // With modeCreate: only a new file; whatever stands at the name (a link
    // too) is kFileExists.
    modeCreateNew = 0x4000,
  };
  enum SeekOrigin { begin = 0, current = 1, end = 2 };

  virtual ~CZipAbstractFile() = default;
  virtual bool Open(const std::wstring& path, unsigned flags, bool raiseOnFailure) {
    (void)path;
    (void)flags;
    (void)raiseOnFailure;
    return true;
  }
  virtual void Close() = 0;
  virtual void Flush() = 0;
  virtual uint64_t GetPosition() const = 0;
  virtual uint64_t Seek(int64_t offset, int origin) = 0;
  virtual uint64_t GetLength() const = 0;
  virtual void SetLength(uint64_t length) = 0;
  uint64_t SeekToBegin() { return Seek(0, begin); }
  uint64_t SeekToEnd() { return Seek(0, end); }
  virtual std::wstring GetFilePath() const = 0;
  virtual uint32_t Read(void* buffer, uint32_t count) = 0;
  virtual void Write(const void* buffer, uint32_t count) = 0;
  virtual bool IsClosed() const = 0;
};
