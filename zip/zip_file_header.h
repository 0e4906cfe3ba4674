#pragma once
// zip_file_header.h: one entry of an archive as its central directory header
// holds it, and the local header and data descriptor derived from it. The
// name is kept as its on-disk bytes, so entries read from an archive are
// written back exactly as they were.
#include <cstdint>
#include <string>

class CZipStorage;

class CZipFileHeader {
 public:
  static constexpr uint32_t kCentralSignature = 0x02014B50;
  static constexpr uint32_t kLocalSignature = 0x04034B50;
  static constexpr uint32_t kDescriptorSignature = 0x08074B50;
  static constexpr uint32_t kCentralSize = 46;
  static constexpr uint32_t kLocalSize = 30;
  static constexpr uint32_t kDescriptorSize = 16;
  static constexpr uint32_t kDefaultFileAttributes = 0x81A40020;
  static constexpr uint32_t kDefaultDirAttributes = 0x41FF0010;
  // General-purpose bit 11: the name is UTF-8, not code-page bytes.
  static constexpr uint16_t kUtf8Flag = 0x0800;

  CZipFileHeader();
  virtual ~CZipFileHeader() = default;

  // Sets the fields of a new entry; false when name, extra field or comment
  // would not fit their 16-bit lengths.
  bool PrepareData(int level, bool dataDescriptor, bool encrypted);
  void WriteLocal(CZipStorage& storage);
  uint32_t Write(CZipStorage& storage) const;
  bool Read(CZipStorage& storage);
  // Checks the local header against this one; leaves the storage just past
  // the name and gives the local extra field's length. The local header's
  // low four flag bits are taken over.
  bool ReadLocal(CZipStorage& storage, uint16_t* extraLength);
  // CRC-32, compressed and uncompressed size, little-endian, as at offset 14.
  void GetCrcAndSizes(unsigned char* buffer) const;

  uint32_t GetLocalSize() const;
  uint32_t GetCentralSize() const;

  // The name in host form ('\' separators), converted from the archive's
  // code page (OEM for MS-DOS entries when `oemConversion` is on), or from
  // UTF-8 when the entry's flag says so.
  std::wstring GetFileName(bool oemConversion = true) const;
  // Stores the name as the flag says. False when the encoding can't hold
  // it: what is stored then ('?' or a look-alike for what is missing) would
  // not read back as `name`.
  bool SetFileName(const std::wstring& name, bool oemConversion = true);
  // Whether the stored bytes read as a name that is stored as the same
  // bytes again: not so for characters the code page lacks on the way from
  // OEM through ANSI, nor for bytes that are no UTF-8 under the flag.
  bool IsNameExact(bool oemConversion = true) const;
  // False for a name flagged as UTF-8 whose bytes are no UTF-8: it reads
  // with U+FFFD in their place, not as the name its maker meant.
  bool IsNameValid() const;
  const std::string& GetRawFileName() const { return m_fileName; }
  void SetRawFileName(const std::string& bytes) { m_fileName = bytes; }
  std::string& ExtraField() { return m_extraField; }
  std::string& Comment() { return m_comment; }

  bool IsDirectory() const;
  bool IsEncrypted() const { return (m_flag & 1) != 0; }
  bool IsDataDescriptor() const { return (m_flag & 8) != 0; }
  bool IsUtf8() const { return (m_flag & kUtf8Flag) != 0; }
  int GetSystemCompatibility() const { return m_versionMadeBy >> 8; }
  void SetSystemCompatibility(int system);
  // Attributes in the host's (MS-DOS) form.
  uint32_t GetSystemAttr() const;
  // From the host's form into the entry's system; 115 for an unknown system.
  void SetSystemAttr(uint32_t attributes);

  // Seconds since 1970, in 64 bits (see ZipFileSystem).
  int64_t GetTime() const;
  void SetTime(int64_t time);

  uint32_t m_signature;
  uint16_t m_versionMadeBy;
  uint16_t m_versionNeeded;
  uint16_t m_flag;
  uint16_t m_method;
  uint16_t m_modTime;
  uint16_t m_modDate;
  uint32_t m_crc32;
  uint32_t m_compressedSize;
  uint32_t m_uncompressedSize;
  uint16_t m_diskStart;
  uint16_t m_internalAttr;
  uint32_t m_externalAttr;
  uint32_t m_offset;

 private:
  void PutSharedFields(unsigned char*& p) const;
  std::string m_extraField;
  std::string m_fileName;
  std::string m_comment;
};
