#include "listen/kept_ledger.h"

#include <sys/stat.h>

#include <utility>

namespace varnokel {

namespace {

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

bool KeptLedger::Stamp::operator==(const Stamp& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         SameTime(modified, other.modified) && SameTime(changed, other.changed);
}

KeptLedger::KeptLedger(std::filesystem::path database_dir)
    : database_dir_(std::move(database_dir)) {}

Ledger KeptLedger::Take() {
  std::optional<Ledger> kept = std::exchange(ledger_, std::nullopt);
  if (kept && StampNow() == stamp_) return std::move(*kept);
  return Ledger::Read(database_dir_);
}

void KeptLedger::Committed(Ledger ledger) {
  ledger_ = std::move(ledger);
  stamp_ = StampNow();
}

KeptLedger::Stamp KeptLedger::StampNow() const {
  struct stat status {};
  if (::lstat((database_dir_ / kLedgerFileName).c_str(), &status) != 0) return {};
  return {status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
}

}  // namespace varnokel
