// png_image.cpp: decodes images through GDI+, started once per process and
// left running: images may be decoded on any thread until the end.
#include "platform/png_image.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <mutex>

namespace {

bool StartGdiplus() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  });
  return started;
}

}  // namespace

CPngImage::~CPngImage() { Clear(); }

void CPngImage::Clear() {
  if (m_bitmap) DeleteObject(m_bitmap);
  m_bitmap = nullptr;
  m_size = {0, 0};
}

bool CPngImage::TakeBitmap(void* gdiplusBitmap) {
  std::unique_ptr<Gdiplus::Bitmap> bitmap(static_cast<Gdiplus::Bitmap*>(gdiplusBitmap));
  if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) return false;
  HBITMAP handle = nullptr;
  // Transparent parts over white: the pages' header band is light.
  if (bitmap->GetHBITMAP(Gdiplus::Color(255, 255, 255), &handle) != Gdiplus::Ok || !handle) return false;
  Clear();
  m_bitmap = handle;
  m_size = {static_cast<LONG>(bitmap->GetWidth()), static_cast<LONG>(bitmap->GetHeight())};
  return true;
}

bool CPngImage::LoadFromFile(const std::wstring& path) {
  if (!StartGdiplus()) return false;
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  return TakeBitmap(Gdiplus::Bitmap::FromFile(path.c_str()));
}

bool CPngImage::LoadFromResource(HMODULE module, UINT id, const wchar_t* type) {
  if (!StartGdiplus()) return false;
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  DWORD size = found ? SizeofResource(module, found) : 0;
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return false;
  // The stream must own a movable copy of the bytes.
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return false;
  void* target = GlobalLock(copy);
  if (!target) {
    GlobalFree(copy);
    return false;
  }
  memcpy(target, data, size);
  GlobalUnlock(copy);
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &stream))) {
    GlobalFree(copy);
    return false;
  }
  bool loadedImage = TakeBitmap(Gdiplus::Bitmap::FromStream(stream));
  stream->Release();
  return loadedImage;
}

HBITMAP CPngImage::CopyBitmap() const {
  if (!m_bitmap) return nullptr;
  return static_cast<HBITMAP>(CopyImage(m_bitmap, IMAGE_BITMAP, 0, 0, 0));
}
