#pragma once
// der_reader.h: CDerReader, a cursor over ASN.1 elements in the
// distinguished encoding (DER), for reading signatures without trusting
// them: every length is checked against the bytes that hold it.
#include <cstddef>
#include <cstdint>

// One element: its tag, its value octets and its whole encoding (tag and
// length included), both inside the reader's bytes.
struct CDerElement {
  uint8_t tag = 0;
  const uint8_t* value = nullptr;
  size_t length = 0;
  const uint8_t* encoding = nullptr;
  size_t encodingLength = 0;
};

class CDerReader {
 public:
  CDerReader(const uint8_t* data, size_t size) : m_data(data), m_size(data ? size : 0) {}
  // The elements inside a constructed element.
  explicit CDerReader(const CDerElement& element) : CDerReader(element.value, element.length) {}

  // The next element; false when none is left or it is malformed: a tag of
  // more than one byte, an indefinite or non-minimal length, or a length
  // running past the bytes.
  bool Next(CDerElement* element);
  // The next element when it has `tag`; false otherwise.
  bool Next(uint8_t tag, CDerElement* element);
  // The next element when it has `tag`, else nothing is read and it stays
  // empty; false only for a malformed element.
  bool Optional(uint8_t tag, CDerElement* element);
  bool AtEnd() const { return m_offset == m_size; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_offset = 0;
};

// Tags of the universal and context-specific kinds that signatures use.
inline constexpr uint8_t kDerInteger = 0x02;
inline constexpr uint8_t kDerBitString = 0x03;
inline constexpr uint8_t kDerOctetString = 0x04;
inline constexpr uint8_t kDerObjectId = 0x06;
inline constexpr uint8_t kDerSequence = 0x30;
inline constexpr uint8_t kDerSet = 0x31;
inline constexpr uint8_t kDerContext0 = 0xA0;
inline constexpr uint8_t kDerContext1 = 0xA1;
