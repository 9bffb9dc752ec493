// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: every control of the program, the fifty text members that
// mirror the edit fields, and one handler per button.
//
// Commands follow one discipline: take the fields' texts into the members
// (UpdateData(true)), work on the members and the files, then show the
// members again (UpdateData(false)). A command that fails on a file reports
// the file and skips its closing exchange, so the window keeps showing the
// state from before the command.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "app/control_ids.h"
#include "app/text_codec.h"
#include "base/state_files.h"
#include "db/database_lock.h"
#include "db/process_values.h"
#include "report/colour_settings.h"

#include "skin/skin_dialog.h"
using CVarnokelDlgBase = CSkinDialog;

class QListWidget;
class QPushButton;
class QWidget;
namespace varnokel {
class FileError;
struct UpdatePlan;
}  // namespace varnokel

// The edit fields bound to the text members, in the members' declaration
// order: status line; loaded files; notes 1-9; 22 player details; (the HTML
// view); 4 player details; picked colour; the twelve colours.
inline constexpr int kTextMemberCount = 50;
extern const std::array<ControlId, kTextMemberCount> kTextMemberIds;

class CVarnokelDlg : public CVarnokelDlgBase {
  Q_OBJECT
 public:
  // `values` are the process-wide values and must outlive the window.
  // `program_dir` empty: every path is taken from ProgramDir() afresh at each
  // use; otherwise the given folder stands for the program folder (used by
  // tests that run the window in a folder of their own).
  explicit CVarnokelDlg(varnokel::ProcessValues& values, std::filesystem::path program_dir = {},
                        QWidget* parent = nullptr);
  ~CVarnokelDlg() override;

  // true: every edit field's text into its member; false: every member into
  // its field. Captions, list entries and the two views are not touched.
  void UpdateData(bool save_and_validate);

  // The text member bound to edit field `id` (one of kTextMemberIds).
  const std::string& Member(ControlId id) const;
  std::string& Member(ControlId id);

  // The control with number `id`, or nullptr.
  QWidget* Control(ControlId id) const;

  std::filesystem::path ProgramFolder() const;

 protected:
  void accept() override;  // "Beenden"
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void OnInitDialog();
  void ConnectCommands();
  void ShowAboutBox();

  // Commands, one per button.
  void OnLoadLogFile();
  void OnResetLoadedFiles();
  void OnUpdateDatabase();
  void OnDeleteDatabase();
  void OnListPlayers();
  void OnShowPlayerDetails();
  void OnSelectDatabase(std::string_view number);
  void OnReportRun();
  void OnPickColour();
  void OnRefreshHtmlView();

  // How an update treats loaded logs that are already in the database.
  enum class FoldChoice { kOnlyNew, kEverything, kCancel };

  // Takes the chosen database's lock without waiting. A busy database is
  // reported in a message box, a lock file that cannot be made like any file
  // failure; false then, and `lock` stays empty.
  bool LockDatabase(std::optional<varnokel::DatabaseLock>& lock,
                    varnokel::DatabaseLock::Access access);
  // Takes the write lock and plans the update against the database's ledger.
  bool LockAndPlanUpdate(std::optional<varnokel::DatabaseLock>& lock, varnokel::UpdatePlan& plan,
                         bool again);
  FoldChoice AskHowToFold(const varnokel::UpdatePlan& plan);
  // Runs the planned update; a failure is reported with how far it got.
  bool RunUpdate(const varnokel::DatabaseLock& lock, const varnokel::UpdatePlan& plan, bool again);
  void ReportBusyDatabase(varnokel::DatabaseLock::Access access);

  void SetCaption(ControlId id, const std::string& caption);
  void PlayMovie(const std::filesystem::path& movie);
  void NavigateHtmlView();
  // Runs file work of a command; a failure is shown in an error box naming
  // the file, and false tells the command to stop there.
  bool RunFileWork(const std::function<void()>& work);
  void ReportFileError(const varnokel::FileError& error);
  varnokel::ColourSet Colours() const;
  void SetColours(const varnokel::ColourSet& colours);
  varnokel::DatabaseNotes Notes() const;
  std::filesystem::path DatabaseFolder() const;

  varnokel::ProcessValues& values_;
  std::filesystem::path program_dir_override_;
  std::map<ControlId, QWidget*> controls_;
  QListWidget* player_list_ = nullptr;                        // kPlayerList
  std::array<std::string, kTextMemberCount> texts_;           // bound to kTextMemberIds
  std::array<varnokel::ShownBytes, kTextMemberCount> shown_;  // what each field was filled from
};
