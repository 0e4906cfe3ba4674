#pragma once
// zip_central_dir.h: the archive's table of entries: finding and reading the
// end record and central directory of an existing archive, adding headers for
// new entries, completing their CRC and sizes after the data, writing the
// whole directory with its end record, and finding entries by name.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zip/zip_file_header.h"

class CZipStorage;

class CZipCentralDir {
 public:
  static constexpr uint32_t kEndSignature = 0x06054B50;
  static constexpr uint32_t kEndSize = 22;
  // The end record with the longest comment it can carry.
  static constexpr uint32_t kMaxEndSearch = kEndSize + 0xFFFF;

  struct CInfo {
    uint64_t endPosition = 0;
    uint64_t bytesBeforeZip = 0;
    uint16_t thisDisk = 0;
    uint16_t diskWithCentralDir = 0;
    uint16_t diskEntriesCount = 0;
    uint16_t entriesCount = 0;
    uint32_t size = 0;
    uint32_t offset = 0;
    // The directory read from the file (or last written) is still intact there.
    bool onDisk = false;
  };

  CZipCentralDir() = default;
  virtual ~CZipCentralDir() = default;
  CZipCentralDir(const CZipCentralDir&) = delete;
  CZipCentralDir& operator=(const CZipCentralDir&) = delete;

  void Init(CZipStorage* storage);
  // Forgets the open entry; with `deleteHeaders` also every header and the comment.
  void Clear(bool deleteHeaders = true);
  void Read();
  // A new header made from the template, appended and open; the old
  // directory is cut away and the file positioned at its end.
  CZipFileHeader* AddNewFile(const CZipFileHeader& header);
  void RemoveFromDisk();
  // Completes the open entry's CRC and sizes on disk and closes it.
  void CloseNewFile();
  // Drops the open entry (the last header); with `cutFile` the file is also
  // cut back to its local header, as if the entry had never been started.
  void RemoveOpenFile(bool cutFile);
  void Write();
  uint32_t GetSize(bool withHeaders) const;
  // Drops the headers of the given entry numbers (ascending, distinct);
  // the find index renumbers the rest.
  void RemoveHeaders(const std::vector<int>& indexes);
  // After a header's name changed.
  void RebuildFindIndex();
  // Ends an entry whose data and descriptor were copied raw.
  void CloseCopiedFile();
  void ReplaceHeader(int index, const CZipFileHeader& header);

  // The entry number of a name in host form, or -1. `sporadic` asks with
  // the other case sensitivity without rebuilding the sorted index;
  // `fileNameOnly` compares with the part after the last separator.
  int FindFile(const std::wstring& name, bool caseSensitive, bool sporadic, bool fileNameOnly);

  bool IsValidIndex(int index) const { return index >= 0 && index < static_cast<int>(m_headers.size()); }
  int GetCount() const { return static_cast<int>(m_headers.size()); }
  CZipFileHeader* operator[](int index) { return m_headers[index].get(); }
  const CZipFileHeader* GetHeader(int index) const { return m_headers[index].get(); }
  CZipFileHeader* GetOpenFile() { return m_openFile; }
  const CInfo& GetInfo() const { return m_info; }
  const std::string& GetComment() const { return m_comment; }

  bool m_oemConversion = true;
  uint32_t m_searchBufferSize = 32768;

 private:
  // One entry of the index sorted by name.
  struct CZipFindFast {
    CZipFileHeader* header;
    uint16_t index;
    std::wstring name;
  };

  void BuildFindFastArray(bool caseSensitive);
  void InsertFindFastElement(CZipFileHeader* header, int index);
  void RemoveFindFastElement(int index);
  int FindFileNameIndex(const std::wstring& name) const;
  uint64_t Locate();
  void ReadHeaders();
  void PrepareSpanDirectory();
  void ConvertToSingleFile();
  void WriteHeaders();
  void WriteEnd();
  [[noreturn]] void Throw(int code) const;

  CZipStorage* m_storage = nullptr;
  std::string m_comment;
  CZipFileHeader* m_openFile = nullptr;
  std::vector<std::unique_ptr<CZipFileHeader>> m_headers;
  CInfo m_info;
  std::vector<CZipFindFast> m_findArray;
  bool m_findArrayEnabled = false;
  bool m_findArrayCaseSensitive = false;
};
