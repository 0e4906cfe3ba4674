#pragma once
// authenticode_image.h: the Authenticode signature of a PE image, as far as
// a same-publisher check needs it: the bytes its digest covers, and the
// parts of its PKCS #7 signed data. Only read here; hashing and checking
// the signature are the caller's.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/pe_image.h"

enum class CDigestAlgorithm { kUnknown, kSha1, kSha256, kSha384, kSha512 };

struct CByteRange {
  uint64_t offset;
  uint64_t length;
};

struct CSignedImageLayout {
  // Every byte but the header's checksum, the certificate table's
  // directory entry and the table itself, in file order.
  std::vector<CByteRange> hashed;
  uint64_t tableOffset = 0;
  // 0: the image carries no signature.
  uint32_t tableSize = 0;
};

// False when the image is no PE file, or its certificate table is not the
// last thing in the file of `fileSize` bytes, lies among its headers or is
// larger than any signature needs.
bool ReadSignedImageLayout(const CImageReader& read, uint64_t fileSize, CSignedImageLayout* layout);

struct CAuthenticodeSignature {
  CDigestAlgorithm imageDigestAlgorithm = CDigestAlgorithm::kUnknown;
  std::vector<uint8_t> imageDigest;
  // The signed content's value octets, without its tag and length: what
  // the message digest is taken of.
  std::vector<uint8_t> signedContent;
  CDigestAlgorithm signerDigestAlgorithm = CDigestAlgorithm::kUnknown;
  std::vector<uint8_t> messageDigest;
  // The authenticated attributes tagged as the SET OF that the signature covers.
  std::vector<uint8_t> signedAttributes;
  // Big-endian, as RSA gives it.
  std::vector<uint8_t> signature;
  std::vector<uint8_t> signerCertificate;
  // The signer's RSA key as a PUBLICKEYBLOB of CryptoAPI; empty when the
  // key or the signature is not RSA.
  std::vector<uint8_t> publicKeyBlob;
};

// The first entry of a certificate table, when it is the PKCS #7 signed data
// of a signed PE image with exactly one signer whose certificate it holds.
// False when the table or the data are malformed or of another kind.
bool ParseCertificateTable(const uint8_t* table, size_t size, CAuthenticodeSignature* signature);

// Whether the certificate table holds its one entry's signed data and
// nothing after it but fewer than eight zero bytes of padding. No digest
// covers the table: bytes added there would ride along with a valid signature.
bool CertificateTableHoldsOnlyItsSignature(const uint8_t* table, size_t size);
