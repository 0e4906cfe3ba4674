// tree_control.cpp: the check-box tree: which inputs it swallows and how a
// check change is asked for before it happens.
#include "platform/tree_control.h"

#include <vector>

#include "platform/callback_boundary.h"

namespace {

const UINT_PTR kSubclassId = 0x7C0E;
const UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
const UINT kChecked = INDEXTOSTATEIMAGEMASK(2);

// A copy of the bitmap, its left and right sides swapped.
HBITMAP MirroredCopy(HBITMAP bitmap) {
  BITMAP shape = {};
  if (!bitmap || !GetObjectW(bitmap, sizeof(shape), &shape)) return nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP copy = shape.bmBitsPixel == 1 ? CreateBitmap(shape.bmWidth, shape.bmHeight, 1, 1, nullptr)
                                        : CreateCompatibleBitmap(screen, shape.bmWidth, shape.bmHeight);
  HDC from = CreateCompatibleDC(screen);
  HDC to = CreateCompatibleDC(screen);
  if (copy && from && to) {
    HGDIOBJ oldFrom = SelectObject(from, bitmap);
    HGDIOBJ oldTo = SelectObject(to, copy);
    StretchBlt(to, shape.bmWidth - 1, 0, -shape.bmWidth, shape.bmHeight, from, 0, 0, shape.bmWidth,
               shape.bmHeight, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
  }
  if (from) DeleteDC(from);
  if (to) DeleteDC(to);
  ReleaseDC(nullptr, screen);
  return copy;
}

// The image list's picture, mirrored in its place.
void MirrorImage(HIMAGELIST images, int index) {
  HICON icon = ImageList_GetIcon(images, index, ILD_NORMAL);
  ICONINFO parts = {};
  if (!icon || !GetIconInfo(icon, &parts)) {
    if (icon) DestroyIcon(icon);
    return;
  }
  ICONINFO mirrored = {TRUE, 0, 0, MirroredCopy(parts.hbmMask), MirroredCopy(parts.hbmColor)};
  HICON flipped = mirrored.hbmMask ? CreateIconIndirect(&mirrored) : nullptr;
  if (flipped) ImageList_ReplaceIcon(images, index, flipped);
  for (HBITMAP bitmap : {parts.hbmMask, parts.hbmColor, mirrored.hbmMask, mirrored.hbmColor}) {
    if (bitmap) DeleteObject(bitmap);
  }
  if (flipped) DestroyIcon(flipped);
  DestroyIcon(icon);
}

}  // namespace

bool CTreeControl::Attach(HWND tree) {
  Detach();
  if (!tree || !SetWindowSubclass(tree, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    return false;
  }
  m_window = tree;
  // Only a style set after creation makes the control build its images.
  LONG_PTR style = GetWindowLongPtrW(tree, GWL_STYLE);
  SetWindowLongPtrW(tree, GWL_STYLE, style & ~TVS_CHECKBOXES);
  SetWindowLongPtrW(tree, GWL_STYLE, style | TVS_CHECKBOXES);
  SendMessageW(tree, TVM_SETEXTENDEDSTYLE, 0x300, 0);
  if (GetWindowLongPtrW(tree, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) KeepStateImagesUpright();
  return true;
}

// A mirrored tree mirrors its check boxes as it draws them, so a check mark
// would lean the wrong way: its images are mirrored once beforehand, and
// show as drawn.
void CTreeControl::KeepStateImagesUpright() {
  HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(m_window, TVM_GETIMAGELIST, TVSIL_STATE, 0));
  if (!images) return;
  for (int index = 0; index < ImageList_GetImageCount(images); ++index) MirrorImage(images, index);
  InvalidateRect(m_window, nullptr, TRUE);
}

void CTreeControl::Detach() {
  if (m_window) RemoveWindowSubclass(m_window, SubclassProc, kSubclassId);
  m_window = nullptr;
}

HTREEITEM CTreeControl::InsertItem(const std::wstring& text, HTREEITEM parent, LPARAM data, bool checked,
                                   bool bold) {
  TVINSERTSTRUCTW insert = {};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
  insert.item.pszText = const_cast<wchar_t*>(text.c_str());
  insert.item.lParam = data;
  insert.item.stateMask = TVIS_STATEIMAGEMASK | TVIS_BOLD;
  insert.item.state = (checked ? kChecked : kUnchecked) | (bold ? TVIS_BOLD : 0);
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(m_window, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void CTreeControl::DeleteAllItems() { SendMessageW(m_window, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }

bool CTreeControl::GetCheck(HTREEITEM item) const {
  UINT state = static_cast<UINT>(
      SendMessageW(m_window, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK));
  return (state & TVIS_STATEIMAGEMASK) == kChecked;
}

void CTreeControl::SetCheck(HTREEITEM item, bool checked) {
  TVITEMW change = {};
  change.mask = TVIF_HANDLE | TVIF_STATE;
  change.hItem = item;
  change.stateMask = TVIS_STATEIMAGEMASK;
  change.state = checked ? kChecked : kUnchecked;
  SendMessageW(m_window, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
}

LPARAM CTreeControl::GetItemData(HTREEITEM item) const {
  TVITEMW read = {};
  read.mask = TVIF_HANDLE | TVIF_PARAM;
  read.hItem = item;
  if (!SendMessageW(m_window, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read))) return -1;
  return read.lParam;
}

std::wstring CTreeControl::GetItemText(HTREEITEM item) const {
  std::vector<wchar_t> buffer(1024, L'\0');
  TVITEMW read = {};
  read.mask = TVIF_HANDLE | TVIF_TEXT;
  read.hItem = item;
  read.pszText = buffer.data();
  read.cchTextMax = static_cast<int>(buffer.size());
  if (!SendMessageW(m_window, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read))) return std::wstring();
  return read.pszText ? std::wstring(read.pszText) : std::wstring();
}

void CTreeControl::SelectItem(HTREEITEM item) {
  SendMessageW(m_window, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

void CTreeControl::Expand(HTREEITEM item, bool expand) {
  SendMessageW(m_window, TVM_EXPAND, expand ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(item));
}

void CTreeControl::SetItemHeight(int height) { SendMessageW(m_window, TVM_SETITEMHEIGHT, height, 0); }

int CTreeControl::GetItemHeight() const { return static_cast<int>(SendMessageW(m_window, TVM_GETITEMHEIGHT, 0, 0)); }

HTREEITEM CTreeControl::Next(HTREEITEM item, UINT relation) const {
  if (!m_window) return nullptr;
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(m_window, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

bool CTreeControl::ToggleCheck(HTREEITEM item) {
  if (!item) return false;
  bool checked = !GetCheck(item);
  if (m_checkChanging && !m_checkChanging(item, checked)) return false;
  SetCheck(item, checked);
  if (m_checkChanged) m_checkChanged(item);
  return true;
}

// True when the message is taken away from the control.
bool CTreeControl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == VK_LEFT || wParam == VK_RIGHT) return true;
      if (wParam == VK_SPACE) {
        ToggleCheck(GetSelectedItem());
        return true;
      }
      return false;
    case WM_CHAR:
      // The control would flip the mark itself, or search for a blank.
      return wParam == L' ';
    case WM_LBUTTONDOWN: {
      TVHITTESTINFO hit = {};
      hit.pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      HTREEITEM item = reinterpret_cast<HTREEITEM>(
          SendMessageW(m_window, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
      if (!item || !(hit.flags & TVHT_ONITEMSTATEICON)) return false;
      SetFocus(m_window);
      SelectItem(item);
      ToggleCheck(item);
      return true;
    }
    case WM_LBUTTONDBLCLK: {
      // The first click of the pair has done what a click does.
      TVHITTESTINFO hit = {};
      hit.pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      SendMessageW(m_window, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
      return true;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK CTreeControl::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data) {
  CTreeControl* tree = reinterpret_cast<CTreeControl*>(data);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, SubclassProc, kSubclassId);
    if (tree) tree->m_window = nullptr;
    return DefSubclassProc(window, message, wParam, lParam);
  }
  try {
    if (tree && tree->OnMessage(message, wParam, lParam)) return 0;
  } catch (...) {
    ReportBoundaryException(L"the tree control");
    return 0;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}
