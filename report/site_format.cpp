#include "report/site_format.h"

#include "report/colour_settings.h"
#include "report/page_templates.h"
#include "report/player_list.h"
#include "report/player_pages.h"
#include "report/sessions_table.h"
#include "report/skill_table.h"
#include "report/weapon_pages.h"

namespace varnokel {

namespace {

struct SamplePlayer {
  std::string_view id;
  std::string_view name;
  std::string_view play_time;
  int32_t first_count;  // the counts of fields 4.. are this, this + 1, ...
};

constexpr SamplePlayer kSamplePlayers[] = {
    {"STEAM_0:1:4711", "Ann <b> & \"co\" 'x'", "3725", 1},
    {"p#2 ?", "J\xf6rg", "400000", -3},
    {"p3", "Zo\xc3\xab", "3725", 1},
};

PlayerListing SampleListing() {
  PlayerListing listing;
  for (const SamplePlayer& sample : kSamplePlayers) {
    Fields fields(kFieldCount, "0");
    fields[field::kId] = sample.id;
    fields[field::kName] = sample.name;
    for (int f = field::kCtJoins; f < kFieldCount; ++f)
      fields[f] = std::to_string(sample.first_count + f - field::kCtJoins);
    fields[field::kLeaveDate] = "03/16/2003";
    fields[field::kPlayTime] = sample.play_time;
    listing.push_back(ListedPlayerOf(std::string(sample.id), JoinFields(fields) + "100"));
  }
  return listing;
}

Fingerprint ComputeSiteFormat() {
  PageInput input("site format");
  input.Text(VARNOKEL_VERSION);
  for (const auto& file : templates::kFiles) input.Text(file.file_name).Text(file.text);

  const PlayerListing listing = SampleListing();
  const WeaponTotals totals = SumWeaponKills(listing);
  input.Text(SkillTablePage(listing))
      .Text(SessionsTablePage(listing))
      .Text(PlayerListPage(listing));
  for (int w = 0; w < kWeaponCount; ++w) input.Text(WeaponPage(listing, w, totals[w]));
  input.Text(WeaponSummaryPage(totals));
  for (const ListedPlayer& player : listing) input.Text(PlayerPage(player));
  ColourSet colours;
  colours.fill("#123456");
  input.Text(StyleSheetText(colours));
  return input.Value();
}

}  // namespace

const Fingerprint& SiteFormatFingerprint() {
  static const Fingerprint format = ComputeSiteFormat();
  return format;
}

}  // namespace varnokel
