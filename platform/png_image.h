#pragma once
// png_image.h: a PNG (or any image GDI+ reads) from a file or from a
// resource, kept as a GDI bitmap for static controls and painting.
#include <windows.h>

#include <string>

class CPngImage {
 public:
  CPngImage() = default;
  CPngImage(const CPngImage&) = delete;
  CPngImage& operator=(const CPngImage&) = delete;
  ~CPngImage();

  // False (the image stays empty) when the file or resource is missing or
  // not an image.
  bool LoadFromFile(const std::wstring& path);
  bool LoadFromResource(HMODULE module, UINT id, const wchar_t* type = L"PNG");
  void Clear();

  bool IsEmpty() const { return m_bitmap == nullptr; }
  // Owned by the image.
  HBITMAP GetBitmap() const { return m_bitmap; }
  SIZE GetSize() const { return m_size; }
  // A copy the caller owns (a static control takes its bitmap's ownership
  // only in part, so it is given a copy).
  HBITMAP CopyBitmap() const;

 private:
  bool TakeBitmap(void* gdiplusBitmap);

  HBITMAP m_bitmap = nullptr;
  SIZE m_size = {0, 0};
};
