#pragma once
// wizard_text.h: the wizard's texts from the string table with their
// bracketed tokens and placeholders replaced, and which texts a removal shows.
#include <windows.h>

#include <string>

class CSetupState;

// "[ProductName]" and "_PRODUCT_NAME_" become the product name,
// "[CompanyName]" the company, and "[Wizard]", "[SetupWizard]" and
// "[Setup]" their strings.
std::wstring ReplaceWizardTokens(const std::wstring& text, const std::wstring& productName,
                                 const std::wstring& companyName);
// The same with the names of the state; a null state leaves the names.
std::wstring ReplaceWizardTokens(const std::wstring& text, const CSetupState* state);
// String `id` of the interface language (English when it lacks it), tokens
// replaced.
std::wstring LoadWizardString(UINT id, const CSetupState* state);
// Whether the run's pages speak of taking the program off the computer: a
// removal that keeps no product of the suite. A removal that keeps some (the
// products left checked on the Customize page) changes the suite instead.
bool RemovesWholeSuite(const CSetupState* state);
// The number with two decimals, `separator` between its whole part and its
// decimals and the whole part grouped ("59.363,00" for a German user).
std::wstring FormatDecimal(double value, const std::wstring& separator, const std::wstring& thousand = L"",
                           const std::wstring& grouping = L"");
// The same in the user's own writing of numbers.
std::wstring FormatDecimal(double value);

// The cancel question of the run's own kind: a repair's, a removal's, or 0
// for the dialog's own (an install, and a removal that keeps products,
// whose pages speak of installing). Only a selection the user makes on the
// Customize page keeps products: `selectionChosen` says whether the run
// shows that page; without it a removal takes the whole suite whatever
// the selection holds before the page that confirms the run.
UINT CancelQuestionId(const CSetupState* state, bool selectionChosen);
