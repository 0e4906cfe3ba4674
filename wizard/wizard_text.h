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
// The number with two decimals and `separator` between its whole part and
// its decimals ("2,50" for a German user).
std::wstring FormatDecimal(double value, const std::wstring& separator);
// The same with the user's own decimal separator.
std::wstring FormatDecimal(double value);

// The cancel question of the run's own kind: a repair's, a removal's, or 0
// for the dialog's own (an install, and a removal that keeps products,
// whose pages speak of installing).
UINT CancelQuestionId(const CSetupState* state);
