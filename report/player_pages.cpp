#include "report/player_pages.h"

#include <algorithm>
#include <numeric>

#include "base/file_io.h"
#include "report/html_escape.h"
#include "report/page_frame.h"
#include "report/sessions_table.h"

namespace varnokel {

namespace {

constexpr int kTimeSlot = -1;  // the playing time text instead of a field

struct LabelledValue {
  std::string_view piece;  // closes the cell before and opens the value cell
  int field;
};

// clang-format off
constexpr std::string_view kPartAName =
    R"p(<!-- ********** Waffen ********** --><table class=color4 width="80%" cellspacing=1 cellpadding=5>)p"
     R"p(<tr><td colspan=6 class=color1><span class=ueberschrift><b>)p";
constexpr std::string_view kPartASkill =
    R"p(</b></span></td></tr><tr align=center><td class=color2 width="200"><span class=text>Spielverhalten</span>)p"
     R"p(</td><td class=color2 width="40" align=center><span class=text>anzahl</span></td><td class=color2 colspan=4>)p"
     R"p(<span class=text>&nbsp;&nbsp;&nbsp;Waffenverhalten&nbsp;&nbsp;&nbsp;</span></td></tr><!-- ********** / Tabellenkopf ********** -->)p"
     R"p(<!-- ********** Daten ********** --><!-- ********** Spielverhalten1 ********** --><tr><td class=color3>)p"
     R"p(<span class=text>Skill:</span></td><td class=color3><span class=text>)p";
constexpr std::string_view kPartAEnd =
    R"p(</span></td><!-- ********** / Spielverhalten1 ********** --><!-- ********** Waffen ********** -->)p"
     R"p(<td rowspan=20 colspan=4 class=color3 valign=top><table cellspacing=0 cellpadding=3 class=color3 width="100%">)p"
     R"p(<tr><td class=color3 width="85" colspan=2 align=center><span class=text>Waffe</span></td><td class=color3 align=center>)p"
     R"p(<span class=text>Prozent</span></td><td class=color3 width="55" align=center><span class=text>)p"
     R"p(Kills</span></td></tr>)p";

constexpr std::string_view kWeaponRow[] = {
    R"p(<!-- ********** einz. waffe ********** --><tr><td class=color4 width="30" align=center><span class=text>)p"
     R"p(<a href=".)p",
    R"p(.htm">)p",
    R"p(</a></span></td><td class=color4 width="55" align=center><img src=")p",
    R"p(.gif"></td><td class=color3 align=center><table width="100%" bgcolor=black cellspacing=1 cellpadding=1>)p"
     R"p(<tr><td width="10%" align=right><span class=text><nobr>)p",
    R"p( %</nobr></span></td><td width=")p",
    R"p(%" class=color5><span class=text><nobr>&nbsp;</nobr></span></td><td width=")p",
    R"p(%" class=color6></td></tr></table></td><td class=color4 width="55" align=center><span class=text>)p",
    R"p(</span></td></tr><!-- ********** / einz. waffe ********** -->)p"};

// Parts B and C: the behaviour rows below the weapon table, in page order.
constexpr LabelledValue kBehaviourRows[] = {
    {R"p(</table></td></tr><!-- ********** / Waffen ********** --><!-- ********** Spielverhalten2 ********** -->)p"
     R"p(</td></tr><tr><td class=color3><span class=text>Spielzeit:</span></td><td class=color3><span class=text>)p",
     kTimeSlot},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Kills:</span></td><td class=color3>)p"
     R"p(<span class=text>)p",
     7},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Death:</span></td><td class=color3>)p"
     R"p(<span class=text>)p",
     6},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Team T gew)p"
     "\xE4"
     R"p(hlt:</span></td><td class=color3><span class=text>)p",
     5},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Team CT gew)p"
     "\xE4"
     R"p(hlt:</span></td><td class=color3><span class=text>)p",
     4},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Geisel angesprochen:</span></td><td class=color3>)p"
     R"p(<span class=text>)p",
     8},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Geisel get)p"
     "\xF6"
     R"p(tet:</span></td><td class=color3><span class=text>)p",
     9},
    {R"p(</span></td></tr><tr> <td class=color3><span class=text>Geisel gerettet:</span></td><td class=color3>)p"
     R"p(<span class=text>)p",
     10},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Aufgewacht mit Bombe:</span></td><td class=color3>)p"
     R"p(<span class=text>)p",
     11},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Bomben gelegt:</span></td><td class=color3>)p"
     R"p(<span class=text>)p",
     13},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Bomben entsch)p"
     "\xE4"
     R"p(rft:</span></td><td class=color3><span class=text>)p",
     16},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Angefangen zu entsch)p"
     "\xE4"
     R"p(rfen + Kit:</span></td><td class=color3><span class=text>)p",
     17},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Angefangen zu entsch)p"
     "\xE4"
     R"p(rfen - Kit:</span></td><td class=color3><span class=text>)p",
     15},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Bombe aufgelesen:</span></td><td class=color3>)p"
     R"p(<span class=text>)p",
     14},
    {R"p(</span></td></tr><tr><td class=color3><span class=text>Bombe fallengelassen:</span></td><td class=color3>)p"
     R"p(<span class=text>)p",
     12}};
constexpr std::string_view kBehaviourEnd =
    R"p(</span></td></tr><!-- ********** / Spielverhalten2 ********** --></table>)p";
// clang-format on

}  // namespace

std::string PlayerPage(const ListedPlayer& player) {
  const Fields fields = SplitFields(player.bytes);
  // Shares are cut from 100000 / kills first, as the weapon pages do; a
  // player without kills divides by 1.
  const int32_t kills = Atoi(FieldAt(fields, field::kKills));
  const int32_t per_kill = WrapDiv(100000, kills == 0 ? 1 : kills);

  std::array<int, kWeaponCount> order;
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return player.weapon_kills[a] > player.weapon_kills[b]; });

  std::string page(PageHead(Page::kPlayer));
  page.reserve(24000);
  page += kPartAName;
  AppendHtmlEscaped(page, FieldAt(fields, field::kName));
  page += kPartASkill;
  AppendNumber(page, SkillValue(fields));
  page += kPartAEnd;
  for (int w : order) {
    const std::string_view name = kWeapons[w].name;
    const int32_t share = WrapMul(per_kill, player.weapon_kills[w]) / 1000;
    page += kWeaponRow[0];
    page += name;
    page += kWeaponRow[1];
    page += name;
    page += kWeaponRow[2];
    page += name;
    page += kWeaponRow[3];
    AppendNumber(page, share);
    page += kWeaponRow[4];
    AppendNumber(page, share);
    page += kWeaponRow[5];
    AppendNumber(page, WrapSub(100, share));
    page += kWeaponRow[6];
    AppendHtmlEscaped(page, FieldAt(fields, kFirstWeaponField + w));
    page += kWeaponRow[7];
  }
  for (const LabelledValue& row : kBehaviourRows) {
    page += row.piece;
    if (row.field == kTimeSlot) {
      page += PlayerTimeText(Atoi(FieldAt(fields, field::kPlayTime)));
    } else {
      AppendHtmlEscaped(page, FieldAt(fields, row.field));
    }
  }
  page += kBehaviourEnd;
  page += PlayerPageFooter();
  return page;
}

bool IsReservedPageStem(std::string_view stem) {
  return stem == "st" || stem == "se" || stem == "sp" || stem == "wt";
}

void WritePlayerPages(const std::filesystem::path& html_dir, const PlayerListing& listing) {
  for (const ListedPlayer& player : listing) {
    if (IsReservedPageStem(player.stem)) continue;
    WriteFileAtomic(html_dir / (player.stem + ".htm"), PlayerPage(player));
  }
}

}  // namespace varnokel
