#pragma once
// zip_archive.h: the archive object the program uses: create an archive or
// open one to append to it, add files deflated with zlib, close it. Entries
// can also be found by name or pattern, extracted, tested, encrypted with the
// traditional cipher, deleted, renamed, replaced and copied between
// archives; archives may be split into volumes or spanned over removable disks.
#include <zlib.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "zip/zip_abstract_file.h"
#include "zip/zip_action_callback.h"
#include "zip/zip_auto_buffer.h"
#include "zip/zip_central_dir.h"
#include "zip/zip_crypto.h"
#include "zip/zip_file_header.h"
#include "zip/zip_storage.h"

// One file to add: from a path, or from a caller's stream.
struct CZipAddFileRequest {
  std::wstring filePath;
  std::wstring fileNameInZip;
  bool fullPath = true;
  int level = -1;
  int smartness = 7;
  int replaceIndex = -1;
  uint32_t bufferSize = 65536;
  CZipAbstractFile* stream = nullptr;
  // A stream that reads a file: that file's attributes and modification
  // time (seconds since 1970) instead of the defaults and the current time.
  bool streamHasFileFacts = false;
  uint32_t streamAttributes = 0;
  int64_t streamModified = 0;
  // The name as UTF-8 under the entry's flag, for a name the code page
  // cannot hold.
  bool utf8Name = false;
};

class CZipArchive {
 public:
  enum OpenMode { zipOpen = 0, zipOpenReadOnly = 1, zipCreate = 2, zipCreateSpan = 3 };
  enum Smartness {
    zipsmCPassDir = 1,
    zipsmCPFile0 = 2,
    zipsmNotCompSmall = 4,
    zipsmCheckForEff = 8,
    zipsmMemoryFlag = 16,
    zipsmSafeSmart = zipsmCPassDir | zipsmCPFile0 | zipsmNotCompSmall,
    zipsmInternal01 = 0xF000,
  };
  // Operations a callback can follow, one bit each.
  enum CallbackType {
    cbAdd = 0x0001,
    cbAddTmp = 0x0002,
    cbAddStore = 0x0004,
    cbExtract = 0x0008,
    cbDeleteCnt = 0x0010,
    cbDelete = 0x0020,
    cbTest = 0x0040,
    cbSave = 0x0080,
    cbGetFromArchive = 0x0100,
    cbRename = 0x0200,
    cbReplace = 0x0400,
    cbAll = 0x07FF,
  };
  enum CloseAfterException { afterExceptionNone = 0, afterExceptionNoWrite = 1, afterExceptionWrite = 2 };

  CZipArchive();
  virtual ~CZipArchive();
  CZipArchive(const CZipArchive&) = delete;
  CZipArchive& operator=(const CZipArchive&) = delete;

  // Raises CZipException when the file can't be opened or is no archive.
  // zipCreateSpan with a volume size writes name.z01, name.z02, ... and the
  // last volume under the name itself (108 past 99 volumes); without one it
  // spans removable disks, each asked for through the span callback (103
  // without one, 107 on a drive that is not removable, 104 when refused).
  void Open(const std::wstring& path, int mode = zipOpen, uint64_t volumeSize = 0);
  void OpenFrom(CZipAbstractFile& file, int mode);
  void Close(int afterException = afterExceptionNone, bool updateTimeStamp = false);
  void Flush();

  // A name the archive's code page can't hold raises CZipException 22
  // before anything is written.
  bool AddFile(const std::wstring& path, int level = -1, bool fullPath = true,
               int smartness = zipsmSafeSmart, uint32_t bufferSize = 65536);
  bool AddFileAs(const std::wstring& path, const std::wstring& nameInZip, int level = -1,
                 int smartness = zipsmSafeSmart, uint32_t bufferSize = 65536);
  bool AddFileFromStream(CZipAbstractFile& stream, const std::wstring& nameInZip, int level = -1,
                         int smartness = zipsmSafeSmart, uint32_t bufferSize = 65536);
  bool AddFileRequest(const CZipAddFileRequest& request);

  // The three steps of writing one entry. `sourcePath`, when not empty,
  // gives the entry the attributes and time of that file.
  bool OpenNewFile(CZipFileHeader& header, int level = -1, const std::wstring& sourcePath = std::wstring(),
                   bool encrypt = true);
  bool WriteNewFile(const void* buffer, uint32_t size);
  bool CloseNewFile(bool afterException = false);

  // Reading an entry: open, read until 0, close (1 success, -1 data left,
  // -2 the extracted file's time or attributes could not be set). An entry
  // whose bytes run into the next one's is refused with 101.
  bool OpenFile(int index);
  uint32_t ReadFile(void* buffer, uint32_t size);
  int CloseFile(bool afterException = false);
  int CloseFile(const std::wstring& extractedPath, bool afterException = false);
  int CloseFile(CZipFile& extracted);
  // The open entry's local extra field; its size alone without a buffer; -1
  // when no entry is open for reading.
  int GetLocalExtraField(char* buffer, int size) const;
  // Reads the entry through and checks its CRC; raises on damage.
  bool TestFile(int index, uint32_t bufferSize = 65536);
  // Writes the entry below `folder` (as `newName` when given). An entry whose
  // name would lead outside the folder is refused with CZipException 101,
  // its detail naming the name and why.
  bool ExtractFile(int index, const std::wstring& folder, bool fullPath = true,
                   const std::wstring& newName = std::wstring(), uint32_t bufferSize = 65536);
  bool ExtractFileTo(int index, CZipAbstractFile& stream, uint32_t bufferSize = 65536);
  // The path ExtractFile would write; raises 101 for a name that is not a
  // plain relative path.
  std::wstring PredictExtractedFileName(const std::wstring& fileNameInZip, const std::wstring& folder,
                                        bool fullPath, const std::wstring& newName = std::wstring()) const;

  // The password in the archive's code page; false, keeping the one set,
  // while an entry is open or when the code page can't hold it.
  bool SetPassword(const std::wstring& password = std::wstring());
  std::wstring GetPassword() const;

  // The entry number of a name, or -1. caseMode: 0 the archive's case
  // sensitivity, 1 case-sensitive, 2 not (1 and 2 keep the sorted index).
  int FindFile(const std::wstring& name, int caseMode = 0, bool fileNameOnly = false);
  // Numbers of the entries whose name (or only file name) matches a pattern
  // of '*', '?', sets "[a-z]" and '\' escapes, appended in archive order.
  void FindMatches(const std::wstring& pattern, std::vector<int>& result, bool fullPath = true);
  // The entry adding `path` would give a name of, or -1.
  int FindFileOfPath(const std::wstring& path, bool fullPath, int caseMode = 0);
  static bool IsPattern(const std::wstring& text);
  // error: -4 an empty set, -3 a set not closed, -2 a range without end, -1 a
  // '\' at the end.
  static bool IsPatternValid(const std::wstring& pattern, int* error = nullptr);
  class CWildcard;

  // Single-file archives only, with no entry open; the directory is written
  // again at close. Entries whose recorded places overlap or leave the data
  // are refused with 101 before any byte moves; a new name the code page
  // can't hold with 22.
  void DeleteFile(int index);
  void DeleteFiles(const std::vector<int>& indexes);
  void DeleteFilesByName(const std::vector<std::wstring>& names);
  bool RenameFile(int index, const std::wstring& newName);

  // Copies an entry's compressed bytes from another open single-file
  // archive, keeping CRC, sizes and flags; with `replaceIndex` >= 0 in place
  // of that entry. Unless `keepSystem`, the entry takes this archive's system.
  bool GetFromArchive(CZipArchive& source, int index, int replaceIndex = -1, bool keepSystem = false,
                      CZipActionCallback* callback = nullptr);
  bool GetFromArchives(CZipArchive& source, std::vector<int> indexes, bool keepSystem = false);
  // Where temporary archives of trial compression and replacing go first.
  void SetTempPath(const std::wstring& path) { m_tempPath = path; }

  int GetCount(bool onlyFiles = false);
  bool GetFileInfo(CZipFileHeader& header, int index);
  bool IsClosed(bool archive = true) const { return m_storage.IsClosed(archive); }
  bool IsReadOnly() const { return m_storage.IsReadOnly(); }
  std::wstring GetArchivePath() const;
  std::string GetGlobalComment() const { return m_centralDir.GetComment(); }
  const CZipCentralDir::CInfo& GetCentralDirInfo() const { return m_centralDir.GetInfo(); }
  int GetSystemCompatibility() const { return m_systemCompatibility; }
  bool SetSystemCompatibility(int system);

  void SetBufferSizes(uint32_t writeBuffer = 65536, uint32_t compressionBuffer = 65536,
                      uint32_t searchBuffer = 32768);
  void SetRootPath(const std::wstring& path);
  const std::wstring& GetRootPath() const { return m_rootPath; }
  void SetAutoFlush(bool autoFlush = true) { m_autoFlush = autoFlush; }
  void SetIgnoreCRC(bool ignore = true) { m_ignoreCrc = ignore; }
  void SetCaseSensitivity(bool caseSensitive) { m_caseSensitive = caseSensitive; }
  // Not owned. Stored under every type bit in `types`; none removes them.
  // Adding and saving the directory do not report yet.
  void SetCallback(CZipActionCallback* callback = nullptr, int types = cbAll);
  void SetConvertOemNames(bool convert) { m_centralDir.m_oemConversion = convert; }
  // Not owned. Called with the bytes needed and a reason (-1 a disk is
  // wanted, -2 the disk already holds the archive's name, -3 it could not
  // be labelled, -4 the file could not be made), its parameter set to the
  // disk's number from 1; false aborts with 104.
  void SetSpanCallback(CZipActionCallback* callback = nullptr) { m_storage.SetChangeVolumeCallback(callback); }
  // Not owned: answers about the drive in place of the system's.
  void SetRemovableDisk(CZipRemovableDisk* disk = nullptr) { m_storage.SetRemovableDisk(disk); }

  // The name adding `path` would give its entry.
  std::wstring PredictFileNameInZip(const std::wstring& path, bool fullPath) const;

 private:
  struct CZipInternalInfo {
    z_stream stream = {};
    bool streamActive = false;
    uint32_t compressedLeft = 0;
    uint32_t uncompressedLeft = 0;
    bool dummyOffered = false;
    uint32_t crc = 0;
    // 64-bit totals of the entry being written: zlib's own wrap at 4 GiB here.
    uint64_t totalIn = 0;
    uint64_t totalOut = 0;
    uint32_t bufferSize = 65536;
    CZipAutoBuffer buffer;
  };

  // After the storage is open: reads the directory of an existing archive.
  void Begin(int mode);
  void CheckForError(int zlibResult);
  // `detail` says what was refused where the code alone would mislead.
  [[noreturn]] void ThrowError(int code, const std::wstring& detail = std::wstring());
  // 101 for an entry name that is not extracted, saying why.
  [[noreturn]] void ThrowUnsafeName(const std::wstring& name, const wchar_t* reason) const;
  void WriteCompressed();
  void CheckEntryLimits();
  void AbandonNewFile(bool cutFile);
  void EndStream();
  void ReleaseEntry();
  void SkipToDescriptorAndCheck(CZipFileHeader& header);
  void ReadEncryptionHeader(const CZipFileHeader& header);
  bool IsEditable() const;
  static constexpr uint64_t kNoLimit = UINT64_MAX;
  // Where the entries' data ends, counted as their offsets are: the
  // directory's start, or the file's end while entries added since opening
  // are not listed there yet.
  uint64_t GetDataEnd();
  // Where entry `index` must end: the next entry's local header, or the
  // directory after the last; in a split archive counted over its volumes
  // end to end. kNoLimit when that is not known (another disk).
  uint64_t GetEntryLimit(int index);
  // The local header's length with its name and extra field; 101 when
  // there is no local header at the entry's offset.
  uint64_t ReadLocalSize(const CZipFileHeader& header);
  // Raises 101 when the entry's bytes, from `start` on, run past `limit`
  // into what follows: records sharing data unpack to far more than the
  // archive holds, and an edit of one would overwrite the other.
  void CheckEntryFits(const CZipFileHeader& header, uint64_t start, uint64_t localSize, uint64_t limit);
  // Where the entries' data ends; raises 101 unless every entry lies whole
  // before the next and inside the data.
  uint64_t CheckEntryPlaces();
  uint64_t CountBytesToMove(const std::vector<int>& sortedList, uint64_t end);
  // Copies `count` bytes within the file, overlapping ranges included.
  // The callback hears of every piece; an abort is not taken in the middle
  // of a move, which would leave the archive broken.
  void MoveData(uint64_t from, uint64_t to, uint64_t count, CZipActionCallback* callback);
  // The callback of a type with its parameter set, or none.
  CZipActionCallback* GetCallback(int type);
  // A callback's abort while reading an entry: 106 when the entry was read
  // to its end and closed cleanly, else 105.
  int EndAbortedReading(CZipActionCallback* callback, CZipFile* extracted);
  bool AddDirectly(const CZipAddFileRequest& request, const std::wstring& path, CZipFileHeader& header, int level,
                   bool encrypt);
  bool AddStored(const CZipAddFileRequest& request, const std::wstring& name, int replaceIndex);
  // Whether the last entry's deflated data is bigger than the file.
  bool LastEntryGrew() const;
  bool AddThroughTemporaryArchive(const CZipAddFileRequest& request, const std::wstring& name, int replaceIndex);
  std::wstring GetTemporaryFileName(uint64_t needed) const;
  // Drops the last entry and cuts the file back to its local header.
  void RemoveLast();
  // Reads the source entry's header and local header; gives the length of
  // its data (with any descriptor) after checking it against the sizes.
  uint64_t PrepareCopy(CZipArchive& source, int index, bool keepSystem, CZipFileHeader& header);
  void CopyData(CZipArchive& source, uint64_t count, CZipActionCallback* callback);
  void WriteCopyInPlace(CZipArchive& source, CZipFileHeader& header, uint64_t dataLength, int replaceIndex,
                        uint64_t end);
  bool ComparePrefix(const std::wstring& text, const std::wstring& prefix) const;
  // Raises 22 when the archive's code page can't hold the name, or when it
  // is not `exact`: read from other bytes than it would be stored as. An
  // entry of a system other than MS-DOS and NTFS takes a name beyond ASCII
  // as UTF-8 under the flag.
  void SetEntryName(CZipFileHeader& header, const std::wstring& name, bool exact = true);
  // Sets bit 11 in the flags of the local header at `localHeader`.
  void WriteLocalUtf8Flag(uint64_t localHeader);
  // Gives an entry of another system `system`, with its attributes and name
  // form; `sourceOem` is how its name was read.
  void TakeIntoArchiveSystem(CZipFileHeader& header, bool sourceOem, int system);

  bool m_caseSensitive = false;
  CZipInternalInfo m_info;
  CZipStorage m_storage;
  CZipCentralDir m_centralDir;
  signed char m_state = 0;
  bool m_autoFlush = false;
  bool m_ignoreCrc = false;
  std::wstring m_rootPath;
  int m_systemCompatibility = 0;
  CZipFileHeader* m_currentHeader = nullptr;
  std::string m_password;
  CZipCrypto m_crypto;
  bool m_encrypting = false;
  std::string m_localExtraField;
  std::wstring m_tempPath;
  std::map<int, CZipActionCallback*> m_callbacks;
};
