// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers of the main window's controls. Every control carries the object
// name "id" + its number ("id1000", see ControlName), so these numbers are
// also how tests and probes find a control.
#pragma once

// clang-format off
enum ControlId : int {
  kNoControlId = 0,  // the group boxes, which have no number

  // The dialog's OK button: "Beenden" in the main window, "OK" in the about box.
  kOkButton = 1,

  // Commands
  kLoadLogFileButton = 1000,
  kUpdateDatabaseButton = 1001,
  kReportRunButton = 1002,
  kResetLoadedFilesButton = 1005,
  kRefreshHtmlViewButton = 1007,
  kListPlayersButton = 1018,
  kShowPlayerDetailsButton = 1019,
  kDeleteDatabaseButton = 1020,
  kPickColourButton = 1093,

  // The two views at the top
  kAnimationView = 1003,
  kHtmlView = 1066,

  kStatusLine = 1004,
  kPlayerList = 1006,
  kLoadedFiles = 1022,
  kPickedColour = 1094,

  // The nine database buttons and the note beside each
  kDatabase1Button = 1012, kDatabase2Button = 1033, kDatabase3Button = 1034,
  kDatabase4Button = 1035, kDatabase5Button = 1036, kDatabase6Button = 1037,
  kDatabase7Button = 1038, kDatabase8Button = 1039, kDatabase9Button = 1040,
  kNote1 = 1042, kNote2 = 1043, kNote3 = 1013, kNote4 = 1044, kNote5 = 1045,
  kNote6 = 1046, kNote7 = 1047, kNote8 = 1048, kNote9 = 1049,

  // Player details: one edit field per shown player-file field, each with its label
  kNameEdit = 1024,           kNameLabel = 1078,
  kCtJoinsEdit = 1025,        kCtJoinsLabel = 1079,
  kOtherJoinsEdit = 1026,     kOtherJoinsLabel = 1080,
  kDeathsEdit = 1027,         kDeathsLabel = 1081,
  kKillsEdit = 1029,          kKillsLabel = 1082,
  kHostageTouchedEdit = 1030, kHostageTouchedLabel = 1083,
  kHostageKilledEdit = 1031,  kHostageKilledLabel = 1084,
  kHostageRescuedEdit = 1028, kHostageRescuedLabel = 1085,
  kBombPlantedEdit = 1032,    kBombPlantedLabel = 1086,
  kBombDefusedEdit = 1041,    kBombDefusedLabel = 1087,
  kPlayTimeEdit = 1050,       kPlayTimeLabel = 1088,
  // Kills per weapon, named by the weapon the field counts
  kUspKillsEdit = 1062,       kUspLabel = 1089,
  kGlock18KillsEdit = 1063,   kGlock18Label = 1090,
  kDeagleKillsEdit = 1051,    kDeagleLabel = 1067,
  kMp5NavyKillsEdit = 1052,   kMp5NavyLabel = 1068,
  kMac10KillsEdit = 1053,     kMac10Label = 1069,
  kAk47KillsEdit = 1054,      kAk47Label = 1070,
  kM4a1KillsEdit = 1055,      kM4a1Label = 1071,
  kAugKillsEdit = 1056,       kAugLabel = 1072,    // "steyr aug"
  kAwpKillsEdit = 1057,       kAwpLabel = 1073,    // "awm"
  kSg550KillsEdit = 1058,     kSg550Label = 1074,
  kParaKillsEdit = 1059,      kParaLabel = 1075,
  kKnifeKillsEdit = 1060,     kKnifeLabel = 1076,
  kScoutKillsEdit = 1061,     kScoutLabel = 1077,  // "steyr scout"
  kTmpKillsEdit = 1064,       kTmpLabel = 1091,
  kP90KillsEdit = 1065,       kP90Label = 1092,

  // The twelve colours of the style sheet, each with its label
  kBackgroundColourEdit = 1095,    kBackgroundColourLabel = 1105,    // "Hintergrund"
  kLineColourEdit = 1096,          kLineColourLabel = 1106,          // "Linien"
  kCell1ColourEdit = 1097,         kCell1ColourLabel = 1107,         // "Zelle 1"
  kCell2ColourEdit = 1098,         kCell2ColourLabel = 1108,         // "Zelle 2"
  kCell3ColourEdit = 1099,         kCell3ColourLabel = 1109,         // "Zelle 3"
  kFrameColourEdit = 1100,         kFrameColourLabel = 1110,         // "Rahmen"
  kTextColourEdit = 1101,          kTextColourLabel = 1111,          // "Schrift"
  kHeadingColourEdit = 1102,       kHeadingColourLabel = 1112,       // "Überschrift"
  kLinkColourEdit = 1103,          kLinkColourLabel = 1113,          // "Hyperlink off"
  kCoverColourEdit = 1104,         kCoverColourLabel = 1114,         // "Cover"
  kBarColourEdit = 1115,           kBarColourLabel = 1116,           // "Balken"
  kBarBackgroundColourEdit = 1117, kBarBackgroundColourLabel = 1118, // "Balkengrund"
};
// clang-format on
