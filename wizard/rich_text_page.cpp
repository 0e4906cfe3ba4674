// rich_text_page.cpp: the rich-text file of a page: which file, how it is
// streamed in, shown framed, opened by View, and its links.
#include "wizard/rich_text_page.h"

#include <windows.h>
#include <richedit.h>
#include <shellapi.h>

#include <vector>

#include "engine/setup_state.h"
#include "foundation/file_utils.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/window_text.h"
#include "wizard/setup_sheet.h"
#include "wizard/text_file_view.h"

namespace {

const wchar_t kTextFolder[] = L"bin\\";
const wchar_t kFallbackLanguage[] = L"ENU";
const wchar_t kViewSuffix[] = L".rtf";

DWORD CALLBACK ReadFileChunk(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
  DWORD done = 0;
  BOOL ok = ReadFile(reinterpret_cast<HANDLE>(cookie), buffer, static_cast<DWORD>(size), &done, nullptr);
  *read = static_cast<LONG>(done);
  return ok ? 0 : 1;
}

}  // namespace

CRichTextPage::CRichTextPage(UINT templateId, int titleId, UINT titleWithoutCompany,
                             std::initializer_list<int> textIds, int richEditId, int checkId, const wchar_t* fileBase)
    : CTextPage(templateId, titleId, textIds),
      m_richEditId(richEditId),
      m_checkId(checkId),
      m_titleWithoutCompany(titleWithoutCompany),
      m_fileBase(fileBase) {}

bool CRichTextPage::IsChecked() const {
  HWND box = GetDlgItem(m_checkId);
  return box && SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

BOOL CRichTextPage::OnInitDialog() {
  CTextPage::OnInitDialog();
  // The company name stands in the title's grammar ("... of [CompanyName]"):
  // without one the title is a sentence of its own.
  CSetupState* state = GetState();
  if (state && state->GetCompanyName().empty()) SetItemText(m_titleId, PageString(m_titleWithoutCompany));
  if (HWND text = GetDlgItem(m_richEditId)) {
    SendMessageW(text, EM_SETTARGETDEVICE, 0, 0);  // wrap to the window
    SendMessageW(text, EM_SETREADONLY, TRUE, 0);
    SendMessageW(text, EM_SETEVENTMASK, 0, ENM_LINK | ENM_MOUSEEVENTS);
    SendMessageW(text, EM_AUTOURLDETECT, TRUE, 0);
    LeaveReturnToSheet(m_richEditId);
  }
  LoadTextFile();
  return TRUE;
}

// The setup language's file, else the English one; neither leaves the
// text empty and the page usable.
void CRichTextPage::LoadTextFile() {
  CSetupState* state = GetState();
  std::wstring folder = FolderOfPath(GetModuleFilePath()) + kTextFolder;
  std::wstring language = state && !state->m_languageCode.empty() ? state->m_languageCode : kFallbackLanguage;
  for (const std::wstring& code : {language, std::wstring(kFallbackLanguage)}) {
    std::wstring path = folder + m_fileBase + L"." + code;
    // The English text reads left to right also on a mirrored page: the
    // control's paragraphs follow the text's language, not the layout's.
    if (code != language) KeepLeftToRightReading(GetDlgItem(m_richEditId));
    if (StreamFile(path)) {
      m_textFile = path;
      m_viewFileName = FileNameOfPath(path) + kViewSuffix;
      return;
    }
  }
  WriteLog(L"No text file '%s' for the wizard page %s", (folder + m_fileBase).c_str(), GetPageName().c_str());
}

bool CRichTextPage::StreamFile(const std::wstring& path) {
  HWND text = GetDlgItem(m_richEditId);
  CScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid() || !text) return false;
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(file.Get());
  stream.pfnCallback = ReadFileChunk;
  SendMessageW(text, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  if (stream.dwError != 0) WriteLog(L"Reading '%s' stopped with error %d", path.c_str(), stream.dwError);
  return true;
}

bool CRichTextPage::OnCommand(int id, int code) {
  if (id == CSetupSheet::kViewButtonId) {
    View();
    return true;
  }
  return CTextPage::OnCommand(id, code);
}

void CRichTextPage::View() const {
  ViewTextFile(m_textFile, m_viewFileName);
}

bool CRichTextPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_NOTIFY) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && static_cast<int>(header->idFrom) == m_richEditId && header->code == EN_LINK) {
      const ENLINK* link = reinterpret_cast<const ENLINK*>(lParam);
      if (link->msg == WM_LBUTTONUP) OpenLink(link);
      *result = 0;
      return true;
    }
  }
  return CTextPage::OnMessage(message, wParam, lParam, result);
}

void CRichTextPage::OpenLink(const struct _enlink* link) const {
  LONG length = link->chrg.cpMax - link->chrg.cpMin;
  if (length <= 0) return;
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  TEXTRANGEW range = {link->chrg, buffer.data()};
  SendMessageW(GetDlgItem(m_richEditId), EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  WriteLog(L"Opening link: %s", buffer.data());
  ShellExecuteW(nullptr, L"open", buffer.data(), nullptr, nullptr, SW_SHOWNORMAL);
}

// The header band, and a thin frame around the text.
void CRichTextPage::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(GetSafeHwnd(), &paint);
  PaintHeaderBand(dc);
  FrameControl(dc, m_richEditId);
  EndPaint(GetSafeHwnd(), &paint);
}

HBRUSH CRichTextPage::OnCtlColor(HDC dc, HWND control, UINT message) {
  if (control == GetDlgItem(m_checkId)) {
    CTextPage::OnCtlColor(dc, control, message);
    SetBkColor(dc, 0xFFFFFF);
    return m_whiteBrush;
  }
  return CTextPage::OnCtlColor(dc, control, message);
}
