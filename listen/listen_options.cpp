#include "listen/listen_options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace varnokel {

namespace {

constexpr std::array<std::string_view, 5> kOptionsWithValue = {
    "--allow", "--report-every", "--secret", "--secret-file", "--compress-after"};

// A whole number of at least 1, else nullopt.
std::optional<int> PositiveNumber(std::string_view text) {
  int value = 0;
  const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (failed != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
  return value;
}

std::string Quoted(std::string_view value) {
  std::string quoted(1, '\'');
  quoted.append(value).push_back('\'');
  return quoted;
}

}  // namespace

const char kListenOptionsHelp[] =
    "Mit --listen (die Datenbank folgt dem Log-Strom, die Seiten werden neu\n"
    "geschrieben, sobald neue Spieler kommen, sonst sp\xC3\xA4testens nach --report-every;\n"
    "jede Zeile steht zuerst in <Programmordner>/Logs/):\n"
    "  --allow IP[:PORT] Datagramme dieses Servers annehmen (ohne PORT: jeder Port);\n"
    "                  mehrfach m\xC3\xB6glich; sonst nur vom empfangenden Rechner selbst\n"
    "  --report-every SEKUNDEN Seiten bei \xC3\x84nderungen sp\xC3\xA4testens so oft schreiben\n"
    "                  (Vorgabe 60)\n"
    "  --secret-file DATEI nur Datagramme annehmen, die der Server mit dem Passwort\n"
    "                  aus der ersten Zeile von DATEI signiert (nur f\xC3\xBCr den\n"
    "                  Eigent\xC3\xBCmer lesbar); ohne sie und ohne --secret gilt\n"
    "                  $CREDENTIALS_DIRECTORY/secret, wenn es sie gibt\n"
    "  --secret TEXT   wie --secret-file, aber f\xC3\xBCr alle Benutzer sichtbar (ps)\n"
    "  --compress-after TAGE Tagesdateien, die \xC3\xA4lter sind, mit gzip packen\n"
    "                  (Vorgabe: nie)\n"
    "  --once          nach der ersten Sekunde ohne Datagramm aufh\xC3\xB6ren\n";

size_t TakeListenOption(std::span<char* const> args, ListenOptions& options, std::string& error) {
  const std::string_view option = args[0];
  if (option == "--once") {
    options.once = true;
    return 1;
  }
  if (std::find(kOptionsWithValue.begin(), kOptionsWithValue.end(), option) ==
      kOptionsWithValue.end())
    return 0;
  if (args.size() < 2) {
    error = std::string(option) + " braucht einen Wert";
    return 1;
  }
  const std::string_view value = args[1];
  if (option == "--allow") {
    const std::optional<Endpoint> entry = ParseAllowEntry(value);
    if (!entry) error = "--allow braucht IP[:PORT], nicht " + Quoted(value);
    if (entry) options.allowed.push_back(*entry);
  } else if (option == "--report-every" || option == "--compress-after") {
    const std::optional<int> number = PositiveNumber(value);
    if (!number) error = std::string(option) + " braucht eine Zahl ab 1, nicht " + Quoted(value);
    (option == "--report-every" ? options.report_every_seconds : options.compress_after_days) =
        number.value_or(0);
  } else if (option == "--secret") {
    if (value.empty()) error = "--secret braucht einen Text";
    options.secret = std::string(value);
  } else {
    if (value.empty()) error = "--secret-file braucht eine Datei";
    options.secret_file = std::string(value);
  }
  if (options.secret && options.secret_file)
    error =
        "--secret und --secret-file schlie\xC3\x9F"
        "en einander aus";
  return 2;
}

}  // namespace varnokel
