#include "skin/skin_edit.h"

#include <QKeyEvent>
#include <clocale>
#include <cstdio>
#include <cstdlib>

CSkinEdit::CSkinEdit(QWidget* parent)
    : CSkinControl<QLineEdit>(parent), focusBackColor_(backColor_), focusForeColor_(foreColor_) {}

void CSkinEdit::SetFocusBackColor(const QColor& color) {
  focusBackColor_ = color;
  ApplyColors();
  update();
}

bool CSkinEdit::GetFocusBackColor(QColor& color) const {
  color = focusBackColor_;
  return true;
}

void CSkinEdit::SetFocusForeColor(const QColor& color) {
  focusForeColor_ = color;
  ApplyColors();
  update();
}

bool CSkinEdit::GetFocusForeColor(QColor& color) const {
  color = focusForeColor_;
  return true;
}

bool CSkinEdit::SetEditable(bool editable) {
  return SetEditableFor(editable, {}, [](const QEvent* event) {
    switch (event->type()) {
      case QEvent::KeyPress:
        return !IsDialogNavigationKey(event);
      case QEvent::InputMethod:
      case QEvent::ContextMenu:
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop:
        return true;
      default:
        return IsMouseClick(event, Qt::RightButton | Qt::MiddleButton, false);
    }
  });
}

void CSkinEdit::ApplyColors() {
  QPalette colors = palette();
  colors.setColor(QPalette::Base, focused_ ? focusBackColor_ : backColor_);
  colors.setColor(QPalette::Text, focused_ ? focusForeColor_ : foreColor_);
  setPalette(colors);
}

void CSkinEdit::focusInEvent(QFocusEvent* event) {
  focused_ = true;
  ApplyColors();
  update();
  QLineEdit::focusInEvent(event);
}

void CSkinEdit::focusOutEvent(QFocusEvent* event) {
  focused_ = false;
  ApplyColors();
  update();
  QLineEdit::focusOutEvent(event);
}

CSkinNumEdit::CSkinNumEdit(QWidget* parent) : CSkinEdit(parent) {}

QString CSkinNumEdit::DecimalSeparator() {
  const std::lconv* conventions = std::localeconv();
  return QString::fromLocal8Bit(conventions->decimal_point);
}

QString CSkinNumEdit::FormatNumber(const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", std::strtod(bytes.constData(), nullptr));
  return QString::fromLocal8Bit(buffer);
}

void CSkinNumEdit::keyPressEvent(QKeyEvent* event) {
  const QString typed = event->text();
  // Keys without text (arrows, Delete) and control characters other than
  // backspace (copy, paste, undo) are not typed characters.
  if (typed.isEmpty() || (typed.size() == 1 && typed[0].isNull()) ||
      (typed[0].unicode() < 0x20 && typed[0] != QLatin1Char('\b'))) {
    CSkinEdit::keyPressEvent(event);
    return;
  }
  const QString separator = DecimalSeparator();
  QString accepted;
  for (const QChar c : typed) {
    if (c == QLatin1Char('.') && separator != QLatin1String(".")) {
      accepted += separator;
    } else if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') ||
               c == QLatin1Char('-') || c == QLatin1Char('.') || c == QLatin1Char('e') ||
               c == QLatin1Char('E') || c == QLatin1Char('\b') || separator == QString(c)) {
      accepted += c;
    }
  }
  if (accepted == typed) {
    CSkinEdit::keyPressEvent(event);
  } else if (!accepted.isEmpty()) {
    QKeyEvent replaced(QEvent::KeyPress, Qt::Key_unknown, event->modifiers(), accepted);
    CSkinEdit::keyPressEvent(&replaced);
  }
  event->accept();
}

void CSkinNumEdit::focusOutEvent(QFocusEvent* event) {
  if (formatOnLeave_ && !text().isEmpty()) setText(FormatNumber(text()));
  CSkinEdit::focusOutEvent(event);
}
