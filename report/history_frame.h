// SPDX-License-Identifier: GPL-3.0-or-later
// The frame of the site's history pages (overview, maps, history, search and
// a page per player): the seed's navigation with a third row for the new
// pages, a layout that reads well from 390 px on, the credit line. Colours
// come from the site's style sheet alone.
#pragma once

#include <string>
#include <string_view>

namespace varnokel {

// The entries of the navigation's third row.
enum class HistoryPage { kOverview, kMaps, kHistory, kSearch, kNone };

// The third navigation row of every page of the site. `up` is "" for a page
// in the site's folder and "../" for one in a subfolder; `own` is shown as
// plain text.
std::string HistoryNavigationRow(std::string_view up, HistoryPage own);

// Everything up to the page's content: head with `title` (escaped), the
// navigation, the opening of the content box.
void AppendHistoryHead(std::string& out, std::string_view title, std::string_view up,
                       HistoryPage own);
// The end of the content box, the credit line, the end of the page.
void AppendHistoryFooter(std::string& out);

// A heading row inside the content: <h2> styled as the site's headings.
void AppendSectionHeading(std::string& out, std::string_view heading);

// File names in the site's subfolders for any map name or player id: every
// byte outside A-Z, a-z, 0-9, "-" and "_" becomes "~" and two hex digits, so
// the name never leaves its folder, never begins with a dot and needs no
// encoding in a link.
std::string SafeFileStem(std::string_view text);
void AppendSafeFileStem(std::string& out, std::string_view text);

inline constexpr std::string_view kMapFolder = "karten";
inline constexpr std::string_view kPlayerFolder = "spieler";
inline constexpr std::string_view kDataFolder = "daten";

// The page of a map and of a player's history, relative to the site folder.
std::string MapPageName(std::string_view map);
std::string PlayerHistoryPageName(std::string_view id);
void AppendMapPageName(std::string& out, std::string_view map);
void AppendPlayerHistoryPageName(std::string& out, std::string_view id);

// The stem of a player's page among the seed's tables (his file's name
// without ".db"), for links from his history page.
std::string ClassicPageStem(std::string_view id);

// "1:02:05" for a number of seconds (hours not padded).
std::string DurationText(int64_t seconds);

}  // namespace varnokel
