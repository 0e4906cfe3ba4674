// authenticode_image.cpp: the certificate table's place in a PE image and
// the signed data in it: content info, SpcIndirectDataContent with the
// image's digest, the one signer's authenticated attributes and signature,
// and the signer's certificate with its RSA key.
#include "foundation/authenticode_image.h"

#include <cstring>

#include "foundation/der_reader.h"

namespace {

const uint32_t kChecksumOffset = 64;  // in the optional header
const uint32_t kSecurityDirectory = 4;
const uint32_t kMaxTableSize = 4 * 1024 * 1024;
// WIN_CERTIFICATE: length, revision 2.0, type PKCS_SIGNED_DATA.
const uint32_t kWinCertificateHeader = 8;
const uint16_t kWinCertificateRevision = 0x0200;
const uint16_t kPkcsSignedData = 0x0002;
// Entries are aligned to eight bytes.
const size_t kEntryAlignment = 8;
// RSA keys of 512 to 16384 bits, public exponents of up to 32 bits.
const size_t kMinModulusBytes = 64;
const size_t kMaxModulusBytes = 2048;
const size_t kMaxExponentBytes = 4;
// PUBLICKEYBLOB: BLOBHEADER (type, version, reserved, CALG_RSA_KEYX), then
// RSAPUBKEY ("RSA1", bit length, exponent), then the modulus little-endian.
const uint8_t kPublicKeyBlob = 0x06;
const uint8_t kBlobVersion = 0x02;
const uint32_t kRsaKeyExchange = 0x0000A400;
const uint32_t kRsa1Magic = 0x31415352;

// Object identifiers as their DER value octets.
const uint8_t kSignedDataOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const uint8_t kIndirectDataOid[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04};
const uint8_t kPeImageDataOid[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x0F};
const uint8_t kMessageDigestOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04};
const uint8_t kRsaEncryptionOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
// rsaEncryption's arc: 1 the key itself, 5, 11, 12, 13 with SHA-1, -256, -384, -512.
const uint8_t kRsaSignatureArc[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01};
const uint8_t kRsaSignatureKinds[] = {1, 5, 11, 12, 13};
const uint8_t kSha1Oid[] = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
const uint8_t kSha2Arc[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02};

void PutDword(std::vector<uint8_t>* bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes->push_back(static_cast<uint8_t>(value >> shift));
}

template <size_t N>
bool Is(const CDerElement& oid, const uint8_t (&expected)[N]) {
  return oid.tag == kDerObjectId && oid.length == N && std::memcmp(oid.value, expected, N) == 0;
}

bool SameEncoding(const CDerElement& first, const CDerElement& second) {
  return first.encodingLength == second.encodingLength &&
         std::memcmp(first.encoding, second.encoding, first.encodingLength) == 0;
}

std::vector<uint8_t> Bytes(const uint8_t* data, size_t size) { return std::vector<uint8_t>(data, data + size); }

// The OID of an AlgorithmIdentifier; its parameters are not looked at.
bool AlgorithmOid(const CDerElement& identifier, CDerElement* oid) {
  CDerReader reader(identifier);
  return reader.Next(kDerObjectId, oid);
}

CDigestAlgorithm DigestAlgorithm(const CDerElement& identifier) {
  CDerElement oid;
  if (!AlgorithmOid(identifier, &oid)) return CDigestAlgorithm::kUnknown;
  if (Is(oid, kSha1Oid)) return CDigestAlgorithm::kSha1;
  if (oid.length != sizeof(kSha2Arc) + 1 || std::memcmp(oid.value, kSha2Arc, sizeof(kSha2Arc)) != 0) {
    return CDigestAlgorithm::kUnknown;
  }
  switch (oid.value[sizeof(kSha2Arc)]) {
    case 1: return CDigestAlgorithm::kSha256;
    case 2: return CDigestAlgorithm::kSha384;
    case 3: return CDigestAlgorithm::kSha512;
    default: return CDigestAlgorithm::kUnknown;
  }
}

bool IsRsaSignature(const CDerElement& identifier) {
  CDerElement oid;
  if (!AlgorithmOid(identifier, &oid) || oid.length != sizeof(kRsaSignatureArc) + 1 ||
      std::memcmp(oid.value, kRsaSignatureArc, sizeof(kRsaSignatureArc)) != 0) {
    return false;
  }
  for (uint8_t kind : kRsaSignatureKinds) {
    if (oid.value[sizeof(kRsaSignatureArc)] == kind) return true;
  }
  return false;
}

// A positive INTEGER's magnitude, without its leading zero octets.
bool Magnitude(const CDerElement& integer, const uint8_t** data, size_t* size) {
  if (integer.length == 0 || (integer.value[0] & 0x80)) return false;
  size_t skip = 0;
  while (skip < integer.length && integer.value[skip] == 0) ++skip;
  *data = integer.value + skip;
  *size = integer.length - skip;
  return *size > 0;
}

// SubjectPublicKeyInfo of rsaEncryption: a BIT STRING holding
// RSAPublicKey ::= SEQUENCE { modulus INTEGER, publicExponent INTEGER }.
bool RsaKeyBlob(const CDerElement& keyInfo, std::vector<uint8_t>* blob) {
  CDerReader reader(keyInfo);
  CDerElement algorithm, bits, oid, key, modulus, exponent;
  if (!reader.Next(kDerSequence, &algorithm) || !reader.Next(kDerBitString, &bits) ||
      !AlgorithmOid(algorithm, &oid) || !Is(oid, kRsaEncryptionOid) || bits.length < 1 || bits.value[0] != 0) {
    return false;
  }
  CDerReader keyBits(bits.value + 1, bits.length - 1);
  if (!keyBits.Next(kDerSequence, &key)) return false;
  CDerReader numbers(key);
  const uint8_t* modulusBytes = nullptr;
  const uint8_t* exponentBytes = nullptr;
  size_t modulusSize = 0, exponentSize = 0;
  if (!numbers.Next(kDerInteger, &modulus) || !numbers.Next(kDerInteger, &exponent) ||
      !Magnitude(modulus, &modulusBytes, &modulusSize) || !Magnitude(exponent, &exponentBytes, &exponentSize) ||
      modulusSize < kMinModulusBytes || modulusSize > kMaxModulusBytes || exponentSize > kMaxExponentBytes) {
    return false;
  }
  uint32_t publicExponent = 0;
  for (size_t i = 0; i < exponentSize; ++i) publicExponent = publicExponent << 8 | exponentBytes[i];
  blob->clear();
  blob->push_back(kPublicKeyBlob);
  blob->push_back(kBlobVersion);
  blob->push_back(0);
  blob->push_back(0);
  PutDword(blob, kRsaKeyExchange);
  PutDword(blob, kRsa1Magic);
  PutDword(blob, static_cast<uint32_t>(modulusSize * 8));
  PutDword(blob, publicExponent);
  for (size_t i = modulusSize; i > 0; --i) blob->push_back(modulusBytes[i - 1]);
  return true;
}

// ContentInfo ::= SEQUENCE { contentType OID, content [0] EXPLICIT ANY }:
// the content's one element, when the type is `type`.
template <size_t N>
bool ContentOf(const CDerElement& contentInfo, const uint8_t (&type)[N], CDerElement* content) {
  CDerReader reader(contentInfo);
  CDerElement oid, wrapped;
  if (!reader.Next(kDerObjectId, &oid) || !Is(oid, type) || !reader.Next(kDerContext0, &wrapped)) return false;
  CDerReader inner(wrapped);
  return inner.Next(kDerSequence, content) && inner.AtEnd();
}

// SpcIndirectDataContent ::= SEQUENCE { data SpcAttributeTypeAndOptionalValue,
//   messageDigest DigestInfo ::= SEQUENCE { AlgorithmIdentifier, OCTET STRING } }
bool ParseIndirectData(const CDerElement& contentInfo, CAuthenticodeSignature* signature) {
  CDerElement indirect, data, dataType, digestInfo, algorithm, digest;
  if (!ContentOf(contentInfo, kIndirectDataOid, &indirect)) return false;
  CDerReader fields(indirect);
  if (!fields.Next(kDerSequence, &data) || !fields.Next(kDerSequence, &digestInfo)) return false;
  // A signature made for another kind of object says nothing about an image.
  CDerReader dataFields(data);
  if (!dataFields.Next(kDerObjectId, &dataType) || !Is(dataType, kPeImageDataOid)) return false;
  CDerReader digestFields(digestInfo);
  if (!digestFields.Next(kDerSequence, &algorithm) || !digestFields.Next(kDerOctetString, &digest)) return false;
  signature->signedContent = Bytes(indirect.value, indirect.length);
  signature->imageDigestAlgorithm = DigestAlgorithm(algorithm);
  signature->imageDigest = Bytes(digest.value, digest.length);
  return true;
}

// Attribute ::= SEQUENCE { type OID, values SET OF ANY }: the one
// messageDigest attribute with its one OCTET STRING.
bool FindMessageDigest(const CDerElement& attributes, std::vector<uint8_t>* digest) {
  CDerReader reader(attributes);
  bool found = false;
  while (!reader.AtEnd()) {
    CDerElement attribute, type, values, value;
    if (!reader.Next(kDerSequence, &attribute)) return false;
    CDerReader fields(attribute);
    if (!fields.Next(kDerObjectId, &type) || !fields.Next(kDerSet, &values)) return false;
    if (!Is(type, kMessageDigestOid)) continue;
    CDerReader valueReader(values);
    if (found || !valueReader.Next(kDerOctetString, &value) || !valueReader.AtEnd()) return false;
    *digest = Bytes(value.value, value.length);
    found = true;
  }
  return found;
}

// The certificate whose issuer and serial number are the signer's:
// Certificate ::= SEQUENCE { tbsCertificate SEQUENCE { [0] version OPTIONAL,
//   serialNumber, signature, issuer, validity, subject, subjectPublicKeyInfo, ... }, ... }
bool FindCertificate(const CDerElement& certificates, const CDerElement& issuer, const CDerElement& serial,
                     CDerElement* certificate, CDerElement* keyInfo) {
  CDerReader reader(certificates);
  while (!reader.AtEnd()) {
    CDerElement candidate, tbs, version, number, algorithm, name, validity, subject;
    if (!reader.Next(kDerSequence, &candidate)) return false;
    CDerReader fields(candidate);
    if (!fields.Next(kDerSequence, &tbs)) return false;
    CDerReader tbsFields(tbs);
    if (!tbsFields.Optional(kDerContext0, &version) || !tbsFields.Next(kDerInteger, &number) ||
        !tbsFields.Next(kDerSequence, &algorithm) || !tbsFields.Next(kDerSequence, &name) ||
        !tbsFields.Next(kDerSequence, &validity) || !tbsFields.Next(kDerSequence, &subject) ||
        !tbsFields.Next(kDerSequence, keyInfo)) {
      return false;
    }
    if (SameEncoding(number, serial) && SameEncoding(name, issuer)) {
      *certificate = candidate;
      return true;
    }
  }
  return false;
}

// SignerInfo ::= SEQUENCE { version, issuerAndSerialNumber, digestAlgorithm,
//   authenticatedAttributes [0] IMPLICIT, digestEncryptionAlgorithm,
//   encryptedDigest OCTET STRING, unauthenticatedAttributes [1] OPTIONAL }
bool ParseSigner(const CDerElement& signerInfos, const CDerElement& certificates,
                 CAuthenticodeSignature* signature) {
  CDerReader signers(signerInfos);
  CDerElement signer, version, issuerAndSerial, issuer, serial, digestAlgorithm, attributes, encryption, encrypted;
  if (!signers.Next(kDerSequence, &signer) || !signers.AtEnd()) return false;
  CDerReader fields(signer);
  if (!fields.Next(kDerInteger, &version) || !fields.Next(kDerSequence, &issuerAndSerial) ||
      !fields.Next(kDerSequence, &digestAlgorithm) || !fields.Next(kDerContext0, &attributes) ||
      !fields.Next(kDerSequence, &encryption) || !fields.Next(kDerOctetString, &encrypted)) {
    return false;
  }
  CDerReader names(issuerAndSerial);
  if (!names.Next(kDerSequence, &issuer) || !names.Next(kDerInteger, &serial)) return false;
  if (!FindMessageDigest(attributes, &signature->messageDigest)) return false;
  CDerElement certificate, keyInfo;
  if (!certificates.value || !FindCertificate(certificates, issuer, serial, &certificate, &keyInfo)) return false;
  signature->signerDigestAlgorithm = DigestAlgorithm(digestAlgorithm);
  signature->signedAttributes = Bytes(attributes.encoding, attributes.encodingLength);
  signature->signedAttributes[0] = kDerSet;
  signature->signature = Bytes(encrypted.value, encrypted.length);
  signature->signerCertificate = Bytes(certificate.encoding, certificate.encodingLength);
  signature->publicKeyBlob.clear();
  if (IsRsaSignature(encryption) && !RsaKeyBlob(keyInfo, &signature->publicKeyBlob)) {
    signature->publicKeyBlob.clear();
  }
  return true;
}

}  // namespace

bool ReadSignedImageLayout(const CImageReader& read, uint64_t fileSize, CSignedImageLayout* layout) {
  CPeDataDirectory security;
  if (!layout || !ReadPeDataDirectory(read, kSecurityDirectory, &security)) return false;
  uint64_t checksum = security.optionalHeader + kChecksumOffset;
  uint64_t directory = security.entryOffset;
  layout->tableOffset = security.address;
  layout->tableSize = security.size;
  uint64_t tableEnd = layout->tableSize ? layout->tableOffset + layout->tableSize : fileSize;
  if (tableEnd != fileSize || directory + 8 > fileSize) return false;
  if (layout->tableSize && (layout->tableOffset < directory + 8 || layout->tableSize > kMaxTableSize)) return false;
  uint64_t hashedEnd = layout->tableSize ? layout->tableOffset : fileSize;
  layout->hashed = {{0, checksum}, {checksum + 4, directory - checksum - 4}, {directory + 8, hashedEnd - directory - 8}};
  return true;
}

bool ParseCertificateTable(const uint8_t* table, size_t size, CAuthenticodeSignature* signature) {
  if (!table || !signature || size < kWinCertificateHeader) return false;
  uint32_t length = ImageDword(table);
  if (length < kWinCertificateHeader || length > size || ImageWord(table + 4) != kWinCertificateRevision ||
      ImageWord(table + 6) != kPkcsSignedData) {
    return false;
  }
  // The entry is padded to eight bytes after the signed data.
  CDerReader entry(table + kWinCertificateHeader, length - kWinCertificateHeader);
  CDerElement contentInfo, signedData, version, algorithms, content, certificates, crls, signerInfos;
  if (!entry.Next(kDerSequence, &contentInfo) || !ContentOf(contentInfo, kSignedDataOid, &signedData)) return false;
  CDerReader fields(signedData);
  if (!fields.Next(kDerInteger, &version) || !fields.Next(kDerSet, &algorithms) ||
      !fields.Next(kDerSequence, &content) || !fields.Optional(kDerContext0, &certificates) ||
      !fields.Optional(kDerContext1, &crls) || !fields.Next(kDerSet, &signerInfos)) {
    return false;
  }
  return ParseIndirectData(content, signature) && ParseSigner(signerInfos, certificates, signature);
}

bool CertificateTableHoldsOnlyItsSignature(const uint8_t* table, size_t size) {
  if (!table || size < kWinCertificateHeader) return false;
  uint32_t length = ImageDword(table);
  if (length < kWinCertificateHeader || length > size) return false;
  CDerReader entry(table + kWinCertificateHeader, length - kWinCertificateHeader);
  CDerElement signedData;
  if (!entry.Next(kDerSequence, &signedData)) return false;
  size_t end = kWinCertificateHeader + signedData.encodingLength;
  if (size - end >= kEntryAlignment) return false;
  for (size_t at = end; at < size; ++at) {
    if (table[at] != 0) return false;
  }
  return true;
}
