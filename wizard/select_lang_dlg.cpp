// select_lang_dlg.cpp: the language dialog and its pictures.
#include "wizard/select_lang_dlg.h"

#include "foundation/language_rows.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_language.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "platform/png_image.h"
#include "resources/resource_ids.h"

namespace {

struct CLanguagePicture {
  const wchar_t* code;
  UINT resourceId;
};

const CLanguagePicture kPictures[] = {
    {L"ARA", IDB_LANGUAGE_ARA}, {L"CHS", IDB_LANGUAGE_CHS}, {L"CHT", IDB_LANGUAGE_CHT},
    {L"CSY", IDB_LANGUAGE_CSY}, {L"DAN", IDB_LANGUAGE_DAN}, {L"DEU", IDB_LANGUAGE_DEU},
    {L"ELL", IDB_LANGUAGE_ELL}, {L"ENU", IDB_LANGUAGE_ENU}, {L"ESN", IDB_LANGUAGE_ESN},
    {L"ESP", IDB_LANGUAGE_ESP}, {L"FIN", IDB_LANGUAGE_FIN}, {L"FRA", IDB_LANGUAGE_FRA},
    {L"HUN", IDB_LANGUAGE_HUN}, {L"ITA", IDB_LANGUAGE_ITA}, {L"JPN", IDB_LANGUAGE_JPN},
    {L"KOR", IDB_LANGUAGE_KOR}, {L"NLD", IDB_LANGUAGE_NLD}, {L"NOR", IDB_LANGUAGE_NOR},
    {L"PLK", IDB_LANGUAGE_PLK}, {L"PTB", IDB_LANGUAGE_PTB}, {L"PTG", IDB_LANGUAGE_PTG},
    {L"RUS", IDB_LANGUAGE_RUS}, {L"SVE", IDB_LANGUAGE_SVE}, {L"TRK", IDB_LANGUAGE_TRK},
};

const int kPictureWidth = 250;
const int kPictureHeight = 40;
const COLORREF kTransparent = RGB(255, 0, 255);
const LANGID kEnglish = 0x409;
const WORD kPrimaryLanguageMask = 0x3FF;

int IndexOf(const std::vector<LANGID>& offered, LANGID language) {
  for (size_t index = 0; index < offered.size(); ++index) {
    if (offered[index] == language) return static_cast<int>(index);
  }
  return -1;
}

// A 24-bit copy of the picture: without an alpha channel the image list
// takes its transparency from the mask colour.
HBITMAP OpaqueCopy(HBITMAP source, SIZE size) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!target) return nullptr;
  HDC from = CreateCompatibleDC(nullptr);
  HDC to = CreateCompatibleDC(nullptr);
  HGDIOBJ oldFrom = SelectObject(from, source);
  HGDIOBJ oldTo = SelectObject(to, target);
  BitBlt(to, 0, 0, size.cx, size.cy, from, 0, 0, SRCCOPY);
  SelectObject(from, oldFrom);
  SelectObject(to, oldTo);
  DeleteDC(from);
  DeleteDC(to);
  return target;
}

}  // namespace

int ChooseLanguageItem(const std::vector<LANGID>& offered, LANGID current, LANGID user) {
  if (offered.empty()) return -1;
  int index = IndexOf(offered, user);
  // A Swiss German user reads the German offered.
  for (size_t at = 0; index < 0 && at < offered.size(); ++at) {
    if ((offered[at] & kPrimaryLanguageMask) == (user & kPrimaryLanguageMask)) index = static_cast<int>(at);
  }
  if (index < 0) index = IndexOf(offered, current);
  if (index < 0) index = IndexOf(offered, kEnglish);
  return index >= 0 ? index : 0;
}

UINT LanguagePictureId(const std::wstring& code) {
  for (const CLanguagePicture& picture : kPictures) {
    if (EqualsNoCase(code, picture.code)) return picture.resourceId;
  }
  return 0;
}

CSelectLangDlg::CSelectLangDlg(const std::vector<std::wstring>& codes, const std::wstring& currentCode,
                               HWND parent)
    : CModalDialog(IDD_SELECT_LANGUAGE, parent), m_selectedCode(currentCode),
      m_currentLangId(LangIdFromLanguageCode(currentCode)), m_codes(codes) {
  SetLanguage(GetResourceLanguageId());
}

CSelectLangDlg::~CSelectLangDlg() {
  if (m_images) ImageList_Destroy(m_images);
}

BOOL CSelectLangDlg::OnInitDialog() {
  m_images = ImageList_Create(kPictureWidth, kPictureHeight, ILC_COLOR32 | ILC_MASK, 19, 30);
  m_languageList.Attach(GetDlgItem(IDC_LANGUAGE_LIST));
  m_languageList.SetImageList(m_images);
  for (const std::wstring& code : m_codes) AddLanguage(code);
  SelectFirstChoice();
  SetWindowTextW(GetSafeHwnd(), LoadResourceString(IDS_APP_NAME).c_str());
  SetItemText(IDC_LANGUAGE_PROMPT, LoadResourceString(IDS_SELECT_LANGUAGE_PROMPT));
  SetItemText(IDOK, LoadResourceString(IDS_BOX_OK));
  SetItemText(IDCANCEL, LoadResourceString(IDS_BUTTON_CANCEL));
  return TRUE;
}

void CSelectLangDlg::AddLanguage(const std::wstring& code) {
  UINT pictureId = LanguagePictureId(code);
  LANGID language = LangIdFromLanguageCode(code);
  if (pictureId == 0 || language == kEndLanguageId) {
    WriteLog(L"Failed to find resource or language ID for %s", code.c_str());
    return;
  }
  CPngImage picture;
  if (!picture.LoadFromResource(GetModuleHandleW(nullptr), pictureId, L"PNG")) {
    WriteLog(L"Failed to find resource or language ID for %s", code.c_str());
    return;
  }
  // The image list may change the bitmap it is given: it gets a copy.
  HBITMAP bitmap = OpaqueCopy(picture.GetBitmap(), picture.GetSize());
  int image = bitmap ? ImageList_AddMasked(m_images, bitmap, kTransparent) : -1;
  if (bitmap) DeleteObject(bitmap);
  int index = m_languageList.AddString(L"", image);
  if (index < 0) return;
  // Every language is offered: the program draws its texts in Unicode, and
  // Windows' fonts, linked for the scripts a face lacks, draw every script
  // of the interface languages whatever the system's ANSI code page.
  m_languageList.SetItemData(index, language);
  m_offered.push_back(language);
}

// OK always has a language to go on in.
void CSelectLangDlg::SelectFirstChoice() {
  int index = ChooseLanguageItem(m_offered, m_currentLangId, GetUserDefaultUILanguage());
  if (index < 0) return;
  SendMessageW(m_languageList.GetSafeHwnd(), LB_SETCURSEL, index, 0);
  std::wstring code;
  GetLanguageCode(m_offered[index], &code);
  WriteLog(L"Offering %d languages in the language dialog; %s is selected", static_cast<int>(m_offered.size()),
           code.c_str());
}

bool CSelectLangDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  switch (message) {
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (measure->CtlID != IDC_LANGUAGE_LIST) return false;
      m_languageList.MeasureItem(measure);
      SetWindowLongPtrW(GetSafeHwnd(), DWLP_MSGRESULT, TRUE);
      *result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (draw->CtlID != IDC_LANGUAGE_LIST) return false;
      m_languageList.DrawItem(draw);
      *result = TRUE;
      return true;
    }
    case WM_DESTROY:
      m_languageList.OnDestroy();
      return false;
    default:
      return CModalDialog::OnMessage(message, wParam, lParam, result);
  }
}

bool CSelectLangDlg::OnCommand(int id, int code) {
  if (id == IDC_LANGUAGE_LIST) {
    if (code == LBN_DBLCLK && !m_languageList.OnDoubleClick()) OnOK();
    return true;
  }
  if (id == IDOK) {
    OnOK();
    return true;
  }
  return CModalDialog::OnCommand(id, code);
}

void CSelectLangDlg::OnOK() {
  HWND list = m_languageList.GetSafeHwnd();
  int index = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  if (index != LB_ERR) {
    std::wstring code;
    if (GetLanguageCode(static_cast<LANGID>(m_languageList.GetItemData(index)), &code)) m_selectedCode = code;
  }
  EndDialog(IDOK);
}

bool SelectSetupLanguage(const std::vector<std::wstring>* codes, std::wstring* selected, HWND parent) {
  if (!codes) return false;
  if (codes->size() == 1) {
    *selected = codes->front();
    return true;
  }
  CSelectLangDlg dialog(*codes, *selected, parent);
  INT_PTR result = dialog.DoModal();
  if (result == IDOK) {
    *selected = dialog.GetSelectedCode();
    return !selected->empty();
  }
  if (result == IDCANCEL) {
    selected->clear();
    return true;
  }
  WriteLog(L"Unable to show the language dialog. Error code = %d", GetLastError());
  return false;
}
