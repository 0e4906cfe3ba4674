// publisher_check.cpp: the checks of a downloaded file's signature: the
// image's digest over the bytes the signature covers, the message digest of
// the signed content, the RSA signature over the authenticated attributes
// (through CryptoAPI of advapi32), and the signer's certificate compared
// byte for byte with the running program's.
#include "foundation/publisher_check.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

#include "foundation/authenticode_image.h"
#include "foundation/file_utils.h"
#include "foundation/file_version.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_identity.h"
#include "foundation/setup_log.h"

namespace {

const DWORD kReadChunk = 64 * 1024;

const wchar_t kNotReadable[] = L"it cannot be read";
const wchar_t kNotSigned[] = L"it is not a signed program";
const wchar_t kMalformed[] = L"its signature cannot be read";
const wchar_t kUnsupported[] = L"its signature uses an algorithm that setup does not check";
const wchar_t kOtherPublisher[] = L"it is signed with another certificate than this setup";
const wchar_t kChanged[] = L"it was changed after it was signed";
const wchar_t kForged[] = L"its signature does not match its certificate";
const wchar_t kNotChecked[] = L"its signature could not be checked";
const wchar_t kOwnUnreadable[] = L"this setup's own signature cannot be read";
const wchar_t kPadded[] = L"its certificate table holds bytes beyond its signature";
const wchar_t kOwnVersionUnreadable[] = L"this setup's own version resource cannot be read";
const wchar_t kNoVersion[] = L"its version resource cannot be read";

// An open file read at given offsets.
class CFileReader {
 public:
  explicit CFileReader(const std::wstring& path)
      : m_file(SafeCreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {
    LARGE_INTEGER size = {};
    m_open = m_file.IsValid() && GetFileSizeEx(m_file.Get(), &size);
    m_size = m_open ? static_cast<uint64_t>(size.QuadPart) : 0;
  }

  bool IsOpen() const { return m_open; }
  uint64_t Size() const { return m_size; }

  bool Read(uint64_t offset, void* buffer, uint32_t size) const {
    if (offset > m_size || size > m_size - offset) return false;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    return ReadFile(m_file.Get(), buffer, size, &done, &at) && done == size;
  }

  CImageReader Reader() const {
    return [this](uint64_t offset, void* buffer, uint32_t size) { return Read(offset, buffer, size); };
  }

 private:
  CScopedHandle m_file;
  bool m_open = false;
  uint64_t m_size = 0;
};

ALG_ID HashAlgorithm(CDigestAlgorithm algorithm) {
  switch (algorithm) {
    case CDigestAlgorithm::kSha1: return CALG_SHA1;
    case CDigestAlgorithm::kSha256: return CALG_SHA_256;
    case CDigestAlgorithm::kSha384: return CALG_SHA_384;
    case CDigestAlgorithm::kSha512: return CALG_SHA_512;
    default: return 0;
  }
}

// A verify-only CryptoAPI context with a hash and a key it owns.
class CCrypto {
 public:
  CCrypto() {
    m_ready = CryptAcquireContextW(&m_provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT);
  }
  ~CCrypto() {
    EndHash();
    if (m_key) CryptDestroyKey(m_key);
    if (m_ready) CryptReleaseContext(m_provider, 0);
  }
  CCrypto(const CCrypto&) = delete;
  CCrypto& operator=(const CCrypto&) = delete;

  bool BeginHash(ALG_ID algorithm) {
    EndHash();
    return m_ready && CryptCreateHash(m_provider, algorithm, 0, 0, &m_hash);
  }
  bool Add(const void* data, size_t size) {
    return CryptHashData(m_hash, static_cast<const BYTE*>(data), static_cast<DWORD>(size), 0);
  }
  bool Value(std::vector<uint8_t>* value) {
    DWORD size = 0;
    DWORD length = sizeof(size);
    if (!CryptGetHashParam(m_hash, HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &length, 0)) return false;
    value->resize(size);
    return CryptGetHashParam(m_hash, HP_HASHVAL, value->data(), &size, 0);
  }
  // The current hash signed by the key of `blob`; `signature` is big-endian.
  bool Verify(const std::vector<uint8_t>& blob, const std::vector<uint8_t>& signature) {
    if (!CryptImportKey(m_provider, blob.data(), static_cast<DWORD>(blob.size()), 0, 0, &m_key)) return false;
    std::vector<uint8_t> reversed(signature.rbegin(), signature.rend());
    return CryptVerifySignatureW(m_hash, reversed.data(), static_cast<DWORD>(reversed.size()), m_key, nullptr, 0);
  }

 private:
  void EndHash() {
    if (m_hash) CryptDestroyHash(m_hash);
    m_hash = 0;
  }

  HCRYPTPROV m_provider = 0;
  BOOL m_ready = FALSE;
  HCRYPTHASH m_hash = 0;
  HCRYPTKEY m_key = 0;
};

bool HashRanges(CCrypto* crypto, const CFileReader& file, const std::vector<CByteRange>& ranges) {
  std::vector<uint8_t> buffer(kReadChunk);
  for (const CByteRange& range : ranges) {
    for (uint64_t done = 0; done < range.length;) {
      DWORD size = static_cast<DWORD>(std::min<uint64_t>(kReadChunk, range.length - done));
      if (!file.Read(range.offset + done, buffer.data(), size) || !crypto->Add(buffer.data(), size)) return false;
      done += size;
    }
  }
  return true;
}

bool HashOf(CCrypto* crypto, ALG_ID algorithm, const std::vector<uint8_t>& data, std::vector<uint8_t>* value) {
  return crypto->BeginHash(algorithm) && crypto->Add(data.data(), data.size()) && crypto->Value(value);
}

// Null with the signature read; otherwise why it cannot be. An image
// without a certificate table is "not signed".
const wchar_t* ReadSignature(const CFileReader& file, CSignedImageLayout* layout,
                             CAuthenticodeSignature* signature, std::vector<uint8_t>* table) {
  if (!file.IsOpen()) return kNotReadable;
  if (!ReadSignedImageLayout(file.Reader(), file.Size(), layout)) {
    char magic[2] = {};
    bool program = file.Read(0, magic, sizeof(magic)) && magic[0] == 'M' && magic[1] == 'Z';
    return program ? kMalformed : kNotSigned;
  }
  if (layout->tableSize == 0) return kNotSigned;
  table->resize(layout->tableSize);
  if (!file.Read(layout->tableOffset, table->data(), layout->tableSize)) return kNotReadable;
  return ParseCertificateTable(table->data(), table->size(), signature) ? nullptr : kMalformed;
}

}  // namespace

CPublisherCheck::CPublisherCheck() : CPublisherCheck(GetModuleFilePath()) {}

CPublisherCheck::CPublisherCheck(const std::wstring& program) : m_program(program) {
  CFileReader file(program);
  CSignedImageLayout layout;
  CAuthenticodeSignature signature;
  std::vector<uint8_t> table;
  const wchar_t* problem = ReadSignature(file, &layout, &signature, &table);
  if (problem == kNotSigned) {
    m_own = COwnSignature::kNone;
  } else if (!problem) {
    m_own = COwnSignature::kSigned;
    m_certificate = signature.signerCertificate;
  }
  // Anything else: a signature this program cannot read refuses every file,
  // never lets them all through as if it were unsigned.
}

bool CPublisherCheck::Accept(const std::wstring& path, const std::wstring& url) const {
  if (m_own == COwnSignature::kNone) {
    WriteLog(L"   Setup is not signed: the file downloaded from '%s' is not verified", url.c_str());
    return true;
  }
  const wchar_t* refusal = m_own == COwnSignature::kSigned ? Refusal(path) : kOwnUnreadable;
  if (!refusal) {
    WriteLog(L"   The file downloaded from '%s' is signed with this setup's certificate", url.c_str());
    return true;
  }
  WriteLog(L"   The file downloaded from '%s' is refused: %s", url.c_str(), refusal);
  return false;
}

bool CPublisherCheck::AcceptSetupUpdate(const std::wstring& path, const uint16_t announced[4]) const {
  CPeVersionInfo own, update;
  const wchar_t* refusal = !ReadFileVersionInfo(m_program, &own)  ? kOwnVersionUnreadable
                           : !ReadFileVersionInfo(path, &update) ? kNoVersion
                                                                 : SetupUpdateRefusal(own, update, announced);
  if (refusal) {
    WriteLog(L"   The setup program from the update site is refused: %s ('%s')", refusal, path.c_str());
    return false;
  }
  WriteLog(L"   The setup program '%s' from the update site is this setup in version %u.%u.%u.%u", path.c_str(),
           announced[0], announced[1], announced[2], announced[3]);
  return true;
}

const wchar_t* CPublisherCheck::Refusal(const std::wstring& path) const {
  CFileReader file(path);
  CSignedImageLayout layout;
  CAuthenticodeSignature signature;
  std::vector<uint8_t> table;
  if (const wchar_t* problem = ReadSignature(file, &layout, &signature, &table)) return problem;
  if (!CertificateTableHoldsOnlyItsSignature(table.data(), table.size())) return kPadded;
  ALG_ID imageAlgorithm = HashAlgorithm(signature.imageDigestAlgorithm);
  ALG_ID signerAlgorithm = HashAlgorithm(signature.signerDigestAlgorithm);
  if (!imageAlgorithm || !signerAlgorithm || signature.publicKeyBlob.empty()) return kUnsupported;
  if (signature.signerCertificate != m_certificate) return kOtherPublisher;
  CCrypto crypto;
  std::vector<uint8_t> digest;
  if (!crypto.BeginHash(imageAlgorithm) || !HashRanges(&crypto, file, layout.hashed) || !crypto.Value(&digest)) {
    return kNotChecked;
  }
  if (digest != signature.imageDigest) return kChanged;
  if (!HashOf(&crypto, signerAlgorithm, signature.signedContent, &digest)) return kNotChecked;
  if (digest != signature.messageDigest) return kForged;
  if (!crypto.BeginHash(signerAlgorithm) ||
      !crypto.Add(signature.signedAttributes.data(), signature.signedAttributes.size())) {
    return kNotChecked;
  }
  return crypto.Verify(signature.publicKeyBlob, signature.signature) ? nullptr : kForged;
}
