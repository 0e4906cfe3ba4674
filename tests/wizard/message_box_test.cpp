// message_box_test.cpp: the real message box, run modally on the test's
// thread and answered from a driver thread as a user would: its buttons,
// icon and captions by type, its result, Escape, the link, odd texts.
#include "wizard/message_box.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "platform/wide_string.h"

namespace {

const int kAllButtons[] = {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO};
const int kLinkId = 1003;
const int kIconId = 1002;

struct CBoxView {
  bool found = false;
  std::wstring title;
  std::vector<int> visible;  // left to right
  std::vector<std::wstring> captions;
  HICON icon = nullptr;
  RECT message = {};
};

BOOL CALLBACK FindVisibleBox(HWND window, LPARAM found) {
  if (IsWindowVisible(window) && GetDlgItem(window, kLinkId)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindBox(DWORD threadId) {
  HWND box = nullptr;
  for (int attempt = 0; attempt < 200 && !box; ++attempt) {
    EnumThreadWindows(threadId, FindVisibleBox, reinterpret_cast<LPARAM>(&box));
    if (!box) Sleep(50);
  }
  return box;
}

std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

CBoxView Look(HWND box) {
  CBoxView view;
  view.found = true;
  view.title = TextOf(box);
  std::vector<std::pair<LONG, int>> shown;
  for (int id : kAllButtons) {
    HWND button = GetDlgItem(box, id);
    if (!IsWindowVisible(button)) continue;
    RECT rect = {};
    GetWindowRect(button, &rect);
    shown.push_back({rect.left, id});
  }
  std::sort(shown.begin(), shown.end());
  for (const auto& button : shown) {
    view.visible.push_back(button.second);
    view.captions.push_back(TextOf(GetDlgItem(box, button.second)));
  }
  view.icon = reinterpret_cast<HICON>(SendDlgItemMessageW(box, kIconId, STM_GETICON, 0, 0));
  GetWindowRect(GetDlgItem(box, kLinkId), &view.message);
  return view;
}

// Shows the box on this thread; the driver looks at it and answers.
int ShowAndAnswer(const std::wstring& text, UINT type, const std::function<void(HWND)>& answer,
                  CBoxView* view) {
  DWORD threadId = GetCurrentThreadId();
  std::thread driver([&]() {
    HWND box = FindBox(threadId);
    if (!box) return;
    Sleep(100);  // the first show lays the box out
    *view = Look(box);
    answer(box);
  });
  int result = CMessageBox::ShowMessageBox(nullptr, text.c_str(), L"Box Caption", type);
  driver.join();
  return result;
}

std::function<void(HWND)> Press(int id) {
  return [id](HWND box) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(box, id)); };
}

std::function<void(HWND)> PressEscape() {
  return [](HWND box) {
    HWND focus = GetDlgItem(box, IDYES);
    PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0);
  };
}

std::wstring g_opened;
void RecordLink(const std::wstring& address) { g_opened = address; }

}  // namespace

TEST(CMessageBoxTest, EachTypeShowsItsButtonsAndIconAndReturnsThePressedId) {
  const struct {
    UINT type;
    std::vector<int> buttons;
    std::vector<std::wstring> captions;
    LPCWSTR icon;
    int press;
  } kCases[] = {
      {MB_OK, {IDOK}, {L"OK"}, IDI_ASTERISK, IDOK},
      {MB_OKCANCEL | MB_ICONQUESTION, {IDOK, IDCANCEL}, {L"OK", L"Cancel"}, IDI_QUESTION, IDCANCEL},
      {MB_ABORTRETRYIGNORE | MB_ICONERROR, {IDABORT, IDRETRY, IDIGNORE}, {L"&Abort", L"&Retry", L"&Ignore"},
       IDI_HAND, IDIGNORE},
      {MB_YESNOCANCEL | MB_ICONWARNING, {IDYES, IDNO, IDCANCEL}, {L"&Yes", L"&No", L"Cancel"}, IDI_EXCLAMATION,
       IDYES},
      {0x10034, {IDYES, IDNO}, {L"&Yes", L"&No"}, IDI_EXCLAMATION, IDNO},
      {0x10015, {IDRETRY, IDCANCEL}, {L"&Retry", L"Cancel"}, IDI_HAND, IDRETRY},
      {MB_ICONINFORMATION | 0x7, {IDOK}, {L"OK"}, IDI_ASTERISK, IDOK},
  };
  for (const auto& c : kCases) {
    CBoxView view;
    int result = ShowAndAnswer(L"Setup has a question for you.", c.type, Press(c.press), &view);
    ASSERT_TRUE(view.found) << std::hex << c.type;
    EXPECT_EQ(c.press, result) << std::hex << c.type;
    EXPECT_EQ(L"Box Caption", view.title);
    EXPECT_EQ(c.buttons, view.visible) << std::hex << c.type;
    EXPECT_EQ(c.captions, view.captions) << std::hex << c.type;
    EXPECT_EQ(LoadIconW(nullptr, c.icon), view.icon) << std::hex << c.type;
  }
}

// Without a Cancel button, Escape and closing still answer Cancel (2): the
// callers treat every answer but Yes as No.
TEST(CMessageBoxTest, EscapeOrCloseOnYesNoAnswersCancel) {
  CBoxView view;
  EXPECT_EQ(IDCANCEL, ShowAndAnswer(L"Remove it?", MB_YESNO, PressEscape(), &view));
  EXPECT_TRUE(view.found);
  EXPECT_EQ(IDCANCEL, ShowAndAnswer(L"Remove it?", MB_YESNO, [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); },
                                    &view));
}

// Short, empty and malformed texts must still make a box that opens and
// answers; a second line makes the message taller.
TEST(CMessageBoxTest, OddTextsStillMakeABox) {
  const wchar_t* const kTexts[] = {L"", L"x", L"<a", L"<a>log file</a>", L"<a href=\"x\">", L"x\">y<a",
                                   L"\n\n", L"A very long line of text without any blank at all: "
                                            L"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz"};
  for (const wchar_t* text : kTexts) {
    CBoxView view;
    EXPECT_EQ(IDOK, ShowAndAnswer(text, MB_OK, Press(IDOK), &view)) << WideToUtf8(text);
    EXPECT_TRUE(view.found) << WideToUtf8(text);
  }
  CBoxView one, two;
  ShowAndAnswer(L"One line of text", MB_OK, Press(IDOK), &one);
  ShowAndAnswer(L"One line of text\nand a second one", MB_OK, Press(IDOK), &two);
  EXPECT_GT(two.message.bottom - two.message.top, one.message.bottom - one.message.top);
}

TEST(CMessageBoxTest, LinkOpensItsAddress) {
  CMessageBox::SetLinkOpener(RecordLink);
  g_opened.clear();
  auto click = [](HWND box) {
    NMLINK link = {};
    link.hdr.hwndFrom = GetDlgItem(box, kLinkId);
    link.hdr.idFrom = kLinkId;
    link.hdr.code = NM_CLICK;
    wcscpy(link.item.szUrl, L"C:\\logs\\VELL_SETUP.LOG");
    SendMessageW(box, WM_NOTIFY, kLinkId, reinterpret_cast<LPARAM>(&link));
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  };
  CBoxView view;
  EXPECT_EQ(IDOK, ShowAndAnswer(L"See the <a href=\"C:\\logs\\VELL_SETUP.LOG\">log file</a>.", MB_OK, click, &view));
  EXPECT_EQ(L"C:\\logs\\VELL_SETUP.LOG", g_opened);
  CMessageBox::SetLinkOpener(nullptr);
}
