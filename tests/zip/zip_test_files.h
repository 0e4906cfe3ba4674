#pragma once
// zip_test_files.h: what the archive tests share: a per-test folder removed
// afterwards, whole-file reads and writes, and archives built in memory.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "gtest/gtest.h"
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
