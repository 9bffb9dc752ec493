// SPDX-License-Identifier: GPL-3.0-or-later
// The ledger of the database the listener folds into, kept between its folds:
// read from disk only when the file is not as the last fold left it (another
// writer folded meanwhile, the database was emptied), so that a fold does
// not read and parse everything ever folded. The file is known by its inode,
// size and times, looked at only under the database's lock; a writer unseen
// would have to take the lock, fold and commit within one tick of the file
// system's clock after the listener's own commit, and leave the file the
// same size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "base/file_stamp.h"
#include "db/ledger.h"

namespace varnokel {

class KeptLedger {
 public:
  explicit KeptLedger(std::filesystem::path database_dir);

  // The ledger on disk, handed over until Committed gives it back: kept
  // when the file is as it was then, read otherwise. The caller holds the
  // database's lock. Throws what Ledger::Read throws.
  Ledger Take();

  // Gives back the ledger the caller has just committed, still under the
  // lock. Without it (a fold that failed or stopped part-way) the next Take
  // reads the file.
  void Committed(Ledger ledger);

 private:
  FileStamp StampNow() const;

  std::filesystem::path database_dir_;
  std::optional<Ledger> ledger_;
  FileStamp stamp_;
};

}  // namespace varnokel
