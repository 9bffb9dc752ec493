#include "db/player_file.h"

#include <sys/stat.h>

#include <limits>

#include "app/core/file_io.h"
#include "app/core/text_lines.h"

namespace varnokel {

const std::array<Weapon, kWeaponCount> kWeapons = {{
    {"usp", 12},       {"glock18", 18}, {"deagle", 15}, {"p228", 18},    {"dualbaretta", 21},
    {"fiveseven", 20}, {"m3", 20},      {"xm1014", 16}, {"mp5navy", 13}, {"tmp", 19},
    {"p90", 14},       {"mac10", 20},   {"ump45", 16},  {"ak47", 13},    {"sg552", 10},
    {"m4a1", 10},      {"aug", 11},     {"scout", 20},  {"awp", 12},     {"g3", 14},
    {"sg550", 15},     {"para", 14},    {"knife", 50},  {"grenade", 15},
}};

namespace {

const std::string kEmptyField;

// 32-bit signed arithmetic that wraps like the machine does, without the
// undefined behaviour of signed overflow in C++.
int32_t Wrap(int64_t value) {
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

}  // namespace

const std::string& FieldAt(const Fields& fields, int index) {
  return index >= 0 && static_cast<size_t>(index) < fields.size()
             ? fields[static_cast<size_t>(index)]
             : kEmptyField;
}

int32_t Atoi(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;  // saturate; keeps the loop free of overflow
  }
  if (negative) return static_cast<int32_t>(-value);
  return value >= kLimit ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(value);
}

std::filesystem::path PlayerFilePath(const std::filesystem::path& database_dir,
                                     std::string_view player_id) {
  std::string name = std::string(player_id) + ".db";
  if (player_id.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
    throw FileError(FileError::Kind::kInvalidName, database_dir.string() + "/" + name,
                    "player id contains \"/\" or a NUL byte");
  }
  if (player_id.size() > kMaxPlayerIdBytes) {
    throw FileError(FileError::Kind::kInvalidName, database_dir.string() + "/" + name,
                    "player id too long for a file name");
  }
  return database_dir / name;
}

Fields SplitFields(std::string_view bytes) {
  return SplitLines(bytes);
}

std::string JoinFields(const Fields& fields) {
  std::string bytes;
  bytes.reserve(256);
  for (int i = 0; i < kFieldCount; ++i) {
    bytes += FieldAt(fields, i);
    bytes += "\r\n";
  }
  return bytes;
}

std::string NewPlayerRecord(std::string_view id, std::string_view date, std::string_view time,
                            std::string_view name) {
  std::string bytes;
  bytes.reserve(id.size() + date.size() + time.size() + name.size() + 6 + 40 * 3);
  bytes.append(id).append("\r\n").append(date).append("\r\n").append(time).append("\r\n");
  bytes.append(name);
  for (int i = 4; i < kFieldCount; ++i) bytes += "\r\n0";
  return bytes;
}

std::string UnknownPlayerRecord(std::string_view id, std::string_view reference_line) {
  auto piece = [&](size_t from, size_t count) {
    return from >= reference_line.size() ? std::string_view() : reference_line.substr(from, count);
  };
  return NewPlayerRecord(id, piece(2, 10), piece(15, 8), "Unknown");
}

int32_t SkillValue(const Fields& fields) {
  int32_t weighted = 0;
  for (int i = 0; i < kWeaponCount; ++i) {
    int64_t kills = Atoi(FieldAt(fields, kFirstWeaponField + i));
    weighted = Wrap(int64_t{weighted} + kills * kWeapons[static_cast<size_t>(i)].weight);
  }
  int32_t divisor = Wrap(int64_t{Atoi(FieldAt(fields, field::kDeaths))} + 1);
  if (divisor == 0) divisor = 1;
  // int64 division: INT32_MIN / -1 wraps back to INT32_MIN instead of trapping.
  int32_t base = Wrap(int64_t{Wrap(int64_t{weighted} * 10)} / divisor);
  int64_t touched = int64_t{Atoi(FieldAt(fields, field::kHostageTouched))} +
                    Atoi(FieldAt(fields, field::kHostageKilled)) +
                    Atoi(FieldAt(fields, field::kBombDefused)) +
                    Atoi(FieldAt(fields, field::kBombPlanted));
  int32_t bonus = Wrap(int64_t{Wrap(touched)} * 10);
  return Wrap(int64_t{base} + bonus);
}

std::string IncrementedCount(std::string_view count) {
  int32_t value = Atoi(count);
  return std::to_string(value == std::numeric_limits<int32_t>::max() ? value : value + 1);
}

Fields ReadPlayerFile(const std::filesystem::path& file) {
  return SplitFields(ReadFileText(file));
}

bool PlayerFileExists(const std::filesystem::path& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0;
}

void IncrementField(const std::filesystem::path& database_dir, std::string_view player_id,
                    int index, std::string_view reference_line) {
  std::filesystem::path file = PlayerFilePath(database_dir, player_id);
  if (!PlayerFileExists(file)) {
    WriteFileAtomic(file, UnknownPlayerRecord(player_id, reference_line));
    return;
  }
  Fields fields = ReadPlayerFile(file);
  if (fields.size() < static_cast<size_t>(kFieldCount)) fields.resize(kFieldCount);
  std::string& count = fields[static_cast<size_t>(index)];
  count = IncrementedCount(count);
  WriteFileAtomic(file, JoinFields(fields));
}

}  // namespace varnokel
