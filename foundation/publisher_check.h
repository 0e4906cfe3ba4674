#pragma once
// publisher_check.h: CPublisherCheck, whether a downloaded file is what the
// running setup's publisher signed. A signed setup takes a file only when
// its Authenticode signature is intact and made with the setup's own
// certificate; an unsigned setup (a development or test build) takes every
// file, unverified. No chain to a trusted root is asked for: the same
// certificate is the same publisher. A signed setup's update must also be
// this program, newer.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class CPublisherCheck {
 public:
  // Reads the signer of the running program.
  CPublisherCheck();
  // Reads the signer of `program`.
  explicit CPublisherCheck(const std::wstring& program);

  // Whether `path`, downloaded from `url`, may be used; the log says why
  // not, or that it was not verified.
  bool Accept(const std::wstring& path, const std::wstring& url) const;
  // Whether this program is signed: then only itself, newer, may replace it.
  bool IsSigned() const { return m_own == COwnSignature::kSigned; }
  // Whether `path`, an accepted download, is this program in the version
  // `announced` by the update site and newer; the log says why not.
  bool AcceptSetupUpdate(const std::wstring& path, const uint16_t announced[4]) const;

 private:
  enum class COwnSignature { kNone, kSigned, kUnreadable };

  // Null when `path` is signed with this program's certificate; otherwise why not.
  const wchar_t* Refusal(const std::wstring& path) const;

  std::wstring m_program;
  COwnSignature m_own = COwnSignature::kUnreadable;
  std::vector<uint8_t> m_certificate;
};
