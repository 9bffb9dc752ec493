#include "app/dialog_layout.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <limits>

#include "app/dialog_units.h"

#include "app/views/shockwave_flash.h"
#include "app/views/web_browser2.h"
#include "skin/skin_static.h"

namespace {

using K = ControlKind;

// clang-format off
constexpr ControlPlace kControls[] = {
  {0, K::kGroupBox, "Logfile - Zwischenspeicher", 15, 69, 95, 150},
  {0, K::kGroupBox, "Datenbank - Resourcen", 114, 69, 197, 150},
  {0, K::kGroupBox, "Datenbank - Konfiguration", 15, 223, 95, 172},
  {0, K::kGroupBox, "Spieler Informationen", 113, 222, 198, 173},
  {0, K::kGroupBox, "HTML - Ausgabe ", 315, 222, 281, 173},

  {1003, K::kFlashView, nullptr, 15, 4, 295, 60},
  {1066, K::kHtmlView, nullptr, 315, 4, 281, 214},

  // Logfile - Zwischenspeicher
  {1000, K::kPushButton, "Logfile auslesen", 21, 80, 83, 15},
  {1005, K::kPushButton, "Logfile reset", 21, 97, 83, 15},
  {1022, K::kMultiLineEdit, nullptr, 21, 114, 83, 99},

  // Datenbank - Resourcen: the nine database buttons, each with its note
  {1012, K::kRadioButton, "Datenbank 1", 126, 82, 57, 10},
  {1033, K::kRadioButton, "Datenbank 2", 126, 97, 57, 10},
  {1034, K::kRadioButton, "Datenbank 3", 126, 112, 57, 10},
  {1035, K::kRadioButton, "Datenbank 4", 126, 126, 57, 10},
  {1036, K::kRadioButton, "Datenbank 5", 125, 141, 57, 10},
  {1037, K::kRadioButton, "Datenbank 6", 126, 156, 57, 10},
  {1038, K::kRadioButton, "Datenbank 7", 126, 171, 57, 10},
  {1039, K::kRadioButton, "Datenbank 8", 126, 186, 57, 10},
  {1040, K::kRadioButton, "Datenbank 9", 126, 201, 57, 10},
  {1042, K::kEdit, nullptr, 205, 78, 94, 15},
  {1043, K::kEdit, nullptr, 205, 93, 94, 15},
  {1013, K::kEdit, nullptr, 205, 107, 94, 15},
  {1044, K::kEdit, nullptr, 205, 122, 94, 15},
  {1045, K::kEdit, nullptr, 205, 136, 94, 16},
  {1046, K::kEdit, nullptr, 205, 152, 94, 14},
  {1047, K::kEdit, nullptr, 205, 166, 94, 16},
  {1048, K::kEdit, nullptr, 205, 182, 94, 15},
  {1049, K::kEdit, nullptr, 205, 197, 94, 16},

  // Datenbank - Konfiguration
  {1001, K::kPushButton, "Datenbank 1 bearbeiten", 20, 234, 85, 15},
  {1020, K::kPushButton, "Datenbank 1 l\u00f6schen", 20, 251, 85, 15},
  {1018, K::kPushButton, "Datenbank 1 anschauen", 20, 268, 85, 15},
  {1019, K::kPushButton, "Spielerdaten auslesen", 20, 286, 85, 15},
  {1006, K::kListBox, nullptr, 20, 305, 85, 83},

  // Spieler Informationen: labels 8 high, edits 12 high
  {1078, K::kLabel, "Name:", 116, 234, 22, 8},           {1024, K::kEdit, nullptr, 137, 232, 64, 12},
  {1079, K::kLabel, "CT join", 116, 246, 23, 8},         {1025, K::kEdit, nullptr, 163, 244, 38, 12},
  {1080, K::kLabel, "Terror join", 116, 258, 32, 8},     {1026, K::kEdit, nullptr, 163, 256, 38, 12},
  {1081, K::kLabel, "Death", 116, 270, 20, 8},           {1027, K::kEdit, nullptr, 163, 268, 38, 12},
  {1082, K::kLabel, "Kills", 116, 283, 13, 8},           {1029, K::kEdit, nullptr, 163, 280, 38, 12},
  {1083, K::kLabel, "Geisel angesp.", 116, 295, 48, 8},  {1030, K::kEdit, nullptr, 163, 292, 38, 12},
  {1084, K::kLabel, "Geisel get\u00f6tet", 116, 306, 44, 8}, {1031, K::kEdit, nullptr, 163, 304, 38, 12},
  {1085, K::kLabel, "Geisel gerettet", 116, 318, 46, 8}, {1028, K::kEdit, nullptr, 163, 316, 38, 12},
  {1086, K::kLabel, "Bombe gelegt", 116, 330, 44, 8},    {1032, K::kEdit, nullptr, 163, 328, 38, 12},
  {1087, K::kLabel, "Bombe entsch.", 116, 343, 48, 8},   {1041, K::kEdit, nullptr, 163, 340, 38, 12},
  {1088, K::kLabel, "Zeit in sec", 116, 355, 34, 8},     {1050, K::kEdit, nullptr, 163, 352, 38, 12},
  {1089, K::kLabel, "usp", 116, 367, 12, 8},             {1062, K::kEdit, nullptr, 163, 364, 38, 12},
  {1090, K::kLabel, "glock 18", 116, 379, 28, 8},        {1063, K::kEdit, nullptr, 163, 376, 38, 12},
  {1067, K::kLabel, "desert eagle", 205, 234, 40, 8},    {1051, K::kEdit, nullptr, 254, 232, 38, 12},
  {1068, K::kLabel, "mp5 navy", 205, 246, 32, 8},        {1052, K::kEdit, nullptr, 254, 244, 38, 12},
  {1069, K::kLabel, "mac 10", 205, 258, 24, 8},          {1053, K::kEdit, nullptr, 254, 256, 38, 12},
  {1070, K::kLabel, "ak47", 205, 270, 17, 8},            {1054, K::kEdit, nullptr, 254, 268, 38, 12},
  {1071, K::kLabel, "m4a1", 205, 283, 18, 8},            {1055, K::kEdit, nullptr, 254, 280, 38, 12},
  {1072, K::kLabel, "steyr aug", 205, 295, 30, 8},       {1056, K::kEdit, nullptr, 254, 292, 38, 12},
  {1073, K::kLabel, "awm", 205, 307, 16, 8},             {1057, K::kEdit, nullptr, 254, 304, 38, 12},
  {1074, K::kLabel, "sg 550", 205, 318, 22, 8},          {1058, K::kEdit, nullptr, 254, 316, 38, 12},
  {1075, K::kLabel, "para", 205, 331, 15, 8},            {1059, K::kEdit, nullptr, 254, 328, 38, 12},
  {1076, K::kLabel, "knife", 205, 343, 16, 8},           {1060, K::kEdit, nullptr, 254, 340, 38, 12},
  {1077, K::kLabel, "steyr scout", 205, 355, 35, 8},     {1061, K::kEdit, nullptr, 254, 352, 38, 12},
  {1091, K::kLabel, "tmp", 206, 366, 12, 8},             {1064, K::kEdit, nullptr, 254, 364, 38, 12},
  {1092, K::kLabel, "p90", 206, 378, 13, 8},             {1065, K::kEdit, nullptr, 254, 376, 38, 12},

  // HTML - Ausgabe: colour picker, the twelve colours, the closing buttons
  {1093, K::kPushButton, "RGB Farbwerte", 323, 233, 55, 17},
  {1094, K::kEdit, nullptr, 383, 233, 55, 17},
  {1110, K::kLabel, "Rahmen", 331, 258, 28, 8},          {1100, K::kEdit, nullptr, 383, 252, 55, 17},
  {1105, K::kLabel, "Hintergrund", 331, 276, 38, 8},     {1095, K::kEdit, nullptr, 383, 271, 55, 17},
  {1106, K::kLabel, "Linien", 331, 295, 20, 8},          {1096, K::kEdit, nullptr, 383, 290, 55, 17},
  {1107, K::kLabel, "Zelle 1", 331, 314, 22, 8},         {1097, K::kEdit, nullptr, 383, 310, 55, 17},
  {1108, K::kLabel, "Zelle 2", 331, 334, 22, 8},         {1098, K::kEdit, nullptr, 383, 329, 55, 17},
  {1109, K::kLabel, "Zelle 3", 331, 353, 22, 8},         {1099, K::kEdit, nullptr, 383, 348, 55, 17},
  {1111, K::kLabel, "Schrift", 449, 258, 21, 8},         {1101, K::kEdit, nullptr, 501, 252, 55, 17},
  {1112, K::kLabel, "\u00dcberschrift", 449, 277, 35, 8}, {1102, K::kEdit, nullptr, 501, 271, 55, 17},
  {1113, K::kLabel, "Hyperlink off", 449, 296, 40, 8},   {1103, K::kEdit, nullptr, 501, 291, 55, 17},
  {1114, K::kLabel, "Cover", 449, 316, 20, 8},           {1104, K::kEdit, nullptr, 501, 310, 55, 17},
  {1118, K::kLabel, "Balkengrund", 449, 335, 41, 8},     {1117, K::kEdit, nullptr, 501, 329, 55, 17},
  {1116, K::kLabel, "Balken", 449, 353, 23, 8},          {1115, K::kEdit, nullptr, 501, 349, 55, 17},
  {1, K::kDefaultButton, "Beenden", 325, 372, 77, 18},
  {1002, K::kPushButton, "Datenbank 1 zu HTML", 405, 372, 77, 18},
  {1007, K::kPushButton, "HTML Ansicht aktualisieren", 485, 372, 93, 18},

  {1004, K::kCentredEdit, nullptr, 7, 401, 595, 14},
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
    case K::kFlashView:
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

QString ControlName(int id) {
  return QStringLiteral("id%1").arg(id);
}

std::map<int, QWidget*> BuildControls(QWidget* dialog, const DialogUnits& units,
                                      std::span<const ControlPlace> places) {
  std::map<int, QWidget*> controls;
  int group = 0;
  for (const ControlPlace& place : places) {
    QWidget* control = CreateControl(place, dialog);
    control->setGeometry(units.ToPixels(place.x, place.y, place.width, place.height));
    if (place.id == 0) {
      control->setObjectName(QStringLiteral("group%1").arg(++group));
    } else {
      control->setObjectName(ControlName(place.id));
      controls[place.id] = control;
    }
  }
  return controls;
}
