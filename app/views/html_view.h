// SPDX-License-Identifier: GPL-3.0-or-later
// The HTML view of the main window (control kHtmlView): a thin wrapper whose
// one operation used by the program is Navigate.
#pragma once

#include <QWidget>

class QWebEngineView;

// The HTML view: shows local pages in an embedded web engine view.
class CWebBrowser2 : public QWidget {
  Q_OBJECT
 public:
  explicit CWebBrowser2(QWidget* parent = nullptr);

  // Fire and forget: loads `address` afresh (current files from disk, never a
  // cached copy), whatever page the user had reached inside the view.
  void Navigate(const QString& address);

  QWebEngineView* view() const { return view_; }

 private:
  QWebEngineView* view_;
  bool forget_history_ = false;  // set by Navigate until its page has loaded
};
