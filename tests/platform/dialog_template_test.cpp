// dialog_template_test.cpp: dialog templates by explicit language, with the
// English one for a language the program lacks.
#include "platform/dialog_template.h"

#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

// The caption of an extended template: after the fixed part, the menu and
// the class (both empty here), as the resource compiler writes them.
std::wstring Caption(const DLGTEMPLATE* dialog) {
  const WORD* words = reinterpret_cast<const WORD*>(dialog);
  if (words[1] != 0xFFFF) return L"not an extended template";
  const WORD* text = words + 13;  // DLGTEMPLATEEX up to cy
  text += 2;                      // empty menu and class
  return std::wstring(reinterpret_cast<const wchar_t*>(text));
}

}  // namespace

TEST(CDialogTemplateTest, LanguageThenEnglishThenWhateverTheProgramHas) {
  HMODULE module = GetModuleHandleW(nullptr);
  struct Case {
    UINT id;
    LANGID language;
    const wchar_t* caption;
  };
  const Case kCases[] = {
      {60010, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"Deutscher Dialog"},
      {60010, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), L"English dialog"},
      {60010, MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), L"English dialog"},
      {60010, 0, L"English dialog"},
      {60011, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"Dialogue"},
  };
  for (const Case& c : kCases) {
    const DLGTEMPLATE* dialog = LoadDialogTemplate(module, c.id, c.language);
    ASSERT_NE(nullptr, dialog) << c.id << " " << c.language;
    EXPECT_EQ(c.caption, Caption(dialog)) << c.id << " " << c.language;
  }
  EXPECT_EQ(nullptr, LoadDialogTemplate(module, 60012, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)));
}

// A copy's font is changed; the module's template keeps its own.
TEST(CDialogTemplateTest, CopyTakesAnotherPointSize) {
  HMODULE module = GetModuleHandleW(nullptr);
  LANGID german = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
  std::vector<BYTE> copy = CopyDialogTemplate(module, 60010, german);
  ASSERT_FALSE(copy.empty());
  auto* dialog = reinterpret_cast<DLGTEMPLATE*>(copy.data());
  EXPECT_EQ(L"Deutscher Dialog", Caption(dialog));
  SIZE size = GetDialogTemplateSize(dialog);
  EXPECT_EQ(100, size.cx);
  EXPECT_EQ(40, size.cy);
  int points = 0;
  std::wstring face;
  ASSERT_TRUE(GetDialogTemplateFont(dialog, &points, &face));
  EXPECT_EQ(8, points);
  EXPECT_EQ(L"Tahoma", face);
  ASSERT_TRUE(SetDialogTemplatePointSize(dialog, 6));
  ASSERT_TRUE(GetDialogTemplateFont(dialog, &points, &face));
  EXPECT_EQ(6, points);
  EXPECT_EQ(L"Tahoma", face);
  ASSERT_TRUE(GetDialogTemplateFont(LoadDialogTemplate(module, 60010, german), &points, nullptr));
  EXPECT_EQ(8, points);
  EXPECT_TRUE(CopyDialogTemplate(module, 60012, german).empty());
}
