#pragma once
// query_cancel_autoplay.h: AutoPlay held off while setup runs. A COM object
// of ours, entered in the running object table under the moniker the shell
// asks before it starts AutoPlay, answers "cancel" to every request, so a
// disc inserted during the run (the suite's next disc) starts nothing.
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

class CQueryCancelAutoplay : public IQueryCancelAutoPlay {
 public:
  // The count starts at 1: the creator holds that reference.
  CQueryCancelAutoplay() = default;
  CQueryCancelAutoplay(const CQueryCancelAutoplay&) = delete;
  CQueryCancelAutoplay& operator=(const CQueryCancelAutoplay&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // S_FALSE, which cancels AutoPlay, whatever is asked.
  HRESULT STDMETHODCALLTYPE AllowAutoPlay(LPCWSTR path, DWORD contentType, LPCWSTR label,
                                          DWORD serialNumber) override;

 private:
  virtual ~CQueryCancelAutoplay() = default;

  LONG m_references = 1;
};

// On: the AppID keys and the table entry; off: both removed again. An AppID
// key that another program made stays as it was. Calling it twice the same
// way changes nothing. Always true.
bool RegisterCancelAutoPlay(bool on);

// How the object is entered in the running object table; null restores the
// table's own Register. Tests make the entry fail with it.
using CancelAutoPlayRegistrar = HRESULT (*)(IRunningObjectTable* table, IUnknown* object, IMoniker* moniker,
                                            DWORD* cookie);
void SetCancelAutoPlayRegistrar(CancelAutoPlayRegistrar registrar);
