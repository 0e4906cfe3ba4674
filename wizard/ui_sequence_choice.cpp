// ui_sequence_choice.cpp: chooses the wizard's page sequence, reads a
// configured one and walks it, and applies the pages' own conditions.
#include "wizard/ui_sequence_choice.h"

#include <initializer_list>
#include <memory>
#include <set>

#include "engine/setup_state.h"
#include "foundation/dcf_names.h"
#include "foundation/error.h"
#include "foundation/kw_ini_file.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "wizard/ini_exception.h"
#include "wizard/ini_sequence.h"
#include "wizard/setup_sheet.h"

namespace {

const wchar_t kInstallSequence[] = L"Install";
const wchar_t kUninstallSequence[] = L"Uninstall";
const wchar_t kUserExitCondition[] = L"UserCanceled, FailedInstall";
const wchar_t kToolbarPresentProperty[] = L"GoogleToolbarPresent";
const wchar_t kChromePresentProperty[] = L"GoogleChromePresent";

enum : unsigned { B = 1, N = 2, V = 4 };

struct Row {
  const wchar_t* name;
  unsigned flags;
  const wchar_t* condition;
};

CIniPageList BuildRows(std::initializer_list<Row> rows) {
  CIniPageList pages;
  for (const Row& row : rows) {
    CIniPage page;
    page.SetName(row.name);
    page.SetDisableBack((row.flags & B) ? 1 : 0);
    page.SetDisableNext((row.flags & N) ? 1 : 0);
    page.SetEnableView((row.flags & V) ? 1 : 0);
    page.SetDisplayCondition(row.condition);
    pages.push_back(page);
  }
  return pages;
}

// The ending rows every built-in sequence shares.
CIniPageList WithEnding(std::initializer_list<Row> rows) {
  CIniPageList pages = BuildRows(rows);
  pages.splice(pages.end(), BuildRows({{L"Progress", B | N, L""},
                                       {L"UserExit", B | N, kUserExitCondition},
                                       {L"Finish", B | N, L""}}));
  // Only the last page's Next matters: it marks the end.
  pages.back().SetNext(L"0");
  return pages;
}

}  // namespace

CIniPageList CUiSequenceChoice::BuildDefaultInstallSequence() {
  WriteLog(L"Using default Install UI sequence");
  return WithEnding({{L"Welcome", B, L""},
                     {L"Eula", V, L""},
                     {L"InstallMode", N, L""},
                     {L"InstallPoint", 0, L"CustomInstall"},
                     {L"Customize", 0, L"CustomInstall"},
                     {L"RemovePrevious", 0, L""},
                     {L"GoogleToolbar", 0, kToolbarPresentProperty},
                     {L"GoogleChrome", 0, kChromePresentProperty},
                     {L"Verify", 0, L""}});
}

CIniPageList CUiSequenceChoice::BuildDefaultUninstallSequence() {
  WriteLog(L"Using default Uninstall UI sequence");
  return WithEnding({{L"Welcome", B, L""},
                     {L"InstallMode", N, L""},
                     {L"Customize", 0, L"ModifyInstall"},
                     {L"Verify", 0, L""}});
}

CIniPageList CUiSequenceChoice::BuildDefaultInstallBasicSequence() {
  WriteLog(L"Using default Install Basic UI sequence");
  return WithEnding({});
}

CIniPageList CUiSequenceChoice::BuildDefaultUninstallBasicSequence() {
  WriteLog(L"Using default Uninstall Basic UI sequence");
  return WithEnding({});
}

CIniPageList CUiSequenceChoice::BuildDefaultVerifySequence() { return WithEnding({{L"Verify", B, L""}}); }

CIniPageList CUiSequenceChoice::WalkSequence(const CIniSequence& sequence) {
  CIniPageList pages;
  std::set<std::wstring> visited;
  std::wstring current = sequence.GetStart();
  for (;;) {
    if (!visited.insert(current).second) {
      throw CIniException(Format(L"Page '%s' is reached a second time in the %s sequence; it would never end",
                                 current.c_str(), sequence.GetName().c_str()));
    }
    CIniPage page = sequence.GetPage(current);
    pages.push_back(page);
    current = page.GetNext();
    if (current.empty() || EqualsNoCase(current, L"0")) return pages;
  }
}

CIniPageList CUiSequenceChoice::ReadConfiguredSequence() const {
  CKwIniFile file;
  file.LoadFrom(m_facts.configurationPath);
  std::wstring sequences;
  file.GetValue(kInterfaceSection, kSequencesKey, &sequences, L"");
  // A plain, case-sensitive substring test, as configurations rely on: it
  // never finds "Install" in "Uninstall", so a list naming only the
  // Uninstall sequence leaves a first install on the built-in one.
  const wchar_t* name = m_facts.maintenance ? kUninstallSequence : kInstallSequence;
  if (sequences.find(name) == std::wstring::npos) return BuildDefaultSequence();
  WriteLog(L"Reading UI sequence from the DCF");
  CIniSequence sequence;
  sequence.Load(file, name);
  return WalkSequence(sequence);
}

CIniPageList CUiSequenceChoice::BuildDefaultSequence() const {
  return m_facts.maintenance ? BuildDefaultUninstallSequence() : BuildDefaultInstallSequence();
}

CIniPageList CUiSequenceChoice::ChooseSequence() const {
  if (m_facts.uiLevel >= 2) {
    return m_facts.maintenance ? BuildDefaultUninstallBasicSequence() : BuildDefaultInstallBasicSequence();
  }
  if (m_facts.setupType == SetupTypeCleanSystem) return BuildDefaultVerifySequence();
  const wchar_t* path = m_facts.configurationPath.c_str();
  try {
    return ReadConfiguredSequence();
  } catch (const CError& error) {
    WriteLog(L"Exception while loading dcf file: %s error %i: %s", path, error.GetErrorCode(),
             error.GetMessage().c_str());
  } catch (CKwIniFileException* raw) {
    std::unique_ptr<CKwIniFileException> error(raw);
    WriteLog(L"Exception while loading dcf file: %s error %i: %s", path, error->GetCode(),
             error->GetMessageText().c_str());
  }
  return BuildDefaultSequence();
}

CIniPageList CUiSequenceChoice::Choose(CMapStringToString* properties) const {
  CIniPageList chosen;
  std::set<std::wstring> added;
  for (CIniPage page : ChooseSequence()) {
    const wchar_t* name = PageKindName(PageKindFromName(page.GetName()));
    if (!name) continue;  // a name of no page: ignored, as the sheet has no page for it
    if (!added.insert(name).second) {
      WriteLog(L"Page '%s' is in the UI sequence twice; it is shown once", name);
      continue;
    }
    std::wstring kind = name;
    if (kind == L"ProductInformation" &&
        !(m_facts.productInformationHasContent && m_facts.productInformationHasContent())) {
      continue;
    }
    if (kind == L"Eula" && m_facts.eulaAccepted) continue;
    if (kind == L"GoogleToolbar" || kind == L"GoogleChrome") {
      bool toolbar = kind == L"GoogleToolbar";
      if (!(toolbar ? m_facts.toolbarOffer : m_facts.browserOffer)) continue;
      if (properties) (*properties)[toolbar ? kToolbarPresentProperty : kChromePresentProperty] = L"true";
    }
    page.SetName(name);
    chosen.push_back(page);
  }
  return chosen;
}
