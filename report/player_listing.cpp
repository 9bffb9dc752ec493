#include "report/player_listing.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/file_io.h"
#include "base/parallel_stretches.h"
#include "base/system_error_text.h"
#include "report/html_escape.h"
#include "report/page_text.h"

namespace varnokel {

namespace {

constexpr std::string_view kPlayerSuffix = ".db";
constexpr size_t kReadPieceBytes = 4096;  // a player file is read in pieces of this size

bool IsPlayerEntryName(std::string_view name) {
  return name.size() > kPlayerSuffix.size() && name.front() != '.' &&
         name.substr(name.size() - kPlayerSuffix.size()) == kPlayerSuffix;
}

// The database folder held open while its player files are read: each file
// is opened by its name within the folder, which spares the kernel walking
// the whole path once per player.
class OpenFolder {
 public:
  explicit OpenFolder(const std::filesystem::path& dir)
      : dir_(dir), fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) throw FileError(FileError::Kind::kOpen, dir_, DescribeError(errno));
  }
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  ~OpenFolder() { ::close(fd_); }

  // The bytes of the file `name`, cut at a NUL byte. A symbolic link is
  // refused (it could show any file of the machine on a page), and a named
  // pipe put in place of a file is not waited for. Throws FileError(kOpen).
  std::string ReadText(const std::string& name) const {
    const int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
      const int err = errno;
      throw FileError(
          FileError::Kind::kOpen, dir_ / name,
          err == ELOOP ? "eine symbolische Verkn\xC3\xBCpfung, keine Datei" : DescribeError(err));
    }
    std::string bytes;
    char piece[kReadPieceBytes];
    for (;;) {
      const ssize_t n = ::read(fd, piece, sizeof piece);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        const int err = errno;
        ::close(fd);
        throw FileError(FileError::Kind::kOpen, dir_ / name, DescribeError(err));
      }
      if (n == 0) break;
      bytes.append(piece, static_cast<size_t>(n));
      // A read of a regular file that gives less than asked for has reached
      // its end (the lock keeps writers out): no read more to learn that.
      if (static_cast<size_t>(n) < sizeof piece) break;
    }
    ::close(fd);
    bytes.resize(CutAtNul(bytes).size());
    return bytes;
  }

 private:
  std::filesystem::path dir_;
  int fd_;
};

}  // namespace

std::vector<std::string> PlayerEntryNames(const std::filesystem::path& database_dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(database_dir, error), end; !error && entry != end;
       entry.increment(error)) {
    std::string name = entry->path().filename().string();
    // The listing tells the type of most entries itself: no call per entry.
    std::error_code type_error;
    if (IsPlayerEntryName(name) && !entry->is_symlink(type_error) &&
        entry->is_regular_file(type_error))
      names.push_back(std::move(name));
  }
  // std::string compares its bytes as unsigned values.
  std::sort(names.begin(), names.end());
  return names;
}

ListedPlayer ListedPlayerOf(std::string stem, std::string bytes) {
  ListedPlayer player;
  player.stem = std::move(stem);
  player.bytes = std::move(bytes);
  const Fields fields = SplitFields(player.bytes);
  player.id = FieldAt(fields, field::kId);
  player.name = FieldAt(fields, field::kName);
  player.link = PercentEncode(player.id);
  player.shown_name = PageText(player.name);
  player.skill = SkillValue(fields);
  player.play_time = Atoi(FieldAt(fields, field::kPlayTime));
  for (int w = 0; w < kWeaponCount; ++w)
    player.weapon_kills[w] = Atoi(FieldAt(fields, WeaponKillsField(w + 1)));
  return player;
}

PlayerListing BuildPlayerListing(const std::filesystem::path& database_dir) {
  const std::vector<std::string> names = PlayerEntryNames(database_dir);
  PlayerListing listing(names.size());
  if (names.empty()) return listing;
  const OpenFolder folder(database_dir);
  // Opening and reading many small files is mostly the kernel's work, which
  // the cores share. The first file in listing order that cannot be read is
  // the one reported.
  ForEachStretch(names.size(), [&](size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) {
      const std::string& name = names[k];
      listing[k] =
          ListedPlayerOf(name.substr(0, name.size() - kPlayerSuffix.size()), folder.ReadText(name));
    }
  });
  return listing;
}

ListedTexts::ListedTexts(const PlayerListing& listing) {
  size_t size = 0;
  for (const ListedPlayer& player : listing) size += player.link.size() + player.shown_name.size();
  block_.reserve(size);
  starts_.reserve(2 * listing.size() + 1);
  for (const ListedPlayer& player : listing) {
    for (const std::string* text : {&player.link, &player.shown_name}) {
      starts_.push_back(block_.size());
      block_ += *text;
    }
  }
  starts_.push_back(block_.size());
}

Fingerprint ListedNamesInput(const PlayerListing& listing) {
  PageInput input("listed names");
  for (const ListedPlayer& player : listing) input.Text(player.id).Text(player.name);
  return input.Value();
}

}  // namespace varnokel
