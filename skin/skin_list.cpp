#include "skin/skin_list.h"

bool IsListInput(const QEvent* event) {
  return (event->type() == QEvent::KeyPress && !IsDialogNavigationKey(event)) ||
         IsMouseClick(event, Qt::LeftButton | Qt::RightButton, true);
}

CSkinListBox::CSkinListBox(QWidget* parent) : CSkinControl<QListWidget>(parent) {}

bool CSkinListBox::SetEditable(bool editable) {
  return SetEditableFor(editable, {viewport()}, IsListInput);
}

void CSkinListBox::ApplyColors() {
  QPalette colors = palette();
  colors.setColor(QPalette::Base, backColor_);
  colors.setColor(QPalette::Text, foreColor_);
  setPalette(colors);
}

CSkinListCtrl::CSkinListCtrl(QWidget* parent) : CSkinControl<QTreeWidget>(parent) {
  setRootIsDecorated(false);
}

bool CSkinListCtrl::SetEditable(bool editable) {
  return SetEditableFor(editable, {viewport()}, IsListInput);
}

void CSkinListCtrl::ApplyColors() {
  QPalette colors = palette();
  colors.setColor(QPalette::Base, backColor_);
  colors.setColor(QPalette::AlternateBase, backColor_);
  colors.setColor(QPalette::Text, foreColor_);
  setPalette(colors);
}
