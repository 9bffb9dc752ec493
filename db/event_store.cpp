#include "db/event_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "base/file_io.h"
#include "db/counted_sqlite_files.h"
#include "db/ledger.h"
#include "db/store_rows.h"
#include "db/store_sql.h"

namespace varnokel {

namespace {

namespace fs = std::filesystem;

// A store being made: renamed into place once it is whole.
constexpr std::string_view kNewStoreName = ".statistik.sqlite.neu";
constexpr std::string_view kPlayerFileEnding = ".db";
constexpr int kNoNumber = -1;

FileError StoreError(const fs::path& file, std::string detail,
                     FileError::Kind kind = FileError::Kind::kCreate) {
  return FileError(kind, file, "Ereignisdatenbank: " + std::move(detail));
}

FileError SqliteError(const fs::path& file, sqlite3* db) {
  return StoreError(file, sqlite3_errmsg(db));
}

// One prepared statement, reset after every use.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql, const fs::path& file) : db_(db), file_(file) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr) !=
        SQLITE_OK)
      throw SqliteError(file, db);
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
    return *this;
  }
  Statement& Bind(int index, std::string_view text) {
    sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    return *this;
  }
  Statement& Bind(int index, std::optional<int64_t> value) {
    if (value) return Bind(index, *value);
    sqlite3_bind_null(statement_, index);
    return *this;
  }
  // True while there is a row to read.
  bool Step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) return true;
    sqlite3_reset(statement_);
    if (result != SQLITE_DONE) throw SqliteError(file_, db_);
    return false;
  }
  void Run() {
    while (Step()) {
    }
  }
  int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
  int Columns() const { return sqlite3_column_count(statement_); }
  StoreRow Row() const { return StoreRow(statement_); }
  std::string Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return text == nullptr
               ? std::string()
               : std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
  }

 private:
  sqlite3* db_;
  const fs::path& file_;
  sqlite3_stmt* statement_ = nullptr;
};

sqlite3* OpenFile(const fs::path& file, int flags) {
  sqlite3* db = nullptr;
  const int result = sqlite3_open_v2(file.c_str(), &db, flags, CountedSqliteVfs());
  if (result != SQLITE_OK) {
    const std::string reason = db ? sqlite3_errmsg(db) : sqlite3_errstr(result);
    sqlite3_close(db);
    throw StoreError(file, reason, FileError::Kind::kOpen);
  }
  return db;
}

void ExecuteOn(sqlite3* db, std::string_view sql, const fs::path& file) {
  char* message = nullptr;
  if (sqlite3_exec(db, std::string(sql).c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string reason = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    throw StoreError(file, reason);
  }
}

bool HasPlayerFilesOrLedger(const fs::path& dir) {
  for (const std::string& name : ListEntryNames(dir)) {
    if (name == kLedgerFileName || (name.ends_with(kPlayerFileEnding) && IsRegularFile(dir / name)))
      return true;
  }
  return false;
}

// Makes an empty store of this version under a hidden name and renames it
// into place, so that a store is either whole or not there.
void CreateStore(const fs::path& dir) {
  const fs::path building = dir / kNewStoreName;
  const auto remove_building = [&] {
    ::unlink(building.c_str());
    ::unlink((building.string() + "-journal").c_str());
  };
  remove_building();
  try {
    {
      std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(
          OpenFile(building, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE), sqlite3_close);
      ExecuteOn(db.get(), store_sql::kBuildSettings, building);
      ExecuteOn(db.get(), store_sql::CreateStatements(), building);
    }
    RenameFile(building, EventStorePath(dir));
  } catch (const FileError&) {
    remove_building();  // a store half made is no store: nothing stays behind
    throw;
  }
}

// weapons_added(a, b): the packed weapons texts a and b added up (see
// store_sql.h); fails the statement when either is damaged.
void AddWeapons(sqlite3_context* context, int, sqlite3_value** values) {
  std::vector<WeaponEntry> entries;
  for (sqlite3_value* value : {values[0], values[1]}) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const std::string_view packed(text ? text : "",
                                  static_cast<size_t>(sqlite3_value_bytes(value)));
    if (!ParseWeaponEntries(packed, entries)) {
      sqlite3_result_error(context,
                           "besch\xC3\xA4"
                           "digte Waffenzeile",
                           -1);
      return;
    }
  }
  const std::string sum = FormatWeaponEntries(std::move(entries));
  sqlite3_result_text(context, sum.data(), static_cast<int>(sum.size()), SQLITE_TRANSIENT);
}

}  // namespace

fs::path EventStorePath(const fs::path& database_dir) {
  return database_dir / kEventStoreFileName;
}

EventStore::EventStore(const fs::path& database_dir, Access access)
    : file_(EventStorePath(database_dir)), db_(nullptr, sqlite3_close) {
  // A link could let the store write anywhere: it is not taken.
  if (IsSymbolicLink(file_))
    throw StoreError(file_, "ist ein symbolischer Verweis", FileError::Kind::kOpen);
  if (!IsRegularFile(file_)) throw StoreError(file_, "fehlt", FileError::Kind::kOpen);
  db_.reset(
      OpenFile(file_, access == Access::kWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY));
  Check(access);
  if (access == Access::kWrite) sqlite3_busy_timeout(db_.get(), store_sql::kBusyWaitMilliseconds);
  if (access == Access::kWrite &&
      sqlite3_create_function_v2(db_.get(), store_sql::kAddWeaponsFunction, 2,
                                 SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, AddWeapons, nullptr,
                                 nullptr, nullptr) != SQLITE_OK)
    throw SqliteError(file_, db_.get());
}

EventStore::~EventStore() = default;
EventStore::EventStore(EventStore&&) noexcept = default;

EventStore EventStore::ForUpdate(const fs::path& database_dir) {
  const fs::path file = EventStorePath(database_dir);
  if (!IsRegularFile(file) && !IsSymbolicLink(file)) {
    if (HasPlayerFilesOrLedger(database_dir)) {
      throw StoreError(file,
                       "fehlt neben den Spielerdateien; die Datenbank l\xC3\xB6schen und die "
                       "Logs neu einlesen, um sie wieder anzulegen",
                       FileError::Kind::kOpen);
    }
    CreateStore(database_dir);
  }
  return EventStore(database_dir, Access::kWrite);
}

void EventStore::Check(Access access) {
  int64_t application_id = 0, version = 0;
  try {
    Statement read_id(db_.get(), store_sql::kReadApplicationId, file_);
    if (read_id.Step()) application_id = read_id.Int(0);
    read_id.Run();
    Statement read_version(db_.get(), store_sql::kReadVersion, file_);
    if (read_version.Step()) version = read_version.Int(0);
    read_version.Run();
  } catch (const FileError&) {
    throw StoreError(file_,
                     "keine SQLite-Datei oder besch\xC3\xA4"
                     "digt",
                     FileError::Kind::kOpen);
  }
  if (application_id != store_sql::kApplicationId)
    throw StoreError(file_, "keine Ereignisdatenbank dieses Programms", FileError::Kind::kOpen);
  if (version == store_sql::kFirstSchemaVersion) {
    // Its readers find what they read; its first writer brings it up to date.
    if (access == Access::kWrite) Execute(store_sql::kUpgradeFromFirstVersion);
  } else if (version != store_sql::kSchemaVersion) {
    throw StoreError(file_,
                     "Version " + std::to_string(version) + " statt " +
                         std::to_string(store_sql::kSchemaVersion),
                     FileError::Kind::kOpen);
  }
  Execute(store_sql::kConnectionSettings);
}

void EventStore::Execute(std::string_view sql) const {
  ExecuteOn(db_.get(), sql, file_);
}

uint64_t EventStore::last_commit() const {
  Statement read(db_.get(), store_sql::kReadLastCommit, file_);
  int64_t last = 0;
  if (read.Step()) last = read.Int(0);
  read.Run();
  return static_cast<uint64_t>(last);
}

namespace {

// Rows added kRowsPerInsert at a time (the rest one by one at the end).
class RowsInserter {
 public:
  struct Value {
    Value(std::optional<int64_t> value) : number(value) {}  // NOLINT: rows are lists of these
    Value(int64_t value) : number(value) {}                 // NOLINT
    Value(std::string value) : text(std::move(value)) {}    // NOLINT
    std::optional<int64_t> number;                          // NULL when empty and no text
    std::optional<std::string> text;
  };
  RowsInserter(sqlite3* db, const store_sql::RowsInsert& insert, const fs::path& file)
      : columns_(insert.columns),
        many_(db, store_sql::RowsStatement(insert, store_sql::kRowsPerInsert), file),
        one_(db, store_sql::RowsStatement(insert, 1), file) {}

  void Add(std::initializer_list<Value> row) {
    values_.insert(values_.end(), row.begin(), row.end());
    if (values_.size() == static_cast<size_t>(columns_ * store_sql::kRowsPerInsert)) {
      Run(many_, 0, values_.size());
      values_.clear();
    }
  }
  // Adds the rows still waiting; call before the transaction ends.
  void Finish() {
    for (size_t row = 0; row < values_.size(); row += static_cast<size_t>(columns_))
      Run(one_, row, row + static_cast<size_t>(columns_));
    values_.clear();
  }

 private:
  void Run(Statement& statement, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      const int index = static_cast<int>(i - from + 1);
      if (values_[i].text)
        statement.Bind(index, std::string_view(*values_[i].text));
      else
        statement.Bind(index, values_[i].number);
    }
    statement.Run();
  }

  int columns_;
  Statement many_, one_;
  std::vector<Value> values_;
};

std::optional<int64_t> SecondsOf(const Moment& moment) {
  return moment.known ? std::optional<int64_t>(moment.seconds) : std::nullopt;
}

// The store's numbers of one kind of name (players, maps, servers or
// weapons: a map and a player may share a text, not a number) for the names
// of one commit, looked up or added on first use.
class NameNumbers {
 public:
  NameNumbers(sqlite3* db, const std::vector<std::string>& names, const fs::path& file,
              std::string_view add_sql, std::string_view find_sql)
      : names_(names), add_(db, add_sql, file), find_(db, find_sql, file) {}

  int64_t operator()(uint32_t name) {
    if (numbers_.size() <= name) numbers_.resize(name + 1, kNoNumber);
    int64_t& number = numbers_[name];
    if (number != kNoNumber) return number;
    const std::string& text = names_[name];
    add_.Bind(1, text).Run();
    find_.Bind(1, text);
    if (find_.Step()) number = find_.Int(0);
    find_.Run();
    return number;
  }

 private:
  const std::vector<std::string>& names_;
  Statement add_, find_;
  std::vector<int64_t> numbers_;
};

// Each sum goes in in the order of its key, so that the pages of the store
// fill up one after the other.
void AddPlayerDays(sqlite3* db, const StoreRecord& record, const fs::path& file,
                   NameNumbers& players, NameNumbers& maps, NameNumbers& servers) {
  std::vector<std::pair<std::array<int64_t, 4>, const PlayerDayCounts*>> sorted;
  sorted.reserve(record.player_days.size());
  for (const StoreRecord::PlayerDay& d : record.player_days)
    sorted.push_back({{players(d.player), d.day, maps(d.map), servers(d.server)}, &d.counts});
  std::sort(sorted.begin(), sorted.end());
  RowsInserter player_day(db, store_sql::kAddPlayerDays, file);
  for (const auto& [key, c] : sorted) {
    player_day.Add({key[0], key[1], key[2], key[3], c->kills, c->deaths, c->headshots, c->suicides,
                    c->team_kills, c->bombs_planted, c->bombs_defused, c->hostages_rescued,
                    c->seconds, c->sessions});
  }
  player_day.Finish();
}

void AddWeaponDays(sqlite3* db, const StoreRecord& record, const fs::path& file,
                   NameNumbers& players, NameNumbers& weapons) {
  std::vector<std::pair<std::array<int64_t, 2>, const StoreRecord::WeaponDay*>> sorted;
  sorted.reserve(record.weapon_days.size());
  for (const StoreRecord::WeaponDay& d : record.weapon_days)
    sorted.push_back({{players(d.player), d.day}, &d});
  std::sort(sorted.begin(), sorted.end());
  RowsInserter weapon_day(db, store_sql::kAddWeaponDays, file);
  std::vector<WeaponEntry> entries;
  for (const auto& [key, d] : sorted) {
    entries.clear();
    for (const auto& [weapon, c] : d->weapons)
      entries.push_back({weapons(weapon), c.kills, c.headshots});
    weapon_day.Add({key[0], key[1], FormatWeaponEntries(entries)});
  }
  weapon_day.Finish();
}

void AddSums(sqlite3* db, const StoreRecord& record, const fs::path& file) {
  NameNumbers players(db, record.names, file, store_sql::kAddPlayer, store_sql::kFindPlayer);
  NameNumbers maps(db, record.names, file, store_sql::kAddMap, store_sql::kFindMap);
  NameNumbers servers(db, record.names, file, store_sql::kAddServer, store_sql::kFindServer);
  NameNumbers weapons(db, record.names, file, store_sql::kAddWeapon, store_sql::kFindWeapon);
  AddPlayerDays(db, record, file, players, maps, servers);
  AddWeaponDays(db, record, file, players, weapons);
  Statement name(db, store_sql::kAddName, file);
  for (const StoreRecord::NameSeen& seen : record.names_seen) {
    name.Bind(1, players(seen.player))
        .Bind(2, record.names[seen.name])
        .Bind(3, seen.days.first)
        .Bind(4, seen.days.last)
        .Run();
  }
  RowsInserter session(db, store_sql::kAddSessions, file);
  for (const Session& s : record.sessions) {
    session.Add(
        {players(s.player), SecondsOf(s.begin), SecondsOf(s.end), maps(s.map), servers(s.server)});
  }
  session.Finish();
  Statement server_map(db, store_sql::kWriteServerMap, file);
  for (const auto& [server, map, last_seen] : record.server_maps)
    server_map.Bind(1, servers(server)).Bind(2, maps(map)).Bind(3, SecondsOf(last_seen)).Run();
  Statement map_day(db, store_sql::kAddMapDay, file);
  for (const StoreRecord::MapDay& d : record.map_days) {
    map_day.Bind(1, maps(d.map))
        .Bind(2, d.day)
        .Bind(3, d.counts.starts)
        .Bind(4, d.counts.seconds)
        .Run();
  }
}

}  // namespace

bool EventStore::Stage(const StoreRecord& record) {
  Execute(store_sql::kBegin);
  try {
    if (last_commit() >= record.commit) {
      Execute(store_sql::kRollback);
      return false;
    }
    AddSums(db_.get(), record, file_);
    Statement(db_.get(), store_sql::kWriteLastCommit, file_)
        .Bind(1, static_cast<int64_t>(record.commit))
        .Run();
    return true;
  } catch (const FileError&) {
    RollBackStaged();
    throw;
  }
}

void EventStore::CommitStaged() {
  try {
    Execute(store_sql::kCommit);
  } catch (const FileError&) {
    RollBackStaged();
    throw;
  }
}

void EventStore::RollBackStaged() noexcept {
  if (!sqlite3_get_autocommit(db_.get()))
    sqlite3_exec(db_.get(), store_sql::kRollback, nullptr, nullptr, nullptr);
}

void EventStore::Apply(const StoreRecord& record) {
  if (Stage(record)) CommitStaged();
}

MapsByServer EventStore::ServerMaps() const {
  MapsByServer maps;
  ForEachStoreRow(store_sql::kReadServerMaps, [&](const StoreRow& row) {
    ServerMapState& state = maps[std::string(row.Text(0))];
    state.map = row.Text(1);
    if (!row.IsNull(2)) state.last_seen = {true, row.Int(2)};
  });
  return maps;
}

void EventStore::ForEachRow(std::string_view sql,
                            const std::function<void(const std::vector<std::string>&)>& row) const {
  Statement query(db_.get(), sql, file_);
  std::vector<std::string> columns(static_cast<size_t>(query.Columns()));
  while (query.Step()) {
    for (size_t i = 0; i < columns.size(); ++i) columns[i] = query.Text(static_cast<int>(i));
    row(columns);
  }
}

void EventStore::ForEachStoreRow(std::string_view sql,
                                 const std::function<void(const StoreRow&)>& row) const {
  Statement query(db_.get(), sql, file_);
  while (query.Step()) row(query.Row());
}

std::string EventStore::CanonicalDump() const {
  std::string dump;
  for (std::string_view sql : store_sql::kCanonicalDump) {
    dump.append(sql).append("\n");
    ForEachRow(sql, [&](const std::vector<std::string>& columns) {
      for (const std::string& column : columns) dump.append(column).append("|");
      dump.append("\n");
    });
  }
  return dump;
}

void ApplyStoreRecord(const fs::path& database_dir, std::string_view record,
                      const fs::path& journal) {
  EventStore(database_dir, EventStore::Access::kWrite).Apply(StoreRecord::Parse(record, journal));
}

void RemoveEventStore(const fs::path& database_dir) {
  ::unlink((database_dir / kEventStoreFileName).c_str());
  ::unlink((database_dir / kEventStoreJournalName).c_str());
}

}  // namespace varnokel
