// The cover animation of the main window (control 1003): a thin wrapper with
// the property Movie (full path of the movie file) and the method Play.
#pragma once

#include <QString>
#include <QWidget>

class QWebEngineView;

class CShockwaveFlash : public QWidget {
  Q_OBJECT
 public:
  explicit CShockwaveFlash(QWidget* parent = nullptr);

  void SetMovie(const QString& full_path);
  QString GetMovie() const { return movie_; }
  void Play();

  QWebEngineView* view() const { return view_; }

 private:
  QWebEngineView* view_;
  QString movie_;
};
