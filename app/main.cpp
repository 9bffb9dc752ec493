// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: prepares the browser engine and Qt's German dialog
// texts, builds the main window, runs it modally and ends the process when it
// closes.
#include <QApplication>
#include <QMessageBox>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "app/german_dialogs.h"
#include "app/varnokel_dlg.h"
#include "base/user_program_dir.h"
#include "db/process_values.h"

#include "app/views/web_engine_setup.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

class CVarnokelApp {
 public:
  // `program_dir` empty: the executable's folder, found afresh at each use.
  explicit CVarnokelApp(std::filesystem::path program_dir) : program_dir_(std::move(program_dir)) {}

  // Builds the main window, runs it until it closes and returns false: the
  // process ends after the window (its result is not used).
  bool InitInstance() {
    CVarnokelDlg dlg(values_, program_dir_);
    dlg.exec();
    return false;
  }

 private:
  varnokel::ProcessValues values_;  // LogBuffer, DatabaseNumber, ReferenceLine
  std::filesystem::path program_dir_;
};

// The window's own command line; everything else is left to Qt.
struct WindowOptions {
  std::filesystem::path program_dir;  // empty: not given
  bool version = false;
  bool help = false;
};

constexpr char kUsage[] =
    "Aufruf: varnokel [--program-dir DIR] [Qt-Optionen]\n"
    "        varnokel --version | --help\n\n"
    "\xC3\x96"
    "ffnet das Statistikfenster auf dem Programmordner DIR (sonst der Ordner\n"
    "dieses Programms, wenn er Datenbanken enth\xC3\xA4lt, sonst $XDG_DATA_HOME/varnokel).\n"
    "Ein fehlender oder leerer Ordner wird aus der Vorlage der Installation\n"
    "eingerichtet.\n";

// Takes the window's options out of argv (Qt reads the rest). Returns false
// on a usage error, which it has reported.
bool TakeWindowOptions(int& argc, char** argv, WindowOptions& options) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--version") == 0) {
      options.version = true;
    } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options.help = true;
    } else if (std::strcmp(arg, "--program-dir") == 0) {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        std::cerr << "varnokel: --program-dir braucht einen Ordner\n";
        return false;
      }
      options.program_dir = argv[++i];
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  argv[argc] = nullptr;
  return true;
}

// The folder to pass to the window: the one given, or the per-user folder of
// an installed program (set up if needed), or empty for the executable's own.
// Throws what the set-up throws.
std::filesystem::path WindowProgramDir(const WindowOptions& options) {
  // Absolute, as the working directory changes below.
  if (!options.program_dir.empty()) {
    std::filesystem::path folder = std::filesystem::absolute(options.program_dir);
    if (varnokel::SetUpGivenProgramFolder(folder))
      std::cerr << "varnokel: Programmordner " << folder.string()
                << " aus der Vorlage der Installation eingerichtet\n";
    return folder;
  }
  varnokel::ProgramFolderChoice choice = varnokel::ChooseProgramFolder();
  return choice.per_user ? choice.folder : std::filesystem::path();
}

}  // namespace

int main(int argc, char* argv[]) {
  WindowOptions options;
  if (!TakeWindowOptions(argc, argv, options)) return kExitUsage;
  if (options.version) {
    std::cout << "varnokel " << VARNOKEL_VERSION << '\n';
    return 0;
  }
  if (options.help) {
    std::cout << kUsage;
    return 0;
  }
  PrepareWebEngineEnvironment();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication qt_app(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral(VARNOKEL_APP_ID));  // its desktop entry
  InstallGermanDialogTexts(qt_app);
  if (argc > 1) {
    std::cerr << "varnokel: unbekannte Option '" << argv[1] << "'\n" << kUsage;
    return kExitUsage;
  }
  std::filesystem::path program_dir;
  try {
    program_dir = WindowProgramDir(options);
  } catch (const std::exception& error) {
    QMessageBox::critical(
        nullptr, QStringLiteral("varnokel"),
        QString::fromUtf8("Der Programmordner kann nicht eingerichtet werden.\n\n") +
            QString::fromLocal8Bit(error.what()));
    return kExitFailure;
  }
  // The window opens its background by its bare name from the working
  // directory: away from the executable's own folder (where the starter
  // chooses the directory), the program folder becomes the working directory.
  if (!program_dir.empty()) {
    std::error_code ignored;  // without it the window only lacks its background
    std::filesystem::current_path(program_dir, ignored);
  }
  CVarnokelApp app(program_dir);
  app.InitInstance();
  return 0;
}
