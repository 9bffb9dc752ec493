// SPDX-License-Identifier: GPL-3.0-or-later
// The cover animation of the main window (control kAnimationView): a thin
// wrapper with the property Movie (full path of the movie file) and the
// method Play.
#pragma once

#include <QString>
#include <QWidget>

class QWebEngineView;

// The animation view: plays a Flash movie file in an embedded web engine view.
class CShockwaveFlash : public QWidget {
  Q_OBJECT
 public:
  explicit CShockwaveFlash(QWidget* parent = nullptr);

  void SetMovie(const QString& full_path);
  QString GetMovie() const { return movie_; }
  void Play();

  // The folder holding the player's files (ruffle.js and its parts). Unset,
  // Play looks for "ruffle" beside the movie, then beside the executable (the
  // program folder holds both). Takes effect at the next Play.
  void SetPlayerFolder(const QString& folder) { player_folder_ = folder; }

  QWebEngineView* view() const { return view_; }

 private:
  QWebEngineView* view_;
  QString movie_;
  QString player_folder_;
  QString playing_;  // the movie the view was last loaded with
};
