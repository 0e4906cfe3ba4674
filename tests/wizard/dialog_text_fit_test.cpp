// dialog_text_fit_test.cpp: every text of every dialog, in every language the
// program carries, fits its control at 96, 120 and 144 DPI. Each text (the
// template's, or the string the page puts there at run time, tokens filled)
// is measured with the font the wizard gives that control, made from the
// language's own font specs, against the control's size in pixels as the
// dialog manager computes it from the template's font at that DPI. (The
// sheet's own buttons widen to the texts the program gives them:
// button_fit_test.cpp.)
#include <windows.h>
#include <commctrl.h>

#include <climits>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/resource_strings.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const wchar_t kProductName[] = L"Tamsa Sample Suite";
const wchar_t kCompanyName[] = L"Tamsa";

struct CDialogItem {
  DWORD style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  WORD atom = 0;  // 0x80 button, 0x82 static; 0 for a class by name
  std::wstring className;
  std::wstring text;
};

struct CDialogLayout {
  DWORD exStyle = 0;
  int points = 8;
  int weight = FW_NORMAL;
  std::wstring face;
  std::vector<CDialogItem> items;
};

const WORD* ReadNameOrAtom(const WORD* at, std::wstring* name, WORD* atom) {
  if (*at == 0xFFFF) {
    if (atom) *atom = at[1];
    return at + 2;
  }
  const wchar_t* text = reinterpret_cast<const wchar_t*>(at);
  name->assign(text);
  return at + name->size() + 1;
}

const WORD* AlignToDword(const WORD* at) {
  return reinterpret_cast<const WORD*>((reinterpret_cast<ULONG_PTR>(at) + 3) & ~static_cast<ULONG_PTR>(3));
}

// An extended template as the resource compiler writes it.
bool ReadLayout(const void* resource, CDialogLayout* layout) {
  const WORD* words = static_cast<const WORD*>(resource);
  if (words[0] != 1 || words[1] != 0xFFFF) return false;
  layout->exStyle = *reinterpret_cast<const DWORD*>(words + 4);
  DWORD style = *reinterpret_cast<const DWORD*>(words + 6);
  int count = words[8];
  const WORD* at = words + 13;
  std::wstring ignored;
  at = ReadNameOrAtom(at, &ignored, nullptr);  // menu
  at = ReadNameOrAtom(at, &ignored, nullptr);  // class
  at = ReadNameOrAtom(at, &ignored, nullptr);  // caption
  if (style & DS_SETFONT) {
    layout->points = at[0];
    layout->weight = at[1];
    at += 3;  // size, weight, italic and character set
    at = ReadNameOrAtom(at, &layout->face, nullptr);
  }
  for (int index = 0; index < count; ++index) {
    at = AlignToDword(at);
    CDialogItem item;
    item.style = *reinterpret_cast<const DWORD*>(at + 4);
    const short* box = reinterpret_cast<const short*>(at + 6);
    item.x = box[0];
    item.y = box[1];
    item.cx = box[2];
    item.cy = box[3];
    item.id = static_cast<int>(*reinterpret_cast<const DWORD*>(at + 10));
    at = ReadNameOrAtom(at + 12, &item.className, &item.atom);
    WORD textAtom = 0;
    at = ReadNameOrAtom(at, &item.text, &textAtom);
    WORD extra = *at++;
    at = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(at) + extra);
    layout->items.push_back(item);
  }
  return true;
}

bool LoadLayout(UINT id, LANGID language, CDialogLayout* layout) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id), language);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  return data && ReadLayout(data, layout);
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR parameter) {
  reinterpret_cast<std::vector<LANGID>*>(parameter)->push_back(language);
  return TRUE;
}

// The languages whose dialogs the program carries (the finish page is one
// no test resource defines).
std::vector<LANGID> DialogLanguages() {
  std::vector<LANGID> languages;
  EnumResourceLanguagesW(GetModuleHandleW(nullptr), RT_DIALOG, MAKEINTRESOURCEW(IDD_WIZ_FINISH), AddLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

std::wstring StringIn(LANGID language, UINT id) {
  std::wstring text;
  if (!LoadStringInLanguage(id, language, &text)) LoadStringInLanguage(id, kEnglish, &text);
  return text;
}

// What the pages put in for the tokens.
std::wstring Filled(const std::wstring& text, LANGID language) {
  std::wstring result = text;
  const std::pair<const wchar_t*, std::wstring> kTokens[] = {
      {L"[SetupWizard]", StringIn(language, IDS_SETUP_WIZARD)},
      {L"[Wizard]", StringIn(language, IDS_WIZARD)},
      {L"[Setup]", StringIn(language, IDS_APP_NAME)},
      {L"[Progress1]", StringIn(language, IDS_PROGRESS_INSTALLING)},
      {L"[Progress2]", StringIn(language, IDS_PROGRESS_INSTALLS)},
      {L"[ButtonText_Yes]", StringIn(language, IDS_BUTTON_YES)},
      {L"[ButtonText_No]", StringIn(language, IDS_BUTTON_NO)},
      {L"[ProductName]", kProductName},
      {L"_PRODUCT_NAME_", kProductName},
      {L"[CompanyName]", kCompanyName},
      {L"<a>", L""},
      {L"</a>", L""},
  };
  for (const auto& token : kTokens) result = ReplaceAll(result, token.first, token.second);
  return result;
}

enum class CFontKind { Template, Text, Title, Bold, BigBold };

struct CFontSpec {
  std::wstring face;
  int points = 8;
  bool bold = false;
};

// "Tahoma_Bold_8": face, style and size.
CFontSpec ParseFontSpec(const std::wstring& spec) {
  CFontSpec font;
  size_t last = spec.rfind(L'_');
  size_t middle = last == std::wstring::npos || last == 0 ? std::wstring::npos : spec.rfind(L'_', last - 1);
  if (middle == std::wstring::npos) return font;
  font.face = spec.substr(0, middle);
  font.bold = spec.compare(middle + 1, last - middle - 1, L"Bold") == 0;
  font.points = _wtoi(spec.c_str() + last + 1);
  return font;
}

// The wizard pages' fonts: each page's title, the finish page's title, the
// setup type captions; every other control has the text font.
const std::pair<UINT, int> kPageTitles[] = {
    {IDD_WIZ_WELCOME, IDC_WELCOME_TITLE},
    {IDD_WIZ_USER_EXIT, IDC_USER_EXIT_TITLE},
    {IDD_WIZ_PRODUCT_INFORMATION, IDC_PRODUCT_INFORMATION_TITLE},
    {IDD_WIZ_EULA, IDC_EULA_TITLE},
    {IDD_WIZ_EXPERIENCE_IMPROVEMENT, IDC_UEIP_TITLE},
    {IDD_WIZ_INSTALL_MODE, IDC_SETUP_TYPE_TITLE},
    {IDD_WIZ_INSTALL_POINT, IDC_INSTALL_POINT_TITLE},
    {IDD_WIZ_CUSTOMIZE, IDC_CUSTOMIZE_TITLE},
    {IDD_WIZ_GOOGLE_TOOLBAR, IDC_OFFER_TITLE},
    {IDD_WIZ_GOOGLE_CHROME, IDC_OFFER_TITLE},
    {IDD_WIZ_REMOVE_PREVIOUS, IDC_REMOVE_PREVIOUS_TITLE},
    {IDD_WIZ_VERIFY, IDC_VERIFY_TITLE},
    {IDD_WIZ_PROGRESS, IDC_PROGRESS_TITLE},
};

CFontKind PageFontOf(UINT dialog, int control) {
  if (dialog == IDD_WIZ_FINISH && control == IDC_FINISH_TITLE) return CFontKind::BigBold;
  if (dialog == IDD_WIZ_INSTALL_MODE &&
      (control == IDC_SETUP_TYPE_FIRST_CAPTION || control == IDC_SETUP_TYPE_SECOND_CAPTION ||
       control == IDC_SETUP_TYPE_THIRD_CAPTION)) {
    return CFontKind::Bold;
  }
  for (const auto& title : kPageTitles) {
    if (title.first == dialog && title.second == control) return CFontKind::Title;
  }
  return CFontKind::Text;
}

struct CDialogInfo {
  UINT id;
  const char* name;
  bool page;
};

const CDialogInfo kDialogs[] = {
    {IDD_SETUP_DIALOG, "IDD_SETUP_DIALOG", false},
    {IDD_WIZ_WELCOME, "IDD_WIZ_WELCOME", true},
    {IDD_WIZ_UPSELL, "IDD_WIZ_UPSELL", true},
    {IDD_WIZ_PRODUCT_INFORMATION, "IDD_WIZ_PRODUCT_INFORMATION", true},
    {IDD_WIZ_EULA, "IDD_WIZ_EULA", true},
    {IDD_WIZ_EXPERIENCE_IMPROVEMENT, "IDD_WIZ_EXPERIENCE_IMPROVEMENT", true},
    {IDD_WIZ_INSTALL_MODE, "IDD_WIZ_INSTALL_MODE", true},
    {IDD_WIZ_INSTALL_POINT, "IDD_WIZ_INSTALL_POINT", true},
    {IDD_WIZ_CUSTOMIZE, "IDD_WIZ_CUSTOMIZE", true},
    {IDD_WIZ_GOOGLE_TOOLBAR, "IDD_WIZ_GOOGLE_TOOLBAR", true},
    {IDD_WIZ_GOOGLE_CHROME, "IDD_WIZ_GOOGLE_CHROME", true},
    {IDD_WIZ_REMOVE_PREVIOUS, "IDD_WIZ_REMOVE_PREVIOUS", true},
    {IDD_WIZ_VERIFY, "IDD_WIZ_VERIFY", true},
    {IDD_WIZ_PROGRESS, "IDD_WIZ_PROGRESS", true},
    {IDD_WIZ_FINISH, "IDD_WIZ_FINISH", true},
    {IDD_WIZ_USER_EXIT, "IDD_WIZ_USER_EXIT", true},
    {IDD_CANCEL_DIALOG, "IDD_CANCEL_DIALOG", false},
    {IDD_MESSAGE_BOX, "IDD_MESSAGE_BOX", false},
    {IDD_FILES_IN_USE, "IDD_FILES_IN_USE", false},
    {IDD_SELECT_LANGUAGE, "IDD_SELECT_LANGUAGE", false},
};

// Strings the pages put into their controls at run time.
struct CRuntimeText {
  UINT dialog;
  int control;
  std::vector<UINT> strings;
};

const CRuntimeText kRuntimeTexts[] = {
    {IDD_WIZ_WELCOME, IDC_WELCOME_BODY, {IDS_MAINTENANCE_WELCOME}},
    {IDD_WIZ_INSTALL_MODE, IDC_SETUP_TYPE_FIRST_CAPTION, {IDS_SETUP_TYPE_REPAIR, IDS_SETUP_TYPE_CUSTOM}},
    {IDD_WIZ_INSTALL_MODE, IDC_SETUP_TYPE_SECOND_CAPTION, {IDS_SETUP_TYPE_REMOVE, IDS_SETUP_TYPE_COMPLETE}},
    {IDD_WIZ_INSTALL_MODE, IDC_SETUP_TYPE_THIRD_CAPTION,
     {IDS_SETUP_TYPE_REPAIR, IDS_SETUP_TYPE_REMOVE, IDS_SETUP_TYPE_CUSTOM, IDS_SETUP_TYPE_COMPLETE}},
    {IDD_WIZ_INSTALL_MODE, IDC_SETUP_TYPE_FIRST_TEXT, {IDS_SETUP_TYPE_REPAIR_TEXT, IDS_SETUP_TYPE_CUSTOM_TEXT}},
    {IDD_WIZ_INSTALL_MODE, IDC_SETUP_TYPE_SECOND_TEXT, {IDS_SETUP_TYPE_REMOVE_TEXT, IDS_SETUP_TYPE_COMPLETE_TEXT}},
    {IDD_WIZ_INSTALL_MODE, IDC_SETUP_TYPE_THIRD_TEXT,
     {IDS_SETUP_TYPE_REPAIR_TEXT, IDS_SETUP_TYPE_REMOVE_TEXT, IDS_SETUP_TYPE_CUSTOM_TEXT,
      IDS_SETUP_TYPE_COMPLETE_TEXT}},
    {IDD_WIZ_INSTALL_POINT, IDC_INSTALL_POINT_BROWSE, {IDS_BROWSE_BUTTON}},
    {IDD_WIZ_INSTALL_POINT, IDC_INSTALL_POINT_RESET, {IDS_RESET_BUTTON}},
    {IDD_WIZ_REMOVE_PREVIOUS, IDC_REMOVE_PREVIOUS_DESCRIPTION, {IDS_REMOVAL_REQUIRED, IDS_REMOVAL_ADVISED}},
    {IDD_WIZ_VERIFY, IDC_VERIFY_TITLE, {IDS_VERIFY_REMOVE_TITLE, IDS_VERIFY_REPAIR_TITLE}},
    {IDD_WIZ_VERIFY, IDC_VERIFY_SUBTITLE, {IDS_REMOVE_CHOSEN, IDS_REPAIR_CHOSEN}},
    {IDD_WIZ_VERIFY, IDC_VERIFY_BODY, {IDS_VERIFY_REMOVE_BODY, IDS_VERIFY_REPAIR_BODY, IDS_VERIFY_CLEAN_BODY}},
    {IDD_WIZ_PROGRESS, IDC_PROGRESS_TITLE, {IDS_REPAIRING_PRODUCT, IDS_UNINSTALLING_PRODUCT}},
    {IDD_WIZ_PROGRESS, IDC_PROGRESS_SUBTITLE, {IDS_REPAIR_CHOSEN, IDS_REMOVE_CHOSEN}},
    {IDD_WIZ_PROGRESS, IDC_PROGRESS_DESCRIPTION, {IDS_CONFIGURING_PRODUCT}},
    {IDD_WIZ_PROGRESS, IDC_PROGRESS_STATUS, {IDS_GATHERING_REQUIRED_INFORMATION}},
    {IDD_FILES_IN_USE, IDC_FILES_IN_USE_PROMPT, {IDS_FILES_IN_USE_PROMPT}},
    {IDD_SELECT_LANGUAGE, IDC_LANGUAGE_PROMPT, {IDS_SELECT_LANGUAGE_PROMPT}},
};

struct CDeleteFont {
  void operator()(HFONT font) const { DeleteObject(font); }
};
using CFont = std::unique_ptr<std::remove_pointer<HFONT>::type, CDeleteFont>;

CFont MakeFont(const std::wstring& face, int points, int weight, int dpi) {
  LOGFONTW font = {};
  font.lfHeight = -MulDiv(points, dpi, 72);
  font.lfWeight = weight;
  font.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  return CFont(CreateFontIndirectW(&font));
}

// Measures texts in one language at one DPI, as that language's dialogs
// show them.
class CTextFit {
 public:
  CTextFit(LANGID language, int dpi) : m_language(language), m_dpi(dpi), m_dc(CreateCompatibleDC(nullptr)) {
    const std::pair<CFontKind, UINT> kSpecs[] = {{CFontKind::Text, IDS_FONT_TEXT},
                                                 {CFontKind::Title, IDS_FONT_TITLE},
                                                 {CFontKind::Bold, IDS_FONT_BOLD},
                                                 {CFontKind::BigBold, IDS_FONT_BIG_BOLD}};
    for (const auto& spec : kSpecs) {
      CFontSpec font = ParseFontSpec(StringIn(language, spec.second));
      m_fonts[spec.first] = MakeFont(font.face, font.points, font.bold ? FW_BOLD : FW_NORMAL, dpi);
    }
  }
  ~CTextFit() { DeleteDC(m_dc); }

  // Each text of the dialog that does not fit, one line each.
  void Check(const CDialogInfo& dialog, std::vector<std::string>* clipped) {
    CDialogLayout layout;
    if (!LoadLayout(dialog.id, m_language, &layout)) return;
    CFont templateFont = MakeFont(layout.face, layout.points, layout.weight, m_dpi);
    SIZE base = BaseUnits(templateFont.get());
    for (const CDialogItem& item : layout.items) {
      HFONT font = dialog.page ? m_fonts[PageFontOf(dialog.id, item.id)].get() : templateFont.get();
      std::vector<std::wstring> texts;
      if (!item.text.empty()) texts.push_back(item.text);
      for (const CRuntimeText& runtime : kRuntimeTexts) {
        if (runtime.dialog != dialog.id || runtime.control != item.id) continue;
        for (UINT id : runtime.strings) texts.push_back(StringIn(m_language, id));
      }
      SIZE box = {MulDiv(item.cx, base.cx, 4), MulDiv(item.cy, base.cy, 8)};
      for (const std::wstring& text : texts) CheckText(dialog.name, item, font, Filled(text, m_language), box, clipped);
    }
  }

  // Whether `text` fits a control of this kind and size; the room it needs.
  bool Fits(const CDialogItem& item, HFONT font, const std::wstring& text, SIZE box, SIZE* needed) {
    HGDIOBJ previous = SelectObject(m_dc, font);
    UINT flags = DT_CALCRECT | DT_EXPANDTABS;
    int width = box.cx;
    bool wraps = true;
    if (item.atom == 0x80) {
      DWORD type = item.style & BS_TYPEMASK;
      if (type == BS_GROUPBOX) {
        width -= Scaled(16);
        wraps = false;
      } else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
        width -= 4;  // the button's frame, 2 pixels a side at any DPI
        wraps = (item.style & BS_MULTILINE) != 0;
      } else {
        width -= Scaled(13 + 4);  // the check box and its gap
        wraps = (item.style & BS_MULTILINE) != 0;
      }
    } else if (item.atom == 0x82) {
      DWORD type = item.style & SS_TYPEMASK;
      wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
      if (item.style & SS_NOPREFIX) flags |= DT_NOPREFIX;
      // Shortened to its one line: only the line's height must fit.
      if (item.style & SS_ELLIPSISMASK) {
        wraps = false;
        width = INT_MAX / 2;
      }
    }
    if (wraps) flags |= DT_WORDBREAK;
    else flags |= DT_SINGLELINE;
    RECT rect = {0, 0, width, 0};
    DrawTextW(m_dc, text.c_str(), -1, &rect, flags);
    SelectObject(m_dc, previous);
    needed->cx = rect.right - rect.left;
    needed->cy = rect.bottom - rect.top;
    return needed->cx <= width && needed->cy <= box.cy;
  }

 private:
  int Scaled(int pixels) const { return MulDiv(pixels, m_dpi, 96); }

  // The dialog base units of a template's font, as the dialog manager
  // takes them: half the average width of the Latin letters, rounded, and
  // the height.
  SIZE BaseUnits(HFONT font) {
    HGDIOBJ previous = SelectObject(m_dc, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(m_dc, &metrics);
    SIZE letters = {};
    static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(m_dc, kLetters, 52, &letters);
    SelectObject(m_dc, previous);
    return {(letters.cx / 26 + 1) / 2, metrics.tmHeight};
  }

  bool Measured(const CDialogItem& item) const {
    if (item.atom == 0x80) return (item.style & BS_TYPEMASK) != BS_OWNERDRAW;
    if (item.atom == 0x82) {
      DWORD type = item.style & SS_TYPEMASK;
      return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP ||
             type == SS_SIMPLE;
    }
    return item.className == L"SysLink";
  }

  void CheckText(const char* where, const CDialogItem& item, HFONT font, const std::wstring& text, SIZE box,
                 std::vector<std::string>* clipped) {
    if (text.empty() || !Measured(item)) return;
    ++m_measured;
    SIZE needed = {};
    if (Fits(item, font, text, box, &needed)) return;
    char line[512];
    std::snprintf(line, sizeof line, "language 0x%04X at %d DPI: %s control %d needs %ldx%ld px, has %ldx%ld: ",
                  m_language, m_dpi, where, item.id, needed.cx, needed.cy, box.cx, box.cy);
    std::string utf8(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr);
    clipped->push_back(line + utf8.substr(0, utf8.size() - 1));
  }

 public:
  int m_measured = 0;

 private:
  LANGID m_language;
  int m_dpi;
  HDC m_dc;
  std::map<CFontKind, CFont> m_fonts;
};

}  // namespace

TEST(CDialogTextFitTest, EveryTextOfEveryLanguageFitsItsControlAt96To144Dpi) {
  std::vector<LANGID> languages = DialogLanguages();
  ASSERT_FALSE(languages.empty());
  std::vector<std::string> clipped;
  for (LANGID language : languages) {
    for (int dpi : {96, 120, 144}) {
      CTextFit fit(language, dpi);
      for (const CDialogInfo& dialog : kDialogs) fit.Check(dialog, &clipped);
      // Most of the dialogs' texts were measured, not passed over.
      EXPECT_GT(fit.m_measured, 80) << "language " << language;
    }
  }
  std::string report;
  for (const std::string& line : clipped) report += line + "\n";
  EXPECT_TRUE(clipped.empty()) << clipped.size() << " clipped texts:\n" << report;
}

// The measure itself: a text too long for its control is found, on one
// line (buttons) and wrapped (labels), and a short one is not.
TEST(CDialogTextFitTest, FindsATextTooLongForItsControl) {
  CTextFit fit(kEnglish, 96);
  CFont font = MakeFont(L"Tahoma", 8, FW_NORMAL, 96);
  CDialogItem button;
  button.atom = 0x80;
  button.style = BS_PUSHBUTTON;
  CDialogItem label;
  label.atom = 0x82;
  label.style = SS_LEFT;
  struct Case {
    const CDialogItem* item;
    const wchar_t* text;
    SIZE box;
    bool fits;
  };
  const Case kCases[] = {
      {&button, L"&Next >", {75, 21}, true},
      {&button, L"Installationsassistenten &beenden", {75, 21}, false},
      {&label, L"Click Next to continue.", {200, 13}, true},
      {&label, L"Click Next to continue or Cancel to exit the Setup Wizard for the product.", {200, 13}, false},
      {&label, L"Click Next to continue or Cancel to exit the Setup Wizard for the product.", {200, 40}, true},
      {&label, L"Installationsverzeichnisauswahlassistentenseite", {100, 40}, false},
  };
  for (const Case& c : kCases) {
    SIZE needed = {};
    EXPECT_EQ(c.fits, fit.Fits(*c.item, font.get(), c.text, c.box, &needed)) << std::string(c.text, c.text + wcslen(c.text));
  }
}
