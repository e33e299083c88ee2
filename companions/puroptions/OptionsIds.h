// Control identifiers of the options box, shared with the tests that drive it.
#pragma once

namespace pur::options::ids {

constexpr int kTabs = 100;
constexpr int kPolicyNote = 101;  // beside OK, when a policy greys settings

// "Affichage"
constexpr int kShowDetail = 200;
constexpr int kMinimizeToIcon = 201;
constexpr int kRefreshSpeed = 202;
constexpr int kPosX = 203;
constexpr int kPosY = 204;
constexpr int kRefreshSpeedLabel = 205;  // the labels of the numbers, greyed with them
constexpr int kPosXLabel = 206;
constexpr int kPosYLabel = 207;

// "Nettoyage"
constexpr int kEmptyRecycleBin = 300;
constexpr int kEmptyTempFolder = 301;
constexpr int kRunPersonalSearch = 302;
constexpr int kSendToRecycleBin = 303;
constexpr int kConfirmDelete = 304;
constexpr int kTestMode = 305;
constexpr int kReadOnlyHidden0 = 310;  // then 311, 312 for the values 1 and 2
constexpr int kReadOnlyHiddenChoices = 3;
constexpr int kMinimumAgeDays = 320;
constexpr int kMinimumAgeArrows = 321;  // the up-down control beside it
constexpr int kKeepList = 322;
constexpr int kMinimumAgeLabel = 323;  // the labels of the limits, greyed with them
constexpr int kDaysLabel = 324;
constexpr int kKeepListLabel = 325;

// "Journal"
constexpr int kJournalEnabled = 400;
constexpr int kNewEachSearch = 401;
constexpr int kEventFirst = 410;  // one check box per bit: 410 for 1, 411 for 2 ... 414 for 16
constexpr int kEventCount = 5;
constexpr int kLocation = 420;
constexpr int kBrowseLocation = 421;
constexpr int kLocationLabel = 422;  // greyed with the field

// "Recherche personnelle"
constexpr int kTree = 500;
constexpr int kDrives = 501;
constexpr int kAddDrive = 502;
constexpr int kAddFolder = 503;
constexpr int kRemoveNode = 504;
constexpr int kMasks = 510;
constexpr int kMaskText = 511;
constexpr int kRecursive = 512;
constexpr int kAddMask = 513;
constexpr int kEditMask = 514;
constexpr int kRemoveMask = 515;
constexpr int kDefinitionText = 520;

// "Service"
constexpr int kAutoStart = 600;
constexpr int kCleaningType = 601;
constexpr int kEveryInterval = 602;
constexpr int kFreeSpaceThreshold = 603;
constexpr int kEveryLabel = 604;  // the labels around the two numbers, greyed with them
constexpr int kMinutesLabel = 605;
constexpr int kWhenLessLabel = 606;
constexpr int kMiBLabel = 607;
constexpr int kAutomaticState = 608;  // whether automatic cleaning is on
constexpr int kCleaningTypeLabel = 609;

// Pages in tab order.
enum Page { kPageDisplay, kPageCleaning, kPageJournal, kPageSearch, kPageService, kPageCount };

}  // namespace pur::options::ids
