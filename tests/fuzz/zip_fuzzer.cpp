// zip_fuzzer.cpp: opens arbitrary bytes as an archive, finds, matches, tests
// and extracts every entry (without and with a password), appends one entry
// to a copy and reads the result back, deletes and renames entries of
// another copy, and copies its entries into a new archive. Bad input may
// only end in a CZipException: no crash, leak or hang.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"
#include "zip/zip_wildcard.h"

namespace {

// The fuzzer's files in memory: they double as they grow. The library's
// memory file grows in fixed steps, so an entry of a few hundred megabytes
// costs time quadratic in its size and a long run times out instead of
// finding faults.
class CGrowingFile : public CZipAbstractFile {
 public:
  void Close() override { m_closed = true; }
  void Flush() override {}
  uint64_t GetPosition() const override { return m_position; }
  uint64_t Seek(int64_t offset, int origin) override {
    int64_t base = origin == begin ? 0 : origin == current ? static_cast<int64_t>(m_position)
                                     : origin == end       ? static_cast<int64_t>(m_data.size())
                                                           : -1;
    if (base < 0) return m_position;
    m_position = base + offset < 0 ? 0 : static_cast<uint64_t>(base + offset);
    return m_position;
  }
  uint64_t GetLength() const override { return m_data.size(); }
  void SetLength(uint64_t length) override {
    Reserve(length);
    m_data.resize(length);
  }
  std::wstring GetFilePath() const override { return std::wstring(); }
  uint32_t Read(void* buffer, uint32_t count) override {
    if (m_position >= m_data.size()) return 0;
    uint32_t read = static_cast<uint32_t>(std::min<uint64_t>(count, m_data.size() - m_position));
    memcpy(buffer, m_data.data() + m_position, read);
    m_position += read;
    return read;
  }
  void Write(const void* buffer, uint32_t count) override {
    if (count == 0) return;
    Reserve(m_position + count);
    if (m_position + count > m_data.size()) m_data.resize(m_position + count);
    memcpy(m_data.data() + m_position, buffer, count);
    m_position += count;
  }
  bool IsClosed() const override { return m_closed; }

 private:
  // Past 4 GiB the library's own memory file runs out of memory too.
  void Reserve(uint64_t size) {
    if (size > UINT32_MAX) ThrowZipException(CZipException::kMemError);
    if (size > m_data.capacity()) m_data.reserve(std::max<uint64_t>(size, 2 * m_data.capacity()));
  }

  std::vector<unsigned char> m_data;
  uint64_t m_position = 0;
  bool m_closed = false;
};

// Whether a component is one Windows reads as the parent: dots and blanks only.
bool LeadsUp(const std::wstring& path) {
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring part = path.substr(start, end - start);
    if (part.size() > 1 && part.find_first_not_of(L". ") == std::wstring::npos) return true;
    if (part.find(L':') != std::wstring::npos) return true;
    start = end + 1;
  }
  return false;
}

void ReadAll(CZipArchive& archive) {
  for (int i = 0; i < archive.GetCount(); ++i) {
    CZipFileHeader header;
    archive.GetFileInfo(header, i);
    // Every entry's own name is found, with either case sensitivity.
    if (archive.FindFile(header.GetFileName(), 1) < 0 || archive.FindFile(header.GetFileName(), 2) < 0) abort();
    archive.FindFile(header.GetFileName(), 0, true);
    std::vector<int> found;
    archive.FindMatches(header.GetFileName(), found, false);
    CZipArchive::IsPatternValid(header.GetFileName());
    for (const wchar_t* password : {L"", L"pw"}) {
      archive.SetPassword(password);
      try {
        archive.TestFile(i, 4096);
      } catch (CZipException* raw) {
        std::unique_ptr<CZipException> error(raw);
      }
      // Every name either gives a path below the folder or is refused.
      try {
        std::wstring target = archive.PredictExtractedFileName(header.GetFileName(), L"out", true);
        if (target.compare(0, 4, L"out\\") != 0 || LeadsUp(target)) abort();
        CGrowingFile out;
        archive.ExtractFileTo(i, out, 4096);
      } catch (CZipException* raw) {
        std::unique_ptr<CZipException> error(raw);
      }
    }
  }
}

void OpenAndTest(const uint8_t* data, size_t size) {
  CGrowingFile file;
  file.Write(data, static_cast<uint32_t>(size));
  CZipArchive archive;
  try {
    archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    return;
  }
  ReadAll(archive);
  archive.Close();
}

// Reads back whatever the archive in `file` holds now; a CZipException is
// an answer too.
void Reread(CGrowingFile& file, CZipArchive& archive) {
  try {
    archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
    ReadAll(archive);
    archive.Close();
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
  }
}

// Opens the bytes for writing, lets `edit` change the archive and closes it,
// then reads the result back.
template <class Edit>
void EditAndReread(const uint8_t* data, size_t size, Edit edit) {
  CGrowingFile file;
  file.Write(data, static_cast<uint32_t>(size));
  CZipArchive archive;
  try {
    archive.OpenFrom(file, CZipArchive::zipOpen);
    edit(archive);
    archive.Close();
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    archive.Close(CZipArchive::afterExceptionNoWrite);
    return;
  }
  Reread(file, archive);
}

// The appended entry reads back, unless an old name holds an end-record
// signature that now comes last (the last one found wins).
void AppendAndReopen(const uint8_t* data, size_t size) {
  EditAndReread(data, size, [](CZipArchive& archive) {
    CZipMemFile source;
    source.Write("appended entry", 14);
    archive.AddFileFromStream(source, L"new.txt");
  });
}

void DeleteAndRename(const uint8_t* data, size_t size) {
  EditAndReread(data, size, [](CZipArchive& archive) {
    int count = archive.GetCount();
    archive.RenameFile(0, L"a rather longer name than before.txt");
    archive.RenameFile(count - 1, L"x");
    archive.DeleteFiles({count / 2, 0});
  });
}

void CopyEntries(const uint8_t* data, size_t size) {
  CGrowingFile sourceFile;
  sourceFile.Write(data, static_cast<uint32_t>(size));
  CZipArchive source;
  try {
    source.OpenFrom(sourceFile, CZipArchive::zipOpenReadOnly);
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    return;
  }
  CGrowingFile file;
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipCreate);
  for (int i = 0; i < source.GetCount(); ++i) {
    try {
      archive.GetFromArchive(source, i, i > 0 ? 0 : -1);
    } catch (CZipException* raw) {
      std::unique_ptr<CZipException> error(raw);
    }
  }
  source.Close();
  archive.Close();
  Reread(file, archive);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  OpenAndTest(data, size);
  AppendAndReopen(data, size);
  DeleteAndRename(data, size);
  CopyEntries(data, size);
  return 0;
}
