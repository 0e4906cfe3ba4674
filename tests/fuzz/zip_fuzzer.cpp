// zip_fuzzer.cpp: opens arbitrary bytes as an archive, finds, matches, tests
// and extracts every entry (without and with a password), appends one entry
// to a copy and reads the result back, deletes and renames entries of
// another copy, and copies its entries into a new archive. Bad input may
// only end in a CZipException: no crash, leak or hang.
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
        CZipMemFile out;
        archive.ExtractFileTo(i, out, 4096);
      } catch (CZipException* raw) {
        std::unique_ptr<CZipException> error(raw);
      }
    }
  }
}

void OpenAndTest(const uint8_t* data, size_t size) {
  CZipMemFile file;
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
void Reread(CZipMemFile& file, CZipArchive& archive) {
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
  CZipMemFile file;
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
  CZipMemFile sourceFile;
  sourceFile.Write(data, static_cast<uint32_t>(size));
  CZipArchive source;
  try {
    source.OpenFrom(sourceFile, CZipArchive::zipOpenReadOnly);
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    return;
  }
  CZipMemFile file;
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
