// zip_central_dir.cpp: finding, reading and writing the central directory.
#include "zip/zip_central_dir.h"

#include <algorithm>
#include <cstring>

#include "zip/zip_exception.h"
#include "zip/zip_path_component.h"
#include "zip/zip_storage.h"

namespace {

// Offsets and sizes are 32-bit fields, and all ones marks a ZIP64 value to
// readers: an archive reaching it can't be written without ZIP64.
constexpr uint64_t kFieldLimit = 0xFFFFFFFF;

uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const unsigned char* p) { return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16); }

void Put16(unsigned char* p, uint16_t value) {
  p[0] = static_cast<unsigned char>(value);
  p[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char* p, uint32_t value) {
  Put16(p, static_cast<uint16_t>(value));
  Put16(p + 2, static_cast<uint16_t>(value >> 16));
}

// Names compare as the C runtime's collation does in the "C" locale the
// program keeps: by code unit, with only ASCII letters folded when case
// does not matter.
int CompareNames(const std::wstring& a, const std::wstring& b, bool caseSensitive) {
  size_t count = std::min(a.size(), b.size());
  for (size_t i = 0; i < count; ++i) {
    wchar_t x = a[i];
    wchar_t y = b[i];
    if (!caseSensitive) {
      if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
      if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::wstring FileNameOf(std::wstring name) {
  while (!name.empty() && CZipPathComponent::IsSeparator(name.back())) name.pop_back();
  size_t separator = name.find_last_of(L"\\/");
  return separator == std::wstring::npos ? name : name.substr(separator + 1);
}

void CutToDirectory(std::string& part, uint64_t* left) {
  if (part.size() > *left) part.resize(static_cast<size_t>(*left));
  *left -= part.size();
}

}  // namespace

void CZipCentralDir::Throw(int code) const { ThrowZipException(code, m_storage->GetFilePath()); }

void CZipCentralDir::Init(CZipStorage* storage) {
  m_storage = storage;
  Clear();
  m_info = CInfo();
}

void CZipCentralDir::Clear(bool deleteHeaders) {
  m_openFile = nullptr;
  if (!deleteHeaders) return;
  m_headers.clear();
  m_comment.clear();
  m_findArray.clear();
  m_findArrayEnabled = false;
}

uint64_t CZipCentralDir::Locate() {
  CZipAbstractFile* file = m_storage->File();
  uint64_t length = file->GetLength();
  uint64_t covered = std::min<uint64_t>(length, kMaxEndSearch);
  uint32_t chunkSize = std::max<uint32_t>(m_searchBufferSize, 1024);
  std::vector<unsigned char> chunk(chunkSize);
  // Chunks are read backwards from the end and overlap by three bytes, so a
  // signature split between two of them is still seen whole.
  uint64_t chunkEnd = length;
  uint64_t searchStart = length - covered;
  while (chunkEnd > searchStart) {
    uint64_t chunkStart = chunkEnd - searchStart > chunkSize ? chunkEnd - chunkSize : searchStart;
    uint32_t count = static_cast<uint32_t>(chunkEnd - chunkStart);
    if (count < 4) break;
    file->Seek(static_cast<int64_t>(chunkStart), CZipAbstractFile::begin);
    if (file->Read(chunk.data(), count) != count) Throw(CZipException::kBadZipFile);
    for (uint32_t i = count - 4 + 1; i-- > 0;) {
      if (Get32(&chunk[i]) == kEndSignature) return chunkStart + i;
    }
    if (chunkStart == searchStart) break;
    chunkEnd = chunkStart + 3;
  }
  Throw(CZipException::kCentralDirNotFound);
}

void CZipCentralDir::Read() {
  m_info.endPosition = Locate();
  m_storage->File()->Seek(static_cast<int64_t>(m_info.endPosition), CZipAbstractFile::begin);
  unsigned char record[kEndSize];
  m_storage->Read(record, kEndSize, true);
  m_info.thisDisk = Get16(record + 4);
  m_info.diskWithCentralDir = Get16(record + 6);
  m_info.diskEntriesCount = Get16(record + 8);
  m_info.entriesCount = Get16(record + 10);
  m_info.size = Get32(record + 12);
  m_info.offset = Get32(record + 16);
  uint16_t commentLength = Get16(record + 20);

  m_storage->SettleSpanMode(m_info.thisDisk);
  // In a split archive the directory's offset counts in its own volume, and
  // nothing lies in front of the first one.
  bool spanned = m_storage->IsSpanMode() != 0;
  if (!spanned && m_info.endPosition < static_cast<uint64_t>(m_info.offset) + m_info.size) {
    Throw(CZipException::kBadZipFile);
  }
  m_comment.assign(commentLength, '\0');
  if (commentLength != 0) m_storage->Read(&m_comment[0], commentLength, true);
  m_info.bytesBeforeZip = spanned ? 0 : m_info.endPosition - m_info.size - m_info.offset;
  if ((m_info.size == 0) != (m_info.entriesCount == 0)) Throw(CZipException::kBadZipFile);
  m_info.onDisk = true;
  if (m_info.size != 0) ReadHeaders();
}

void CZipCentralDir::ReadHeaders() {
  m_storage->ChangeVolume(m_info.diskWithCentralDir);
  m_storage->File()->Seek(static_cast<int64_t>(m_info.offset + m_info.bytesBeforeZip),
                          CZipAbstractFile::begin);
  m_headers.clear();
  uint64_t left = m_info.size;
  for (int i = 0; i < m_info.entriesCount; ++i) {
    std::unique_ptr<CZipFileHeader> header(new CZipFileHeader);
    if (!header->Read(*m_storage)) Throw(CZipException::kBadZipFile);
    uint64_t fixed = CZipFileHeader::kCentralSize + header->GetRawFileName().size();
    if (fixed > left) Throw(CZipException::kBadZipFile);
    left -= fixed;
    // Peers read an extra field or comment only as far as the directory
    // goes; what runs past it is the end record, which a rewritten
    // directory must not carry as a field of the entry.
    CutToDirectory(header->ExtraField(), &left);
    CutToDirectory(header->Comment(), &left);
    m_headers.push_back(std::move(header));
  }
  // Entry numbers follow the order of the data, not of the directory. A
  // single file holds every entry, whatever volume its record names: two
  // records there at one offset share their data.
  bool spanned = m_storage->IsSpanMode() != 0;
  auto byPlace = [spanned](const std::unique_ptr<CZipFileHeader>& a, const std::unique_ptr<CZipFileHeader>& b) {
    if (spanned && a->m_diskStart != b->m_diskStart) return a->m_diskStart < b->m_diskStart;
    return a->m_offset < b->m_offset;
  };
  std::stable_sort(m_headers.begin(), m_headers.end(), byPlace);
  for (size_t i = 1; i < m_headers.size(); ++i) {
    if (!byPlace(m_headers[i - 1], m_headers[i])) Throw(CZipException::kBadZipFile);
  }
  if (m_findArrayEnabled) BuildFindFastArray(m_findArrayCaseSensitive);
}

CZipFileHeader* CZipCentralDir::AddNewFile(const CZipFileHeader& header) {
  RemoveFromDisk();
  m_storage->File()->SeekToEnd();
  m_headers.push_back(std::unique_ptr<CZipFileHeader>(new CZipFileHeader(header)));
  m_openFile = m_headers.back().get();
  if (m_findArrayEnabled) InsertFindFastElement(m_openFile, GetCount() - 1);
  // Where the local header will start: the place to cut back to when the
  // entry is dropped before or after its header is written.
  m_openFile->m_offset = static_cast<uint32_t>(m_storage->GetPosition());
  return m_openFile;
}

void CZipCentralDir::RemoveFromDisk() {
  if (m_info.onDisk) {
    // Entries are kept by cutting the file at the directory: one whose
    // local header does not lie before it would be cut away with it.
    for (const std::unique_ptr<CZipFileHeader>& header : m_headers) {
      if (static_cast<uint64_t>(header->m_offset) + CZipFileHeader::kLocalSize > m_info.offset) {
        Throw(CZipException::kBadZipFile);
      }
    }
    m_storage->File()->SetLength(m_info.bytesBeforeZip + m_info.offset);
    m_info.onDisk = false;
  } else {
    m_storage->Flush();
  }
}

void CZipCentralDir::CloseNewFile() {
  CZipFileHeader* header = m_openFile;
  unsigned char values[12];
  header->GetCrcAndSizes(values);
  if (header->IsDataDescriptor()) {
    unsigned char descriptor[CZipFileHeader::kDescriptorSize];
    Put32(descriptor, CZipFileHeader::kDescriptorSignature);
    memcpy(descriptor + 4, values, sizeof values);
    m_storage->Write(descriptor, sizeof descriptor, true);
  }
  if (!header->IsDataDescriptor() || m_storage->IsSpanMode() == 0) {
    // The local header's offset is still absolute here: patch, then go back
    // to the end for the next write.
    m_storage->Flush();
    CZipAbstractFile* file = m_storage->File();
    file->Seek(static_cast<int64_t>(header->m_offset) + 14, CZipAbstractFile::begin);
    file->Write(values, sizeof values);
    file->SeekToEnd();
  }
  header->m_offset = static_cast<uint32_t>(header->m_offset - m_info.bytesBeforeZip);
  m_openFile = nullptr;
}

void CZipCentralDir::RemoveOpenFile(bool cutFile) {
  if (m_openFile == nullptr) return;
  uint64_t localHeader = m_openFile->m_offset;
  if (m_findArrayEnabled) RemoveFindFastElement(GetCount() - 1);
  m_headers.pop_back();
  m_openFile = nullptr;
  m_storage->DiscardBuffer();
  // The entry may have begun in an earlier volume: there is nothing to cut back to.
  if (!cutFile || m_storage->IsSpanMode() != 0) return;
  CZipAbstractFile* file = m_storage->File();
  if (localHeader < file->GetLength()) file->SetLength(localHeader);
  file->SeekToEnd();
}

void CZipCentralDir::Write() {
  if (m_info.onDisk) return;
  if (m_storage->IsSpanMode() == 1) PrepareSpanDirectory();
  m_storage->Flush();
  m_storage->File()->SeekToEnd();
  WriteHeaders();
  WriteEnd();
  m_info.onDisk = true;
}

// A split archive whose directory still fits its first volume, once the
// span marker and the data descriptors are gone, becomes a single file.
void CZipCentralDir::PrepareSpanDirectory() {
  uint64_t size = GetSize(true);
  uint64_t saved = 4;
  for (const std::unique_ptr<CZipFileHeader>& header : m_headers) {
    if (!header->IsEncrypted()) saved += CZipFileHeader::kDescriptorSize;
  }
  if (m_storage->GetCurrentVolume() == 0 && size <= m_storage->GetFreeInVolume() + saved) {
    ConvertToSingleFile();
  } else if (m_storage->GetVolumeSize() == 0 || size <= m_storage->GetVolumeSize()) {
    // A disk's size is not known before it is in the drive: the whole
    // directory is asked for; a split one larger than a volume runs on.
    m_storage->AssureFree(static_cast<uint32_t>(size));
  }
}

// Works on the file with plain reads and writes, so no other archive can
// share the bytes (a named mapping would be shared across processes).
// Encrypted entries keep their descriptors: their check byte is the time.
void CZipCentralDir::ConvertToSingleFile() {
  m_storage->Flush();
  CZipAbstractFile* file = m_storage->File();
  uint64_t end = file->GetLength();
  std::vector<unsigned char> buffer(65536);
  uint64_t shift = 4;
  for (size_t i = 0; i < m_headers.size(); ++i) {
    CZipFileHeader* header = m_headers[i].get();
    uint64_t start = header->m_offset;
    uint64_t next = i + 1 < m_headers.size() ? m_headers[i + 1]->m_offset : end;
    bool plain = !header->IsEncrypted();
    uint64_t length = next - start - (plain ? CZipFileHeader::kDescriptorSize : 0);
    if (plain) {
      header->m_flag = static_cast<uint16_t>(header->m_flag & ~8);
      unsigned char fields[12];
      Put16(fields, header->m_flag);
      file->Seek(static_cast<int64_t>(start + 6), CZipAbstractFile::begin);
      file->Write(fields, 2);
      header->GetCrcAndSizes(fields);
      file->Seek(static_cast<int64_t>(start + 14), CZipAbstractFile::begin);
      file->Write(fields, 12);
    }
    for (uint64_t done = 0; done < length;) {
      uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(buffer.size(), length - done));
      file->Seek(static_cast<int64_t>(start + done), CZipAbstractFile::begin);
      if (file->Read(buffer.data(), piece) != piece) Throw(CZipException::kBadZipFile);
      file->Seek(static_cast<int64_t>(start + done - shift), CZipAbstractFile::begin);
      file->Write(buffer.data(), piece);
      done += piece;
    }
    header->m_offset = static_cast<uint32_t>(start - shift);
    if (plain) shift += CZipFileHeader::kDescriptorSize;
  }
  file->SetLength(end - shift);
  file->SeekToEnd();
  m_storage->EndSpan();
}

void CZipCentralDir::WriteHeaders() {
  uint64_t position = m_storage->GetPosition();
  if (position - m_info.bytesBeforeZip >= kFieldLimit) Throw(CZipException::kFileTooLarge);
  m_info.entriesCount = static_cast<uint16_t>(m_headers.size());
  m_info.diskWithCentralDir = static_cast<uint16_t>(m_storage->GetCurrentVolume());
  m_info.offset = static_cast<uint32_t>(position - m_info.bytesBeforeZip);
  uint64_t size = 0;
  int volume = m_storage->GetCurrentVolume();
  m_info.diskEntriesCount = 0;
  for (size_t i = 0; i < m_headers.size(); ++i) {
    size += m_headers[i]->Write(*m_storage);
    if (m_info.offset + size >= kFieldLimit) Throw(CZipException::kFileTooLarge);
    ++m_info.diskEntriesCount;
    if (m_storage->GetCurrentVolume() == volume) continue;
    // The header went to the next volume: the count starts there, and so
    // does the directory when it is the first.
    volume = m_storage->GetCurrentVolume();
    m_info.diskEntriesCount = 1;
    if (i == 0) {
      m_info.offset = 0;
      m_info.diskWithCentralDir = static_cast<uint16_t>(volume);
    }
  }
  m_info.size = static_cast<uint32_t>(size);
}

void CZipCentralDir::WriteEnd() {
  std::string record(kEndSize + m_comment.size(), '\0');
  // Room is made first, so the record names the volume it lands on.
  int volume = m_storage->GetCurrentVolume();
  m_storage->AssureFree(static_cast<uint32_t>(record.size()));
  if (m_storage->GetCurrentVolume() != volume) {
    m_info.diskEntriesCount = 0;
    if (m_info.entriesCount == 0) {
      m_info.diskWithCentralDir = static_cast<uint16_t>(m_storage->GetCurrentVolume());
      m_info.offset = 0;
    }
  }
  unsigned char* p = reinterpret_cast<unsigned char*>(&record[0]);
  m_info.thisDisk = static_cast<uint16_t>(m_storage->GetCurrentVolume());
  Put32(p, kEndSignature);
  Put16(p + 4, m_info.thisDisk);
  Put16(p + 6, m_info.diskWithCentralDir);
  Put16(p + 8, m_info.diskEntriesCount);
  Put16(p + 10, m_info.entriesCount);
  Put32(p + 12, m_info.size);
  Put32(p + 16, m_info.offset);
  Put16(p + 20, static_cast<uint16_t>(m_comment.size()));
  if (!m_comment.empty()) memcpy(p + kEndSize, m_comment.data(), m_comment.size());
  m_storage->Write(record.data(), static_cast<uint32_t>(record.size()), true);
  m_storage->Flush();
}

uint32_t CZipCentralDir::GetSize(bool withHeaders) const {
  uint32_t size = kEndSize + static_cast<uint32_t>(m_comment.size());
  if (withHeaders) {
    for (const std::unique_ptr<CZipFileHeader>& header : m_headers) size += header->GetCentralSize();
  }
  return size;
}

void CZipCentralDir::RemoveHeaders(const std::vector<int>& indexes) {
  for (auto index = indexes.rbegin(); index != indexes.rend(); ++index) {
    m_headers.erase(m_headers.begin() + *index);
  }
  RebuildFindIndex();
}

void CZipCentralDir::CloseCopiedFile() {
  m_openFile->m_offset = static_cast<uint32_t>(m_openFile->m_offset - m_info.bytesBeforeZip);
  m_openFile = nullptr;
}

void CZipCentralDir::ReplaceHeader(int index, const CZipFileHeader& header) {
  *m_headers[index] = header;
  RebuildFindIndex();
}

void CZipCentralDir::RebuildFindIndex() {
  if (m_findArrayEnabled) BuildFindFastArray(m_findArrayCaseSensitive);
}

void CZipCentralDir::BuildFindFastArray(bool caseSensitive) {
  m_findArray.clear();
  m_findArrayCaseSensitive = caseSensitive;
  for (int i = 0; i < GetCount(); ++i) InsertFindFastElement(m_headers[i].get(), i);
}

void CZipCentralDir::InsertFindFastElement(CZipFileHeader* header, int index) {
  std::wstring name = header->GetFileName(m_oemConversion);
  size_t low = 0;
  size_t high = m_findArray.size();
  // An equal name goes in front of the equal one the search meets.
  while (low < high) {
    size_t middle = (low + high) / 2;
    int order = CompareNames(name, m_findArray[middle].name, m_findArrayCaseSensitive);
    if (order == 0) {
      high = middle;
      break;
    }
    if (order > 0) low = middle + 1;
    else high = middle;
  }
  m_findArray.insert(m_findArray.begin() + static_cast<std::ptrdiff_t>(high),
                     CZipFindFast{header, static_cast<uint16_t>(index), name});
}

void CZipCentralDir::RemoveFindFastElement(int index) {
  for (size_t i = 0; i < m_findArray.size(); ++i) {
    if (m_findArray[i].index == index) {
      m_findArray.erase(m_findArray.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

int CZipCentralDir::FindFileNameIndex(const std::wstring& name) const {
  size_t low = 0;
  size_t high = m_findArray.size();
  while (low < high) {
    size_t middle = (low + high) / 2;
    int order = CompareNames(name, m_findArray[middle].name, m_findArrayCaseSensitive);
    if (order == 0) return m_findArray[middle].index;
    if (order > 0) low = middle + 1;
    else high = middle;
  }
  return -1;
}

int CZipCentralDir::FindFile(const std::wstring& name, bool caseSensitive, bool sporadic,
                             bool fileNameOnly) {
  if (!m_findArrayEnabled) {
    m_findArrayEnabled = true;
    BuildFindFastArray(sporadic ? !caseSensitive : caseSensitive);
  }
  if (fileNameOnly) {
    for (const CZipFindFast& entry : m_findArray) {
      if (CompareNames(name, FileNameOf(entry.name), caseSensitive) == 0) return entry.index;
    }
    return -1;
  }
  if (caseSensitive == m_findArrayCaseSensitive) return FindFileNameIndex(name);
  if (sporadic) {
    for (const CZipFindFast& entry : m_findArray) {
      if (CompareNames(name, entry.name, caseSensitive) == 0) return entry.index;
    }
    return -1;
  }
  BuildFindFastArray(caseSensitive);
  return FindFileNameIndex(name);
}
