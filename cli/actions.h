// SPDX-License-Identifier: GPL-3.0-or-later
// The actions of varnokel-cli: the window's commands, each run on the session
// the actions before it left.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "db/database_lock.h"
#include "db/process_values.h"
#include "listen/listen_options.h"
#include "report/colour_settings.h"
#include "report/site_folder.h"

namespace varnokel {

// What the actions share: the process-wide values, the status line and the
// colours used by --report and --refresh.
struct CliSession {
  std::filesystem::path program_dir;
  ProcessValues values;
  std::string status;
  std::optional<ColourSet> colours;  // read from color.no on first need
  bool show_progress = false;        // stderr is a terminal
  bool again = false;                // --again: the next --update folds everything
  bool file_passed_over = false;     // a file was passed over: exit 1 after the last action
  LockWait wait = LockWait::kWait;   // --no-wait: kNoWait
  ListenOptions listen;              // the options of listen_options.h
  std::filesystem::path site;        // --site; empty: <program>/html

  std::filesystem::path DatabaseFolder() const;
  DatabaseLock Lock(DatabaseLock::Access access) const;
  SiteTarget Site() const;
  const ColourSet& Colours();
};

struct Action {
  // What an option is to the command line as a whole.
  enum class Kind {
    kSetting,  // changes how the actions after it work, does nothing itself
    kAction,
    kListen,  // an action, the one the listener's options belong to
  };

  std::string_view option;
  std::string_view argument;  // empty: the action takes none
  void (*run)(CliSession&, const std::string&);
  std::string_view help;
  Kind kind = Kind::kAction;
  // The usage error for an argument the action cannot take; empty when it can.
  std::string (*check)(const std::string& argument) = nullptr;
};

inline constexpr size_t kActionCount = 14;
extern const std::array<Action, kActionCount> kActions;

// The action of `option`, or null when there is none.
const Action* FindAction(std::string_view option);

}  // namespace varnokel
