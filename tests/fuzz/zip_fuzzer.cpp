// zip_fuzzer.cpp: opens arbitrary bytes as an archive, finds and tests every
// entry, then appends one entry to a copy and reads the result back. Bad
// input may only end in a CZipException: no crash, leak or hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"

namespace {

void ReadAll(CZipArchive& archive) {
  for (int i = 0; i < archive.GetCount(); ++i) {
    CZipFileHeader header;
    archive.GetFileInfo(header, i);
    // Every entry's own name is found, with either case sensitivity.
    if (archive.FindFile(header.GetFileName(), 1) < 0 || archive.FindFile(header.GetFileName(), 2) < 0) abort();
    archive.FindFile(header.GetFileName(), 0, true);
    try {
      archive.TestFile(i, 4096);
    } catch (CZipException* raw) {
      std::unique_ptr<CZipException> error(raw);
      archive.CloseFile(true);
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

void AppendAndReopen(const uint8_t* data, size_t size) {
  CZipMemFile file;
  file.Write(data, static_cast<uint32_t>(size));
  CZipArchive archive;
  try {
    archive.OpenFrom(file, CZipArchive::zipOpen);
    CZipMemFile source;
    source.Write("appended entry", 14);
    archive.AddFileFromStream(source, L"new.txt");
    archive.Close();
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    archive.Close(CZipArchive::afterExceptionNoWrite);
    return;
  }
  // The appended entry reads back, unless an old name holds an end-record
  // signature that now comes last (the last one found wins).
  try {
    archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
    ReadAll(archive);
    archive.Close();
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  OpenAndTest(data, size);
  AppendAndReopen(data, size);
  return 0;
}
