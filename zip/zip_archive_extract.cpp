// zip_archive_extract.cpp: the reading side of the archive: opening an entry,
// inflating and decrypting it with a running CRC, closing it with the checks,
// and extracting or testing whole entries.
#include "zip/zip_archive.h"

#include <algorithm>
#include <cstring>

#include "platform/wide_string.h"
#include "zip/zip_exception.h"
#include "zip/zip_file.h"
#include "zip/zip_file_system.h"
#include "zip/zip_path_component.h"

namespace {

bool IsDeviceName(std::wstring part) {
  // Windows opens a device for its name with any extension, and drops
  // trailing dots and blanks first.
  size_t dot = part.find(L'.');
  if (dot != std::wstring::npos) part.erase(dot);
  while (!part.empty() && part.back() == L' ') part.pop_back();
  part = ToUpper(part);
  if (part == L"CON" || part == L"PRN" || part == L"AUX" || part == L"NUL" || part == L"CONIN$" ||
      part == L"CONOUT$") {
    return true;
  }
  return part.size() == 4 && (part.compare(0, 3, L"COM") == 0 || part.compare(0, 3, L"LPT") == 0) &&
         part[3] >= L'0' && part[3] <= L'9';
}

// A name to extract must stay below the target folder on every host: a
// relative path of ordinary names, nothing Windows would read as a parent,
// a drive, a stream or a device. Gives why a name is refused, or nothing.
const wchar_t* UnsafeNameReason(const std::wstring& name) {
  if (name.empty()) return L"it is empty";
  if (CZipPathComponent::IsSeparator(name[0])) return L"it is an absolute path";
  for (const std::wstring& part : CZipPathComponent::SplitParts(name)) {
    if (part.empty() || part == L".") continue;
    // Windows trims trailing dots and blanks, so "..." or ".. " name the parent.
    if (part.find_first_not_of(L". ") == std::wstring::npos) return L"it leads to a parent folder";
    for (wchar_t c : part) {
      if (c == L':') return L"it names a drive or a stream";
      if (c < 0x20 || c == L'<' || c == L'>' || c == L'|' || c == L'"' || c == L'*' || c == L'?') {
        return L"it holds a character Windows does not allow in names";
      }
    }
    if (IsDeviceName(part)) return L"it names a device";
  }
  return nullptr;
}

std::wstring TrimTrailingSeparators(std::wstring path) {
  while (!path.empty() && CZipPathComponent::IsSeparator(path.back())) path.pop_back();
  return path;
}

}  // namespace

bool CZipArchive::SetPassword(const std::wstring& password) {
  if (m_state != 0) return false;
  // A character the code page lacks would become '?' or a look-alike: the
  // entries would then open with that, and not with the password given.
  std::string bytes = ZipFileSystem::WideToAnsi(password);
  if (ZipFileSystem::AnsiToWide(bytes) != password) return false;
  m_password = bytes;
  return true;
}

std::wstring CZipArchive::GetPassword() const { return ZipFileSystem::AnsiToWide(m_password); }

bool CZipArchive::OpenFile(int index) {
  if (IsClosed() || m_state != 0 || !m_centralDir.IsValidIndex(index)) return false;
  if (m_storage.IsSpanMode() == 1) return false;
  CZipFileHeader* header = m_centralDir[index];
  m_storage.Flush();
  m_storage.ChangeVolume(header->m_diskStart);
  m_storage.File()->Seek(static_cast<int64_t>(header->m_offset + m_centralDir.GetInfo().bytesBeforeZip),
                         CZipAbstractFile::begin);
  uint16_t extraLength = 0;
  if (!header->ReadLocal(m_storage, &extraLength)) ThrowError(CZipException::kBadZipFile);
  m_localExtraField.assign(extraLength, '\0');
  if (extraLength != 0) m_storage.Read(&m_localExtraField[0], extraLength, true);
  // Many records over one stream are the classic archive bomb, in one file
  // or over volumes.
  uint64_t limit = GetEntryLimit(index);
  uint64_t start = 0;
  uint64_t data = 0;
  if (limit != kNoLimit && m_storage.GetStreamPosition(header->m_diskStart, header->m_offset, &start) &&
      m_storage.GetStreamPosition(m_storage.GetCurrentVolume(),
                                  m_storage.File()->GetPosition() - m_centralDir.GetInfo().bytesBeforeZip, &data)) {
    CheckEntryFits(*header, start, data - start, limit);
  }
  uint32_t compressed = header->m_compressedSize;
  if (header->IsEncrypted()) {
    if (m_password.empty()) ThrowError(CZipException::kBadPassword);
    if (compressed < CZipCrypto::kHeaderSize) ThrowError(CZipException::kBadZipFile);
    ReadEncryptionHeader(*header);
    compressed -= CZipCrypto::kHeaderSize;
  }
  if (header->m_method == 0 && compressed != header->m_uncompressedSize) {
    ThrowError(CZipException::kBadZipFile);
  }
  m_info.buffer.Allocate(m_info.bufferSize);
  m_info.stream = z_stream();
  if (header->m_method == 8) {
    int result = inflateInit2(&m_info.stream, -MAX_WBITS);
    if (result != Z_OK) {
      m_info.buffer.Release();
      CheckForError(result);
    }
    m_info.streamActive = true;
  }
  m_info.compressedLeft = compressed;
  m_info.uncompressedLeft = header->m_uncompressedSize;
  m_info.dummyOffered = false;
  m_info.crc = 0;
  m_currentHeader = header;
  m_state = -1;
  return true;
}

// Entries with a data descriptor check the time's high byte (the CRC was
// not known when the header was made), the others the CRC's.
void CZipArchive::ReadEncryptionHeader(const CZipFileHeader& header) {
  unsigned char bytes[CZipCrypto::kHeaderSize];
  m_storage.Read(bytes, CZipCrypto::kHeaderSize, true);
  unsigned char check = header.IsDataDescriptor() ? static_cast<unsigned char>(header.m_modTime >> 8)
                                                  : static_cast<unsigned char>(header.m_crc32 >> 24);
  if (!m_crypto.CheckHeader(m_password, check, bytes)) ThrowError(CZipException::kBadPassword);
}

int CZipArchive::GetLocalExtraField(char* buffer, int size) const {
  if (m_state != -1) return -1;
  int length = static_cast<int>(m_localExtraField.size());
  if (buffer == nullptr) return length;
  int count = std::min(std::max(size, 0), length);
  if (count != 0) memcpy(buffer, m_localExtraField.data(), count);
  return count;
}

uint32_t CZipArchive::ReadFile(void* buffer, uint32_t size) {
  if (m_state != -1 || buffer == nullptr || size == 0) return 0;
  z_stream& stream = m_info.stream;
  uint32_t room = std::min(size, m_info.uncompressedLeft);
  // With nothing left to deliver, compressed bytes still left are consumed.
  bool drain = room == 0 && m_info.compressedLeft > 0;
  stream.next_out = static_cast<Bytef*>(buffer);
  stream.avail_out = room;
  uint32_t delivered = 0;
  bool deflated = m_currentHeader->m_method == 8;
  while (stream.avail_out > 0 || (drain && (m_info.compressedLeft > 0 || stream.avail_in > 0))) {
    if (stream.avail_in == 0) {
      uint32_t count = std::min(m_info.buffer.GetSize(), m_info.compressedLeft);
      if (count != 0) {
        m_storage.Read(m_info.buffer.Data(), count, false);
        if (m_currentHeader->IsEncrypted()) m_crypto.Decode(m_info.buffer.Data(), count);
        m_info.compressedLeft -= count;
      } else if (deflated && !m_info.dummyOffered) {
        // Raw inflate may want one byte past the data to see its end.
        m_info.dummyOffered = true;
        count = 1;
      } else {
        break;  // the data ended before the sizes said
      }
      stream.next_in = m_info.buffer.Data();
      stream.avail_in = count;
    }
    Bytef* start = stream.next_out;
    int result = Z_OK;
    if (deflated) {
      result = inflate(&stream, Z_SYNC_FLUSH);
    } else {
      uint32_t piece = std::min(stream.avail_in, stream.avail_out);
      std::copy(stream.next_in, stream.next_in + piece, stream.next_out);
      stream.next_in += piece;
      stream.avail_in -= piece;
      stream.next_out += piece;
      stream.avail_out -= piece;
    }
    uint32_t produced = static_cast<uint32_t>(stream.next_out - start);
    m_info.crc = crc32(m_info.crc, start, produced);
    m_info.uncompressedLeft -= produced;
    delivered += produced;
    if (result == Z_STREAM_END) break;
    if (result != Z_OK) {
      CloseFile(true);
      CheckForError(result);
    }
  }
  return delivered;
}

int CZipArchive::CloseFile(bool afterException) { return CloseFile(std::wstring(), afterException); }

int CZipArchive::CloseFile(CZipFile& extracted) {
  std::wstring path = extracted.GetFilePath();
  extracted.Close();
  return CloseFile(path);
}

int CZipArchive::CloseFile(const std::wstring& extractedPath, bool afterException) {
  if (m_state != -1) return 0;
  int result = 1;
  try {
    if (!afterException) {
      if (m_info.uncompressedLeft > 0) {
        result = -1;
      } else {
        if (!m_ignoreCrc && m_info.crc != m_currentHeader->m_crc32) ThrowError(CZipException::kBadCrc);
        // The time first: a read-only file takes no new time.
        if (!extractedPath.empty() &&
            (!ZipFileSystem::SetPathModTime(extractedPath, m_currentHeader->GetTime()) ||
             !ZipFileSystem::SetPathAttributes(extractedPath, m_currentHeader->GetSystemAttr() & 0x27))) {
          result = -2;
        }
        if (m_currentHeader->IsDataDescriptor()) SkipToDescriptorAndCheck(*m_currentHeader);
      }
    }
  } catch (...) {
    ReleaseEntry();
    throw;
  }
  ReleaseEntry();
  return result;
}

// The descriptor follows the compressed data, its signature optional.
void CZipArchive::SkipToDescriptorAndCheck(CZipFileHeader& header) {
  m_storage.Skip(m_info.compressedLeft);
  unsigned char values[16];
  m_storage.Read(values, 4, false);
  uint32_t first = values[0] | (values[1] << 8) | (values[2] << 16) | (static_cast<uint32_t>(values[3]) << 24);
  unsigned char* fields = values;
  if (first == CZipFileHeader::kDescriptorSignature) {
    m_storage.Read(values, 12, false);
  } else {
    m_storage.Read(values + 4, 8, false);
  }
  unsigned char expected[12];
  header.GetCrcAndSizes(expected);
  if (!std::equal(expected, expected + 12, fields)) ThrowError(CZipException::kBadZipFile);
}

int CZipArchive::EndAbortedReading(CZipActionCallback* callback, CZipFile* extracted) {
  int code = CZipException::kAbortedAction;
  if (m_info.uncompressedLeft == 0) {
    int result = extracted != nullptr ? CloseFile(*extracted) : CloseFile();
    if (result == 1) code = CZipException::kAbortedSafely;
  } else {
    CloseFile(true);
  }
  callback->CallbackEnd();
  return code;
}

bool CZipArchive::TestFile(int index, uint32_t bufferSize) {
  if (bufferSize == 0 || IsClosed() || m_storage.IsSpanMode() == 1) return false;
  if (!m_centralDir.IsValidIndex(index)) return false;
  CZipFileHeader* header = m_centralDir[index];
  CZipActionCallback* callback = GetCallback(cbTest);
  if (callback != nullptr) {
    callback->Init(header->GetFileName(m_centralDir.m_oemConversion), std::wstring());
    callback->SetTotal(header->m_uncompressedSize);
  }
  if (header->IsDirectory()) {
    // An encrypted directory carries just the encryption header.
    uint32_t allowed = header->IsEncrypted() ? CZipCrypto::kHeaderSize : 0;
    if (header->m_compressedSize != allowed || header->m_uncompressedSize != 0) {
      ThrowError(CZipException::kDirWithSize);
    }
    if (callback != nullptr) callback->CallbackEnd();
    return true;
  }
  if (!OpenFile(index)) return false;
  int result;
  try {
    CZipAutoBuffer buffer(bufferSize);
    uint32_t read;
    while ((read = ReadFile(buffer.Data(), bufferSize)) != 0) {
      if (callback != nullptr && !callback->RequestCallback(read)) ThrowError(EndAbortedReading(callback, nullptr));
    }
    result = CloseFile();
    if (callback != nullptr) callback->CallbackEnd();
  } catch (...) {
    CloseFile(true);
    throw;
  }
  if (result == -1) ThrowError(CZipException::kBadZipFile);
  return true;
}

void CZipArchive::ThrowUnsafeName(const std::wstring& name, const wchar_t* reason) const {
  ThrowZipException(CZipException::kBadZipFile, GetArchivePath(),
                    Format(L"the name %s is not extracted: %s", CZipException::Quote(name).c_str(), reason));
}

std::wstring CZipArchive::PredictExtractedFileName(const std::wstring& fileNameInZip, const std::wstring& folder,
                                                   bool fullPath, const std::wstring& newName) const {
  std::wstring name = TrimTrailingSeparators(newName.empty() ? fileNameInZip : newName);
  if (const wchar_t* reason = UnsafeNameReason(name)) ThrowUnsafeName(name, reason);
  std::wstring relative = newName.empty() && !fullPath ? PredictFileNameInZip(name, false) : name;
  std::wstring target = TrimTrailingSeparators(folder);
  if (!target.empty()) target += L'\\';
  return target + relative;
}

bool CZipArchive::ExtractFile(int index, const std::wstring& folder, bool fullPath, const std::wstring& newName,
                              uint32_t bufferSize) {
  if (bufferSize == 0 || IsClosed() || m_state != 0 || !m_centralDir.IsValidIndex(index)) return false;
  if (m_storage.IsSpanMode() == 1) return false;
  CZipFileHeader* header = m_centralDir[index];
  std::wstring name = header->GetFileName(m_centralDir.m_oemConversion);
  // Peers see no name at all there; a lenient reading could even make a
  // separator or a parent of it.
  if (newName.empty() && !header->IsNameValid()) ThrowUnsafeName(name, L"it is no valid UTF-8");
  std::wstring target = PredictExtractedFileName(name, folder, fullPath, newName);
  CZipActionCallback* callback = GetCallback(cbExtract);
  if (callback != nullptr) {
    callback->Init(name, target);
    callback->SetTotal(header->m_uncompressedSize);
  }
  if (header->IsDirectory()) {
    if (!ZipFileSystem::ForceFolder(target)) return false;
    // Not read-only: on POSIX that would keep the folder's own entries out.
    ZipFileSystem::SetPathAttributes(target, header->GetSystemAttr() & 0x36);
    if (callback != nullptr) callback->CallbackEnd();
    return true;
  }
  if (!OpenFile(index)) return false;
  CZipFile file;
  bool created = false;
  try {
    std::wstring parent = target.substr(0, target.find_last_of(L"\\/") + 1);
    if (!parent.empty() && !ZipFileSystem::ForceFolder(parent)) ThrowZipException(CZipException::kNoSuchFile, parent);
    file.Open(target, CZipAbstractFile::modeCreate | CZipAbstractFile::modeReadWrite, true);
    created = true;
    CZipAutoBuffer buffer(bufferSize);
    uint32_t read;
    while ((read = ReadFile(buffer.Data(), bufferSize)) != 0) {
      file.Write(buffer.Data(), read);
      if (callback != nullptr && !callback->RequestCallback(read)) {
        int code = EndAbortedReading(callback, &file);
        // Read and closed whole: the file stays.
        if (code == CZipException::kAbortedSafely) created = false;
        ThrowError(code);
      }
    }
    int result = CloseFile(file);
    if (callback != nullptr) callback->CallbackEnd();
    return result == 1;
  } catch (...) {
    // A damaged entry leaves no half-written file behind.
    file.Close();
    if (created) ZipFileSystem::RemovePath(target);
    CloseFile(true);
    throw;
  }
}

bool CZipArchive::ExtractFileTo(int index, CZipAbstractFile& stream, uint32_t bufferSize) {
  if (bufferSize == 0 || IsClosed() || m_state != 0 || !m_centralDir.IsValidIndex(index)) return false;
  if (m_centralDir[index]->IsDirectory() || !OpenFile(index)) return false;
  try {
    CZipAutoBuffer buffer(bufferSize);
    uint32_t read;
    while ((read = ReadFile(buffer.Data(), bufferSize)) != 0) stream.Write(buffer.Data(), read);
    return CloseFile() == 1;
  } catch (...) {
    CloseFile(true);
    throw;
  }
}
