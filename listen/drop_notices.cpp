#include "listen/drop_notices.h"

#include "listen/day_files.h"
#include "log/log_line_layout.h"

namespace varnokel {

namespace {

std::string Describe(const Endpoint& sender, DropKind kind, std::string_view line) {
  const std::string from = FormatEndpoint(sender) + ": ";
  switch (kind) {
    case DropKind::kForeign:
      return from + "fremder Absender (nicht mit --allow erlaubt), verworfen";
    case DropKind::kWrongSecret:
      return from + "falsches Passwort, verworfen";
    case DropKind::kMalformed:
      return from + "fehlerhaftes Datagramm (keine Logzeile), verworfen";
    case DropKind::kWrongDate:
      return from + "falsches Datum " + std::string(log_line::Date(line)) + ", aufbewahrt in " +
             SenderFolderName(sender) + "/" + std::string(kWrongDateFileName);
  }
  return from;
}

}  // namespace

void DropNotices::Note(const Endpoint& sender, DropKind kind, std::string_view line) {
  if (noticed_.size() >= kMaxSenders) {
    if (!std::exchange(overflow_noticed_, true))
      Post("weitere Absender mit verworfenen Datagrammen werden nicht einzeln genannt");
    return;
  }
  if (noticed_.emplace(sender, kind).second) Post(Describe(sender, kind, line));
}

std::vector<std::string> DropNotices::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(pending_, {});
}

void DropNotices::Post(std::string text) {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.push_back(std::move(text));
}

}  // namespace varnokel
