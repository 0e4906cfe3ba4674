// msi_external_ui.cpp: the installer's progress, action and common-data
// messages moved onto the setup's package bar and status line, and the
// user's cancel given back as the answer to the next progress message.
#include "actions/msi_external_ui.h"

#include <windows.h>
#include <commctrl.h>
#include <msi.h>

#include <atomic>
#include <cwchar>

#include "engine/setup_globals.h"
#include "foundation/resource_strings.h"
#include "foundation/scoped_handle.h"
#include "platform/callback_boundary.h"
#include "platform/wide_string.h"

namespace {

const UINT kMessageTypeMask = 0xFF000000;

// Labels of the installer's action data and the strings that translate them.
const struct {
  const wchar_t* label;
  UINT stringId;
} kActionDataLabels[] = {
    {L"File:", 11222},      {L"Directory:", 11223},
    {L"Size:", 11224},      {L"Key:", 11225},
    {L"Name:", 11226},      {L"Value:", 11227},
    {L"Feature:", 11228},   {L"Publishing product features", 11229},
    {L"Version:", 11230},   {L"Property:", 11232},
    {L"Signature:", 11233}, {L"Folder:", 11234},
    {L"Removing duplicated files", 11235}, {L"Shortcut:", 78},
};

// One installation runs at a time: its handler is the only writer.
struct CInstallerProgress {
  int total = 0;
  int position = 0;
  int current = 0;
  int step = 0;
  bool forward = true;
  bool scriptInProgress = false;
  bool actionDataEnabled = false;
  WORD language = 0;
};
CInstallerProgress g_progress;

std::atomic<bool> g_userCancelled{false};

class CWindowProgressSink : public IInstallerProgressSink {
 public:
  bool HasBar() const override { return g_progressWindows.packageBar != nullptr; }
  void Show() override {
    if (g_progressWindows.packageBar) ShowWindow(g_progressWindows.packageBar, SW_SHOWNOACTIVATE);
    if (g_progressWindows.statusLine) ShowWindow(g_progressWindows.statusLine, SW_SHOWNOACTIVATE);
  }
  void SetRange(int total) override { Send(PBM_SETRANGE32, 0, total); }
  void SetPosition(int position) override { Send(PBM_SETPOS, position, 0); }
  void SetStep(int step) override { Send(PBM_SETSTEP, step, 0); }
  void StepIt() override { Send(PBM_STEPIT, 0, 0); }
  void SetStatusText(const std::wstring& text) override {
    HWND target = g_progressWindows.detailText ? g_progressWindows.detailText : g_progressWindows.statusLine;
    if (target) SetWindowTextW(target, text.c_str());
  }

 private:
  static void Send(UINT message, int wParam, int lParam) {
    if (!g_progressWindows.packageBar) return;
    SendMessageW(g_progressWindows.packageBar, message, static_cast<WPARAM>(wParam),
                 static_cast<LPARAM>(lParam));
  }
};

CWindowProgressSink g_windowSink;
std::atomic<IInstallerProgressSink*> g_sink{nullptr};

// Set while no question is open.
HANDLE CancelGate() {
  static CScopedHandle gate(CreateEventW(nullptr, TRUE, TRUE, nullptr));
  return gate.Get();
}

// Reads one integer up to the next blank; false when there is none.
bool ReadNumber(const std::wstring& text, size_t* at, int* value) {
  size_t end = text.find(L' ', *at);
  if (end == std::wstring::npos) end = text.size();
  std::wstring digits = text.substr(*at, end - *at);
  *at = end;
  if (digits.empty()) return false;
  wchar_t* stop = nullptr;
  long number = std::wcstol(digits.c_str(), &stop, 10);
  if (*stop != L'\0') return false;
  *value = static_cast<int>(number);
  return true;
}

// The next "N: " label's digit; 0 at the end of the text, -1 for another shape.
int ReadLabel(const std::wstring& text, size_t* at) {
  while (*at < text.size() && text[*at] == L' ') ++*at;
  if (*at >= text.size()) return 0;
  if (*at + 2 >= text.size() || text[*at + 1] != L':' || text[*at + 2] != L' ') return -1;
  wchar_t digit = text[*at];
  *at += 3;
  return digit >= L'1' && digit <= L'9' ? digit - L'0' : -1;
}

int HandleProgress(const std::wstring& text, IInstallerProgressSink* sink) {
  int fields[4];
  CInstallerProgress& p = g_progress;
  if (ParseProgressMessage(text, fields)) {
    if (fields[0] == 0) {
      p.total = fields[1];
      p.forward = fields[2] == 0;
      p.position = p.forward ? 0 : p.total;
      sink->SetRange(p.total);
      sink->SetPosition(p.scriptInProgress ? p.total : p.position);
      p.current = 0;
      p.scriptInProgress = fields[3] == 1;
    } else if (fields[0] == 1) {
      p.actionDataEnabled = fields[2] != 0;
      if (p.actionDataEnabled) {
        p.step = p.forward ? fields[1] : -fields[1];
        sink->SetStep(p.step);
      }
    } else if (fields[0] == 2 && p.total != 0) {
      p.current += fields[1] != 0 ? fields[1] : p.step;
      sink->SetPosition(p.forward ? p.current : -p.current);
    }
  }
  return g_userCancelled ? IDCANCEL : IDOK;
}

int HandleMessage(UINT type, const std::wstring& text, IInstallerProgressSink* sink) {
  switch (type) {
    case INSTALLMESSAGE_FATALEXIT:
    case INSTALLMESSAGE_ERROR:
    case INSTALLMESSAGE_WARNING:
    case INSTALLMESSAGE_RESOLVESOURCE:
      return 0;
    case INSTALLMESSAGE_ACTIONSTART:
      g_progress.actionDataEnabled = false;
      return IDOK;
    case INSTALLMESSAGE_ACTIONDATA:
      if (g_progress.total != 0) {
        if (!text.empty()) sink->SetStatusText(FormatActionData(text));
        if (g_progress.actionDataEnabled) sink->StepIt();
      }
      return IDOK;
    case INSTALLMESSAGE_PROGRESS:
      return HandleProgress(text, sink);
    case INSTALLMESSAGE_COMMONDATA: {
      int recordType = 0;
      int value = 0;
      if (ParseCommonDataMessage(text, &recordType, &value) && recordType == 0) {
        g_progress.language = static_cast<WORD>(value);
      }
      return IDOK;
    }
    case INSTALLMESSAGE_USER:
    case INSTALLMESSAGE_INFO:
    case INSTALLMESSAGE_FILESINUSE:
    case INSTALLMESSAGE_OUTOFDISKSPACE:
    case INSTALLMESSAGE_INITIALIZE:
    case INSTALLMESSAGE_TERMINATE:
    case INSTALLMESSAGE_SHOWDIALOG:
    case INSTALLMESSAGE_RMFILESINUSE:
      return IDOK;
    default:
      return 0;
  }
}

}  // namespace

void SetInstallerProgressSink(IInstallerProgressSink* sink) { g_sink = sink; }

IInstallerProgressSink* GetInstallerProgressSink() {
  IInstallerProgressSink* sink = g_sink;
  return sink ? sink : &g_windowSink;
}

void SetUserCancelled(bool cancelled) { g_userCancelled = cancelled; }

bool IsUserCancelled() { return g_userCancelled; }

void OpenCancelQuestion() { ResetEvent(CancelGate()); }

void CloseCancelQuestion() { SetEvent(CancelGate()); }

INT CALLBACK MsiExternalUIHandler(LPVOID, UINT messageType, LPCWSTR message) {
  try {
    // No message is answered while the user decides about a cancel.
    WaitForSingleObject(CancelGate(), INFINITE);
    if (!message) return 0;
    if (g_uiLanguageId) SetThreadUILanguage(g_uiLanguageId);
    IInstallerProgressSink* sink = GetInstallerProgressSink();
    sink->Show();
    return HandleMessage(messageType & kMessageTypeMask, message, sink);
  } catch (...) {
    ReportBoundaryException(L"the installer's message handler");
    return 0;
  }
}

bool ParseProgressMessage(const std::wstring& text, int fields[4]) {
  for (int i = 0; i < 4; ++i) fields[i] = 0;
  size_t at = 0;
  for (;;) {
    int label = ReadLabel(text, &at);
    if (label == 0) return true;
    if (label < 1 || label > 4) return false;
    if (label == 1) {
      if (at >= text.size() || text[at] < L'0' || text[at] > L'9') return false;
      fields[0] = text[at] - L'0';
      at = text.find(L' ', at);
      if (at == std::wstring::npos) at = text.size();
      continue;
    }
    if (!ReadNumber(text, &at, &fields[label - 1])) return false;
    if (label == 4 || (label == 2 && (fields[0] == 2 || fields[0] == 3)) ||
        (label == 3 && fields[0] == 1)) {
      return true;
    }
  }
}

bool ParseCommonDataMessage(const std::wstring& text, int* type, int* value) {
  *type = 0;
  *value = 0;
  size_t at = 0;
  if (ReadLabel(text, &at) != 1 || !ReadNumber(text, &at, type) || *type == 1) return false;
  if (ReadLabel(text, &at) != 2) return false;
  return ReadNumber(text, &at, value);
}

std::wstring FormatActionData(const std::wstring& text) {
  std::wstring result = text;
  for (const wchar_t* separator : {L",  ", L", ", L";  ", L"; "}) {
    result = ReplaceAll(result, separator, L"\n");
  }
  for (const auto& label : kActionDataLabels) {
    std::wstring translated = LoadResourceString(label.stringId);
    // Without a translation the installer's own label stays.
    if (!translated.empty()) result = ReplaceAll(result, label.label, translated);
  }
  return result;
}

void ResetInstallerProgress() { g_progress = CInstallerProgress(); }
