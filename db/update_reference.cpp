#include "db/update_reference.h"

#include "app/core/file_io.h"
#include "db/line_events.h"
#include "db/player_file.h"
#include "db/player_record.h"
#include "log/log_buffer.h"

namespace varnokel {

namespace {

void AppendLine(std::string& bytes, std::string_view text) {
  bytes.append(text);
  bytes.append("\r\n");
}

void EnteredUpdate(const std::filesystem::path& dir, const LineEvents& e) {
  std::filesystem::path file = PlayerFilePath(dir, e.id);
  if (!PlayerFileExists(file)) {
    WriteFileAtomic(file, NewPlayerRecord(e.id, e.date, e.time, e.name));
    return;
  }
  Fields old = ReadPlayerFile(file);
  std::string bytes;
  AppendLine(bytes, e.id);
  AppendLine(bytes, e.date);
  AppendLine(bytes, e.time);
  AppendLine(bytes, e.name);
  for (int i = 4; i < kFieldCount; ++i) AppendLine(bytes, FieldAt(old, i));
  WriteFileAtomic(file, bytes);
}

void DisconnectedUpdate(const std::filesystem::path& dir, const LineEvents& e) {
  std::filesystem::path file = PlayerFilePath(dir, e.id);
  if (!PlayerFileExists(file)) return;  // never seen: no session start known
  Fields old = ReadPlayerFile(file);
  int32_t play_time =
      PlayTimeAfterSession(FieldAt(old, field::kEnterDate), FieldAt(old, field::kEnterTime), e.date,
                           e.time, FieldAt(old, field::kPlayTime));
  std::string bytes;
  AppendLine(bytes, e.id);
  AppendLine(bytes, FieldAt(old, field::kEnterDate));
  AppendLine(bytes, FieldAt(old, field::kEnterTime));
  AppendLine(bytes, e.name);
  for (int i = 4; i <= 17; ++i) AppendLine(bytes, FieldAt(old, i));
  AppendLine(bytes, e.date);
  AppendLine(bytes, std::to_string(play_time));
  for (int i = 20; i < kFieldCount; ++i) AppendLine(bytes, FieldAt(old, i));
  bytes += std::to_string(SkillValue(old));
  WriteFileAtomic(file, bytes);
}

}  // namespace

void DatabaseUpdateRunReference(const LogBuffer& buffer, const std::filesystem::path& database_dir,
                                std::string& reference_line) {
  reference_line = std::string(MiddleLine(buffer.text()));
  const std::string& ref = reference_line;
  ForEachLine(buffer.text(), [&](std::string_view line) {
    std::optional<LineEvents> found = AnalyseLine(line);
    if (!found) return;
    const LineEvents& e = *found;
    if (e.entered) EnteredUpdate(database_dir, e);
    if (e.team_field != 0) IncrementField(database_dir, e.id, e.team_field, ref);
    if (e.kill) {
      IncrementField(database_dir, e.id, field::kDeaths, ref);
      IncrementField(database_dir, e.killer, field::kKills, ref);
      if (e.weapon != 0) IncrementField(database_dir, e.killer, 19 + e.weapon, ref);
    }
    for (int i = 0; i < e.event_count; ++i) {
      IncrementField(database_dir, e.id, e.event_fields[static_cast<size_t>(i)], ref);
    }
    if (e.disconnected) DisconnectedUpdate(database_dir, e);
  });
}

}  // namespace varnokel
