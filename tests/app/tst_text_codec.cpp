// SPDX-License-Identifier: GPL-3.0-or-later
// 8-bit texts through Qt's Unicode widgets and back: shown as UTF-8 or
// Windows-1252, unchanged texts byte for byte, typed texts in the narrowest form.
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include "app/text_codec.h"

namespace {
const std::string kNone = "<no bytes>";
}  // namespace

class TestTextCodec : public QObject {
  Q_OBJECT
 private slots:
  void everyByteRoundTripsThroughAnEditField() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    QCOMPARE(varnokel::QStringToAnsi(varnokel::AnsiToQString(bytes)).value_or(kNone), bytes);
    std::string printable = bytes.substr(0x20);
    QLineEdit edit;
    edit.setMaxLength(1 << 20);
    edit.setText(varnokel::AnsiToQString(printable));
    QCOMPARE(varnokel::QStringToAnsi(edit.text()).value_or(kNone), printable);
  }

  void codePageCharactersAndWhatCannotBeHeld() {
    QCOMPARE(varnokel::AnsiToQString("\x80\xe4\xf6\xfc\xdf\x9f"),
             QString::fromUtf8("\u20ac\u00e4\u00f6\u00fc\u00df\u0178"));
    QCOMPARE(varnokel::QStringToAnsi(QString::fromUtf8("\u00c4\u20ac")).value_or(kNone),
             std::string("\xc4\x80"));
    // Not in the code page: no bytes, also outside the basic plane.
    for (const char* text : {"a\u4e2db", "\U0001F600", "\u0080"})
      QVERIFY(!varnokel::QStringToAnsi(QString::fromUtf8(text)).has_value());
  }

  void shownAsUtf8WhenValidTypedAsWindows1252WhenItCanBe() {
    using varnokel::ShownText;
    using varnokel::TypedTextBytes;
    QCOMPARE(ShownText("J\xc3\xbcrgen"), QString::fromUtf8("J\u00fcrgen"));
    QCOMPARE(ShownText("\xd0\x9f\xd1\x80\xd0\xb8"), QString::fromUtf8("\u041f\u0440\u0438"));
    QCOMPARE(ShownText("\xef\xbb\xbfx"), QChar(0xFEFF) + QString("x"));  // the mark stays
    QCOMPARE(ShownText("J\xfcrgen"), QString::fromUtf8("J\u00fcrgen"));
    // Not valid UTF-8: overlong, surrogate, beyond U+10FFFF, cut off.
    QCOMPARE(ShownText("\xc0\xaf"), QString::fromUtf8("\u00c0\u00af"));
    QCOMPARE(ShownText("\xed\xa0\x80"), QString::fromUtf8("\u00ed\u00a0\u20ac"));
    QCOMPARE(ShownText("\xf4\x90\x80\x80"), QString::fromUtf8("\u00f4\u0090\u20ac\u20ac"));
    QCOMPARE(ShownText("ab\xc3"), QString::fromUtf8("ab\u00c3"));

    QCOMPARE(TypedTextBytes(QString::fromUtf8("Gr\u00fc\u00df \u20ac\u0081")),
             std::string("Gr\xfc\xdf \x80\x81"));
    QCOMPARE(TypedTextBytes(QString::fromUtf8("\u00e4 \u0416")), std::string("\xc3\xa4 \xd0\x96"));
    QCOMPARE(TypedTextBytes(QString::fromUtf8("\U0001F600")), std::string("\xf0\x9f\x98\x80"));

    // Left alone, a text goes back as its bytes, whichever way it was shown;
    // changed, it is typed text.
    const varnokel::ShownBytes utf8{"J\xc3\xbcrgen", ShownText("J\xc3\xbcrgen")};
    const varnokel::ShownBytes ansi{"J\xfcrgen\x81", ShownText("J\xfcrgen\x81")};
    QCOMPARE(varnokel::TakeText(QString::fromUtf8("J\u00fcrgen"), utf8), utf8.bytes);
    QCOMPARE(varnokel::TakeText(ansi.text, ansi), ansi.bytes);
    QCOMPARE(varnokel::TakeText(QString::fromUtf8("J\u00fcrgen!"), utf8),
             std::string("J\xfcrgen!"));
  }

  void loadedFilesKeepCrLfInTheMemberAndTheirBytesLineByLine() {
    const std::string member = "a.log\r\nb \xe9.log\r\n\xd0\x96\r.log\r\nJ\xc3\xbcrgen.log\r\n";
    QPlainTextEdit edit;
    edit.setPlainText(varnokel::ShownLines(member));
    QCOMPARE(edit.toPlainText(),
             QString::fromUtf8("a.log\nb \u00e9.log\n\u0416\u240d.log\nJ\u00fcrgen.log\n"));
    const varnokel::ShownBytes shown{member, edit.toPlainText()};
    QCOMPARE(varnokel::TakeLines(edit.toPlainText(), shown), member);
    // Another line typed: every shown line keeps its bytes, the new one is
    // typed text; a typed line break is CR LF.
    QCOMPARE(varnokel::TakeLines(edit.toPlainText() + QString::fromUtf8("\u00e4\n\u0416"), shown),
             member + "\xe4\r\n\xd0\x96");
    QCOMPARE(varnokel::TakeLines(QString::fromUtf8("J\u00fcrgen.log\nb \u00e9.log"), shown),
             std::string("J\xc3\xbcrgen.log\r\nb \xe9.log"));
    QCOMPARE(varnokel::TakeLines("x\ny", {}), std::string("x\r\ny"));
  }
};

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  TestTextCodec test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_text_codec.moc"
