#pragma once
// buffer.h: an owned, zero-filled byte buffer for Win32 reads.
#include "foundation/error.h"

class CBuffer {
 public:
  class CNULLBuffer : public CError {};
  class CNegativeBufferSize : public CError {};

  CBuffer() = default;
  CBuffer(const CBuffer&) = delete;
  CBuffer& operator=(const CBuffer&) = delete;
  virtual ~CBuffer() { Free(); }

  // Throws CNegativeBufferSize for a size below 1; the buffer is empty then.
  void Allocate(int size);
  // Throws CNULLBuffer when nothing is allocated.
  unsigned char* GetBuffer() const;
  void Free();
  int GetSize() const { return m_size; }

 private:
  unsigned char* m_data = nullptr;
  int m_size = 0;
};
