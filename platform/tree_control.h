#pragma once
// tree_control.h: CTreeControl, a tree view with check boxes whose marks the
// page decides. The left and right arrows and the double-click are taken
// away; a click on a check image and the space key ask the page first and
// flip the mark only when it agrees, the same way on every system (the
// control's own notifications arrive too late or cannot stop the flip).
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

class CTreeControl {
 public:
  // Asked before a mark flips; `checked` is the mark the item would get.
  // False keeps the mark as it is.
  using CheckChanging = std::function<bool(HTREEITEM item, bool checked)>;

  CTreeControl() = default;
  CTreeControl(const CTreeControl&) = delete;
  CTreeControl& operator=(const CTreeControl&) = delete;
  ~CTreeControl() { Detach(); }

  // Takes over the dialog's tree; its check-box style is set anew so that
  // the control builds its check images.
  bool Attach(HWND tree);
  void Detach();
  HWND GetSafeHwnd() const { return m_window; }
  void SetCheckChanging(CheckChanging handler) { m_checkChanging = std::move(handler); }
  // Told after a mark has flipped.
  void SetCheckChanged(std::function<void(HTREEITEM item)> handler) { m_checkChanged = std::move(handler); }

  // At the end of the parent's children (the root level for null).
  HTREEITEM InsertItem(const std::wstring& text, HTREEITEM parent, LPARAM data, bool checked, bool bold);
  void DeleteAllItems();
  bool GetCheck(HTREEITEM item) const;
  void SetCheck(HTREEITEM item, bool checked);
  LPARAM GetItemData(HTREEITEM item) const;
  std::wstring GetItemText(HTREEITEM item) const;
  HTREEITEM GetRootItem() const { return Next(nullptr, TVGN_ROOT); }
  HTREEITEM GetChildItem(HTREEITEM item) const { return Next(item, TVGN_CHILD); }
  HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return Next(item, TVGN_NEXT); }
  HTREEITEM GetSelectedItem() const { return Next(nullptr, TVGN_CARET); }
  void SelectItem(HTREEITEM item);
  void Expand(HTREEITEM item, bool expand);
  void SetItemHeight(int height);
  int GetItemHeight() const;

  // What a click on the item's check image and the space key do: the page
  // is asked, then the mark flips. True when it flipped.
  bool ToggleCheck(HTREEITEM item);

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void KeepStateImagesUpright();
  HTREEITEM Next(HTREEITEM item, UINT relation) const;

  HWND m_window = nullptr;
  CheckChanging m_checkChanging;
  std::function<void(HTREEITEM item)> m_checkChanged;
};
