#pragma once
// zip_crypto.h: the traditional stream cipher of the ZIP format: three keys
// stirred with the CRC-32 table, reset from the password for every entry, and
// the 12-byte header in front of an encrypted entry's data.
#include <cstdint>
#include <string>

class CZipCrypto {
 public:
  static constexpr uint32_t kHeaderSize = 12;

  void InitKeys(const std::string& password);
  void Encode(unsigned char* buffer, uint32_t count);
  void Decode(unsigned char* buffer, uint32_t count);
  // The header of a new entry: ten random bytes, then the check byte's pair
  // (the entry's MS-DOS time), all encrypted. False when the system gave no
  // random bytes.
  bool MakeHeader(const std::string& password, uint16_t dosTime, unsigned char* header);
  // Decrypts a read header; true when its last byte is the expected check byte.
  bool CheckHeader(const std::string& password, unsigned char check, unsigned char* header);

 private:
  void UpdateKeys(unsigned char plain);
  unsigned char KeystreamByte() const;

  uint32_t m_keys[3] = {0, 0, 0};
};
