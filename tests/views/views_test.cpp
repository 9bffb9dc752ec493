// SPDX-License-Identifier: GPL-3.0-or-later
// The two embedded views, driven as the main window drives them, on a real
// program folder (with a space in its name) holding a site written by the
// real report run.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineHistory>
#include <QWebEngineView>

#include <filesystem>

#include "app/views/animation_view.h"
#include "app/views/html_view.h"
#include "app/views/web_engine_setup.h"
#include "base/program_dir.h"
#include "report/colour_settings.h"
#include "tests/views/sample_site.h"

namespace fs = std::filesystem;
using varnokel::ColourSet;
namespace sample = varnokel::views_test;

namespace {

constexpr int kLoadTimeout = 20000;  // ms; the engine and the player start slowly on CI

// Runs `script` in the page and waits for its result.
QVariant Evaluate(QWebEngineView* view, const QString& script) {
  QVariant result;
  bool done = false;
  view->page()->runJavaScript(script, [&](const QVariant& v) {
    result = v;
    done = true;
  });
  if (!QTest::qWaitFor([&] { return done; }, kLoadTimeout)) return QStringLiteral("<no result>");
  return result;
}

QString ComputedColour(QWebEngineView* view, const QString& selector, const QString& property) {
  return Evaluate(view, QStringLiteral("getComputedStyle(document.querySelector('%1'))['%2']")
                            .arg(selector, property))
      .toString();
}

// Follows a link inside the page the way a click does.
void ClickLink(QWebEngineView* view, const QString& href) {
  Evaluate(view,
           QStringLiteral("document.querySelector('a[href=\"%1\"]').click(); true").arg(href));
}

bool HasContent(const QImage& image) {
  if (image.isNull()) return false;
  const QRgb first = image.pixel(0, 0);
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < image.width(); x += 2)
      if (image.pixel(x, y) != first) return true;
  return false;
}

}  // namespace

class ViewsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void navigateShowsTheNewStyleSheet();
  void navigateBringsBackTheDesignPageWithTheNewSite();
  void animationPlaysTheMovie();
  void missingMovieLeavesTheViewEmpty();

 private:
  // Navigates and waits until the page has loaded.
  void NavigateAndWait(CWebBrowser2& browser);
  void WaitForLoad(QWebEngineView* view, const std::function<void()>& start);

  QTemporaryDir temp_;
  fs::path folder_;
  QString address_;
};

void ViewsTest::initTestCase() {
  QVERIFY(temp_.isValid());
  folder_ = fs::path(temp_.path().toStdString()) / "Varnokel Stats";
  sample::MakeProgramFolder(VARNOKEL_PROGRAM_DIR, folder_);
  sample::WritePlayers(folder_, 5, "Alt");
  sample::WriteSite(folder_, sample::SampleColours());
  varnokel::RefreshStyleFiles(folder_, sample::SampleColours("#102030"));
  address_ = QString::fromStdString(varnokel::DesignPageAddress(folder_));
  QVERIFY(address_.contains("Varnokel%20Stats/varnokel_design.htm"));
}

void ViewsTest::WaitForLoad(QWebEngineView* view, const std::function<void()>& start) {
  QSignalSpy finished(view, &QWebEngineView::loadFinished);
  start();
  QVERIFY(finished.wait(kLoadTimeout));
  QCOMPARE(finished.last().first().toBool(), true);
}

void ViewsTest::NavigateAndWait(CWebBrowser2& browser) {
  WaitForLoad(browser.view(), [&] { browser.Navigate(address_); });
}

void ViewsTest::navigateShowsTheNewStyleSheet() {
  CWebBrowser2 browser;
  browser.resize(420, 350);
  browser.show();
  NavigateAndWait(browser);
  QCOMPARE(browser.view()->url(),
           QUrl::fromLocalFile(QString::fromStdString((folder_ / "varnokel_design.htm").string())));
  QCOMPARE(ComputedColour(browser.view(), "body", "backgroundColor"), QString("rgb(16, 32, 48)"));
  QCOMPARE(ComputedColour(browser.view(), "td.color5", "backgroundColor"),
           QString("rgb(60, 196, 168)"));

  // The refresh command: new s_style.css, then Navigate to the same address.
  ColourSet changed = sample::SampleColours("#a0b0c0");
  changed[10] = "#ff0000";  // Balken
  varnokel::RefreshStyleFiles(folder_, changed, [&] { browser.Navigate(address_); });
  QTRY_COMPARE_WITH_TIMEOUT(ComputedColour(browser.view(), "body", "backgroundColor"),
                            QString("rgb(160, 176, 192)"), kLoadTimeout);
  QCOMPARE(ComputedColour(browser.view(), "td.color5", "backgroundColor"),
           QString("rgb(255, 0, 0)"));

  // Again after the user had gone on to a page of the site: Navigate brings
  // the design page back with the current sheet.
  WaitForLoad(browser.view(), [&] { ClickLink(browser.view(), "html/wt.htm"); });
  varnokel::RefreshStyleFiles(folder_, sample::SampleColours("#010203"));
  NavigateAndWait(browser);
  QCOMPARE(ComputedColour(browser.view(), "body", "backgroundColor"), QString("rgb(1, 2, 3)"));
  // No way back to pages drawn with sheets that have changed since.
  QVERIFY(!browser.view()->history()->canGoBack());
  QCOMPARE(browser.view()->contextMenuPolicy(), Qt::NoContextMenu);
}

void ViewsTest::navigateBringsBackTheDesignPageWithTheNewSite() {
  CWebBrowser2 browser;
  browser.resize(420, 350);
  browser.show();
  NavigateAndWait(browser);

  // The user follows the link to the player list, then on into the site.
  WaitForLoad(browser.view(), [&] { ClickLink(browser.view(), "html/sp.htm"); });
  QVERIFY(browser.view()->url().path().endsWith("/html/sp.htm"));
  QVERIFY(Evaluate(browser.view(), "document.body.innerText").toString().contains("AltSpieler1"));

  // A report run over changed data, ending with Navigate.
  sample::WritePlayers(folder_, 5, "Neu");
  sample::WriteSite(folder_, sample::SampleColours());
  NavigateAndWait(browser);
  QVERIFY(browser.view()->url().path().endsWith("/varnokel_design.htm"));

  // Every page reached from the design page shows the new data.
  for (const QString page : {"html/sp.htm", "html/st.htm", "html/se.htm"}) {
    WaitForLoad(browser.view(), [&] { ClickLink(browser.view(), page); });
    const QString text = Evaluate(browser.view(), "document.body.innerText").toString();
    QVERIFY2(text.contains("NeuSpieler1"), qPrintable(page));
    QVERIFY2(!text.contains("AltSpieler"), qPrintable(page));
    NavigateAndWait(browser);
  }
  WaitForLoad(browser.view(), [&] { ClickLink(browser.view(), "html/wt.htm"); });
  QVERIFY(Evaluate(browser.view(), "document.title").toString().contains("Varnokel"));
}

void ViewsTest::animationPlaysTheMovie() {
  CShockwaveFlash flash;
  flash.resize(443, 98);
  flash.show();
  // The player is found in "ruffle" beside the movie, as in the program folder.
  const QString movie = QString::fromStdString((folder_ / "varnokel.swf").string());
  flash.SetMovie(movie);
  QCOMPARE(flash.GetMovie(), movie);
  WaitForLoad(flash.view(), [&] { flash.Play(); });

  // The player has read the movie: its stage and frame count.
  QTRY_COMPARE_WITH_TIMEOUT(Evaluate(flash.view(),
                                     "player && player.ruffle().metadata ? "
                                     "player.ruffle().metadata.width + 'x' + "
                                     "player.ruffle().metadata.height + '/' + "
                                     "player.ruffle().metadata.numFrames : ''")
                                .toString(),
                            QString("590x120/96"), kLoadTimeout);
  QCOMPARE(Evaluate(flash.view(), "player.ruffle().isPlaying").toBool(), true);

  // Frames change over time on the grabbed image.
  QTRY_VERIFY_WITH_TIMEOUT(HasContent(flash.view()->grab().toImage()), kLoadTimeout);
  const QImage first = flash.view()->grab().toImage();
  QTRY_VERIFY_WITH_TIMEOUT(flash.view()->grab().toImage() != first, kLoadTimeout);

  // A second Play keeps the movie running instead of loading it again.
  flash.Play();
  QTest::qWait(300);
  QCOMPARE(Evaluate(flash.view(), "player.ruffle().isPlaying").toBool(), true);
}

void ViewsTest::missingMovieLeavesTheViewEmpty() {
  CShockwaveFlash flash;
  flash.resize(443, 98);
  flash.show();
  flash.SetPlayerFolder(QString::fromStdString((folder_ / "ruffle").string()));
  flash.SetMovie(QString::fromStdString((folder_ / "missing.swf").string()));
  WaitForLoad(flash.view(), [&] { flash.Play(); });
  QCOMPARE(Evaluate(flash.view(),
                    "document.querySelectorAll('*').length > 3 || "
                    "typeof window.RufflePlayer !== 'undefined'")
               .toBool(),
           false);
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  PrepareWebEngineEnvironment();
  QApplication app(argc, argv);
  ViewsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "views_test.moc"
