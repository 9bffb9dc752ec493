#include "base/program_dir.h"

#include <unistd.h>

#include <vector>

namespace varnokel {

std::filesystem::path ProgramDir() {
  std::vector<char> buffer(4096);
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return std::filesystem::current_path();
  std::string exe(buffer.data(), static_cast<size_t>(n));
  size_t slash = exe.rfind('/');
  if (slash == std::string::npos || slash == 0) return std::filesystem::path("/");
  return std::filesystem::path(exe.substr(0, slash));
}

std::string ProgramDirUrl(const std::filesystem::path& programDir) {
  std::string url;
  for (char c : programDir.string()) {
    if (c == ' ')
      url += "%20";
    else
      url += c;
  }
  return url;
}

std::string DesignPageAddress(const std::filesystem::path& programDir) {
  // Besides the spaces, the three characters that would change what a file
  // address means ("%" starting an escape, "#" a fragment, "?" a query) are
  // escaped, so that the page loads from any folder the program sits in.
  std::string folder;
  for (char c : programDir.string()) {
    switch (c) {
      case '%':
        folder += "%25";
        break;
      case '#':
        folder += "%23";
        break;
      case '?':
        folder += "%3F";
        break;
      default:
        folder += c;
    }
  }
  return "file://" + ProgramDirUrl(folder) + "/varnokel_design.htm";
}

}  // namespace varnokel
