// window_utils_test.cpp: window placement on windows of a class made here,
// and fonts from text specs.
#include "foundation/window_utils.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/scoped_handle.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

// Top-level windows of a class registered for one test, destroyed with it.
class CTestWindows {
 public:
  CTestWindows() : m_className(Format(L"PlaceWindowTest%u", GetCurrentProcessId())) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = m_className.c_str();
    m_registered = RegisterClassW(&windowClass) != 0;
  }
  ~CTestWindows() {
    for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) DestroyWindow(*it);
    UnregisterClassW(m_className.c_str(), GetModuleHandleW(nullptr));
  }

  HWND Create(HWND parent = nullptr) {
    DWORD style = parent ? WS_CHILD : WS_OVERLAPPEDWINDOW;
    HWND window = CreateWindowExW(0, m_className.c_str(), L"test", style, 100, 100, 50, 50, parent,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window) m_windows.push_back(window);
    return window;
  }

  const wchar_t* ClassName() const { return m_className.c_str(); }
  bool Registered() const { return m_registered; }

 private:
  std::wstring m_className;
  bool m_registered = false;
  std::vector<HWND> m_windows;
};

bool IsPlaced(HWND window, int width, int height) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect.left == 0 && rect.top == 0 && rect.right == width && rect.bottom == height;
}

}  // namespace

TEST(WindowUtilsTest, PlaceWindowOfClassMovesWindowsUpToOneWithAChildOfTheClass) {
  CTestWindows windows;
  ASSERT_TRUE(windows.Registered());
  HWND bottom = windows.Create();
  HWND parent = windows.Create();
  HWND top = windows.Create();
  if (!bottom || !parent || !top) GTEST_SKIP() << "no windows without a display here";
  ASSERT_TRUE(windows.Create(parent));
  // Z-order, which is the search order: top, parent, bottom.
  const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(bottom, HWND_TOP, 0, 0, 0, 0, keep);
  SetWindowPos(parent, HWND_TOP, 0, 0, 0, 0, keep);
  SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, keep);
  ASSERT_EQ(top, FindWindowW(windows.ClassName(), nullptr));

  EXPECT_TRUE(PlaceWindowOfClass(windows.ClassName(), 320, 240, 0));
  EXPECT_TRUE(IsPlaced(top, 320, 240));
  EXPECT_FALSE(IsPlaced(parent, 320, 240));
  EXPECT_FALSE(IsPlaced(bottom, 320, 240));
}

TEST(WindowUtilsTest, PlaceWindowOfClassPlacesEveryWindowOfTheClass) {
  CTestWindows windows;
  ASSERT_TRUE(windows.Registered());
  HWND first = windows.Create();
  HWND second = windows.Create();
  if (!first || !second) GTEST_SKIP() << "no windows without a display here";

  EXPECT_TRUE(PlaceWindowOfClass(windows.ClassName(), 300, 200, 0));
  EXPECT_TRUE(IsPlaced(first, 300, 200));
  EXPECT_TRUE(IsPlaced(second, 300, 200));
}

TEST(WindowUtilsTest, PlaceWindowOfClassReportsATimeOut) {
  EXPECT_FALSE(PlaceWindowOfClass(L"NoSuchWindowClassForSetupTests", 300, 200, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), GetLastError());
  EXPECT_FALSE(PlaceWindowOfClass(nullptr, 300, 200, 0));
}

TEST(WindowUtilsTest, CreateFontFromSpecReadsFaceStyleAndPoints) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) GTEST_SKIP() << "no device context here";
  int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  const struct {
    const wchar_t* spec;
    const wchar_t* separators;
    const wchar_t* face;  // null: no font
    LONG weight;
    int points;
  } kCases[] = {
      {L"Tahoma,Bold,12", nullptr, L"Tahoma", FW_BOLD, 12},
      {L" Arial , bold , 8 ", nullptr, L"Arial", FW_BOLD, 8},
      {L"\"MS Shell Dlg\",Normal,10", nullptr, L"MS Shell Dlg", FW_NORMAL, 10},
      {L"Tahoma;Bold;9", L";", L"Tahoma", FW_BOLD, 9},
      {L"Tahoma,Bold,", nullptr, L"Tahoma", FW_BOLD, 0},
      {L"Tahoma,Bold,big", nullptr, nullptr, 0, 0},
      {L"Tahoma,Bold,1 2", nullptr, nullptr, 0, 0},
      {L",Bold,12", nullptr, nullptr, 0, 0},
      {L"", nullptr, nullptr, 0, 0},
      {L"A face name far longer than thirty-one characters,Bold,8", nullptr, nullptr, 0, 0},
  };
  for (const auto& c : kCases) {
    HFONT font = CreateFontFromSpec(dc, c.spec, c.separators);
    if (!c.face) {
      EXPECT_EQ(nullptr, font) << WideToUtf8(c.spec);
      if (font) DeleteObject(font);
      continue;
    }
    ASSERT_NE(nullptr, font) << WideToUtf8(c.spec);
    LOGFONTW logFont = {};
    ASSERT_EQ(static_cast<int>(sizeof(logFont)), GetObjectW(font, sizeof(logFont), &logFont));
    EXPECT_EQ(std::wstring(c.face), logFont.lfFaceName) << WideToUtf8(c.spec);
    EXPECT_EQ(c.weight, logFont.lfWeight) << WideToUtf8(c.spec);
    EXPECT_EQ(-MulDiv(c.points, dpi, 72), logFont.lfHeight) << WideToUtf8(c.spec);
    DeleteObject(font);
  }
  EXPECT_EQ(nullptr, CreateFontFromSpec(nullptr, L"Tahoma,Bold,8"));
  // A layout drawn for another DPI than the device's.
  HFONT font = CreateFontFromSpec(dc, L"Tahoma,Bold,8", nullptr, 144);
  LOGFONTW logFont = {};
  ASSERT_EQ(static_cast<int>(sizeof(logFont)), GetObjectW(font, sizeof(logFont), &logFont));
  EXPECT_EQ(-16, logFont.lfHeight);
  DeleteObject(font);
  DeleteDC(dc);
}
