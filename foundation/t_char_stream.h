#pragma once
// t_char_stream.h: line-wise text file access in 8-bit ANSI (the ANSI code
// page) or UTF-16LE with a byte-order mark, optionally scrambled.
#include <windows.h>

#include <string>
#include <vector>

#include "foundation/scoped_handle.h"

class CTCharStream {
 public:
  static constexpr int kReadMode = 0;
  static constexpr int kWriteAnsiMode = 1;
  static constexpr int kWriteUtf16Mode = 2;
  static constexpr int kAnsiEncoding = 1;
  static constexpr int kUtf16Encoding = 2;

  CTCharStream() = default;
  CTCharStream(const CTCharStream&) = delete;
  CTCharStream& operator=(const CTCharStream&) = delete;
  virtual ~CTCharStream() = default;

  // Read mode picks the encoding from the first two bytes (FF FE: UTF-16LE).
  // The write modes create or truncate the file; UTF-16LE writes the mark.
  BOOL OpenStream(const std::wstring& fileName, int mode, BOOL scrambled);
  // *length holds the buffer's capacity in characters, terminator included.
  // On success it gets the line's length, or -1 at the end of the file. A
  // line that does not fit fails with its length in *length and last error 0,
  // and the next call reads it again. A read error fails with *length 0.
  BOOL ReadLine(wchar_t* buffer, int* length, int* formatNumber);
  // Writes the text and "\r\n" in the stream's encoding.
  BOOL WriteString(const std::wstring& text);
  // Commits what was written to the disk.
  BOOL Flush();
  void Close();

  int GetEncoding() const { return m_encoding; }

 private:
  // Bytes available at m_bytesRead: > 0, 0 at the end, -1 on a read error.
  int FillBuffer();
  // One line's bytes without its end-of-line; -1 error, 0 end of file, 1 line.
  int ReadLineBytes(std::string* bytes, bool* endedWithLineFeed);
  std::wstring DecodeLine(const std::string& bytes) const;
  void Scramble(unsigned char* bytes, size_t count, unsigned long long offset, bool undo) const;

  CScopedHandle m_file;
  int m_mode = -1;
  int m_encoding = kAnsiEncoding;
  bool m_scrambled = false;
  // Offsets count the text only, after any byte-order mark.
  unsigned long long m_bytesWritten = 0;
  unsigned long long m_bytesRead = 0;
  unsigned long long m_textStart = 0;
  // Read-ahead: m_buffer holds the text bytes from m_bufferOffset on; the
  // file pointer stands at m_filePosition.
  std::vector<unsigned char> m_buffer;
  unsigned long long m_bufferOffset = 0;
  unsigned long long m_filePosition = 0;
};
