#include "app/varnokel_dlg.h"

#include <QByteArray>
#include <QColor>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <exception>
#include <stdexcept>

#include "app/about_box.h"
#include "app/app_icon.h"
#include "app/dialog_layout.h"
#include "app/dialog_units.h"
#include "app/text_codec.h"
#include "base/file_io.h"
#include "base/program_dir.h"
#include "db/database.h"
#include "db/database_commands.h"
#include "db/ledger.h"
#include "db/player_file.h"
#include "db/staged_commit.h"
#include "db/update_plan.h"
#include "db/update_run.h"
#include "log/log_buffer.h"
#include "log/weapon_names.h"
#include "report/report_run.h"

#include "app/views/animation_view.h"
#include "app/views/html_view.h"

// clang-format off
const std::array<ControlId, kTextMemberCount> kTextMemberIds = {
  kStatusLine,
  kLoadedFiles,
  kNote1, kNote2, kNote3, kNote4, kNote5, kNote6, kNote7, kNote8, kNote9,
  // Player details
  kNameEdit, kCtJoinsEdit, kOtherJoinsEdit, kDeathsEdit, kKillsEdit, kHostageTouchedEdit,
  kHostageKilledEdit, kHostageRescuedEdit, kBombPlantedEdit, kBombDefusedEdit, kPlayTimeEdit,
  kDeagleKillsEdit, kMp5NavyKillsEdit, kMac10KillsEdit, kAk47KillsEdit, kM4a1KillsEdit,
  kAugKillsEdit, kAwpKillsEdit, kSg550KillsEdit, kParaKillsEdit, kKnifeKillsEdit, kScoutKillsEdit,
  kUspKillsEdit, kGlock18KillsEdit, kTmpKillsEdit, kP90KillsEdit,
  kPickedColour,
  // ColourSet, in the order of "color.no"
  kBackgroundColourEdit, kLineColourEdit, kCell1ColourEdit, kCell2ColourEdit, kCell3ColourEdit,
  kFrameColourEdit, kTextColourEdit, kHeadingColourEdit, kLinkColourEdit, kCoverColourEdit,
  kBarColourEdit, kBarBackgroundColourEdit,
};
// clang-format on

namespace {

namespace field = varnokel::field;

constexpr size_t kMaxListedPlayers = 1000;
// The question before an update names at most this many logs, so that the
// box still fits on the screen when many files were loaded.
constexpr size_t kMaxNamedLogs = 20;

constexpr std::array<ControlId, varnokel::kNoteCount> kNoteIds = {
    kNote1, kNote2, kNote3, kNote4, kNote5, kNote6, kNote7, kNote8, kNote9};
// In the order of "color.no".
constexpr std::array<ControlId, varnokel::kColourCount> kColourIds = {
    kBackgroundColourEdit, kLineColourEdit,  kCell1ColourEdit, kCell2ColourEdit,
    kCell3ColourEdit,      kFrameColourEdit, kTextColourEdit,  kHeadingColourEdit,
    kLinkColourEdit,       kCoverColourEdit, kBarColourEdit,   kBarBackgroundColourEdit};

// The player-file field that counts the kills with `weapon` (its name as the
// log writes it); a name that is no weapon fails the build.
constexpr int KillsField(std::string_view weapon) {
  for (int n = 1; n <= varnokel::kWeaponCount; ++n) {
    if (varnokel::kWeaponNames[static_cast<size_t>(n - 1)] == weapon)
      return varnokel::WeaponKillsField(n);
  }
  throw std::invalid_argument("not a weapon");
}

// The edit field that shows player-file field `field_index`, or kNoControlId.
ControlId DetailEditForField(int field_index) {
  struct Pair {
    int field;
    ControlId edit;
  };
  static constexpr Pair kPairs[] = {
      {field::kName, kNameEdit},
      {field::kCtJoins, kCtJoinsEdit},
      {field::kOtherJoins, kOtherJoinsEdit},
      {field::kDeaths, kDeathsEdit},
      {field::kKills, kKillsEdit},
      {field::kHostageTouched, kHostageTouchedEdit},
      {field::kHostageKilled, kHostageKilledEdit},
      {field::kHostageRescued, kHostageRescuedEdit},
      {field::kBombPlanted, kBombPlantedEdit},
      {field::kBombDefused, kBombDefusedEdit},
      {field::kPlayTime, kPlayTimeEdit},
      {KillsField("usp"), kUspKillsEdit},
      {KillsField("glock18"), kGlock18KillsEdit},
      {KillsField("deagle"), kDeagleKillsEdit},
      {KillsField("mp5navy"), kMp5NavyKillsEdit},
      {KillsField("tmp"), kTmpKillsEdit},
      {KillsField("p90"), kP90KillsEdit},
      {KillsField("mac10"), kMac10KillsEdit},
      {KillsField("ak47"), kAk47KillsEdit},
      {KillsField("m4a1"), kM4a1KillsEdit},
      {KillsField("aug"), kAugKillsEdit},
      {KillsField("scout"), kScoutKillsEdit},
      {KillsField("awp"), kAwpKillsEdit},
      {KillsField("sg550"), kSg550KillsEdit},
      {KillsField("para"), kParaKillsEdit},
      {KillsField("knife"), kKnifeKillsEdit},
  };
  for (const Pair& pair : kPairs) {
    if (pair.field == field_index) return pair.edit;
  }
  return kNoControlId;
}

// The buttons that select databases 1 to 9, in order.
constexpr std::array<ControlId, 9> kDatabaseButtonIds = {
    kDatabase1Button, kDatabase2Button, kDatabase3Button, kDatabase4Button, kDatabase5Button,
    kDatabase6Button, kDatabase7Button, kDatabase8Button, kDatabase9Button};

// The text of a multi-line field: the raw text keeps non-breaking spaces;
// paragraph ends become LF.
QString PlainText(const QPlainTextEdit& lines) {
  QString text = lines.document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return text;
}

// File names travel as the file system's bytes.
std::filesystem::path ToPath(const QString& file) {
  return std::filesystem::path(QFile::encodeName(file).toStdString());
}

QString FromPath(const std::filesystem::path& file) {
  return QFile::decodeName(QByteArray::fromStdString(file.string()));
}

// The open dialog's filter entries: "Logfiles " for log files (either case
// of the extension, as names on Linux are case-sensitive) and " Alle Dateien "
// for every file. Qt trims the blanks around each entry, and "*" stands for
// every file as "*.*" does on Windows (on Linux "*.*" misses names without a dot).
const char kLogFileFilter[] = "Logfiles (*.LOG *.log);; Alle Dateien (*)";

QString FileErrorText(const varnokel::FileError& error) {
  const QString file = FromPath(error.file());
  switch (error.kind()) {
    case varnokel::FileError::Kind::kOpen:
      return QString::fromUtf8("Die Datei \"%1\" kann nicht ge\u00f6ffnet werden.").arg(file);
    case varnokel::FileError::Kind::kCreate:
      return QString::fromUtf8("Die Datei \"%1\" kann nicht geschrieben werden.").arg(file);
    case varnokel::FileError::Kind::kInvalidName:
      return QString::fromUtf8("Der Dateiname \"%1\" ist ung\u00fcltig.").arg(file);
  }
  return FromPath(error.file());
}

// One line per loaded log the database holds already: its name, and for a
// log that has grown since, how many of its lines are in.
QString FoldedLogsText(const varnokel::UpdatePlan& plan) {
  QStringList lines;
  size_t named = 0, more = 0;
  for (const varnokel::PlannedLog& log : plan.logs) {
    if (!log.WhollyFolded() && !log.PartlyFolded()) continue;
    if (named == kMaxNamedLogs) {
      ++more;
      continue;
    }
    ++named;
    QString line = varnokel::ShownText(log.name);
    if (log.PartlyFolded())
      line += QString::fromUtf8(" (%1 Zeilen bereits eingelesen)").arg(log.lines_already);
    lines << line;
  }
  if (more > 0) lines << QString::fromUtf8("und %1 weitere").arg(more);
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

CVarnokelDlg::CVarnokelDlg(varnokel::ProcessValues& values, std::filesystem::path program_dir,
                           QWidget* parent)
    : CVarnokelDlgBase(parent), values_(values), program_dir_override_(std::move(program_dir)) {
  // A top-level window of its own (shown in the task bar) with a sizing
  // border and the minimise and maximise boxes; the controls keep their
  // places when it is resized.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QString::fromLatin1(kDialogTitle));

  const QFont font = DialogFont(ProgramFolder());
  setFont(font);
  const DialogUnits units(font);
  resize(units.ToPixelsX(kDialogWidth), units.ToPixelsY(kDialogHeight));
  controls_ = BuildControls(this, units, MainWindowControls());
  player_list_ = qobject_cast<QListWidget*>(Control(kPlayerList));
  setWindowIcon(AppIcon());
  ConnectCommands();
  OnInitDialog();
}

CVarnokelDlg::~CVarnokelDlg() = default;

std::filesystem::path CVarnokelDlg::ProgramFolder() const {
  return program_dir_override_.empty() ? varnokel::ProgramDir() : program_dir_override_;
}

std::filesystem::path CVarnokelDlg::DatabaseFolder() const {
  return varnokel::DatabaseDir(ProgramFolder(), values_.database_number);
}

QWidget* CVarnokelDlg::Control(ControlId id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

const std::string& CVarnokelDlg::Member(ControlId id) const {
  for (size_t i = 0; i < kTextMemberIds.size(); ++i) {
    if (kTextMemberIds[i] == id) return texts_[i];
  }
  throw std::out_of_range("no text member for control " + std::to_string(id));
}

std::string& CVarnokelDlg::Member(ControlId id) {
  return const_cast<std::string&>(std::as_const(*this).Member(id));
}

// Texts from files are shown as UTF-8 or Windows-1252 (text_codec.h); each
// field remembers the bytes it was filled from, so that a text the user left
// alone goes back into its member byte for byte.
void CVarnokelDlg::UpdateData(bool save_and_validate) {
  for (size_t i = 0; i < kTextMemberIds.size(); ++i) {
    QWidget* control = Control(kTextMemberIds[i]);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      if (save_and_validate) {
        texts_[i] = varnokel::TakeText(edit->text(), shown_[i]);
      } else {
        edit->setText(varnokel::ShownText(texts_[i]));
        shown_[i] = {texts_[i], edit->text()};
      }
    } else if (auto* lines = qobject_cast<QPlainTextEdit*>(control)) {
      if (save_and_validate) {
        texts_[i] = varnokel::TakeLines(PlainText(*lines), shown_[i]);
      } else {
        lines->setPlainText(varnokel::ShownLines(texts_[i]));
        shown_[i] = {texts_[i], PlainText(*lines)};
      }
    }
  }
}

// Start-up of the window, in this order: first exchange (all fields empty),
// about item and icon (constructor), cover animation, notes, colours,
// exchange, background, HTML view. A state file that cannot be read is
// reported and leaves its own fields empty; everything else still runs.
void CVarnokelDlg::OnInitDialog() {
  UpdateData(false);
  const std::filesystem::path program_dir = ProgramFolder();
  PlayMovie(program_dir / "varnokel.swf");
  RunFileWork([&] {
    const varnokel::DatabaseNotes notes = varnokel::ReadDatabaseNotes(program_dir / "buffer.no");
    for (size_t i = 0; i < notes.size(); ++i) Member(kNoteIds[i]) = notes[i];
  });
  RunFileWork([&] { SetColours(varnokel::ReadColourFile(program_dir / "color.no")); });
  UpdateData(false);
  SetBackgroundBitmap(QStringLiteral("water.bmp"), 1);
  NavigateHtmlView();
}

void CVarnokelDlg::ConnectCommands() {
  auto on_click = [this](ControlId id, void (CVarnokelDlg::*handler)()) {
    connect(qobject_cast<QPushButton*>(Control(id)), &QPushButton::clicked, this, handler);
  };
  on_click(kLoadLogFileButton, &CVarnokelDlg::OnLoadLogFile);
  on_click(kResetLoadedFilesButton, &CVarnokelDlg::OnResetLoadedFiles);
  on_click(kUpdateDatabaseButton, &CVarnokelDlg::OnUpdateDatabase);
  on_click(kDeleteDatabaseButton, &CVarnokelDlg::OnDeleteDatabase);
  on_click(kListPlayersButton, &CVarnokelDlg::OnListPlayers);
  on_click(kShowPlayerDetailsButton, &CVarnokelDlg::OnShowPlayerDetails);
  on_click(kReportRunButton, &CVarnokelDlg::OnReportRun);
  on_click(kPickColourButton, &CVarnokelDlg::OnPickColour);
  on_click(kRefreshHtmlViewButton, &CVarnokelDlg::OnRefreshHtmlView);
  on_click(kOkButton, &CVarnokelDlg::accept);
  for (size_t i = 0; i < kDatabaseButtonIds.size(); ++i) {
    const std::string number(1, static_cast<char>('1' + i));
    connect(qobject_cast<QPushButton*>(Control(kDatabaseButtonIds[i])), &QPushButton::clicked, this,
            [this, number] { OnSelectDatabase(number); });
  }
}

// "Beenden": take the notes as typed, save them, then close. A "buffer.no"
// that cannot be written is reported and the window stays open.
void CVarnokelDlg::accept() {
  UpdateData(true);
  const bool done =
      RunFileWork([&] { varnokel::WriteDatabaseNotes(ProgramFolder() / "buffer.no", Notes()); });
  if (!done) return;
  CVarnokelDlgBase::accept();
}

// The about item lives in a context menu of the window's background: on
// Linux the window manager owns the window menu.
void CVarnokelDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(QString::fromUtf8("Inf&o \u00fcber varnokel..."), this,
                 &CVarnokelDlg::ShowAboutBox);
  menu.exec(event->globalPos());
}

void CVarnokelDlg::ShowAboutBox() {
  CAboutBox about(font(), this);
  about.exec();
}

// The dialog may pick several files; each is loaded as if it had been picked
// alone, in the order the dialog returns them, and shown before the next one
// is read. A file that fails is reported and stops the command there: the
// files before it stay loaded and listed, the ones after it are not read.
void CVarnokelDlg::OnLoadLogFile() {
  UpdateData(true);
  // Qt's own dialog, also where the desktop offers one of its own, so that
  // the filter entries read the same everywhere.
  QStringList files =
      QFileDialog::getOpenFileNames(this, QString(), QString(), QString::fromLatin1(kLogFileFilter),
                                    nullptr, QFileDialog::DontUseNativeDialog);
  // A cancelled dialog names the empty file, whose loading fails and is reported.
  if (files.isEmpty()) files.append(QString());
  for (const QString& file : files) {
    std::string list_line;  // the name's bytes as the file system holds them, then CR LF
    const bool done =
        RunFileWork([&] { list_line = varnokel::LoadLogFile(values_.log_buffer, ToPath(file)); });
    if (!done) return;
    Member(kLoadedFiles) += list_line;
    Member(kStatusLine) = varnokel::kStatusLogLoaded;
    UpdateData(false);
  }
}

// The list and the buffer go together: a log that is no longer listed is not
// folded by the next update either.
void CVarnokelDlg::OnResetLoadedFiles() {
  UpdateData(true);
  Member(kLoadedFiles).clear();
  values_.log_buffer.Clear();
  UpdateData(false);
}

// Folds what the database does not hold yet of the loaded logs. When some of
// them are in already, the user chooses: only what is new, everything again,
// or nothing. The lock is let go while the question is open, so that no other
// program waits on the user; the plan is then made afresh under a new lock.
void CVarnokelDlg::OnUpdateDatabase() {
  UpdateData(true);
  std::optional<varnokel::DatabaseLock> lock;
  varnokel::UpdatePlan plan;
  if (!LockAndPlanUpdate(lock, plan, false)) return;
  bool again = false;
  if (plan.AnythingAlreadyFolded()) {
    lock.reset();
    const FoldChoice choice = AskHowToFold(plan);
    if (choice == FoldChoice::kCancel) return;
    again = choice == FoldChoice::kEverything;
    if (!LockAndPlanUpdate(lock, plan, again)) return;
  }
  if (!RunUpdate(*lock, plan, again)) return;
  Member(kStatusLine) += varnokel::UpdateDoneStatus(values_.database_number);
  UpdateData(false);
}

bool CVarnokelDlg::LockAndPlanUpdate(std::optional<varnokel::DatabaseLock>& lock,
                                     varnokel::UpdatePlan& plan, bool again) {
  if (!LockDatabase(lock, varnokel::DatabaseLock::Access::kWrite)) return false;
  const bool planned = RunFileWork([&] {
    plan =
        varnokel::PlanUpdate(values_.log_buffer, varnokel::Ledger::Read(DatabaseFolder()), again);
  });
  if (!planned) lock.reset();
  return planned;
}

CVarnokelDlg::FoldChoice CVarnokelDlg::AskHowToFold(const varnokel::UpdatePlan& plan) {
  const QString number = QString::fromStdString(values_.database_number);
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kDialogTitle),
                  QString::fromUtf8("Von diesen geladenen Logfiles ist schon etwas in "
                                    "Datenbank %1 eingelesen:\n\n%2\n\nNur das Neue einlesen "
                                    "oder alles nochmals (was schon drin ist, z\u00e4hlt dann "
                                    "doppelt)?")
                      .arg(number, FoldedLogsText(plan)),
                  QMessageBox::NoButton, this);
  QPushButton* only_new =
      box.addButton(QString::fromUtf8("Nur Neues einlesen"), QMessageBox::AcceptRole);
  QPushButton* everything =
      box.addButton(QString::fromUtf8("Alles nochmals einlesen"), QMessageBox::DestructiveRole);
  QPushButton* cancel = box.addButton(QString::fromUtf8("Abbrechen"), QMessageBox::RejectRole);
  box.setDefaultButton(only_new);
  box.setEscapeButton(cancel);
  box.exec();
  // A box closed without a button counts as cancelled.
  if (box.clickedButton() == only_new) return FoldChoice::kOnlyNew;
  if (box.clickedButton() == everything) return FoldChoice::kEverything;
  return FoldChoice::kCancel;
}

// A stopped run has committed the lines before the failing one; a run that
// could not write at all has changed nothing; an incomplete commit is made
// and completed by the next command on the database.
bool CVarnokelDlg::RunUpdate(const varnokel::DatabaseLock& lock, const varnokel::UpdatePlan& plan,
                             bool again) {
  const QString number = QString::fromStdString(values_.database_number);
  QString message;
  try {
    varnokel::UpdateOptions options;
    options.again = again;
    varnokel::DatabaseUpdateRun(lock, values_.log_buffer, plan, values_.reference_line, options);
    return true;
  } catch (const varnokel::UpdateStopped& stopped) {
    // One arg() call for all: a log name may hold "%1" itself.
    const QString log =
        stopped.log_name().empty()
            ? QString()
            : QString::fromUtf8(" von \"%1\"").arg(varnokel::ShownText(stopped.log_name()));
    message = FileErrorText(stopped) + QLatin1String("\n\n") +
              QString::fromUtf8(
                  "Der Lauf hielt in Zeile %1%2 an; bis dahin wurden %3 Zeilen in "
                  "Datenbank %4 eingelesen. Ist die Ursache behoben, liest "
                  "\"Datenbank %4 bearbeiten\" den Rest ein.")
                  .arg(QString::number(stopped.line_number()), log,
                       QString::number(stopped.lines_folded()), number);
  } catch (const varnokel::FileError& error) {
    message = FileErrorText(error) + QLatin1String("\n\n") +
              QString::fromUtf8("Es wurde nichts in Datenbank %1 eingelesen.").arg(number);
  } catch (const varnokel::CommitIncomplete& incomplete) {
    message = QString::fromUtf8(
                  "Datenbank %1 ist eingelesen, aber noch nicht ganz gespeichert. "
                  "Der n\u00e4chste Befehl auf Datenbank %1 schlie\u00dft das "
                  "Speichern ab.\n\n%2")
                  .arg(number, QString::fromLocal8Bit(incomplete.what()));
  } catch (const std::exception& error) {
    message = QString::fromLocal8Bit(error.what());
  }
  QMessageBox::critical(this, QString::fromLatin1(kDialogTitle), message);
  return false;
}

void CVarnokelDlg::OnDeleteDatabase() {
  UpdateData(true);
  // A database folder that does not exist has nothing to delete and nothing
  // to lock: the command only empties the list, as for an empty folder.
  if (std::filesystem::is_directory(DatabaseFolder())) {
    std::optional<varnokel::DatabaseLock> lock;
    if (!LockDatabase(lock, varnokel::DatabaseLock::Access::kWrite)) return;
    if (!RunFileWork([&] { varnokel::DeleteDatabase(DatabaseFolder()); })) return;
  }
  player_list_->clear();
  UpdateData(false);
}

// A busy database keeps the list as it was.
void CVarnokelDlg::OnListPlayers() {
  UpdateData(true);
  std::optional<varnokel::DatabaseLock> lock;
  if (!LockDatabase(lock, varnokel::DatabaseLock::Access::kRead)) return;
  player_list_->clear();
  UpdateData(false);
  std::vector<std::string> entries;
  if (!RunFileWork([&] { entries = varnokel::ListPlayers(DatabaseFolder()); })) return;
  for (size_t i = 0; i < entries.size() && i < kMaxListedPlayers; ++i) {
    // The entry keeps its exact bytes for the details command.
    auto* item = new QListWidgetItem(varnokel::ShownText(entries[i]), player_list_);
    item->setData(Qt::UserRole, QByteArray::fromStdString(entries[i]));
  }
  UpdateData(false);
}

void CVarnokelDlg::OnShowPlayerDetails() {
  UpdateData(true);
  const QList<QListWidgetItem*> selected = player_list_->selectedItems();
  if (selected.isEmpty()) return;
  const std::string entry = selected.first()->data(Qt::UserRole).toByteArray().toStdString();
  std::optional<varnokel::DatabaseLock> lock;
  if (!LockDatabase(lock, varnokel::DatabaseLock::Access::kRead)) return;
  varnokel::PlayerDetails details;
  const bool done =
      RunFileWork([&] { details = varnokel::ReadPlayerDetails(DatabaseFolder(), entry); });
  if (!done) return;
  for (size_t i = 0; i < details.size(); ++i) {
    const ControlId edit = DetailEditForField(varnokel::kDetailSlots[i].field);
    if (edit != kNoControlId) Member(edit) = details[i];
  }
  UpdateData(false);
}

// No exchange: only the process-wide number and four captions change.
void CVarnokelDlg::OnSelectDatabase(std::string_view number) {
  values_.database_number = std::string(number);
  const std::string n = values_.database_number;
  SetCaption(kListPlayersButton, "Datenbank " + n + " anschauen");
  SetCaption(kUpdateDatabaseButton, "Datenbank " + n + " bearbeiten");
  SetCaption(kReportRunButton, "Datenbank " + n + " zu HTML");
  SetCaption(kDeleteDatabaseButton, "Datenbank " + n + " l\u00f6schen");
}

void CVarnokelDlg::OnReportRun() {
  UpdateData(true);
  std::optional<varnokel::DatabaseLock> lock;
  if (!LockDatabase(lock, varnokel::DatabaseLock::Access::kRead)) return;
  const bool done =
      RunFileWork([&] { varnokel::ReportRun(ProgramFolder(), DatabaseFolder(), Colours()); });
  lock.reset();  // the site is written; the view needs no lock
  if (!done) return;
  NavigateHtmlView();
  Member(kStatusLine) += varnokel::ReportDoneStatus(values_.database_number);
  UpdateData(false);
}

// The colour dialog starts at black; a cancelled dialog gives black too.
void CVarnokelDlg::OnPickColour() {
  QColor colour = QColorDialog::getColor(Qt::black, this);
  if (!colour.isValid()) colour = Qt::black;
  Member(kPickedColour) = varnokel::HtmlColour(colour.red(), colour.green(), colour.blue());
  UpdateData(false);
}

void CVarnokelDlg::OnRefreshHtmlView() {
  UpdateData(true);
  const bool done = RunFileWork([&] {
    varnokel::RefreshStyleFiles(ProgramFolder(), Colours(), [this] { NavigateHtmlView(); });
  });
  if (!done) return;
  UpdateData(false);
}

void CVarnokelDlg::SetCaption(ControlId id, const std::string& caption) {
  qobject_cast<QPushButton*>(Control(id))->setText(QString::fromStdString(caption));
}

void CVarnokelDlg::PlayMovie(const std::filesystem::path& movie) {
  auto* flash = qobject_cast<CShockwaveFlash*>(Control(kAnimationView));
  flash->SetMovie(FromPath(movie));
  flash->Play();
}

void CVarnokelDlg::NavigateHtmlView() {
  const std::string address = varnokel::DesignPageAddress(ProgramFolder());
  qobject_cast<CWebBrowser2*>(Control(kHtmlView))
      ->Navigate(QString::fromUtf8(QByteArray::fromStdString(address)));
}

bool CVarnokelDlg::RunFileWork(const std::function<void()>& work) {
  try {
    work();
    return true;
  } catch (const varnokel::FileError& error) {
    ReportFileError(error);
  } catch (const std::exception& error) {
    // Anything else the file system throws: shown, never a crash.
    QMessageBox::critical(this, QString::fromLatin1(kDialogTitle),
                          QString::fromLocal8Bit(error.what()));
  }
  return false;
}

void CVarnokelDlg::ReportFileError(const varnokel::FileError& error) {
  QMessageBox::critical(this, QString::fromLatin1(kDialogTitle), FileErrorText(error));
}

bool CVarnokelDlg::LockDatabase(std::optional<varnokel::DatabaseLock>& lock,
                                varnokel::DatabaseLock::Access access) {
  bool busy = false;
  const bool locked = RunFileWork([&] {
    try {
      lock.emplace(DatabaseFolder(), access, varnokel::LockWait::kNoWait);
    } catch (const varnokel::DatabaseBusy&) {
      busy = true;
    }
  });
  if (busy) ReportBusyDatabase(access);
  return locked && !busy;
}

// A writer is kept out by any other program on the database, a reader only by
// one that writes.
void CVarnokelDlg::ReportBusyDatabase(varnokel::DatabaseLock::Access access) {
  const QString number = QString::fromStdString(values_.database_number);
  const QString message =
      access == varnokel::DatabaseLock::Access::kWrite
          ? QString::fromUtf8(
                "Datenbank %1 ist gerade belegt: ein anderes Programm arbeitet damit.\n"
                "Bitte sp\u00e4ter noch einmal versuchen; es wurde nichts "
                "ge\u00e4ndert.")
          : QString::fromUtf8(
                "Datenbank %1 ist gerade belegt: ein anderes Programm schreibt hinein.\n"
                "Bitte sp\u00e4ter noch einmal versuchen.");
  QMessageBox::warning(this, QString::fromLatin1(kDialogTitle), message.arg(number));
}

varnokel::ColourSet CVarnokelDlg::Colours() const {
  varnokel::ColourSet colours;
  for (size_t i = 0; i < colours.size(); ++i) colours[i] = Member(kColourIds[i]);
  return colours;
}

void CVarnokelDlg::SetColours(const varnokel::ColourSet& colours) {
  for (size_t i = 0; i < colours.size(); ++i) Member(kColourIds[i]) = colours[i];
}

varnokel::DatabaseNotes CVarnokelDlg::Notes() const {
  varnokel::DatabaseNotes notes;
  for (size_t i = 0; i < notes.size(); ++i) notes[i] = Member(kNoteIds[i]);
  return notes;
}
