#pragma once
// progress_rules.h: the Progress page's decisions that need no window: when
// the promotion is switched off, when Cancel is offered or refused, which
// page ends the wizard after the run, and what its detail line shows.
#include <string>
#include <utility>
#include <vector>

// NO_ONLINE_ACCESS and URLPromotionAllowed (null when missing): off when
// both exist and online access is barred ("1") or the promotion is not
// allowed. The engine writes "false" where the page's own value is "0":
// both, in any case, mean not allowed.
bool IsPromotionSwitchedOff(const std::wstring* noOnlineAccess, const std::wstring* promotionAllowed);

// Cancel is offered while the running action allows it, never in a removal.
bool IsCancelOffered(long setupType, long cancelAllowed);
// A request is refused at once in a removal unless the worker itself asked
// for the cancel, and whenever the running action does not allow it.
bool IsCancelRefused(long setupType, bool autoConfirm, long cancelAllowed);

// Where the Next that follows the run leads.
enum EPageAfterProgress {
  kNextInSequence,  // the sequence's own next page (the run succeeded)
  kUserExitPage,    // a cancelled or rolled-back run ends on the user-exit page
  kFinishPage,      // ... or on Finish when the sequence has no user-exit page
};
EPageAfterProgress PageAfterProgress(bool cancelled, bool sequenceHasUserExit);

// A product code with the name the user knows the product by.
using CProductNames = std::vector<std::pair<std::wstring, std::wstring>>;

// What the one-line detail box shows of the installer's action text: its
// first line; of a record the installer sends without a template ("1: value
// 2: value ..."), the first value; a product code of the suite (any case)
// as the product's name. Empty when nothing is left to show.
std::wstring DetailLine(const std::wstring& text, const CProductNames& products);
