// customize_dlg_test.cpp: the Customize page on a real tree, in a sheet on
// its own over a made-up suite, driven by mouse and keyboard messages from
// the test: what the tree shows, which check changes the rules refuse (with
// the box that says why) and how the accepted ones reach the model.
#include "wizard/customize_dlg.h"

#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/product_relation.h"
#include "engine/setup_state.h"
#include "foundation/scoped_handle.h"
#include "gtest/gtest.h"
#include "platform/thread.h"
#include "platform/window_text.h"
#include "platform/wizard_sheet.h"
#include "tests/support/test_support.h"
#include "wizard/setup_sheet.h"

namespace {

const wchar_t kTitle[] = L"Tamsa Studio Setup";

bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds = 10000) {
  for (DWORD waited = 0; waited < milliseconds; waited += 20) {
    if (condition()) return true;
    Sleep(20);
  }
  return condition();
}

std::unique_ptr<CFeatureData> Feature(const wchar_t* id, const wchar_t* name, int display, const wchar_t* parent) {
  auto feature = std::make_unique<CFeatureData>();
  feature->SetFeatureId(id);
  feature->SetDisplayName(name);
  feature->SetDisplayOrder(display);
  feature->SetCost(1.0);
  if (parent) feature->SetParentId(parent);
  feature->GetSelection().SetCurrent(true, false);
  return feature;
}

CProductData* AddProduct(CSetupState* state, const wchar_t* key, const wchar_t* name) {
  auto product = std::make_unique<CProductData>(key);
  product->SetProductName(name);
  product->SetCost(2.0);
  product->GetSelection()->SetCurrent(true, false);
  CProductData* added = product.get();
  state->m_products.SetAt(key, std::move(product));
  return added;
}

void Relate(CSetupState* state, std::unique_ptr<CRelation> relation) {
  relation->SetSetupState(state);
  state->m_products.Lookup(relation->GetSource())->GetRelations()->Add(relation->Clone());
  state->m_products.Lookup(relation->GetTarget())->GetRelations()->Add(relation->Clone());
}

// Editor (mandatory; Main > Docs > Help hidden, Samples; a desktop icon),
// Viewer needing Editor's Docs, Reader needing Viewer, a hidden product
// and one another suite has installed.
void BuildSuite(CSetupState* state) {
  state->SetProductName(L"Tamsa Studio");
  CProductData* editor = AddProduct(state, L"Editor", L"Tamsa Editor");
  editor->GetSelection()->SetLocked(true);
  editor->GetDesktopIconState()->SetCurrent(true, false);
  editor->GetDesktopIconState()->SetHidden(false);
  std::unique_ptr<CFeatureData> features[] = {
      Feature(L"Main", L"Main program", 1, nullptr), Feature(L"Docs", L"Documentation", 1, L"Main"),
      Feature(L"Help", L"Help files", 0, L"Docs"), Feature(L"Samples", L"Samples", 2, nullptr)};
  for (auto& feature : features) editor->GetFeatures()->AddFeature(feature);
  AddProduct(state, L"Viewer", L"Tamsa Viewer");
  AddProduct(state, L"Reader", L"");
  AddProduct(state, L"Hidden", L"Hidden Tools")->GetSelection()->SetHidden(true);
  AddProduct(state, L"Shared", L"Shared Runtime")->SetSamePackageInstalled(true);
  Relate(state, std::make_unique<CFeatureRelation>(L"Viewer", L"Editor", L"Docs", L"", L"", L""));
  Relate(state, std::make_unique<CProductRelation>(L"Reader", L"Viewer", L"", L"", L""));
}

struct CCustomizeRun {
  CSetupState state;
  std::unique_ptr<CSetupSheet> sheet;
  CScopedHandle thread;
  HWND window = nullptr;
  HWND tree = nullptr;
};

unsigned __stdcall RunSheet(void* parameter) {
  static_cast<CCustomizeRun*>(parameter)->sheet->DoModal(nullptr);
  return 0;
}

bool Start(CCustomizeRun* run) {
  CSetupWizardContext context;
  context.state = &run->state;
  run->sheet.reset(new CSetupSheet(context));
  run->sheet->AddWizardPage(run->sheet->GetPageByKind(kPageCustomize));
  run->sheet->AddWizardPage(run->sheet->GetPageByKind(kPageVerify));
  DWORD error = 0;
  run->thread.Reset(StartThread(RunSheet, run, &error));
  if (!WaitFor([&] { return (run->window = FindWindowW(nullptr, kTitle)) != nullptr; })) return false;
  HWND page = reinterpret_cast<HWND>(SendMessageW(run->window, PSM_GETCURRENTPAGEHWND, 0, 0));
  run->tree = GetDlgItem(page, 11055);
  return run->tree != nullptr;
}

void Stop(CCustomizeRun* run) {
  if (run->window) CWizardSheet::PressButtonFromOtherThread(run->window, CWizardSheet::kCancel);
  // The cancel question, answered Yes, then the sheet on the user-exit
  // page it does not have: it closes.
  HWND question = nullptr;
  if (WaitFor([&] { return (question = FindWindowW(nullptr, L"Tamsa Studio")) != nullptr; }, 5000)) {
    PostMessageW(question, WM_COMMAND, IDYES, 0);
  }
  WaitForSingleObject(run->thread.Get(), 15000);
}

std::wstring ItemText(HWND tree, HTREEITEM item) {
  wchar_t buffer[256] = {};
  TVITEMW read = {};
  read.mask = TVIF_TEXT;
  read.hItem = item;
  read.pszText = buffer;
  read.cchTextMax = 256;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read));
  return buffer;
}

bool IsChecked(HWND tree, HTREEITEM item) {
  return (SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK) >> 12) == 2;
}

// Every item, depth first: two blanks per level, "[x] " or "[ ] ", text.
void List(HWND tree, HTREEITEM first, int depth, std::vector<std::wstring>* lines) {
  for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item)) {
    std::wstring mark = IsChecked(tree, item) ? L"[x] " : L"[ ] ";
    lines->push_back(std::wstring(depth * 2, L' ') + mark + ItemText(tree, item));
    List(tree, TreeView_GetChild(tree, item), depth + 1, lines);
  }
}

std::vector<std::wstring> Lines(HWND tree) {
  std::vector<std::wstring> lines;
  List(tree, TreeView_GetRoot(tree), 0, &lines);
  return lines;
}

HTREEITEM Find(HWND tree, HTREEITEM first, const std::wstring& text) {
  for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item)) {
    if (ItemText(tree, item) == text) return item;
    if (HTREEITEM below = Find(tree, TreeView_GetChild(tree, item), text)) return below;
  }
  return nullptr;
}

struct CBoxSearch {
  DWORD thread;
  HWND sheet;
  HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<CBoxSearch*>(parameter);
  if (window == search->sheet || !IsWindowVisible(window)) return TRUE;
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (std::wstring(name) != L"#32770") return TRUE;
  if (GetWindowThreadProcessId(window, nullptr) != search->thread) return TRUE;
  search->found = window;
  return FALSE;
}

// Runs the action from a thread of its own; a box that opens meanwhile is
// read and closed. The box's text (the system's, or the program's own
// link), empty when none opened.
std::wstring WithBox(CCustomizeRun* run, const std::function<void()>& action) {
  bool done = false;
  std::thread sender([&] {
    action();
    done = true;
  });
  CBoxSearch search = {GetThreadId(run->thread.Get()), run->window, nullptr};
  WaitFor([&] {
    if (done) return true;
    EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  std::wstring text;
  if (search.found) {
    HWND label = GetDlgItem(search.found, 0xFFFF);
    text = GetWindowTextString(label ? label : GetDlgItem(search.found, 1003));
    PostMessageW(search.found, WM_COMMAND, IDCANCEL, 0);
  }
  sender.join();
  return text;
}

enum EInput { kSpace, kClick, kDoubleClick, kLeft };

std::wstring Send(CCustomizeRun* run, HTREEITEM item, EInput input) {
  HWND tree = run->tree;
  RECT rect = {};
  TreeView_GetItemRect(tree, item, &rect, TRUE);
  // The check image sits just left of the text.
  LPARAM point = MAKELPARAM(rect.left - 8, (rect.top + rect.bottom) / 2);
  return WithBox(run, [&] {
    switch (input) {
      case kSpace:
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        SendMessageW(tree, WM_KEYDOWN, VK_SPACE, 0);
        SendMessageW(tree, WM_CHAR, L' ', 0);
        SendMessageW(tree, WM_KEYUP, VK_SPACE, 0);
        break;
      case kLeft:
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        SendMessageW(tree, WM_KEYDOWN, VK_LEFT, 0);
        break;
      case kClick:
      case kDoubleClick:
        SendMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageW(tree, WM_LBUTTONUP, 0, point);
        if (input == kDoubleClick) {
          SendMessageW(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
          SendMessageW(tree, WM_LBUTTONUP, 0, point);
        }
        break;
    }
  });
}

std::vector<std::wstring> g_opened;

void RecordOpen(const std::wstring& address) { g_opened.push_back(address); }

}  // namespace

TEST(CCustomizeDlgTest, ChecksFollowTheRulesForMouseAndKeyboard) {
  CCustomizeRun run;
  BuildSuite(&run.state);
  ASSERT_TRUE(Start(&run));
  HWND tree = run.tree;
  // Hidden product, another suite's product checked but kept, display
  // level 0 left out; shortcut item before the features.
  const std::vector<std::wstring> kStart = {
      L"[x] Tamsa Editor",      L"  [x] Install Desktop icon", L"  [x] Main program", L"    [x] Documentation",
      L"  [x] Samples",         L"[x] Tamsa Viewer",           L"[x] Reader",         L"[x] Shared Runtime"};
  EXPECT_EQ(kStart, Lines(tree));

  const std::wstring kMandatory = L"This product is required for proper operation, and cannot be disabled.";
  struct Step {
    const wchar_t* item;
    EInput input;
    const wchar_t* box;
    bool checkedAfter;
  };
  const Step kSteps[] = {
      {L"Tamsa Editor", kSpace, kMandatory.c_str(), true},
      {L"Tamsa Editor", kClick, kMandatory.c_str(), true},
      {L"Documentation", kClick,
       L"Documentation cannot be disabled because the following products and/or features depend on it:\n"
       L"Tamsa Viewer",
       true},
      {L"Tamsa Viewer", kSpace,
       L"Tamsa Viewer cannot be disabled because the following products and/or features depend on it:\nReader",
       true},
      {L"Shared Runtime", kClick,
       L"This version of Shared Runtime is already installed, and neither it nor its features can be changed "
       L"here.  Use \"Add/Remove Programs\" from the Windows Control Panel to remove Tamsa Studio, then install "
       L"it again to choose other features.",
       true},
      {L"Reader", kSpace, L"", false},
      {L"Tamsa Viewer", kClick, L"", false},
      {L"Documentation", kSpace, L"", false},
      {L"Tamsa Viewer", kSpace,
       L"Tamsa Viewer cannot be enabled because it depends upon the following deselected products and/or "
       L"features:\nFeature 'Documentation' of Tamsa Editor",
       false},
      {L"Install Desktop icon", kClick, L"", false},
      // The second click of a double-click changes nothing.
      {L"Samples", kDoubleClick, L"", false},
      {L"Documentation", kSpace, L"", true},
      {L"Tamsa Viewer", kSpace, L"", true},
      // Viewer needs Documentation, which is selected only under its parent.
      {L"Main program", kClick,
       L"Main program cannot be disabled because the following products and/or features depend on it:\n"
       L"Tamsa Viewer",
       true},
      {L"Tamsa Viewer", kClick, L"", false},
      {L"Main program", kSpace, L"", false},
  };
  for (const Step& step : kSteps) {
    HTREEITEM item = Find(tree, TreeView_GetRoot(tree), step.item);
    ASSERT_NE(nullptr, item) << step.item;
    EXPECT_EQ(step.box, Send(&run, item, step.input)) << step.item;
    EXPECT_EQ(step.checkedAfter, IsChecked(tree, item)) << step.item;
  }

  CProductDataMap& products = run.state.m_products;
  EXPECT_TRUE(products.Lookup(L"Editor")->GetSelection()->IsCurrent());
  EXPECT_FALSE(products.Lookup(L"Viewer")->GetSelection()->IsCurrent());
  EXPECT_FALSE(products.Lookup(L"Reader")->GetSelection()->IsCurrent());
  EXPECT_FALSE(products.Lookup(L"Editor")->GetDesktopIconState()->IsCurrent());
  CFeatureList& features = *products.Lookup(L"Editor")->GetFeatures();
  EXPECT_FALSE(features.FindById(L"Samples")->IsSelected());
  // The features below the unchecked one go with it.
  EXPECT_TRUE(features.FindById(L"Docs")->GetSelection().IsCurrent());
  EXPECT_FALSE(features.FindById(L"Docs")->IsSelected());
  EXPECT_FALSE(features.FindById(L"Help")->IsSelected());

  // The arrows that would fold an item away do nothing.
  HTREEITEM editor = TreeView_GetRoot(tree);
  Send(&run, editor, kLeft);
  EXPECT_TRUE(SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(editor), TVIS_EXPANDED) & TVIS_EXPANDED);
  Stop(&run);
}

// Next is offered only while a product is checked; the texts follow the
// selected item and the selection's size.
TEST(CCustomizeDlgTest, NextAndTextsFollowTheCheckedProducts) {
  CCustomizeRun run;
  run.state.SetProductName(L"Tamsa Studio");
  AddProduct(&run.state, L"Viewer", L"Tamsa Viewer");
  ASSERT_TRUE(Start(&run));
  HWND next = GetDlgItem(run.window, 12324);
  HWND page = reinterpret_cast<HWND>(SendMessageW(run.window, PSM_GETCURRENTPAGEHWND, 0, 0));
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(next) != FALSE; }));
  EXPECT_EQ(L"This feature requires 2.00 MB on your hard drive.", GetWindowTextString(GetDlgItem(page, 11059)));
  EXPECT_EQ(L"Required: 2.00 MB", GetWindowTextString(GetDlgItem(page, 11078)));

  HTREEITEM viewer = TreeView_GetRoot(run.tree);
  EXPECT_EQ(L"", Send(&run, viewer, kSpace));
  EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(next); }));
  EXPECT_EQ(L"Required: 0.00 MB", GetWindowTextString(GetDlgItem(page, 11078)));
  EXPECT_EQ(L"", Send(&run, viewer, kClick));
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(next) != FALSE; }));
  EXPECT_EQ(L"Required: 2.00 MB", GetWindowTextString(GetDlgItem(page, 11078)));
  Stop(&run);
}

// The description's link names a setup property: a web address opens only
// when the connection test passes (here a closed loopback port), a file
// only when it exists.
TEST(CCustomizeDlgTest, TheDescriptionLinkOpensOnlyWhatCanBeReached) {
  CTestFolder folder;
  WriteFileBytes(folder.File(L"guide.txt"), "guide");
  CCustomizeRun run;
  run.state.SetProductName(L"Tamsa Studio");
  run.state.SetProperty(L"TestConnectionURL", L"http://127.0.0.1:9/");
  run.state.SetProperty(L"Web", L"http://tamsa.test/help");
  run.state.SetProperty(L"Guide", folder.File(L"guide.txt"));
  run.state.SetProperty(L"Missing", folder.File(L"missing.txt"));
  AddProduct(&run.state, L"Viewer", L"Tamsa Viewer");
  CCustomizeDlg::SetShellOpener(RecordOpen);
  ASSERT_TRUE(Start(&run));
  HWND page = reinterpret_cast<HWND>(SendMessageW(run.window, PSM_GETCURRENTPAGEHWND, 0, 0));
  struct Case {
    const wchar_t* id;
    const wchar_t* box;
    size_t opened;
  };
  const Case kCases[] = {
      {L"Web", L"Can't connect to the internet. Please check your connection and try again.", 0},
      {L"Guide", L"", 1},
      {L"Missing", L"", 1},
      {L"Unknown", L"", 1},
  };
  for (const Case& c : kCases) {
    NMLINK link = {};
    link.hdr.hwndFrom = GetDlgItem(page, 11058);
    link.hdr.idFrom = 11058;
    link.hdr.code = NM_CLICK;
    wcscpy(link.item.szID, c.id);
    EXPECT_EQ(c.box, WithBox(&run, [&] { SendMessageW(page, WM_NOTIFY, 11058, reinterpret_cast<LPARAM>(&link)); }))
        << c.id;
    EXPECT_EQ(c.opened, g_opened.size()) << c.id;
  }
  ASSERT_EQ(1u, g_opened.size());
  EXPECT_EQ(0u, g_opened[0].find(L"file:///")) << g_opened[0];
  EXPECT_NE(std::wstring::npos, g_opened[0].find(L"guide.txt")) << g_opened[0];
  CCustomizeDlg::SetShellOpener(nullptr);
  Stop(&run);
}
