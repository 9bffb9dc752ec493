#include "tests/core/update_reference.h"

#include <deque>
#include <vector>

#include "base/file_io.h"
#include "db/player_file.h"
#include "db/player_record.h"
#include "log/classic_line.h"
#include "log/line_events.h"
#include "log/log_buffer.h"
#include "log/log_lines.h"

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
  for (int i = field::kCtJoins; i < kFieldCount; ++i) AppendLine(bytes, FieldAt(old, i));
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
  for (int i = field::kCtJoins; i <= field::kDefuseWithKit; ++i) AppendLine(bytes, FieldAt(old, i));
  AppendLine(bytes, e.date);
  AppendLine(bytes, std::to_string(play_time));
  for (int i = kFirstWeaponField; i < kFieldCount; ++i) AppendLine(bytes, FieldAt(old, i));
  bytes += std::to_string(SkillValue(old));
  WriteFileAtomic(file, bytes);
}

}  // namespace

void IncrementField(const std::filesystem::path& database_dir, std::string_view player_id,
                    int index, std::string_view reference_line) {
  std::filesystem::path file = PlayerFilePath(database_dir, player_id);
  Fields fields = PlayerFileExists(file)
                      ? ReadPlayerFile(file)
                      : SplitFields(UnknownPlayerRecord(player_id, reference_line));
  if (fields.size() < static_cast<size_t>(kFieldCount)) fields.resize(kFieldCount);
  std::string& count = fields[static_cast<size_t>(index)];
  count = IncrementedCount(count);
  WriteFileAtomic(file, JoinFields(fields));
}

// True when every player the line names can have a file and every existing
// file can be read (a folder there throws FileError before anything changes).
bool PlayersReadable(const std::filesystem::path& dir, const LineEvents& e) {
  const bool names_player =
      e.entered || e.team_join != Team::kNone || e.kill || e.objective || e.disconnected;
  if (!names_player) return true;
  std::vector<std::string_view> ids{e.id};
  if (e.kill) ids.push_back(e.killer);
  for (std::string_view id : ids) {
    if (!IsValidPlayerId(id)) return false;
  }
  for (std::string_view id : ids) {
    const std::filesystem::path file = PlayerFilePath(dir, id);
    if (PlayerFileExists(file)) ReadPlayerFile(file);
  }
  return true;
}

void FoldEvents(const std::filesystem::path& database_dir, const LineEvents& e,
                std::string_view ref) {
  if (e.entered) EnteredUpdate(database_dir, e);
  if (e.team_join != Team::kNone)
    IncrementField(database_dir, e.id, TeamJoinField(e.team_join), ref);
  if (e.kill) {
    IncrementField(database_dir, e.id, field::kDeaths, ref);
    IncrementField(database_dir, e.killer, field::kKills, ref);
    if (e.weapon != 0) IncrementField(database_dir, e.killer, WeaponKillsField(e.weapon), ref);
  }
  if (e.objective) IncrementField(database_dir, e.id, ObjectiveField(*e.objective), ref);
  if (e.disconnected) DisconnectedUpdate(database_dir, e);
}

void DatabaseUpdateRunReference(const LogBuffer& buffer, const std::filesystem::path& database_dir,
                                std::string& reference_line) {
  reference_line = ClassicLineText(MiddleLine(buffer.text()));
  const std::string& ref = reference_line;
  ForEachLine(buffer.text(), [&](std::string_view line) {
    // The parts a NUL run cuts a line into: every player they name is
    // checked before any of them is folded.
    std::deque<std::string> classic;
    std::vector<LineEvents> parts;
    ForEachPartBetweenNulRuns(line, [&](std::string_view part) {
      std::optional<LineEvents> found = AnalyseLine(part, classic.emplace_back());
      if (found) parts.push_back(*found);
    });
    std::vector<const LineEvents*> readable;
    for (const LineEvents& e : parts) {
      if (PlayersReadable(database_dir, e)) readable.push_back(&e);
    }
    for (const LineEvents* e : readable) FoldEvents(database_dir, *e, ref);
  });
}

}  // namespace varnokel
