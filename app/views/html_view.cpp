#include "app/views/html_view.h"

#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWebEngineView>

CWebBrowser2::CWebBrowser2(QWidget* parent) : QWidget(parent), view_(new QWebEngineView(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  // The pages shown are local files that the program rewrites while the view
  // is open: nothing may come from a cache.
  view_->page()->profile()->setHttpCacheType(QWebEngineProfile::NoCache);
  // The default menu offers Back and Forward, and a page taken from the
  // history keeps its old style sheet; the program's own Navigate is the way
  // back to the design page.
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  // Pages in the history may show files that have changed since a Navigate;
  // once the page it asked for is there, the way back to them is dropped.
  connect(view_, &QWebEngineView::loadFinished, this, [this] {
    if (!forget_history_) return;
    forget_history_ = false;
    view_->history()->clear();
  });
}

void CWebBrowser2::Navigate(const QString& address) {
  forget_history_ = true;
  view_->setUrl(QUrl(address));
}
