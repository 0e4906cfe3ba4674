#pragma once
// dcf_names.h: the file, section and key names of the suite's configuration
// file, each spelled once for every reader and writer of it.

inline constexpr wchar_t kDcfFileName[] = L"SETUP.DCF";

// Sections; the formats take a product key, then an action and a feature.
inline constexpr wchar_t kSetupSection[] = L"Setup";
inline constexpr wchar_t kPropertySection[] = L"Property";
inline constexpr wchar_t kSetupSectionFormat[] = L"Setup.%s";
inline constexpr wchar_t kPropertySectionFormat[] = L"Property.%s";
inline constexpr wchar_t kActionSectionFormat[] = L"InstallActions.%s.%s";
inline constexpr wchar_t kFeatureSectionFormat[] = L"InstallActions.%s.%s.%s";
// The action a product's section names when it names none.
inline constexpr wchar_t kInstallAction[] = L"Install";

// [Setup]
inline constexpr wchar_t kProductsKey[] = L"Products";
inline constexpr wchar_t kMasterKey[] = L"Master";
inline constexpr wchar_t kPerProductPlatformsKey[] = L"PerProductPlatforms";
inline constexpr wchar_t kConditionKey[] = L"Condition";
inline constexpr wchar_t kConditionMessageKey[] = L"ConditionMessage";
// [Setup.<product>]: the product's searches and how its failed condition counts.
inline constexpr wchar_t kAppSearchKey[] = L"AppSearch";
inline constexpr wchar_t kSilentConditionKey[] = L"SilentCondition";
inline constexpr wchar_t kReferenceCountingEnabledKey[] = L"ReferenceCountingEnabled";
inline constexpr wchar_t kMinimumMsiVersionKey[] = L"MinimumMSIVersion";
inline constexpr wchar_t kPlatformsKey[] = L"Platforms";
inline constexpr wchar_t kAllowNTServerKey[] = L"AllowNTServer";
inline constexpr wchar_t kNTMsiInstallerKey[] = L"NTMsiInstaller";
inline constexpr wchar_t kSetupUpdateUrlKey[] = L"SetupUpdateURL";

// [Property]
inline constexpr wchar_t kLogFileKey[] = L"LogFile";
inline constexpr wchar_t kInstallDirKey[] = L"INSTALLDIR";
inline constexpr wchar_t kDcfVersionSchemaKey[] = L"DcfVersionSchema";
inline constexpr wchar_t kUrlPromotionConditionKey[] = L"URLPromotionCondition";
inline constexpr wchar_t kUrlPromotionKey[] = L"URLPromotion";
inline constexpr wchar_t kUrlPromotionOfflineKey[] = L"URLPromotionOffline";
inline constexpr wchar_t kViewReadmeKey[] = L"VIEWREADME";
inline constexpr wchar_t kUserNameKey[] = L"UserName";
inline constexpr wchar_t kUserCompanyKey[] = L"UserCompany";
inline constexpr wchar_t kCompanyNameKey[] = L"CompanyName";
inline constexpr wchar_t kAutoDetectLangKey[] = L"AutoDetectLang";
inline constexpr wchar_t kFixedInstallPointKey[] = L"FixedInstallPoint";
inline constexpr wchar_t kRequireAdminPrivilegesKey[] = L"RequireAdminPrivileges";
inline constexpr wchar_t kSeparateInstallDirsKey[] = L"SeparateInstallDirs";
inline constexpr wchar_t kSkipEulaDialogKey[] = L"SkipEULADialog";
inline constexpr wchar_t kOnlineAccessKey[] = L"OnlineAccess";
inline constexpr wchar_t kUpdateManagerKey[] = L"UpdateManager";
inline constexpr wchar_t kUpdateManagerAutomaticKey[] = L"UpdateManagerAutomatic";
inline constexpr wchar_t kUpdateManagerExpirationKey[] = L"UpdateManagerExpiration";
inline constexpr wchar_t kAllowOnlineUpdatesKey[] = L"AllowOnlineUpdates";
inline constexpr wchar_t kRequireOnlineAccessKey[] = L"RequireOnlineAccess";
inline constexpr wchar_t kForceEncryptionKey[] = L"ForceEncryption";
inline constexpr wchar_t kMuiKey[] = L"MUI";
inline constexpr wchar_t kUeipKey[] = L"UEIP";
inline constexpr wchar_t kCleanupSourceFilesKey[] = L"CleanupSourceFiles";
inline constexpr wchar_t kReturnRebootRequestKey[] = L"ReturnRebootRequest";
inline constexpr wchar_t kProjectNameKey[] = L"ProjectName";
inline constexpr wchar_t kDeliveryNumberKey[] = L"DeliveryNumber";
inline constexpr wchar_t kCustCodeKey[] = L"CustCode";
// [Property] and [Property.<product>]
inline constexpr wchar_t kDynamicPropertiesKey[] = L"DynamicProperties";
inline constexpr wchar_t kInstallCostKey[] = L"InstallCost";

// [Setup.<product>]; ProductName, ShortProductName and ProductVersion are
// [Property] keys too.
inline constexpr wchar_t kPackageNameKey[] = L"PackageName";
inline constexpr wchar_t kTransformKey[] = L"Transform";
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

// [InstallActions.<product>.<action>] and its features' sections
inline constexpr wchar_t kCostKey[] = L"Cost";
inline constexpr wchar_t kFeaturesKey[] = L"Features";
inline constexpr wchar_t kFeatureIdKey[] = L"FeatureId";
inline constexpr wchar_t kParentIdKey[] = L"ParentId";
inline constexpr wchar_t kDisplayNameKey[] = L"DisplayName";
inline constexpr wchar_t kDisplayKey[] = L"Display";

// [Setup.<product>] Relationships, and each item's [Relationship.<product>.<item>]
inline constexpr wchar_t kRelationshipsKey[] = L"Relationships";
inline constexpr wchar_t kRelationshipSectionFormat[] = L"Relationship.%s.%s";
inline constexpr wchar_t kSourceProductKey[] = L"SourceProduct";
inline constexpr wchar_t kTargetProductKey[] = L"TargetProduct";
inline constexpr wchar_t kTargetCustsKey[] = L"TargetCusts";
inline constexpr wchar_t kMinVerKey[] = L"MinVer";
inline constexpr wchar_t kMaxVerKey[] = L"MaxVer";

// The action lists: [Setup] and [Setup.<product>] keys, and the sections
// of the lists' items, each formatted with "<product>.<item>".
inline constexpr wchar_t kUpgradeConditionEvalKey[] = L"UpgradeConditionEval";
inline constexpr wchar_t kAllowWin64Key[] = L"AllowWin64";
inline constexpr wchar_t kAllowWinXPHomeKey[] = L"AllowWinXPHome";
inline constexpr wchar_t kAllowWinServer2k3Key[] = L"AllowWinServer2k3";
inline constexpr wchar_t kVerifyActionsKey[] = L"VerifyActions";
inline constexpr wchar_t kUpgradeConditionsKey[] = L"UpgradeConditions";
inline constexpr wchar_t kIncompatibleApplicationsKey[] = L"IncompatibleApplications";
inline constexpr wchar_t kPreviousVersionsKey[] = L"PreviousVersions";
inline constexpr wchar_t kInstallActionsKey[] = L"InstallActions";
inline constexpr wchar_t kShutdownApplicationsKey[] = L"ShutdownApplications";
inline constexpr wchar_t kMasterExemptKey[] = L"MasterExempt";
inline constexpr wchar_t kSuppressImplicitRemovesKey[] = L"SuppressImplicitRemoves";
inline constexpr wchar_t kInstallActionSectionFormat[] = L"InstallActions.%s";
inline constexpr wchar_t kUpgradeConditionSectionFormat[] = L"UpgradeConditions.%s";
inline constexpr wchar_t kVerifyActionSectionFormat[] = L"VerifyActions.%s";
inline constexpr wchar_t kIncompatibleApplicationSectionFormat[] = L"IncompatibleApplications.%s";
inline constexpr wchar_t kPreviousVersionSectionFormat[] = L"PreviousVersions.%s";
inline constexpr wchar_t kShutdownApplicationSectionFormat[] = L"ShutdownApplications.%s";
inline constexpr wchar_t kIncompatibleSuiteSectionFormat[] = L"IncompatibleSuite.%s";
// Sections the loaders name built-in actions after; they are not read.
inline constexpr wchar_t kIsQualifiedSuiteSection[] = L"VerifyActions.*.IsQualified";
inline constexpr wchar_t kIsQualifiedSectionFormat[] = L"VerifyActions.%s.IsQualified";
inline constexpr wchar_t kMsiCorrectVersionSectionFormat[] = L"VerifyActions.%s.MSICorrectVersion";
inline constexpr wchar_t kForcedPreviousVersionSectionFormat[] = L"PreviousVersions.%s.Force";
inline constexpr wchar_t kImplicitPreviousVersionSectionFormat[] = L"PreviousVersions.%s.Auto";

// [ProductGroup.Default]: the suite as a whole; UUID and SKU below
inline constexpr wchar_t kProductGroupDefaultSection[] = L"ProductGroup.Default";
inline constexpr wchar_t kIncompatibleSuiteKey[] = L"IncompatibleSuite";
inline constexpr wchar_t kSuiteIdKey[] = L"SuiteID";
inline constexpr wchar_t kFamilyIdKey[] = L"FamilyID";
inline constexpr wchar_t kVersionKey[] = L"Version";
inline constexpr wchar_t kIconPathKey[] = L"IconPath";
inline constexpr wchar_t kHelpLinkKey[] = L"HelpLink";
inline constexpr wchar_t kUrlInfoAboutKey[] = L"URLInfoAbout";
inline constexpr wchar_t kBuildNumberKey[] = L"BuildNumber";
inline constexpr wchar_t kBasePathKey[] = L"BasePath";
inline constexpr wchar_t kSuiteFolderKey[] = L"SuiteFolder";
inline constexpr wchar_t kOverinstallAllowedKey[] = L"OverinstallAllowed";
inline constexpr wchar_t kRepairModeAllowedKey[] = L"RepairModeAllowed";
inline constexpr wchar_t kUninstallUiLevelKey[] = L"UninstallUILevel";
// A product's Group that belongs to no install group.
inline constexpr wchar_t kExcludeGroup[] = L"exclude";

// [InstallActions.<product>.<item>]
inline constexpr wchar_t kSequenceKey[] = L"Sequence";
inline constexpr wchar_t kExecuteOptionsKey[] = L"ExecuteOptions";
inline constexpr wchar_t kReturnProcessingKey[] = L"ReturnProcessing";
inline constexpr wchar_t kOverrideInstallDirKey[] = L"OverrideInstallDir";
inline constexpr wchar_t kCommandLineKey[] = L"CommandLine";
inline constexpr wchar_t kNoUninstallKey[] = L"NoUninstall";
inline constexpr wchar_t kNoRepairKey[] = L"NoRepair";
inline constexpr wchar_t kShowArpKey[] = L"ShowARP";

// [UpgradeConditions.<product>.<item>]
inline constexpr wchar_t kUninstallKeyKey[] = L"UninstallKey";
inline constexpr wchar_t kValidVersionsKey[] = L"ValidVersions";
inline constexpr wchar_t kTypeKey[] = L"Type";
inline constexpr wchar_t kValidTlasKey[] = L"ValidTLAs";
inline constexpr wchar_t kTlaSearchKeyKey[] = L"TLASearchKey";
inline constexpr wchar_t kTlaSearchParameterKey[] = L"TLASearchParameter";
inline constexpr wchar_t kExternalCommandKey[] = L"ExternalCommand";
inline constexpr wchar_t kSilentKey[] = L"Silent";

// [VerifyActions.<product>.<item>]
inline constexpr wchar_t kActionKey[] = L"Action";
inline constexpr wchar_t kRefusalKey[] = L"Refusal";
inline constexpr wchar_t kSuiteLevelValidationKey[] = L"SuiteLevelValidation";
inline constexpr wchar_t kMessageKey[] = L"Message";

// [IncompatibleApplications.<product>.<item>] and [PreviousVersions.<product>.<item>]
inline constexpr wchar_t kNameKey[] = L"Name";
inline constexpr wchar_t kDetectionKey[] = L"Detection";
inline constexpr wchar_t kPromptKey[] = L"Prompt";
inline constexpr wchar_t kUninstallCommandKey[] = L"UninstallCommand";
inline constexpr wchar_t kForceKey[] = L"Force";

// [IncompatibleSuite.<name>]
inline constexpr wchar_t kUuidKey[] = L"UUID";
inline constexpr wchar_t kSkuKey[] = L"SKU";
inline constexpr wchar_t kBuildNumKey[] = L"BUILDNUM";

// [ShutdownApplications.<owner>.<item>]
inline constexpr wchar_t kServiceNameKey[] = L"ServiceName";
inline constexpr wchar_t kClassNameKey[] = L"ClassName";
inline constexpr wchar_t kWindowTitleKey[] = L"WindowTitle";
inline constexpr wchar_t kFriendlyNameKey[] = L"FriendlyName";
inline constexpr wchar_t kWaitTimeKey[] = L"WaitTime";
inline constexpr wchar_t kMessageIdKey[] = L"MessageId";
inline constexpr wchar_t kWordParamKey[] = L"WordParam";
inline constexpr wchar_t kLongParamKey[] = L"LongParam";
inline constexpr wchar_t kRequiredKey[] = L"Required";

// [Shortcut]: the launch point that the /CreateLaunchPoint mode makes
inline constexpr wchar_t kShortcutSection[] = L"Shortcut";
inline constexpr wchar_t kLaunchPointLinkKey[] = L"LaunchPointLink";
inline constexpr wchar_t kLaunchPointDescKey[] = L"LaunchPointDesc";
inline constexpr wchar_t kLaunchPointIconKey[] = L"LaunchPointIcon";

// [Interface], [Interface.<sequence>] and [Interface.<sequence>.<page>]: the
// wizard's page sequences
inline constexpr wchar_t kInterfaceSection[] = L"Interface";
inline constexpr wchar_t kSequencesKey[] = L"Sequences";
inline constexpr wchar_t kPagesKey[] = L"Pages";
inline constexpr wchar_t kStartKey[] = L"Start";
inline constexpr wchar_t kNextKey[] = L"Next";
inline constexpr wchar_t kDisableBackKey[] = L"DisableBack";
inline constexpr wchar_t kDisableNextKey[] = L"DisableNext";
inline constexpr wchar_t kEnableViewKey[] = L"EnableView";
inline constexpr wchar_t kDisplayConditionKey[] = L"DisplayCondition";
