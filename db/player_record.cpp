#include "db/player_record.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "log/log_line_layout.h"

namespace varnokel {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

void AppendField(std::string& bytes, std::string_view text) {
  bytes.append(text);
  bytes.append("\r\n");
}

}  // namespace

constexpr int64_t kLongestSessionSeconds = 24 * 60 * 60;

std::optional<int64_t> DayNumber(std::string_view date) {
  if (date.size() != 10 || date[2] != '/' || date[5] != '/') return std::nullopt;
  for (size_t i : {0, 1, 3, 4, 6, 7, 8, 9}) {
    if (!IsDigit(date[i])) return std::nullopt;
  }
  int64_t month = (date[0] - '0') * 10 + (date[1] - '0');
  int64_t day = (date[3] - '0') * 10 + (date[4] - '0');
  int64_t year = Atoi(date.substr(6, 4));
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month < 1 || month > 12 || day < 1) return std::nullopt;
  if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return std::nullopt;
  // Days from the civil date (proleptic Gregorian calendar).
  year -= month <= 2 ? 1 : 0;
  int64_t era = year / 400;
  int64_t year_of_era = year - era * 400;
  int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

int64_t TimeSeconds(std::string_view time) {
  constexpr size_t kHours = 0, kMinutes = 3, kSeconds = 6, kDigits = 2;
  auto part = [&](size_t from) {
    return from >= time.size() ? 0 : int64_t{Atoi(time.substr(from, kDigits))};
  };
  return part(kHours) * 3600 + part(kMinutes) * 60 + part(kSeconds);
}

int64_t SessionSeconds(std::string_view start_date, std::string_view start_time,
                       std::string_view end_date, std::string_view end_time) {
  int64_t session = TimeSeconds(end_time) - TimeSeconds(start_time);
  std::optional<int64_t> start_day = DayNumber(start_date);
  std::optional<int64_t> end_day = DayNumber(end_date);
  if (start_day && end_day) {
    session += (*end_day - *start_day) * 86400;
  } else if (session < 0) {
    session += 86400;
  }
  // A session below 0 or above a day counts 0: every map change writes
  // "entered the game" again, so a real session never spans a day, and a
  // longer one means the logs in between were never loaded.
  if (session < 0 || session > kLongestSessionSeconds) session = 0;
  return session;
}

int32_t PlayTimeAfterSession(std::string_view start_date, std::string_view start_time,
                             std::string_view end_date, std::string_view end_time,
                             std::string_view old_total) {
  return Saturate(SessionSeconds(start_date, start_time, end_date, end_time) + Atoi(old_total));
}

std::string SerializeRecord(const PlayerRecord& record) {
  std::string bytes;
  bytes.reserve(256);
  for (int i = 0; i < kFieldCount; ++i) {
    const std::string& text = record.fields[static_cast<size_t>(i)];
    if (i == kFieldCount - 1 && record.shape == PlayerRecord::Shape::kDefault) {
      bytes.append(text);
    } else {
      AppendField(bytes, text);
    }
  }
  if (record.shape == PlayerRecord::Shape::kWithSkill) bytes.append(record.skill);
  return bytes;
}

PlayerRecord RecordFromFields(Fields fields) {
  fields.resize(kFieldCount);
  return PlayerRecord{std::move(fields), PlayerRecord::Shape::kTerminated, {}};
}

PlayerRecord NewRecord(std::string_view id, std::string_view date, std::string_view time,
                       std::string_view name) {
  PlayerRecord record;
  record.fields.assign(kFieldCount, "0");
  record.fields[field::kId] = id;
  record.fields[field::kEnterDate] = date;
  record.fields[field::kEnterTime] = time;
  record.fields[field::kName] = name;
  record.shape = PlayerRecord::Shape::kDefault;
  return record;
}

PlayerRecord UnknownRecord(std::string_view id, std::string_view reference_line) {
  return NewRecord(id, log_line::Date(reference_line), log_line::Time(reference_line),
                   kUnknownPlayerName);
}

void ApplyEntered(PlayerRecord& record, std::string_view id, std::string_view date,
                  std::string_view time, std::string_view name) {
  record.fields[field::kId] = id;
  record.fields[field::kEnterDate] = date;
  record.fields[field::kEnterTime] = time;
  record.fields[field::kName] = name;
  record.shape = PlayerRecord::Shape::kTerminated;
}

// Adds one to a count written the plain way (digits, no sign, no leading
// zero, fewer than ten digits, so far below the 32-bit limit) in place;
// false for any other text, which IncrementedCount then reads the long way.
bool IncrementPlainCount(std::string& count) {
  constexpr size_t kPlainDigits = 9;
  if (count.empty() || count.size() > kPlainDigits || (count[0] == '0' && count.size() > 1))
    return false;
  for (char c : count) {
    if (!IsDigit(c)) return false;
  }
  for (size_t i = count.size(); i-- > 0;) {
    if (count[i] != '9') {
      ++count[i];
      return true;
    }
    count[i] = '0';
  }
  count.insert(count.begin(), '1');
  return true;
}

void ApplyIncrement(PlayerRecord& record, int index) {
  std::string& count = record.fields[static_cast<size_t>(index)];
  if (!IncrementPlainCount(count)) count = IncrementedCount(count);
  record.shape = PlayerRecord::Shape::kTerminated;
}

void ApplyDisconnected(PlayerRecord& record, std::string_view id, std::string_view date,
                       std::string_view time, std::string_view name) {
  Fields& f = record.fields;
  record.skill = std::to_string(SkillValue(f));
  f[field::kPlayTime] = std::to_string(PlayTimeAfterSession(
      f[field::kEnterDate], f[field::kEnterTime], date, time, f[field::kPlayTime]));
  f[field::kId] = id;
  f[field::kName] = name;
  f[field::kLeaveDate] = date;
  record.shape = PlayerRecord::Shape::kWithSkill;
}

}  // namespace varnokel
