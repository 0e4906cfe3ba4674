#pragma once
// ui_sequence_choice.h: which wizard pages a run shows, in which order and
// with which buttons: a sequence the suite configures in SETUP.DCF, or one
// of the sequences built in. The choice is data (a list of page settings),
// so the sheet only turns it into pages.
#include <functional>
#include <string>

#include "platform/string_map.h"
#include "wizard/ini_page.h"

class CIniSequence;

// What the choice depends on, taken from the shared state and the command
// options by the sheet.
struct CUiSequenceFacts {
  int uiLevel = 0;
  bool maintenance = false;
  long setupType = 0;
  std::wstring configurationPath;
  bool eulaAccepted = false;
  bool toolbarOffer = false;
  bool browserOffer = false;
  // Whether the product-information page has a text to show; none: it has not.
  std::function<bool()> productInformationHasContent;
};

class CUiSequenceChoice {
 public:
  explicit CUiSequenceChoice(const CUiSequenceFacts& facts) : m_facts(facts) {}

  // The pages to add to the sheet, in order, each named as the sheet names
  // it and at most once. Adding an offer page sets its "...Present" property.
  CIniPageList Choose(CMapStringToString* properties) const;

  // The sequence before the pages' own conditions are applied.
  CIniPageList ChooseSequence() const;

  static CIniPageList BuildDefaultInstallSequence();
  static CIniPageList BuildDefaultUninstallSequence();
  static CIniPageList BuildDefaultInstallBasicSequence();
  static CIniPageList BuildDefaultUninstallBasicSequence();
  static CIniPageList BuildDefaultVerifySequence();

  // From Start along Next until a Next of "" or "0". A page reached a second
  // time would loop for ever: throws CIniException.
  static CIniPageList WalkSequence(const CIniSequence& sequence);

 private:
  CIniPageList ReadConfiguredSequence() const;
  CIniPageList BuildDefaultSequence() const;

  CUiSequenceFacts m_facts;
};
