#pragma once
// zip_action_callback.h: what a caller hands the archive to follow a long
// operation (extracting, testing, deleting, renaming, copying, replacing)
// and to abort it. The archive sets the parameter to the operation's type
// before each use; the default behaviour follows nothing and never aborts.
#include <cstdint>
#include <string>

class CZipActionCallback {
 public:
  virtual ~CZipActionCallback() = default;

  // The change-volume request of disk spanning: continue?
  virtual bool Callback(uint64_t bytesNeeded, int code) {
    (void)bytesNeeded;
    (void)code;
    return true;
  }
  virtual void Init(const std::wstring& fileNameInZip, const std::wstring& externalPath) {
    (void)fileNameInZip;
    (void)externalPath;
  }
  virtual void SetTotal(uint64_t total) { (void)total; }
  // Progress by `count` more units; false asks to abort.
  virtual bool RequestCallback(uint64_t count) {
    (void)count;
    return true;
  }
  virtual void CallbackEnd() {}

  int m_param = 0;
};
