// list_box_st.cpp: drawing, measuring and the per-item records of the
// owner-drawn picture list.
#include "wizard/list_box_st.h"

#include <algorithm>

namespace {

const UINT kMeasureFormat = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS;  // 0x450
const UINT kDrawFormat = DT_WORDBREAK | DT_EXPANDTABS;                   // 0x50
const int kPictureMargin = 6;
const COLORREF kRedFrame = 0x1605C1;
const UINT_PTR kSubclassId = 0x5354;

std::wstring ItemText(HWND list, int index) {
  LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR || length == 0) return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  LRESULT copied = SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
  return text;
}

}  // namespace

CListBoxST::~CListBoxST() {
  if (m_window) RemoveWindowSubclass(m_window, ListProc, kSubclassId);
}

void CListBoxST::Attach(HWND listBox) {
  m_window = listBox;
  SetWindowSubclass(listBox, ListProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

// The point of the last double-click, for the notification that follows it.
LRESULT CALLBACK CListBoxST::ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR self) {
  if (message == WM_LBUTTONDBLCLK) {
    auto* list = reinterpret_cast<CListBoxST*>(self);
    list->m_lastDoubleClick = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

CListBoxST::ListItemData* CListBoxST::RecordOf(int index) const {
  LRESULT data = SendMessageW(m_window, LB_GETITEMDATA, index, 0);
  if (data == LB_ERR || data == 0) return nullptr;
  return reinterpret_cast<ListItemData*>(data);
}

int CListBoxST::AddString(const std::wstring& text, int image) {
  LRESULT index = SendMessageW(m_window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (index == LB_ERR || index == LB_ERRSPACE) return static_cast<int>(index);
  SetItemRecord(static_cast<int>(index), 0, 0, static_cast<DWORD>(image), 0, kMaskImage);
  return static_cast<int>(index);
}

int CListBoxST::SetItemRecord(int index, DWORD reserved, DWORD data, DWORD image, DWORD flags, DWORD mask) {
  LRESULT count = SendMessageW(m_window, LB_GETCOUNT, 0, 0);
  if (index < 0 || count == LB_ERR || index >= count) return -1;
  ListItemData* record = RecordOf(index);
  if (!record) {
    m_records.push_back(std::make_unique<ListItemData>());
    record = m_records.back().get();
  }
  if (mask & kMaskReserved) record->reserved = reserved;
  if (mask & kMaskData) record->data = data;
  if (mask & kMaskImage) record->image = image;
  if (mask & kMaskFlags) record->flags = flags;
  if (SendMessageW(m_window, LB_SETITEMDATA, index, reinterpret_cast<LPARAM>(record)) == LB_ERR) return -1;
  return 0;
}

DWORD CListBoxST::GetItemData(int index) const {
  ListItemData* record = RecordOf(index);
  return record ? record->data : static_cast<DWORD>(-1);
}

bool CListBoxST::IsItemEnabled(int index) const {
  ListItemData* record = RecordOf(index);
  return !record || (record->flags & kFlagDisabled) == 0;
}

void CListBoxST::SetImageList(HIMAGELIST imageList) {
  m_imageList = imageList;
  m_imageWidth = 0;
  m_imageHeight = 0;
  if (imageList) ImageList_GetIconSize(imageList, &m_imageWidth, &m_imageHeight);
  if (m_window) InvalidateRect(m_window, nullptr, TRUE);
}

void CListBoxST::SetFocusStyle(BYTE style, bool redraw) {
  if (style > kFocusText) return;
  m_focusStyle = style;
  if (redraw && m_window) InvalidateRect(m_window, nullptr, TRUE);
}

void CListBoxST::MeasureItem(MEASUREITEMSTRUCT* measure) {
  RECT client = {};
  if (m_window) GetClientRect(m_window, &client);
  RECT text = {0, 0, client.right - client.left, 0};
  int height = 0;
  if (m_window && measure->itemID != static_cast<UINT>(-1)) {
    HDC dc = GetDC(m_window);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(m_window, WM_GETFONT, 0, 0)));
    std::wstring itemText = ItemText(m_window, static_cast<int>(measure->itemID));
    if (!itemText.empty()) height = DrawTextW(dc, itemText.c_str(), -1, &text, kMeasureFormat);
    SelectObject(dc, old);
    ReleaseDC(m_window, dc);
  }
  if (m_imageList) height = std::max(height, m_imageHeight + kPictureMargin);
  measure->itemHeight = static_cast<UINT>(height + kPictureMargin);
}

void CListBoxST::DrawRedFrame(HDC dc, const RECT& item) {
  HPEN pen = CreatePen(PS_SOLID, 2, kRedFrame);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, item.left + 2, item.top + 2, item.right - 2, item.bottom - 2);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void CListBoxST::DrawItem(const DRAWITEMSTRUCT* draw) {
  if (draw->itemID == static_cast<UINT>(-1)) return;
  ListItemData* record = RecordOf(static_cast<int>(draw->itemID));
  if (!record) return;
  HDC dc = draw->hDC;
  bool selected = (draw->itemState & ODS_SELECTED) != 0;
  bool focused = (draw->itemState & ODS_FOCUS) != 0;
  bool disabled = (draw->itemState & ODS_DISABLED) != 0 || (record->flags & kFlagDisabled) != 0;
  COLORREF window = GetSysColor(COLOR_WINDOW);
  COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  COLORREF windowText = GetSysColor(COLOR_WINDOWTEXT);
  SetBkMode(dc, TRANSPARENT);

  RECT item = draw->rcItem;
  RECT picture = {item.left, item.top, item.left, item.top};
  if (m_imageList) {
    picture.right = item.left + m_imageWidth + kPictureMargin;
    picture.bottom = item.top + m_imageHeight + kPictureMargin;
  }
  RECT area = item;
  area.left = picture.right;
  std::wstring text = ItemText(m_window, static_cast<int>(draw->itemID));
  RECT textRect = area;
  DrawTextW(dc, text.c_str(), -1, &textRect, record->format | kMeasureFormat);
  OffsetRect(&textRect, 0, ((area.bottom - area.top) - (textRect.bottom - textRect.top)) / 2);

  if (m_imageList) {
    bool marked = selected && !disabled && m_focusStyle == kFocusFrame;
    DrawImageBackground(dc, item, picture, marked ? highlight : window, selected);
  }
  COLORREF textColour = disabled ? GetSysColor(COLOR_GRAYTEXT)
                        : selected ? (windowText ^ 0xFFFFFF)
                                   : windowText;
  COLORREF background = selected && !disabled ? highlight : window;
  SetTextColor(dc, textColour);
  DrawTextBackground(dc, m_focusStyle == kFocusText ? textRect : area, background, selected);
  if (m_imageList) DrawImage(dc, picture, static_cast<int>(record->image), disabled);
  DrawTextW(dc, text.c_str(), -1, &textRect, record->format | kDrawFormat);
  if (focused && !disabled) {
    if (m_focusStyle == kFocusFrame) DrawRedFrame(dc, item);
    else if (m_focusStyle == kFocusArea) DrawFocusRect(dc, &area);
    else DrawFocusRect(dc, &textRect);
  }
}

void CListBoxST::DrawTextBackground(HDC dc, const RECT& area, COLORREF colour, bool selected) {
  if (selected) return;
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &area, brush);
  DeleteObject(brush);
}

void CListBoxST::DrawImageBackground(HDC dc, const RECT& item, const RECT& picture, COLORREF colour,
                                     bool selected) {
  if (selected) {
    DrawRedFrame(dc, item);
    return;
  }
  RECT column = {picture.left, item.top, picture.right, item.bottom};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &column, brush);
  DeleteObject(brush);
}

// A mirrored list keeps its pictures as drawn: the languages' names in them
// read in their own direction.
void CListBoxST::DrawImage(HDC dc, const RECT& picture, int image, bool disabled) {
  HICON icon = ImageList_GetIcon(m_imageList, image, ILD_NORMAL);
  if (!icon) return;
  DWORD layout = GetLayout(dc);
  if (layout & LAYOUT_RTL) SetLayout(dc, layout | LAYOUT_BITMAPORIENTATIONPRESERVED);
  DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, picture.left + 3, picture.top + 3,
             m_imageWidth, m_imageHeight, DST_ICON | (disabled ? DSS_DISABLED : DSS_NORMAL));
  if (layout & LAYOUT_RTL) SetLayout(dc, layout);
  DestroyIcon(icon);
}

bool CListBoxST::OnDoubleClick() {
  LRESULT hit = SendMessageW(m_window, LB_ITEMFROMPOINT, 0, MAKELPARAM(m_lastDoubleClick.x, m_lastDoubleClick.y));
  if (HIWORD(hit) != 0) return false;  // outside every item
  return !IsItemEnabled(static_cast<int>(LOWORD(hit)));
}

void CListBoxST::OnDestroy() {
  LRESULT count = SendMessageW(m_window, LB_GETCOUNT, 0, 0);
  for (LRESULT index = count - 1; index >= 0; --index) SendMessageW(m_window, LB_SETITEMDATA, index, 0);
  while (!m_records.empty()) m_records.pop_back();
  if (m_window) RemoveWindowSubclass(m_window, ListProc, kSubclassId);
  m_window = nullptr;
}
