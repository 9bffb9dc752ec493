#include "app_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVariant>
#include <fstream>
#include <iterator>

#include "app/views/web_engine_setup.h"

void PrepareTestEnvironment() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  PrepareWebEngineEnvironment();
}

TestProgramFolder::TestProgramFolder() {
  for (int n = 1; n <= 9; ++n)
    std::filesystem::create_directories(path() / "Datenbanken" / ("db" + std::to_string(n)));
  const std::filesystem::path font =
      std::filesystem::path(VARNOKEL_PROGRAM_DIR) / "fonts" / "LiberationSans-Regular.ttf";
  if (std::filesystem::exists(font)) {
    std::filesystem::create_directories(path() / "fonts");
    std::filesystem::copy_file(font, path() / "fonts" / font.filename());
  }
}

std::filesystem::path TestProgramFolder::path() const {
  return std::filesystem::path(QFile::encodeName(dir_.path()).toStdString());
}

void TestProgramFolder::Write(const std::string& relative, const std::string& bytes) const {
  std::filesystem::create_directories(file(relative).parent_path());
  std::ofstream out(file(relative), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ModalHandler::ModalHandler(std::function<void(QWidget*)> handle) : handle_(std::move(handle)) {
  connect(&timer_, &QTimer::timeout, this, &ModalHandler::Poll);
  timer_.start(10);
}

void ModalHandler::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || modal->property("handledByTest").toBool()) return;
  modal->setProperty("handledByTest", true);
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    messages_.append(box->text());
    for (QAbstractButton* button : box->buttons()) {
      if (answer_.isEmpty() || button->text() != answer_) continue;
      default_buttons_.append(box->defaultButton() ? box->defaultButton()->text() : QString());
      button->click();
      return;
    }
    box->done(QMessageBox::Ok);
    return;
  }
  if (handle_) handle_(modal);
}

std::function<void(QWidget*)> ChooseFile(const QString& file) {
  return [file](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (!dialog) return;
    if (file.isEmpty()) {
      dialog->reject();
      return;
    }
    // The whole path typed into the name field, as a user may do.
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(file);
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, checks the file
  };
}
