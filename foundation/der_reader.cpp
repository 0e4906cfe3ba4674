// der_reader.cpp: reading one DER element at a time.
#include "foundation/der_reader.h"

namespace {

const uint8_t kHighTagNumber = 0x1F;
const uint8_t kLongLength = 0x80;
// Four length octets reach 4 GB: more than any signature may hold.
const size_t kMaxLengthOctets = 4;

}  // namespace

bool CDerReader::Next(CDerElement* element) {
  size_t at = m_offset;
  if (m_size - at < 2) return false;
  uint8_t tag = m_data[at++];
  if ((tag & kHighTagNumber) == kHighTagNumber) return false;
  size_t length = m_data[at++];
  if (length & kLongLength) {
    size_t octets = length & ~kLongLength;
    // 0x80 alone is the indefinite length, which DER does not allow.
    if (octets == 0 || octets > kMaxLengthOctets || m_size - at < octets || m_data[at] == 0) return false;
    length = 0;
    for (size_t i = 0; i < octets; ++i) length = length << 8 | m_data[at++];
    if (length < kLongLength) return false;
  }
  if (m_size - at < length) return false;
  element->tag = tag;
  element->value = m_data + at;
  element->length = length;
  element->encoding = m_data + m_offset;
  element->encodingLength = at + length - m_offset;
  m_offset = at + length;
  return true;
}

bool CDerReader::Next(uint8_t tag, CDerElement* element) {
  CDerReader ahead = *this;
  if (!ahead.Next(element) || element->tag != tag) return false;
  *this = ahead;
  return true;
}

bool CDerReader::Optional(uint8_t tag, CDerElement* element) {
  *element = CDerElement();
  if (AtEnd()) return true;
  CDerReader ahead = *this;
  CDerElement next;
  if (!ahead.Next(&next)) return false;
  if (next.tag != tag) return true;
  *element = next;
  *this = ahead;
  return true;
}
