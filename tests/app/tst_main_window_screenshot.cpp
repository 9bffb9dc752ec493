// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as the user first sees it, grabbed after start-up with
// sample notes and colours: every control is there, shows its caption, lies
// inside the window and has something drawn in its place.
#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include "app/dialog_layout.h"
#include "app/varnokel_dlg.h"
#include "app_test_support.h"
#include "db/process_values.h"

namespace {

// More than one colour inside `rect` of `image`: something was drawn there.
bool HasDrawing(const QImage& image, const QRect& rect) {
  QSet<QRgb> colours;
  const QRect inside = rect.intersected(image.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) {
      colours.insert(image.pixel(x, y));
      if (colours.size() > 1) return true;
    }
  }
  return false;
}

}  // namespace

class TestMainWindowScreenshot : public QObject {
  Q_OBJECT
 private slots:
  void grabbedWindowShowsEveryControlWithItsCaption() {
    TestProgramFolder folder;
    folder.Write("buffer.no", "Clan-Abend\r\nTurnier\r\n\r\n\r\n\r\n\r\n\r\n\r\nTest\r\n");
    folder.Write("color.no",
                 "#ffffff\r\n#000000\r\n#e0e0e0\r\n#c0c0c0\r\n#a0a0a0\r\n#404040\r\n"
                 "#000000\r\n#800000\r\n#000080\r\n#ff0000\r\n#00ff00\r\n#008000");
    varnokel::ProcessValues values;
    CVarnokelDlg dlg(values, folder.path());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QImage shot = dlg.grab().toImage();
    QCOMPARE(shot.size() / shot.devicePixelRatio(), dlg.size());
    if (!qEnvironmentVariableIsEmpty("VARNOKEL_SCREENSHOT"))
      shot.save(qEnvironmentVariable("VARNOKEL_SCREENSHOT"));

    // The window holds its whole layout: 609 x 422 dialog units.
    const QRect window = dlg.rect();
    int groups = 0, labels = 0, buttons = 0, edits = 0;
    for (const ControlPlace& place : MainWindowControls()) {
      QWidget* control =
          place.id != kNoControlId ? dlg.findChild<QWidget*>(ControlName(place.id)) : nullptr;
      if (place.id == kNoControlId) {
        control = dlg.findChild<QGroupBox*>(QStringLiteral("group%1").arg(++groups));
        QVERIFY(control);
        QCOMPARE(static_cast<QGroupBox*>(control)->title(), QString::fromUtf8(place.caption));
      }
      QVERIFY2(control, qPrintable(QStringLiteral("control %1 missing").arg(place.id)));
      QVERIFY(control->isVisible());
      QVERIFY2(window.contains(control->geometry()),
               qPrintable(QStringLiteral("control %1 outside the window").arg(place.id)));
      QVERIFY(control->width() > 0 && control->height() > 0);
      if (auto* label = qobject_cast<QLabel*>(control)) {
        ++labels;
        QCOMPARE(label->text(), QString::fromUtf8(place.caption));
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(label->text() + " is cut off"));
        QVERIFY2(HasDrawing(shot, control->geometry()), qPrintable(label->text()));
      } else if (auto* button = qobject_cast<QPushButton*>(control)) {
        ++buttons;
        QCOMPARE(button->text(), QString::fromUtf8(place.caption));
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) < button->width(),
                 qPrintable(button->text() + " is cut off"));
        QVERIFY2(HasDrawing(shot, control->geometry()), qPrintable(button->text()));
      } else if (qobject_cast<QLineEdit*>(control)) {
        ++edits;
      }
    }
    QCOMPARE(groups, 5);
    QCOMPARE(labels, 38);
    QCOMPARE(buttons, 19);  // 10 push buttons and the 9 database buttons
    QCOMPARE(edits, 49);    // and the multi-line loaded-files field: 50 text fields

    // The sample notes and colours are in their fields, and the captions of
    // the four database buttons name database 1.
    QCOMPARE(dlg.findChild<QLineEdit*>(ControlName(kNote1))->text(), QString("Clan-Abend"));
    QCOMPARE(dlg.findChild<QLineEdit*>(ControlName(kNote9))->text(), QString("Test"));
    QCOMPARE(dlg.findChild<QLineEdit*>(ControlName(kBarBackgroundColourEdit))->text(),
             QString("#008000"));
    QCOMPARE(dlg.findChild<QPushButton*>(ControlName(kReportRunButton))->text(),
             QString("Datenbank 1 zu HTML"));

    // Controls sit where their dialog units put them: the status line spans
    // almost the whole width along the bottom, the views share the top.
    const QWidget* status = dlg.findChild<QWidget*>(ControlName(kStatusLine));
    QVERIFY(status->geometry().width() > window.width() * 9 / 10);
    QVERIFY(status->geometry().bottom() < window.bottom());
    QVERIFY(status->geometry().top() > window.height() * 9 / 10);
    const QWidget* flash = dlg.findChild<QWidget*>(ControlName(kAnimationView));
    const QWidget* html = dlg.findChild<QWidget*>(ControlName(kHtmlView));
    QVERIFY(flash->geometry().right() < html->geometry().left());
    QCOMPARE(flash->geometry().top(), html->geometry().top());
  }
};

int main(int argc, char* argv[]) {
  PrepareTestEnvironment();
  QApplication app(argc, argv);
  TestMainWindowScreenshot test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_main_window_screenshot.moc"
