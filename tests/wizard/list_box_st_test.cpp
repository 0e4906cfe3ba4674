// list_box_st_test.cpp: the picture list's records, heights and
// double-click rule on a hidden owner-drawn list box, and the language
// choice's paths that need no dialog.
#include "wizard/list_box_st.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "resources/resource_ids.h"
#include "wizard/select_lang_dlg.h"

namespace {

CListBoxST* g_routed = nullptr;

// The dialog's part: measuring goes to the list object.
LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MEASUREITEM && g_routed) {
    g_routed->MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    return TRUE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class CListBoxSTTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TamsaListHost";
    RegisterClassW(&windowClass);
    m_host = CreateWindowExW(0, L"TamsaListHost", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                             windowClass.hInstance, nullptr);
    m_images = ImageList_Create(250, 40, ILC_COLOR32 | ILC_MASK, 19, 30);
  }
  void TearDown() override {
    g_routed = nullptr;
    if (m_list) {
      m_box.OnDestroy();
      DestroyWindow(m_list);
    }
    DestroyWindow(m_host);
    ImageList_Destroy(m_images);
    UnregisterClassW(L"TamsaListHost", GetModuleHandleW(nullptr));
  }
  void MakeList() {
    g_routed = &m_box;
    m_list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS | LBS_NOTIFY |
                                                    LBS_NOINTEGRALHEIGHT,
                             0, 0, 300, 200, m_host, reinterpret_cast<HMENU>(IDC_LANGUAGE_LIST), nullptr, nullptr);
    m_box.Attach(m_list);
  }
  int Height(int index) { return static_cast<int>(SendMessageW(m_list, LB_GETITEMHEIGHT, index, 0)); }

  HWND m_host = nullptr;
  HWND m_list = nullptr;
  HIMAGELIST m_images = nullptr;
  CListBoxST m_box;
};

}  // namespace

TEST_F(CListBoxSTTest, RecordsFollowTheirMasks) {
  MakeList();
  ASSERT_EQ(0, m_box.AddString(L"", 3));
  ASSERT_EQ(1, m_box.AddString(L"plain", 0));
  // An item added behind the control's back has no record.
  ASSERT_EQ(2, SendMessageW(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"bare")));
  EXPECT_EQ(0u, m_box.GetItemData(0));
  EXPECT_EQ(static_cast<DWORD>(-1), m_box.GetItemData(2));
  EXPECT_TRUE(m_box.IsItemEnabled(2));

  const struct {
    int index;
    DWORD data, flags, mask;
    int result;
    DWORD dataAfter;
    bool enabledAfter;
  } kCases[] = {
      {0, 1031, 0, CListBoxST::kMaskData, 0, 1031, true},
      // Flags without the data bit leave the data alone.
      {0, 7, CListBoxST::kFlagDisabled, CListBoxST::kMaskFlags, 0, 1031, false},
      {0, 0, 0, CListBoxST::kMaskFlags, 0, 1031, true},
      // A record is made for the bare item.
      {2, 1041, CListBoxST::kFlagDisabled, CListBoxST::kMaskData | CListBoxST::kMaskFlags, 0, 1041, false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.result, m_box.SetItemRecord(c.index, 0, c.data, 0, c.flags, c.mask)) << c.index;
    EXPECT_EQ(c.dataAfter, m_box.GetItemData(c.index)) << c.index;
    EXPECT_EQ(c.enabledAfter, m_box.IsItemEnabled(c.index)) << c.index;
  }
  EXPECT_EQ(-1, m_box.SetItemRecord(3, 0, 1, 0, 0, CListBoxST::kMaskData));
  EXPECT_EQ(-1, m_box.SetItemRecord(-1, 0, 1, 0, 0, CListBoxST::kMaskData));

  m_box.SetFocusStyle(2, false);
  m_box.SetFocusStyle(3, false);
  EXPECT_EQ(2, m_box.GetFocusStyle());

  // Freed from the last to the first: no item keeps a pointer to a record.
  m_box.OnDestroy();
  for (int index = 0; index < 3; ++index) EXPECT_EQ(0, SendMessageW(m_list, LB_GETITEMDATA, index, 0));
  m_box.Attach(m_list);
}

TEST_F(CListBoxSTTest, ItemsAreAtLeastThePictureHighPlusMargins) {
  m_box.SetImageList(m_images);
  EXPECT_EQ(40, m_box.GetImageHeight());
  MakeList();
  m_box.AddString(L"", 0);
  m_box.AddString(L"one\ntwo\nthree\nfour\nfive", 0);
  EXPECT_EQ(52, Height(0));
  EXPECT_GT(Height(1), 52);  // five lines of text are higher than the picture

  m_box.OnDestroy();
  DestroyWindow(m_list);
  m_box.SetImageList(nullptr);
  EXPECT_EQ(0, m_box.GetImageHeight());
  MakeList();
  m_box.AddString(L"text", 0);
  EXPECT_LT(Height(0), 52);
  EXPECT_GT(Height(0), 6);
}

TEST_F(CListBoxSTTest, DoubleClickOnADisabledItemIsSwallowed) {
  m_box.SetImageList(m_images);
  MakeList();
  m_box.AddString(L"", 0);
  m_box.AddString(L"", 0);
  m_box.SetItemRecord(1, 0, 0, 0, CListBoxST::kFlagDisabled, CListBoxST::kMaskFlags);
  const struct {
    int y;
    bool swallowed;
  } kClicks[] = {{10, false}, {60, true}, {190, false}};  // enabled, disabled, below every item
  for (const auto& c : kClicks) {
    SendMessageW(m_list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, c.y));
    SendMessageW(m_list, WM_LBUTTONUP, 0, MAKELPARAM(20, c.y));
    EXPECT_EQ(c.swallowed, m_box.OnDoubleClick()) << c.y;
  }
}

TEST(SelectSetupLanguageTest, PathsWithoutADialog) {
  std::wstring selected = L"ENU";
  EXPECT_FALSE(SelectSetupLanguage(nullptr, &selected, nullptr));
  EXPECT_EQ(L"ENU", selected);
  std::vector<std::wstring> one = {L"DEU"};
  EXPECT_TRUE(SelectSetupLanguage(&one, &selected, nullptr));
  EXPECT_EQ(L"DEU", selected);

  EXPECT_EQ(static_cast<UINT>(IDB_LANGUAGE_ENU), LanguagePictureId(L"enu"));
  EXPECT_EQ(static_cast<UINT>(IDB_LANGUAGE_TRK), LanguagePictureId(L"TRK"));
  EXPECT_EQ(0u, LanguagePictureId(L"XYZ"));
  EXPECT_EQ(static_cast<UINT>(IDB_LANGUAGE_ARA), LanguagePictureId(L"ara"));
}

// Whatever the system, the dialog opens with a language selected.
TEST(SelectSetupLanguageTest, OneLanguageIsAlwaysSelected) {
  const struct {
    std::vector<LANGID> offered;
    LANGID current, user;
    int expected;
  } kCases[] = {
      {{0x407, 0x409}, 0x419, 0x419, 1},         // a Russian user: English
      {{0x401, 0x409}, 0x409, 0x401, 0},         // the user's Arabic before the current
      {{0x407, 0x409}, 0x409, 0x807, 0},         // Swiss German reads German
      {{0x407, 0x411}, 0x411, 0x419, 1},         // the current before English or the first
      {{0x407, 0x40C}, 0x419, 0x419, 0},         // else the first
      {{}, 0x409, 0x409, -1},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.expected, ChooseLanguageItem(c.offered, c.current, c.user)) << c.user;
}
