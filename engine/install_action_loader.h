#pragma once
// install_action_loader.h: CInstallActionLoader, the products' install
// actions of the configuration, or, for the removal of an install group,
// its products' uninstall actions; each with its command line prepared.
#include <string>
#include <vector>

#include "actions/setup_action_list.h"

class CActionListSources;
class CInstallAction;
class CInstallGroupInfo;
class CProductData;

class CInstallActionLoader {
 public:
  explicit CInstallActionLoader(const CActionListSources& sources) : m_sources(sources) {}

  // Into "INSTALL_ACTIONS" in ascending sequence. False after its log line
  // for a command line naming no program; what was loaded stays.
  bool LoadInstallActions(const std::vector<std::wstring>& items, CActionListMap* lists);
  // The group the uninstall switch names: its installed products' uninstall
  // actions, newest first, then those of the products the configuration no
  // longer names. Products outside it leave the product map.
  bool LoadUninstallGroupActions(const std::vector<std::wstring>& items, CActionListMap* lists);

  // The command line `text` of `product` made ready to run; `runsPackage`
  // tells whether it runs the product's own package. False when a program
  // line has no program.
  bool PrepareCommandLine(const std::wstring& product, const CProductData& data, bool uninstall,
                          std::wstring* text, bool* runsPackage) const;

 private:
  // Sequence, command line (prepared), options, condition, NoUninstall and
  // NoRepair of the item's section; null when the line is badly formed.
  std::unique_ptr<CInstallAction> BuildAction(const std::wstring& item, const CProductData& data,
                                              bool uninstall, std::wstring* productCode);
  std::unique_ptr<CInstallAction> BuildDroppedProductAction(const CProductData& data) const;
  bool RunsOwnPackage(const std::wstring& item, const CProductData& data) const;
  bool UnknownMembersAbsent(const CInstallGroupInfo& group, const std::vector<std::wstring>& items) const;
  void AppendCommandOptions(bool uninstall, std::wstring* text) const;
  void ReplaceLanguageTokens(const CProductData& data, std::wstring* text) const;
  bool MakeProgramLine(const std::wstring& product, std::wstring* text) const;
  void ReportBadCommandLine(const std::wstring& item, const std::wstring& section, const std::wstring& line) const;

  const CActionListSources& m_sources;
};
