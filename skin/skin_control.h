// SPDX-License-Identifier: GPL-3.0-or-later
// What every skinned control shares: its two colours, the transparent
// switch, the font operations, one tooltip of its own and the read-only
// switch that drops the user's input while the program can still change the
// control. Each control derives from CSkinControl<its Qt class>.
#pragma once

#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QHelpEvent>
#include <QObject>
#include <QPalette>
#include <QString>
#include <QToolTip>
#include <QWidget>
#include <functional>

#include "skin/logical_font.h"

// Drops the events a predicate names before they reach a widget.
class SkinInputFilter : public QObject {
 public:
  using Predicate = std::function<bool(const QEvent*)>;

  SkinInputFilter(QObject* parent, Predicate blocked)
      : QObject(parent), blocked_(std::move(blocked)) {}
  void SetActive(bool active) { active_ = active; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Predicate blocked_;
  bool active_ = false;
};

// The tooltip of one control: at most one tool, whose text is the last one
// set, shown only while active. Tips wider than 400 pixels wrap.
class SkinToolTip {
 public:
  static constexpr int kMaxTipWidth = 400;

  void SetText(const QString& text, bool activate);
  void Activate(bool active);
  bool HasTool() const { return hasTool_; }
  bool IsActive() const { return active_; }
  const QString& Text() const { return text_; }
  // Answers a QEvent::ToolTip for `widget`.
  void Show(QWidget* widget, const QHelpEvent* event) const;
  // The text as shown: plain, or wrapped at kMaxTipWidth when wider.
  QString DisplayText() const;

 private:
  QString text_;
  bool hasTool_ = false;
  bool active_ = true;
};

// Keys that move between a dialog's controls or close it: they reach the
// dialog even while a control ignores the user.
bool IsDialogNavigationKey(const QEvent* event);
// True for a mouse press or double-click of one of `buttons`.
bool IsMouseClick(const QEvent* event, Qt::MouseButtons buttons, bool doubleClicksToo);

template <class Base>
class CSkinControl : public Base {
 public:
  explicit CSkinControl(QWidget* parent = nullptr) : Base(parent) {
    backColor_ = QApplication::palette().color(QPalette::Active, QPalette::Window);
    foreColor_ = QApplication::palette().color(QPalette::Active, QPalette::WindowText);
  }

  void SetBackColor(const QColor& color) {
    backColor_ = color;
    ApplyColors();
    this->update();
  }
  bool GetBackColor(QColor& color) const {
    color = backColor_;
    return true;
  }
  void SetForeColor(const QColor& color) {
    foreColor_ = color;
    ApplyColors();
    this->update();
  }
  bool GetForeColor(QColor& color) const {
    color = foreColor_;
    return true;
  }

  void SetFontAttributes(const QString& faceName, int pointSize, bool bold, bool italic) {
    LogicalFont logical;
    logical.height = HeightFromPointSize(pointSize, this->logicalDpiY());
    logical.weight = bold ? LogicalFont::kWeightBold : 0;
    logical.italic = italic ? 1 : 0;
    logical.charSet = LogicalFont::kDefaultCharSet;
    logical.SetFaceName(faceName);
    SetFontLogical(logical);
  }
  void SetFontLogical(const LogicalFont& logical) {
    logicalFont_ = logical;
    hasLogicalFont_ = true;
    this->setFont(FontFromLogical(logical, QApplication::font(this)));
    this->update();
  }
  // The description of the current font (at first the one the control
  // inherits from its dialog).
  void GetFontLogical(LogicalFont& logical) const {
    logical = hasLogicalFont_ ? logicalFont_ : LogicalFromFont(this->font(), this->logicalDpiY());
  }
  void SetFontBold(bool bold) {
    ChangeFont([&](LogicalFont& f) { f.weight = bold ? LogicalFont::kWeightBold : 0; });
  }
  void SetFontItalic(bool italic) {
    ChangeFont([&](LogicalFont& f) { f.italic = italic ? 1 : 0; });
  }
  void SetFontSize(int pointSize) {
    ChangeFont([&](LogicalFont& f) {
      f.height = HeightFromPointSize(pointSize, this->logicalDpiY());
      f.width = 0;
    });
  }
  void SetFontFace(const QString& faceName) {
    ChangeFont([&](LogicalFont& f) { f.SetFaceName(faceName); });
  }
  // Degrees counter-clockwise; stored as tenths of a degree.
  void SetFontRotation(int degrees) {
    ChangeFont([&](LogicalFont& f) { f.escapement = f.orientation = degrees * 10; });
  }

  void SetToolTipText(const QString& text, bool activate = true) {
    toolTip_.SetText(text, activate);
  }
  void ActivateToolTip(bool active) { toolTip_.Activate(active); }
  const SkinToolTip& ToolTip() const { return toolTip_; }

 protected:
  // Hands the colours to the control's palette; each control knows its roles.
  virtual void ApplyColors() = 0;

  bool event(QEvent* event) override {
    if (event->type() == QEvent::ToolTip) {
      toolTip_.Show(this, static_cast<QHelpEvent*>(event));
      return true;
    }
    return Base::event(event);
  }

  // Installs the read-only filter on the control and `targets`, dropping
  // `blocked` events while not editable.
  bool SetEditableFor(bool editable, std::initializer_list<QObject*> targets,
                      SkinInputFilter::Predicate blocked) {
    if (inputFilter_ == nullptr) inputFilter_ = new SkinInputFilter(this, std::move(blocked));
    this->installEventFilter(inputFilter_);
    for (QObject* target : targets) {
      if (target != nullptr) target->installEventFilter(inputFilter_);
    }
    inputFilter_->SetActive(!editable);
    editable_ = editable;
    return true;
  }
  bool IsEditable() const { return editable_; }

  QColor backColor_;
  QColor foreColor_;
  LogicalFont logicalFont_;
  bool hasLogicalFont_ = false;

 private:
  template <class Change>
  void ChangeFont(Change change) {
    LogicalFont logical;
    GetFontLogical(logical);
    change(logical);
    SetFontLogical(logical);
  }

  SkinToolTip toolTip_;
  SkinInputFilter* inputFilter_ = nullptr;
  bool editable_ = true;
};
