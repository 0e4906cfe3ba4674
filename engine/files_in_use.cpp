// files_in_use.cpp: the replaceable "Files in Use" question and the text
// that names the open applications.
#include "engine/files_in_use.h"

#include "actions/shutdown_action.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"

namespace {

FilesInUseFunction g_implementation = nullptr;

bool MatchesAny(const std::vector<std::wstring>& census, const std::wstring& pattern) {
  if (pattern.empty()) return false;
  for (const std::wstring& text : census) {
    if (MatchWildcard(text, pattern)) return true;
  }
  return false;
}

void AddEntry(std::wstring* text, const std::wstring& entry) {
  size_t start = 0;
  while (start <= text->size() && !text->empty()) {
    size_t end = text->find(L'\n', start);
    if (end == std::wstring::npos) end = text->size();
    if (text->compare(start, end - start, entry) == 0) return;
    start = end + 1;
  }
  if (!text->empty()) *text += L"\n";
  *text += entry;
}

}  // namespace

int ShowFilesInUseDialog(HWND owner, const std::wstring& applications, const CSetupState* state) {
  if (g_implementation) return g_implementation(owner, applications, state);
  return IDOK;
}

void SetFilesInUseImplementation(FilesInUseFunction function) { g_implementation = function; }

// One line per application that is open now, for the "Files in Use" question.
std::wstring FilesInUseText(const CSetupActionList& actions) {
  std::wstring text;
  for (const auto& entry : actions) {
    const CShutdownAction* action = dynamic_cast<const CShutdownAction*>(entry.get());
    if (!action) continue;
    if (!MatchesAny(OpenWindowClasses(), action->GetClassName()) &&
        !MatchesAny(OpenWindowTitles(), action->GetWindowTitle())) {
      continue;
    }
    if (!action->GetWindowTitle().empty()) {
      WriteLog(L"   Adding WindowTitle: %s", action->GetWindowTitle().c_str());
      AddEntry(&text, action->GetWindowTitle());
    } else if (!action->GetFriendlyName().empty()) {
      WriteLog(L"   Adding FriendlyName: %s", action->GetFriendlyName().c_str());
      AddEntry(&text, action->GetFriendlyName());
    } else {
      WriteLog(L"   Adding ClassName: %s", action->GetClassName().c_str());
      AddEntry(&text, action->GetClassName());
    }
  }
  return text;
}
