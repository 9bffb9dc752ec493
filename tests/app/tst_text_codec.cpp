// 8-bit texts through Qt's Unicode widgets and back, byte for byte.
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include "app/text_codec.h"

class TestTextCodec : public QObject {
  Q_OBJECT
 private slots:
  void everyByteRoundTripsThroughAnEditField() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    QCOMPARE(varnokel::QStringToAnsi(varnokel::AnsiToQString(bytes)), bytes);
    std::string printable = bytes.substr(0x20);
    QLineEdit edit;
    edit.setMaxLength(1 << 20);
    edit.setText(varnokel::AnsiToQString(printable));
    QCOMPARE(varnokel::QStringToAnsi(edit.text()), printable);
  }

  void codePageCharactersAndWhatCannotBeHeld() {
    QCOMPARE(varnokel::AnsiToQString("\x80\xe4\xf6\xfc\xdf\x9f"),
             QString::fromUtf8("\u20ac\u00e4\u00f6\u00fc\u00df\u0178"));
    QCOMPARE(varnokel::QStringToAnsi(QString::fromUtf8("\u00c4\u20ac")), std::string("\xc4\x80"));
    // Not in the code page: one "?" each, also outside the basic plane.
    QCOMPARE(varnokel::QStringToAnsi(QString::fromUtf8("a\u4e2db\U0001F600c\u0080")),
             std::string("a?b?c?"));
  }

  void loadedFilesKeepCrLfInTheMemberAndShowLines() {
    const std::string member = "a.log\r\nb \xe9.log\r\n";
    QPlainTextEdit edit;
    edit.setPlainText(varnokel::AnsiLinesToQString(member));
    QCOMPARE(edit.toPlainText(), QString::fromUtf8("a.log\nb \u00e9.log\n"));
    QCOMPARE(varnokel::QStringToAnsiLines(edit.toPlainText()), member);
    QCOMPARE(varnokel::QStringToAnsiLines("x\ny"), std::string("x\r\ny"));
  }
};

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  TestTextCodec test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_text_codec.moc"
