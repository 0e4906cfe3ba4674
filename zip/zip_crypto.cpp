// zip_crypto.cpp: the traditional ZIP stream cipher, as published.
#include "zip/zip_crypto.h"

#include <zlib.h>

#include "zip/zip_file_system.h"

namespace {

uint32_t Crc32Byte(uint32_t crc, unsigned char byte) {
  static const z_crc_t* const table = get_crc_table();
  return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

}  // namespace

void CZipCrypto::InitKeys(const std::string& password) {
  m_keys[0] = 0x12345678;
  m_keys[1] = 0x23456789;
  m_keys[2] = 0x34567890;
  for (char c : password) UpdateKeys(static_cast<unsigned char>(c));
}

void CZipCrypto::UpdateKeys(unsigned char plain) {
  m_keys[0] = Crc32Byte(m_keys[0], plain);
  m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813 + 1;
  m_keys[2] = Crc32Byte(m_keys[2], static_cast<unsigned char>(m_keys[1] >> 24));
}

unsigned char CZipCrypto::KeystreamByte() const {
  uint32_t temp = (m_keys[2] & 0xFFFF) | 2;
  return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
}

void CZipCrypto::Encode(unsigned char* buffer, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    unsigned char plain = buffer[i];
    buffer[i] = static_cast<unsigned char>(plain ^ KeystreamByte());
    UpdateKeys(plain);
  }
}

void CZipCrypto::Decode(unsigned char* buffer, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    buffer[i] = static_cast<unsigned char>(buffer[i] ^ KeystreamByte());
    UpdateKeys(buffer[i]);
  }
}

// The random bytes come from the system's generator rather than a time-seeded
// rand(): entries written in the same second must not share a keystream.
bool CZipCrypto::MakeHeader(const std::string& password, uint16_t dosTime, unsigned char* header) {
  if (!ZipFileSystem::RandomBytes(header, kHeaderSize - 2)) return false;
  header[kHeaderSize - 2] = static_cast<unsigned char>(dosTime & 0xFF);
  header[kHeaderSize - 1] = static_cast<unsigned char>(dosTime >> 8);
  InitKeys(password);
  Encode(header, kHeaderSize);
  return true;
}

bool CZipCrypto::CheckHeader(const std::string& password, unsigned char check, unsigned char* header) {
  InitKeys(password);
  Decode(header, kHeaderSize);
  return header[kHeaderSize - 1] == check;
}
