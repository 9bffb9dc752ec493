#include "tools/loggen/log_generator.h"

#include <array>
#include <cstdio>
#include <random>
#include <sstream>
#include <string_view>
#include <vector>

namespace varnokel::loggen {

namespace {

constexpr std::array<std::string_view, 24> kWeapons = {
    "usp",     "glock18", "deagle", "p228",  "dualbaretta", "fiveseven", "m3",    "xm1014",
    "mp5navy", "tmp",     "p90",    "mac10", "ump45",       "ak47",      "sg552", "m4a1",
    "aug",     "scout",   "awp",    "g3",    "sg550",       "para",      "knife", "grenade"};
// Weapons the statistics do not know: counted as a kill and a death only.
constexpr std::array<std::string_view, 4> kOtherWeapons = {"famas", "galil", "elite", "sg551"};
constexpr std::array<std::string_view, 6> kMaps = {"de_dust2", "cs_office", "de_inferno",
                                                   "cs_italy", "de_nuke",   "de_aztec"};
constexpr std::array<std::string_view, 12> kNameParts = {"Hans",  "Sniper", "Kalle", "Mausi",
                                                         "Rambo", "Lutz",   "Toni",  "Dachs",
                                                         "Pixel", "Ronja",  "Wurst", "Falke"};
constexpr std::array<std::string_view, 6> kHostileNames = {
    "Evil\"Quote", "<<Sniper>>", "a><b", "\" killed \"Ghost", "x<1><2><CT>", "Tag <3>"};
constexpr std::array<std::string_view, 6> kChat = {"gg",           "nice shot",
                                                   "rush b",       "lol entered the game",
                                                   "wer ist AFK?", "ich bin gleich wieder da"};

enum class State { kOffline, kConnected, kPlaying };

struct Person {
  std::string name;
  std::string id;
  int uid = 0;
  State state = State::kOffline;
  std::string team;  // "", "CT" or "TERRORIST"
  bool bot = false;
};

class Generator {
 public:
  Generator(const LogGenOptions& options, std::ostream& out)
      : o_(options), out_(out), rng_(options.seed * 0x9E3779B97F4A7C15ull + 12345) {
    clock_ = ((o_.hour * 60) + o_.minute) * 60 + o_.second;
    day_ = DaysFromCivil(o_.year, o_.month, o_.day);
    for (int i = 0; i < o_.players; ++i) {
      Person p;
      if (o_.hostile_names && i < static_cast<int>(kHostileNames.size())) {
        p.name = kHostileNames[static_cast<size_t>(i)];
      } else {
        p.name = std::string(kNameParts[Pick(kNameParts.size())]);
        if (Chance(50))
          p.name = "[" + std::string(kNameParts[Pick(kNameParts.size())]) + "] " + p.name;
        p.name += std::to_string(o_.first_player + i);
      }
      const int n = o_.first_player + i;
      p.id = "STEAM_0:" + std::to_string(n % 2) + ":" + std::to_string(100000 + n * 7919);
      people_.push_back(p);
    }
    for (int i = 0; i < o_.bots; ++i) {
      Person p;
      p.name = "Bot " + std::string(kNameParts[Pick(kNameParts.size())]) + std::to_string(i);
      p.id = "BOT";
      p.bot = true;
      people_.push_back(p);
    }
  }

  void Run() {
    Line("Log file started (file \"logs/L0001.log\") (game \"cstrike\") (version \"1.6\")");
    NewMap();
    while (written_ < o_.lines) Step();
    Flush();
  }

 private:
  size_t Pick(size_t n) { return static_cast<size_t>(rng_() % n); }
  bool Chance(int percent) { return static_cast<int>(rng_() % 100) < percent; }

  static int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    int64_t era = y / 400, yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
  }

  std::string Stamp() {
    int64_t z = day_ + clock_ / 86400 + 719468;
    int64_t era = z / 146097, doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    int64_t d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
    int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    int64_t s = clock_ % 86400;
    char buf[40];
    std::snprintf(buf, sizeof buf, "L %02d/%02d/%04d - %02d:%02d:%02d: ", static_cast<int>(m),
                  static_cast<int>(d), static_cast<int>(y), static_cast<int>(s / 3600),
                  static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
    return buf;
  }

  void Line(std::string_view event) {
    if (written_ >= o_.lines) return;
    buffer_ += Stamp();
    buffer_ += event;
    buffer_ += o_.bare_lf ? "\n" : "\r\n";
    ++written_;
    if (buffer_.size() > (1 << 20)) Flush();
  }

  void Flush() {
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
  }

  static std::string Ref(const Person& p) {
    return "\"" + p.name + "<" + std::to_string(p.uid) + "><" + p.id + "><" + p.team + ">\"";
  }

  std::vector<Person*> InState(State state) {
    std::vector<Person*> found;
    for (Person& p : people_) {
      if (p.state == state) found.push_back(&p);
    }
    return found;
  }

  std::vector<Person*> OnTeam(const std::string& team) {
    std::vector<Person*> found;
    for (Person& p : people_) {
      if (p.state == State::kPlaying && p.team == team) found.push_back(&p);
    }
    return found;
  }

  void NewMap() {
    Line("Loading map \"" + std::string(kMaps[Pick(kMaps.size())]) + "\"");
    Line("Server cvars start");
    Line("Server cvar \"mp_friendlyfire\" = \"0\"");
    Line("Server cvars end");
    Line("Started map \"" + std::string(kMaps[Pick(kMaps.size())]) + "\" (CRC \"-1\")");
  }

  void Connect() {
    std::vector<Person*> offline = InState(State::kOffline);
    size_t online = people_.size() - offline.size();
    if (offline.empty() || static_cast<int>(online) >= o_.max_online) {
      // Nobody on the server (none allowed): only the server itself speaks.
      // Kill would come back here through JoinTeam without end.
      return online == 0 ? Round() : Kill();
    }
    Person& p = *offline[Pick(offline.size())];
    p.uid = ++next_uid_;
    p.team.clear();
    p.state = State::kConnected;
    Line(Ref(p) + " connected, address \"10.0." + std::to_string(Pick(255)) + "." +
         std::to_string(Pick(255)) + ":27005\"");
    if (!p.bot && Chance(8)) {  // drops before entering the game
      Line(Ref(p) + " disconnected");
      p.state = State::kOffline;
      return;
    }
    Line(Ref(p) + " entered the game");
    p.state = State::kPlaying;
  }

  void JoinTeam() {
    std::vector<Person*> playing = InState(State::kPlaying);
    if (playing.empty()) return Connect();
    std::vector<Person*> without_team;
    for (Person* p : playing) {
      if (p->team.empty()) without_team.push_back(p);
    }
    if (without_team.empty() && !Chance(15)) return Round();
    Person& p = without_team.empty() ? *playing[Pick(playing.size())]
                                     : *without_team[Pick(without_team.size())];
    std::string team = OnTeam("CT").size() <= OnTeam("TERRORIST").size() ? "CT" : "TERRORIST";
    if (Chance(10)) team = team == "CT" ? "TERRORIST" : "CT";
    Line(Ref(p) + " joined team \"" + team + "\"");
    p.team = team;
  }

  void Kill() {
    std::vector<Person*> ct = OnTeam("CT"), t = OnTeam("TERRORIST");
    if (ct.empty() || t.empty()) return JoinTeam();
    bool ct_kills = Chance(50);
    std::vector<Person*>& killers = ct_kills ? ct : t;
    std::vector<Person*>& victims = Chance(3) ? killers : (ct_kills ? t : ct);  // team kills
    Person& killer = *killers[Pick(killers.size())];
    Person& victim = *victims[Pick(victims.size())];
    std::string_view weapon =
        Chance(3) ? kOtherWeapons[Pick(kOtherWeapons.size())] : kWeapons[Pick(kWeapons.size())];
    if (&killer == &victim) {
      Line(Ref(victim) + " committed suicide with \"world\"");
      return;
    }
    Line(Ref(killer) + " killed " + Ref(victim) + " with \"" + std::string(weapon) + "\"");
  }

  void Objective() {
    std::vector<Person*> t = OnTeam("TERRORIST"), ct = OnTeam("CT");
    if (t.empty() || ct.empty()) return JoinTeam();
    Person& terror = *t[Pick(t.size())];
    Person& counter = *ct[Pick(ct.size())];
    switch (Pick(10)) {
      case 0:
        return Line(Ref(counter) + " triggered \"Touched_A_Hostage\"");
      case 1:
        return Line(Ref(counter) + " triggered \"Rescued_A_Hostage\"");
      case 2:
        return Line(Ref(terror) + " triggered \"Killed_A_Hostage\"");
      case 3:
        return Line(Ref(terror) + " triggered \"Spawned_With_The_Bomb\"");
      case 4:
        return Line(Ref(terror) + " triggered \"Dropped_The_Bomb\"");
      case 5:
        return Line(Ref(terror) + " triggered \"Got_The_Bomb\"");
      case 6:
        return Line(Ref(terror) + " triggered \"Planted_The_Bomb\"");
      case 7:
        return Line(Ref(counter) + " triggered \"Begin_Bomb_Defuse_Without_Kit\"");
      case 8:
        return Line(Ref(counter) + " triggered \"Begin_Bomb_Defuse_With_Kit\"");
      default:
        return Line(Ref(counter) + " triggered \"Defused_The_Bomb\"");
    }
  }

  void Chat() {
    std::vector<Person*> playing = InState(State::kPlaying);
    if (playing.empty()) return Connect();
    Person& p = *playing[Pick(playing.size())];
    Line(Ref(p) + (Chance(30) ? " say_team \"" : " say \"") +
         std::string(kChat[Pick(kChat.size())]) + "\"");
  }

  void Leave() {
    std::vector<Person*> playing = InState(State::kPlaying);
    if (playing.size() < 4) return Connect();
    Person& p = *playing[Pick(playing.size())];
    Line(Ref(p) + " disconnected");
    p.state = State::kOffline;
  }

  void Round() {
    if (Chance(50)) {
      Line("World triggered \"Round_Start\"");
    } else {
      Line(std::string("Team \"") + (Chance(50) ? "CT" : "TERRORIST") +
           "\" triggered \"Target_Bombed\" (CT \"3\") (T \"5\")");
      Line("World triggered \"Round_End\"");
    }
  }

  void Step() {
    clock_ += static_cast<int64_t>(Pick(7));
    if (people_.empty()) return Round();
    size_t roll = Pick(100);
    if (roll < 8) return Connect();
    if (roll < 14) return JoinTeam();
    if (roll < 60) return Kill();
    if (roll < 74) return Objective();
    if (roll < 82) return Chat();
    if (roll < 89) return Leave();
    if (roll < 98) return Round();
    if (Chance(5)) return NewMap();
    if (Chance(20)) return Line("Rcon: \"rcon 1234 \"secret\" status\" from \"10.0.0.1:27005\"");
    Line("Server say \"Willkommen auf dem Server\"");
  }

  const LogGenOptions& o_;
  std::ostream& out_;
  std::mt19937_64 rng_;
  std::vector<Person> people_;
  std::string buffer_;
  int64_t clock_ = 0;  // seconds since the start day's midnight
  int64_t day_ = 0;    // days since 1970-01-01 of the start day
  int next_uid_ = 0;
  size_t written_ = 0;
};

}  // namespace

void GenerateLog(const LogGenOptions& options, std::ostream& out) {
  Generator(options, out).Run();
}

std::string GenerateLog(const LogGenOptions& options) {
  std::ostringstream out;
  GenerateLog(options, out);
  return std::move(out).str();
}

}  // namespace varnokel::loggen
