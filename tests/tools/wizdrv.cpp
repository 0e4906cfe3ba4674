// wizdrv.cpp: drives a running wizard from another process of the same Wine
// prefix, for the end-to-end tests. One command per run; what it finds is
// printed as lines the tests parse. Only messages without pointers cross
// the process boundary (PSM_PRESSBUTTON, WM_GETTEXT, WM_COMMAND).
// Usage:
//   wizdrv.exe wait-sheet TITLE MS          the sheet, shown, within MS
//   wizdrv.exe state TITLE                  the sheet's rectangle and its screen's work area,
//                                           current page, buttons, default button, focused
//                                           control, controls (screen rectangle, extended
//                                           style, a static's picture shown), boxes
//   wizdrv.exe wait-control TITLE ID MS     a visible control ID on the current page
//   wizdrv.exe wait-leave TITLE INDEX MS    the current page is no longer INDEX
//   wizdrv.exe press TITLE back|next|finish|cancel|close   close: the title bar's X
//   wizdrv.exe click TITLE ID               BM_CLICK on the current page's control, else the
//                                           sheet's
//   wizdrv.exe size TITLE ID                "size WIDTH HEIGHT" of control ID of the current page
//   wizdrv.exe control TITLE ID             control ID of whichever page of the sheet holds it,
//                                           the current one or one left ("bar pos=P range=L,H"
//                                           follows for a progress bar)
//   wizdrv.exe wait-box CHILD_ID MS         a dialog box holding control CHILD_ID
//   wizdrv.exe answer CHILD_ID COMMAND MS   that box gets WM_COMMAND COMMAND
//   wizdrv.exe escape|enter CHILD_ID MS     that box gets the Escape or the Enter key
//   wizdrv.exe wait-gone TITLE MS           the sheet has closed
//   wizdrv.exe windows                      every visible top-level window
//   wizdrv.exe set-text TITLE ID TEXT       the current page's control ID gets TEXT
//   wizdrv.exe tree TITLE ID                the current page's tree ID, item by item
//   wizdrv.exe tree-keys TITLE ID KEY...    keys posted to that tree: up, down,
//                                           home, left, right, space
//   wizdrv.exe tree-click TITLE ID INDEX [label]   a click on the check image of item
//                                           INDEX (in the order `tree` prints), or on its text
//   wizdrv.exe check-image FILE             the checked box of a tree of its own, left to
//                                           right, as a BMP file: the mark as drawn
// A tree's items hold pointers: they are read through a buffer in the
// sheet's process.
//   wizdrv.exe list CHILD_ID LIST_ID MS     the picture list of a dialog box: items, heights,
//                                           selection and each item's record (data, image, flags)
//   wizdrv.exe list-click CHILD_ID LIST_ID INDEX single|double   mouse clicks on an item
//   wizdrv.exe fit TITLE SPEC [ID=SPEC...] [dpi=N]  each visible text of the current page and
//                                           the sheet's buttons measured against its client area
//                                           with the font SPEC ("Tahoma_Bold_8"; the pages'
//                                           fonts by control id) at the layout's DPI N (the
//                                           screen's by default): "fit id=.. ok=0|1 ..."; a
//                                           static that ends in an ellipsis needs one line
// A font handle belongs to its process: the test names the fonts the
// program gives its controls, from the language's own font specs.
// Exit code 0 when found or done, 1 when the wait ran out, 2 on bad usage.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <utility>
#include <vector>

namespace {

const int kWizardButtons[] = {12323, 12324, 12325, IDCANCEL, 60000};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &result[0], size, nullptr,
                      nullptr);
  return result;
}

// Texts are printed on one line: line breaks and backslashes are escaped.
std::string Quoted(const std::wstring& text) {
  std::wstring escaped;
  for (wchar_t c : text) {
    if (c == L'\\') escaped += L"\\\\";
    else if (c == L'\r') escaped += L"\\r";
    else if (c == L'\n') escaped += L"\\n";
    else escaped += c;
  }
  return Utf8(escaped);
}

std::wstring WindowText(HWND window) {
  // WM_GETTEXT with a timeout: a hung owner must not hang the driver.
  wchar_t buffer[4096] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                           2000, &copied)) {
    return std::wstring();
  }
  return std::wstring(buffer, copied);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &result);
  return static_cast<LRESULT>(result);
}

struct CSheetSearch {
  const std::wstring* title;
  HWND found;
};

BOOL CALLBACK MatchSheet(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<CSheetSearch*>(parameter);
  if (ClassOf(window) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  if (WindowText(window) != *search->title) return TRUE;
  // The sheet, not a box titled like it: it has a tab control.
  if (!FindWindowExW(window, nullptr, L"SysTabControl32", nullptr)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindSheet(const std::wstring& title) {
  CSheetSearch search = {&title, nullptr};
  EnumWindows(MatchSheet, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A visible dialog box (not the sheet) holding a control with the id.
struct CBoxSearch {
  int id;
  HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<CBoxSearch*>(parameter);
  if (ClassOf(window) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  if (FindWindowExW(window, nullptr, L"SysTabControl32", nullptr)) return TRUE;
  if (!GetDlgItem(window, search->id)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindBox(int childId) {
  CBoxSearch search = {childId, nullptr};
  EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND CurrentPage(HWND sheet) {
  DWORD_PTR page = 0;
  SendMessageTimeoutW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 2000, &page);
  return reinterpret_cast<HWND>(page);
}

// A static's picture: an icon or a bitmap is shown (the handle itself
// means nothing in this process).
bool ShowsImage(HWND control) {
  if (ClassOf(control) != L"Static") return false;
  LONG type = GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK;
  if (type == SS_ICON) return Ask(control, STM_GETICON, 0, 0) != 0;
  if (type == SS_BITMAP) return Ask(control, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0;
  return false;
}

// The rectangle in screen coordinates; the extended style tells mirroring
// and reading order.
void PrintControl(const char* kind, HWND control) {
  RECT bounds = {};
  GetWindowRect(control, &bounds);
  std::printf("%s id=%d visible=%d enabled=%d class=%s rect=%ld,%ld,%ld,%ld exstyle=0x%lx image=%d text=%s\n",
              kind, GetDlgCtrlID(control), IsWindowVisible(control) ? 1 : 0, IsWindowEnabled(control) ? 1 : 0,
              Utf8(ClassOf(control)).c_str(), bounds.left, bounds.top, bounds.right, bounds.bottom,
              static_cast<unsigned long>(GetWindowLongW(control, GWL_EXSTYLE)), ShowsImage(control) ? 1 : 0,
              Quoted(WindowText(control)).c_str());
}

// A list box's lines follow it (LB_GETTEXT is marshalled across processes).
void PrintListItems(HWND list) {
  LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT index = 0; index < count; ++index) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length < 0 || length > 1024) continue;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(length));
    std::printf("listitem id=%d text=%s\n", GetDlgCtrlID(list), Quoted(text).c_str());
  }
}

void PrintChildren(const char* kind, HWND parent) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    PrintControl(kind, child);
    if (ClassOf(child) == L"ListBox") PrintListItems(child);
  }
}

// The box's title and where it stands on the screen.
void PrintBoxHeader(HWND box) {
  RECT bounds = {};
  GetWindowRect(box, &bounds);
  std::printf("box title=%s\n", Quoted(WindowText(box)).c_str());
  std::printf("boxrect=%ld,%ld,%ld,%ld\n", bounds.left, bounds.top, bounds.right, bounds.bottom);
}

BOOL CALLBACK PrintBox(HWND window, LPARAM) {
  if (ClassOf(window) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  if (FindWindowExW(window, nullptr, L"SysTabControl32", nullptr)) return TRUE;
  PrintBoxHeader(window);
  PrintChildren("boxcontrol", window);
  return TRUE;
}

void PrintBoxes() { EnumWindows(PrintBox, 0); }

BOOL CALLBACK PrintWindow(HWND window, LPARAM) {
  if (!IsWindowVisible(window)) return TRUE;
  std::printf("window class=%s title=%s\n", Utf8(ClassOf(window)).c_str(), Quoted(WindowText(window)).c_str());
  return TRUE;
}

int PrintState(HWND sheet) {
  HWND page = CurrentPage(sheet);
  DWORD_PTR index = static_cast<DWORD_PTR>(-1);
  if (page) SendMessageTimeoutW(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0, SMTO_ABORTIFHUNG, 2000,
                                &index);
  std::printf("sheet title=%s\n", Quoted(WindowText(sheet)).c_str());
  std::printf("page index=%d\n", static_cast<int>(index));
  // The whole window, and the work area of its screen it must stay within.
  RECT window = {};
  GetWindowRect(sheet, &window);
  MONITORINFO monitor = {sizeof(monitor)};
  GetMonitorInfoW(MonitorFromWindow(sheet, MONITOR_DEFAULTTONEAREST), &monitor);
  std::printf("sheet rect=%ld,%ld,%ld,%ld work=%ld,%ld,%ld,%ld\n", window.left, window.top, window.right,
              window.bottom, monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right, monitor.rcWork.bottom);
  if (page) {
    // The page's client area in screen coordinates: where its own painting
    // (the header band) is measured from.
    RECT client = {};
    GetClientRect(page, &client);
    POINT corners[2] = {{client.left, client.top}, {client.right, client.bottom}};
    ClientToScreen(page, &corners[0]);
    ClientToScreen(page, &corners[1]);
    // A mirrored page maps its left edge to the right one.
    std::printf("page rect=%ld,%ld,%ld,%ld exstyle=0x%lx\n", std::min(corners[0].x, corners[1].x), corners[0].y,
                std::max(corners[0].x, corners[1].x), corners[1].y,
                static_cast<unsigned long>(GetWindowLongW(page, GWL_EXSTYLE)));
  }
  for (int id : kWizardButtons) {
    HWND button = GetDlgItem(sheet, id);
    if (button) PrintControl("button", button);
  }
  // What Enter presses: the sheet's default button, or the focused button.
  DWORD_PTR defaultId = 0;
  SendMessageTimeoutW(sheet, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 2000, &defaultId);
  std::printf("default id=%d\n", HIWORD(defaultId) == DC_HASDEFID ? static_cast<int>(LOWORD(defaultId)) : 0);
  GUITHREADINFO thread = {sizeof(thread)};
  if (GetGUIThreadInfo(GetWindowThreadProcessId(sheet, nullptr), &thread) && thread.hwndFocus) {
    std::printf("focus id=%d class=%s\n", GetDlgCtrlID(thread.hwndFocus), Utf8(ClassOf(thread.hwndFocus)).c_str());
  } else {
    std::printf("focus id=0 class=\n");
  }
  if (page) PrintChildren("control", page);
  PrintBoxes();
  return 0;
}

// A page the sheet has left stays as a hidden child of the sheet: what it
// showed last can still be read.
HWND FindPageControl(HWND sheet, int id) {
  HWND page = CurrentPage(sheet);
  HWND control = page ? GetDlgItem(page, id) : nullptr;
  for (HWND child = GetWindow(sheet, GW_CHILD); child && !control; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == L"#32770") control = GetDlgItem(child, id);
  }
  return control;
}

int PrintPageControl(HWND sheet, int id) {
  HWND control = FindPageControl(sheet, id);
  if (!control) return 1;
  PrintControl("control", control);
  if (ClassOf(control) == L"msctls_progress32") {
    std::printf("bar pos=%d range=%d,%d\n", static_cast<int>(Ask(control, PBM_GETPOS, 0, 0)),
                static_cast<int>(Ask(control, PBM_GETRANGE, TRUE, 0)),
                static_cast<int>(Ask(control, PBM_GETRANGE, FALSE, 0)));
  }
  return 0;
}

template <typename Found>
HWND WaitFor(DWORD milliseconds, Found found) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND window = found();
    if (window) return window;
    if (GetTickCount() - start >= milliseconds) return nullptr;
    Sleep(50);
  }
}

int Press(HWND sheet, const std::wstring& name) {
  // The title bar's button, as the non-client area sends it.
  if (name == L"close") return PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
  int button = name == L"back" ? PSBTN_BACK
               : name == L"next" ? PSBTN_NEXT
               : name == L"finish" ? PSBTN_FINISH
               : name == L"cancel" ? PSBTN_CANCEL
                                   : -1;
  if (button < 0) return 2;
  // Posted: a press that opens a modal box must not block the driver.
  return PostMessageW(sheet, PSM_PRESSBUTTON, button, 0) ? 0 : 1;
}

// A block of memory in the tree's process, for the messages that carry a
// pointer.
class CRemoteBuffer {
 public:
  explicit CRemoteBuffer(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (m_process) m_address = VirtualAllocEx(m_process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
  }
  ~CRemoteBuffer() {
    if (m_address) VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
    if (m_process) CloseHandle(m_process);
  }
  bool IsValid() const { return m_address != nullptr; }
  char* At(size_t offset) const { return static_cast<char*>(m_address) + offset; }
  bool Write(size_t offset, const void* data, size_t size) const {
    return WriteProcessMemory(m_process, At(offset), data, size, nullptr) != FALSE;
  }
  bool Read(size_t offset, void* data, size_t size) const {
    return ReadProcessMemory(m_process, At(offset), data, size, nullptr) != FALSE;
  }

 private:
  HANDLE m_process = nullptr;
  void* m_address = nullptr;
};

HWND FindTree(const std::wstring& title, int id) {
  HWND sheet = FindSheet(title);
  HWND page = sheet ? CurrentPage(sheet) : nullptr;
  return page ? GetDlgItem(page, id) : nullptr;
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT relation) {
  return reinterpret_cast<HTREEITEM>(Ask(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// Every item depth first, with its depth.
void CollectItems(HWND tree, HTREEITEM first, int depth, std::vector<std::pair<HTREEITEM, int>>* items) {
  for (HTREEITEM item = first; item; item = NextItem(tree, item, TVGN_NEXT)) {
    items->push_back({item, depth});
    CollectItems(tree, NextItem(tree, item, TVGN_CHILD), depth + 1, items);
  }
}

std::wstring RemoteItemText(HWND tree, const CRemoteBuffer& buffer, HTREEITEM item) {
  const size_t textOffset = 512;
  TVITEMW read = {};
  read.mask = TVIF_HANDLE | TVIF_TEXT;
  read.hItem = item;
  read.pszText = reinterpret_cast<wchar_t*>(buffer.At(textOffset));
  read.cchTextMax = 1024;
  wchar_t text[1024] = {};
  if (!buffer.Write(0, &read, sizeof(read)) || !buffer.Write(textOffset, text, sizeof(text))) return std::wstring();
  Ask(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.At(0)));
  if (!buffer.Read(textOffset, text, sizeof(text) - sizeof(wchar_t))) return std::wstring();
  return text;
}

int PrintTree(HWND tree) {
  CRemoteBuffer buffer(tree);
  if (!buffer.IsValid()) return 1;
  std::vector<std::pair<HTREEITEM, int>> items;
  CollectItems(tree, NextItem(tree, nullptr, TVGN_ROOT), 0, &items);
  HTREEITEM selected = NextItem(tree, nullptr, TVGN_CARET);
  for (const auto& entry : items) {
    UINT state = static_cast<UINT>(
        Ask(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(entry.first), TVIS_STATEIMAGEMASK | TVIS_EXPANDED));
    std::printf("item depth=%d checked=%d selected=%d expanded=%d text=%s\n", entry.second,
                (state & TVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2) ? 1 : 0, entry.first == selected ? 1 : 0,
                (state & TVIS_EXPANDED) ? 1 : 0, Quoted(RemoteItemText(tree, buffer, entry.first)).c_str());
  }
  return 0;
}

// Keys go to the tree itself: without a window manager the focus cannot
// be relied on.
int PostTreeKeys(HWND tree, int count, wchar_t** names) {
  for (int i = 0; i < count; ++i) {
    std::wstring name = names[i];
    UINT key = name == L"up" ? VK_UP : name == L"down" ? VK_DOWN : name == L"home" ? VK_HOME
               : name == L"left" ? VK_LEFT : name == L"right" ? VK_RIGHT : name == L"space" ? VK_SPACE : 0;
    if (!key) return 2;
    PostMessageW(tree, WM_KEYDOWN, key, 1);
    if (key == VK_SPACE) PostMessageW(tree, WM_CHAR, L' ', 1);
    PostMessageW(tree, WM_KEYUP, key, 0xC0000001);
  }
  return 0;
}

int ClickCheckImage(HWND tree, int index, bool label) {
  CRemoteBuffer buffer(tree);
  if (!buffer.IsValid()) return 1;
  std::vector<std::pair<HTREEITEM, int>> items;
  CollectItems(tree, NextItem(tree, nullptr, TVGN_ROOT), 0, &items);
  if (index < 0 || index >= static_cast<int>(items.size())) return 2;
  // TVM_GETITEMRECT takes the item in the rectangle it fills.
  RECT rect = {};
  HTREEITEM item = items[index].first;
  std::memcpy(&rect, &item, sizeof(item));
  if (!buffer.Write(0, &rect, sizeof(rect))) return 1;
  if (!Ask(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(buffer.At(0)))) return 1;
  if (!buffer.Read(0, &rect, sizeof(rect))) return 1;
  // The check image sits just left of the text.
  LPARAM point = MAKELPARAM(label ? (rect.left + rect.right) / 2 : rect.left - 8, (rect.top + rect.bottom) / 2);
  PostMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageW(tree, WM_LBUTTONUP, 0, point);
  return 0;
}

// The check mark as a left-to-right tree of this process draws it: the
// checked state image on the tree's white, written as a 24-bit BMP.
int WriteCheckImage(const wchar_t* path) {
  HWND tree = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  if (!tree) return 1;
  SetWindowLongW(tree, GWL_STYLE, GetWindowLongW(tree, GWL_STYLE) | TVS_CHECKBOXES);
  HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(tree, TVM_GETIMAGELIST, TVSIL_STATE, 0));
  int width = 0;
  int height = 0;
  if (!images || !ImageList_GetIconSize(images, &width, &height)) return 1;
  BITMAPINFOHEADER header = {sizeof(header), width, height, 1, 24, BI_RGB};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  RECT all = {0, 0, width, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ImageList_Draw(images, 2, dc, 0, 0, ILD_NORMAL);
  GdiFlush();
  SelectObject(dc, previous);
  DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
  BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(header) + imageBytes), 0, 0,
                           static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(header))};
  FILE* out = _wfopen(path, L"wb");
  bool written = out && std::fwrite(&file, sizeof(file), 1, out) == 1 && std::fwrite(&header, sizeof(header), 1, out) == 1 &&
                 std::fwrite(bits, imageBytes, 1, out) == 1;
  if (out) std::fclose(out);
  DeleteObject(bitmap);
  DeleteDC(dc);
  DestroyWindow(tree);
  return written ? 0 : 1;
}

// The owner-drawn list keeps a record per item as its item data; it lives in
// the other process and is read from there.
struct CItemRecord {
  DWORD reserved;
  DWORD data;
  DWORD image;
  DWORD format;
  DWORD flags;
};

int PrintList(HWND list) {
  DWORD process = 0;
  GetWindowThreadProcessId(list, &process);
  HANDLE owner = OpenProcess(PROCESS_VM_READ, FALSE, process);
  int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  std::printf("list count=%d selected=%d\n", count, static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)));
  for (int index = 0; index < count; ++index) {
    CItemRecord record = {};
    LRESULT address = SendMessageW(list, LB_GETITEMDATA, index, 0);
    SIZE_T read = 0;
    bool known = owner && address && address != LB_ERR &&
                 ReadProcessMemory(owner, reinterpret_cast<void*>(address), &record, sizeof(record), &read) &&
                 read == sizeof(record);
    std::printf("item index=%d height=%d record=%d data=%lu image=%lu flags=%lu\n", index,
                static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, index, 0)), known ? 1 : 0,
                record.data, record.image, record.flags);
  }
  if (owner) CloseHandle(owner);
  return 0;
}

// Mouse messages at the middle of the item's left part, as a click there.
int ClickItem(HWND list, int index, bool twice) {
  int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
  int y = 0;
  for (int each = top; each < index; ++each) y += static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, each, 0));
  y += static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, index, 0)) / 2;
  LPARAM at = MAKELPARAM(20, y);
  PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(list, WM_LBUTTONUP, 0, at);
  if (twice) {
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
  }
  return 0;
}

// A font spec as the program's string table writes it: face, style, points
// at the DPI.
HFONT FontFromSpec(const std::wstring& spec, int dpi) {
  size_t last = spec.rfind(L'_');
  size_t middle = last == std::wstring::npos || last == 0 ? std::wstring::npos : spec.rfind(L'_', last - 1);
  if (middle == std::wstring::npos || middle >= LF_FACESIZE) return nullptr;
  LOGFONTW font = {};
  font.lfHeight = -MulDiv(_wtoi(spec.c_str() + last + 1), dpi, 72);
  font.lfWeight = spec.compare(middle + 1, last - middle - 1, L"Bold") == 0 ? FW_BOLD : FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(font.lfFaceName, spec.c_str(), middle);
  return CreateFontIndirectW(&font);
}

// The room a control's text needs with the font against the room the
// control gives it.
void PrintFit(HWND control, const std::wstring& spec, int dpi) {
  std::wstring text = WindowText(control);
  std::wstring kind = ClassOf(control);
  LONG style = GetWindowLongW(control, GWL_STYLE);
  bool wraps = true;
  bool ellipsis = false;
  int reserved = 0;
  if (kind == L"Button") {
    LONG type = style & BS_TYPEMASK;
    // A picture button's text is not shown (its access key works).
    if (type == BS_GROUPBOX || type == BS_OWNERDRAW || (style & (BS_ICON | BS_BITMAP))) return;
    wraps = (style & BS_MULTILINE) != 0;
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    // A push button's frame is 2 pixels a side at any DPI; a check box's box
    // and gap scale.
    reserved = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ? 4 : MulDiv(17, dpi, 96);
  } else if (kind == L"Static") {
    LONG type = style & SS_TYPEMASK;
    if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP) return;
    ellipsis = (style & SS_ELLIPSISMASK) != 0;
    wraps = type != SS_LEFTNOWORDWRAP && !ellipsis;
  } else if (kind == L"SysLink") {
    for (const wchar_t* tag : {L"<a>", L"</a>"}) {
      for (size_t at = text.find(tag); at != std::wstring::npos; at = text.find(tag)) text.erase(at, wcslen(tag));
    }
  } else {
    return;
  }
  if (text.empty()) return;
  HFONT font = FontFromSpec(spec, dpi);
  if (!font) {
    std::printf("fit id=%d ok=0 font=unknown text=%s\n", GetDlgCtrlID(control), Quoted(text).c_str());
    return;
  }
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, font);
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  RECT client = {};
  GetClientRect(control, &client);
  RECT needed = {0, 0, client.right - reserved, 0};
  DrawTextW(dc, text.c_str(), -1, &needed,
            DT_CALCRECT | DT_EXPANDTABS | (wraps ? DT_WORDBREAK : DT_SINGLELINE) |
                (kind == L"Static" && (style & SS_NOPREFIX) ? DT_NOPREFIX : 0));
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(font);
  // A text that ends in an ellipsis is shortened to its line, never cut.
  bool fits = (ellipsis || needed.right <= client.right - reserved) && needed.bottom <= client.bottom;
  std::printf("fit id=%d ok=%d need=%ldx%ld have=%ldx%ld face=%s text=%s\n", GetDlgCtrlID(control), fits ? 1 : 0,
              needed.right + reserved, needed.bottom, client.right, client.bottom, Utf8(face).c_str(),
              Quoted(text).c_str());
}

// Arguments: the text font's spec, then ID=SPEC for controls in another,
// and dpi=N for a layout at another DPI than the screen's.
int PrintFits(HWND sheet, int count, wchar_t** arguments) {
  HWND page = CurrentPage(sheet);
  if (!page || count < 1) return 1;
  std::wstring textFont = arguments[0];
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  for (int index = 1; index < count; ++index) {
    if (wcsncmp(arguments[index], L"dpi=", 4) == 0) dpi = _wtoi(arguments[index] + 4);
  }
  auto specOf = [&](HWND control) {
    for (int index = 1; index < count; ++index) {
      std::wstring argument = arguments[index];
      size_t equals = argument.find(L'=');
      bool named = equals != std::wstring::npos && iswdigit(argument[0]);
      if (named && _wtoi(argument.c_str()) == GetDlgCtrlID(control)) {
        return argument.substr(equals + 1);
      }
    }
    return textFont;
  };
  for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowVisible(child)) PrintFit(child, specOf(child), dpi);
  }
  for (int id : kWizardButtons) {
    HWND button = GetDlgItem(sheet, id);
    if (button && IsWindowVisible(button)) PrintFit(button, textFont, dpi);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  std::wstring command = argv[1];
  auto number = [&](int index) { return index < argc ? std::wcstoul(argv[index], nullptr, 0) : 0ul; };
  if (command == L"wait-sheet" && argc == 4) {
    std::wstring title = argv[2];
    HWND sheet = WaitFor(number(3), [&] { return FindSheet(title); });
    return sheet ? PrintState(sheet) : 1;
  }
  if (command == L"state" && argc == 3) {
    HWND sheet = FindSheet(argv[2]);
    if (!sheet) {
      PrintBoxes();
      return 1;
    }
    return PrintState(sheet);
  }
  if (command == L"wait-control" && argc == 5) {
    std::wstring title = argv[2];
    int id = static_cast<int>(number(3));
    HWND control = WaitFor(number(4), [&]() -> HWND {
      HWND sheet = FindSheet(title);
      HWND page = sheet ? CurrentPage(sheet) : nullptr;
      HWND found = page ? GetDlgItem(page, id) : nullptr;
      return found && IsWindowVisible(page) ? found : nullptr;
    });
    HWND sheet = FindSheet(title);
    if (sheet) PrintState(sheet);
    return control ? 0 : 1;
  }
  if (command == L"wait-leave" && argc == 5) {
    std::wstring title = argv[2];
    int index = static_cast<int>(number(3));
    HWND sheet = WaitFor(number(4), [&]() -> HWND {
      HWND found = FindSheet(title);
      HWND page = found ? CurrentPage(found) : nullptr;
      DWORD_PTR current = static_cast<DWORD_PTR>(-1);
      if (page) SendMessageTimeoutW(found, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0, SMTO_ABORTIFHUNG,
                                    2000, &current);
      return page && static_cast<int>(current) != index ? found : nullptr;
    });
    if (sheet) return PrintState(sheet);
    PrintBoxes();
    return 1;
  }
  if (command == L"press" && argc == 4) {
    HWND sheet = FindSheet(argv[2]);
    return sheet ? Press(sheet, argv[3]) : 1;
  }
  if (command == L"click" && argc == 4) {
    HWND sheet = FindSheet(argv[2]);
    HWND page = sheet ? CurrentPage(sheet) : nullptr;
    HWND control = page ? GetDlgItem(page, static_cast<int>(number(3))) : nullptr;
    // A button of the sheet's own (View) when the page has no such control.
    if (!control && sheet) control = GetDlgItem(sheet, static_cast<int>(number(3)));
    // Posted, as a press: what the click opens must not block the driver.
    return control && PostMessageW(control, BM_CLICK, 0, 0) ? 0 : 1;
  }
  if (command == L"size" && argc == 4) {
    HWND sheet = FindSheet(argv[2]);
    HWND page = sheet ? CurrentPage(sheet) : nullptr;
    HWND control = page ? GetDlgItem(page, static_cast<int>(number(3))) : nullptr;
    RECT bounds;
    if (!control || !GetWindowRect(control, &bounds)) return 1;
    std::printf("size %ld %ld\n", bounds.right - bounds.left, bounds.bottom - bounds.top);
    return 0;
  }
  if (command == L"control" && argc == 4) {
    HWND sheet = FindSheet(argv[2]);
    return sheet ? PrintPageControl(sheet, static_cast<int>(number(3))) : 1;
  }
  if (command == L"wait-box" && argc == 4) {
    int id = static_cast<int>(number(2));
    HWND box = WaitFor(number(3), [&] { return FindBox(id); });
    if (!box) return 1;
    PrintBoxHeader(box);
    PrintChildren("boxcontrol", box);
    return 0;
  }
  if (command == L"answer" && argc == 5) {
    int id = static_cast<int>(number(2));
    int answer = static_cast<int>(number(3));
    HWND box = WaitFor(number(4), [&] { return FindBox(id); });
    if (!box) return 1;
    HWND button = GetDlgItem(box, answer);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
  }
  if (command == L"set-text" && argc == 5) {
    HWND sheet = FindSheet(argv[2]);
    HWND page = sheet ? CurrentPage(sheet) : nullptr;
    HWND control = page ? GetDlgItem(page, static_cast<int>(number(3))) : nullptr;
    DWORD_PTR done = 0;
    // As typing leaves it: the control tells its page of the change.
    return control && SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]),
                                          SMTO_ABORTIFHUNG, 5000, &done) ? 0 : 1;
  }
  // The key as the box's own message loop gets it from the keyboard.
  if ((command == L"escape" || command == L"enter") && argc == 4) {
    int id = static_cast<int>(number(2));
    HWND box = WaitFor(number(3), [&] { return FindBox(id); });
    if (!box) return 1;
    WPARAM key = command == L"escape" ? VK_ESCAPE : VK_RETURN;
    PostMessageW(box, WM_KEYDOWN, key, 0x00010001);
    PostMessageW(box, WM_KEYUP, key, 0xC0010001);
    return 0;
  }
  if (command == L"tree" && argc == 4) {
    HWND tree = FindTree(argv[2], static_cast<int>(number(3)));
    return tree ? PrintTree(tree) : 1;
  }
  if (command == L"tree-keys" && argc >= 5) {
    HWND tree = FindTree(argv[2], static_cast<int>(number(3)));
    return tree ? PostTreeKeys(tree, argc - 4, argv + 4) : 1;
  }
  if (command == L"tree-click" && (argc == 5 || argc == 6)) {
    HWND tree = FindTree(argv[2], static_cast<int>(number(3)));
    return tree ? ClickCheckImage(tree, static_cast<int>(number(4)), argc == 6) : 1;
  }
  if (command == L"list" && argc == 5) {
    int id = static_cast<int>(number(2));
    HWND box = WaitFor(number(4), [&] { return FindBox(id); });
    HWND list = box ? GetDlgItem(box, static_cast<int>(number(3))) : nullptr;
    return list ? PrintList(list) : 1;
  }
  if (command == L"list-click" && argc == 6) {
    HWND box = FindBox(static_cast<int>(number(2)));
    HWND list = box ? GetDlgItem(box, static_cast<int>(number(3))) : nullptr;
    return list ? ClickItem(list, static_cast<int>(number(4)), std::wstring(argv[5]) == L"double") : 1;
  }
  if (command == L"fit" && argc >= 4) {
    HWND sheet = FindSheet(argv[2]);
    return sheet ? PrintFits(sheet, argc - 3, argv + 3) : 1;
  }
  if (command == L"check-image" && argc == 3) return WriteCheckImage(argv[2]);
  if (command == L"windows") {
    EnumWindows(PrintWindow, 0);
    return 0;
  }
  if (command == L"wait-gone" && argc == 4) {
    std::wstring title = argv[2];
    DWORD start = GetTickCount();
    while (FindSheet(title)) {
      if (GetTickCount() - start >= number(3)) return 1;
      Sleep(100);
    }
    return 0;
  }
  return 2;
}
