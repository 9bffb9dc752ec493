// SPDX-License-Identifier: GPL-3.0-or-later
// varnokel-cli --listen end to end: the real executable on a temporary
// program folder, a game server replaying a generated log as datagrams on
// loopback, and the database compared with --load and --update of the same
// lines.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "base/content_hash.h"
#include "base/gzip.h"
#include "db/database_lock.h"
#include "db/ledger.h"
#include "db/player_file.h"
#include "db/player_record.h"
#include "db/update_run.h"
#include "listen/day_files.h"
#include "listen/drop_notices.h"
#include "listen/fold_budget.h"
#include "log/line_count.h"
#include "log/log_buffer.h"
#include "log/log_line_layout.h"
#include "tests/core/test_support.h"
#include "tests/listen/listen_support.h"
#include "tools/loggen/log_generator.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::DatabaseContents;
using testing::LinesOf;
using testing::ListenerProcess;
using testing::ReadBytes;
using testing::Sender;
using testing::ServerDatagram;
using testing::TempDir;
using testing::WriteBytes;

constexpr auto kReady = 20s;  // a listener that has not said where it listens by then failed
constexpr auto kEnd = 60s;
constexpr size_t kLinesPerPause = 50;  // a breath now and then, as a real server takes

// A log that starts today on the listener's calendar, at `hour`:`minute`.
loggen::LogGenOptions TodaysLog(int hour, int minute = 0) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  loggen::LogGenOptions options;
  options.year = local.tm_year + 1900;
  options.month = local.tm_mon + 1;
  options.day = local.tm_mday;
  options.hour = hour;
  options.minute = minute;
  return options;
}

std::string Joined(const std::vector<std::string>& lines, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += lines[i] + "\n";
  return text;
}

// The statistics --load and --update make of `log`.
std::map<std::string, std::string> LoadedAndUpdated(const std::string& log) {
  TempDir db;
  LogBuffer buffer;
  buffer.Append(LogContribution(log));
  std::string reference_line;
  DatabaseUpdateRun(buffer, db.path(), reference_line);
  return DatabaseContents(db.path());
}

// The player files of `db` equal `expected` byte for byte, apart from the
// entry date and time of players only met through other players' events:
// those take the middle line of the fold that made them.
void ExpectSameStatistics(const fs::path& db, const std::map<std::string, std::string>& expected) {
  const std::map<std::string, std::string> actual = DatabaseContents(db);
  ASSERT_EQ(actual.size(), expected.size());
  for (const auto& [name, bytes] : expected) {
    ASSERT_TRUE(actual.contains(name)) << name;
    Fields want = SplitFields(bytes), got = SplitFields(actual.at(name));
    if (FieldAt(want, field::kName) == kUnknownPlayerName && got.size() == want.size()) {
      for (int masked : {field::kEnterDate, field::kEnterTime}) got[masked] = want[masked];
    }
    EXPECT_EQ(got, want) << name;
  }
}

class Listen : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int n = 1; n <= 9; ++n) fs::create_directories(Db(n));
    WriteBytes(program_ / "color.no", ReadBytes(fs::path(VARNOKEL_PROGRAM_DIR) / "color.no"));
  }

  fs::path Db(int n) const { return program_.path() / ("Datenbanken/db" + std::to_string(n)); }
  fs::path SenderDir(const Sender& sender) const {
    return program_.path() / kLogsFolderName / SenderFolderName(sender.self());
  }

  std::unique_ptr<ListenerProcess> Start(std::vector<std::string> options,
                                         const std::string& fault = {}) {
    std::vector<std::string> args = {VARNOKEL_CLI, "--program-dir", program_.path().string()};
    args.insert(args.end(), options.begin(), options.end());
    return std::make_unique<ListenerProcess>(args, output_ / "err", output_ / "out", fault);
  }

  // The day files of a sender, joined in the order of their dates.
  std::string DayFileText(const Sender& sender) const {
    std::string text;
    for (const std::string& name : ListEntryNames(SenderDir(sender))) {
      if (IsDayFileName(name)) text += ReadBytes(SenderDir(sender) / name);
    }
    return text;
  }

  // Until the day files of `sender` hold `bytes` (or a minute passed).
  void WaitForDayFiles(const Sender& sender, size_t bytes) const {
    for (auto end = std::chrono::steady_clock::now() + kEnd;
         DayFileText(sender).size() < bytes && std::chrono::steady_clock::now() < end;)
      std::this_thread::sleep_for(1ms);
  }

  // One ledger run per day file of `senders`, holding all of its lines.
  void ExpectLedgerHoldsEachDayFileWhole(const fs::path& db,
                                         std::initializer_list<const Sender*> senders) const {
    std::set<std::string> runs, day_files;
    const Ledger ledger = Ledger::Read(db);
    for (const LedgerRun& run : ledger.runs()) {
      runs.insert(std::to_string(run.LinesFrom(0, run.chunks.size())) + " " +
                  std::to_string(run.size) + " " + run.name);
    }
    for (const Sender* sender : senders) {
      for (const std::string& name : ListEntryNames(SenderDir(*sender))) {
        if (!IsDayFileName(name) && name != kWrongDateFileName) continue;
        const std::string bytes = ReadBytes(SenderDir(*sender) / name);
        day_files.insert(std::to_string(CountLineEnds(bytes)) + " " + std::to_string(bytes.size()) +
                         " " + SenderFolderName(sender->self()) + "/" + name);
      }
    }
    EXPECT_EQ(runs, day_files);
  }

  void ExpectLedgerHoldsEachDayFileWhole(const fs::path& db, const Sender& sender) const {
    ExpectLedgerHoldsEachDayFileWhole(db, {&sender});
  }

  TempDir program_;
  TempDir output_;
};

// Resident memory of process `pid` in kB.
long ResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmRSS:")) return std::atol(line.c_str() + 6);
  }
  return 0;
}

size_t Occurrences(const std::string& text, const std::string& piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    ++count;
  return count;
}

void SendLines(const Sender& sender, const Endpoint& to, const std::vector<std::string>& lines,
               size_t from, size_t to_line, const std::optional<std::string>& secret = {},
               std::chrono::milliseconds pause = 1ms) {
  for (size_t i = from; i < to_line; ++i) {
    sender.Send(to, ServerDatagram(lines[i], secret, i % 2 == 0));
    if (i % kLinesPerPause == 0) std::this_thread::sleep_for(pause);
  }
}

TEST_F(Listen, BadOptionsAndAddressesInUseEndAtOnce) {
  const std::vector<std::vector<std::string>> usage_errors = {
      {"--listen", "x"},
      {"--listen", "127.0.0.1"},
      {"--listen", "1", "--allow", "h"},
      {"--listen", "1", "--report-every", "0"},
      {"--listen", "1", "--secret", ""},
      {"--listen", "1", "--allow"},
      {"--listen", "1", "--compress-after", "0"},
      {"--listen", "1", "--secret", "s", "--secret-file", "f"},
      {"--list", "--secret", "s"}};
  for (const std::vector<std::string>& args : usage_errors) {
    EXPECT_EQ(Start(args)->Wait(kEnd), 2) << args[1];
  }
  Sender taken("127.0.0.1");  // a UDP socket holding the address
  EXPECT_EQ(Start({"--listen", FormatEndpoint(taken.self()), "--once"})->Wait(kEnd), 1);
  EXPECT_NE(
      ReadBytes(output_ / "err").find("kann nicht empfangen auf " + FormatEndpoint(taken.self())),
      std::string::npos);
  fs::remove_all(Db(3));
  EXPECT_EQ(Start({"--database", "3", "--listen", "127.0.0.1:0", "--once"})->Wait(kEnd), 1);
  EXPECT_FALSE(fs::exists(program_ / "Logs"));
}

TEST_F(Listen, StreamIsFoldedLikeItsLinesLoadedAndEverythingElseIsCountedAndDropped) {
  loggen::LogGenOptions options = TodaysLog(23, 20);  // past midnight: two day files
  options.lines = 2000;
  const std::string log = loggen::GenerateLog(options);
  const std::vector<std::string> lines = LinesOf(log);
  std::unique_ptr<ListenerProcess> listener =
      Start({"--database", "2", "--listen", "127.0.0.1:0", "--secret", "geheim"});
  const std::optional<Endpoint> at = listener->WaitReady(kReady);
  ASSERT_TRUE(at) << listener->Stderr();

  // Every bad datagram carries a line that would show in the statistics.
  const std::string forged = "L 03/15/2003 - 23:59:59: \"Mallory<9><666><CT>\" entered the game";
  const std::string header = "\xFF\xFF\xFF\xFF";
  const std::vector<std::string> malformed = {
      "",
      header,
      forged + "\n",
      header + "Sgeheim" + forged,
      header + "Sgeheim" + forged + "\n" + forged + "\n",
      header + "Sgeheim" + forged.substr(0, 10) + '\0' + forged + "\n",
      header + "SgeheimL 03/15/2003 - 23:59:59:\n",
      header + "Sgeheim" + std::string(9000, 'L') + "\n",
  };
  Sender server("127.0.0.1"), stranger("127.0.0.2");
  size_t foreign = 0, wrong_secret = 0, bad = 0;
  for (size_t i = 0; i < lines.size(); i += kLinesPerPause) {
    stranger.Send(*at, ServerDatagram(forged, "geheim"));
    ++foreign;
    server.Send(*at, ServerDatagram(forged, "falsch"));
    server.Send(*at, ServerDatagram(forged));
    wrong_secret += 2;
    for (const std::string& datagram : malformed) server.Send(*at, datagram);
    bad += malformed.size();
    // Over a few seconds, so that the day files are folded while they grow.
    // Each batch is taken before the next is sent (a datagram arrives after
    // those sent before it), so the receive buffer never holds more than one
    // batch and the counts below are certain, however slow the listener.
    const size_t end = std::min(i + kLinesPerPause, lines.size());
    SendLines(server, *at, lines, i, end, "geheim", 60ms);
    WaitForDayFiles(server, Joined(lines, end).size());
  }
  listener->Signal(SIGTERM);  // as the service manager stops it
  ASSERT_EQ(listener->Wait(kEnd), 0) << listener->Stderr();

  const std::string err = listener->Stderr();
  const std::string n = std::to_string(lines.size());
  EXPECT_NE(err.find(n + " Zeilen in Tagesdateien, " + n + " eingelesen, 0 falsches Datum"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("--secret ist f\xC3\xBCr alle Benutzer dieses Rechners sichtbar"),
            std::string::npos);
  // Each kind of rejection named once, with the sender.
  for (const auto& [from, kind] : {std::pair{&stranger, std::string("fremder Absender")},
                                   std::pair{&server, std::string("falsches Passwort")},
                                   std::pair{&server, std::string("fehlerhaftes Datagramm")}}) {
    const std::string notice = FormatEndpoint(from->self()) + ": " + kind;
    EXPECT_NE(err.find(notice), std::string::npos) << notice;
    EXPECT_EQ(err.find(notice), err.rfind(notice)) << notice;
  }
  EXPECT_NE(err.find(std::to_string(foreign + wrong_secret + bad) + " verworfen (" +
                     std::to_string(foreign) + " fremde Absender, " + std::to_string(wrong_secret) +
                     " falsches Passwort, " + std::to_string(bad) +
                     " fehlerhaft, 0 nicht geschrieben), 0 im Empfangspuffer verloren"),
            std::string::npos)
      << err;
  EXPECT_EQ(ListEntryNames(program_ / "Logs"),
            std::vector<std::string>{SenderFolderName(server.self())});
  EXPECT_EQ(ListEntryNames(SenderDir(server)),
            (std::vector<std::string>{DayFileName(lines.front()), DayFileName(lines.back())}));
  EXPECT_EQ(DayFileText(server), Joined(lines, lines.size()));
  ExpectSameStatistics(Db(2), LoadedAndUpdated(log));
  ExpectLedgerHoldsEachDayFileWhole(Db(2), server);
  EXPECT_TRUE(DatabaseContents(Db(1)).empty());
  EXPECT_TRUE(fs::exists(program_ / "html" / "st.htm"));
  EXPECT_EQ(ReadBytes(output_ / "out"), " Datenbank 2 fertig... HTML - Ausgabe 2 fertig...\n");
}

TEST_F(Listen, KilledListenerLosesNoLineWrittenAndFoldsNoneTwice) {
  loggen::LogGenOptions options = TodaysLog(22);
  options.lines = 3000;
  options.seed = 7;
  const std::string log = loggen::GenerateLog(options);
  const std::vector<std::string> lines = LinesOf(log);
  const std::string expected = Joined(lines, lines.size());
  constexpr size_t kChunk = 500;
  Sender server("::1");
  const std::vector<std::string> listen = {"--listen", "[::1]:0"};

  // Killed at the n-th file write (inside a fold's commit or the report) or
  // by SIGKILL at a random moment; some deaths leave half a line behind. The
  // last one gets every line left and dies before its first fold: the next
  // start, which gets no line, must fold them.
  struct Death {
    std::string fault;
    bool torn_line;
    bool all_left = false;
  };
  const std::vector<Death> deaths = {{"kill:3", false},
                                     {"kill:20", true},
                                     {"kill:45", false},
                                     {"", true},
                                     {"", true, /*all_left=*/true}};
  std::mt19937 random(11);
  std::map<std::string, std::string> torn;  // day file -> what its .torn file must hold
  size_t kept = 0;
  for (const Death& death : deaths) {
    std::unique_ptr<ListenerProcess> listener = Start(listen, death.fault);
    const std::optional<Endpoint> at = listener->WaitReady(kReady);
    ASSERT_TRUE(at) << listener->Stderr();
    const size_t until = death.all_left ? lines.size() : std::min(lines.size(), kept + kChunk);
    SendLines(server, *at, lines, kept, until);
    if (death.fault.empty()) {
      WaitForDayFiles(server, Joined(lines, until).size());
      if (!death.all_left) std::this_thread::sleep_for(std::chrono::milliseconds(random() % 1500));
      listener->Signal(SIGKILL);
    }
    listener->Wait(10s);  // dead by its fault, or killed now
    const std::string text = DayFileText(server);
    ASSERT_EQ(text, expected.substr(0, text.size()));  // whole lines, in order, none twice
    kept = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    if (death.torn_line) {
      std::vector<std::string> day_files = ListEntryNames(SenderDir(server));
      std::erase_if(day_files, [](const std::string& name) { return !IsDayFileName(name); });
      const std::string newest = day_files.back();
      const std::string& next = lines[std::min(kept, lines.size() - 1)];
      const std::string half = next.substr(0, next.size() / 2);
      std::ofstream(SenderDir(server) / newest, std::ios::app) << half;
      torn[newest + std::string(kTornSuffix)] += half + "\n";
    }
  }
  ASSERT_EQ(kept, lines.size());
  std::unique_ptr<ListenerProcess> last = Start({"--listen", "[::1]:0", "--once"});
  ASSERT_EQ(last->Wait(kEnd), 0) << last->Stderr();

  EXPECT_EQ(DayFileText(server), expected);
  for (const auto& [name, bytes] : torn) EXPECT_EQ(ReadBytes(SenderDir(server) / name), bytes);
  ExpectSameStatistics(Db(1), LoadedAndUpdated(log));
  ExpectLedgerHoldsEachDayFileWhole(Db(1), server);
}

TEST_F(Listen, HostileSendersMakeNoFilesBeyondTheirDaysAndNoMemoryBeyondTheirCount) {
  loggen::LogGenOptions options = TodaysLog(12);
  options.lines = 1000;
  std::vector<std::string> lines = LinesOf(loggen::GenerateLog(options));
  std::string today_lines, other_lines;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i % 2 == 1) {  // a date of its own, decades away
      char date[32];
      std::snprintf(date, sizeof date, "%02d/%02d/%04d", static_cast<int>(i / 28 % 12 + 1),
                    static_cast<int>(i % 28 + 1), static_cast<int>(1950 + i / 336));
      lines[i].replace(log_line::kDateStart, log_line::kDateLength, date);
    }
    (i % 2 == 1 ? other_lines : today_lines) += lines[i] + "\n";
  }
  std::unique_ptr<ListenerProcess> listener = Start({"--listen", "127.0.0.1:0", "--once"});
  const std::optional<Endpoint> at = listener->WaitReady(kReady);
  ASSERT_TRUE(at) << listener->Stderr();
  Sender server("127.0.0.1");
  SendLines(server, *at, lines, 0, lines.size());

  // Strangers from ever new addresses: counted, never kept.
  constexpr size_t kStrangers = DropNotices::kMaxSenders + 200, kEach = 10, kHostsPerNet = 250;
  const long memory_before = ResidentKb(listener->pid());
  for (size_t k = 0; k < kStrangers; ++k) {
    const Sender stranger("127.0." + std::to_string(2 + k / kHostsPerNet) + "." +
                          std::to_string(1 + k % kHostsPerNet));
    for (size_t i = 0; i < kEach; ++i) stranger.Send(*at, ServerDatagram(lines[i]));
  }
  constexpr long kSlackKb = 4096;
  EXPECT_LT(ResidentKb(listener->pid()), memory_before + kSlackKb);
  ASSERT_EQ(listener->Wait(kEnd), 0) << listener->Stderr();

  const std::string err = listener->Stderr();
  const std::string n = std::to_string(lines.size()), half = std::to_string(lines.size() / 2);
  EXPECT_NE(
      err.find(n + " Zeilen in Tagesdateien, " + n + " eingelesen, " + half + " falsches Datum"),
      std::string::npos)
      << err;
  EXPECT_NE(err.find(std::to_string(kStrangers * kEach) + " fremde Absender"), std::string::npos);
  EXPECT_EQ(Occurrences(err, FormatEndpoint(server.self()) + ": falsches Datum"), 1u);
  // The notices remembered are bounded, the date's among them.
  EXPECT_EQ(Occurrences(err, ": fremder Absender") + 1, DropNotices::kMaxSenders);
  EXPECT_EQ(Occurrences(err, "weitere Absender"), 1u);
  EXPECT_EQ(ListEntryNames(program_ / "Logs"),
            std::vector<std::string>{SenderFolderName(server.self())});
  EXPECT_EQ(ListEntryNames(SenderDir(server)),
            (std::vector<std::string>{DayFileName(lines[0]), std::string(kWrongDateFileName)}));
  EXPECT_EQ(ReadBytes(SenderDir(server) / DayFileName(lines[0])), today_lines);
  EXPECT_EQ(ReadBytes(SenderDir(server) / kWrongDateFileName), other_lines);
  ExpectLedgerHoldsEachDayFileWhole(Db(1), server);
}

TEST_F(Listen, ABurstOfNewPlayersIsFoldedInBoundedFoldsEveryLineOnce) {
  loggen::LogGenOptions options = TodaysLog(0);  // today and tomorrow: day files only
  options.lines = 60000;
  options.players = 4000;
  options.max_online = 400;
  const std::string log = loggen::GenerateLog(options);
  const std::vector<std::string> lines = LinesOf(log);
  const std::map<std::string, std::string> expected = LoadedAndUpdated(log);
  ASSERT_GT(expected.size(), FoldBudget::kFirstNewPlayers + 1);
  // The database held by another writer while every line comes: the first
  // fold finds more new players than it may create.
  std::optional<DatabaseLock> busy(std::in_place, Db(1), DatabaseLock::Access::kWrite);
  std::unique_ptr<ListenerProcess> listener = Start({"--listen", "127.0.0.1:0", "--once"});
  const std::optional<Endpoint> at = listener->WaitReady(kReady);
  ASSERT_TRUE(at) << listener->Stderr();
  Sender server("127.0.0.1");
  SendLines(server, *at, lines, 0, lines.size());
  WaitForDayFiles(server, Joined(lines, lines.size()).size());
  busy.reset();
  ASSERT_EQ(listener->Wait(kEnd), 0) << listener->Stderr();

  const std::string err = listener->Stderr();
  const std::string n = std::to_string(lines.size());
  EXPECT_NE(err.find(n + " Zeilen in Tagesdateien, " + n + " eingelesen"), std::string::npos)
      << err;
  // Every line was there for the first fold; more than one took them on.
  const size_t folds = err.find("Einlesen ");
  ASSERT_NE(folds, std::string::npos) << err;
  EXPECT_GE(std::atoi(err.c_str() + folds + 9), 2) << err;
  ExpectSameStatistics(Db(1), expected);
  ExpectLedgerHoldsEachDayFileWhole(Db(1), server);
}

TEST_F(Listen, SecretComesFromAFileOnlyItsOwnerMayReadOrFromTheServiceCredential) {
  loggen::LogGenOptions options = TodaysLog(12);
  options.lines = 100;
  const fs::path secret_file = output_ / "secret";
  WriteBytes(secret_file, "geheim\nzweite Zeile\n");
  fs::permissions(secret_file, fs::perms::owner_read | fs::perms::owner_write |
                                   fs::perms::group_read | fs::perms::others_read);
  const std::vector<std::string> listen = {"--listen", "127.0.0.1:0", "--once"};
  std::vector<std::string> from_file = listen;
  from_file.insert(from_file.end(), {"--secret-file", secret_file.string()});
  EXPECT_EQ(Start(from_file)->Wait(kEnd), 1);
  EXPECT_NE(ReadBytes(output_ / "err").find(secret_file.string()), std::string::npos);
  EXPECT_NE(ReadBytes(output_ / "err").find("chmod 600"), std::string::npos);
  fs::permissions(secret_file, fs::perms::owner_read | fs::perms::owner_write);

  const fs::path credentials = output_ / "credentials";
  fs::create_directories(credentials);
  WriteBytes(credentials / "secret", "anders\r\n");
  fs::permissions(credentials / "secret", fs::perms::owner_read);
  ::setenv("CREDENTIALS_DIRECTORY", credentials.c_str(), 1);
  // The file beats the credential; without the option the credential holds.
  for (const auto& [args, secret] :
       {std::pair{from_file, std::string("geheim")}, std::pair{listen, std::string("anders")}}) {
    ++options.seed;  // other lines each time, so that none was folded before
    const std::vector<std::string> lines = LinesOf(loggen::GenerateLog(options));
    std::unique_ptr<ListenerProcess> listener = Start(args);
    const std::optional<Endpoint> at = listener->WaitReady(kReady);
    ASSERT_TRUE(at) << listener->Stderr();
    EXPECT_EQ(ReadBytes("/proc/" + std::to_string(listener->pid()) + "/cmdline").find(secret),
              std::string::npos);
    Sender server("127.0.0.1");
    SendLines(server, *at, lines, 0, lines.size(), secret);
    server.Send(*at, ServerDatagram(lines[0], "falsch"));
    ASSERT_EQ(listener->Wait(kEnd), 0) << listener->Stderr();
    const std::string err = listener->Stderr();
    EXPECT_NE(err.find(std::to_string(lines.size()) + " eingelesen"), std::string::npos) << err;
    EXPECT_NE(err.find("1 falsches Passwort"), std::string::npos) << err;
    EXPECT_EQ(err.find("--secret ist"), std::string::npos);
  }
  ::unsetenv("CREDENTIALS_DIRECTORY");
}

TEST_F(Listen, OldDayFilesAreCompressedAndStillReadAsTheSameLog) {
  loggen::LogGenOptions options;  // long ago
  options.lines = 500;
  const std::string log = loggen::GenerateLog(options);
  const fs::path sender = program_ / "Logs" / "127.0.0.1_27015";
  fs::create_directories(sender);
  const std::string name = DayFileName(log);
  WriteBytes(sender / name, log);
  ASSERT_EQ(Start({"--database", "2", "--listen", "127.0.0.1:0", "--compress-after", "1", "--once"})
                ->Wait(kEnd),
            0);
  EXPECT_EQ(ListEntryNames(sender), std::vector<std::string>{name + ".gz"});
  const std::string compressed = ReadBytes(sender / (name + ".gz"));
  EXPECT_TRUE(IsGzip(compressed));

  // Folded already, under whatever name; loaded elsewhere, the same statistics.
  ASSERT_EQ(Start({"--database", "2", "--load-new", sender.string(), "--update"})->Wait(kEnd), 0);
  EXPECT_NE(ReadBytes(output_ / "err").find("0 neue Logs geladen, 1 bereits in Datenbank 2"),
            std::string::npos)
      << ReadBytes(output_ / "err");
  ASSERT_EQ(Start({"--database", "3", "--load", (sender / (name + ".gz")).string(), "--update"})
                ->Wait(kEnd),
            0);
  EXPECT_EQ(DatabaseContents(Db(3)), DatabaseContents(Db(2)));
  EXPECT_EQ(DatabaseContents(Db(3)), LoadedAndUpdated(log));

  WriteBytes(output_ / "cut.log.gz", compressed.substr(0, compressed.size() / 2));
  EXPECT_EQ(Start({"--database", "4", "--load", (output_ / "cut.log.gz").string()})->Wait(kEnd), 1);
  EXPECT_NE(ReadBytes(output_ / "err").find("cut.log.gz"), std::string::npos);
}

TEST_F(Listen, NewPlayersReachTheSiteWithoutWaitingForTheRegularReport) {
  // Until the database holds more than `known` players and each has its
  // page (or a minute passed); how many it holds then.
  auto wait_for_site = [&](size_t known) {
    for (auto end = std::chrono::steady_clock::now() + kEnd; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(10ms)) {
      const std::map<std::string, std::string> players = DatabaseContents(Db(1));
      if (players.size() > known &&
          std::all_of(players.begin(), players.end(), [&](const auto& item) {
            return fs::exists(program_ / "html" / fs::path(item.first).replace_extension(".htm"));
          }))
        return players.size();
    }
    return size_t{0};
  };
  std::unique_ptr<ListenerProcess> listener =
      Start({"--listen", "127.0.0.1:0", "--report-every", "3600"});
  const std::optional<Endpoint> at = listener->WaitReady(kReady);
  ASSERT_TRUE(at) << listener->Stderr();
  Sender server("127.0.0.1");
  size_t players_before = 0;
  for (int first_player : {0, 100}) {  // others come later
    loggen::LogGenOptions options = TodaysLog(12 + first_player / 100);
    options.lines = 200;
    options.players = 4;
    options.first_player = first_player;
    const std::vector<std::string> lines = LinesOf(loggen::GenerateLog(options));
    SendLines(server, *at, lines, 0, lines.size());
    const size_t players = wait_for_site(players_before);
    EXPECT_GT(players, players_before);
    players_before = players;
  }
  listener->Signal(SIGTERM);
  EXPECT_EQ(listener->Wait(kEnd), 0);
}

// Two listeners on one program folder, each with its own database, site
// folder and two game servers: each folds only its own servers' day files
// and its site shows only its own players.
TEST_F(Listen, TwoDatabasesKeepToTheirOwnServersAndSites) {
  struct Instance {
    int database;
    std::vector<std::unique_ptr<Sender>> servers;
    std::vector<std::string> logs;
    std::unique_ptr<ListenerProcess> process;
    std::optional<Endpoint> at;
  };
  std::vector<Instance> instances(2);
  for (int k = 0; k < 2; ++k) {
    Instance& instance = instances[k];
    instance.database = k + 1;
    std::vector<std::string> args = {VARNOKEL_CLI,
                                     "--program-dir",
                                     program_.path().string(),
                                     "--database",
                                     std::to_string(instance.database),
                                     "--site",
                                     (output_ / ("site" + std::to_string(k))).string()};
    for (int s = 0; s < 2; ++s) {
      loggen::LogGenOptions options = TodaysLog(12);
      options.lines = 300;
      options.players = 5;
      options.bots = 0;
      options.first_player = 100 * (2 * k + s);
      options.seed = static_cast<uint64_t>(2 * k + s + 1);
      instance.logs.push_back(loggen::GenerateLog(options));
      instance.servers.push_back(std::make_unique<Sender>("127.0.0.1"));
      args.insert(args.end(), {"--allow", FormatEndpoint(instance.servers.back()->self())});
    }
    args.insert(args.end(), {"--listen", "127.0.0.1:0"});
    const std::string name = "listener" + std::to_string(k);
    instance.process = std::make_unique<ListenerProcess>(args, output_ / (name + ".err"),
                                                         output_ / (name + ".out"));
    instance.at = instance.process->WaitReady(kReady);
    ASSERT_TRUE(instance.at) << instance.process->Stderr();
  }
  for (Instance& instance : instances) {
    for (size_t s = 0; s < 2; ++s) {
      const std::vector<std::string> lines = LinesOf(instance.logs[s]);
      SendLines(*instance.servers[s], *instance.at, lines, 0, lines.size());
      WaitForDayFiles(*instance.servers[s], Joined(lines, lines.size()).size());
    }
  }
  for (Instance& instance : instances) {
    instance.process->Signal(SIGTERM);
    ASSERT_EQ(instance.process->Wait(kEnd), 0) << instance.process->Stderr();
  }

  for (size_t k = 0; k < 2; ++k) {
    const Instance& instance = instances[k];
    const fs::path db = Db(instance.database);
    ExpectSameStatistics(db, LoadedAndUpdated(instance.logs[0] + instance.logs[1]));
    ExpectLedgerHoldsEachDayFileWhole(db, {instance.servers[0].get(), instance.servers[1].get()});
    std::set<std::string> pages, players;
    for (const std::string& name : ListEntryNames(output_ / ("site" + std::to_string(k))))
      if (name.ends_with(".htm") && !name.starts_with(".")) pages.insert(name);
    for (const auto& [file, bytes] : DatabaseContents(db))
      players.insert(file.substr(0, file.size() - 3) + ".htm");
    for (const char* table :
         {"st.htm", "se.htm", "sp.htm", "wt.htm", "karten.htm", "verlauf.htm", "suche.htm"})
      players.insert(table);
    EXPECT_EQ(pages, players) << k;
  }
  EXPECT_FALSE(fs::exists(program_ / "html" / "st.htm"));
}

}  // namespace
}  // namespace varnokel
