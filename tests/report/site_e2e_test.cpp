// End to end: a realistic server log through varnokel-cli into a fresh
// program folder, then every page of the site opened in headless Chromium.
// Every link and image of every page must lead to a file of the site, and no
// page may carry a script.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <set>

#include "base/file_io.h"
#include "report/html_escape.h"
#include "tests/report/report_test_util.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;

const fs::path kStaged = VARNOKEL_PROGRAM_DIR;

// Runs a shell command, returning its standard output; `status` gets the exit status.
std::string Shell(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int raw = ::pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::string Quote(const fs::path& path) {
  std::string quoted = "'";
  for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string FindChromium() {
  for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
    int status = 0;
    const std::string path = Shell(std::string("command -v ") + name + " 2>/dev/null", &status);
    if (status == 0 && !path.empty()) return path.substr(0, path.find('\n'));
  }
  return {};
}

// The attribute values as the browser serialises them: &amp; &quot; &lt; &gt;
// stand for their characters; then %XX is a byte of the file name.
std::string AttributeTarget(std::string value) {
  for (const auto& [entity, text] : std::vector<std::pair<std::string, std::string>>{
           {"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&#39;", "'"}, {"&amp;", "&"}}) {
    for (size_t at = value.find(entity); at != std::string::npos; at = value.find(entity, at + 1))
      value.replace(at, entity.size(), text);
  }
  std::string decoded;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && i + 2 < value.size()) {
      decoded += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      decoded += value[i];
    }
  }
  return decoded;
}

// The path as a file URL path: each component percent-encoded.
void AppendUrlPath(std::string& url, const fs::path& path) {
  for (const fs::path& part : path.relative_path()) {
    url += '/';
    AppendPercentEncoded(url, part.string());
  }
}

void CopyShippedFiles(const fs::path& target) {
  fs::create_directories(target / "html");
  fs::copy(kStaged / "html" / "req", target / "html" / "req", fs::copy_options::recursive);
  for (const auto& entry : fs::directory_iterator(kStaged / "html"))
    if (entry.path().extension() == ".gif") fs::copy(entry.path(), target / "html");
  for (const char* file : {"color.no", "buffer.no"}) fs::copy(kStaged / file, target / file);
  for (int n = 1; n <= 9; ++n)
    fs::create_directories(target / "Datenbanken" / ("db" + std::to_string(n)));
}

TEST(SiteEndToEnd, EveryPageOpensWithWorkingLinksAndImagesAndNoScript) {
  const fs::path cli = kStaged / "varnokel-cli";
  const fs::path log = kStaged / "samples" / "abend.log";
  ASSERT_TRUE(fs::exists(cli) && fs::exists(log) &&
              fs::exists(kStaged / "html" / "req" / "impr.htm"))
      << "the program folder is not staged completely";
  int status = 0;
  const std::string chromium = FindChromium();
  ASSERT_FALSE(chromium.empty()) << "chromium is needed (tools/install-deps.sh installs it)";

  testutil::TempDir dir;
  const fs::path program = dir.path() / "Programm Ordner";
  CopyShippedFiles(program);
  const std::string output = Shell(Quote(cli) + " --program-dir " + Quote(program) + " --load " +
                                       Quote(log) + " --update --report 2>&1",
                                   &status);
  ASSERT_EQ(status, 0) << output;
  EXPECT_NE(output.find(" HTML - Ausgabe 1 fertig..."), std::string::npos) << output;

  const fs::path html = program / "html";
  std::vector<fs::path> pages;
  for (const auto& entry : fs::recursive_directory_iterator(html))
    if (entry.path().extension() == ".htm") pages.push_back(entry.path());
  std::sort(pages.begin(), pages.end());
  ASSERT_GT(pages.size(), 4u + 24u + 3u + 5u) << "too few player pages";

  const std::regex attribute(R"re(\b(href|src)="([^"]*)")re");
  std::set<fs::path> linked;
  for (const fs::path& page : pages) {
    SCOPED_TRACE(page.string());
    std::string url = "file://";
    AppendUrlPath(url, page);
    const std::string dom =
        Shell(chromium + " --headless --no-sandbox --disable-gpu --user-data-dir=" +
                  Quote(dir.path() / "chromium") + " --dump-dom '" + url + "' 2>/dev/null",
              &status);
    ASSERT_EQ(status, 0);
    ASSERT_NE(dom.find("</html>"), std::string::npos) << dom.substr(0, 200);
    EXPECT_EQ(dom.find("<script"), std::string::npos);
    EXPECT_NE(dom.find("erstellt mit Varnokel Stats"), std::string::npos);
    for (std::sregex_iterator it(dom.begin(), dom.end(), attribute), end; it != end; ++it) {
      const std::string value = (*it)[2];
      if (value.rfind("https://", 0) == 0) continue;  // the credit line's home page
      const fs::path target = (page.parent_path() / AttributeTarget(value)).lexically_normal();
      EXPECT_TRUE(IsRegularFile(target)) << (*it)[1] << "=" << value;
      if ((*it)[1] == "src" && IsRegularFile(target)) {
        EXPECT_EQ(ReadFileBytes(target).substr(0, 6), "GIF89a") << value;
      }
      linked.insert(target);
    }
  }
  // Every page of the site is reached by some link.
  for (const fs::path& page : pages) EXPECT_TRUE(linked.count(page)) << page;
}

}  // namespace
}  // namespace varnokel
