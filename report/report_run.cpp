#include "report/report_run.h"

#include <future>

#include "base/parallel_stretches.h"
#include "report/history_site.h"
#include "report/player_list.h"
#include "report/player_listing.h"
#include "report/player_pages.h"
#include "report/sessions_table.h"
#include "report/site_format.h"
#include "report/skill_table.h"
#include "report/weapon_pages.h"

namespace varnokel {

std::string ReportDoneStatus(std::string_view database_number) {
  return " HTML - Ausgabe " + std::string(database_number) + " fertig...";
}

namespace {

constexpr std::string_view kSiteFolderName = "html";

}  // namespace

std::filesystem::path DefaultSiteDir(const std::filesystem::path& program_dir) {
  return program_dir / kSiteFolderName;
}

SiteChanges ReportRun(const std::filesystem::path& program_dir,
                      const std::filesystem::path& database_dir, const ColourSet& colours,
                      std::time_t now) {
  return ReportRun(SiteTarget{DefaultSiteDir(program_dir), LockWait::kWait, {}}, database_dir,
                   colours, now);
}

SiteChanges ReportRun(const SiteTarget& target, const std::filesystem::path& database_dir,
                      const ColourSet& colours, std::time_t now,
                      const std::function<void()>& database_read) {
  SiteWriter site(target, SiteIndexFile(target.dir, database_dir), SiteFormatFingerprint());
  // The event store is read beside the player files, on a thread of its own.
  std::future<SiteHistory> store =
      std::async(std::launch::async, [&database_dir] { return ReadSiteHistory(database_dir); });
  // Every player file is read once, before the first page is written: a file
  // that cannot be read stops the run with every page of the last run intact.
  const PlayerListing listing = BuildPlayerListing(database_dir);
  // Nothing is written before the store is read: a store that cannot be
  // read stops the run with every page as it was. What follows needs the
  // database no more.
  const SiteHistory history = store.get();
  if (database_read) database_read();

  const Fingerprint names = ListedNamesInput(listing);
  const ListedTexts texts(listing);
  site.Add("st.htm", SkillTableInput(listing, names),
           [&](PageOutput& page) { AppendSkillTablePage(page, listing, texts); });
  site.Add("se.htm", SessionsTableInput(listing, names),
           [&](PageOutput& page) { AppendSessionsTablePage(page, listing, texts); });
  site.Add("sp.htm", PlayerListInput(names),
           [&](PageOutput& page) { AppendPlayerListPage(page, listing, texts); });
  const WeaponCounts counts(listing);
  const WeaponTotals totals = SumWeaponKills(counts);
  for (int w = 0; w < kWeaponCount; ++w)
    site.Add(WeaponPageName(w), WeaponPageInput(counts, names, w),
             [&, w](PageOutput& page) { AppendWeaponPage(page, counts, texts, w, totals[w]); });
  site.Add("wt.htm", WeaponSummaryInput(totals),
           [&](PageOutput& page) { page.text() += WeaponSummaryPage(totals); });
  std::vector<Fingerprint> player_inputs(listing.size());
  ForEachStretch(listing.size(), [&](size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) player_inputs[k] = PlayerPageInput(listing[k]);
  });
  for (size_t k = 0; k < listing.size(); ++k) {
    const ListedPlayer& player = listing[k];
    if (IsReservedPageStem(player.stem)) continue;
    site.Add(PlayerPageName(player), player_inputs[k],
             [&player](PageOutput& page) { page.text() += PlayerPage(player); });
  }
  const std::string style_sheet = StyleSheetText(colours);
  site.Add("style.css", PageInput("style sheet").Text(style_sheet).Value(),
           [&](PageOutput& page) { page.text() += style_sheet; });
  HistorySite history_site(history, now);
  // The history pages are made and added while the pages above are written;
  // a history with no player makes only a few pages, which are added first so
  // that every core writes the pages above.
  if (history.players.empty()) {
    history_site.AddTo(site);
    return site.Commit();
  }
  return site.Commit([&] { history_site.AddTo(site); });
}

}  // namespace varnokel
