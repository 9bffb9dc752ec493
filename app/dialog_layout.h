// SPDX-License-Identifier: GPL-3.0-or-later
// The controls of the main window as tables of places in dialog units, and
// the code that builds them. Every control gets the object name "id" + its
// control number ("id1000"); the five group boxes have no number and are
// named "group1" to "group5".
#pragma once

#include <QString>
#include <map>
#include <span>

#include "app/control_ids.h"

class DialogUnits;
class QWidget;

enum class ControlKind {
  kGroupBox,
  kPushButton,
  kDefaultButton,  // "Beenden": Enter in a single-line field presses it
  kRadioButton,    // drawn as a push button, one exclusive group of nine
  kEdit,           // single-line, bordered, left-aligned
  kCentredEdit,    // the status line
  kMultiLineEdit,  // no border, scroll bars as needed, Enter breaks the line
  kListBox,        // no border, single selection, unsorted
  kLabel,          // left-aligned, transparent over the background
  kAnimationView,
  kHtmlView,
};

struct ControlPlace {
  ControlId id;  // kNoControlId for the group boxes
  ControlKind kind;
  const char* caption;  // UTF-8; nullptr for controls without a caption
  int x, y, width, height;
};

// Template 102: the window's client area in dialog units and its title.
inline constexpr int kDialogWidth = 609;
inline constexpr int kDialogHeight = 422;
inline constexpr char kDialogTitle[] = "Varnokel Stats";

// Every control of the window, group boxes first so that they lie beneath the
// controls drawn inside them.
std::span<const ControlPlace> MainWindowControls();

// Creates every control of `places` as a child of `dialog` at its converted
// place and returns them by control number (group boxes are not returned).
std::map<ControlId, QWidget*> BuildControls(QWidget* dialog, const DialogUnits& units,
                                            std::span<const ControlPlace> places);

// The object name of control `id`.
QString ControlName(ControlId id);
