#pragma once
// product_data_keys.h: the section and key names of a product in the
// configuration, shared by its reader and the cached product file's writer.

inline constexpr wchar_t kSetupSectionFormat[] = L"Setup.%s";
inline constexpr wchar_t kActionSectionFormat[] = L"InstallActions.%s.%s";
inline constexpr wchar_t kFeatureSectionFormat[] = L"InstallActions.%s.%s.%s";

inline constexpr wchar_t kPrimaryActionKey[] = L"PrimaryAction";
inline constexpr wchar_t kProductCodeKey[] = L"ProductCode";
inline constexpr wchar_t kPackageCodeKey[] = L"PackageCode";
inline constexpr wchar_t kProductGroupKey[] = L"ProductGroup";
inline constexpr wchar_t kGroupKey[] = L"Group";
inline constexpr wchar_t kProductNameKey[] = L"ProductName";
inline constexpr wchar_t kShortProductNameKey[] = L"ShortProductName";
inline constexpr wchar_t kProductVersionKey[] = L"ProductVersion";
inline constexpr wchar_t kOurCompanyNameKey[] = L"OurCompanyName";
inline constexpr wchar_t kInternalProductNameKey[] = L"InternalProductName";
inline constexpr wchar_t kTemplateKey[] = L"Template";
inline constexpr wchar_t kProductLanguageKey[] = L"ProductLanguage";
inline constexpr wchar_t kVisibleKey[] = L"Visible";
inline constexpr wchar_t kMandatoryKey[] = L"Mandatory";
inline constexpr wchar_t kDesktopShortcutsKey[] = L"DESKTOPSHORTCUTS";
inline constexpr wchar_t kDesktopIconKey[] = L"DESKTOPICON";
inline constexpr wchar_t kQuickLaunchShortcutsKey[] = L"QUICKLAUNCHSHORTCUTS";
inline constexpr wchar_t kQuickLaunchIconKey[] = L"QUICKLAUNCHICON";
inline constexpr wchar_t kCostKey[] = L"Cost";
inline constexpr wchar_t kFeaturesKey[] = L"Features";
