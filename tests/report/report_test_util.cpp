#include "tests/report/report_test_util.h"

#include <unistd.h>

#include <random>

#include "base/file_io.h"

namespace varnokel::testutil {

std::string Fixture(std::string_view name) {
  return ReadFileBytes(std::filesystem::path(VARNOKEL_SOURCE_DIR) / "tests" / "report" / "data" /
                       std::string(name));
}

std::string Template(std::string_view name) {
  return ReadFileBytes(std::filesystem::path(VARNOKEL_SOURCE_DIR) / "report" / "templates" /
                       std::string(name));
}

std::string Fill(std::string tpl, const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [key, value] : values) {
    const std::string marker = "{" + key + "}";
    for (size_t at = tpl.find(marker); at != std::string::npos;
         at = tpl.find(marker, at + value.size()))
      tpl.replace(at, marker.size(), value);
  }
  return tpl;
}

std::string TableFooter() {
  return Fill(Template("table_page_footer.htm"), {{"credit", Template("credit_line.htm")}});
}

std::string PlayerFooter() {
  return Fill(Template("player_page_footer.htm"), {{"credit", Template("credit_line.htm")}});
}

std::string PlayerFileBytes(const std::string& id, const std::string& name,
                            const std::map<int, std::string>& counts) {
  std::vector<std::string> fields = {id, "03/15/2003", "20:14:07", name};
  while (fields.size() < 44) fields.push_back("0");
  for (const auto& [index, value] : counts) fields.at(static_cast<size_t>(index)) = value;
  std::string bytes;
  for (size_t i = 0; i < fields.size(); ++i) bytes += (i ? "\r\n" : "") + fields[i];
  return bytes;
}

TempDir::TempDir() {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          ("varnokel-report-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ProgramFolder::ProgramFolder() {
  std::filesystem::create_directories(database());
}

void ProgramFolder::AddPlayer(const std::string& id, const std::string& bytes) const {
  WriteFileAtomic(database() / (id + ".db"), bytes);
}

std::string ReadBytes(const std::filesystem::path& file) {
  return ReadFileBytes(file);
}

::testing::AssertionResult SameBytes(std::string_view expected, std::string_view actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const size_t from = at < 60 ? 0 : at - 60;
  return ::testing::AssertionFailure()
         << "sizes " << expected.size() << " and " << actual.size() << ", first difference at "
         << at << "\nexpected ..." << expected.substr(from, 120) << "\nactual   ..."
         << actual.substr(from, 120);
}

}  // namespace varnokel::testutil
