#pragma once
// zip_auto_buffer.h: an owned byte buffer whose size is its allocation; the
// archive's write, compression and record buffers.
#include <cstdint>
#include <vector>

class CZipAutoBuffer {
 public:
  CZipAutoBuffer() = default;
  explicit CZipAutoBuffer(uint32_t size) { Allocate(size); }

  // Reallocates only when the size changes; 0 releases.
  void Allocate(uint32_t size, bool zeroMemory = false) {
    if (size != m_bytes.size()) {
      m_bytes.assign(size, 0);
      m_bytes.shrink_to_fit();
    } else if (zeroMemory) {
      std::fill(m_bytes.begin(), m_bytes.end(), 0);
    }
  }
  void Release() { std::vector<unsigned char>().swap(m_bytes); }

  uint32_t GetSize() const { return static_cast<uint32_t>(m_bytes.size()); }
  bool IsAllocated() const { return !m_bytes.empty(); }
  unsigned char* Data() { return m_bytes.data(); }
  const unsigned char* Data() const { return m_bytes.data(); }
  char* Chars() { return reinterpret_cast<char*>(m_bytes.data()); }

 private:
  std::vector<unsigned char> m_bytes;
};
