// authenticode_image_test.cpp: a certificate table holds its signature and at
// most its padding; no digest covers bytes added inside the entry or after it.
#include "foundation/authenticode_image.h"

#include <cstdint>
#include <vector>

#include "gtest/gtest.h"

TEST(AuthenticodeImageTest, ACertificateTableHoldsItsSignatureAndPaddingOnly) {
  // The entry's length as its header says, the bytes after the signed data, their value.
  const struct { const char* what; uint32_t length; size_t extra; uint8_t fill; bool exact; } kCases[] = {
      {"length padded to eight", 16, 3, 0, true},   {"length not padded", 13, 3, 0, true},
      {"1 KB inside the entry", 1040, 1027, 0, false}, {"1 KB after the entry", 16, 1027, 0, false},
      {"padding not zero", 16, 3, 1, false},        {"entry past the table", 24, 3, 0, false},
  };
  for (const auto& row : kCases) {
    // WIN_CERTIFICATE (length, revision 2.0, PKCS signed data), a SEQUENCE standing for the signed data.
    std::vector<uint8_t> table = {static_cast<uint8_t>(row.length), static_cast<uint8_t>(row.length >> 8), 0, 0,
                                  0x00, 0x02, 0x02, 0x00, 0x30, 0x03, 0x02, 0x01, 0x05};
    table.insert(table.end(), row.extra, row.fill);
    EXPECT_EQ(row.exact, CertificateTableHoldsOnlyItsSignature(table.data(), table.size())) << row.what;
  }
}
