// shutdown_list_loader.cpp: the configured applications and services to
// shut down, as shutdown actions.
#include "engine/shutdown_list_loader.h"

#include <cwchar>
#include <memory>

#include "actions/shutdown_action.h"
#include "engine/action_list_sources.h"
#include "engine/dcf_values.h"
#include "engine/product_list.h"
#include "foundation/dcf_names.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kShutdownActionsList[] = L"SHUTDOWN_ACTIONS";
const wchar_t kSuiteOwner[] = L"*";
const wchar_t kPreviousVersionsMark[] = L"PreviousVersions.";
const int kShutdownSequenceBase = 3000;

DWORD Number(const std::wstring& text) { return static_cast<DWORD>(wcstoul(text.c_str(), nullptr, 10)); }

}  // namespace

// The suite, then the products, without those a removal record names (an
// earlier version's record leaves its product in).
std::vector<std::wstring> CShutdownListLoader::Owners(const std::vector<std::wstring>& removalSections) const {
  std::vector<std::wstring> candidates = {kSuiteOwner};
  candidates.insert(candidates.end(), m_sources.ProductList().Keys().begin(),
                    m_sources.ProductList().Keys().end());
  std::vector<std::wstring> owners;
  for (const std::wstring& candidate : candidates) {
    bool dropped = false;
    std::wstring product;
    for (const std::wstring& section : removalSections) {
      if (section.find(kPreviousVersionsMark) != std::wstring::npos) continue;
      size_t dot = section.find(L'.');
      std::wstring rest = dot == std::wstring::npos ? std::wstring() : section.substr(dot + 1);
      // A record without a second dot leaves the product of the one before.
      if (rest.find(L'.') != std::wstring::npos) product = rest.substr(0, rest.find(L'.'));
      if (product == candidate) {
        dropped = true;
        break;
      }
    }
    if (!dropped) owners.push_back(candidate);
  }
  return owners;
}

void CShutdownListLoader::LoadShutdownApplications(const std::vector<std::wstring>& removalSections,
                                                   CActionListMap* lists) {
  std::vector<std::wstring> items;
  for (const std::wstring& owner : Owners(removalSections)) {
    ReadValueList(m_sources.Configuration(), Format(kSetupSectionFormat, owner.c_str()),
                  kShutdownApplicationsKey, &items, owner);
  }
  int sequence = kShutdownSequenceBase;
  for (const std::wstring& item : items) {
    LoadItem(item, &sequence, CSetupActionList::GetOrCreate(lists, kShutdownActionsList));
  }
}

void CShutdownListLoader::LoadItem(const std::wstring& item, int* sequence, CSetupActionList* list) {
  std::wstring section = Format(kShutdownApplicationSectionFormat, item.c_str());
  std::wstring serviceName = m_sources.Value(section, kServiceNameKey);
  std::wstring className = m_sources.Value(section, kClassNameKey);
  std::wstring windowTitle = m_sources.Value(section, kWindowTitleKey);
  DWORD waitTime = Number(m_sources.Value(section, kWaitTimeKey, L"0"));
  std::unique_ptr<CShutdownAction> action;
  if (!serviceName.empty()) {
    action.reset(new CShutdownAction(*sequence, nullptr, serviceName, waitTime));
  } else if (!className.empty() || !windowTitle.empty()) {
    action.reset(new CShutdownAction(*sequence, nullptr, className, windowTitle,
                                     m_sources.Value(section, kFriendlyNameKey), waitTime,
                                     Number(m_sources.Value(section, kMessageIdKey, L"0")),
                                     Number(m_sources.Value(section, kWordParamKey, L"0")),
                                     Number(m_sources.Value(section, kLongParamKey, L"0"))));
  } else {
    WriteLog(L"The ShutdownApplications action '%s' in the DCF is not properly formed and needs to be corrected.",
             item.c_str());
    return;
  }
  ++*sequence;
  action->SetActionName(section);
  // No level prompts here: below 7 and with several products by the rule of
  // the run, and at /qn+ and /qn because nobody is there to answer a box
  // that would hold the installation.
  action->SetSilent(true);
  action->SetRequired(m_sources.Flag(section, kRequiredKey, L"1"));
  action->SetKeyName(CActionListSources::ProductKeyOf(item));
  list->Append(std::move(action));
}
