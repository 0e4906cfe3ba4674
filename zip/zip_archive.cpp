// zip_archive.cpp: creating and opening archives, adding entries through
// zlib's raw deflate (encrypted when a password is set), and closing with the
// central directory written.
#include "zip/zip_archive.h"

#include <algorithm>

#include "platform/wide_string.h"
#include "zip/zip_compatibility.h"
#include "zip/zip_exception.h"
#include "zip/zip_file.h"
#include "zip/zip_file_system.h"
#include "zip/zip_path_component.h"

namespace {

constexpr int kMaxEntries = 0xFFFF;
// Sizes and offsets are 32-bit fields and all ones means ZIP64 to readers,
// which this library does not write.
constexpr uint64_t kFieldLimit = 0xFFFFFFFF;

std::wstring TrimTrailingSeparators(std::wstring path) {
  while (!path.empty() && CZipPathComponent::IsSeparator(path.back())) path.pop_back();
  return path;
}

// A name made from a path keeps no drive and no part that leads up:
// "..\..\one.txt" is stored as "one.txt" and "a\..\b" as "b", since a name
// that leaves the folder it is extracted to is refused by every careful
// reader, ours too. Windows trims trailing dots and blanks, so ".. " leads
// up too and ". " stays where it is.
std::wstring WithoutParentParts(const std::wstring& name) {
  std::vector<std::wstring> parts;
  for (const std::wstring& part : CZipPathComponent::SplitParts(name)) {
    // A drive left in front by a device path such as "\\.\C:\x".
    bool drive = parts.empty() && part.size() == 2 && part[1] == L':';
    if (part.find_first_not_of(L". ") != std::wstring::npos) {
      if (!drive) parts.push_back(part);
    } else if (part.find(L"..") != std::wstring::npos && !parts.empty()) {
      parts.pop_back();
    }
  }
  std::wstring joined;
  for (const std::wstring& part : parts) joined += (joined.empty() ? L"" : L"\\") + part;
  return joined;
}

}  // namespace

CZipArchive::CZipArchive() { m_centralDir.Init(&m_storage); }

// Writes nothing: an archive not closed keeps no directory of the entries
// added since it was opened. Only zlib's memory is given back.
CZipArchive::~CZipArchive() { EndStream(); }

void CZipArchive::ThrowError(int code, const std::wstring& detail) {
  ThrowZipException(code, IsClosed() ? std::wstring() : m_storage.GetFilePath(), detail);
}

void CZipArchive::CheckForError(int zlibResult) {
  if (zlibResult == Z_OK || zlibResult == Z_NEED_DICT) return;
  ThrowError(CZipException::ZlibToCode(zlibResult));
}

std::wstring CZipArchive::GetArchivePath() const {
  return IsClosed(false) ? std::wstring() : m_storage.GetFilePath();
}

void CZipArchive::Open(const std::wstring& path, int mode, uint64_t volumeSize) {
  if (!IsClosed() || !IsClosed(false)) return;
  m_storage.Open(path, mode, volumeSize);
  Begin(mode);
}

void CZipArchive::OpenFrom(CZipAbstractFile& file, int mode) {
  if (!IsClosed() || !IsClosed(false)) return;
  if (mode != zipOpen && mode != zipOpenReadOnly && mode != zipCreate) return;
  m_storage.OpenFrom(file, mode);
  Begin(mode);
}

void CZipArchive::Begin(int mode) {
  m_state = 0;
  m_centralDir.Init(&m_storage);
  m_systemCompatibility = ZipCompatibility::zcDosFat;
  m_rootPath.clear();
  if (mode != zipOpen && mode != zipOpenReadOnly) return;
  try {
    m_centralDir.Read();
  } catch (...) {
    // Not an archive we can read: the object stays closed.
    m_centralDir.Clear();
    m_storage.Close(true);
    throw;
  }
  // New entries follow the conventions of the archive's first one.
  if (m_centralDir.GetCount() > 0) {
    int system = m_centralDir[0]->GetSystemCompatibility();
    if (ZipCompatibility::IsSystemSupported(system)) m_systemCompatibility = system;
  }
}

void CZipArchive::Close(int afterException, bool updateTimeStamp) {
  if (IsClosed() && (afterException == afterExceptionNone || IsClosed(false))) return;
  if (m_state == -1) CloseFile(true);
  // After an exception the entry being written is dropped; with the
  // directory to be written, its bytes are cut away too.
  if (m_state == 1 && afterException == afterExceptionNoWrite) AbandonNewFile(false);
  if (m_state == 1) CloseNewFile(afterException != afterExceptionNone);
  // Between two disks no file is open, and the directory still goes on the next.
  if (afterException != afterExceptionNoWrite && (!IsClosed(false) || m_storage.IsSpanMode() == 1)) {
    m_centralDir.Write();
  }
  int64_t newest = 0;
  if (updateTimeStamp) {
    for (int i = 0; i < m_centralDir.GetCount(); ++i) newest = std::max(newest, m_centralDir[i]->GetTime());
  }
  m_centralDir.Clear();
  std::wstring path = m_storage.Close(afterException != afterExceptionNone);
  if (updateTimeStamp && !path.empty() && newest != 0) ZipFileSystem::SetPathModTime(path, newest);
}

// A split archive gets its directory once, at close.
void CZipArchive::Flush() {
  if (IsClosed() || m_storage.IsSpanMode() != 0) return;
  m_centralDir.Write();
  m_storage.File()->Flush();
}

int CZipArchive::FindFile(const std::wstring& name, int caseMode, bool fileNameOnly) {
  if (IsClosed()) return -1;
  bool caseSensitive = caseMode == 0 ? m_caseSensitive : caseMode == 1;
  return m_centralDir.FindFile(name, caseSensitive, caseMode != 0, fileNameOnly);
}

int CZipArchive::GetCount(bool onlyFiles) {
  if (!onlyFiles) return m_centralDir.GetCount();
  int count = 0;
  for (int i = 0; i < m_centralDir.GetCount(); ++i) {
    if (!m_centralDir[i]->IsDirectory()) ++count;
  }
  return count;
}

bool CZipArchive::GetFileInfo(CZipFileHeader& header, int index) {
  if (IsClosed() || !m_centralDir.IsValidIndex(index)) return false;
  header = *m_centralDir[index];
  return true;
}

void CZipArchive::SetCallback(CZipActionCallback* callback, int types) {
  for (int type = cbAdd; type <= cbReplace; type <<= 1) {
    if ((types & type) == 0) continue;
    if (callback != nullptr) m_callbacks[type] = callback;
    else m_callbacks.erase(type);
  }
}

CZipActionCallback* CZipArchive::GetCallback(int type) {
  auto found = m_callbacks.find(type);
  if (found == m_callbacks.end()) return nullptr;
  found->second->m_param = type;
  return found->second;
}

bool CZipArchive::SetSystemCompatibility(int system) {
  if (IsClosed() || m_state == 1 || !ZipCompatibility::IsSystemSupported(system)) return false;
  m_systemCompatibility = system;
  return true;
}

void CZipArchive::SetBufferSizes(uint32_t writeBuffer, uint32_t compressionBuffer, uint32_t searchBuffer) {
  if (!IsClosed()) return;
  m_storage.SetWriteBufferSize(writeBuffer);
  m_info.bufferSize = std::max<uint32_t>(compressionBuffer, 1024);
  m_centralDir.m_searchBufferSize = std::max<uint32_t>(searchBuffer, 1024);
}

void CZipArchive::SetRootPath(const std::wstring& path) {
  if (IsClosed() || m_state != 0) return;
  m_rootPath = TrimTrailingSeparators(path);
}

bool CZipArchive::ComparePrefix(const std::wstring& text, const std::wstring& prefix) const {
  if (text.size() < prefix.size()) return false;
  std::wstring head = text.substr(0, prefix.size());
  return m_caseSensitive ? head == prefix : EqualsNoCase(head, prefix);
}

std::wstring CZipArchive::PredictFileNameInZip(const std::wstring& path, bool fullPath) const {
  std::wstring source = TrimTrailingSeparators(path);
  CZipPathComponent component(source);
  if (fullPath) return WithoutParentParts(component.GetNoDrive());
  if (!m_rootPath.empty() && ComparePrefix(source, m_rootPath)) {
    if (source.size() == m_rootPath.size()) return std::wstring();
    if (CZipPathComponent::IsSeparator(source[m_rootPath.size()])) {
      return WithoutParentParts(source.substr(m_rootPath.size()));
    }
  }
  return WithoutParentParts(component.GetFileName());
}

// New entries of MS-DOS and NTFS get no UTF-8 names: a name the code page
// can't hold would be stored with '?' in it and could not be found or
// extracted again. In an entry of another system no reader but ours takes
// code-page bytes as we meant them, so a name beyond ASCII goes as UTF-8.
void CZipArchive::SetEntryName(CZipFileHeader& header, const std::wstring& name, bool exact) {
  if (!ZipCompatibility::ReadsCodePageNames(header.GetSystemCompatibility()) &&
      std::any_of(name.begin(), name.end(), [](wchar_t c) { return c > 0x7F; })) {
    header.m_flag |= CZipFileHeader::kUtf8Flag;
  }
  if (exact && header.SetFileName(name, m_centralDir.m_oemConversion)) return;
  ThrowError(CZipException::kInvalidArgument,
             Format(L"the name %s holds characters the archive's code page cannot store",
                    CZipException::Quote(name).c_str()));
}

// The name is stored again as entries of `system` store theirs (the same
// UTF-8 under the flag). One that did not read exactly from its old
// bytes, such as an OEM character missing from the ANSI page, would come
// out renamed: it is refused like one the new form can't hold.
void CZipArchive::TakeIntoArchiveSystem(CZipFileHeader& header, bool sourceOem, int system) {
  std::wstring name = header.GetFileName(sourceOem);
  bool exact = header.IsNameExact(sourceOem);
  uint32_t attributes = header.GetSystemAttr();
  header.SetSystemCompatibility(system);
  SetEntryName(header, name, exact);
  header.SetSystemAttr(attributes);
}

bool CZipArchive::AddFile(const std::wstring& path, int level, bool fullPath, int smartness,
                          uint32_t bufferSize) {
  CZipAddFileRequest request;
  request.filePath = path;
  request.fullPath = fullPath;
  request.level = level;
  request.smartness = smartness;
  request.bufferSize = bufferSize;
  return AddFileRequest(request);
}

bool CZipArchive::AddFileAs(const std::wstring& path, const std::wstring& nameInZip, int level,
                            int smartness, uint32_t bufferSize) {
  CZipAddFileRequest request;
  request.filePath = path;
  request.fileNameInZip = nameInZip;
  request.level = level;
  request.smartness = smartness;
  request.bufferSize = bufferSize;
  return AddFileRequest(request);
}

bool CZipArchive::AddFileFromStream(CZipAbstractFile& stream, const std::wstring& nameInZip,
                                    int level, int smartness, uint32_t bufferSize) {
  CZipAddFileRequest request;
  request.fileNameInZip = nameInZip;
  request.level = level;
  request.smartness = smartness;
  request.bufferSize = bufferSize;
  request.stream = &stream;
  return AddFileRequest(request);
}

bool CZipArchive::AddFileRequest(const CZipAddFileRequest& request) {
  if (request.bufferSize == 0 || IsClosed()) return false;
  std::wstring path = TrimTrailingSeparators(request.filePath);
  if (path.empty() && request.stream == nullptr) return false;
  std::wstring name = request.fileNameInZip;
  if (name.empty()) name = PredictFileNameInZip(path, request.fullPath);
  int replaceIndex = request.replaceIndex;
  if (replaceIndex == -2) replaceIndex = FindFile(name);
  if (replaceIndex < -1) return false;

  uint32_t attributes = CZipFileHeader::kDefaultFileAttributes;
  int64_t modified = ZipFileSystem::Now();
  if (request.stream == nullptr) {
    if (!ZipFileSystem::PathAttributes(path, &attributes)) return false;
    if (!ZipFileSystem::PathModTime(path, &modified)) modified = ZipFileSystem::Now();
  } else if (request.streamHasFileFacts) {
    attributes = request.streamAttributes;
    modified = request.streamModified;
  }
  CZipFileHeader header;
  if (request.utf8Name) header.m_flag |= CZipFileHeader::kUtf8Flag;
  header.SetSystemCompatibility(ZipCompatibility::EntrySystem(m_systemCompatibility, request.utf8Name));
  header.SetSystemAttr(attributes | ZipCompatibility::DosToUnix(attributes));
  header.SetTime(modified);
  SetEntryName(header, name);

  if (header.IsDirectory()) {
    bool opened = OpenNewFile(header, 0, std::wstring(), (request.smartness & zipsmCPassDir) == 0);
    CloseNewFile();
    return opened;
  }
  int level = request.level;
  uint64_t size = 0;
  bool known = request.stream != nullptr ? (size = request.stream->GetLength(), true)
                                         : ZipFileSystem::PathSize(path, &size);
  if ((request.smartness & zipsmNotCompSmall) && level != 0 && known && size < 5) level = 0;
  bool encrypt = !((request.smartness & zipsmCPFile0) && known && size == 0);
  bool trial = (request.smartness & zipsmCheckForEff) != 0 && level != 0;
  if (replaceIndex >= 0 || (trial && m_storage.IsSpanMode() == 1)) {
    CZipAddFileRequest detour = request;
    detour.level = level;
    return AddThroughTemporaryArchive(detour, name, replaceIndex);
  }
  bool added = AddDirectly(request, path, header, level, encrypt);
  if (!added || !trial || m_storage.IsSpanMode() != 0 || !LastEntryGrew()) return added;
  // Deflating made the file bigger: it is stored instead.
  RemoveLast();
  return AddStored(request, name, -1);
}

bool CZipArchive::AddDirectly(const CZipAddFileRequest& request, const std::wstring& path, CZipFileHeader& header,
                              int level, bool encrypt) {
  CZipFile sourceFile;
  CZipAbstractFile* source = request.stream;
  if (source == nullptr) {
    if (!sourceFile.Open(path, CZipAbstractFile::modeRead | CZipAbstractFile::shareDenyNone, false)) {
      return false;
    }
    source = &sourceFile;
  } else {
    source->SeekToBegin();
  }
  if (!OpenNewFile(header, level, std::wstring(), encrypt)) return false;
  try {
    CZipAutoBuffer buffer(request.bufferSize);
    uint32_t read;
    do {
      read = source->Read(buffer.Data(), request.bufferSize);
      if (read != 0) WriteNewFile(buffer.Data(), read);
    } while (read == request.bufferSize);
    CloseNewFile();
  } catch (...) {
    // A half-written entry is dropped, so the archive still closes whole.
    if (m_state == 1) CloseNewFile(true);
    throw;
  }
  return true;
}

bool CZipArchive::LastEntryGrew() const {
  const CZipFileHeader* last = m_centralDir.GetHeader(m_centralDir.GetCount() - 1);
  uint32_t compressed = last->m_compressedSize - (last->IsEncrypted() ? CZipCrypto::kHeaderSize : 0);
  return last->m_method != 0 && compressed > last->m_uncompressedSize;
}

// The internal mark keeps the stored add from trying compression again.
bool CZipArchive::AddStored(const CZipAddFileRequest& request, const std::wstring& name, int replaceIndex) {
  CZipAddFileRequest stored = request;
  stored.fileNameInZip = name;
  stored.level = 0;
  stored.smartness = zipsmInternal01;
  stored.replaceIndex = replaceIndex;
  return AddFileRequest(stored);
}

bool CZipArchive::OpenNewFile(CZipFileHeader& header, int level, const std::wstring& sourcePath, bool encrypt) {
  if (IsClosed() || m_state != 0 || m_storage.IsSpanMode() == -1) return false;
  if (m_centralDir.GetCount() >= kMaxEntries) return false;
  if (!sourcePath.empty()) {
    uint32_t attributes = 0;
    if (!ZipFileSystem::PathAttributes(sourcePath, &attributes)) return false;
    int64_t modified = 0;
    if (!ZipFileSystem::PathModTime(sourcePath, &modified)) modified = ZipFileSystem::Now();
    header.SetTime(modified);
    header.SetSystemAttr(attributes | ZipCompatibility::DosToUnix(attributes));
  }
  int system = ZipCompatibility::EntrySystem(m_systemCompatibility, header.IsUtf8());
  if (header.GetSystemCompatibility() != system) TakeIntoArchiveSystem(header, m_centralDir.m_oemConversion, system);
  if (header.GetRawFileName().empty()) {
    header.SetFileName(Format(L"file%i", m_centralDir.GetCount()), m_centralDir.m_oemConversion);
  }
  if (header.IsDirectory()) {
    std::string name = header.GetRawFileName();
    if (name.back() != '/') header.SetRawFileName(name + '/');
    // A directory holds no data: stored, so the local header says the same
    // method as the central one.
    level = 0;
  }
  if (level < -1 || level > 9) level = -1;
  m_encrypting = encrypt && !m_password.empty();
  if (!header.PrepareData(level, m_storage.IsSpanMode() == 1, m_encrypting)) {
    ThrowError(CZipException::kTooLongFileName);
  }
  m_currentHeader = m_centralDir.AddNewFile(header);
  m_state = 1;
  m_info.totalIn = 0;
  m_info.totalOut = 0;
  m_info.crc = 0;
  try {
    m_info.buffer.Allocate(m_info.bufferSize);
    CheckEntryLimits();
    m_currentHeader->WriteLocal(m_storage);
    if (m_encrypting) {
      unsigned char bytes[CZipCrypto::kHeaderSize];
      if (!m_crypto.MakeHeader(m_password, m_currentHeader->m_modTime, bytes)) {
        ThrowError(CZipException::kGeneric);
      }
      m_storage.Write(bytes, CZipCrypto::kHeaderSize, true);
    }
    m_info.stream = z_stream();
    m_info.stream.next_out = m_info.buffer.Data();
    m_info.stream.avail_out = m_info.buffer.GetSize();
    if (m_currentHeader->m_method == 8) {
      CheckForError(deflateInit2(&m_info.stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY));
      m_info.streamActive = true;
    }
  } catch (...) {
    CloseNewFile(true);
    throw;
  }
  return true;
}

// Refuses what would not fit the 32-bit fields, dropping the entry so the
// archive stays whole.
void CZipArchive::CheckEntryLimits() {
  uint64_t position = m_storage.GetPosition() - m_centralDir.GetInfo().bytesBeforeZip;
  uint64_t compressed = m_info.totalOut + (m_encrypting ? CZipCrypto::kHeaderSize : 0);
  if (m_info.totalIn < kFieldLimit && compressed < kFieldLimit && position < kFieldLimit) return;
  CloseNewFile(true);
  ThrowError(CZipException::kFileTooLarge);
}

void CZipArchive::WriteCompressed() {
  uint32_t pending = m_info.buffer.GetSize() - m_info.stream.avail_out;
  if (pending != 0) {
    if (m_encrypting) m_crypto.Encode(m_info.buffer.Data(), pending);
    m_storage.Write(m_info.buffer.Data(), pending, false);
    m_info.totalOut += pending;
  }
  m_info.stream.next_out = m_info.buffer.Data();
  m_info.stream.avail_out = m_info.buffer.GetSize();
  CheckEntryLimits();
}

bool CZipArchive::WriteNewFile(const void* buffer, uint32_t size) {
  if (m_state != 1) return false;
  m_info.totalIn += size;
  CheckEntryLimits();
  m_info.crc = crc32(m_info.crc, static_cast<const Bytef*>(buffer), size);
  z_stream& stream = m_info.stream;
  stream.next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
  stream.avail_in = size;
  while (stream.avail_in > 0) {
    if (stream.avail_out == 0) WriteCompressed();
    if (m_currentHeader->m_method == 8) {
      CheckForError(deflate(&stream, Z_NO_FLUSH));
    } else {
      uint32_t piece = std::min(stream.avail_in, stream.avail_out);
      std::copy(stream.next_in, stream.next_in + piece, stream.next_out);
      stream.next_in += piece;
      stream.avail_in -= piece;
      stream.next_out += piece;
      stream.avail_out -= piece;
    }
  }
  return true;
}

bool CZipArchive::CloseNewFile(bool afterException) {
  if (m_state != 1) return false;
  if (afterException) {
    AbandonNewFile(true);
    return true;
  }
  if (m_currentHeader->m_method == 8) {
    int result;
    do {
      if (m_info.stream.avail_out == 0) WriteCompressed();
      result = deflate(&m_info.stream, Z_FINISH);
    } while (result == Z_OK);
    if (result != Z_STREAM_END) CheckForError(result);
  }
  WriteCompressed();
  EndStream();
  m_currentHeader->m_crc32 = m_info.crc;
  m_currentHeader->m_compressedSize += static_cast<uint32_t>(m_info.totalOut);
  m_currentHeader->m_uncompressedSize = static_cast<uint32_t>(m_info.totalIn);
  m_centralDir.CloseNewFile();
  ReleaseEntry();
  if (m_autoFlush) Flush();
  return true;
}

void CZipArchive::AbandonNewFile(bool cutFile) {
  try {
    m_centralDir.RemoveOpenFile(cutFile);
  } catch (CZipException* error) {
    // The entry has left the directory already; bytes that could not be
    // cut away stay as unused space the directory does not point at.
    delete error;
  }
  ReleaseEntry();
}

void CZipArchive::EndStream() {
  if (!m_info.streamActive) return;
  if (m_state == 1) deflateEnd(&m_info.stream);
  else inflateEnd(&m_info.stream);
  m_info.streamActive = false;
}

void CZipArchive::ReleaseEntry() {
  EndStream();
  m_state = 0;
  m_currentHeader = nullptr;
  m_info.buffer.Release();
}
