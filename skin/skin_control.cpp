#include "skin/skin_control.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>

bool SkinInputFilter::eventFilter(QObject* watched, QEvent* event) {
  if (active_ && blocked_(event)) return true;
  return QObject::eventFilter(watched, event);
}

void SkinToolTip::SetText(const QString& text, bool activate) {
  hasTool_ = true;
  text_ = text;
  active_ = activate;
}

void SkinToolTip::Activate(bool active) {
  if (hasTool_) active_ = active;
}

QString SkinToolTip::DisplayText() const {
  if (QFontMetrics(QToolTip::font()).horizontalAdvance(text_) <= kMaxTipWidth) return text_;
  return QStringLiteral("<table width=\"%1\"><tr><td>%2</td></tr></table>")
      .arg(kMaxTipWidth)
      .arg(text_.toHtmlEscaped());
}

void SkinToolTip::Show(QWidget* widget, const QHelpEvent* event) const {
  if (hasTool_ && active_ && !text_.isEmpty()) {
    QToolTip::showText(event->globalPos(), DisplayText(), widget, widget->rect());
  } else {
    QToolTip::hideText();
  }
}

bool IsDialogNavigationKey(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  switch (static_cast<const QKeyEvent*>(event)->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return true;
    default:
      return false;
  }
}

bool IsMouseClick(const QEvent* event, Qt::MouseButtons buttons, bool doubleClicksToo) {
  const bool press = event->type() == QEvent::MouseButtonPress;
  const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
  if (!press && !(doubleClicksToo && doubleClick)) return false;
  return (static_cast<const QMouseEvent*>(event)->button() & buttons) != 0;
}
