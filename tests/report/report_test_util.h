// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the report tests: expected page pieces read from the page
// templates the program embeds (report/templates/) and whole pages from
// data/, player files written into real temporary folders.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/player_listing.h"

namespace varnokel::testutil {

// The pages a report run writes beside the tables for a database without an
// event store: index.html, karten.htm, verlauf.htm, suche.htm and the three
// data files in daten/.
inline constexpr size_t kEmptyHistoryPages = 7;

// A fixed moment for report runs (07.12.2026, 18:04 UTC), so that the
// overview says the same when a test runs twice.
inline constexpr long kReportTime = 1796666640;

// The bytes of tests/report/data/<name>.
std::string Fixture(std::string_view name);

// The bytes of report/templates/<name>, the file the program embeds.
std::string Template(std::string_view name);

// `tpl` with every "{key}" replaced by its value.
std::string Fill(std::string tpl, const std::vector<std::pair<std::string, std::string>>& values);

// The footers of the table pages and of the player pages, with the credit line.
std::string TableFooter();
std::string PlayerFooter();

// A player file as the update run creates it: id, date, time, name and forty
// "0" counts (CR LF between fields, none after the last), with `counts`
// replacing single fields by index.
std::string PlayerFileBytes(const std::string& id, const std::string& name,
                            const std::map<int, std::string>& counts = {});

// A fresh folder below the system's temporary folder, removed at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A program folder with an empty database 1 and no site yet.
class ProgramFolder {
 public:
  ProgramFolder();
  const std::filesystem::path& root() const { return dir_.path(); }
  std::filesystem::path database() const { return root() / "Datenbanken" / "db1"; }
  std::filesystem::path html() const { return root() / "html"; }
  // Writes `bytes` as the player file id + ".db" of database 1.
  void AddPlayer(const std::string& id, const std::string& bytes) const;
  void AddPlayer(const std::string& id, const std::string& name,
                 const std::map<int, std::string>& counts) const {
    AddPlayer(id, PlayerFileBytes(id, name, counts));
  }
  PlayerListing Listing() const { return BuildPlayerListing(database()); }

 private:
  TempDir dir_;
};

std::string ReadBytes(const std::filesystem::path& file);

// Success when the texts are equal; otherwise the first differing offset and
// the bytes around it on both sides.
::testing::AssertionResult SameBytes(std::string_view expected, std::string_view actual);

}  // namespace varnokel::testutil
