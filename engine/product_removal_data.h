#pragma once
// product_removal_data.h: CProductRemovalData, one product the run would
// remove, as the wizard's removal page shows it: fixed-size texts and the
// flags that say whether it is found, marked and locked.
#include <string>
#include <vector>

class CProductRemovalData {
 public:
  static const size_t kTextSize = 260;

  CProductRemovalData();

  // Each keeps at most 259 characters; null is empty.
  void SetDisplayText(const wchar_t* text);
  void SetActionName(const wchar_t* text);
  void SetDetailA(const wchar_t* text);
  void SetDetailB(const wchar_t* text);
  void SetTargetKey(const wchar_t* text);
  // A locked record stays marked, whatever is asked.
  void SetChecked(int flag);
  // Locking marks the record.
  void SetLocked(int flag);
  void SetFound(int flag) { m_found = flag; }
  void SetShowDetails(int flag) { m_showDetails = flag; }

  const wchar_t* GetDisplayText() const { return m_displayText; }
  const wchar_t* GetActionName() const { return m_actionName; }
  const wchar_t* GetDetailA() const { return m_detailA; }
  const wchar_t* GetDetailB() const { return m_detailB; }
  const wchar_t* GetTargetKey() const { return m_targetKey; }
  int IsFound() const { return m_found; }
  int IsChecked() const { return m_checked; }
  int IsLocked() const { return m_locked; }
  int GetShowDetails() const { return m_showDetails; }

 private:
  wchar_t m_displayText[kTextSize];
  wchar_t m_actionName[kTextSize];
  wchar_t m_detailA[kTextSize];
  wchar_t m_detailB[kTextSize];
  wchar_t m_targetKey[kTextSize];
  int m_found = 0;
  int m_checked = 1;
  int m_locked = 0;
  // Set when the product's removal is not silent.
  int m_showDetails = 1;
};

// Copied by value into the shared state.
using CProductRemovalDataList = std::vector<CProductRemovalData>;
