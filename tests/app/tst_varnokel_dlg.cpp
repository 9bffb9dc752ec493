// SPDX-License-Identifier: GPL-3.0-or-later
// The main window driven through its real controls in a program folder made
// for each test: clicks, typing, Enter and Escape; members, captions, files
// written and error boxes.
#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>
#include <cerrno>
#include <map>
#include <memory>

#include "app/about_box.h"
#include "app/control_ids.h"
#include "app/dialog_layout.h"
#include "app/german_dialogs.h"
#include "app/varnokel_dlg.h"
#include "app/views/animation_view.h"
#include "app/views/html_view.h"
#include "app_test_support.h"
#include "base/file_calls_testing.h"
#include "base/file_io.h"
#include "base/program_dir.h"
#include "db/event_store.h"
#include "db/database_lock.h"
#include "db/process_values.h"

namespace {

const std::string kCrLf = "\r\n";
const std::string kNineEmptyNotes = "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
const std::string kColours =
    "#ffffff\r\n#000000\r\n#111111\r\n#222222\r\n#333333\r\n#444444\r\n"
    "#555555\r\n#666666\r\n#777777\r\n#888888\r\n#999999\r\n#aaaaaa";

// Bob joins, chooses CT, kills Al with the awp, leaves; Al is never seen
// leaving.
const std::string kLog =
    "L 03/15/2003 - 20:14:07: \"Bob<12><4711><>\" entered the game\r\n"
    "L 03/15/2003 - 20:14:09: \"Bob<12><4711><>\" joined team \"CT\"\r\n"
    "L 03/15/2003 - 20:15:00: \"Al<13><0815><>\" entered the game\r\n"
    "L 03/15/2003 - 20:15:10: \"Bob<12><4711><CT>\" killed \"Al<13><0815><TERROR>\" with "
    "\"awp\"\r\n"
    "L 03/15/2003 - 20:20:00: \"Bob<12><4711><CT>\" disconnected\r\n";

QString Caption(CVarnokelDlg& dlg, ControlId id) {
  return qobject_cast<QPushButton*>(dlg.Control(id))->text();
}
QLineEdit* Edit(CVarnokelDlg& dlg, ControlId id) {
  return qobject_cast<QLineEdit*>(dlg.Control(id));
}
void Click(CVarnokelDlg& dlg, ControlId id) {
  QTest::mouseClick(dlg.Control(id), Qt::LeftButton);
}
// Field `index` of a player file (its lines, CR LF ended).
std::string PlayerField(const std::filesystem::path& file, size_t index) {
  const std::string bytes = ReadBytes(file);
  size_t start = 0;
  for (size_t i = 0; i < index; ++i) start = bytes.find("\r\n", start) + 2;
  return bytes.substr(start, bytes.find("\r\n", start) - start);
}
// Every file of a database folder (dot names too, but not the lock file) and
// its bytes; the event store as what it holds, whatever the number of commits
// that brought it there.
std::map<std::string, std::string> DatabaseFiles(const std::filesystem::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name == ".lock") continue;
    if (name == varnokel::kEventStoreFileName) {
      std::string dump =
          varnokel::EventStore(dir, varnokel::EventStore::Access::kRead).CanonicalDump();
      files[name] = dump.substr(0, dump.find("SELECT last_commit"));
    } else {
      files[name] = ReadBytes(entry.path());
    }
  }
  return files;
}
void TypeInto(CVarnokelDlg& dlg, ControlId id, const QString& text) {
  QLineEdit* edit = Edit(dlg, id);
  edit->setFocus();
  edit->selectAll();
  for (QChar c : text) {
    // Key events carry the character itself, also one outside ASCII.
    QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

}  // namespace

class TestVarnokelDlg : public QObject {
  Q_OBJECT

 private:
  // A window on a folder with the given state files (nullptr: no such file).
  std::unique_ptr<CVarnokelDlg> Open(TestProgramFolder& folder, const std::string* notes,
                                     const std::string* colours, QStringList* errors = nullptr) {
    if (notes) folder.Write("buffer.no", *notes);
    if (colours) folder.Write("color.no", *colours);
    ModalHandler boxes;
    auto dlg = std::make_unique<CVarnokelDlg>(values_, folder.path());
    if (errors) *errors = boxes.messages();
    dlg->show();
    return dlg;
  }

  // Loads `log` through the file dialog.
  void LoadLog(CVarnokelDlg& dlg, const std::filesystem::path& log) {
    ModalHandler dialogs(ChooseFile(QString::fromStdString(log.string())));
    Click(dlg, kLoadLogFileButton);
  }

  // A window on an otherwise empty folder with the evening's log (kLog) in
  // logs/abend.log, loaded.
  std::unique_ptr<CVarnokelDlg> OpenWithLogLoaded(TestProgramFolder& folder) {
    folder.Write("logs/abend.log", kLog);
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    LoadLog(*dlg, folder.file("logs/abend.log"));
    return dlg;
  }

  // Presses "bearbeiten", answering a question with `answer`; the texts of
  // the boxes shown.
  QStringList Update(CVarnokelDlg& dlg, const QString& answer = {}) {
    ModalHandler boxes;
    boxes.AnswerWith(answer);
    Click(dlg, kUpdateDatabaseButton);
    return boxes.messages();
  }

  varnokel::ProcessValues values_;

 private slots:
  void init() { values_ = varnokel::ProcessValues(); }

  void startUpShowsNotesAndColoursAndFirstCaptions() {
    TestProgramFolder folder;
    const std::string notes = "a\r\nb";  // no line end after the b
    QStringList errors;
    auto dlg = Open(folder, &notes, &kColours, &errors);
    QVERIFY(errors.isEmpty());
    QCOMPARE(dlg->windowTitle(), QString("Varnokel Stats"));
    QCOMPARE(Edit(*dlg, kNote1)->text(), QString("a"));
    QCOMPARE(Edit(*dlg, kNote2)->text(), QString("b"));
    for (ControlId id : {kNote3, kNote4, kNote5, kNote6, kNote7, kNote8, kNote9})
      QVERIFY(Edit(*dlg, id)->text().isEmpty());
    QCOMPARE(Edit(*dlg, kBackgroundColourEdit)->text(), QString("#ffffff"));
    QCOMPARE(Edit(*dlg, kFrameColourEdit)->text(), QString("#444444"));
    QCOMPARE(Edit(*dlg, kBarColourEdit)->text(), QString("#999999"));
    QCOMPARE(Edit(*dlg, kBarBackgroundColourEdit)->text(), QString("#aaaaaa"));
    QCOMPARE(dlg->Member(kBarBackgroundColourEdit), std::string("#aaaaaa"));
    QVERIFY(Edit(*dlg, kStatusLine)->text().isEmpty());
    QCOMPARE(Caption(*dlg, kListPlayersButton), QString("Datenbank 1 anschauen"));
    QCOMPARE(Caption(*dlg, kUpdateDatabaseButton), QString("Datenbank 1 bearbeiten"));
    QCOMPARE(Caption(*dlg, kReportRunButton), QString("Datenbank 1 zu HTML"));
    QCOMPARE(Caption(*dlg, kDeleteDatabaseButton), QString::fromUtf8("Datenbank 1 l\u00f6schen"));
    for (ControlId id :
         {kDatabase1Button, kDatabase2Button, kDatabase3Button, kDatabase4Button, kDatabase5Button,
          kDatabase6Button, kDatabase7Button, kDatabase8Button, kDatabase9Button})
      QVERIFY(!qobject_cast<QPushButton*>(dlg->Control(id))->isChecked());
    QVERIFY(qobject_cast<QPushButton*>(dlg->Control(kOkButton))->isDefault());
    QVERIFY(!dlg->windowIcon().isNull());
    // The cover animation plays the program folder's movie; the HTML view
    // shows the design page, its address built from the program folder.
    QCOMPARE(qobject_cast<CShockwaveFlash*>(dlg->Control(kAnimationView))->GetMovie(),
             QString::fromStdString((folder.path() / "varnokel.swf").string()));
    QCOMPARE(qobject_cast<CWebBrowser2*>(dlg->Control(kHtmlView))->view()->url().toString(),
             QString::fromStdString(varnokel::DesignPageAddress(folder.path())));
  }

  void aboutBoxFromTheBackgroundsContextMenu() {
    TestProgramFolder folder;
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    QStringList about_texts;
    ModalHandler dialogs([&about_texts](QWidget* modal) {
      if (auto* about = qobject_cast<CAboutBox*>(modal)) {
        about_texts << about->windowTitle();
        for (QLabel* label : about->findChildren<QLabel*>())
          if (!label->text().isEmpty()) about_texts << label->text();
        QTest::mouseClick(about->findChild<QPushButton*>(ControlName(kOkButton)), Qt::LeftButton);
      }
    });
    // The menu runs its own event loop: it is looked for until it is open,
    // however long that takes.
    QStringList items;
    QTimer menu_watch;
    QObject::connect(&menu_watch, &QTimer::timeout, [&items, &menu_watch] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return;
      menu_watch.stop();
      for (QAction* action : menu->actions()) items << action->text();
      menu->actions().first()->trigger();
      menu->close();
    });
    menu_watch.start(10);
    const QPoint background(5, dlg->height() / 2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, background, dlg->mapToGlobal(background));
    QApplication::sendEvent(dlg.get(), &event);
    QTRY_COMPARE(about_texts.size(), 3);
    QCOMPARE(items, QStringList{QString::fromUtf8("Inf&o \u00fcber varnokel...")});
    QCOMPARE(about_texts[0], QString::fromUtf8("Info \u00fcber varnokel"));
    QVERIFY(about_texts.contains("varnokel Version 1.0"));
    QVERIFY(dlg->isVisible());
  }

  void missingStateFilesAreReportedAndTheWindowStillWorks() {
    TestProgramFolder folder;
    QStringList errors;
    auto dlg = Open(folder, nullptr, nullptr, &errors);
    QCOMPARE(errors.size(), 2);
    QVERIFY(errors[0].contains("buffer.no"));
    QVERIFY(errors[1].contains("color.no"));
    QVERIFY(Edit(*dlg, kNote1)->text().isEmpty());
    QVERIFY(Edit(*dlg, kBackgroundColourEdit)->text().isEmpty());
    Click(*dlg, kDatabase3Button);
    QCOMPARE(Caption(*dlg, kUpdateDatabaseButton), QString("Datenbank 3 bearbeiten"));
    Click(*dlg, kOkButton);
    QCOMPARE(ReadBytes(folder.file("buffer.no")), kNineEmptyNotes);
  }

  void beendenSavesNineEmptyNotesAsEighteenBytes() {
    TestProgramFolder folder;
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    Click(*dlg, kOkButton);
    QCOMPARE(dlg->result(), int(QDialog::Accepted));
    QVERIFY(!dlg->isVisible());
    const std::string saved = ReadBytes(folder.file("buffer.no"));
    QCOMPARE(saved.size(), size_t(18));
    QCOMPARE(saved, kNineEmptyNotes);
  }

  void enterInAFieldSavesTypedNotesAndEnterInTheListOnlyBreaksTheLine() {
    TestProgramFolder folder;
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    auto* loaded = qobject_cast<QPlainTextEdit*>(dlg->Control(kLoadedFiles));
    loaded->setFocus();
    QTest::keyClicks(loaded, "x");
    QTest::keyClick(loaded, Qt::Key_Return);
    QVERIFY(dlg->isVisible());
    TypeInto(*dlg, kNote2, QString::fromUtf8("zwei \u00e4"));
    TypeInto(*dlg, kNote9, "neun");
    QTest::keyClick(Edit(*dlg, kNote9), Qt::Key_Return);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->result(), int(QDialog::Accepted));
    QCOMPARE(ReadBytes(folder.file("buffer.no")),
             std::string("\r\nzwei \xe4\r\n\r\n\r\n\r\n\r\n\r\n\r\nneun\r\n"));
  }

  void closeBoxAndEscapeDiscardTypedNotes() {
    TestProgramFolder folder;
    const std::string notes = "alt\r\n";
    {
      auto dlg = Open(folder, &notes, &kColours);
      TypeInto(*dlg, kNote1, "neu");
      dlg->close();
      QCOMPARE(dlg->result(), int(QDialog::Rejected));
    }
    QCOMPARE(ReadBytes(folder.file("buffer.no")), notes);
    {
      auto dlg = Open(folder, &notes, &kColours);
      TypeInto(*dlg, kNote1, "neu");
      QTest::keyClick(Edit(*dlg, kNote1), Qt::Key_Escape);
      QVERIFY(!dlg->isVisible());
      QCOMPARE(dlg->result(), int(QDialog::Rejected));
    }
    QCOMPARE(ReadBytes(folder.file("buffer.no")), notes);
  }

  void database3ChangesFourCaptionsAndNoField() {
    TestProgramFolder folder;
    const std::string notes = "eins\r\n";
    auto dlg = Open(folder, &notes, &kColours);
    TypeInto(*dlg, kNameEdit, "getippt");
    TypeInto(*dlg, kStatusLine, "Status");
    Click(*dlg, kDatabase3Button);
    QCOMPARE(values_.database_number, std::string("3"));
    QCOMPARE(Caption(*dlg, kListPlayersButton), QString("Datenbank 3 anschauen"));
    QCOMPARE(Caption(*dlg, kUpdateDatabaseButton), QString("Datenbank 3 bearbeiten"));
    QCOMPARE(Caption(*dlg, kReportRunButton), QString("Datenbank 3 zu HTML"));
    QCOMPARE(Caption(*dlg, kDeleteDatabaseButton), QString::fromUtf8("Datenbank 3 l\u00f6schen"));
    QCOMPARE(Caption(*dlg, kShowPlayerDetailsButton), QString("Spielerdaten auslesen"));
    QCOMPARE(Caption(*dlg, kDatabase3Button), QString("Datenbank 3"));
    QVERIFY(qobject_cast<QPushButton*>(dlg->Control(kDatabase3Button))->isChecked());
    // No exchange: the members still hold what start-up gave them.
    QVERIFY(dlg->Member(kNameEdit).empty());
    QCOMPARE(Edit(*dlg, kNameEdit)->text(), QString("getippt"));
    QCOMPARE(Edit(*dlg, kNote1)->text(), QString("eins"));
    Click(*dlg, kDatabase8Button);
    QCOMPARE(values_.database_number, std::string("8"));
    QVERIFY(!qobject_cast<QPushButton*>(dlg->Control(kDatabase3Button))->isChecked());
    QCOMPARE(Caption(*dlg, kReportRunButton), QString("Datenbank 8 zu HTML"));
  }

  void loadingKeepsTypedTextListsTheFileAndReplacesTheStatus() {
    TestProgramFolder folder;
    folder.Write("logs/x.log", kLog);
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    TypeInto(*dlg, kNameEdit, "getippt");
    TypeInto(*dlg, kStatusLine, "alter Status");
    const QString log = QString::fromStdString(folder.file("logs/x.log").string());
    {
      QStringList filters;
      ModalHandler dialogs([&filters, log](QWidget* modal) {
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
          filters = files->nameFilters();
          // Qt's own dialog on every desktop, so the filters read as above.
          QVERIFY(files->testOption(QFileDialog::DontUseNativeDialog));
        }
        ChooseFile(log)(modal);
      });
      Click(*dlg, kLoadLogFileButton);
      QVERIFY(dialogs.messages().isEmpty());
      QCOMPARE(filters, (QStringList{"Logfiles (*.LOG *.log)", "Alle Dateien (*)"}));
    }
    QCOMPARE(dlg->Member(kLoadedFiles), std::string("x.log\r\n"));
    QCOMPARE(dlg->Member(kStatusLine), std::string("Logfile fertig..."));
    QCOMPARE(Edit(*dlg, kStatusLine)->text(), QString("Logfile fertig..."));
    QCOMPARE(Edit(*dlg, kNameEdit)->text(), QString("getippt"));
    QCOMPARE(dlg->Member(kNameEdit), std::string("getippt"));
    QVERIFY(!values_.log_buffer.text().empty());
    {
      ModalHandler dialogs(ChooseFile(log));
      Click(*dlg, kLoadLogFileButton);
    }
    QCOMPARE(dlg->Member(kLoadedFiles), std::string("x.log\r\nx.log\r\n"));
    QCOMPARE(qobject_cast<QPlainTextEdit*>(dlg->Control(kLoadedFiles))->toPlainText(),
             QString("x.log\nx.log\n"));
    Click(*dlg, kResetLoadedFilesButton);
    QVERIFY(dlg->Member(kLoadedFiles).empty());
    QVERIFY(qobject_cast<QPlainTextEdit*>(dlg->Control(kLoadedFiles))->toPlainText().isEmpty());
    QVERIFY(values_.log_buffer.text().empty());  // the reset empties the buffer too
    QCOMPARE(values_.log_buffer.file_count(), size_t(0));
  }

  void aCancelledFileDialogIsReportedAndChangesNothing() {
    TestProgramFolder folder;
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    TypeInto(*dlg, kStatusLine, "vorher");
    ModalHandler dialogs(ChooseFile(QString()));
    Click(*dlg, kLoadLogFileButton);
    QCOMPARE(dialogs.messages().size(), 1);
    QVERIFY(dialogs.messages()[0].contains("\"\""));  // names the empty path
    QCOMPARE(Edit(*dlg, kStatusLine)->text(), QString("vorher"));
    QVERIFY(dlg->Member(kLoadedFiles).empty());
    QVERIFY(values_.log_buffer.text().empty());
  }

  void updateListDetailsAndReportOnDatabase2() {
    TestProgramFolder folder;
    folder.Write("logs/abend.log", kLog);
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    Click(*dlg, kDatabase2Button);
    {
      ModalHandler dialogs(
          ChooseFile(QString::fromStdString(folder.file("logs/abend.log").string())));
      Click(*dlg, kLoadLogFileButton);
    }
    // Typed in front of the text the update appends.
    TypeInto(*dlg, kStatusLine, "Logfile fertig... getippt");
    {
      ModalHandler boxes;
      Click(*dlg, kUpdateDatabaseButton);
      QVERIFY(boxes.messages().isEmpty());
    }
    QCOMPARE(Edit(*dlg, kStatusLine)->text(),
             QString("Logfile fertig... getippt Datenbank 2 fertig..."));
    QVERIFY(std::filesystem::exists(folder.file("Datenbanken/db2/4711.db")));
    QVERIFY(!std::filesystem::exists(folder.file("Datenbanken/db1/4711.db")));

    Click(*dlg, kListPlayersButton);
    auto* list = qobject_cast<QListWidget*>(dlg->Control(kPlayerList));
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QString("0815.db"));
    QCOMPARE(list->item(1)->text(), QString("4711.db"));

    Click(*dlg, kShowPlayerDetailsButton);  // nothing selected: nothing changes
    QVERIFY(Edit(*dlg, kNameEdit)->text().isEmpty());
    list->setCurrentRow(1);
    Click(*dlg, kShowPlayerDetailsButton);
    QCOMPARE(Edit(*dlg, kNameEdit)->text(), QString("Bob"));
    QCOMPARE(Edit(*dlg, kCtJoinsEdit)->text(), QString("1"));     // CT join
    QCOMPARE(Edit(*dlg, kKillsEdit)->text(), QString("1"));       // kills
    QCOMPARE(Edit(*dlg, kAwpKillsEdit)->text(), QString("1"));    // awm
    QCOMPARE(Edit(*dlg, kScoutKillsEdit)->text(), QString("0"));  // steyr scout
    QCOMPARE(Edit(*dlg, kPlayTimeEdit)->text(), QString("353"));  // 20:14:07 to 20:20:00

    {
      ModalHandler boxes;
      Click(*dlg, kReportRunButton);
      QVERIFY(boxes.messages().isEmpty());
    }
    QCOMPARE(Edit(*dlg, kStatusLine)->text(),
             QString("Logfile fertig... getippt Datenbank 2 fertig... HTML - Ausgabe 2 fertig..."));
    QVERIFY(std::filesystem::exists(folder.file("html/st.htm")));
    QVERIFY(std::filesystem::exists(folder.file("html/4711.htm")));
    QVERIFY(ReadBytes(folder.file("html/style.css")).find("#ffffff") != std::string::npos);

    Click(*dlg, kDeleteDatabaseButton);
    QCOMPARE(list->count(), 0);
    QVERIFY(!std::filesystem::exists(folder.file("Datenbanken/db2/4711.db")));
    QCOMPARE(Edit(*dlg, kNameEdit)->text(), QString("Bob"));  // details stay
  }

  void detailsOfAPlayerMissingInTheChosenDatabaseAreReported() {
    TestProgramFolder folder;
    folder.Write("Datenbanken/db1/4711.db", "4711\r\nd\r\nt\r\nBob\r\n5");
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    TypeInto(*dlg, kNameEdit, "vorher");
    Click(*dlg, kListPlayersButton);
    auto* list = qobject_cast<QListWidget*>(dlg->Control(kPlayerList));
    QCOMPARE(list->count(), 1);
    list->setCurrentRow(0);
    Click(*dlg, kDatabase2Button);
    ModalHandler boxes;
    Click(*dlg, kShowPlayerDetailsButton);
    QCOMPARE(boxes.messages().size(), 1);
    QVERIFY(boxes.messages()[0].contains("db2/4711.db"));
    QCOMPARE(Edit(*dlg, kNameEdit)->text(), QString("vorher"));
    QCOMPARE(list->count(), 1);
  }

  void aFailedCommandSkipsItsClosingExchange() {
    TestProgramFolder folder;
    folder.Write("html", "a file where the site's folder belongs");
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    TypeInto(*dlg, kStatusLine, "vorher");
    ModalHandler boxes;
    Click(*dlg, kReportRunButton);
    QCOMPARE(boxes.messages().size(), 1);
    QVERIFY(boxes.messages()[0].contains("html"));
    QCOMPARE(Edit(*dlg, kStatusLine)->text(), QString("vorher"));
    QVERIFY(dlg->isVisible());
  }

  void beendenThatCannotWriteReportsAndStaysOpen() {
    TestProgramFolder folder;
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    std::filesystem::remove(folder.file("buffer.no"));
    std::filesystem::create_directories(folder.file("buffer.no"));
    ModalHandler boxes;
    Click(*dlg, kOkButton);
    QCOMPARE(boxes.messages().size(), 1);
    QVERIFY(boxes.messages()[0].contains("buffer.no"));
    QVERIFY(dlg->isVisible());
  }

  void notesAndColoursWithNonUtf8BytesComeBackUnchanged() {
    TestProgramFolder folder;
    std::string notes;
    for (int n = 0; n < 9; ++n) {
      std::string note;
      for (int b = 1 + n * 28; b < 1 + (n + 1) * 28 && b < 256; ++b) {
        if (b != '\r' && b != '\n') note += static_cast<char>(b);
      }
      notes += note + kCrLf;
    }
    const std::string colours =
        "#caf\xe9\r\n\x81\x8d\x8f\x90\x9d\r\n\x80\x9f\xa0\xff\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"
        "\xfc";
    auto dlg = Open(folder, &notes, &colours);
    QCOMPARE(Edit(*dlg, kBackgroundColourEdit)->text(), QString::fromUtf8("#caf\u00e9"));
    QCOMPARE(Edit(*dlg, kCell1ColourEdit)->text(), QString::fromUtf8("\u20ac\u0178\u00a0\u00ff"));
    Click(*dlg, kRefreshHtmlViewButton);  // writes s_style.css and color.no from the fields
    QCOMPARE(ReadBytes(folder.file("color.no")), colours);
    Click(*dlg, kOkButton);
    QCOMPARE(ReadBytes(folder.file("buffer.no")), notes);
  }

  void refreshWritesPreviewSheetAndColourFile() {
    TestProgramFolder folder;
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    TypeInto(*dlg, kBackgroundColourEdit, "#123456");
    Click(*dlg, kRefreshHtmlViewButton);
    const std::string sheet = ReadBytes(folder.file("s_style.css"));
    QVERIFY(sheet.rfind(".tbody { background-color: #123456; }", 0) == 0);
    QVERIFY(ReadBytes(folder.file("color.no")).rfind("#123456\r\n#000000\r\n", 0) == 0);
    QVERIFY(!std::filesystem::exists(folder.file("html/style.css")));
  }

  void loadedFilesMemberKeepsEveryByteThroughTheField() {
    TestProgramFolder folder;
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    // Names of loaded files may hold any byte but NUL on Linux, a lone CR or
    // LF among them; CR LF is the list's own line end.
    std::string member;
    for (int b = 1; b < 256; ++b) member += static_cast<char>(b);
    member += "\r\n\ra\n\n\r\r\nb\xa0\r\n";
    dlg->Member(kLoadedFiles) = member;
    dlg->UpdateData(false);
    dlg->UpdateData(true);
    QCOMPARE(dlg->Member(kLoadedFiles), member);
    QCOMPARE(qobject_cast<QPlainTextEdit*>(dlg->Control(kLoadedFiles))->document()->blockCount(),
             4);
  }

  // Bytes from files are shown as UTF-8 or Windows-1252 and come back as they
  // were; typed text is stored as Windows-1252 where it can be, else UTF-8.
  void threeKindsOfTextSurviveBeendenAndARestart() {
    TestProgramFolder folder;
    const std::string utf8_name = "J\xc3\xbcrgen";
    const std::string not_utf8 = "caf\xe9 \x81\xc3";
    const std::string notes = utf8_name + kCrLf + not_utf8 + kCrLf + "alt" + kCrLf;
    folder.Write("Datenbanken/db1/\xd0\x96.db", "\xd0\x96\r\nd\r\nt\r\n" + utf8_name + "\r\n5");
    std::string saved;
    {
      auto dlg = Open(folder, &notes, &kColours);
      QCOMPARE(Edit(*dlg, kNote1)->text(), QString::fromUtf8("J\u00fcrgen"));
      QCOMPARE(Edit(*dlg, kNote2)->text(), QString::fromUtf8("caf\u00e9 \u0081\u00c3"));
      Click(*dlg, kListPlayersButton);
      auto* list = qobject_cast<QListWidget*>(dlg->Control(kPlayerList));
      QCOMPARE(list->item(0)->text(), QString::fromUtf8("\u0416.db"));
      list->setCurrentRow(0);
      Click(*dlg, kShowPlayerDetailsButton);
      QCOMPARE(Edit(*dlg, kNameEdit)->text(), QString::fromUtf8("J\u00fcrgen"));
      QCOMPARE(dlg->Member(kNameEdit), utf8_name);
      TypeInto(*dlg, kNote3, QString::fromUtf8("Gru\u00df \u20ac"));
      TypeInto(*dlg, kNote4, QString::fromUtf8("\u041f\u0440\u0438\u0432\u0435\u0442"));
      Click(*dlg, kShowPlayerDetailsButton);  // a command in between changes nothing
      Click(*dlg, kOkButton);
      saved = ReadBytes(folder.file("buffer.no"));
      const std::string typed =
          "Gru\xdf \x80\r\n\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82\r\n";
      QCOMPARE(saved, utf8_name + kCrLf + not_utf8 + kCrLf + typed + "\r\n\r\n\r\n\r\n\r\n");
    }
    auto dlg = Open(folder, nullptr, nullptr);
    QCOMPARE(Edit(*dlg, kNote3)->text(), QString::fromUtf8("Gru\u00df \u20ac"));
    QCOMPARE(Edit(*dlg, kNote4)->text(), QString::fromUtf8("\u041f\u0440\u0438\u0432\u0435\u0442"));
    Click(*dlg, kOkButton);
    QCOMPARE(ReadBytes(folder.file("buffer.no")), saved);
  }

  void qtsFileAndColourDialogsSpeakGerman() {
    TestProgramFolder folder;
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    QStringList file_dialog, colour_dialog;
    ModalHandler dialogs([&](QWidget* modal) {
      QStringList& texts = qobject_cast<QFileDialog*>(modal) ? file_dialog : colour_dialog;
      texts << modal->windowTitle();
      for (auto* button : modal->findChildren<QAbstractButton*>())
        texts << button->text().remove(QLatin1Char('&'));
      for (auto* label : modal->findChildren<QLabel*>())
        texts << label->text().remove(QLatin1Char('&'));
      static_cast<QDialog*>(modal)->reject();
    });
    Click(*dlg, kLoadLogFileButton);  // cancelled: reported like a missing file
    Click(*dlg, kPickColourButton);
    const QString joined = file_dialog.join('|') + " || " + colour_dialog.join('|');
    QVERIFY2(file_dialog.contains(QString::fromUtf8("\u00d6ffnen")), qPrintable(joined));
    QVERIFY2(file_dialog.contains("Abbrechen"), qPrintable(joined));
    QVERIFY2(colour_dialog.contains("Abbrechen"), qPrintable(joined));
    QVERIFY2(colour_dialog.contains("Grundfarben"), qPrintable(joined));
  }

  // Several files from one dialog: loaded one after the other in the order
  // the dialog returns them, each listed by its name's bytes; a file that
  // cannot be read stops the command there and is named.
  void severalLogFilesLoadInTheDialogsOrderAndStopAtAFailure() {
    TestProgramFolder folder;
    const std::string cyrillic = "\xd0\x96.log";
    for (const std::string name : {"a.log", "b.log", "c.log", cyrillic.c_str()})
      folder.Write("logs/" + name, "L " + name + "\r\n");
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    QStringList picked;
    // Picks `names` (quoted, as the dialog lists several) in the folder of
    // logs; `vanishing` is removed once the dialog has accepted it.
    auto pick = [&picked, &folder](const QString& names, const std::string& vanishing = {}) {
      return [&picked, &folder, names, vanishing](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog) return;
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
        dialog->setDirectory(QFile::decodeName(folder.file("logs").c_str()));
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(names);
        picked = dialog->selectedFiles();
        static_cast<QDialog*>(dialog)->accept();
        if (!vanishing.empty()) std::filesystem::remove(folder.file("logs/" + vanishing));
      };
    };
    {
      ModalHandler dialogs(pick(QString::fromUtf8("\"c.log\" \"\u0416.log\" \"a.log\"")));
      Click(*dlg, kLoadLogFileButton);
      QVERIFY(dialogs.messages().isEmpty());
    }
    QCOMPARE(picked.size(), 3);
    std::string list, buffer;
    for (const QString& file : picked) {
      const std::string name = QFile::encodeName(QFileInfo(file).fileName()).toStdString();
      list += name + kCrLf;
      buffer += (buffer.empty() ? "" : kCrLf) + "L " + name;
    }
    QVERIFY(list.find(cyrillic + kCrLf) != std::string::npos);
    QCOMPARE(dlg->Member(kLoadedFiles), list);
    QCOMPARE(std::string(values_.log_buffer.text()), buffer);
    QCOMPARE(Edit(*dlg, kStatusLine)->text(), QString("Logfile fertig..."));
    TypeInto(*dlg, kStatusLine, "vorher");
    {
      ModalHandler dialogs(pick("\"b.log\" \"c.log\" \"a.log\"", "c.log"));
      Click(*dlg, kLoadLogFileButton);
      QCOMPARE(dialogs.messages().size(), 1);
      QVERIFY(dialogs.messages()[0].contains("c.log"));
    }
    QCOMPARE(picked.size(), 3);
    QVERIFY(picked[1].endsWith("c.log"));
    QCOMPARE(dlg->Member(kLoadedFiles), list + "b.log" + kCrLf);
    QCOMPARE(std::string(values_.log_buffer.text()), buffer + kCrLf + "L b.log");
    QCOMPARE(Edit(*dlg, kStatusLine)->text(), QString("Logfile fertig..."));
  }

  // Each loaded line goes into a database once: a second update asks first,
  // and only "Alles nochmals einlesen" folds the same lines again.
  void updatingAgainAsksAndFoldsEachLineOnce() {
    TestProgramFolder folder;
    const std::filesystem::path bob = folder.file("Datenbanken/db1/4711.db");
    auto dlg = OpenWithLogLoaded(folder);
    QCOMPARE(Update(*dlg), QStringList());
    const auto once = DatabaseFiles(folder.file("Datenbanken/db1"));
    QCOMPARE(PlayerField(bob, 7), std::string("1"));

    {
      ModalHandler boxes;
      boxes.AnswerWith("Nur Neues einlesen");
      Click(*dlg, kUpdateDatabaseButton);
      QCOMPARE(boxes.messages().size(), 1);
      QVERIFY(boxes.messages()[0].contains("Datenbank 1"));
      QVERIFY(boxes.messages()[0].contains("\nabend.log\n"));
      QCOMPARE(boxes.default_buttons(), QStringList{"Nur Neues einlesen"});
    }
    QVERIFY(DatabaseFiles(folder.file("Datenbanken/db1")) == once);
    QCOMPARE(Edit(*dlg, kStatusLine)->text(),
             QString("Logfile fertig... Datenbank 1 fertig... Datenbank 1 fertig..."));

    QCOMPARE(Update(*dlg, "Abbrechen").size(), 1);
    QVERIFY(DatabaseFiles(folder.file("Datenbanken/db1")) == once);
    QCOMPARE(Edit(*dlg, kStatusLine)->text(),
             QString("Logfile fertig... Datenbank 1 fertig... Datenbank 1 fertig..."));

    QCOMPARE(Update(*dlg, "Alles nochmals einlesen").size(), 1);
    QCOMPARE(PlayerField(bob, 4), std::string("2"));     // CT joins
    QCOMPARE(PlayerField(bob, 7), std::string("2"));     // kills
    QCOMPARE(PlayerField(bob, 19), std::string("706"));  // 2 x 353 s
    const auto twice = DatabaseFiles(folder.file("Datenbanken/db1"));

    // The log grows; after a reset nothing is loaded and nothing folded.
    folder.Write("logs/abend.log", kLog +
                                       "L 03/15/2003 - 20:25:00: \"Bob<12><4711><CT>\" killed "
                                       "\"Al<13><0815><TERROR>\" with \"knife\"\r\n");
    Click(*dlg, kResetLoadedFilesButton);
    QCOMPARE(Update(*dlg), QStringList());
    QVERIFY(DatabaseFiles(folder.file("Datenbanken/db1")) == twice);
    LoadLog(*dlg, folder.file("logs/abend.log"));
    const QStringList asked = Update(*dlg, "Nur Neues einlesen");
    QCOMPARE(asked.size(), 1);
    QVERIFY(asked[0].contains("\nabend.log (5 Zeilen bereits eingelesen)\n"));
    QCOMPARE(PlayerField(bob, 7), std::string("3"));
    QCOMPARE(PlayerField(bob, 42), std::string("1"));  // knife
    QCOMPARE(PlayerField(bob, 19), std::string("706"));
  }

  // A run stopped by a file says where and keeps the lines before; a run
  // that cannot write keeps nothing; an unfinished commit is finished by the
  // next command. Each ends like one uninterrupted run.
  void aFailedUpdateSaysHowFarItGot() {
    TestProgramFolder folder;
    auto dlg = OpenWithLogLoaded(folder);
    Click(*dlg, kDatabase2Button);
    varnokel::SetFileFault({});
    QCOMPARE(Update(*dlg), QStringList());
    const long writes = varnokel::FileWriteOperationsSoFar();
    const auto uninterrupted = DatabaseFiles(folder.file("Datenbanken/db2"));
    TypeInto(*dlg, kStatusLine, "vorher");

    // Al's player file is a folder: the run stops at his first line.
    Click(*dlg, kDatabase1Button);
    std::filesystem::create_directory(folder.file("Datenbanken/db1/0815.db"));
    QStringList boxes = Update(*dlg);
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].contains("db1/0815.db"), qPrintable(boxes[0]));
    QVERIFY2(boxes[0].contains("Zeile 3 von \"abend.log\""), qPrintable(boxes[0]));
    QVERIFY2(boxes[0].contains("2 Zeilen in Datenbank 1"), qPrintable(boxes[0]));
    QCOMPARE(Edit(*dlg, kStatusLine)->text(), QString("vorher"));
    QCOMPARE(PlayerField(folder.file("Datenbanken/db1/4711.db"), 4), std::string("1"));
    std::filesystem::remove(folder.file("Datenbanken/db1/0815.db"));
    boxes = Update(*dlg, "Nur Neues einlesen");
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes[0].contains("\nabend.log (2 Zeilen bereits eingelesen)\n"));
    QVERIFY(DatabaseFiles(folder.file("Datenbanken/db1")) == uninterrupted);

    Click(*dlg, kDatabase3Button);
    TypeInto(*dlg, kStatusLine, "vorher");
    varnokel::SetFileFault({1, ENOSPC, false});
    boxes = Update(*dlg);
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].contains("Es wurde nichts in Datenbank 3 eingelesen."), qPrintable(boxes[0]));
    QVERIFY(DatabaseFiles(folder.file("Datenbanken/db3")).empty());
    QCOMPARE(Edit(*dlg, kStatusLine)->text(), QString("vorher"));

    Click(*dlg, kDatabase4Button);
    varnokel::SetFileFault({writes, EIO, false});  // the commit's last step
    boxes = Update(*dlg);
    varnokel::SetFileFault({});
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].contains("noch nicht ganz gespeichert"), qPrintable(boxes[0]));
    Click(*dlg, kListPlayersButton);  // completes the commit
    QCOMPARE(qobject_cast<QListWidget*>(dlg->Control(kPlayerList))->count(), 2);
    QVERIFY(DatabaseFiles(folder.file("Datenbanken/db4")) == uninterrupted);
  }

  // Another program holding the database's lock (here a second lock of this
  // process: flock locks of separate opens exclude each other) keeps every
  // command off it with a message, and nothing changes.
  void aBusyDatabaseIsReportedAndLeftAlone() {
    TestProgramFolder folder;
    const std::filesystem::path db1 = folder.file("Datenbanken/db1");
    auto dlg = OpenWithLogLoaded(folder);
    QCOMPARE(Update(*dlg), QStringList());
    Click(*dlg, kListPlayersButton);
    auto* list = qobject_cast<QListWidget*>(dlg->Control(kPlayerList));
    list->setCurrentRow(1);
    const auto before = DatabaseFiles(db1);
    TypeInto(*dlg, kStatusLine, "vorher");
    {
      varnokel::DatabaseLock writer(db1, varnokel::DatabaseLock::Access::kWrite);
      ModalHandler boxes;
      for (ControlId id : {kUpdateDatabaseButton, kDeleteDatabaseButton, kListPlayersButton,
                           kShowPlayerDetailsButton, kReportRunButton})
        Click(*dlg, id);
      QCOMPARE(boxes.messages().size(), 5);
      QVERIFY(boxes.messages()[0].contains(
          "Datenbank 1 ist gerade belegt: ein anderes Programm arbeitet"));
      QCOMPARE(boxes.messages()[1], boxes.messages()[0]);
      for (int i = 2; i < 5; ++i)
        QVERIFY(boxes.messages()[i].contains(
            "Datenbank 1 ist gerade belegt: ein anderes Programm schreibt"));
    }
    QVERIFY(DatabaseFiles(db1) == before);
    QCOMPARE(list->count(), 2);
    QVERIFY(Edit(*dlg, kNameEdit)->text().isEmpty());
    QVERIFY(!std::filesystem::exists(folder.file("html/st.htm")));
    QCOMPARE(Edit(*dlg, kStatusLine)->text(), QString("vorher"));
    {
      // Readers share the database; a writer waits for them.
      varnokel::DatabaseLock reader(db1, varnokel::DatabaseLock::Access::kRead);
      ModalHandler boxes;
      Click(*dlg, kShowPlayerDetailsButton);
      QCOMPARE(Edit(*dlg, kNameEdit)->text(), QString("Bob"));
      Click(*dlg, kUpdateDatabaseButton);
      QCOMPARE(boxes.messages().size(), 1);
      QVERIFY(DatabaseFiles(db1) == before);
    }
    // A database folder that does not exist has nothing to lock or delete.
    std::filesystem::remove(folder.file("Datenbanken/db9"));
    Click(*dlg, kDatabase9Button);
    ModalHandler boxes;
    Click(*dlg, kDeleteDatabaseButton);
    QVERIFY(boxes.messages().isEmpty());
    QCOMPARE(list->count(), 0);
  }

  void colourPickerShowsTheColourAndBlackWhenCancelled() {
    TestProgramFolder folder;
    auto dlg = Open(folder, &kNineEmptyNotes, &kColours);
    TypeInto(*dlg, kLineColourEdit, "getippt");
    {
      ModalHandler dialogs([](QWidget* modal) {
        if (auto* colours = qobject_cast<QColorDialog*>(modal)) {
          QCOMPARE(colours->currentColor(), QColor(Qt::black));
          colours->setCurrentColor(QColor(18, 52, 86));
          colours->accept();
        }
      });
      Click(*dlg, kPickColourButton);
    }
    QCOMPARE(Edit(*dlg, kPickedColour)->text(), QString("#123456"));
    // No opening exchange: the typed colour is overwritten by the member.
    QCOMPARE(Edit(*dlg, kLineColourEdit)->text(), QString("#000000"));
    {
      ModalHandler dialogs([](QWidget* modal) {
        if (auto* colours = qobject_cast<QColorDialog*>(modal)) {
          colours->setCurrentColor(QColor(Qt::red));
          colours->reject();
        }
      });
      Click(*dlg, kPickColourButton);
    }
    QCOMPARE(Edit(*dlg, kPickedColour)->text(), QString("#000000"));
  }
};

int main(int argc, char* argv[]) {
  PrepareTestEnvironment();
  QApplication app(argc, argv);
  InstallGermanDialogTexts(app);
  TestVarnokelDlg test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_varnokel_dlg.moc"
