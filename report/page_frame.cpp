#include "report/page_frame.h"

#include <charconv>

#include "report/html_escape.h"

namespace varnokel {

namespace {

// clang-format off
constexpr std::string_view kSkillTableHead =
R"p(<html><head><title>Varnokel Statistiken</title><link rel="stylesheet" href="style.css" type=text/css>)p"
R"p(</head><body class=tbody><div align=center><hr noshade size=1 class=linecolor width="80%">)p"
R"p(<!-- ********** Navigation ********** --><table width="80%" cellspacing=1 cellpadding=5 class=color4>)p"
R"p( <tr align=center>  <td class=color1 width="25%"><span class=text>statistiken</span></td>  <td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/skillber.htm">skillberechnung</a></span></td>  <td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/about.htm">about</a></span></td>  <td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/impr.htm">impressum</a></span></td> </tr> <tr align=center>  <td class=color3 width="25%">)p"
R"p(<span class=text>skilltabelle</span></td>  <td class=color3 width="25%"><span class=text><a href="wt.htm">)p"
R"p(waffentabelle</a></span></td>  <td class=color3 width="25%"><span class=text><a href="sp.htm">)p"
R"p(spieler</a></span></td>  <td class=color3 width="25%"><span class=text><a href="se.htm">sessions</a>)p"
R"p(</span></td> </tr></table><!-- ********** / Navigation ********** --><hr noshade size=1 class=linecolor width="80%">)p"
R"p(<!-- ********** Tabelle ********** --><!-- ********** Tabellenkopf ********** --><table bgcolor="black" width="80%" cellspacing=1 cellpadding=5>)p"
R"p( <tr>  <td colspan=3 class=color1><span class=ueberschrift><b>Skilltabelle</b></span></td>)p"
R"p( </tr> <tr align=center>  <td class=color2 width="20"><span class=text>Platz</span></td>  <td class=color2>)p"
R"p(<span class=text>Spieler</span></td>  <td class=color2 width="50"><span class=text>Skill</span>)p"
R"p(</td> </tr><!-- ********** / Tabellenkopf ********** --><!-- ********** Auflistungen ********** -->)p";

constexpr std::string_view kSessionsTableHead =
R"p(<html><head><title>Varnokel Statistiken</title><link rel="stylesheet" href="style.css" type=text/css>)p"
R"p(</head><body class=tbody><div align=center><hr noshade size=1 class=linecolor width="80%">)p"
R"p(<!-- ********** Navigation ********** --><table width="80%" cellspacing=1 cellpadding=5 class=color4>)p"
R"p(<tr align=center><td class=color1 width="25%"><span class=text>statistiken</span></td><td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/skillber.htm">skillberechnung</a></span></td><td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/about.htm">about</a></span></td><td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/impr.htm">impressum</a></span></td></tr><tr align=center><td class=color3 width="25%">)p"
R"p(<span class=text><a href="st.htm">skilltabelle</a></span></td><td class=color3 width="25%">)p"
R"p(<span class=text><a href="wt.htm">waffentabelle</a></span></td><td class=color3 width="25%">)p"
R"p(<span class=text><a href="sp.htm">spieler</a></span></td><td class=color3 width="25%"><span class=text>)p"
R"p(sessions</span></td></tr></table><!-- ********** / Navigation ********** --><hr noshade size=1 class=linecolor width="80%">)p"
R"p(<!-- ********** Tabelle ********** --><!-- ********** Tabellenkopf ********** --><table bgcolor="black" width="80%" cellspacing=1 cellpadding=5>)p"
R"p(<tr><td colspan=3 class=color1><span class=ueberschrift><b>Sessiontabelle</b></span></td></tr>)p"
R"p(<tr align=center><td class=color2 width="10"><span class=text>Platz</span></td><td class=color2>)p"
R"p(<span class=text>Spieler</span></td><td class=color2 width="100"><span class=text>Zeit in Stunden</span>)p"
R"p(</td></tr><!-- ********** / Tabellenkopf ********** --><!-- ********** Auflistungen ********** -->)p";

constexpr std::string_view kPlayerListHead =
R"p(<html><head><title>Varnokel Statistiken</title><link rel="stylesheet" href="style.css" type=text/css>)p"
R"p(</head><body class=tbody><div align=center><hr noshade size=1 class=linecolor width="80%">)p"
R"p(<!-- ********** Navigation ********** --><table width="80%" cellspacing=1 cellpadding=5 class=color4>)p"
R"p( <tr align=center>  <td class=color1 width="25%"><span class=text>statistiken</span></td>  <td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/skillber.htm">skillberechnung</a></span></td><td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/about.htm">about</a></span></td><td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/impr.htm">impressum</a></span></td></tr><tr align=center><td class=color3 width="25%">)p"
R"p(<span class=text><a href="st.htm">skilltabelle</a></span></td><td class=color3 width="25%">)p"
R"p(<span class=text><a href="wt.htm">Waffentabelle</a></span></td><td class=color3 width="25%">)p"
R"p(<span class=text>spieler</span></td><td class=color3 width="25%"><span class=text><a href="se.htm">)p"
R"p(sessions</a></span></td></tr></table><!-- ********** / Navigation ********** --><hr noshade size=1 class=linecolor width="80%">)p"
R"p(<!-- ********** Tabelle ********** --><!-- ********** Tabellenkopf ********** --><table bgcolor="black" width="80%" cellspacing=1 cellpadding=5>)p"
R"p( <tr><td colspan=6 class=color1><span class=ueberschrift><b>Waffentabelle</b></span></td> </tr>)p"
R"p( <tr align=center><td class=color2 width="20"><span class=text>Platz</span></td><td class=color2 width="700">)p"
R"p(<span class=text>Spieler</span></td></tr><!-- ********** / Tabellenkopf ********** --><!-- ********** Auflistungen ********** -->)p";

constexpr std::string_view kWeaponPageHead =
R"p(<html><head><title>Varnokel Statistiken</title><link rel="stylesheet" href="style.css" type=text/css>)p"
R"p(</head><body class=tbody><div align=center><hr noshade size=1 class=linecolor width="80%">)p"
R"p(<!-- ********** Navigation ********** --><table width="80%" cellspacing=1 cellpadding=5 class=color4>)p"
R"p( <tr align=center>  <td class=color1 width="25%"><span class=text>statistiken</span></td>  <td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/skillber.htm">skillberechnung</a></span></td><td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/about.htm">about</a></span></td><td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/impr.htm">impressum</a></span></td></tr><tr align=center><td class=color3 width="25%">)p"
R"p(<span class=text><a href="st.htm">skilltabelle</a></span></td><td class=color3 width="25%">)p"
R"p(<span class=text>Waffentabelle</span></td><td class=color3 width="25%"><span class=text><a href="sp.htm">)p"
R"p(spieler</a></span></td><td class=color3 width="25%"><span class=text><a href="se.htm">sessions</a>)p"
R"p(</span></td></tr></table><!-- ********** / Navigation ********** --><hr noshade size=1 class=linecolor width="80%">)p"
R"p(<!-- ********** Tabelle ********** --><!-- ********** Tabellenkopf ********** --><table bgcolor="black" width="80%" cellspacing=1 cellpadding=5>)p"
R"p( <tr><td colspan=6 class=color1><span class=ueberschrift><b>Waffentabelle</b></span></td> </tr>)p"
R"p( <tr align=center><td class=color2 width="20"><span class=text>Platz</span></td><td class=color2 width="150">)p"
R"p(<span class=text>Spieler</span></td><td class=color2><span class=text>Prozent</span></td><td class=color2 width="50">)p"
R"p(<span class=text>Waffe</span></td><td class=color2 width="50"><span class=text>Waffenbild</span>)p"
R"p(</td><td class=color2 width="50"><span class=text>Kills</span></td></tr><!-- ********** / Tabellenkopf ********** -->)p"
R"p(<!-- ********** Auflistungen ********** -->)p";

// The title cell of the summary has a tab, not a blank, before its class.
constexpr std::string_view kWeaponSummaryHead =
R"p(<html><head><title>Varnokel Statistiken</title><link rel="stylesheet" href="style.css" type=text/css>)p"
R"p(</head><body class=tbody><div align=center><hr noshade size=1 class=linecolor width="80%">)p"
R"p(<!-- ********** Navigation ********** --><table width="80%" cellspacing=1 cellpadding=5 class=color4>)p"
R"p( <tr align=center>  <td class=color1 width="25%"><span class=text>statistiken</span></td>  <td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/skillber.htm">skillberechnung</a></span></td><td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/about.htm">about</a></span></td><td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/impr.htm">impressum</a></span></td></tr><tr align=center><td class=color3 width="25%">)p"
R"p(<span class=text><a href="st.htm">skilltabelle</a></span></td><td class=color3 width="25%">)p"
R"p(<span class=text>Waffentabelle</span></td><td class=color3 width="25%"><span class=text><a href="sp.htm">)p"
R"p(spieler</a></span></td><td class=color3 width="25%"><span class=text><a href="se.htm">sessions</a>)p"
R"p(</span></td></tr></table><!-- ********** / Navigation ********** --><hr noshade size=1 class=linecolor width="80%">)p"
R"p(<!-- ********** Tabelle ********** --><!-- ********** Tabellenkopf ********** --><table bgcolor="black" width="80%" cellspacing=1 cellpadding=5>)p"
R"p( <tr><td colspan=7)p"
"\t"
R"p(class=color1><span class=ueberschrift><b>Waffentabelle</b></span></td> </tr> <tr align=center>)p"
R"p(<td class=color2 width="20"><span class=text>Platz</span></td><td class=color2><span class=text>)p"
R"p(Prozent</span></td><td class=color2 width="50"><span class=text>Waffe</span></td><td class=color2 width="50">)p"
R"p(<span class=text>Waffenbild</span></td><td class=color2 width="50"><span class=text>Kills</span>)p"
R"p(</td><td class=color2 width="50" align=center><span class=text>ges. Kills</span></td></tr>)p"
R"p(<!-- ********** / Tabellenkopf ********** --><!-- ********** Auflistungen ********** -->)p";

constexpr std::string_view kPlayerPageHead =
R"p(<html><head><title>Varnokel Statistiken</title><link rel="stylesheet" href="style.css" type=text/css>)p"
R"p(</head><body class=tbody><div align=center><hr noshade size=1 class=linecolor width="80%">)p"
R"p(<!-- ********** Navigation ********** --><table width="80%" cellspacing=1 cellpadding=5 class=color4>)p"
R"p(<tr align=center><td class=color1 width="25%"><span class=text>statistiken</span></td><td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/skillber.htm">skillberechnung</a></span></td><td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/about.htm">about</a></span></td><td class=color2 width="25%">)p"
R"p(<span class=text><a href="req/impr.htm">impressum</a></span></td></tr><tr align=center> <td class=color3 width="25%">)p"
R"p(<span class=text><a href="st.htm">skilltabelle</a></span></td><td class=color3 width="25%">)p"
R"p(<span class=text><a href="wt.htm">waffentabelle</a></span></td><td class=color3 width="25%">)p"
R"p(<span class=text><a href="sp.htm">spieler</a></span></td><td class=color3 width="25%"><span class=text>)p"
R"p(<a href="se.htm">sessions</a></span></td></tr></table><!-- ********** / Navigation ********** -->)p"
R"p(<hr noshade size=1 class=linecolor width="80%"><!-- ********** Tabelle ********** --><!-- ********** Tabellenkopf ********** -->)p";

constexpr std::string_view kCreditLine =
R"p(erstellt mit Varnokel Stats - <a href="https://varnokel.example/" target=_blank>varnokel.example</a>)p";

constexpr std::string_view kTableFooterStart =
R"p(<!-- ********** / Auflistungen ********** --></table><!-- ********** / Tabelle ********** -->)p"
R"p(<hr noshade size=1 class=linecolor width="80%"><table width="80%" cellspacing=1 cellpadding=5 class=color4>)p"
R"p( <tr align=center>  <td class=color2><span class=text>)p";

constexpr std::string_view kPlayerFooterStart =
R"p(<!-- ********** / Daten ********** --></table><!-- ********** / Tabelle ********** -->)p"
R"p(<hr noshade size=1 class=linecolor width="80%"><table width="80%" cellspacing=1 cellpadding=5 class=color4>)p"
R"p(<tr align=center> <td class=color2><span class=text>)p";

constexpr std::string_view kFooterEnd =
R"p(</span></td> </tr></table><hr noshade size=1 class=linecolor width="80%"></div></body></html>)p";

constexpr std::string_view kRowStart = R"p(<tr><td align=right class=color3><span class=text>)p";
constexpr std::string_view kRowName =
R"p(</span></td><td align=left class=color3><span class=text><a href=")p";
constexpr std::string_view kRowLinkEnd = R"p(">)p";
// clang-format on

}  // namespace

std::string_view PageHead(Page page) {
  switch (page) {
    case Page::kSkillTable:
      return kSkillTableHead;
    case Page::kSessionsTable:
      return kSessionsTableHead;
    case Page::kPlayerList:
      return kPlayerListHead;
    case Page::kWeaponPage:
      return kWeaponPageHead;
    case Page::kWeaponSummary:
      return kWeaponSummaryHead;
    case Page::kPlayer:
      return kPlayerPageHead;
  }
  return {};
}

std::string_view CreditLine() {
  return kCreditLine;
}

std::string_view TablePageFooter() {
  static const std::string footer =
      std::string(kTableFooterStart) + std::string(kCreditLine) + std::string(kFooterEnd);
  return footer;
}

std::string_view PlayerPageFooter() {
  static const std::string footer =
      std::string(kPlayerFooterStart) + std::string(kCreditLine) + std::string(kFooterEnd);
  return footer;
}

void AppendNumber(std::string& out, int32_t value) {
  char text[16];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

void AppendPlayerHref(std::string& out, std::string_view player_id) {
  AppendPercentEncoded(out, player_id);
  out += ".htm";
}

void AppendPlayerRowStart(std::string& out, int32_t place, std::string_view player_id,
                          std::string_view name) {
  out += kRowStart;
  AppendNumber(out, place);
  out += kRowName;
  AppendPlayerHref(out, player_id);
  out += kRowLinkEnd;
  AppendHtmlEscaped(out, name);
}

int32_t SharePercent(int32_t part, int32_t total) {
  if (total == 0) return 0;
  return WrapMul(WrapDiv(100000, total), part) / 1000;
}

}  // namespace varnokel
