// buffer.cpp: CBuffer allocation rules (a size below 1 is refused).
#include "foundation/buffer.h"

#include <cstring>
#include <new>

void CBuffer::Allocate(int size) {
  Free();
  if (size < 1) throw CNegativeBufferSize();
  m_data = new unsigned char[static_cast<size_t>(size)];
  std::memset(m_data, 0, static_cast<size_t>(size));
  m_size = size;
}

unsigned char* CBuffer::GetBuffer() const {
  if (!m_data) throw CNULLBuffer();
  return m_data;
}

void CBuffer::Free() {
  delete[] m_data;
  m_data = nullptr;
  m_size = 0;
}
