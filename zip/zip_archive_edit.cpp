// zip_archive_edit.cpp: deleting and renaming entries of a single-file
// archive in place: the data behind them is moved and their recorded
// offsets follow; the directory is written again at close.
#include "zip/zip_archive.h"

#include <algorithm>

#include "platform/wide_string.h"
#include "zip/zip_exception.h"
#include "zip/zip_path_component.h"

namespace {

constexpr uint64_t kFieldLimit = 0xFFFFFFFF;
constexpr uint32_t kFlagOffset = 6;
constexpr uint32_t kNameLengthOffset = 26;

}  // namespace

bool CZipArchive::IsEditable() const {
  return !IsClosed() && m_state == 0 && m_storage.IsSpanMode() == 0 && !IsReadOnly();
}

uint64_t CZipArchive::GetDataEnd() {
  m_storage.Flush();
  const CZipCentralDir::CInfo& info = m_centralDir.GetInfo();
  uint64_t length = m_storage.File()->GetLength();
  if (length < info.bytesBeforeZip) ThrowError(CZipException::kBadZipFile);
  uint64_t end = info.onDisk ? info.offset : length - info.bytesBeforeZip;
  if (info.bytesBeforeZip + end > length) ThrowError(CZipException::kBadZipFile);
  return end;
}

uint64_t CZipArchive::GetEntryLimit(int index) {
  bool last = index + 1 == m_centralDir.GetCount();
  if (m_storage.IsSpanMode() == 0) {
    uint64_t end = GetDataEnd();
    uint64_t next = last ? end : m_centralDir[index + 1]->m_offset;
    if (next > end) ThrowError(CZipException::kBadZipFile);
    return next;
  }
  // The volumes' entries and directory follow one another as in a single
  // file, an entry's data running on from one volume into the next.
  const CZipCentralDir::CInfo& info = m_centralDir.GetInfo();
  int volume = last ? info.diskWithCentralDir : m_centralDir[index + 1]->m_diskStart;
  uint64_t offset = last ? info.offset : m_centralDir[index + 1]->m_offset;
  uint64_t limit = 0;
  return m_storage.GetStreamPosition(volume, offset, &limit) ? limit : kNoLimit;
}

uint64_t CZipArchive::ReadLocalSize(const CZipFileHeader& header) {
  m_storage.File()->Seek(static_cast<int64_t>(m_centralDir.GetInfo().bytesBeforeZip + header.m_offset),
                         CZipAbstractFile::begin);
  unsigned char local[CZipFileHeader::kLocalSize];
  m_storage.Read(local, sizeof local, true);
  if (local[0] != 0x50 || local[1] != 0x4B || local[2] != 3 || local[3] != 4) ThrowError(CZipException::kBadZipFile);
  return CZipFileHeader::kLocalSize + (local[26] | (local[27] << 8)) + (local[28] | (local[29] << 8));
}

// The compressed size counts an encryption header; a descriptor takes at
// least 12 bytes behind the data.
void CZipArchive::CheckEntryFits(const CZipFileHeader& header, uint64_t start, uint64_t localSize, uint64_t limit) {
  uint64_t end = start + localSize + header.m_compressedSize + (header.IsDataDescriptor() ? 12 : 0);
  if (end <= limit) return;
  ThrowError(CZipException::kBadZipFile,
             Format(L"the entry %s overlaps the entry or directory behind it",
                    CZipException::Quote(header.GetFileName(m_centralDir.m_oemConversion)).c_str()));
}

// Offsets and sizes come from the archive: a crafted one must not turn into
// a move of a wrapped, huge count or a write over another entry's bytes.
// Every entry is checked, as one lying across the edited one is cut too.
uint64_t CZipArchive::CheckEntryPlaces() {
  uint64_t end = GetDataEnd();
  int count = m_centralDir.GetCount();
  for (int i = 0; i < count; ++i) {
    const CZipFileHeader* header = m_centralDir[i];
    uint64_t next = i + 1 < count ? m_centralDir[i + 1]->m_offset : end;
    if (header->m_diskStart != 0 || next > end) ThrowError(CZipException::kBadZipFile);
    CheckEntryFits(*header, header->m_offset, ReadLocalSize(*header), next);
  }
  return end;
}

void CZipArchive::MoveData(uint64_t from, uint64_t to, uint64_t count, CZipActionCallback* callback) {
  if (from == to || count == 0) return;
  CZipAbstractFile* file = m_storage.File();
  unsigned char* buffer = m_info.buffer.Data();
  uint64_t done = 0;
  while (done < count) {
    uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(m_info.buffer.GetSize(), count - done));
    // Downwards the pieces go front to back, upwards back to front, so no
    // piece overwrites bytes still to be read.
    uint64_t at = to < from ? done : count - done - piece;
    file->Seek(static_cast<int64_t>(from + at), CZipAbstractFile::begin);
    m_storage.Read(buffer, piece, false);
    file->Seek(static_cast<int64_t>(to + at), CZipAbstractFile::begin);
    file->Write(buffer, piece);
    done += piece;
    if (callback != nullptr) callback->RequestCallback(piece);
  }
}

void CZipArchive::DeleteFile(int index) { DeleteFiles(std::vector<int>(1, index)); }

void CZipArchive::DeleteFilesByName(const std::vector<std::wstring>& names) {
  if (!IsEditable()) return;
  std::vector<int> indexes;
  for (const std::wstring& name : names) {
    int index = FindFile(name);
    if (index >= 0) indexes.push_back(index);
  }
  DeleteFiles(indexes);
}

void CZipArchive::DeleteFiles(const std::vector<int>& indexes) {
  if (!IsEditable()) return;
  // Whether every entry goes is judged on distinct valid numbers.
  std::vector<int> list;
  for (int index : indexes) {
    if (m_centralDir.IsValidIndex(index)) list.push_back(index);
  }
  std::sort(list.begin(), list.end());
  list.erase(std::unique(list.begin(), list.end()), list.end());
  if (list.empty()) return;
  uint64_t before = m_centralDir.GetInfo().bytesBeforeZip;
  CZipActionCallback* deleter = GetCallback(cbDelete);
  if (static_cast<int>(list.size()) == m_centralDir.GetCount()) {
    if (deleter != nullptr) {
      deleter->Init(std::wstring(), std::wstring());
      deleter->SetTotal(list.size());
    }
    m_centralDir.RemoveFromDisk();
    m_storage.File()->SetLength(before);
    m_centralDir.RemoveHeaders(list);
    if (deleter != nullptr) deleter->CallbackEnd();
    if (m_autoFlush) Flush();
    return;
  }
  uint64_t end = CheckEntryPlaces();
  uint64_t toMove = CountBytesToMove(list, end);
  // Fetched again: one object may follow both steps, its parameter saying which.
  deleter = GetCallback(cbDelete);
  if (deleter != nullptr) {
    deleter->Init(std::wstring(), std::wstring());
    deleter->SetTotal(toMove);
  }
  m_centralDir.RemoveFromDisk();
  m_info.buffer.Allocate(m_info.bufferSize);
  uint64_t shift = 0;
  uint64_t blockStart = 0;
  bool pending = false;
  size_t listed = 0;
  try {
    for (int i = list[0]; i < m_centralDir.GetCount(); ++i) {
      CZipFileHeader* header = m_centralDir[i];
      uint64_t offset = header->m_offset;
      uint64_t next = i + 1 < m_centralDir.GetCount() ? m_centralDir[i + 1]->m_offset : end;
      if (listed < list.size() && list[listed] == i) {
        ++listed;
        if (pending) MoveData(before + blockStart, before + blockStart - shift, offset - blockStart, deleter);
        pending = false;
        shift += next - offset;
      } else {
        if (!pending) blockStart = offset;
        pending = true;
        header->m_offset = static_cast<uint32_t>(offset - shift);
      }
    }
    if (pending) MoveData(before + blockStart, before + blockStart - shift, end - blockStart, deleter);
  } catch (...) {
    m_info.buffer.Release();
    throw;
  }
  m_info.buffer.Release();
  m_storage.File()->SetLength(before + end - shift);
  m_storage.File()->SeekToEnd();
  m_centralDir.RemoveHeaders(list);
  if (deleter != nullptr) deleter->CallbackEnd();
  if (m_autoFlush) Flush();
}

// The kept entries' bytes, counted while the count callback may still
// abort: nothing has moved yet.
uint64_t CZipArchive::CountBytesToMove(const std::vector<int>& list, uint64_t end) {
  CZipActionCallback* counter = GetCallback(cbDeleteCnt);
  int count = m_centralDir.GetCount();
  if (counter != nullptr) {
    counter->Init(std::wstring(), std::wstring());
    counter->SetTotal(static_cast<uint64_t>(count - list[0]));
  }
  uint64_t total = 0;
  size_t listed = 0;
  for (int i = list[0]; i < count; ++i) {
    uint64_t next = i + 1 < count ? m_centralDir[i + 1]->m_offset : end;
    if (listed < list.size() && list[listed] == i) ++listed;
    else total += next - m_centralDir[i]->m_offset;
    if (counter != nullptr && (i - list[0] + 1) % 256 == 0 && !counter->RequestCallback(256)) {
      counter->CallbackEnd();
      ThrowError(CZipException::kAbortedSafely);
    }
  }
  if (counter != nullptr) counter->CallbackEnd();
  return total;
}

bool CZipArchive::RenameFile(int index, const std::wstring& newName) {
  if (!IsEditable() || !m_centralDir.IsValidIndex(index)) return false;
  CZipFileHeader* header = m_centralDir[index];
  std::wstring name = newName;
  while (!name.empty() && CZipPathComponent::IsSeparator(name.back())) name.pop_back();
  if (name.empty()) return false;
  if (header->IsDirectory()) name += L'\\';
  // Compared with case: a rename that only changes letter case must happen.
  if (name == header->GetFileName(m_centralDir.m_oemConversion)) return true;
  CZipFileHeader renamed(*header);
  SetEntryName(renamed, name);
  std::string raw = renamed.GetRawFileName();
  if (raw.size() > 0xFFFF) return false;
  // A name that became UTF-8 (see SetEntryName) says so in both headers.
  bool utf8Now = renamed.IsUtf8() && !header->IsUtf8();

  uint64_t end = CheckEntryPlaces();
  uint64_t before = m_centralDir.GetInfo().bytesBeforeZip;
  uint64_t local = before + header->m_offset;
  CZipAbstractFile* file = m_storage.File();
  unsigned char field[2];
  file->Seek(static_cast<int64_t>(local + kNameLengthOffset), CZipAbstractFile::begin);
  m_storage.Read(field, 2, false);
  uint64_t oldLength = field[0] | (field[1] << 8);
  uint64_t tail = local + CZipFileHeader::kLocalSize + oldLength;
  int64_t difference = static_cast<int64_t>(raw.size()) - static_cast<int64_t>(oldLength);
  if (tail > before + end) ThrowError(CZipException::kBadZipFile);
  if (static_cast<int64_t>(end) + difference >= static_cast<int64_t>(kFieldLimit)) {
    ThrowError(CZipException::kFileTooLarge);
  }

  CZipActionCallback* callback = GetCallback(cbRename);
  if (callback != nullptr) {
    callback->Init(header->GetFileName(m_centralDir.m_oemConversion), name);
    callback->SetTotal(difference != 0 ? before + end - tail : 0);
  }
  m_centralDir.RemoveFromDisk();
  m_info.buffer.Allocate(m_info.bufferSize);
  try {
    uint64_t count = before + end - tail;
    // The file grows before the bytes move up, and shrinks after they move down.
    if (difference > 0) file->SetLength(before + end + difference);
    MoveData(tail, tail + difference, count, callback);
    if (difference < 0) file->SetLength(before + end + difference);
    field[0] = static_cast<unsigned char>(raw.size());
    field[1] = static_cast<unsigned char>(raw.size() >> 8);
    file->Seek(static_cast<int64_t>(local + kNameLengthOffset), CZipAbstractFile::begin);
    file->Write(field, 2);
    file->Seek(static_cast<int64_t>(local + CZipFileHeader::kLocalSize), CZipAbstractFile::begin);
    if (!raw.empty()) file->Write(raw.data(), static_cast<uint32_t>(raw.size()));
    if (utf8Now) WriteLocalUtf8Flag(local);
    file->SeekToEnd();
  } catch (...) {
    m_info.buffer.Release();
    throw;
  }
  m_info.buffer.Release();
  for (int i = index + 1; i < m_centralDir.GetCount(); ++i) {
    m_centralDir[i]->m_offset = static_cast<uint32_t>(m_centralDir[i]->m_offset + difference);
  }
  header->SetRawFileName(raw);
  header->m_flag = renamed.m_flag;
  m_centralDir.RebuildFindIndex();
  if (callback != nullptr) callback->CallbackEnd();
  if (m_autoFlush) Flush();
  return true;
}

void CZipArchive::WriteLocalUtf8Flag(uint64_t localHeader) {
  CZipAbstractFile* file = m_storage.File();
  unsigned char field[2];
  file->Seek(static_cast<int64_t>(localHeader + kFlagOffset), CZipAbstractFile::begin);
  m_storage.Read(field, 2, false);
  field[1] |= CZipFileHeader::kUtf8Flag >> 8;
  file->Seek(static_cast<int64_t>(localHeader + kFlagOffset), CZipAbstractFile::begin);
  file->Write(field, 2);
}
