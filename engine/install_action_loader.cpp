// install_action_loader.cpp: the install and group-uninstall actions of the
// configuration, and the preparation of their command lines.
#include "engine/install_action_loader.h"

#include <algorithm>
#include <cwchar>
#include <memory>

#include "actions/command_options.h"
#include "actions/install_action.h"
#include "actions/msi_product_state.h"
#include "engine/action_list_sources.h"
#include "engine/install_group_info.h"
#include "engine/install_group_info_map.h"
#include "engine/product_data.h"
#include "engine/product_data_map.h"
#include "foundation/dcf_names.h"
#include "foundation/kw_ini_file.h"
#include "foundation/setup_language.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kInstallActionsList[] = L"INSTALL_ACTIONS";
const wchar_t kRemoveGroup[] = L"remove";
const wchar_t kInstallerMacro[] = L"{msiexec}";
const wchar_t kSetupParamsMacro[] = L"{setupparams}";
const wchar_t kPackageNameMacro[] = L"{PackageName}";
const wchar_t kTransformMacro[] = L"{Transform}";
const wchar_t kTransformsProperty[] = L"TRANSFORMS={Transform}";
const wchar_t kProductDirMacro[] = L"{ProductDir}";
const wchar_t kLangMacro[] = L"{lang}";
const wchar_t kLangIdMacro[] = L"{LangID}";
const wchar_t kDefaultCommandLine[] = L"{msiexec} {setupparams} /I {PackageName}";
const wchar_t kDefaultTransforms[] = L" TRANSFORMS={Transform}";
const wchar_t kGroupedProductParams[] = L"/qn REBOOT=Suppress";
const wchar_t kHiddenFromArp[] = L"%s ARPSYSTEMCOMPONENT=1";
const wchar_t kDroppedProductActionFormat[] = L"DroppedProducts.%s";
const int kInstallSequenceBase = 4000;

bool Contains(const std::wstring& text, const wchar_t* what) { return text.find(what) != std::wstring::npos; }

void MakeUninstall(CInstallAction* action) {
  action->SetCommandLine(action->GetUninstallCommandLine());
  action->SetRepair(false);
  action->SetUninstall(true);
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

bool CInstallActionLoader::PrepareCommandLine(const std::wstring& product, const CProductData& data,
                                              bool uninstall, std::wstring* text,
                                              bool* runsPackage) const {
  std::wstring line = *text;
  *runsPackage = false;
  if (line == data.GetPackageName()) {
    line = kDefaultCommandLine;
    if (!data.GetTransforms().empty()) line += kDefaultTransforms;
    WriteLog(L"WARNING: An invalid CommandLine parameter was found for '%s', Setup will generate a default CommandLine.",
             product.c_str());
  }
  if (Contains(line, kTransformMacro)) {
    if (data.GetTransforms().empty()) {
      WriteLog(L"No transform specified for product %s", product.c_str());
      line = ReplaceAll(line, kTransformsProperty, L"");
    } else {
      line = ReplaceAll(line, kTransformMacro, Quoted(data.GetTransforms()));
    }
  }
  if (Contains(line, kPackageNameMacro)) {
    if (!data.GetPackagePath().empty()) line = ReplaceAll(line, kPackageNameMacro, Quoted(data.GetPackagePath()));
    *runsPackage = true;
  }
  if (!m_sources.Flag(Format(kSetupSectionFormat, product.c_str()), kMasterExemptKey) &&
      m_sources.HasMasters() && !m_sources.IsMaster(product) && Contains(line, kSetupParamsMacro)) {
    std::wstring params = kGroupedProductParams;
    AppendCommandOptions(uninstall, &params);
    line = ReplaceAll(line, kSetupParamsMacro, params);
  }
  ReplaceLanguageTokens(data, &line);
  if (Contains(line, kProductDirMacro)) line = ReplaceAll(line, kProductDirMacro, m_sources.ProductFolder(product));
  if (!Contains(line, kInstallerMacro) && !MakeProgramLine(product, &line)) return false;
  *text = line;
  return true;
}

void CInstallActionLoader::AppendCommandOptions(bool uninstall, std::wstring* text) const {
  const CCommandOptions& options = m_sources.Options();
  if (uninstall) options.AppendLogSwitch(text);
  options.AppendMifFile(text);
  options.AppendPassThroughSwitches(text);
  options.AppendProperties(text);
}

// A language without a code keeps its token, so the line shows what is missing.
void CInstallActionLoader::ReplaceLanguageTokens(const CProductData& data, std::wstring* text) const {
  std::wstring code;
  if (Contains(*text, kLangMacro) && GetLanguageCode(data.GetProductLanguage(), &code)) {
    *text = ReplaceAll(*text, kLangMacro, code);
  }
  if (Contains(*text, kLangIdMacro)) {
    *text = ReplaceAll(*text, kLangIdMacro, Format(L"%u", static_cast<unsigned>(data.GetProductLanguage())));
  }
}

// "<program> <arguments>": a program named by an absolute path, also one a
// macro gives, runs as it is; any other is below the install source. The
// macros are expanded again when the run starts.
bool CInstallActionLoader::MakeProgramLine(const std::wstring& product, std::wstring* text) const {
  std::wstring rest = *text;
  std::wstring program;
  if (!ExtractToken(&rest, &program, L" ", true) || program.empty()) return false;
  std::wstring expanded = m_sources.expandMacros ? m_sources.expandMacros(program) : program;
  if (IsAbsolutePath(expanded)) {
    *text = Quoted(program) + L" " + TrimLeft(rest);
    return true;
  }
  if (m_sources.HasOwnFolder(product)) program = product + L"\\" + program;
  std::wstring source = m_sources.Options().GetInstallSource();
  if (!source.empty()) source = CActionListSources::WithBackslash(source);
  *text = Quoted(source + program) + L" " + TrimLeft(rest);
  return true;
}

// A misspelt action name reads as an empty line: the names tell which
// section the configuration lacks.
void CInstallActionLoader::ReportBadCommandLine(const std::wstring& item, const std::wstring& section,
                                                const std::wstring& line) const {
  std::wstring product = CActionListSources::ProductKeyOf(item);
  std::wstring action = item.size() > product.size() ? item.substr(product.size() + 1) : std::wstring();
  CKwIniSection* found = nullptr;
  const wchar_t* why = m_sources.Configuration().FindSection(section, &found)
                           ? L"its CommandLine names no program"
                           : L"the configuration has no such section";
  WriteLog(L"Badly formatted install action command line: '%s' of install action %s of product %s in [%s]: %s",
           line.c_str(), action.c_str(), product.c_str(), section.c_str(), why);
}

std::unique_ptr<CInstallAction> CInstallActionLoader::BuildAction(const std::wstring& item,
                                                                  const CProductData& data,
                                                                  bool uninstall,
                                                                  std::wstring* productCode) {
  std::wstring product = CActionListSources::ProductKeyOf(item);
  std::wstring section = Format(kInstallActionSectionFormat, item.c_str());
  int sequence = static_cast<int>(wcstol(m_sources.Value(section, kSequenceKey).c_str(), nullptr, 10)) +
                 kInstallSequenceBase;
  std::wstring line = m_sources.Value(section, kCommandLineKey);
  bool runsPackage = false;
  if (!PrepareCommandLine(product, data, uninstall, &line, &runsPackage)) {
    ReportBadCommandLine(item, section, line);
    return nullptr;
  }
  bool installerLine = Contains(line, kInstallerMacro);
  if (!uninstall && installerLine && data.GetInstallGroup() && !m_sources.Flag(section, kShowArpKey)) {
    line = Format(kHiddenFromArp, line.c_str());
  }
  *productCode = runsPackage ? data.GetProductCode() : std::wstring();
  if (uninstall && !runsPackage) *productCode = m_sources.Value(section, kProductCodeKey);

  // The action manager links the properties as its run starts: they change
  // in the wizard after the lists are loaded.
  std::unique_ptr<CInstallAction> action(new CInstallAction(
      sequence, product, section, line, m_sources.Value(section, kExecuteOptionsKey),
      m_sources.Value(section, kReturnProcessingKey), nullptr,
      m_sources.Value(section, kConditionKey), m_sources.parser));
  action->SetProductName(m_sources.ProductName(product));
  action->SetProductCode(*productCode);
  action->SetRunsProductPackage(runsPackage);
  action->SetRefCounter(m_sources.refCounter);
  action->SetNoUninstall(m_sources.Flag(section, kNoUninstallKey, L""));
  action->SetNoRepair(m_sources.Flag(section, kNoRepairKey, L""));
  if (!uninstall) {
    // The user may cancel a package the installer runs in this process,
    // except at /qb!, which offers no cancel; a program cannot be stopped.
    action->SetCancelAllowed(installerLine && m_sources.UiLevel() != CCommandOptions::kUILevelBasicNoCancel);
    action->SetOverrideInstallDir(m_sources.Value(section, kOverrideInstallDirKey));
  }
  return action;
}

bool CInstallActionLoader::LoadInstallActions(const std::vector<std::wstring>& items,
                                              CActionListMap* lists) {
  CSetupActionList* list = CSetupActionList::GetOrCreate(lists, kInstallActionsList);
  for (const std::wstring& item : items) {
    const CProductData* data = m_sources.Products().Lookup(CActionListSources::ProductKeyOf(item));
    if (!data) continue;
    std::wstring productCode;
    std::unique_ptr<CInstallAction> action = BuildAction(item, *data, false, &productCode);
    if (!action) return false;
    list->InsertAscending(std::move(action));
  }
  return true;
}

bool CInstallActionLoader::RunsOwnPackage(const std::wstring& item, const CProductData& data) const {
  std::wstring line = m_sources.Value(Format(kInstallActionSectionFormat, item.c_str()), kCommandLineKey);
  return line == data.GetPackageName() || Contains(line, kPackageNameMacro);
}

// A member whose product code is unknown counts as not installed only when
// every installed product that lists the suite is a member whose code is
// known. Otherwise the unknown one may be installed, and removing or
// repairing the others would leave it behind, with nothing to remove it.
bool CInstallActionLoader::UnknownMembersAbsent(const CInstallGroupInfo& group,
                                                const std::vector<std::wstring>& items) const {
  std::vector<std::wstring> unknown;
  std::vector<std::wstring> codes;
  for (const std::wstring& item : items) {
    std::wstring product = CActionListSources::ProductKeyOf(item);
    const CProductData* data = m_sources.Products().Lookup(product);
    if (!data || !group.HasMember(product)) continue;
    if (!data->GetProductCode().empty()) {
      codes.push_back(data->GetProductCode());
    } else if (RunsOwnPackage(item, *data)) {
      unknown.push_back(product);
    }
  }
  if (unknown.empty()) return true;
  CInstallGroupInfo counted;
  counted.SetUuid(group.GetUuid());
  bool read = counted.FindInstalledMembers();
  for (const std::wstring& key : counted.GetMembers()) {
    bool known = std::any_of(codes.begin(), codes.end(),
                             [&key](const std::wstring& code) { return EqualsNoCase(code, key); });
    if (known) continue;
    WriteLog(L"The product code of %s is not known, and %s, which lists suite %s, is still installed; setup cannot tell which product it is",
             unknown.front().c_str(), key.c_str(), group.GetUuid().c_str());
    return false;
  }
  if (!read) {
    WriteLog(L"The product code of %s is not known, and the products that list suite %s could not all be read",
             unknown.front().c_str(), group.GetUuid().c_str());
    return false;
  }
  return true;
}

bool CInstallActionLoader::LoadUninstallGroupActions(const std::vector<std::wstring>& items,
                                                     CActionListMap* lists) {
  CSetupActionList* list = CSetupActionList::GetOrCreate(lists, kInstallActionsList);
  const std::wstring& groupId = m_sources.Options().GetPackage();
  if (groupId.empty()) {
    WriteLog(L"InstallGroup id not specified on uninstall command line");
    return false;
  }
  const CInstallGroupInfo* group = nullptr;
  for (const auto& entry : m_sources.Groups()) {
    if (!EqualsNoCase(entry.first, kRemoveGroup) && EqualsNoCase(entry.second->GetUuid(), groupId)) {
      group = entry.second.get();
      break;
    }
  }
  if (!group) {
    WriteLog(L"Install Group ID from command line not found in setup.dcf");
    return false;
  }
  bool repair = m_sources.Options().GetMode() == CCommandOptions::kModeRepair;
  // An uninstall removes a product it knows by no configured code by the
  // code its Uninstall key carries; a repair has nothing to repair it with.
  if (repair && !UnknownMembersAbsent(*group, items)) return false;
  for (const std::wstring& item : items) {
    std::wstring product = CActionListSources::ProductKeyOf(item);
    CProductData* data = m_sources.Products().Lookup(product);
    if (!data) {
      WriteLog(L"Failed getting ProductData structure for %s", product.c_str());
      continue;
    }
    bool restored = repair && std::find(m_sources.restoredProducts.begin(), m_sources.restoredProducts.end(),
                                        product) != m_sources.restoredProducts.end();
    if (!group->HasMember(product) || (!restored && !IsProductInstalled(data->GetProductCode()))) {
      // A product whose package is a program has no product code: nothing
      // tells whether it is there, and nothing repairs or removes it.
      if (data->GetProductCode().empty() && !data->GetPackageName().empty() &&
          !EndsWith(ToLower(data->GetPackageName()), L".msi")) {
        WriteLog(L"   Product %s has no product code (its package is a program): the %s passes it over",
                 product.c_str(), repair ? L"repair" : L"removal");
      }
      m_sources.Products().RemoveKey(product);
      continue;
    }
    std::wstring productCode;
    if (restored) {
      // Its package goes back in; its other actions belong to its install.
      if (!RunsOwnPackage(item, *data)) continue;
      std::unique_ptr<CInstallAction> action = BuildAction(item, *data, false, &productCode);
      if (!action) return false;
      action->SetRestoresProduct(true);
      list->InsertAscending(std::move(action));
      continue;
    }
    std::unique_ptr<CInstallAction> action = BuildAction(item, *data, true, &productCode);
    if (!action) return false;
    MakeUninstall(action.get());
    // Products go in the reverse of their install order; a repair, which
    // turns these actions round later, keeps the install order, since a
    // later package may need an earlier one in working order.
    if (repair) {
      list->InsertAscending(std::move(action));
    } else {
      list->InsertDescending(std::move(action));
    }
  }
  for (const std::wstring& product : m_sources.droppedProducts) {
    const CProductData* data = m_sources.Products().Lookup(product);
    if (data) list->Append(BuildDroppedProductAction(*data));
  }
  return true;
}

// A product the configuration no longer names has no install action to turn
// round: the installer removes it by its product code, as it removes the
// named ones, and its references are kept the same way.
std::unique_ptr<CInstallAction> CInstallActionLoader::BuildDroppedProductAction(const CProductData& data) const {
  std::unique_ptr<CInstallAction> action(new CInstallAction(
      kInstallSequenceBase, data.GetName(), Format(kDroppedProductActionFormat, data.GetName().c_str()),
      kInstallerMacro, std::wstring(), std::wstring(), nullptr, std::wstring(), m_sources.parser));
  action->SetProductName(m_sources.ProductName(data.GetName()));
  action->SetProductCode(data.GetProductCode());
  action->SetRunsProductPackage(true);
  action->SetRefCounter(m_sources.refCounter);
  MakeUninstall(action.get());
  return action;
}
