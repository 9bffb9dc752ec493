// SPDX-License-Identifier: GPL-3.0-or-later
// views_probe [--no-animation] [--screenshot FILE] [--page html/st.htm]
//             | --make-folder DIR:
// starts the two views as the main window does, on a temporary program folder
// holding a generated sample site, and prints
//   design_painted_ms    from process start to the design page loaded and drawn
//   first_frame_ms       from process start to the first movie frame drawn
//   pss_kib              proportional memory of the process and all its children
// after start-up has settled. With --screenshot it also saves an image of the
// two views side by side (after showing `--page`, if given).
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QUrl>
#include <QWebEngineView>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/views/animation_view.h"
#include "app/views/html_view.h"
#include "app/views/web_engine_setup.h"
#include "base/program_dir.h"
#include "report/colour_settings.h"
#include "tests/views/sample_site.h"

namespace {

// Milliseconds the process had lived when this was called (from the kernel's
// start time of the process, clock-tick resolution, plus a monotonic clock).
double ProcessAgeMs() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  std::istringstream rest(text.substr(text.rfind(')') + 2));
  std::string field;
  unsigned long long start = 0;
  for (int i = 3; i <= 22 && rest >> field; ++i)
    if (i == 22) start = std::stoull(field);
  std::ifstream uptime("/proc/uptime");
  double up = 0;
  uptime >> up;
  return (up - double(start) / double(sysconf(_SC_CLK_TCK))) * 1000.0;
}

long PssKib(pid_t pid) {
  std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string key;
  long value = 0;
  while (rollup >> key) {
    if (key == "Pss:") {
      rollup >> value;
      return value;
    }
  }
  return 0;
}

// The process and every descendant (the engine's helper processes).
long TreePssKib(pid_t root) {
  long total = PssKib(root);
  std::ifstream children("/proc/" + std::to_string(root) + "/task/" + std::to_string(root) +
                         "/children");
  pid_t child;
  while (children >> child) total += TreePssKib(child);
  return total;
}

// True when the image holds more than one colour (something was drawn).
bool HasContent(const QImage& image) {
  if (image.isNull()) return false;
  const QRgb first = image.pixel(0, 0);
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3)
      if (image.pixel(x, y) != first) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const double age_at_main = ProcessAgeMs();
  QElapsedTimer clock;
  clock.start();
  auto since_start = [&] { return age_at_main + double(clock.nsecsElapsed()) / 1e6; };

  bool animation = true;
  QString screenshot, page;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg == "--no-animation") animation = false;
    if (arg == "--screenshot" && i + 1 < argc) screenshot = QString::fromLocal8Bit(argv[++i]);
    if (arg == "--page" && i + 1 < argc) page = QString::fromLocal8Bit(argv[++i]);
    if (arg == "--make-folder" && i + 1 < argc) {
      // Only writes a program folder with the sample site (for screenshots of
      // the real window) and stops.
      const std::filesystem::path target = argv[++i];
      varnokel::views_test::MakeProgramFolder(VARNOKEL_PROGRAM_DIR, target);
      varnokel::views_test::WritePlayers(target, 12, "");
      varnokel::views_test::WriteSite(target, varnokel::views_test::SampleColours());
      varnokel::RefreshStyleFiles(target, varnokel::views_test::SampleColours());
      return 0;
    }
  }

  PrepareWebEngineEnvironment();
  QApplication app(argc, argv);

  const double setup_start = since_start();
  QTemporaryDir temp;
  const std::filesystem::path folder = temp.path().toStdString() + "/Varnokel Stats";
  varnokel::views_test::MakeProgramFolder(VARNOKEL_PROGRAM_DIR, folder);
  varnokel::views_test::WritePlayers(folder, 12, "");
  const varnokel::ColourSet colours = varnokel::views_test::SampleColours();
  varnokel::views_test::WriteSite(folder, colours);
  varnokel::RefreshStyleFiles(folder, colours);
  const double setup_ms = since_start() - setup_start;

  // The top of the main window: 295 x 60 and 281 x 214 dialog units.
  QWidget window;
  window.setStyleSheet("background:#0e1c2b");
  auto* layout = new QHBoxLayout(&window);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(10);
  CShockwaveFlash* flash = nullptr;
  if (animation) {
    flash = new CShockwaveFlash(&window);
    flash->setFixedSize(443, 98);
    QPalette palette = flash->palette();
    palette.setColor(QPalette::Window, QColor("#0e1c2b"));
    flash->setPalette(palette);
    layout->addWidget(flash, 0, Qt::AlignTop);
  }
  auto* browser = new CWebBrowser2(&window);
  browser->setFixedSize(422, 348);
  layout->addWidget(browser, 0, Qt::AlignTop);
  window.show();

  if (flash) {
    flash->SetMovie(QString::fromStdString((folder / "varnokel.swf").string()));
    flash->Play();
  }
  const QString address = QString::fromStdString(varnokel::DesignPageAddress(folder));
  bool loaded = false;
  QObject::connect(browser->view(), &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
  browser->Navigate(address);

  double design_ms = -1, frame_ms = -1;
  QElapsedTimer limit;
  limit.start();
  while ((design_ms < 0 || (flash && frame_ms < 0)) && limit.elapsed() < 20000) {
    QTest::qWait(10);
    if (design_ms < 0 && loaded && HasContent(browser->view()->grab().toImage()))
      design_ms = since_start();
    if (flash && frame_ms < 0) {
      const QImage image = flash->view()->grab().toImage();
      // The stage is drawn once the image has more than the page background.
      if (HasContent(image)) frame_ms = since_start();
    }
  }
  QTest::qWait(1500);  // let start-up settle
  std::printf("animation=%d design_painted_ms=%.0f first_frame_ms=%.0f pss_kib=%ld setup_ms=%.0f\n",
              animation, design_ms, frame_ms, TreePssKib(getpid()), setup_ms);

  if (!screenshot.isEmpty()) {
    if (!page.isEmpty()) {
      loaded = false;
      browser->view()->setUrl(
          QUrl::fromLocalFile(QString::fromStdString(folder.string()) + "/" + page));
      if (!QTest::qWaitFor([&] { return loaded; }, 10000))
        std::fprintf(stderr, "page not loaded\n");
      QTest::qWait(500);
    }
    window.grab().save(screenshot);
    if (flash) {
      QTest::qWait(700);
      flash->view()->grab().save(QString(screenshot).replace(".png", "_movie2.png"));
    }
  }
  return design_ms < 0 || (flash && frame_ms < 0) ? 1 : 0;
}
