#pragma once
// zip_test_files.h: what the archive tests share: a per-test folder removed
// afterwards, whole-file reads and writes, and archives built in memory.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"

class CZipTestFolder {
 public:
  CZipTestFolder() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    m_path = std::filesystem::temp_directory_path() / "ZipTests" /
             (std::string(test->test_suite_name()) + "." + test->name());
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
  }
  ~CZipTestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  std::wstring File(const std::string& name) const { return (m_path / name).wstring(); }

 private:
  std::filesystem::path m_path;
};

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string MemBytes(const CZipMemFile& file) {
  return std::string(reinterpret_cast<const char*>(file.GetData()), static_cast<size_t>(file.CZipMemFile::GetLength()));
}

// Runs `action` and gives the code of the CZipException it raised, or 0.
template <typename Action>
int ZipErrorOf(Action action) {
  try {
    action();
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    return error->GetCode();
  }
  return 0;
}

inline uint32_t Get32At(const std::string& bytes, size_t offset) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint16_t Get16At(const std::string& bytes, size_t offset) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Records what an operation reports and aborts after `abortAfter` calls
// of its progress (never when negative).
class CRecordingCallback : public CZipActionCallback {
 public:
  explicit CRecordingCallback(int abortAfter = -1) : m_abortAfter(abortAfter) {}
  void Init(const std::wstring& name, const std::wstring& path) override {
    m_name = name;
    m_path = path;
    m_types.push_back(m_param);
  }
  void SetTotal(uint64_t total) override { m_total = total; }
  bool RequestCallback(uint64_t count) override {
    m_progress += count;
    return m_abortAfter < 0 || ++m_calls < m_abortAfter;
  }
  void CallbackEnd() override { ++m_ends; }

  int m_abortAfter;
  int m_calls = 0;
  int m_ends = 0;
  uint64_t m_total = 0;
  uint64_t m_progress = 0;
  std::wstring m_name;
  std::wstring m_path;
  std::vector<int> m_types;
};

inline void Put32At(std::string& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

inline void Put16At(std::string& bytes, size_t offset, uint16_t value) {
  for (int i = 0; i < 2; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

// Records of stored entries, for layouts the library never writes itself.
inline std::string LocalRecord(const std::string& name, const std::string& data, uint16_t flag = 0) {
  std::string record(30, '\0');
  Put32At(record, 0, 0x04034B50);
  Put16At(record, 4, 10);
  Put16At(record, 6, flag);
  Put16At(record, 12, 0x21);
  Put32At(record, 14, crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
  Put32At(record, 18, static_cast<uint32_t>(data.size()));
  Put32At(record, 22, static_cast<uint32_t>(data.size()));
  Put16At(record, 26, static_cast<uint16_t>(name.size()));
  return record + name + data;
}

struct CCraftedEntry {
  std::string name;
  std::string data;
  uint32_t offset;
  uint16_t disk;
  uint16_t flag = 0;
};

// `body` followed by a directory whose records point wherever the entries
// say, each describing its stored `data`.
inline std::string CraftArchive(const std::string& body, const std::vector<CCraftedEntry>& entries) {
  std::string directory;
  for (const CCraftedEntry& entry : entries) {
    std::string local = LocalRecord(entry.name, entry.data, entry.flag);
    std::string record(46, '\0');
    Put32At(record, 0, 0x02014B50);
    Put16At(record, 4, 20);
    record.replace(6, 26, local, 4, 26);
    Put16At(record, 34, entry.disk);
    Put32At(record, 38, 0x81B40020);
    Put32At(record, 42, entry.offset);
    directory += record + entry.name;
  }
  std::string end(22, '\0');
  Put32At(end, 0, 0x06054B50);
  Put16At(end, 8, static_cast<uint16_t>(entries.size()));
  Put16At(end, 10, static_cast<uint16_t>(entries.size()));
  Put32At(end, 12, static_cast<uint32_t>(directory.size()));
  Put32At(end, 16, static_cast<uint32_t>(body.size()));
  return body + directory + end;
}

struct CZipTestEntry {
  std::wstring name;
  std::string data;
  int level;
};

// An archive in memory, entries added from streams in order.
inline std::string BuildArchive(const std::vector<CZipTestEntry>& entries, const std::wstring& password = L"",
                                int smartness = CZipArchive::zipsmSafeSmart) {
  CZipMemFile file;
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipCreate);
  archive.SetPassword(password);
  for (const CZipTestEntry& entry : entries) {
    CZipMemFile source;
    source.Write(entry.data.data(), static_cast<uint32_t>(entry.data.size()));
    EXPECT_TRUE(archive.AddFileFromStream(source, entry.name, entry.level, smartness));
  }
  archive.Close();
  return MemBytes(file);
}

inline void LoadBytes(CZipMemFile& file, const std::string& bytes) {
  file.SetLength(0);
  file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// Every entry's name and data; raises what reading raises.
inline std::vector<std::pair<std::wstring, std::string>> ContentsOf(CZipArchive& archive) {
  std::vector<std::pair<std::wstring, std::string>> contents;
  for (int i = 0; i < archive.GetCount(); ++i) {
    CZipFileHeader header;
    archive.GetFileInfo(header, i);
    CZipMemFile out;
    std::string data;
    if (!header.IsDirectory()) {
      EXPECT_TRUE(archive.ExtractFileTo(i, out));
      if (out.GetLength() != 0) data = MemBytes(out);
    }
    contents.emplace_back(header.GetFileName(), data);
  }
  return contents;
}

inline std::vector<std::pair<std::wstring, std::string>> ContentsOfBytes(const std::string& bytes,
                                                                       const std::wstring& password = L"") {
  CZipMemFile file;
  LoadBytes(file, bytes);
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
  archive.SetPassword(password);
  auto contents = ContentsOf(archive);
  archive.Close();
  return contents;
}
