// SPDX-License-Identifier: GPL-3.0-or-later
// Hands the history pages of a report run to its SiteWriter.
#pragma once

#include <ctime>
#include <deque>
#include <string>
#include <utility>

#include "report/history_view.h"
#include "report/site_writer.h"

namespace varnokel {

class HistorySite {
 public:
  // `history` must outlive this object.
  HistorySite(const SiteHistory& history, std::time_t now);

  // Adds every history page to `site`. A page per player and per map is
  // fingerprinted by the rows it shows and built only when it changed; the
  // few pages that sum everything are built here and fingerprinted by their
  // bytes. This object must stay alive until `site` is committed.
  void AddTo(SiteWriter& site);

 private:
  void AddBuilt(SiteWriter& site, std::string name, std::string bytes);
  Fingerprint PlayerInput(uint32_t player) const;

  HistoryView view_;
  std::deque<std::string> built_;  // bytes of the pages built ahead, kept for their builders
};

}  // namespace varnokel
