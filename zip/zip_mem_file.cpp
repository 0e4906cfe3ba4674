// zip_mem_file.cpp: an archive library file in a growable block of memory.
#include "zip/zip_mem_file.h"

#include <cstdlib>
#include <cstring>

#include "zip/zip_exception.h"

CZipMemFile::~CZipMemFile() { Close(); }

void CZipMemFile::Close() {
  if (m_autoDelete) free(m_data);
  m_growStep = 0;
  m_position = 0;
  m_capacity = 0;
  m_dataSize = 0;
  m_data = nullptr;
}

// The position is not bounded, so the size asked for is checked in 64 bits:
// a huge position must not wrap into a small block.
void CZipMemFile::Grow(uint64_t size) {
  if (size <= m_capacity) return;
  if (m_growStep == 0 || size > UINT32_MAX) ThrowZipException(CZipException::kMemError);
  uint64_t capacity = m_capacity;
  capacity += (size - capacity + m_growStep - 1) / m_growStep * m_growStep;
  if (capacity > UINT32_MAX) ThrowZipException(CZipException::kMemError);
  unsigned char* block = static_cast<unsigned char*>(realloc(m_data, capacity));
  if (block == nullptr) ThrowZipException(CZipException::kMemError);
  // Gaps left by seeking past the end read back as zeros, not stale heap bytes.
  memset(block + m_capacity, 0, capacity - m_capacity);
  m_data = block;
  m_capacity = static_cast<uint32_t>(capacity);
}

uint64_t CZipMemFile::Seek(int64_t offset, int origin) {
  int64_t base;
  switch (origin) {
    case begin: base = 0; break;
    case current: base = static_cast<int64_t>(m_position); break;
    case end: base = m_dataSize; break;
    default: return m_position;
  }
  int64_t position = base + offset;
  m_position = position < 0 ? 0 : static_cast<uint64_t>(position);
  return m_position;
}

void CZipMemFile::SetLength(uint64_t length) {
  if (length <= m_capacity) {
    m_position = length;
  } else {
    Grow(length);
  }
  m_dataSize = static_cast<uint32_t>(length);
}

uint32_t CZipMemFile::Read(void* buffer, uint32_t count) {
  if (m_position >= m_dataSize) return 0;
  uint64_t left = m_dataSize - m_position;
  uint32_t read = count < left ? count : static_cast<uint32_t>(left);
  memcpy(buffer, m_data + m_position, read);
  m_position += read;
  return read;
}

void CZipMemFile::Write(const void* buffer, uint32_t count) {
  if (count == 0) return;
  Grow(m_position + count);
  memcpy(m_data + m_position, buffer, count);
  m_position += count;
  if (m_position > m_dataSize) m_dataSize = static_cast<uint32_t>(m_position);
}
