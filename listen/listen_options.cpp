#include "listen/listen_options.h"

#include <charconv>
#include <string_view>

namespace varnokel {

const char kListenOptionsHelp[] =
    "With --listen (the database is kept current from the stream, the site\n"
    "written when it changed; every line is kept in <program>/Logs/ first):\n"
    "  --allow IP[:PORT] take datagrams from this server (any port without one);\n"
    "                  may be repeated; default: only the listening host itself\n"
    "  --report-every SECONDS write the site at most this often (default 300)\n"
    "  --secret TEXT   take only datagrams the server signed with TEXT\n"
    "  --once          stop after the first second without a datagram\n";

size_t TakeListenOption(std::span<char* const> args, ListenOptions& options, std::string& error) {
  const std::string_view option = args[0];
  if (option == "--once") {
    options.once = true;
    return 1;
  }
  if (option != "--allow" && option != "--report-every" && option != "--secret") return 0;
  if (args.size() < 2) {
    error = std::string(option) + " needs a value";
    return 1;
  }
  const std::string_view value = args[1];
  if (option == "--allow") {
    const std::optional<Endpoint> entry = ParseAllowEntry(value);
    if (!entry) error = "--allow needs IP[:PORT], not '" + std::string(value) + "'";
    if (entry) options.allowed.push_back(*entry);
  } else if (option == "--report-every") {
    int seconds = 0;
    const auto [end, failed] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (failed != std::errc() || end != value.data() + value.size() || seconds < 1)
      error = "--report-every needs a number of seconds, not '" + std::string(value) + "'";
    options.report_every_seconds = seconds;
  } else {
    if (value.empty()) error = "--secret needs a text";
    options.secret = std::string(value);
  }
  return 2;
}

}  // namespace varnokel
