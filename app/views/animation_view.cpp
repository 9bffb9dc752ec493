#include "app/views/animation_view.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <cstdint>

#include "base/user_program_dir.h"

namespace {

// Width divided by height of the movie's stage, read from the frame RECT of
// the movie header ("FWS" plain or "CWS" zlib-compressed); 0 when the file
// cannot be read or has another form.
double MovieAspect(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  QByteArray data = file.read(64 * 1024 * 1024);
  if (data.size() < 9) return 0;
  if (data.startsWith("CWS")) {
    // qUncompress wants the expected length as 4 big-endian bytes in front.
    QByteArray stream = data.mid(8);
    const auto length = static_cast<uint32_t>(
        static_cast<uint8_t>(data[4]) | static_cast<uint8_t>(data[5]) << 8 |
        static_cast<uint8_t>(data[6]) << 16 | static_cast<uint8_t>(data[7]) << 24);
    if (length < 8) return 0;
    const uint32_t body = length - 8;
    QByteArray prefix(4, '\0');
    for (int i = 0; i < 4; ++i) prefix[i] = static_cast<char>(body >> (24 - 8 * i));
    data = data.left(8) + qUncompress(prefix + stream);
  } else if (!data.startsWith("FWS")) {
    return 0;
  }
  // RECT: a 5-bit field width n, then xmin, xmax, ymin, ymax of n bits each.
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData()) + 8;
  const qsizetype available = data.size() - 8;
  qsizetype bit = 0;
  auto read = [&](int count, bool is_signed) -> int64_t {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i, ++bit) {
      if (bit / 8 >= available) return 0;
      value = value << 1 | ((bytes[bit / 8] >> (7 - bit % 8)) & 1);
    }
    if (is_signed && count > 0 && (value >> (count - 1)) & 1) value -= uint64_t{1} << count;
    return static_cast<int64_t>(value);
  };
  const int n = static_cast<int>(read(5, false));
  const int64_t xmin = read(n, true), xmax = read(n, true);
  const int64_t ymin = read(n, true), ymax = read(n, true);
  if (bit / 8 >= available || xmax <= xmin || ymax <= ymin) return 0;
  return static_cast<double>(xmax - xmin) / static_cast<double>(ymax - ymin);
}

QString JsString(const QString& text) {
  const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(json.mid(1, json.size() - 2));
}

// The page that hosts the player: nothing but the stage, centred, in the
// movie's aspect so that the page background (the window's colour) shows
// around it instead of bars. The player takes every file from its folder and
// may not reach the network.
QString ShellPage(const QString& movie_url, double aspect, const QString& background) {
  QString stage = QStringLiteral("inset:0;");
  if (aspect > 0) {
    const QString a = QString::number(aspect, 'g', 8);
    stage = QStringLiteral(
                "inset:0;margin:auto;width:100vw;height:calc(100vw / %1);"
                "max-height:100vh;max-width:calc(100vh * %1);")
                .arg(a);
  }
  return QStringLiteral(
             "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>"
             "html,body{margin:0;height:100%;overflow:hidden;background:%1}"
             "#stage{position:absolute;%2}"
             "#stage>*{display:block;width:100%;height:100%}"
             "</style><script>window.RufflePlayer={config:{"
             "autoplay:'on',splashScreen:false,contextMenu:'off',unmuteOverlay:'hidden',"
             "allowNetworking:'none',openUrlMode:'deny',letterbox:'on',scale:'showAll',"
             "quality:'high',polyfills:false,warnOnUnsupportedContent:false,"
             "showSwfDownload:false,allowFullscreen:false,backgroundColor:'%1',logLevel:'error'}};"
             "</script><script src=\"ruffle.js\"></script></head><body><div id=\"stage\"></div>"
             "<script>var player;window.addEventListener('DOMContentLoaded',function(){"
             "player=window.RufflePlayer.newest().createPlayer();"
             "document.getElementById('stage').appendChild(player);"
             "player.ruffle().load({url:%3});});</script></body></html>")
      .arg(background, stage, JsString(movie_url));
}

// The explicitly set folder, else the first "ruffle" folder holding the
// player's script: beside the movie, then beside the executable, then among
// the installation's shared files; empty when there is none.
QString PlayerFolder(const QString& chosen, const QString& movie) {
  if (!chosen.isEmpty()) return chosen;
  const QString executable_dir = QCoreApplication::applicationDirPath();
  const QString installed = QString::fromStdString(
      (varnokel::SharedFilesDir(executable_dir.toStdString()) / "ruffle").string());
  for (const QString& folder : {QFileInfo(movie).absolutePath() + QStringLiteral("/ruffle"),
                                executable_dir + QStringLiteral("/ruffle"), installed}) {
    if (QFileInfo(folder + QStringLiteral("/ruffle.js")).isFile()) return folder;
  }
  return {};
}

}  // namespace

CShockwaveFlash::CShockwaveFlash(QWidget* parent)
    : QWidget(parent), view_(new QWebEngineView(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  // Only the movie shows: no browser menu.
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  // The player opens an audio context at start; without a click in the view
  // the engine would refuse it and log a complaint for every frame.
  view_->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
}

void CShockwaveFlash::SetMovie(const QString& full_path) {
  movie_ = full_path;
}

void CShockwaveFlash::Play() {
  if (!playing_.isEmpty() && playing_ == movie_) {
    view_->page()->runJavaScript(QStringLiteral("player.ruffle().resume();"));
    return;
  }
  const QString background = palette().color(QPalette::Window).name();
  view_->page()->setBackgroundColor(palette().color(QPalette::Window));
  playing_ = movie_;
  const QString player = PlayerFolder(player_folder_, movie_);
  const QUrl base = QUrl::fromLocalFile(player + QStringLiteral("/"));
  if (movie_.isEmpty() || !QFileInfo(movie_).isFile() || player.isEmpty()) {
    // A missing movie (or player) leaves the view empty.
    view_->setHtml(
        QStringLiteral("<html><body style=\"background:%1\"></body></html>").arg(background), base);
    return;
  }
  const QString url =
      QUrl::fromLocalFile(QFileInfo(movie_).absoluteFilePath()).toString(QUrl::FullyEncoded);
  view_->setHtml(ShellPage(url, MovieAspect(movie_), background), base);
}
