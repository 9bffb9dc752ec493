// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the main window on a program folder the way the program does and
// prints, as one line of key=value pairs:
//   frame_ms   process start to the first frame of the window on the screen
//              (its first paint, after which the frame is flushed)
//   page_ms    process start to the design page loaded in the HTML view
//   rss_kib    resident memory of this process once the page is loaded
//   pss_kib    proportional memory of this process and its browser helper
//              processes at the same moment
// Usage: startup_probe PROGRAM_DIR (run with PROGRAM_DIR as working folder).
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QTimer>
#include <QWebEngineView>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/german_dialogs.h"
#include "app/varnokel_dlg.h"
#include "app/views/html_view.h"
#include "app/views/web_engine_setup.h"
#include "db/process_values.h"

namespace {

// Milliseconds since this process started, from the kernel's start time.
double MsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string line;
  std::getline(stat, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 22; ++i) fields >> field;  // field 22: start time in clock ticks
  const double start_s = std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
  std::ifstream uptime("/proc/uptime");
  double up_s = 0;
  uptime >> up_s;
  return (up_s - start_s) * 1000.0;
}

long StatusKib(int pid, const std::string& key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
  }
  return 0;
}

long PssKib(int pid) {
  std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string line;
  while (std::getline(rollup, line)) {
    if (line.rfind("Pss:", 0) == 0) return std::stol(line.substr(4));
  }
  return 0;
}

// This process and every process whose parent is in the tree.
long TreePssKib(int root) {
  long total = PssKib(root);
  for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
    bool number = false;
    const int pid = entry.toInt(&number);
    if (number && pid != root && StatusKib(pid, "PPid") == root) total += TreePssKib(pid);
  }
  return total;
}

class FirstPaint : public QObject {
 public:
  double frame_ms = -1;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && frame_ms < 0) {
      // The frame reaches the screen when this paint is flushed, right after
      // the current event.
      QTimer::singleShot(0, this, [this] { frame_ms = MsSinceProcessStart(); });
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PROGRAM_DIR\n", argv[0]);
    return 2;
  }
  PrepareWebEngineEnvironment();
  QApplication app(argc, argv);
  InstallGermanDialogTexts(app);
  varnokel::ProcessValues values;
  FirstPaint first_paint;
  CVarnokelDlg dlg(values, std::filesystem::path(argv[1]));
  dlg.installEventFilter(&first_paint);
  double page_ms = -1;
  auto* html = qobject_cast<CWebBrowser2*>(dlg.Control(kHtmlView));
  QObject::connect(html->view(), &QWebEngineView::loadFinished, &app, [&] {
    if (page_ms < 0) page_ms = MsSinceProcessStart();
    // Let the page settle for a moment before memory is read.
    QTimer::singleShot(500, &app, [&] { app.quit(); });
  });
  QTimer::singleShot(20000, &app, [&] { app.quit(); });  // a page that never loads
  dlg.show();
  app.exec();
  std::printf("frame_ms=%.0f page_ms=%.0f rss_kib=%ld pss_kib=%ld\n", first_paint.frame_ms, page_ms,
              StatusKib(getpid(), "VmRSS"), TreePssKib(getpid()));
  return 0;
}
