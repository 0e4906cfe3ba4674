// zip_file_header.cpp: the local and central header records, MS-DOS dates,
// attributes and the encoding of names.
#include "zip/zip_file_header.h"

#include <algorithm>
#include <cstring>

#include "platform/wide_string.h"
#include "zip/zip_compatibility.h"
#include "zip/zip_file_system.h"
#include "zip/zip_storage.h"

namespace {

constexpr uint16_t kVersion = 20;
constexpr uint16_t kDirectoryVersion = 10;
constexpr uint32_t kMaxField = 0xFFFF;

void Put16(unsigned char*& p, uint16_t value) {
  p[0] = static_cast<unsigned char>(value);
  p[1] = static_cast<unsigned char>(value >> 8);
  p += 2;
}

void Put32(unsigned char*& p, uint32_t value) {
  Put16(p, static_cast<uint16_t>(value));
  Put16(p, static_cast<uint16_t>(value >> 16));
}

void PutBytes(unsigned char*& p, const std::string& bytes) {
  if (!bytes.empty()) memcpy(p, bytes.data(), bytes.size());
  p += bytes.size();
}

uint16_t Get16(const unsigned char*& p) {
  uint16_t value = static_cast<uint16_t>(p[0] | (p[1] << 8));
  p += 2;
  return value;
}

uint32_t Get32(const unsigned char*& p) {
  uint32_t low = Get16(p);
  return low | (static_cast<uint32_t>(Get16(p)) << 16);
}

std::string ReadBytes(CZipStorage& storage, uint16_t count) {
  std::string bytes(count, '\0');
  if (count != 0) storage.Read(&bytes[0], count, true);
  return bytes;
}

bool EndsInSeparator(const std::string& name) {
  return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

}  // namespace

CZipFileHeader::CZipFileHeader()
    : m_signature(kCentralSignature),
      m_versionMadeBy(kVersion),
      m_versionNeeded(kVersion),
      m_flag(0),
      m_method(8),
      m_modTime(0),
      m_modDate(0x21),
      m_crc32(0),
      m_compressedSize(0),
      m_uncompressedSize(0),
      m_diskStart(0),
      m_internalAttr(0),
      m_externalAttr(0),
      m_offset(0) {}

bool CZipFileHeader::PrepareData(int level, bool dataDescriptor, bool encrypted) {
  m_signature = kCentralSignature;
  m_versionMadeBy = static_cast<uint16_t>((m_versionMadeBy & 0xFF00) | kVersion);
  m_versionNeeded = IsDirectory() ? kDirectoryVersion : kVersion;
  m_crc32 = 0;
  m_compressedSize = encrypted ? 12 : 0;
  m_uncompressedSize = 0;
  m_internalAttr = 0;
  if (level == 0) m_method = 0;
  else if (m_method != 0 && m_method != 8) m_method = 8;
  // The name's encoding stays: its bytes were written as the flag says.
  m_flag &= kUtf8Flag;
  if (m_method == 8) {
    if (level == 1) m_flag |= 0x0006;
    else if (level == 2) m_flag |= 0x0004;
    else if (level == 8 || level == 9) m_flag |= 0x0002;
  }
  if (encrypted) m_flag |= 0x0001;
  if (dataDescriptor || encrypted) m_flag |= 0x0008;
  return m_fileName.size() <= kMaxField && m_extraField.size() <= kMaxField &&
         m_comment.size() <= kMaxField;
}

uint32_t CZipFileHeader::GetLocalSize() const {
  return kLocalSize + static_cast<uint32_t>(m_fileName.size() + m_extraField.size());
}

uint32_t CZipFileHeader::GetCentralSize() const {
  return kCentralSize + static_cast<uint32_t>(m_fileName.size() + m_extraField.size() + m_comment.size());
}

void CZipFileHeader::GetCrcAndSizes(unsigned char* buffer) const {
  Put32(buffer, m_crc32);
  Put32(buffer, m_compressedSize);
  Put32(buffer, m_uncompressedSize);
}

// The fields the local and the central header share, in the same order:
// from the version needed to extract to the extra field's length.
void CZipFileHeader::PutSharedFields(unsigned char*& p) const {
  Put16(p, m_versionNeeded);
  Put16(p, m_flag);
  Put16(p, m_method);
  Put16(p, m_modTime);
  Put16(p, m_modDate);
  GetCrcAndSizes(p);
  p += 12;
  Put16(p, static_cast<uint16_t>(m_fileName.size()));
  Put16(p, static_cast<uint16_t>(m_extraField.size()));
}

void CZipFileHeader::WriteLocal(CZipStorage& storage) {
  std::string record(GetLocalSize(), '\0');
  unsigned char* p = reinterpret_cast<unsigned char*>(&record[0]);
  Put32(p, kLocalSignature);
  PutSharedFields(p);
  PutBytes(p, m_fileName);
  PutBytes(p, m_extraField);
  storage.Write(record.data(), static_cast<uint32_t>(record.size()), true);
  m_extraField.clear();
  m_diskStart = static_cast<uint16_t>(storage.GetCurrentVolume());
  m_offset = static_cast<uint32_t>(storage.GetPosition() - record.size());
}

uint32_t CZipFileHeader::Write(CZipStorage& storage) const {
  std::string record(GetCentralSize(), '\0');
  unsigned char* p = reinterpret_cast<unsigned char*>(&record[0]);
  Put32(p, kCentralSignature);
  Put16(p, m_versionMadeBy);
  PutSharedFields(p);
  Put16(p, static_cast<uint16_t>(m_comment.size()));
  Put16(p, m_diskStart);
  Put16(p, m_internalAttr);
  Put32(p, m_externalAttr);
  Put32(p, m_offset);
  PutBytes(p, m_fileName);
  PutBytes(p, m_extraField);
  PutBytes(p, m_comment);
  storage.Write(record.data(), static_cast<uint32_t>(record.size()), true);
  return static_cast<uint32_t>(record.size());
}

bool CZipFileHeader::Read(CZipStorage& storage) {
  unsigned char record[kCentralSize];
  storage.Read(record, kCentralSize, true);
  const unsigned char* p = record;
  m_signature = Get32(p);
  if (m_signature != kCentralSignature) return false;
  m_versionMadeBy = Get16(p);
  m_versionNeeded = Get16(p);
  m_flag = Get16(p);
  m_method = Get16(p);
  m_modTime = Get16(p);
  m_modDate = Get16(p);
  m_crc32 = Get32(p);
  m_compressedSize = Get32(p);
  m_uncompressedSize = Get32(p);
  uint16_t nameLength = Get16(p);
  uint16_t extraLength = Get16(p);
  uint16_t commentLength = Get16(p);
  m_diskStart = Get16(p);
  m_internalAttr = Get16(p);
  m_externalAttr = Get32(p);
  m_offset = Get32(p);
  m_fileName = ReadBytes(storage, nameLength);
  m_extraField = ReadBytes(storage, extraLength);
  m_comment = ReadBytes(storage, commentLength);
  return true;
}

bool CZipFileHeader::ReadLocal(CZipStorage& storage, uint16_t* extraLength) {
  unsigned char record[kLocalSize];
  storage.Read(record, kLocalSize, true);
  const unsigned char* p = record;
  if (Get32(p) != kLocalSignature) return false;
  Get16(p);  // version needed
  uint16_t flag = Get16(p);
  uint16_t method = Get16(p);
  Get16(p);  // time
  Get16(p);  // date
  uint32_t crc = Get32(p);
  uint32_t compressed = Get32(p);
  uint32_t uncompressed = Get32(p);
  uint16_t nameLength = Get16(p);
  *extraLength = Get16(p);
  if (method != m_method || (method != 0 && method != 8)) return false;
  if ((flag & 8) == 0 &&
      (crc != m_crc32 || compressed != m_compressedSize || uncompressed != m_uncompressedSize)) {
    return false;
  }
  m_flag = static_cast<uint16_t>((m_flag & ~0xF) | (flag & 0xF));
  // The local name is not compared: the central one is the entry's name.
  storage.Skip(nameLength);
  return true;
}

std::wstring CZipFileHeader::GetFileName(bool oemConversion) const {
  if (IsUtf8()) return ReplaceAll(Utf8ToWide(m_fileName), L"/", L"\\");
  std::string bytes = m_fileName;
  if (oemConversion && GetSystemCompatibility() == ZipCompatibility::zcDosFat) {
    bytes = ZipFileSystem::OemToAnsiBytes(bytes);
  }
  // '/' (0x2F) is never a trail byte of a double-byte code page, so it can
  // be replaced after the conversion.
  return ReplaceAll(ZipFileSystem::AnsiToWide(bytes), L"/", L"\\");
}

bool CZipFileHeader::SetFileName(const std::wstring& name, bool oemConversion) {
  // Separators are replaced on the wide text: in a double-byte code page a
  // trail byte may be 0x5C, which is not a '\'.
  std::wstring text = ReplaceAll(name, L"\\", L"/");
  if (IsUtf8()) {
    m_fileName = WideToUtf8(text);
  } else {
    m_fileName = ZipFileSystem::WideToAnsi(text);
    if (oemConversion && GetSystemCompatibility() == ZipCompatibility::zcDosFat) {
      m_fileName = ZipFileSystem::AnsiToOemBytes(m_fileName);
    }
  }
  return GetFileName(oemConversion) == ReplaceAll(name, L"/", L"\\");
}

bool CZipFileHeader::IsNameExact(bool oemConversion) const {
  CZipFileHeader again(*this);
  again.SetFileName(GetFileName(oemConversion), oemConversion);
  // Either separator reads as one, so only the other bytes must come back.
  std::string stored = m_fileName;
  std::string written = again.m_fileName;
  std::replace(stored.begin(), stored.end(), '\\', '/');
  std::replace(written.begin(), written.end(), '\\', '/');
  return written == stored;
}

bool CZipFileHeader::IsNameValid() const {
  bool valid = true;
  if (IsUtf8()) Utf8ToWide(m_fileName, &valid);
  return valid;
}

void CZipFileHeader::SetSystemCompatibility(int system) {
  m_versionMadeBy = static_cast<uint16_t>((m_versionMadeBy & 0xFF) | (system << 8));
}

uint32_t CZipFileHeader::GetSystemAttr() const {
  int system = GetSystemCompatibility();
  if (ZipCompatibility::IsSystemSupported(system) && m_externalAttr != 0) {
    return ZipCompatibility::ConvertAttributes(m_externalAttr, system, ZipCompatibility::kHostSystem);
  }
  return EndsInSeparator(m_fileName) ? kDefaultDirAttributes : kDefaultFileAttributes;
}

void CZipFileHeader::SetSystemAttr(uint32_t attributes) {
  m_externalAttr = ZipCompatibility::ConvertAttributes(attributes, ZipCompatibility::kHostSystem,
                                                       GetSystemCompatibility());
}

bool CZipFileHeader::IsDirectory() const { return (GetSystemAttr() & 0x10) != 0; }

int64_t CZipFileHeader::GetTime() const {
  struct tm local = {};
  local.tm_sec = (m_modTime & 31) * 2;
  local.tm_min = (m_modTime >> 5) & 63;
  local.tm_hour = m_modTime >> 11;
  local.tm_mday = m_modDate & 31;
  local.tm_mon = ((m_modDate >> 5) & 15) - 1;
  local.tm_year = (m_modDate >> 9) + 80;
  local.tm_isdst = -1;
  return ZipFileSystem::MakeLocalTime(&local);
}

void CZipFileHeader::SetTime(int64_t time) {
  struct tm local;
  if (!ZipFileSystem::LocalTime(time, &local)) {
    m_modDate = 0x21;
    m_modTime = 0;
    return;
  }
  int year = local.tm_year + 1900;
  // Seven bits of years from 1980: later years are held at the last one.
  int yearPart = year <= 1980 ? 0 : (year - 1980 > 127 ? 127 : year - 1980);
  m_modDate = static_cast<uint16_t>(local.tm_mday + 32 * (local.tm_mon + 1) + 512 * yearPart);
  m_modTime = static_cast<uint16_t>(local.tm_sec / 2 + 32 * local.tm_min + 2048 * local.tm_hour);
}
