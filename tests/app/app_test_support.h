// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the window's tests: a program folder made for the test,
// whole-file reads, and a closer for the modal dialogs a command opens.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>

class QWidget;

// Sets the offscreen platform and the browser engine's settings before the
// QApplication exists, as the program's own main() does.
void PrepareTestEnvironment();

// A program folder in a temporary directory: Datenbanken/db1 to db9, the
// shipped dialog font when the build has staged it, and, when given, the two
// state files.
class TestProgramFolder {
 public:
  TestProgramFolder();
  std::filesystem::path path() const;
  std::filesystem::path file(const std::string& relative) const { return path() / relative; }
  void Write(const std::string& relative, const std::string& bytes) const;

 private:
  QTemporaryDir dir_;
};

std::string ReadBytes(const std::filesystem::path& file);

// Watches for modal dialogs and lets `handle` deal with each one that opens
// (it must close it); records the text of every message box it sees. A
// message box is closed with OK, or, when it offers a button captioned as
// set by AnswerWith, with a click on that button.
class ModalHandler : public QObject {
  Q_OBJECT
 public:
  explicit ModalHandler(std::function<void(QWidget*)> handle = {});
  void AnswerWith(const QString& button) { answer_ = button; }
  QStringList messages() const { return messages_; }
  // The caption of the default button of each box answered by AnswerWith.
  QStringList default_buttons() const { return default_buttons_; }

 private:
  void Poll();
  std::function<void(QWidget*)> handle_;
  QString answer_;
  QTimer timer_;
  QStringList messages_;
  QStringList default_buttons_;
};

// A handler for the file dialog that picks `file` (an empty text cancels it).
std::function<void(QWidget*)> ChooseFile(const QString& file);
