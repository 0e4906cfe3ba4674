// signature_fuzzer.cpp: reads arbitrary bytes as a certificate table and as a
// PE image whose table is then parsed and whose version resource is read, as
// setup reads a downloaded program.
// Nothing may crash or read outside the bytes; the ranges to hash must lie
// in the image, in order, and leave out exactly the checksum, the directory
// entry and the table; a parsed signature must be whole.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/authenticode_image.h"
#include "foundation/pe_version_resource.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "signature invariant broken: %s\n", what);
  abort();
}

void Parse(const uint8_t* table, size_t size) {
  CertificateTableHoldsOnlyItsSignature(table, size);
  CAuthenticodeSignature signature;
  if (!ParseCertificateTable(table, size, &signature)) return;
  Check(!signature.signedAttributes.empty() && signature.signedAttributes[0] == 0x31, "attributes not a SET");
  Check(!signature.signerCertificate.empty() && !signature.messageDigest.empty(), "signer incomplete");
  const size_t header = 20;
  Check(signature.publicKeyBlob.empty() || signature.publicKeyBlob.size() >= header + 64, "key blob too short");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Parse(data, size);
  CImageReader read = [data, size](uint64_t offset, void* buffer, uint32_t length) {
    if (offset > size || length > size - offset) return false;
    std::memcpy(buffer, data + offset, length);
    return true;
  };
  CPeVersionInfo info;
  ReadPeVersionInfo(read, &info);
  CSignedImageLayout layout;
  if (!ReadSignedImageLayout(read, size, &layout)) return 0;
  uint64_t end = 0;
  uint64_t covered = 0;
  for (const CByteRange& range : layout.hashed) {
    Check(range.offset >= end && range.offset + range.length <= size, "range outside the image or out of order");
    end = range.offset + range.length;
    covered += range.length;
  }
  if (layout.tableSize == 0) return 0;
  Check(end == layout.tableOffset && layout.tableOffset + layout.tableSize == size, "table not last");
  Check(covered + 12 + layout.tableSize == size, "more than checksum, entry and table left out");
  Parse(data + layout.tableOffset, layout.tableSize);
  return 0;
}
