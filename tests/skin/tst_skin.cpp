// SPDX-License-Identifier: GPL-3.0-or-later
// GUI tests of the skinning library: background layouts, transparent labels,
// read-only controls, the number field and shaped windows, drawn offscreen.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFocusEvent>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <cstdlib>

#include "skin/dib_draw.h"
#include "skin/region.h"
#include "skin/skin_buttons.h"
#include "skin/skin_dialog.h"
#include "skin/skin_edit.h"
#include "skin/skin_list.h"
#include "skin/skin_shaped.h"
#include "skin/skin_static.h"

namespace {

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kGreen = 0xFF00C000;
constexpr QRgb kKey = 0xFFFF00FF;

// Saves `image` as a 24-bit BMP through CDIBitmap.
QString SaveBmp(const QTemporaryDir& dir, const QString& name, const QImage& image) {
  CDIBitmap bitmap;
  if (!CreateFromBitmap(bitmap, image.convertToFormat(QImage::Format_RGB32))) return {};
  const QString path = dir.filePath(name);
  return bitmap.Save(QFile::encodeName(path).toStdString()) ? path : QString();
}

QImage Filled(int w, int h, QRgb color) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

QImage Render(QWidget& widget) {
  return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

class DragCounter : public CSkinDialog {
 public:
  int starts = 0;

 protected:
  bool StartSystemMove() override {
    ++starts;
    return true;
  }
};

void SendMove(QWidget& widget, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  const QPointF at(10, 10);
  QMouseEvent press(QEvent::MouseButtonPress, at, widget.mapToGlobal(at), Qt::LeftButton, buttons,
                    modifiers);
  QApplication::sendEvent(&widget, &press);
  QMouseEvent move(QEvent::MouseMove, at + QPointF(5, 5), widget.mapToGlobal(at + QPointF(5, 5)),
                   Qt::NoButton, buttons, modifiers);
  QApplication::sendEvent(&widget, &move);
}

void FocusOut(QWidget& widget) {
  QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(&widget, &in);
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(&widget, &out);
}

}  // namespace

class SkinTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  void tileDrawsFromTheOriginInBitmapSteps() {
    QImage tile = Filled(64, 64, kBlue);
    tile.setPixel(0, 0, kRed);
    CSkinDialog dialog;
    dialog.resize(150, 100);
    dialog.SetBackgroundBitmap(SaveBmp(dir_, "tile.bmp", tile), SkinBackground::kTile);
    const QImage shot = Render(dialog);
    int markers = 0;
    for (int y = 0; y < 100; ++y) {
      for (int x = 0; x < 150; ++x) markers += shot.pixel(x, y) == kRed ? 1 : 0;
    }
    QCOMPARE(markers, 6);
    for (int y : {0, 64}) {
      for (int x : {0, 64, 128}) QCOMPARE(shot.pixel(x, y), kRed);
    }
    QCOMPARE(shot.pixel(149, 99), kBlue);
  }

  void centreTruncatesTowardZero() {
    // 201 × 101 on 150 × 100: (150 - 201) / 2 = -25 and (100 - 101) / 2 = 0.
    QImage big = Filled(201, 101, kBlue);
    big.setPixel(25, 0, kRed);
    big.setPixel(24, 0, kGreen);
    CSkinDialog dialog;
    dialog.resize(150, 100);
    dialog.SetBackgroundBitmap(SaveBmp(dir_, "big.bmp", big), SkinBackground::kCentre);
    QImage shot = Render(dialog);
    QCOMPARE(shot.pixel(0, 0), kRed);

    // Smaller than the client area: the default background around it.
    QImage small = Filled(51, 20, kBlue);
    small.setPixel(0, 0, kRed);
    dialog.SetBackgroundBitmap(SaveBmp(dir_, "small.bmp", small), SkinBackground::kCentre);
    shot = Render(dialog);
    QCOMPARE(shot.pixel(49, 40), kRed);  // (150 - 51) / 2, (100 - 20) / 2
    QCOMPARE(shot.pixel(48, 40), dialog.palette().color(QPalette::Window).rgb());
  }

  void stretchUsesNearestNeighbour() {
    QImage quad(2, 2, QImage::Format_RGB32);
    quad.setPixel(0, 0, kRed);
    quad.setPixel(1, 0, kBlue);
    quad.setPixel(0, 1, kGreen);
    quad.setPixel(1, 1, kKey);
    CSkinDialog dialog;
    dialog.resize(100, 80);
    dialog.SetBackgroundBitmap(SaveBmp(dir_, "quad.bmp", quad), SkinBackground::kStretch);
    const QImage shot = Render(dialog);
    QCOMPARE(shot.pixel(0, 0), kRed);
    QCOMPARE(shot.pixel(99, 0), kBlue);
    QCOMPARE(shot.pixel(0, 79), kGreen);
    QCOMPARE(shot.pixel(99, 79), kKey);
    for (int x = 0; x < 100; ++x) {
      const QRgb p = shot.pixel(x, 39);
      QVERIFY2(p == kRed || p == kBlue, "stretching must not blend colours");
    }
  }

  void colourModeAndMissingBitmap() {
    CSkinDialog dialog;
    dialog.resize(40, 30);
    dialog.SetBackgroundColor(QColor(10, 20, 30));
    QColor color;
    QVERIFY(dialog.GetBackgroundColor(color));
    QCOMPARE(color, QColor(10, 20, 30));
    QCOMPARE(Render(dialog).pixel(20, 15), qRgb(10, 20, 30));

    // A file that is not there: bitmap mode without a picture paints the
    // window's own background.
    dialog.SetBackgroundBitmap(dir_.filePath("none.bmp"), SkinBackground::kStretch);
    QCOMPARE(dialog.Background().GetMode(), int(SkinBackground::kModeBitmap));
    QCOMPARE(Render(dialog).pixel(20, 15), dialog.palette().color(QPalette::Window).rgb());
  }

  void everyDepthDrawsItsColours() {
    const std::vector<RgbQuad> table = {{0, 0, 255, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}};
    for (int bits : {1, 4, 8}) {
      BitmapInfoHeader h;
      h.size = 40;
      h.width = 2;
      h.height = 2;
      h.planes = 1;
      h.bitCount = static_cast<std::uint16_t>(bits);
      // Bottom row: indices 1, 0; top row: 0, 1 (each row padded to 4 bytes).
      const std::uint8_t bottom = bits == 1 ? 0x80 : bits == 4 ? 0x10 : 1;
      const std::uint8_t top = bits == 1 ? 0x40 : bits == 4 ? 0x01 : 0;
      std::vector<std::uint8_t> pixels = {bottom, 0, 0, 0, top, 0, 0, 0};
      if (bits == 8) pixels = {1, 0, 0, 0, 0, 1, 0, 0};
      CDIBitmap bitmap;
      QVERIFY(bitmap.Create(h, table, pixels, true));
      const QImage image = ImageFromDIBitmap(bitmap).convertToFormat(QImage::Format_RGB32);
      QCOMPARE(image.pixel(0, 1), qRgb(0, 0, 255));  // index 1: blue
      QCOMPARE(image.pixel(1, 1), qRgb(255, 0, 0));  // index 0: red
      QCOMPARE(image.pixel(0, 0), qRgb(255, 0, 0));
      QCOMPARE(image.pixel(1, 0), qRgb(0, 0, 255));
    }
    for (int bits : {24, 32}) {
      BitmapInfoHeader h;
      h.size = 40;
      h.width = 1;
      h.height = 2;
      h.planes = 1;
      h.bitCount = static_cast<std::uint16_t>(bits);
      // Stored blue, green, red: bottom row orange, top row teal.
      std::vector<std::uint8_t> pixels =
          bits == 24 ? std::vector<std::uint8_t>{0, 128, 255, 0, 128, 128, 0, 0}
                     : std::vector<std::uint8_t>{0, 128, 255, 0, 128, 128, 0, 0};
      CDIBitmap bitmap;
      QVERIFY(bitmap.Create(h, {}, pixels, true));
      const QImage image = ImageFromDIBitmap(bitmap);
      QCOMPARE(image.pixel(0, 1), qRgb(255, 128, 0));
      QCOMPARE(image.pixel(0, 0), qRgb(0, 128, 128));

      QImage target = Filled(3, 3, kGreen);
      QPainter painter(&target);
      QCOMPARE(Draw(painter, bitmap, 1, 1), 2);
      painter.end();
      QCOMPARE(target.pixel(1, 1), qRgb(0, 128, 128));
      QCOMPARE(target.pixel(1, 2), qRgb(255, 128, 0));
      QCOMPARE(target.pixel(0, 0), kGreen);
    }
  }

  void drawPartCountsSourceRowsFromTheBottom() {
    QImage stripes(4, 4, QImage::Format_RGB32);
    const QRgb rows[4] = {kRed, kBlue, kGreen, kKey};
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) stripes.setPixel(x, y, rows[y]);
    }
    CDIBitmap bitmap;
    QVERIFY(CreateFromBitmap(bitmap, stripes));
    QImage target = Filled(4, 4, 0xFF000000);
    QPainter painter(&target);
    QCOMPARE(DrawPart(painter, bitmap, QRect(0, 0, 2, 2), QRect(1, 1, 2, 2)), 4);
    painter.end();
    QCOMPARE(target.pixel(0, 0), kBlue);
    QCOMPARE(target.pixel(1, 1), kGreen);
    QCOMPARE(target.pixel(2, 0), 0xFF000000);

    CDIBitmap empty;
    QPainter again(&target);
    QCOMPARE(DrawPart(again, empty, QRect(0, 0, 2, 2), QRect(0, 0, 2, 2)), 0);
  }

  void labelShowsTheBitmapAroundItsText() {
    CSkinDialog dialog;
    dialog.resize(200, 100);
    dialog.SetBackgroundBitmap(SaveBmp(dir_, "green.bmp", Filled(16, 16, kGreen)),
                               SkinBackground::kStretch);
    CSkinStatic label(QStringLiteral("Hintergrund"), &dialog);
    label.setGeometry(20, 20, 150, 40);
    QColor fore;
    QVERIFY(label.GetForeColor(fore));
    QCOMPARE(fore, QApplication::palette().color(QPalette::WindowText));
    QVERIFY(label.GetTransparent());

    QImage shot = Render(dialog);
    QCOMPARE(shot.pixel(21, 21), kGreen);
    QCOMPARE(shot.pixel(168, 58), kGreen);
    int ink = 0;
    for (int y = 20; y < 60; ++y) {
      for (int x = 20; x < 170; ++x) ink += qGreen(shot.pixel(x, y)) < 100 ? 1 : 0;
    }
    QVERIFY(ink > 20);

    label.SetTransparent(false);
    shot = Render(dialog);
    QCOMPARE(shot.pixel(21, 21), QApplication::palette().color(QPalette::Window).rgb());
    label.SetBackColor(QColor(kRed));
    QCOMPARE(Render(dialog).pixel(21, 21), kRed);
  }

  void backgroundDragNeedsTheLeftButtonAlone() {
    DragCounter dialog;
    dialog.resize(100, 100);
    SendMove(dialog, Qt::LeftButton, Qt::ControlModifier);
    SendMove(dialog, Qt::LeftButton, Qt::ShiftModifier);
    SendMove(dialog, Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
    SendMove(dialog, Qt::RightButton, Qt::NoModifier);
    QCOMPARE(dialog.starts, 0);
    SendMove(dialog, Qt::LeftButton, Qt::NoModifier);
    QCOMPARE(dialog.starts, 1);
  }

  void readOnlyControlsIgnoreTheUserNotTheProgram() {
    QWidget window;
    CSkinCheckBox check(QStringLiteral("an"), &window);
    CSkinEdit edit(&window);
    CSkinComboBox combo(&window);
    CSkinListBox list(&window);
    combo.addItems({"a", "b", "c"});
    list.addItems({"x", "y", "z"});
    list.setGeometry(0, 60, 100, 100);
    edit.setGeometry(0, 30, 100, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QVERIFY(check.SetEditable(false));
    QVERIFY(edit.SetEditable(false));
    QVERIFY(combo.SetEditable(false));
    QVERIFY(list.SetEditable(false));

    QTest::mouseClick(&check, Qt::LeftButton);
    QTest::keyClick(&check, Qt::Key_Space);
    QVERIFY(!check.isChecked());
    check.setChecked(true);
    QVERIFY(check.isChecked());

    edit.setText(QStringLiteral("fest"));
    QTest::keyClicks(&edit, "abc");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QApplication::clipboard()->setText(QStringLiteral("paste"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.text(), QStringLiteral("fest"));
    edit.setText(QStringLiteral("neu"));
    QCOMPARE(edit.text(), QStringLiteral("neu"));

    QTest::keyClick(&combo, Qt::Key_Down);
    QWheelEvent wheel(QPointF(5, 5), combo.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&combo, &wheel);
    QCOMPARE(combo.currentIndex(), 0);
    combo.setCurrentIndex(2);
    QCOMPARE(combo.currentIndex(), 2);

    const QRect second = list.visualItemRect(list.item(1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());
    QTest::keyClick(&list, Qt::Key_Down);
    QCOMPARE(list.currentRow(), -1);
    list.setCurrentRow(2);
    QCOMPARE(list.currentRow(), 2);

    // Editable again: the same input goes through.
    check.SetEditable(true);
    edit.SetEditable(true);
    list.SetEditable(true);
    QTest::mouseClick(&check, Qt::LeftButton);
    QVERIFY(!check.isChecked());
    edit.setCursorPosition(3);
    QTest::keyClicks(&edit, "!");
    QCOMPARE(edit.text(), QStringLiteral("neu!"));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(list.currentRow(), 1);
  }

  void numberFieldFiltersCharacters() {
    CSkinNumEdit edit;
    QTest::keyClicks(&edit, "1a2.5e-3x+E");
    QCOMPARE(edit.text(), QStringLiteral("12.5e-3+E"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QStringLiteral("12.5e-3+"));
  }

  void numberFieldUsesTheLocaleSeparator() {
    // A locale with a comma, compiled for this test when the system has none.
    const QString localeDir = dir_.filePath("locales");
    QDir().mkpath(localeDir);
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"),
                    {"-i", "de_DE", "-f", "UTF-8", localeDir + "/de_DE.UTF-8"});
    if (!localedef.waitForFinished(60000) || localedef.exitCode() > 1) {
      QFAIL("no German locale can be built here (the package locales is missing)");
    }
    qputenv("LOCPATH", QFile::encodeName(localeDir));
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
      qunsetenv("LOCPATH");
      QFAIL("the German locale did not load");
    }
    QCOMPARE(CSkinNumEdit::DecimalSeparator(), QStringLiteral(","));
    CSkinNumEdit edit;
    QTest::keyClicks(&edit, "1.5x,2");
    const QString typed = edit.text();
    edit.SetFormatOnLeave(true);
    edit.setText(QStringLiteral("2,50"));
    FocusOut(edit);
    const QString formatted = edit.text();
    std::setlocale(LC_NUMERIC, previous.c_str());
    qunsetenv("LOCPATH");
    QCOMPARE(typed, QStringLiteral("1,5,2"));
    QCOMPARE(formatted, QStringLiteral("2,5"));
  }

  void numberFieldReformatsOnLeaving() {
    CSkinNumEdit edit;
    QVERIFY(!edit.GetFormatOnLeave());
    edit.setText(QStringLiteral("1.50"));
    FocusOut(edit);
    QCOMPARE(edit.text(), QStringLiteral("1.50"));

    edit.SetFormatOnLeave(true);
    const QList<QPair<QString, QString>> cases = {
        {"1.50", "1.5"},          {"abc", "0"},    {"", ""},
        {"12abc", "12"},          {"1e3", "1000"}, {"1234567", "1.23457e+06"},
        {"-0.000012", "-1.2e-05"}};
    for (const auto& [text, shown] : cases) {
      edit.setText(text);
      FocusOut(edit);
      QCOMPARE(edit.text(), shown);
    }
  }

  void focusColoursFollowTheFocus() {
    CSkinEdit edit;
    QColor focusBack;
    QVERIFY(edit.GetFocusBackColor(focusBack));
    QColor back;
    edit.GetBackColor(back);
    QCOMPARE(focusBack, back);
    edit.SetBackColor(QColor(kBlue));
    edit.SetFocusBackColor(QColor(kRed));
    QCOMPARE(edit.palette().color(QPalette::Base).rgb(), kBlue);
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &in);
    QCOMPARE(edit.palette().color(QPalette::Base).rgb(), kRed);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &out);
    QCOMPARE(edit.palette().color(QPalette::Base).rgb(), kBlue);
  }

  void fontOperations() {
    CSkinStatic label(QStringLiteral("Text"));
    LogicalFont initial;
    label.GetFontLogical(initial);
    QCOMPARE(initial.FaceName(), label.font().family());

    label.SetFontAttributes(QStringLiteral("DejaVu Sans"), 12, true, false);
    LogicalFont logical;
    label.GetFontLogical(logical);
    QCOMPARE(logical.height, -qRound(12 * label.logicalDpiY() / 72.0));
    QCOMPARE(logical.weight, 700);
    QCOMPARE(logical.italic, std::uint8_t{0});
    QCOMPARE(logical.charSet, std::uint8_t{1});
    QCOMPARE(logical.FaceName(), QStringLiteral("DejaVu Sans"));
    QVERIFY(label.font().bold());
    QCOMPARE(label.font().pixelSize(), -logical.height);

    label.SetFontItalic(true);
    label.SetFontBold(false);
    label.SetFontRotation(90);
    label.GetFontLogical(logical);
    QCOMPARE(logical.escapement, 900);
    QCOMPARE(logical.orientation, 900);
    QCOMPARE(logical.weight, 0);
    QVERIFY(label.font().italic());
    QVERIFY(!label.font().bold());

    // Rotated text is drawn: the label's pixels are not all background.
    label.resize(60, 60);
    label.SetTransparent(false);
    const QImage shot = Render(label);
    bool ink = false;
    for (int y = 0; y < 60 && !ink; ++y) {
      for (int x = 0; x < 60 && !ink; ++x) ink = shot.pixel(x, y) != shot.pixel(0, 0);
    }
    QVERIFY(ink);

    LogicalFont longName;
    longName.SetFaceName(QString(40, QLatin1Char('x')));
    QCOMPARE(longName.FaceName().size(), 31);
  }

  void toolTipKeepsOneToolWithTheLastText() {
    CSkinStatic label(QStringLiteral("Text"));
    label.ActivateToolTip(true);
    QVERIFY(!label.ToolTip().HasTool());
    label.SetToolTipText(QStringLiteral("erste"), true);
    label.SetToolTipText(QStringLiteral("zweite"), true);
    QVERIFY(label.ToolTip().HasTool());
    QCOMPARE(label.ToolTip().Text(), QStringLiteral("zweite"));
    label.ActivateToolTip(false);
    QVERIFY(!label.ToolTip().IsActive());
    label.SetToolTipText(QString(300, QLatin1Char('w')), true);
    QVERIFY(label.ToolTip().DisplayText().contains(QStringLiteral("width=\"400\"")));
  }

  void shapedDialogIsMaskedByTheRegion() {
    QImage shape = Filled(40, 30, kKey);
    for (int y = 5; y < 25; ++y) {
      for (int x = 10 + y % 3; x < 30; ++x) shape.setPixel(x, y, kBlue);
    }
    const QString file = SaveBmp(dir_, "shape.bmp", shape);
    const std::optional<QRegion> expected = RegionFromBitmap(shape, QColor(kKey), true);
    QVERIFY(expected.has_value());
    QCOMPARE(expected->boundingRect(), QRect(10, 5, 20, 20));

    CSkinShapedDialog dialog;
    dialog.resize(40, 30);
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    dialog.SetShapeBitmap(file, QColor(kKey));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.mask(), *expected);
    QCOMPARE(Render(dialog).pixel(20, 10), kBlue);

    // A shape that cannot be loaded leaves the window rectangular.
    CSkinShapedDialog plain;
    plain.resize(40, 30);
    plain.SetShapeBitmap(dir_.filePath("missing.bmp"), QColor(kKey));
    plain.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plain));
    QVERIFY(plain.mask().isEmpty());
  }

  void regionIsTheUnionOfItsBatches() {
    QImage stripes(1000, 10, QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 1000; ++x) stripes.setPixel(x, y, x % 2 == 0 ? kKey : kBlue);
    }
    const QRegion region = *RegionFromBitmap(stripes, QColor(kKey), true);
    QVERIFY(region.contains(QPoint(1, 0)));
    QVERIFY(region.contains(QPoint(999, 9)));
    QVERIFY(!region.contains(QPoint(0, 5)));
    QVERIFY(!region.contains(QPoint(500, 9)));
    qint64 area = 0;
    for (const QRect& r : region) area += qint64(r.width()) * r.height();
    QCOMPARE(area, qint64(5000));
    QVERIFY(!RegionFromBitmap(QImage(), QColor(kKey), true).has_value());
  }

  // The main window's look: water.bmp stretched, transparent labels over it.
  void waterBackgroundWithLabels() {
    const QString water = QStringLiteral(VARNOKEL_PROGRAM_DIR "/water.bmp");
    CDIBitmap bitmap;
    QVERIFY(bitmap.Load(QFile::encodeName(water).toStdString()));
    QCOMPARE(bitmap.GetBitsPerPixel(), 8);
    QVERIFY(bitmap.GetPalette() != nullptr);
    QCOMPARE(bitmap.GetPalette()->entries().size(), std::size_t{256});

    CSkinDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Skin"));
    dialog.resize(520, 300);
    dialog.SetBackgroundBitmap(water, SkinBackground::kStretch);
    const QStringList names = {"Rahmen",         "Hintergrund",  "Linien",  "Zelle 1",
                               "Zelle 2",        "Zelle 3",      "CT join", "Terror join",
                               "Geisel getötet", "Bombe entsch."};
    QList<CSkinStatic*> labels;
    for (int i = 0; i < names.size(); ++i) {
      auto* label = new CSkinStatic(names[i], &dialog);
      label->setGeometry(20 + (i / 5) * 250, 20 + (i % 5) * 40, 110, 20);
      auto* edit = new CSkinEdit(&dialog);
      edit->setGeometry(130 + (i / 5) * 250, 18 + (i % 5) * 40, 90, 24);
      labels.push_back(label);
    }
    labels.last()->SetFontAttributes(QStringLiteral("DejaVu Sans"), 10, true, false);
    const QImage shot = Render(dialog);
    // Around a label's text the water shows: light blue, not the grey window.
    const QRgb around =
        shot.pixel(labels[0]->geometry().right() - 1, labels[0]->geometry().top() + 1);
    QVERIFY(qBlue(around) > qRed(around) + 30);
    const QByteArray dirName = qgetenv("VARNOKEL_SCREENSHOT_DIR");
    if (!dirName.isEmpty()) QVERIFY(shot.save(QString::fromLocal8Bit(dirName) + "/skin_water.png"));
  }

 private:
  QTemporaryDir dir_;
};

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  SkinTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_skin.moc"
