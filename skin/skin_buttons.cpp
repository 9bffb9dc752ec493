#include "skin/skin_buttons.h"

#include <QAbstractItemView>
#include <QLineEdit>

CSkinCheckBox::CSkinCheckBox(QWidget* parent) : CSkinControl<QCheckBox>(parent) {}

CSkinCheckBox::CSkinCheckBox(const QString& text, QWidget* parent)
    : CSkinControl<QCheckBox>(parent) {
  setText(text);
}

void CSkinCheckBox::SetTransparent(bool transparent) {
  transparent_ = transparent;
  ApplyColors();
  update();
}

bool CSkinCheckBox::SetEditable(bool editable) {
  return SetEditableFor(editable, {}, [](const QEvent* event) {
    return (event->type() == QEvent::KeyPress && !IsDialogNavigationKey(event)) ||
           IsMouseClick(event, Qt::LeftButton, true);
  });
}

void CSkinCheckBox::ApplyColors() {
  QPalette colors = palette();
  colors.setColor(QPalette::WindowText, foreColor_);
  colors.setColor(QPalette::ButtonText, foreColor_);
  colors.setColor(QPalette::Window, backColor_);
  setPalette(colors);
  setAutoFillBackground(!transparent_);
}

CSkinComboBox::CSkinComboBox(QWidget* parent) : CSkinControl<QComboBox>(parent) {}

bool CSkinComboBox::SetEditable(bool editable) {
  return SetEditableFor(editable, {lineEdit()}, [](const QEvent* event) {
    return (event->type() == QEvent::KeyPress && !IsDialogNavigationKey(event)) ||
           event->type() == QEvent::Wheel || IsMouseClick(event, Qt::LeftButton, true);
  });
}

void CSkinComboBox::ApplyColors() {
  QPalette colors = palette();
  for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button, QPalette::Window}) {
    colors.setColor(role, backColor_);
  }
  for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText}) {
    colors.setColor(role, foreColor_);
  }
  setPalette(colors);
  if (lineEdit() != nullptr) lineEdit()->setPalette(colors);
  view()->setPalette(colors);
}
