#include "app/dialog_layout.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <limits>

#include "app/dialog_units.h"

#include "app/views/animation_view.h"
#include "app/views/html_view.h"
#include "skin/skin_static.h"

namespace {

using K = ControlKind;

// clang-format off
constexpr ControlPlace kControls[] = {
  {kNoControlId, K::kGroupBox, "Logfile - Zwischenspeicher", 15, 69, 95, 150},
  {kNoControlId, K::kGroupBox, "Datenbank - Resourcen", 114, 69, 197, 150},
  {kNoControlId, K::kGroupBox, "Datenbank - Konfiguration", 15, 223, 95, 172},
  {kNoControlId, K::kGroupBox, "Spieler Informationen", 113, 222, 198, 173},
  {kNoControlId, K::kGroupBox, "HTML - Ausgabe ", 315, 222, 281, 173},

  {kAnimationView, K::kAnimationView, nullptr, 15, 4, 295, 60},
  {kHtmlView, K::kHtmlView, nullptr, 315, 4, 281, 214},

  // Logfile - Zwischenspeicher
  {kLoadLogFileButton, K::kPushButton, "Logfile auslesen", 21, 80, 83, 15},
  {kResetLoadedFilesButton, K::kPushButton, "Logfile reset", 21, 97, 83, 15},
  {kLoadedFiles, K::kMultiLineEdit, nullptr, 21, 114, 83, 99},

  // Datenbank - Resourcen: the nine database buttons, each with its note
  {kDatabase1Button, K::kRadioButton, "Datenbank 1", 126, 82, 57, 10},
  {kDatabase2Button, K::kRadioButton, "Datenbank 2", 126, 97, 57, 10},
  {kDatabase3Button, K::kRadioButton, "Datenbank 3", 126, 112, 57, 10},
  {kDatabase4Button, K::kRadioButton, "Datenbank 4", 126, 126, 57, 10},
  {kDatabase5Button, K::kRadioButton, "Datenbank 5", 125, 141, 57, 10},
  {kDatabase6Button, K::kRadioButton, "Datenbank 6", 126, 156, 57, 10},
  {kDatabase7Button, K::kRadioButton, "Datenbank 7", 126, 171, 57, 10},
  {kDatabase8Button, K::kRadioButton, "Datenbank 8", 126, 186, 57, 10},
  {kDatabase9Button, K::kRadioButton, "Datenbank 9", 126, 201, 57, 10},
  {kNote1, K::kEdit, nullptr, 205, 78, 94, 15},
  {kNote2, K::kEdit, nullptr, 205, 93, 94, 15},
  {kNote3, K::kEdit, nullptr, 205, 107, 94, 15},
  {kNote4, K::kEdit, nullptr, 205, 122, 94, 15},
  {kNote5, K::kEdit, nullptr, 205, 136, 94, 16},
  {kNote6, K::kEdit, nullptr, 205, 152, 94, 14},
  {kNote7, K::kEdit, nullptr, 205, 166, 94, 16},
  {kNote8, K::kEdit, nullptr, 205, 182, 94, 15},
  {kNote9, K::kEdit, nullptr, 205, 197, 94, 16},

  // Datenbank - Konfiguration
  {kUpdateDatabaseButton, K::kPushButton, "Datenbank 1 bearbeiten", 20, 234, 85, 15},
  {kDeleteDatabaseButton, K::kPushButton, "Datenbank 1 l\u00f6schen", 20, 251, 85, 15},
  {kListPlayersButton, K::kPushButton, "Datenbank 1 anschauen", 20, 268, 85, 15},
  {kShowPlayerDetailsButton, K::kPushButton, "Spielerdaten auslesen", 20, 286, 85, 15},
  {kPlayerList, K::kListBox, nullptr, 20, 305, 85, 83},

  // Spieler Informationen: labels 8 high, edits 12 high
  {kNameLabel, K::kLabel, "Name:", 116, 234, 22, 8},                        {kNameEdit, K::kEdit, nullptr, 137, 232, 64, 12},
  {kCtJoinsLabel, K::kLabel, "CT join", 116, 246, 23, 8},                   {kCtJoinsEdit, K::kEdit, nullptr, 163, 244, 38, 12},
  {kOtherJoinsLabel, K::kLabel, "Terror join", 116, 258, 32, 8},            {kOtherJoinsEdit, K::kEdit, nullptr, 163, 256, 38, 12},
  {kDeathsLabel, K::kLabel, "Death", 116, 270, 20, 8},                      {kDeathsEdit, K::kEdit, nullptr, 163, 268, 38, 12},
  {kKillsLabel, K::kLabel, "Kills", 116, 283, 13, 8},                       {kKillsEdit, K::kEdit, nullptr, 163, 280, 38, 12},
  {kHostageTouchedLabel, K::kLabel, "Geisel angesp.", 116, 295, 48, 8},     {kHostageTouchedEdit, K::kEdit, nullptr, 163, 292, 38, 12},
  {kHostageKilledLabel, K::kLabel, "Geisel get\u00f6tet", 116, 306, 44, 8}, {kHostageKilledEdit, K::kEdit, nullptr, 163, 304, 38, 12},
  {kHostageRescuedLabel, K::kLabel, "Geisel gerettet", 116, 318, 46, 8},    {kHostageRescuedEdit, K::kEdit, nullptr, 163, 316, 38, 12},
  {kBombPlantedLabel, K::kLabel, "Bombe gelegt", 116, 330, 44, 8},          {kBombPlantedEdit, K::kEdit, nullptr, 163, 328, 38, 12},
  {kBombDefusedLabel, K::kLabel, "Bombe entsch.", 116, 343, 48, 8},         {kBombDefusedEdit, K::kEdit, nullptr, 163, 340, 38, 12},
  {kPlayTimeLabel, K::kLabel, "Zeit in sec", 116, 355, 34, 8},              {kPlayTimeEdit, K::kEdit, nullptr, 163, 352, 38, 12},
  {kUspLabel, K::kLabel, "usp", 116, 367, 12, 8},                           {kUspKillsEdit, K::kEdit, nullptr, 163, 364, 38, 12},
  {kGlock18Label, K::kLabel, "glock 18", 116, 379, 28, 8},                  {kGlock18KillsEdit, K::kEdit, nullptr, 163, 376, 38, 12},
  {kDeagleLabel, K::kLabel, "desert eagle", 205, 234, 40, 8},               {kDeagleKillsEdit, K::kEdit, nullptr, 254, 232, 38, 12},
  {kMp5NavyLabel, K::kLabel, "mp5 navy", 205, 246, 32, 8},                  {kMp5NavyKillsEdit, K::kEdit, nullptr, 254, 244, 38, 12},
  {kMac10Label, K::kLabel, "mac 10", 205, 258, 24, 8},                      {kMac10KillsEdit, K::kEdit, nullptr, 254, 256, 38, 12},
  {kAk47Label, K::kLabel, "ak47", 205, 270, 17, 8},                         {kAk47KillsEdit, K::kEdit, nullptr, 254, 268, 38, 12},
  {kM4a1Label, K::kLabel, "m4a1", 205, 283, 18, 8},                         {kM4a1KillsEdit, K::kEdit, nullptr, 254, 280, 38, 12},
  {kAugLabel, K::kLabel, "steyr aug", 205, 295, 30, 8},                     {kAugKillsEdit, K::kEdit, nullptr, 254, 292, 38, 12},
  {kAwpLabel, K::kLabel, "awm", 205, 307, 16, 8},                           {kAwpKillsEdit, K::kEdit, nullptr, 254, 304, 38, 12},
  {kSg550Label, K::kLabel, "sg 550", 205, 318, 22, 8},                      {kSg550KillsEdit, K::kEdit, nullptr, 254, 316, 38, 12},
  {kParaLabel, K::kLabel, "para", 205, 331, 15, 8},                         {kParaKillsEdit, K::kEdit, nullptr, 254, 328, 38, 12},
  {kKnifeLabel, K::kLabel, "knife", 205, 343, 16, 8},                       {kKnifeKillsEdit, K::kEdit, nullptr, 254, 340, 38, 12},
  {kScoutLabel, K::kLabel, "steyr scout", 205, 355, 35, 8},                 {kScoutKillsEdit, K::kEdit, nullptr, 254, 352, 38, 12},
  {kTmpLabel, K::kLabel, "tmp", 206, 366, 12, 8},                           {kTmpKillsEdit, K::kEdit, nullptr, 254, 364, 38, 12},
  {kP90Label, K::kLabel, "p90", 206, 378, 13, 8},                           {kP90KillsEdit, K::kEdit, nullptr, 254, 376, 38, 12},

  // HTML - Ausgabe: colour picker, the twelve colours, the closing buttons
  {kPickColourButton, K::kPushButton, "RGB Farbwerte", 323, 233, 55, 17},
  {kPickedColour, K::kEdit, nullptr, 383, 233, 55, 17},
  {kFrameColourLabel, K::kLabel, "Rahmen", 331, 258, 28, 8},                {kFrameColourEdit, K::kEdit, nullptr, 383, 252, 55, 17},
  {kBackgroundColourLabel, K::kLabel, "Hintergrund", 331, 276, 38, 8},      {kBackgroundColourEdit, K::kEdit, nullptr, 383, 271, 55, 17},
  {kLineColourLabel, K::kLabel, "Linien", 331, 295, 20, 8},                 {kLineColourEdit, K::kEdit, nullptr, 383, 290, 55, 17},
  {kCell1ColourLabel, K::kLabel, "Zelle 1", 331, 314, 22, 8},               {kCell1ColourEdit, K::kEdit, nullptr, 383, 310, 55, 17},
  {kCell2ColourLabel, K::kLabel, "Zelle 2", 331, 334, 22, 8},               {kCell2ColourEdit, K::kEdit, nullptr, 383, 329, 55, 17},
  {kCell3ColourLabel, K::kLabel, "Zelle 3", 331, 353, 22, 8},               {kCell3ColourEdit, K::kEdit, nullptr, 383, 348, 55, 17},
  {kTextColourLabel, K::kLabel, "Schrift", 449, 258, 21, 8},                {kTextColourEdit, K::kEdit, nullptr, 501, 252, 55, 17},
  {kHeadingColourLabel, K::kLabel, "\u00dcberschrift", 449, 277, 35, 8},    {kHeadingColourEdit, K::kEdit, nullptr, 501, 271, 55, 17},
  {kLinkColourLabel, K::kLabel, "Hyperlink off", 449, 296, 40, 8},          {kLinkColourEdit, K::kEdit, nullptr, 501, 291, 55, 17},
  {kCoverColourLabel, K::kLabel, "Cover", 449, 316, 20, 8},                 {kCoverColourEdit, K::kEdit, nullptr, 501, 310, 55, 17},
  {kBarBackgroundColourLabel, K::kLabel, "Balkengrund", 449, 335, 41, 8},   {kBarBackgroundColourEdit, K::kEdit, nullptr, 501, 329, 55, 17},
  {kBarColourLabel, K::kLabel, "Balken", 449, 353, 23, 8},                  {kBarColourEdit, K::kEdit, nullptr, 501, 349, 55, 17},
  {kOkButton, K::kDefaultButton, "Beenden", 325, 372, 77, 18},
  {kReportRunButton, K::kPushButton, "Datenbank 1 zu HTML", 405, 372, 77, 18},
  {kRefreshHtmlViewButton, K::kPushButton, "HTML Ansicht aktualisieren", 485, 372, 93, 18},

  {kStatusLine, K::kCentredEdit, nullptr, 7, 401, 595, 14},
};
// clang-format on

QWidget* CreateControl(const ControlPlace& place, QWidget* parent) {
  const QString caption = place.caption ? QString::fromUtf8(place.caption) : QString();
  switch (place.kind) {
    case K::kGroupBox:
      return new QGroupBox(caption, parent);
    case K::kPushButton:
    case K::kDefaultButton: {
      auto* button = new QPushButton(caption, parent);
      button->setDefault(place.kind == K::kDefaultButton);
      return button;
    }
    case K::kRadioButton: {
      // Checkable and exclusive among its siblings, none pressed until the
      // user picks one; Enter on it goes to the default button.
      auto* button = new QPushButton(caption, parent);
      button->setCheckable(true);
      button->setAutoExclusive(true);
      button->setAutoDefault(false);
      return button;
    }
    case K::kEdit:
    case K::kCentredEdit: {
      auto* edit = new QLineEdit(parent);
      edit->setMaxLength(std::numeric_limits<int>::max());  // texts have no length limit
      if (place.kind == K::kCentredEdit) edit->setAlignment(Qt::AlignCenter);
      return edit;
    }
    case K::kMultiLineEdit: {
      auto* edit = new QPlainTextEdit(parent);
      edit->setFrameShape(QFrame::NoFrame);
      edit->setLineWrapMode(QPlainTextEdit::NoWrap);
      edit->setTabChangesFocus(true);
      return edit;
    }
    case K::kListBox: {
      auto* list = new QListWidget(parent);
      list->setFrameShape(QFrame::NoFrame);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      list->setSortingEnabled(false);
      return list;
    }
    case K::kLabel: {
      auto* label = new CSkinStatic(parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setText(caption);
      return label;
    }
    case K::kAnimationView:
      return new CShockwaveFlash(parent);
    case K::kHtmlView:
      return new CWebBrowser2(parent);
  }
  return new QWidget(parent);
}

}  // namespace

std::span<const ControlPlace> MainWindowControls() {
  return kControls;
}

QString ControlName(ControlId id) {
  return QStringLiteral("id%1").arg(id);
}

std::map<ControlId, QWidget*> BuildControls(QWidget* dialog, const DialogUnits& units,
                                            std::span<const ControlPlace> places) {
  std::map<ControlId, QWidget*> controls;
  int group = 0;
  for (const ControlPlace& place : places) {
    QWidget* control = CreateControl(place, dialog);
    control->setGeometry(units.ToPixels(place.x, place.y, place.width, place.height));
    if (place.id == kNoControlId) {
      control->setObjectName(QStringLiteral("group%1").arg(++group));
    } else {
      control->setObjectName(ControlName(place.id));
      controls[place.id] = control;
    }
  }
  return controls;
}
