#pragma once
// list_box_st.h: CListBoxST, an owner-drawn list box whose items show a
// picture of an attached image list and, right of it, an optional text.
// Items can be disabled one by one. The dialog that holds the list box
// routes WM_MEASUREITEM, WM_DRAWITEM, its notifications and WM_DESTROY here.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

class CListBoxST {
 public:
  enum { kFocusFrame = 0, kFocusArea = 1, kFocusText = 2 };
  enum { kMaskReserved = 1, kMaskData = 2, kMaskImage = 4, kMaskFlags = 8 };
  static const DWORD kFlagDisabled = 1;

  // The record kept as each item's data.
  struct ListItemData {
    DWORD reserved = 0;
    DWORD data = 0;
    DWORD image = 0;
    DWORD format = 0;
    DWORD flags = 0;
  };

  CListBoxST() = default;
  CListBoxST(const CListBoxST&) = delete;
  CListBoxST& operator=(const CListBoxST&) = delete;
  ~CListBoxST();

  // The list box of the dialog; watches its double-clicks.
  void Attach(HWND listBox);
  HWND GetSafeHwnd() const { return m_window; }

  int AddString(const std::wstring& text, int image);
  int SetItemRecord(int index, DWORD reserved, DWORD data, DWORD image, DWORD flags, DWORD mask);
  int SetItemData(int index, DWORD data) { return SetItemRecord(index, 0, data, 0, 0, kMaskData); }
  // -1 for an item without a record.
  DWORD GetItemData(int index) const;
  bool IsItemEnabled(int index) const;
  void SetImageList(HIMAGELIST imageList);
  void SetFocusStyle(BYTE style, bool redraw);
  BYTE GetFocusStyle() const { return m_focusStyle; }
  int GetImageHeight() const { return m_imageHeight; }

  // The dialog's routes. OnDoubleClick is true when the double-click is
  // swallowed (it was on a disabled item).
  void MeasureItem(MEASUREITEMSTRUCT* measure);
  void DrawItem(const DRAWITEMSTRUCT* draw);
  bool OnDoubleClick();
  void OnDestroy();

 protected:
  virtual void DrawTextBackground(HDC dc, const RECT& area, COLORREF colour, bool selected);
  virtual void DrawImageBackground(HDC dc, const RECT& item, const RECT& picture, COLORREF colour, bool selected);
  virtual void DrawImage(HDC dc, const RECT& picture, int image, bool disabled);

 private:
  static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR self);
  ListItemData* RecordOf(int index) const;
  static void DrawRedFrame(HDC dc, const RECT& item);

  HWND m_window = nullptr;
  BYTE m_focusStyle = kFocusFrame;
  HIMAGELIST m_imageList = nullptr;
  int m_imageWidth = 0;
  int m_imageHeight = 0;
  POINT m_lastDoubleClick = {-1, -1};
  std::vector<std::unique_ptr<ListItemData>> m_records;
};
