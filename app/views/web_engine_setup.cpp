#include "app/views/web_engine_setup.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QtGlobal>

namespace {

// Appends `flag` to the Chromium flags the engine reads at start, keeping the
// flags already given and never adding the same flag twice.
void AddChromiumFlag(const QByteArray& flag) {
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  if (flags.split(' ').contains(flag)) return;
  if (!flags.isEmpty()) flags += ' ';
  flags += flag;
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

}  // namespace

void PrepareWebEngineEnvironment() {
  // Chromium refuses to start as root with its sandbox on; only then is the
  // sandbox turned off.
  if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  // The offscreen platform has no GPU surface to draw into.
  if (qgetenv("QT_QPA_PLATFORM") == "offscreen") AddChromiumFlag("--disable-gpu");
  // Qt WebEngine shares its OpenGL context with the widgets; this must be set
  // before the QApplication exists.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
