// The application object: prepares the browser engine and Qt's German dialog
// texts, builds the main window, runs it modally and ends the process when it
// closes.
#include <QApplication>

#include "app/german_dialogs.h"
#include "app/varnokel_dlg.h"
#include "db/process_values.h"

#include "app/views/web_engine_setup.h"

class CVarnokelApp {
 public:
  // Builds the main window, runs it until it closes and returns false: the
  // process ends after the window (its result is not used).
  bool InitInstance() {
    CVarnokelDlg dlg(values_);
    dlg.exec();
    return false;
  }

 private:
  varnokel::ProcessValues values_;  // LogBuffer, DatabaseNumber, ReferenceLine
};

int main(int argc, char* argv[]) {
  PrepareWebEngineEnvironment();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication qt_app(argc, argv);
  InstallGermanDialogTexts(qt_app);
  CVarnokelApp app;
  app.InitInstance();
  return 0;
}
