#include "report/history_frame.h"

#include <array>
#include <cstdio>

#include "base/hex_text.h"
#include "report/html_escape.h"
#include "report/page_frame.h"

namespace varnokel {

namespace {

struct NavigationEntry {
  HistoryPage page;
  std::string_view target;
  std::string_view label;
};

constexpr std::string_view kPageSuffix = ".htm";

constexpr std::array<NavigationEntry, 4> kThirdRow = {{
    {HistoryPage::kOverview, "index.html", "übersicht"},
    {HistoryPage::kMaps, "karten.htm", "karten"},
    {HistoryPage::kHistory, "verlauf.htm", "verlauf"},
    {HistoryPage::kSearch, "suche.htm", "suche"},
}};

// Sizes and widths only; every colour is the style sheet's. The seed's
// 10 px text is too small to read on a phone, so the new pages set 14 px.
constexpr std::string_view kLayoutStyle =
    "<style>"
    ".neu{max-width:1000px;margin:0 auto;padding:0 4px}"
    ".neu table{width:100%;border-collapse:separate}"
    ".neu td{overflow-wrap:anywhere}"
    ".neu .text{font-size:14px}"
    ".neu h1,.neu h2{font-family:arial;margin:12px 0 6px}"
    ".neu h1{font-size:20px}.neu h2{font-size:16px}"
    ".neu .chart{width:100%;max-width:720px;height:auto;display:block}"
    ".neu .zahl{text-align:right;white-space:nowrap}"
    ".neu .kacheln{display:flex;flex-wrap:wrap;gap:4px}"
    ".neu .kachel{flex:1 1 140px;padding:8px}"
    ".neu input{font-size:16px;width:100%;box-sizing:border-box;padding:6px}"
    "@media (max-width:600px){.neu .breit,.neu .chart .neben{display:none}"
    ".neu .chart text{font-size:20px}}"
    "</style>";

void AppendCell(std::string& out, std::string_view css_class, std::string_view target,
                std::string_view up, std::string_view label) {
  out += "<td class=";
  out += css_class;
  out += " width=\"25%\"><span class=text>";
  if (target.empty()) {
    out += label;
  } else {
    out += "<a href=\"";
    out += up;
    out += target;
    out += "\">";
    out += label;
    out += "</a>";
  }
  out += "</span></td>";
}

}  // namespace

std::string HistoryNavigationRow(std::string_view up, HistoryPage own) {
  std::string row = "<tr align=center>";
  for (const NavigationEntry& entry : kThirdRow)
    AppendCell(row, "color3", entry.page == own ? "" : entry.target, up, entry.label);
  row += "</tr>";
  return row;
}

void AppendHistoryHead(std::string& out, std::string_view title, std::string_view up,
                       HistoryPage own) {
  out +=
      "<!DOCTYPE html><html lang=\"de\"><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
      "content=\"width=device-width, initial-scale=1\"><title>";
  AppendHtmlEscaped(out, title);
  out += " - Varnokel Statistiken</title><link rel=\"stylesheet\" href=\"";
  out += up;
  out += "style.css\" type=\"text/css\">";
  out += kLayoutStyle;
  out +=
      "</head><body class=tbody><div class=neu><hr noshade size=1 class=linecolor>"
      "<table cellspacing=1 cellpadding=5 class=color4><tr align=center>"
      "<td class=color1 width=\"25%\"><span class=text>statistiken</span></td>";
  AppendCell(out, "color2", "req/skillber.htm", up, "skillberechnung");
  AppendCell(out, "color2", "req/about.htm", up, "about");
  AppendCell(out, "color2", "req/impr.htm", up, "impressum");
  out += "</tr><tr align=center>";
  AppendCell(out, "color3", "st.htm", up, "skilltabelle");
  AppendCell(out, "color3", "wt.htm", up, "waffentabelle");
  AppendCell(out, "color3", "sp.htm", up, "spieler");
  AppendCell(out, "color3", "se.htm", up, "sessions");
  out += "</tr>";
  out += HistoryNavigationRow(up, own);
  out += "</table><hr noshade size=1 class=linecolor><main class=text><h1 class=ueberschrift>";
  AppendHtmlEscaped(out, title);
  out += "</h1>";
}

void AppendHistoryFooter(std::string& out) {
  out +=
      "</main><hr noshade size=1 class=linecolor><table cellspacing=1 cellpadding=5 "
      "class=color4><tr align=center><td class=color2><span class=text>";
  out += CreditLine();
  out += "</span></td></tr></table><hr noshade size=1 class=linecolor></div></body></html>";
}

void AppendSectionHeading(std::string& out, std::string_view heading) {
  out += "<h2 class=ueberschrift>";
  AppendHtmlEscaped(out, heading);
  out += "</h2>";
}

void AppendSafeFileStem(std::string& out, std::string_view text) {
  if (text.empty()) out += '~';
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_') {
      out += static_cast<char>(c);
    } else {
      out += '~';
      AppendHexByte(out, c, HexLetters::kUpper);
    }
  }
}

std::string SafeFileStem(std::string_view text) {
  std::string stem;
  AppendSafeFileStem(stem, text);
  return stem;
}

void AppendMapPageName(std::string& out, std::string_view map) {
  out += kMapFolder;
  out += '/';
  AppendSafeFileStem(out, map);
  out += kPageSuffix;
}

void AppendPlayerHistoryPageName(std::string& out, std::string_view id) {
  out += kPlayerFolder;
  out += '/';
  AppendSafeFileStem(out, id);
  out += kPageSuffix;
}

std::string MapPageName(std::string_view map) {
  std::string name;
  AppendMapPageName(name, map);
  return name;
}

std::string PlayerHistoryPageName(std::string_view id) {
  std::string name;
  AppendPlayerHistoryPageName(name, id);
  return name;
}

std::string ClassicPageStem(std::string_view id) {
  return std::string(id);  // the file is the id with ".db" behind it
}

std::string DurationText(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

}  // namespace varnokel
