// customize_dlg.cpp: the Customize page: filling the tree from the product
// model, the guarded check changes and the texts around the tree.
#include "wizard/customize_dlg.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "actions/msi_product_state.h"
#include "actions/ref_counter.h"
#include "engine/install_group_info.h"
#include "engine/product_relation.h"
#include "engine/setup_state.h"
#include "foundation/error.h"
#include "foundation/file_utils.h"
#include "foundation/internet.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "foundation/xml_document.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"
#include "wizard/cancel_dlg.h"
#include "wizard/message_box.h"
#include "wizard/setup_sheet.h"
#include "wizard/wiz_page_rules.h"
#include "wizard/wizard_text.h"

namespace {

const wchar_t kDescriptionFile[] = L"{SetupDir}\\%s\\ProductInformation\\ProductInformation{SETUPLANG}.xml";
const wchar_t kDescriptionNode[] = L"//CustomizeDlg/ItemDescription";
const wchar_t kSetupLanguageProperty[] = L"SETUPLANG";
const wchar_t kTestConnectionUrlProperty[] = L"TestConnectionURL";
const wchar_t kDefaultTestConnectionUrl[] = L"http://www.microsoft.com";
const UINT kLinkBoxType = 0x10015;

void ShellOpen(const std::wstring& address) {
  ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

CCustomizeDlg::ShellOpener g_shellOpener = ShellOpen;

// Chinese, Japanese and Korean need taller items.
bool IsCjkLanguage(WORD language) {
  WORD primary = PRIMARYLANGID(language);
  return primary == LANG_CHINESE || primary == LANG_JAPANESE || primary == LANG_KOREAN;
}

}  // namespace

CCustomizeDlg::CCustomizeDlg() : CWizPropPage(IDD_WIZ_CUSTOMIZE) {}

void CCustomizeDlg::SetShellOpener(ShellOpener opener) { g_shellOpener = opener ? opener : ShellOpen; }

bool CCustomizeDlg::IsMaintenance() const {
  CSetupState* state = GetState();
  return state && state->m_maintenanceMode;
}

// The suite run again over itself finds its own products installed: they
// are not another suite's.
bool CCustomizeDlg::IsInstalledByAnotherSuite(const CProductData& product) const {
  if (!product.IsSamePackageInstalled()) return false;
  const CInstallGroupInfo* group = product.GetInstallGroup();
  if (!group || group->GetUuid().empty()) return true;
  try {
    return !CRefCounter().IsUsedBy(group->GetUuid(), product.GetProductCode());
  } catch (const CError& error) {
    // Unknown users: the product is left to whoever installed it.
    WriteLog(L"Unable to read the suites using product '%s': %s", product.GetName().c_str(),
             error.GetMessage().c_str());
    return true;
  }
}

BOOL CCustomizeDlg::OnInitDialog() {
  CWizPropPage::OnInitDialog();
  ReplaceTokensInControl(IDC_CUSTOMIZE_TITLE);
  if (HWND title = GetDlgItem(IDC_CUSTOMIZE_TITLE)) {
    if (m_titleFont) SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(m_titleFont), FALSE);
  }
  for (int id : {IDC_CUSTOMIZE_SUBTITLE, IDC_CUSTOMIZE_HINT, IDC_CUSTOMIZE_DESCRIPTION, IDC_CUSTOMIZE_SIZE,
                 IDC_CUSTOMIZE_AVAILABLE, IDC_CUSTOMIZE_REQUIRED}) {
    ReplaceTokensInControl(id);
    HWND control = GetDlgItem(id);
    if (m_textFont && control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_textFont), FALSE);
  }
  m_tree.Attach(GetDlgItem(IDC_CUSTOMIZE_TREE));
  m_tree.SetCheckChanging([this](HTREEITEM item, bool checked) { return OnCheckChanging(item, checked); });
  m_tree.SetCheckChanged([this](HTREEITEM) { AfterChange(); });
  CSetupState* state = GetState();
  if (state && IsCjkLanguage(state->m_languageId)) m_tree.SetItemHeight(m_tree.GetItemHeight() + 2);
  // Filling sets selections in a maintenance run: a page the sequence
  // passes over (created all the same) must leave them as they are.
  if (!IsPageSkipped()) FillTree();
  m_tree.SelectItem(m_tree.GetRootItem());
  UpdateItemTexts();
  UpdateRequiredSpaceText();
  return TRUE;
}

bool CCustomizeDlg::OnSetActive() {
  UpdateAvailableSpaceText();
  if (!CWizPropPage::OnSetActive()) return false;
  FillTree();
  PostButtons();
  m_tree.SelectItem(m_tree.GetRootItem());
  UpdateItemTexts();
  UpdateRequiredSpaceText();
  return true;
}

LRESULT CCustomizeDlg::OnWizardNext() {
  if (IsMaintenance() && m_checkedCount < 1) {
    // Nothing kept: a removal of everything.
    if (CSetupState* state = GetState()) {
      for (const auto& entry : state->m_products) {
        if (entry.second->GetSelection()) entry.second->GetSelection()->SetCurrent(false, true);
        if (entry.second->GetFeatures()) entry.second->GetFeatures()->Clear();
      }
    }
  }
  return CWizPropPage::OnWizardNext();
}

HTREEITEM CCustomizeDlg::AddItem(const std::wstring& text, HTREEITEM parent, CItem item, bool checked, bool bold) {
  m_items.push_back(item);
  return m_tree.InsertItem(text, parent, static_cast<LPARAM>(m_items.size() - 1), checked, bold);
}

const CCustomizeDlg::CItem* CCustomizeDlg::ItemOf(HTREEITEM item) const {
  if (!item) return nullptr;
  LPARAM index = m_tree.GetItemData(item);
  if (index < 0 || static_cast<size_t>(index) >= m_items.size()) return nullptr;
  return &m_items[index];
}

CProductData* CCustomizeDlg::ProductOf(const CItem& item) const {
  CSetupState* state = GetState();
  return state ? state->m_products.Lookup(item.productKey) : nullptr;
}

std::wstring CCustomizeDlg::DisplayName(const CProductData& product) const {
  return product.GetProductName().empty() ? product.GetName() : product.GetProductName();
}

void CCustomizeDlg::FillTree() {
  m_tree.DeleteAllItems();
  m_items.clear();
  m_checkedCount = 0;
  CSetupState* state = GetState();
  if (!state) return;
  bool maintenance = IsMaintenance();
  for (const auto& entry : state->m_products) {
    CProductData& product = *entry.second;
    CSelectionState* selection = product.GetSelection();
    if (!selection) continue;
    bool installed = IsProductInstalled(product.GetProductCode());
    if (maintenance) selection->SetCurrent(installed, true);
    if (selection->IsHidden() || (maintenance && !installed)) continue;
    bool selected = selection->IsCurrent();
    HTREEITEM item = AddItem(DisplayName(product), nullptr, {CItem::kProduct, entry.first, nullptr},
                             selected || installed, true);
    if (!item) continue;
    if (!maintenance) {
      CSelectionState* desktop = product.GetDesktopIconState();
      if (desktop && !desktop->IsHidden()) {
        AddItem(PageString(IDS_CUSTOMIZE_DESKTOP_ICON), item, {CItem::kDesktopIcon, entry.first, nullptr},
                desktop->IsCurrent(), false);
      }
      CSelectionState* quickLaunch = product.GetQuickLaunchIconState();
      if (quickLaunch && !quickLaunch->IsHidden()) {
        AddItem(PageString(IDS_CUSTOMIZE_QUICK_LAUNCH_ICON), item, {CItem::kQuickLaunchIcon, entry.first, nullptr},
                quickLaunch->IsCurrent(), false);
      }
    }
    if (product.GetFeatures()) {
      AddFeatureItems(*product.GetFeatures(), item, DisplayName(product), entry.first,
                      product.IsSamePackageInstalled());
    }
    m_tree.Expand(item, selected);
  }
  CountChecked();
}

void CCustomizeDlg::AddFeatureItems(CFeatureList& features, HTREEITEM parent, const std::wstring& parentText,
                                    const std::wstring& productKey, bool productInstalled) {
  bool maintenance = IsMaintenance();
  for (size_t i = 0; i < features.GetCount(); ++i) {
    CFeatureData& feature = features[i];
    CSelectionState& selection = feature.GetSelection();
    if (maintenance || productInstalled) selection.SetCurrent(feature.IsInstalled(), true);
    if (feature.GetDisplayOrder() < 1 || (maintenance && !feature.IsInstalled())) continue;
    bool selected = selection.IsCurrent();
    WriteLog(L"Adding tree item for feature '%s' under item '%s'; initial selection = %d",
             feature.GetDisplayName().c_str(), parentText.c_str(), selected ? 1 : 0);
    // Below an unselected feature nothing is installed, whatever its own choice.
    bool checked = feature.IsSelected() || feature.IsInstalled();
    HTREEITEM item = AddItem(feature.GetDisplayName(), parent, {CItem::kFeature, productKey, &feature}, checked,
                             false);
    if (!item) {
      WriteLog(L"Failed adding tree item for feature '%s'", feature.GetDisplayName().c_str());
      continue;
    }
    if (feature.HasChildren()) {
      AddFeatureItems(feature.GetChildren(), item, feature.GetDisplayName(), productKey, productInstalled);
      m_tree.Expand(item, checked);
    }
  }
}

// Next needs at least one product kept or installed. An install counts the
// checked products not installed by another suite (this suite's own, run
// again, count); a maintenance run counts what stays installed.
void CCustomizeDlg::CountChecked() {
  m_checkedCount = 0;
  for (HTREEITEM item = m_tree.GetRootItem(); item; item = m_tree.GetNextSiblingItem(item)) {
    const CItem* entry = ItemOf(item);
    CProductData* product = entry ? ProductOf(*entry) : nullptr;
    if (!product || !m_tree.GetCheck(item)) continue;
    if (!IsMaintenance() && IsInstalledByAnotherSuite(*product)) continue;
    ++m_checkedCount;
  }
}

void CCustomizeDlg::PostButtons() {
  CSetupSheet* sheet = GetSetupSheet();
  if (!sheet) return;
  DWORD flags = GetButtonFlags();
  if (m_checkedCount < 1) flags &= ~static_cast<DWORD>(kWizButtonNext);
  CWizardSheet::PostWizButtons(sheet->GetSafeHwnd(), flags);
}

bool CCustomizeDlg::OnCheckChanging(HTREEITEM item, bool checked) {
  const CItem* found = ItemOf(item);
  if (!found) return false;
  CItem entry = *found;
  CProductData* product = ProductOf(entry);
  if (!product) return false;
  bool accepted = true;
  switch (entry.kind) {
    case CItem::kDesktopIcon:
      product->GetDesktopIconState()->SetCurrent(checked, false);
      WriteLog(L"Setting '%s' desktop icon to %d", product->GetName().c_str(), checked ? 1 : 0);
      break;
    case CItem::kQuickLaunchIcon:
      product->GetQuickLaunchIconState()->SetCurrent(checked, false);
      WriteLog(L"Setting '%s' quick launch icon to %d", product->GetName().c_str(), checked ? 1 : 0);
      break;
    case CItem::kProduct:
      accepted = ChangeProduct(item, entry, checked);
      break;
    case CItem::kFeature:
      accepted = ChangeFeature(item, entry, checked);
      break;
  }
  return accepted;
}

bool CCustomizeDlg::ChangeProduct(HTREEITEM item, const CItem& entry, bool checked) {
  CProductData& product = *ProductOf(entry);
  CSelectionState& selection = *product.GetSelection();
  const wchar_t* name = product.GetName().c_str();
  bool maintenance = IsMaintenance();
  // An installed product stays as it is in an install, whichever suite put
  // it there: the run only counts this suite as one more user.
  if (!maintenance && product.IsSamePackageInstalled()) {
    ShowInstalledMessage(product);
    WriteLog(L"Preventing check change for '%s' because product is already installed", name);
    return false;
  }
  if (!maintenance && selection.IsLocked()) {
    ShowSystemMessage(PageString(IDS_CUSTOMIZE_MANDATORY));
    WriteLog(L"Preventing check change for '%s' because it's mandatory.", name);
    return false;
  }
  if (maintenance && !checked && selection.IsLocked()) return RemoveEverything();
  if (!TestDependencies(item, checked, true)) {
    WriteLog(L"Preventing check change for '%s' because its dependencies aren't satisfied.", name);
    return false;
  }
  m_tree.Expand(item, checked);
  selection.SetCurrent(checked, false);
  WriteLog(L"Selection of product '%s' set to %d", name, checked ? 1 : 0);
  return true;
}

// A mandatory product leaves a maintenance run only with everything else.
bool CCustomizeDlg::RemoveEverything() {
  CCancelDlg question(GetSafeHwnd());
  question.SetProductName(GetState()->GetProductName());
  question.SetMessage(PageString(IDS_CUSTOMIZE_REMOVE_ALL));
  question.SetNoByDefault();
  if (question.DoModal() != CCancelDlg::kYes) return false;
  for (const auto& entry : GetState()->m_products) {
    if (entry.second->GetSelection()) entry.second->GetSelection()->SetCurrent(false, true);
  }
  for (HTREEITEM root = m_tree.GetRootItem(); root; root = m_tree.GetNextSiblingItem(root)) {
    m_tree.SetCheck(root, false);
  }
  if (CSetupSheet* sheet = GetSetupSheet()) {
    CWizardSheet::PressButtonFromOtherThread(sheet->GetSafeHwnd(), CWizardSheet::kNext);
  }
  return true;
}

bool CCustomizeDlg::ChangeFeature(HTREEITEM item, const CItem& entry, bool checked) {
  CProductData& product = *ProductOf(entry);
  CFeatureData& feature = *entry.feature;
  const wchar_t* name = feature.GetDisplayName().c_str();
  if (product.IsSamePackageInstalled()) {
    if (!IsMaintenance()) ShowInstalledMessage(product);
    WriteLog(L"Preventing check change for feature '%s': its product is installed, and a re-run does not change "
             L"an installed product's features",
             name);
    return false;
  }
  if (feature.GetSelection().IsLocked()) {
    WriteLog(L"Preventing check change for feature '%s' because it's mandatory", name);
    return false;
  }
  // Its mark would promise what the run does not do.
  if (checked && feature.GetParent() && !feature.GetParent()->IsSelected()) {
    WriteLog(L"Preventing check change for feature '%s' because the feature above it is not selected", name);
    return false;
  }
  if (!TestDependencies(item, checked, true)) {
    WriteLog(L"Preventing check change for feature '%s' because its dependencies aren't satisfied", name);
    return false;
  }
  feature.GetSelection().SetCurrent(checked, false);
  DrawFeatureMarks(item, checked);
  m_tree.Expand(item, checked);
  WriteLog(L"Selection of feature '%s' set to %d", name, checked ? 1 : 0);
  return true;
}

// The features below go with their parent: each is drawn as the run will
// leave it, its own choice kept for when the parent is checked again.
void CCustomizeDlg::DrawFeatureMarks(HTREEITEM parent, bool parentChecked) {
  for (HTREEITEM child = m_tree.GetChildItem(parent); child; child = m_tree.GetNextSiblingItem(child)) {
    const CItem* entry = ItemOf(child);
    if (!entry || entry->kind != CItem::kFeature || !entry->feature) continue;
    bool checked = parentChecked && entry->feature->GetSelection().IsCurrent();
    m_tree.SetCheck(child, checked);
    DrawFeatureMarks(child, checked);
  }
}

bool CCustomizeDlg::TestDependencies(HTREEITEM item, bool checked, bool showMessage) {
  if (!item) {
    WriteLog(L"Tree item passed to TestDependencies is NULL");
    return false;
  }
  CSetupState* state = GetState();
  if (!state) {
    WriteLog(L"Product data map in TestDependencies is NULL");
    return false;
  }
  const CItem* entry = ItemOf(item);
  CProductData* product = entry ? ProductOf(*entry) : nullptr;
  if (!product) {
    WriteLog(L"No item found for selected product in TestDependencies");
    return false;
  }
  if (entry->kind == CItem::kFeature && !entry->feature) {
    WriteLog(L"No item found for selected feature in TestDependencies");
    return false;
  }
  CSelectionState& selection =
      entry->kind == CItem::kFeature ? entry->feature->GetSelection() : *product->GetSelection();
  if (entry->kind != CItem::kFeature && entry->kind != CItem::kProduct) return true;

  // Which other products are content now, to tell what the change breaks.
  std::vector<std::wstring> satisfiedBefore;
  for (const auto& other : state->m_products) {
    if (other.second.get() != product && other.second->GetSelection() &&
        other.second->GetSelection()->IsCurrent() && other.second->GetRelations() &&
        other.second->GetRelations()->IsSatisfied()) {
      satisfiedBefore.push_back(other.first);
    }
  }
  bool before = selection.IsCurrent();
  selection.SetCurrent(checked, true);
  std::vector<std::wstring> names;
  UINT messageId = 0;
  if (!checked) {
    messageId = IDS_CUSTOMIZE_CANNOT_DISABLE;
    for (const std::wstring& key : satisfiedBefore) {
      CProductData* other = state->m_products.Lookup(key);
      if (other && !other->GetRelations()->IsSatisfied()) names.push_back(DisplayName(*other));
    }
  } else if (entry->kind == CItem::kProduct && product->GetRelations()) {
    messageId = IDS_CUSTOMIZE_CANNOT_ENABLE;
    CRelationList& relations = *product->GetRelations();
    for (size_t i = 0; i < relations.GetCount(); ++i) {
      CRelation* relation = relations[i];
      if (!relation || relation->GetSource() != relations.GetOwnerName() || relation->Evaluate()) continue;
      CProductData* target = state->m_products.Lookup(relation->GetTarget());
      std::wstring targetName = target ? DisplayName(*target) : relation->GetTarget();
      if (auto* featureRelation = dynamic_cast<CFeatureRelation*>(relation)) {
        CFeatureData* feature = target && target->GetFeatures()
                                    ? target->GetFeatures()->FindById(featureRelation->GetFeatureId())
                                    : nullptr;
        std::wstring featureName = feature ? feature->GetDisplayName() : featureRelation->GetFeatureId();
        std::wstring line = ReplaceAll(LoadResourceString(IDS_CUSTOMIZE_FEATURE_OF), L"[FeatureName]", featureName);
        names.push_back(ReplaceAll(line, L"[ProductName]", targetName));
      } else {
        names.push_back(targetName);
      }
    }
  }
  selection.SetCurrent(before, true);
  if (names.empty()) return true;
  if (showMessage) {
    std::wstring itemName = entry->kind == CItem::kFeature ? entry->feature->GetDisplayName() : DisplayName(*product);
    std::wstring message = ReplaceAll(LoadResourceString(messageId), L"[ProductName]", itemName);
    for (const std::wstring& name : names) message += L"\n" + name;
    ShowSystemMessage(ReplaceWizardTokens(message, state));
  }
  return false;
}

void CCustomizeDlg::AfterChange() {
  CountChecked();
  UpdateItemTexts();
  UpdateRequiredSpaceText();
  PostButtons();
}

void CCustomizeDlg::UpdateItemTexts() {
  const CItem* entry = ItemOf(m_tree.GetSelectedItem());
  CProductData* product = entry ? ProductOf(*entry) : nullptr;
  if (!product) return;
  std::wstring description;
  std::wstring size;
  if (entry->kind == CItem::kDesktopIcon || entry->kind == CItem::kQuickLaunchIcon) {
    UINT id = entry->kind == CItem::kDesktopIcon ? IDS_CUSTOMIZE_DESKTOP_ICON_TEXT
                                                  : IDS_CUSTOMIZE_QUICK_LAUNCH_ICON_TEXT;
    description = ReplaceAll(LoadResourceString(id), L"[ProductName]", DisplayName(*product));
  } else {
    double megabytes = entry->kind == CItem::kFeature ? entry->feature->GetFullCost() : product->GetCost();
    std::wstring amount = FormatDecimal(megabytes) + L" " + PageString(IDS_CUSTOMIZE_MB);
    size = ReplaceAll(PageString(IDS_CUSTOMIZE_ITEM_SIZE), L"[1]", amount);
    description = ItemDescription(*product);
  }
  SetItemText(IDC_CUSTOMIZE_DESCRIPTION, description);
  // The link control keeps its old text painted when it is emptied.
  InvalidateRect(GetDlgItem(IDC_CUSTOMIZE_DESCRIPTION), nullptr, TRUE);
  SetItemText(IDC_CUSTOMIZE_SIZE, size);
}

std::wstring CCustomizeDlg::ItemDescription(const CProductData& product) const {
  CSetupSheet* sheet = GetSetupSheet();
  CSetupState* state = GetState();
  if (!sheet || !state) return std::wstring();
  std::wstring language;
  state->GetProperty(kSetupLanguageProperty, &language);
  std::wstring path = ReplaceAll(sheet->ExpandMacros(Format(kDescriptionFile, product.GetName().c_str())),
                              L"{SETUPLANG}", language);
  if (!FileExists(path)) return std::wstring();
  std::wstring text;
  try {
    CXmlDocument document;
    document.LoadFile(path);
    document.SelectSingleNodeText(kDescriptionNode, &text);
  } catch (long) {
    return std::wstring();  // logged by the document
  }
  return sheet->ExpandMacros(text);
}

std::wstring CCustomizeDlg::SpaceLine(UINT labelId, double megabytes) const {
  return Format(L"%s: %s %s", PageString(labelId).c_str(), FormatDecimal(megabytes).c_str(),
                PageString(IDS_CUSTOMIZE_MB).c_str());
}

void CCustomizeDlg::UpdateRequiredSpaceText() {
  CSetupSheet* sheet = GetSetupSheet();
  if (!sheet) return;
  sheet->ComputeRequiredSpace();
  SetItemText(IDC_CUSTOMIZE_REQUIRED, SpaceLine(IDS_CUSTOMIZE_REQUIRED, sheet->GetRequiredSpace()));
}

void CCustomizeDlg::UpdateAvailableSpaceText() {
  CSetupSheet* sheet = GetSetupSheet();
  if (!sheet) return;
  sheet->ComputeAvailableSpace();
  SetItemText(IDC_CUSTOMIZE_AVAILABLE, SpaceLine(IDS_CUSTOMIZE_AVAILABLE, sheet->GetAvailableSpace()));
}

void CCustomizeDlg::ShowSystemMessage(const std::wstring& text) const {
  std::wstring title = PageString(IDS_SHEET_TITLE);
  CMessageBox::ShowSystemBox(GetSafeHwnd(), text, title, MB_OK | MB_ICONWARNING);
}

void CCustomizeDlg::ShowInstalledMessage(const CProductData& product) const {
  std::wstring text = ReplaceAll(LoadResourceString(IDS_CUSTOMIZE_INSTALLED_ELSEWHERE), L"[ProductName]",
                                 DisplayName(product));
  ShowSystemMessage(ReplaceAll(text, L"[SuiteName]", GetState()->GetProductName()));
}

void CCustomizeDlg::OpenDescriptionLink(const std::wstring& id) {
  CSetupSheet* sheet = GetSetupSheet();
  CSetupState* state = GetState();
  std::wstring value;
  if (!sheet || !state || !state->GetProperty(id, &value)) return;
  value = sheet->ExpandMacros(value);
  if (value.compare(0, 7, L"http://") == 0) {
    std::wstring url;
    state->GetProperty(kTestConnectionUrlProperty, &url);
    if (CheckInternetConnection(url.empty() ? kDefaultTestConnectionUrl : url)) {
      g_shellOpener(value);
    } else {
      CMessageBox::ShowMessageBox(GetSafeHwnd(), PageString(IDS_NO_INTERNET_CONNECTION).c_str(),
                                  PageString(IDS_INFORMATION_CAPTION).c_str(), kLinkBoxType);
    }
    return;
  }
  if (!FileExists(value)) return;
  wchar_t address[INTERNET_MAX_URL_LENGTH] = {};
  DWORD length = INTERNET_MAX_URL_LENGTH;
  if (SUCCEEDED(UrlCreateFromPathW(value.c_str(), address, &length, 0))) {
    g_shellOpener(address);
  }
}

bool CCustomizeDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_NOTIFY) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == IDC_CUSTOMIZE_TREE && header->code == TVN_SELCHANGEDW) {
      UpdateItemTexts();
    } else if (header->idFrom == IDC_CUSTOMIZE_DESCRIPTION &&
               (header->code == NM_CLICK || header->code == NM_RETURN)) {
      OpenDescriptionLink(reinterpret_cast<const NMLINK*>(lParam)->item.szID);
    }
  }
  return CWizPropPage::OnMessage(message, wParam, lParam, result);
}

HBRUSH CCustomizeDlg::OnCtlColor(HDC dc, HWND control, UINT message) {
  switch (GetDlgCtrlID(control)) {
    case IDC_CUSTOMIZE_DESCRIPTION:
    case IDC_CUSTOMIZE_SIZE:
    case IDC_CUSTOMIZE_TREE:
    case IDC_CUSTOMIZE_AVAILABLE:
    case IDC_CUSTOMIZE_REQUIRED:
      CWizPropPage::OnCtlColor(dc, control, message);
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, RGB(255, 255, 255));
      return m_whiteBrush ? m_whiteBrush : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    default:
      return CWizPropPage::OnCtlColor(dc, control, message);
  }
}
