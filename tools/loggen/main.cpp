// SPDX-License-Identifier: GPL-3.0-or-later
// varnokel-loggen: writes a realistic game-server log to a file or stdout.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/loggen/log_generator.h"

namespace {

int Usage() {
  std::cerr << "usage: varnokel-loggen [--lines N] [--players N] [--bots N] [--online N]\n"
               "                       [--seed N] [--start MM/DD/YYYY-HH:MM:SS] [--lf]\n"
               "                       [--hostile] [--output FILE]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  varnokel::loggen::LogGenOptions options;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (arg == "--lf") {
      options.bare_lf = true;
    } else if (arg == "--hostile") {
      options.hostile_names = true;
    } else if ((arg == "--lines" || arg == "--players" || arg == "--bots" || arg == "--online" ||
                arg == "--seed" || arg == "--start" || arg == "--output") &&
               (v = value()) != nullptr) {
      if (arg == "--lines") options.lines = std::strtoull(v, nullptr, 10);
      if (arg == "--players") options.players = std::atoi(v);
      if (arg == "--bots") options.bots = std::atoi(v);
      if (arg == "--online") options.max_online = std::atoi(v);
      if (arg == "--seed") options.seed = std::strtoull(v, nullptr, 10);
      if (arg == "--output") output = v;
      if (arg == "--start" &&
          std::sscanf(v, "%d/%d/%d-%d:%d:%d", &options.month, &options.day, &options.year,
                      &options.hour, &options.minute, &options.second) != 6) {
        return Usage();
      }
    } else {
      return Usage();
    }
  }
  if (output.empty()) {
    varnokel::loggen::GenerateLog(options, std::cout);
    return std::cout ? 0 : 1;
  }
  std::ofstream file(output, std::ios::binary);
  varnokel::loggen::GenerateLog(options, file);
  file.close();
  if (!file) {
    std::cerr << "varnokel-loggen: cannot write " << output << "\n";
    return 1;
  }
  return 0;
}
