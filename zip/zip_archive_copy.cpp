// zip_archive_copy.cpp: copying entries' compressed bytes between archives,
// and the two features built on it: replacing an entry and the trial
// compression that stores a file when deflating would make it bigger.
#include "zip/zip_archive.h"

#include <algorithm>

#include "zip/zip_compatibility.h"
#include "zip/zip_exception.h"
#include "zip/zip_file_system.h"
#include "zip/zip_mem_file.h"

namespace {

constexpr uint64_t kFieldLimit = 0xFFFFFFFF;
constexpr int kMaxEntries = 0xFFFF;
const wchar_t kTempPrefix[] = L"ZAR";

}  // namespace

std::wstring CZipArchive::GetTemporaryFileName(uint64_t needed) const {
  std::vector<std::wstring> folders;
  if (!m_tempPath.empty()) folders.push_back(m_tempPath);
  folders.push_back(ZipFileSystem::TempFolder());
  folders.push_back(ZipFileSystem::CurrentDirectory());
  for (const std::wstring& folder : folders) {
    if (folder.empty() || ZipFileSystem::FreeBytes(folder) < needed) continue;
    std::wstring name = ZipFileSystem::MakeTempFile(folder, kTempPrefix);
    if (!name.empty()) return name;
  }
  return std::wstring();
}

void CZipArchive::RemoveLast() {
  m_centralDir.RemoveFromDisk();
  int last = m_centralDir.GetCount() - 1;
  uint64_t localHeader = m_centralDir[last]->m_offset + m_centralDir.GetInfo().bytesBeforeZip;
  m_centralDir.RemoveHeaders(std::vector<int>(1, last));
  m_storage.File()->SetLength(localHeader);
  m_storage.File()->SeekToEnd();
}

// The temporary archive gets the entry first, so its exact length is known
// before it is copied in; the temporary file goes away on every path.
bool CZipArchive::AddThroughTemporaryArchive(const CZipAddFileRequest& request, const std::wstring& name,
                                             int replaceIndex) {
  uint64_t size = 0;
  if (request.stream != nullptr) size = request.stream->GetLength();
  else if (!ZipFileSystem::PathSize(request.filePath, &size)) return false;
  CZipMemFile memory(1024);
  std::wstring tempName;
  if ((request.smartness & zipsmMemoryFlag) == 0) tempName = GetTemporaryFileName(size);
  // Without room for a temporary file a replacement still goes through
  // memory; trial compression on volumes just adds directly.
  if (tempName.empty() && (request.smartness & zipsmMemoryFlag) == 0 && replaceIndex < 0) {
    CZipAddFileRequest direct = request;
    direct.fileNameInZip = name;
    direct.smartness &= ~zipsmCheckForEff;
    return AddFileRequest(direct);
  }
  CZipArchive temporary;
  bool result = false;
  try {
    if (tempName.empty()) temporary.OpenFrom(memory, zipCreate);
    else temporary.Open(tempName, zipCreate);
    temporary.m_password = m_password;
    temporary.m_systemCompatibility = m_systemCompatibility;
    temporary.m_tempPath = m_tempPath;
    temporary.m_centralDir.m_oemConversion = m_centralDir.m_oemConversion;
    CZipAddFileRequest inner = request;
    inner.fileNameInZip = name;
    inner.smartness = 0;
    inner.replaceIndex = -1;
    if (temporary.AddFileRequest(inner)) {
      if ((request.smartness & zipsmCheckForEff) && temporary.LastEntryGrew()) {
        temporary.Close(afterExceptionNoWrite);
        if (!tempName.empty()) ZipFileSystem::RemoveFile(tempName, false);
        tempName.clear();
        return AddStored(request, name, replaceIndex);
      }
      result = GetFromArchive(temporary, 0, replaceIndex, false, GetCallback(cbAddTmp));
    }
    temporary.Close(afterExceptionNoWrite);
  } catch (...) {
    temporary.Close(afterExceptionNoWrite);
    if (!tempName.empty()) ZipFileSystem::RemoveFile(tempName, false);
    throw;
  }
  if (!tempName.empty()) ZipFileSystem::RemoveFile(tempName, false);
  return result;
}

uint64_t CZipArchive::PrepareCopy(CZipArchive& source, int index, bool keepSystem, CZipFileHeader& header) {
  header = *source.m_centralDir[index];
  uint64_t next = source.GetEntryLimit(index);
  uint64_t localSize = source.ReadLocalSize(header);
  source.CheckEntryFits(header, header.m_offset, localSize, next);
  source.m_storage.File()->Seek(static_cast<int64_t>(localSize - CZipFileHeader::kLocalSize),
                                CZipAbstractFile::current);
  // A copied entry keeps the marks of what its name holds: a UTF-8 name
  // marked MS-DOS would read as OEM text in Info-ZIP.
  int system = ZipCompatibility::EntrySystem(m_systemCompatibility, header.IsUtf8());
  if (!keepSystem && header.GetSystemCompatibility() != system) {
    TakeIntoArchiveSystem(header, source.m_centralDir.m_oemConversion, system);
  }
  return next - header.m_offset - localSize;
}

void CZipArchive::CopyData(CZipArchive& source, uint64_t count, CZipActionCallback* callback) {
  CZipAutoBuffer buffer(m_info.bufferSize);
  while (count > 0) {
    uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(buffer.GetSize(), count));
    source.m_storage.Read(buffer.Data(), piece, false);
    m_storage.Write(buffer.Data(), piece, false);
    count -= piece;
    if (callback != nullptr && !callback->RequestCallback(piece)) {
      callback->CallbackEnd();
      ThrowError(CZipException::kAbortedAction);
    }
  }
}

bool CZipArchive::GetFromArchive(CZipArchive& source, int index, int replaceIndex, bool keepSystem,
                                 CZipActionCallback* callback) {
  if (IsClosed() || source.IsClosed() || m_state != 0 || source.m_state != 0 || &source == this) return false;
  if (source.m_storage.IsSpanMode() != 0 || m_storage.IsSpanMode() == -1 || IsReadOnly()) return false;
  if (!source.m_centralDir.IsValidIndex(index)) return false;
  if (replaceIndex >= 0 && (!m_centralDir.IsValidIndex(replaceIndex) || m_storage.IsSpanMode() != 0)) return false;
  if (replaceIndex < -1) return false;
  CZipFileHeader header;
  uint64_t dataLength = PrepareCopy(source, index, keepSystem, header);
  // Both ways of replacing cut or move bytes of this archive.
  uint64_t end = replaceIndex >= 0 ? CheckEntryPlaces() : 0;
  // The last entry is not replaced in place: it goes, and the copy is appended.
  if (replaceIndex >= 0 && replaceIndex == m_centralDir.GetCount() - 1) {
    RemoveLast();
    replaceIndex = -1;
  }
  if (callback != nullptr) {
    callback->Init(header.GetFileName(m_centralDir.m_oemConversion), std::wstring());
    callback->SetTotal(dataLength);
  }
  if (replaceIndex >= 0) {
    WriteCopyInPlace(source, header, dataLength, replaceIndex, end);
  } else {
    if (m_centralDir.GetCount() >= kMaxEntries) return false;
    uint64_t position = m_storage.GetPosition() - m_centralDir.GetInfo().bytesBeforeZip;
    if (position + header.GetLocalSize() + dataLength >= kFieldLimit) ThrowError(CZipException::kFileTooLarge);
    CZipFileHeader* added = m_centralDir.AddNewFile(header);
    try {
      added->WriteLocal(m_storage);
      // An abort drops the entry, so the archive stays whole.
      CopyData(source, dataLength, callback);
    } catch (...) {
      m_centralDir.RemoveOpenFile(true);
      throw;
    }
    m_centralDir.CloseCopiedFile();
  }
  if (callback != nullptr) callback->CallbackEnd();
  if (m_autoFlush) Flush();
  return true;
}

// The entries behind the replaced one move by the difference in length, as
// deleting moves them; their places were checked, and `end` is where the data ends.
void CZipArchive::WriteCopyInPlace(CZipArchive& source, CZipFileHeader& header, uint64_t dataLength,
                                   int replaceIndex, uint64_t end) {
  uint64_t before = m_centralDir.GetInfo().bytesBeforeZip;
  uint64_t start = m_centralDir[replaceIndex]->m_offset;
  uint64_t next = m_centralDir[replaceIndex + 1]->m_offset;
  int64_t difference = static_cast<int64_t>(header.GetLocalSize() + dataLength) - static_cast<int64_t>(next - start);
  if (static_cast<int64_t>(end) + difference >= static_cast<int64_t>(kFieldLimit)) {
    ThrowError(CZipException::kFileTooLarge);
  }
  CZipActionCallback* mover = GetCallback(cbReplace);
  if (mover != nullptr) {
    mover->Init(header.GetFileName(m_centralDir.m_oemConversion), std::wstring());
    mover->SetTotal(difference != 0 ? end - next : 0);
  }
  m_centralDir.RemoveFromDisk();
  CZipAbstractFile* file = m_storage.File();
  m_info.buffer.Allocate(m_info.bufferSize);
  try {
    if (difference > 0) file->SetLength(before + end + difference);
    MoveData(before + next, before + next + difference, end - next, mover);
    if (difference < 0) file->SetLength(before + end + difference);
  } catch (...) {
    m_info.buffer.Release();
    throw;
  }
  m_info.buffer.Release();
  for (int i = replaceIndex + 1; i < m_centralDir.GetCount(); ++i) {
    m_centralDir[i]->m_offset = static_cast<uint32_t>(m_centralDir[i]->m_offset + difference);
  }
  if (mover != nullptr) mover->CallbackEnd();
  file->Seek(static_cast<int64_t>(before + start), CZipAbstractFile::begin);
  header.WriteLocal(m_storage);
  // The room is made: from here on the copy is not abortable.
  CopyData(source, dataLength, nullptr);
  m_storage.Flush();
  file->SeekToEnd();
  header.m_offset = static_cast<uint32_t>(header.m_offset - before);
  m_centralDir.ReplaceHeader(replaceIndex, header);
}

bool CZipArchive::GetFromArchives(CZipArchive& source, std::vector<int> indexes, bool keepSystem) {
  std::sort(indexes.begin(), indexes.end());
  bool autoFlush = m_autoFlush;
  m_autoFlush = false;
  bool copied = true;
  try {
    for (int index : indexes) {
      copied = GetFromArchive(source, index, -1, keepSystem, GetCallback(cbGetFromArchive)) && copied;
    }
  } catch (...) {
    m_autoFlush = autoFlush;
    throw;
  }
  m_autoFlush = autoFlush;
  if (m_autoFlush) Flush();
  return copied;
}
