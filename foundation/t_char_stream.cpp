// t_char_stream.cpp: reads and writes INI text line by line in ANSI or
// UTF-16LE, converting whole lines so double-byte characters stay intact.
#include "foundation/t_char_stream.h"

#include <windows.h>

#include <climits>
#include <cstring>

namespace {

const size_t kReadChunkSize = 64 * 1024;
const unsigned char kUtf16Mark[2] = {0xFF, 0xFE};
const wchar_t kFormatNumberPrefix[] = L";~^#";
const size_t kFormatNumberPrefixLength = 4;
const unsigned char kScrambleKey[8] = {'Q', 'M', 'Z', 'R', 'T', 'W', 'K', 'P'};

unsigned char RotateRight(unsigned char value, int bits) {
  bits &= 7;
  return static_cast<unsigned char>((value >> bits) | (value << ((8 - bits) & 7)));
}

// S: the sum of the key's derived table d[i] = sum of key[j] rotated right
// by (i + j) mod 8 bits.
unsigned char ScrambleStep() {
  unsigned int sum = 0;
  for (int i = 0; i < 8; ++i) {
    unsigned int derived = 0;
    for (int j = 0; j < 8; ++j) derived += RotateRight(kScrambleKey[j], (i + j) % 8);
    sum += derived & 0xFF;
  }
  return static_cast<unsigned char>(sum);
}

// Bit n of the result is bit kSource[n] of the offset's low byte.
unsigned char PermuteOffset(unsigned long long offset) {
  static const int kSource[8] = {6, 4, 2, 0, 7, 5, 3, 1};
  unsigned int q = static_cast<unsigned int>(offset & 0xFF);
  unsigned int result = 0;
  for (int bit = 0; bit < 8; ++bit) result |= ((q >> kSource[bit]) & 1u) << bit;
  return static_cast<unsigned char>(result);
}

int ParseFormatNumber(const std::wstring& line) {
  long long number = 0;
  for (size_t i = kFormatNumberPrefixLength; i < line.size(); ++i) {
    if (line[i] < L'0' || line[i] > L'9') break;
    number = number * 10 + (line[i] - L'0');
    if (number > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(number);
}

}  // namespace

void CTCharStream::Scramble(unsigned char* bytes, size_t count, unsigned long long offset,
                            bool undo) const {
  static const unsigned char step = ScrambleStep();
  for (size_t k = 0; k < count; ++k) {
    unsigned char amount = static_cast<unsigned char>(step * (PermuteOffset(offset + k) + 1u));
    bytes[k] = static_cast<unsigned char>(undo ? bytes[k] - amount : bytes[k] + amount);
  }
}

BOOL CTCharStream::OpenStream(const std::wstring& fileName, int mode, BOOL scrambled) {
  Close();
  if (mode != kReadMode && mode != kWriteAnsiMode && mode != kWriteUtf16Mode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool reading = mode == kReadMode;
  CScopedHandle file(CreateFileW(fileName.c_str(), reading ? GENERIC_READ : GENERIC_WRITE,
                                 FILE_SHARE_READ, nullptr, reading ? OPEN_EXISTING : CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | (reading ? FILE_FLAG_SEQUENTIAL_SCAN : 0),
                                 nullptr));
  if (!file.IsValid()) return FALSE;

  // Closing the handle must not change the failed call's last error.
  auto fail = [&file]() {
    DWORD error = GetLastError();
    file.Reset();
    SetLastError(error);
    return FALSE;
  };
  int encoding = mode == kWriteUtf16Mode ? kUtf16Encoding : kAnsiEncoding;
  unsigned long long textStart = 0;
  if (reading) {
    unsigned char mark[2] = {};
    DWORD got = 0;
    if (!ReadFile(file.Get(), mark, sizeof(mark), &got, nullptr)) return fail();
    if (got == 2 && mark[0] == kUtf16Mark[0] && mark[1] == kUtf16Mark[1]) {
      encoding = kUtf16Encoding;
      textStart = 2;
    }
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(textStart);
    if (!SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN)) return fail();
  } else if (mode == kWriteUtf16Mode) {
    DWORD written = 0;
    if (!WriteFile(file.Get(), kUtf16Mark, sizeof(kUtf16Mark), &written, nullptr)) return fail();
  }

  m_file = std::move(file);
  m_mode = mode;
  m_encoding = encoding;
  m_scrambled = scrambled != FALSE;
  m_textStart = textStart;
  return TRUE;
}

void CTCharStream::Close() {
  m_file.Reset();
  m_mode = -1;
  m_encoding = kAnsiEncoding;
  m_bytesWritten = m_bytesRead = m_textStart = 0;
  m_buffer.clear();
  m_bufferOffset = m_filePosition = 0;
}

BOOL CTCharStream::Flush() {
  if (!m_file.IsValid() || m_mode == kReadMode) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return FlushFileBuffers(m_file.Get());
}

int CTCharStream::FillBuffer() {
  if (m_bytesRead >= m_bufferOffset && m_bytesRead < m_bufferOffset + m_buffer.size()) {
    return static_cast<int>(m_bufferOffset + m_buffer.size() - m_bytesRead);
  }
  if (m_filePosition != m_bytesRead) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(m_textStart + m_bytesRead);
    if (!SetFilePointerEx(m_file.Get(), position, nullptr, FILE_BEGIN)) return -1;
    m_filePosition = m_bytesRead;
  }
  m_buffer.resize(kReadChunkSize);
  DWORD got = 0;
  if (!ReadFile(m_file.Get(), m_buffer.data(), static_cast<DWORD>(m_buffer.size()), &got, nullptr)) {
    DWORD error = GetLastError();
    m_buffer.clear();
    SetLastError(error);
    return -1;
  }
  m_buffer.resize(got);
  m_bufferOffset = m_bytesRead;
  m_filePosition += got;
  if (m_scrambled) Scramble(m_buffer.data(), m_buffer.size(), m_bufferOffset, true);
  return static_cast<int>(got);
}

int CTCharStream::ReadLineBytes(std::string* bytes, bool* endedWithLineFeed) {
  *endedWithLineFeed = false;
  bool readAny = false;
  bool utf16 = m_encoding == kUtf16Encoding;
  while (!*endedWithLineFeed) {
    int available = FillBuffer();
    if (available < 0) return -1;
    if (available == 0) break;
    readAny = true;
    const unsigned char* start = m_buffer.data() + (m_bytesRead - m_bufferOffset);
    size_t taken = static_cast<size_t>(available);
    if (!utf16) {
      const void* feed = std::memchr(start, '\n', taken);
      if (feed) {
        taken = static_cast<size_t>(static_cast<const unsigned char*>(feed) - start) + 1;
        *endedWithLineFeed = true;
      }
      bytes->append(reinterpret_cast<const char*>(start), taken);
    } else {
      // Byte by byte, so a line feed unit split across two chunks is seen.
      for (size_t i = 0; i < static_cast<size_t>(available); ++i) {
        bytes->push_back(static_cast<char>(start[i]));
        size_t size = bytes->size();
        if ((size & 1) == 0 && (*bytes)[size - 2] == '\n' && (*bytes)[size - 1] == 0) {
          taken = i + 1;
          *endedWithLineFeed = true;
          break;
        }
      }
    }
    m_bytesRead += taken;
  }
  if (!readAny) return 0;
  size_t unit = utf16 ? 2 : 1;
  // An odd last byte cannot be a UTF-16 character.
  if (utf16 && (bytes->size() & 1)) bytes->pop_back();
  if (*endedWithLineFeed) bytes->resize(bytes->size() - unit);
  size_t size = bytes->size();
  if (size >= unit && (*bytes)[size - unit] == '\r' && (unit == 1 || (*bytes)[size - 1] == 0)) {
    bytes->resize(size - unit);
  }
  return 1;
}

std::wstring CTCharStream::DecodeLine(const std::string& bytes) const {
  if (m_encoding == kUtf16Encoding) {
    std::wstring line(bytes.size() / 2, L'\0');
    if (!line.empty()) std::memcpy(&line[0], bytes.data(), line.size() * 2);
    return line;
  }
  if (bytes.empty()) return std::wstring();
  int count = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring line(static_cast<size_t>(count > 0 ? count : 0), L'\0');
  if (count > 0) {
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &line[0], count);
  }
  return line;
}

BOOL CTCharStream::ReadLine(wchar_t* buffer, int* length, int* formatNumber) {
  if (!m_file.IsValid() || m_mode != kReadMode) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!buffer || !length) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  int capacity = *length;
  unsigned long long lineStart = m_bytesRead;
  std::string bytes;
  bool endedWithLineFeed = false;
  int result = ReadLineBytes(&bytes, &endedWithLineFeed);
  if (result < 0) {
    *length = 0;
    return FALSE;
  }
  if (result == 0) {
    *length = -1;
    return TRUE;
  }
  std::wstring line = DecodeLine(bytes);
  if (line.size() >= static_cast<size_t>(capacity > 0 ? capacity : 0)) {
    *length = static_cast<int>(line.size());
    m_bytesRead = lineStart;
    SetLastError(0);
    return FALSE;
  }
  if (!line.empty()) std::memcpy(buffer, line.data(), line.size() * sizeof(wchar_t));
  buffer[line.size()] = L'\0';
  *length = static_cast<int>(line.size());
  // Only a marker line that ended with a line feed counts.
  if (endedWithLineFeed && formatNumber &&
      line.compare(0, kFormatNumberPrefixLength, kFormatNumberPrefix) == 0) {
    *formatNumber = ParseFormatNumber(line);
  }
  return TRUE;
}

BOOL CTCharStream::WriteString(const std::wstring& text) {
  if (!m_file.IsValid() || m_mode == kReadMode || m_mode < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::string bytes;
  if (m_encoding == kUtf16Encoding) {
    std::wstring line = text + L"\r\n";
    bytes.assign(reinterpret_cast<const char*>(line.data()), line.size() * sizeof(wchar_t));
  } else {
    // Sized from the conversion: a double-byte code page needs more than one
    // byte per character.
    int count = text.empty() ? 0
                             : WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                                   nullptr, 0, nullptr, nullptr);
    if (!text.empty() && count <= 0) return FALSE;
    bytes.assign(static_cast<size_t>(count), '\0');
    if (count > 0) {
      WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &bytes[0], count,
                          nullptr, nullptr);
    }
    bytes += "\r\n";
  }
  if (m_scrambled) {
    Scramble(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size(), m_bytesWritten, false);
  }
  DWORD written = 0;
  if (!WriteFile(m_file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    return FALSE;
  }
  if (written != bytes.size()) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  m_bytesWritten += written;
  return TRUE;
}
