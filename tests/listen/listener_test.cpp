// varnokel-cli --listen end to end: the real executable on a temporary
// program folder, a game server replaying a generated log as datagrams on
// loopback, and the database compared with --load and --update of the same
// lines.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <set>

#include "base/content_hash.h"
#include "db/ledger.h"
#include "db/player_file.h"
#include "db/player_record.h"
#include "db/update_run.h"
#include "listen/day_files.h"
#include "log/line_count.h"
#include "log/log_buffer.h"
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

  // One ledger run per day file of `sender`, holding all of its lines.
  void ExpectLedgerHoldsEachDayFileWhole(const fs::path& db, const Sender& sender) const {
    std::set<std::string> runs, day_files;
    const Ledger ledger = Ledger::Read(db);
    for (const LedgerRun& run : ledger.runs()) {
      runs.insert(std::to_string(run.LinesFrom(0, run.chunks.size())) + " " +
                  std::to_string(run.size) + " " + run.name);
    }
    for (const std::string& name : ListEntryNames(SenderDir(sender))) {
      if (!IsDayFileName(name)) continue;
      const std::string bytes = ReadBytes(SenderDir(sender) / name);
      day_files.insert(std::to_string(CountLineEnds(bytes)) + " " + std::to_string(bytes.size()) +
                       " " + SenderFolderName(sender.self()) + "/" + name);
    }
    EXPECT_EQ(runs, day_files);
  }

  TempDir program_;
  TempDir output_;
};

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
      {"--list", "--secret", "s"}};
  for (const std::vector<std::string>& args : usage_errors) {
    EXPECT_EQ(Start(args)->Wait(kEnd), 2) << args[1];
  }
  Sender taken("127.0.0.1");  // a UDP socket holding the address
  EXPECT_EQ(Start({"--listen", FormatEndpoint(taken.self()), "--once"})->Wait(kEnd), 1);
  EXPECT_NE(ReadBytes(output_ / "err").find("cannot listen on " + FormatEndpoint(taken.self())),
            std::string::npos);
  fs::remove_all(Db(3));
  EXPECT_EQ(Start({"--database", "3", "--listen", "127.0.0.1:0", "--once"})->Wait(kEnd), 1);
  EXPECT_FALSE(fs::exists(program_ / "Logs"));
}

TEST_F(Listen, StreamIsFoldedLikeItsLinesLoadedAndEverythingElseIsCountedAndDropped) {
  loggen::LogGenOptions options;
  options.lines = 2000;
  options.hour = 23;  // past midnight: two day files
  options.minute = 20;
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
    // Over a few seconds, so that the day files are folded while they grow.
    SendLines(server, *at, lines, i, std::min(i + kLinesPerPause, lines.size()), "geheim", 60ms);
    stranger.Send(*at, ServerDatagram(forged, "geheim"));
    ++foreign;
    server.Send(*at, ServerDatagram(forged, "falsch"));
    server.Send(*at, ServerDatagram(forged));
    wrong_secret += 2;
    for (const std::string& datagram : malformed) server.Send(*at, datagram);
    bad += malformed.size();
  }
  WaitForDayFiles(server, Joined(lines, lines.size()).size());
  listener->Signal(SIGTERM);  // as the service manager stops it
  ASSERT_EQ(listener->Wait(kEnd), 0) << listener->Stderr();

  const std::string err = listener->Stderr();
  const std::string n = std::to_string(lines.size());
  EXPECT_NE(err.find(n + " Zeilen in Tagesdateien, " + n + " eingelesen, "), std::string::npos)
      << err;
  EXPECT_NE(err.find(std::to_string(foreign + wrong_secret + bad) + " verworfen (" +
                     std::to_string(foreign) + " fremde Absender, " + std::to_string(wrong_secret) +
                     " falsches Passwort, " + std::to_string(bad) +
                     " fehlerhaft, 0 nicht geschrieben), 0 im Empfangspuffer verloren"),
            std::string::npos)
      << err;
  EXPECT_EQ(ListEntryNames(program_ / "Logs"),
            std::vector<std::string>{SenderFolderName(server.self())});
  EXPECT_EQ(ListEntryNames(SenderDir(server)),
            (std::vector<std::string>{"L20030315.log", "L20030316.log"}));
  EXPECT_EQ(DayFileText(server), Joined(lines, lines.size()));
  ExpectSameStatistics(Db(2), LoadedAndUpdated(log));
  ExpectLedgerHoldsEachDayFileWhole(Db(2), server);
  EXPECT_TRUE(DatabaseContents(Db(1)).empty());
  EXPECT_TRUE(fs::exists(program_ / "html" / "st.htm"));
  EXPECT_EQ(ReadBytes(output_ / "out"), " Datenbank 2 fertig... HTML - Ausgabe 2 fertig...\n");
}

TEST_F(Listen, KilledListenerLosesNoLineWrittenAndFoldsNoneTwice) {
  loggen::LogGenOptions options;
  options.lines = 3000;
  options.seed = 7;
  options.hour = 22;
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

}  // namespace
}  // namespace varnokel
