#include "app/about_box.h"

#include <QLabel>
#include <QPushButton>

#include "app/app_icon.h"
#include "app/dialog_layout.h"
#include "app/dialog_units.h"

CAboutBox::CAboutBox(const QFont& font, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8("Info \u00fcber varnokel"));
  setFont(font);
  const DialogUnits units(font);
  setFixedSize(units.ToPixelsX(235), units.ToPixelsY(55));

  const QRect icon_place = units.ToPixels(11, 17, 0, 0);
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("icon"));
  icon->setPixmap(AppIcon().pixmap(32, 32));
  icon->setGeometry(icon_place.x(), icon_place.y(), 32, 32);

  auto* name = new QLabel(QStringLiteral("varnokel Version 1.0"), this);
  name->setObjectName(QStringLiteral("version"));
  name->setGeometry(units.ToPixels(40, 10, 119, 8));

  auto* about = new QLabel(QString::fromUtf8("Statistiken f\u00fcr den Spielserver"), this);
  about->setObjectName(QStringLiteral("about"));
  about->setGeometry(units.ToPixels(40, 25, 119, 8));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(ControlName(kOkButton));
  ok->setDefault(true);
  ok->setGeometry(units.ToPixels(178, 7, 50, 14));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
