#include "listen/kept_ledger.h"

#include <utility>

namespace varnokel {

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

FileStamp KeptLedger::StampNow() const {
  return FileStamp::Of(database_dir_ / kLedgerFileName);
}

}  // namespace varnokel
