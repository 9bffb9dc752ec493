#include "log/recognisers.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/text_lines.h"
#include "log/classic_line.h"
#include "log/line_events.h"
#include "log/match_recognisers.h"
#include "tests/core/literal_recognisers.h"
#include "tests/core/test_support.h"
#include "tools/loggen/log_generator.h"

namespace varnokel {
namespace {

using testing::LogLine;

const std::string kBob = "\"Bob<12><4711><CT>\"";
const std::string kKill =
    LogLine("20:14:07", "\"Ann<3><100><CT>\" killed \"Bob<12><4711><TERRORIST>\" with \"m4a1\"");

TEST(Recognisers, DisconnectedLineGivesIdAndName) {
  std::string line = LogLine("20:30:00", kBob + " disconnected");
  EXPECT_TRUE(EndsWith(line, "disconnected"));
  EXPECT_EQ(ExtractPlayerId(line), "4711");
  EXPECT_EQ(ExtractPlayerName(line), "Bob");
  EXPECT_FALSE(IsKill(line));
  EXPECT_FALSE(IsTeamJoin(line));
}

TEST(Recognisers, KillLineGivesVictimKillerAndWeapon) {
  EXPECT_TRUE(IsKill(kKill));
  EXPECT_EQ(ExtractPlayerId(kKill), "4711");
  EXPECT_EQ(ExtractKillerId(kKill), "100");
  EXPECT_EQ(WeaponNumber(kKill), 16);
  EXPECT_EQ(ExtractPlayerName(kKill), "Ann<3><100><CT>\" killed \"Bob");
}

TEST(Recognisers, KillWithUnknownWeaponOrCapitalL) {
  std::string famas =
      LogLine("20:14:07", "\"Ann<3><100><CT>\" killed \"Bob<12><4711><TERRORIST>\" with \"famas\"");
  EXPECT_TRUE(IsKill(famas));
  EXPECT_EQ(WeaponNumber(famas), 0);
  // An upper-case L in the last quoted word rules the line out.
  std::string capital =
      LogLine("20:14:07", "\"Ann<3><100><CT>\" killed \"Bob<12><4711><TERRORIST>\" with \"Laser\"");
  EXPECT_FALSE(IsKill(capital));
  // Without a closing quote the scan runs back to the weapon's opening quote
  // and the marker is looked for one place further down.
  std::string open =
      LogLine("20:14:07", "\"Ann<3><100><CT>\" killed \"Bob<12><4711><T>\" with \"awp");
  EXPECT_FALSE(IsKill(open));
  // Only six characters are compared: what stands before the space is free.
  std::string said = LogLine("20:14:07", "\"A<1><2><>\" killed \"B<3><4><>\" with?\"awp\"");
  EXPECT_TRUE(IsKill(said));
  EXPECT_FALSE(IsKill(LogLine("20:14:07", kBob + " say \"with \"awp\"")));
}

TEST(Recognisers, TeamJoinNeedsTwoOrNineCharacterTeam) {
  std::string ct = LogLine("20:01:00", kBob + " joined team \"CT\"");
  std::string terror = LogLine("20:01:00", kBob + " joined team \"TERRORIST\"");
  std::string nine = LogLine("20:01:00", kBob + " joined team \"ABCDEFGHI\"");
  std::string three = LogLine("20:01:00", kBob + " joined team \"SPE\"");
  EXPECT_TRUE(IsTeamJoin(ct));
  EXPECT_EQ(TeamOfJoin(ct), "CT");
  EXPECT_TRUE(IsTeamJoin(terror));
  EXPECT_EQ(TeamOfJoin(terror), "TERROR");
  EXPECT_TRUE(IsTeamJoin(nine));
  EXPECT_EQ(TeamOfJoin(nine), "TERROR");
  EXPECT_FALSE(IsTeamJoin(three));
  EXPECT_EQ(ExtractPlayerId(ct), "4711");
  // A line shorter than 16 characters is its own last 16 characters.
  EXPECT_TRUE(IsTeamJoin("joined team"));
  EXPECT_FALSE(IsTeamJoin(""));
}

TEST(Recognisers, EndsWithTestsTheBareEnd) {
  EXPECT_FALSE(
      EndsWith(LogLine("20:00:00", kBob + " say \"hi entered the game\""), "entered the game"));
  EXPECT_TRUE(EndsWith("whatever entered the game", "entered the game"));
  EXPECT_FALSE(EndsWith("game", "entered the game"));
  EXPECT_TRUE(EndsWith("x", ""));
  // A quoted event name counts whatever stands before it.
  std::string bare = "Team \"CT\" triggered \"Planted_The_Bomb\"";
  EXPECT_TRUE(EndsWith(bare, "\"Planted_The_Bomb\""));
  EXPECT_EQ(ExtractPlayerId(bare), std::nullopt);  // no "<" at all
}

TEST(Recognisers, BackScanQuirksShowInNamesAndIds) {
  // An empty UID: the third pass starts on its "<", the name keeps the "<".
  EXPECT_EQ(ExtractPlayerName(LogLine("20:00:00", "\"Bob<><4711><CT>\" disconnected")), "Bob<");
  // An empty ID gives the same name and empty text as the id.
  std::string empty_id = LogLine("20:00:00", "\"Bob<12><><CT>\" disconnected");
  EXPECT_EQ(ExtractPlayerName(empty_id), "Bob");
  EXPECT_EQ(ExtractPlayerId(empty_id), "");
  // Names with "<" and "><" do not disturb the scans from the end.
  std::string odd = LogLine("20:00:00", "\"a><b<x<12><4711><CT>\" disconnected");
  EXPECT_EQ(ExtractPlayerId(odd), "4711");
  EXPECT_EQ(ExtractPlayerName(odd), "a><b<x");
  std::string kill_odd =
      LogLine("20:00:00", "\"<<Sn><per>><3><100><CT>\" killed \"B<1><2><T>\" with \"awp\"");
  EXPECT_EQ(ExtractKillerId(kill_odd), "100");
  EXPECT_EQ(ExtractPlayerId(kill_odd), "2");
  // A prefix that is not 26 characters long shifts the name.
  EXPECT_EQ(ExtractPlayerName("L 3/15/2003 - 20:00:00: \"Bob<12><4711><CT>\" disconnected"), "ob");
  // An empty killer id gives empty text.
  EXPECT_EQ(
      ExtractKillerId(LogLine("20:00:00", "\"A<3><><CT>\" killed \"B<1><2><T>\" with \"awp\"")),
      "");
}

TEST(Recognisers, ScansThatWouldNotEndYieldNoPlayer) {
  EXPECT_EQ(ExtractPlayerId(LogLine("20:00:00", "Bob disconnected")), std::nullopt);
  EXPECT_EQ(ExtractPlayerId(LogLine("20:00:00", "Bob<1 disconnected")), std::nullopt);
  EXPECT_EQ(ExtractPlayerName(LogLine("20:00:00", "\"Bob<1><2> disconnected")), std::nullopt);
  EXPECT_EQ(ExtractPlayerId(""), std::nullopt);
  EXPECT_EQ(ExtractPlayerName(""), std::nullopt);
  // The kill marker only at position 0, or no "><" before it.
  EXPECT_EQ(ExtractKillerId("\" killed \"B<1><2><T>\" with \"awp\""), std::nullopt);
  EXPECT_EQ(ExtractKillerId("x\" killed \"B<1><2><T>\" with \"awp\""), std::nullopt);
  EXPECT_EQ(ExtractKillerId("xy<a>\" killed \"B<1><2><T>\" with \"awp\""), std::nullopt);
  // A "<" at position 0 ends every later scan there.
  EXPECT_EQ(ExtractPlayerId("<a"), "");
  EXPECT_EQ(ExtractPlayerName("<abc"), "");
}

TEST(Recognisers, WeaponNumbersFollowTheTable) {
  const char* names[] = {"usp",   "glock18", "deagle",  "p228", "dualbaretta", "fiveseven",
                         "m3",    "xm1014",  "mp5navy", "tmp",  "p90",         "mac10",
                         "ump45", "ak47",    "sg552",   "m4a1", "aug",         "scout",
                         "awp",   "g3",      "sg550",   "para", "knife",       "grenade"};
  for (int i = 0; i < 24; ++i) {
    EXPECT_EQ(WeaponNumber("x with \"" + std::string(names[i]) + "\""), i + 1) << names[i];
  }
  // The names the servers write for three of them count the same.
  EXPECT_EQ(WeaponNumber("x with \"elite\""), 5);
  EXPECT_EQ(WeaponNumber("x with \"g3sg1\""), 20);
  EXPECT_EQ(WeaponNumber("x with \"m249\""), 22);
  EXPECT_EQ(WeaponNumber("x with \"galil\""), 0);
  EXPECT_EQ(WeaponNumber("with \"sg55\""), 0);
  EXPECT_EQ(WeaponNumber("with awp\""), 0);
  EXPECT_EQ(WeaponNumber("\"awp\" "), 0);
  EXPECT_EQ(WeaponNumber("\""), 0);
  EXPECT_EQ(WeaponNumber("\"awp\""), 19);
}

// Lines of a realistic log, and the same lines cut, shuffled and sprinkled
// with the characters the scans look for: every recogniser must give what
// its literal step-by-step definition gives.
// Whatever a player types, a chat line reports nothing: no forged kill, team
// join, objective, entry or leave, and no forged id that could stop a run.
TEST(LineEvents, WhatAPlayerTypesOrIsNamedReportsNothing) {
  const std::string said = LogLine("20:00:00", kBob + " say \"");
  const std::string team_said = LogLine("20:00:00", kBob + " say_team \"");
  for (const std::string& typed :
       {std::string("x\" killed \"Bob<9><942><TERRORIST>\" with \"awp\""),
        std::string("go\" joined team \"CT\""), std::string("<2><943><CT>\"Planted_The_Bomb\""),
        std::string("<1><../../x><>\"Touched_A_Hostage\""), std::string("hi\" entered the game"),
        std::string("bye\" disconnected")}) {
    for (const std::string& prefix : {said, team_said}) {
      const std::string line = prefix + typed;
      EXPECT_TRUE(IsChatLine(line)) << line;
      const std::optional<LineEvents> events = AnalyseLine(line);
      ASSERT_TRUE(events) << line;
      EXPECT_FALSE(events->entered || events->team_join != Team::kNone || events->kill ||
                   events->objective || events->disconnected)
          << line;
    }
  }
  // Not chat: the same words after other text, or a player without quote at 25.
  EXPECT_FALSE(IsChatLine(LogLine("20:00:00", kBob + " triggered \"say \"x\"")));
  EXPECT_FALSE(IsChatLine(LogLine("20:00:00", "Bob say \"x\" disconnected")));
  EXPECT_FALSE(IsChatLine(LogLine("20:00:00", "\"Bob<12><4711><CT> say \"x\"")));
  EXPECT_TRUE(AnalyseLine(LogLine("20:00:00", kBob + " disconnected"))->disconnected);

  // An event counts only after its verb: a name change to an event's name, a
  // name holding `>" ` that hides the chat, a line without a player.
  for (const std::string& line :
       {LogLine("20:00:00", kBob + " changed name to \"Planted_The_Bomb\""),
        LogLine("20:00:00", "\"x>\" y<12><4711><T>\" say \"Planted_The_Bomb\""),
        LogLine("20:00:00", "\"x>\" y<12><4711><T>\" say \"a\" disconnected"),
        LogLine("20:00:00", "Team \"CT\" triggered \"Planted_The_Bomb\"")}) {
    const std::optional<LineEvents> events = AnalyseLine(line);
    ASSERT_TRUE(events) << line;
    EXPECT_FALSE(events->objective || events->disconnected) << line;
  }
  EXPECT_TRUE(
      AnalyseLine(LogLine("20:00:00", kBob + " triggered \"Planted_The_Bomb\""))->objective);
}

// Each form of the newer engines' lines, read as the classic line it reports.
TEST(ClassicLine, NewerEngineLinesReadAsClassic) {
  const std::string sas = "\"Sas<2><[U:1:6318168]><CT>\"";
  const std::string bot = "\"Bob<3><BOT><TERRORIST>\"";
  const std::string stamp = "03/15/2003 - 20:14:07.250 - ";
  struct Case {
    std::string line, classic;
    bool headshot = false;
  };
  const std::vector<Case> cases = {
      {stamp + sas + " [-117 2465 -56] killed " + bot + " [-130 2800 -20] with \"ak47\" (headshot)",
       LogLine("20:14:07", sas + " killed " + bot + " with \"ak47\""), true},
      {LogLine("20:14:07", sas + " killed " + bot + " with \"awp\" (headshot penetrated)"),
       LogLine("20:14:07", sas + " killed " + bot + " with \"awp\""), true},
      {LogLine("20:14:07", sas + " killed " + bot + " with \"awp\" (penetrated)"),
       LogLine("20:14:07", sas + " killed " + bot + " with \"awp\"")},
      {LogLine("20:14:07", sas + " disconnected (reason \"Disconnect\")"),
       LogLine("20:14:07", sas + " disconnected")},
      {LogLine("20:14:07", bot + " triggered \"Planted_The_Bomb\" at bombsite A"),
       LogLine("20:14:07", bot + " triggered \"Planted_The_Bomb\"")},
      {LogLine("20:14:07", "\"Sas<2><[U:1:6318168]>\" switched from team <TERRORIST> to <CT>"),
       LogLine("20:14:07", "\"Sas<2><[U:1:6318168]><TERRORIST>\" joined team \"CT\"")},
      {LogLine("20:14:07", "\"Sas<2><[U:1:6318168]>\" switched from team <CT> to <TERRORIST>"),
       LogLine("20:14:07", "\"Sas<2><[U:1:6318168]><CT>\" joined team \"TERRORIST\"")},
  };
  for (const Case& c : cases) {
    std::string storage;
    const ClassicLine read = ReadAsClassicLine(c.line, storage);
    EXPECT_EQ(read.text, c.classic) << c.line;
    EXPECT_EQ(read.headshot, c.headshot) << c.line;
  }
  // Lines without these forms stay as they are: a switch to the spectators,
  // brackets in a name, a note on a line that is no kill, a chat line.
  for (const std::string& line :
       {LogLine("20:14:07", "\"Sas<2><[U:1:6318168]>\" switched from team <CT> to <Spectator>"),
        LogLine("20:14:07", "\"[Clan] Bob [1 2 3]<12><4711><CT>\" entered the game"),
        LogLine("20:14:07", sas + " say \"gg\" (headshot)"),
        LogLine("20:14:07", sas + " say \"at bombsite A\"")}) {
    std::string storage;
    EXPECT_EQ(ReadAsClassicLine(line, storage).text.data(), line.data()) << line;
  }

  // The events come from the classic reading: a newer kill with its weapon
  // as written and its headshot mark, a chat line still after the reading.
  const std::optional<LineEvents> kill = AnalyseLine(cases[0].line);
  ASSERT_TRUE(kill && kill->kill);
  EXPECT_EQ(kill->killer, "[U:1:6318168]");
  EXPECT_EQ(kill->id, "BOT");
  EXPECT_EQ(kill->weapon, 14);
  EXPECT_EQ(kill->weapon_name, "ak47");
  EXPECT_TRUE(kill->headshot);
  const std::optional<LineEvents> said =
      AnalyseLine(stamp + sas + " [1 2 3] say \"x\" killed " + bot + " with \"awp\"");
  ASSERT_TRUE(said);
  EXPECT_FALSE(said->kill);
}

// Classic logs (odd names too) are read exactly as they are: their player
// files cannot change by the newer engines' reading.
TEST(ClassicLine, ClassicLogsStayUntouched) {
  loggen::LogGenOptions options;
  options.lines = 3000;
  options.hostile_names = true;
  for (const std::string& line : SplitLines(loggen::GenerateLog(options))) {
    std::string storage;
    ASSERT_EQ(ReadAsClassicLine(line, storage).text.data(), line.data()) << line;
  }
}

TEST(Recognisers, AgreeWithLiteralScansOnRealAndMutatedLines) {
  loggen::LogGenOptions options;
  options.lines = 3000;
  options.players = 12;
  options.hostile_names = true;
  std::vector<std::string> lines = SplitLines(loggen::GenerateLog(options));
  std::mt19937 random(7);
  const std::string specials = "<>\"L killed with";
  size_t original = lines.size();
  for (size_t i = 0; i < original; ++i) {
    std::string line = lines[i];
    for (int edits = 0; edits < 4 && !line.empty(); ++edits) {
      size_t at = random() % line.size();
      switch (random() % 4) {
        case 0:
          line.erase(at, 1 + random() % 6);
          break;
        case 1:
          line.insert(at, 1, specials[random() % specials.size()]);
          break;
        case 2:
          line = line.substr(at);
          break;
        default:
          line[at] = specials[random() % specials.size()];
          break;
      }
    }
    lines.push_back(line);
  }
  for (const char* extra :
       {"", "<", "<<", "><", "\"", "\" killed \"", "L", "\" killed \"\"", "\" with\" killed \"",
        "a\" killed \"<>", "\" with\" killed \"<a><b>\""}) {
    lines.push_back(extra);
  }
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    EXPECT_EQ(IsKill(line), literal::IsKill(line));
    EXPECT_EQ(IsTeamJoin(line), literal::IsTeamJoin(line));
    auto id = ExtractPlayerId(line);
    auto literal_id = literal::PlayerId(line);
    ASSERT_EQ(id.has_value(), literal_id.has_value());
    if (id) {
      EXPECT_EQ(std::string(*id), *literal_id);
    }
    auto name = ExtractPlayerName(line);
    auto literal_name = literal::PlayerName(line);
    ASSERT_EQ(name.has_value(), literal_name.has_value());
    if (name) {
      EXPECT_EQ(std::string(*name), *literal_name);
    }
    auto killer = ExtractKillerId(line);
    auto literal_killer = literal::KillerId(line);
    ASSERT_EQ(killer.has_value(), literal_killer.has_value());
    if (killer) {
      EXPECT_EQ(std::string(*killer), *literal_killer);
    }
  }
}

}  // namespace
}  // namespace varnokel

namespace varnokel {
namespace {

// Map lines at the line's prefix only, a suicide that nobody can type, and
// the teams of a kill's two references.
TEST(MatchRecognisers, MapsSuicidesAndTeamsOfAKill) {
  const std::string started = LogLine("20:00:05", "Started map \"de_dust\" (CRC \"-1\")");
  const std::string loading = LogLine("20:00:00", "Loading map \"cs_office\"");
  EXPECT_EQ(RecogniseMapLine(started)->map, "de_dust");
  EXPECT_TRUE(RecogniseMapLine(started)->started);
  EXPECT_FALSE(RecogniseMapLine(loading)->started);
  EXPECT_FALSE(RecogniseMapLine(LogLine("20:00:00", kBob + " say \"Loading map \"x\"\"")));
  EXPECT_FALSE(RecogniseMapLine(LogLine("20:00:00", "Loading map \"unclosed")));
  const std::string log = loading + "\r\n" + started + "\r\n" + LogLine("20:01:00", "x") + "\r\n";
  EXPECT_EQ(LastMapBefore(log, log.size()), "de_dust");
  EXPECT_EQ(LastMapBefore(log, loading.size() + 2), "cs_office");
  EXPECT_EQ(LastMapBefore(log, 0), "");

  EXPECT_TRUE(IsSuicide(LogLine("20:02:00", kBob + " committed suicide with \"world\"")));
  EXPECT_FALSE(
      IsSuicide(LogLine("20:02:00", kBob + " say \">\" committed suicide with \"world\"")));
  EXPECT_FALSE(IsSuicide(LogLine("20:02:00", kBob + " committed suicide with \"a\" b\"")));

  const std::string kill =
      LogLine("20:03:00", kBob + " killed \"Ann<3><100><TERRORIST>\" with \"ak47\"");
  const std::optional<KillTeams> teams = TeamsOfKill(kill);  // its teams point into the line
  ASSERT_TRUE(teams);
  EXPECT_EQ(teams->killer, "CT");
  EXPECT_EQ(teams->victim, "TERRORIST");
  EXPECT_FALSE(TeamsOfKill(LogLine("20:03:00", "\"Bob\" killed \"Ann\" with \"ak47\"")));
}

}  // namespace
}  // namespace varnokel
