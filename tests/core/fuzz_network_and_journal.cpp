// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: what reaches the program from outside or from a damaged
// disk. A datagram of the log stream (anyone may send one) is refused or
// gives a line as its reader promises, and that line's analysis runs; the
// ledger, the journal's store record and a day's packed weapons (an operator
// may edit the store) either refuse the bytes or read them into something
// that writes itself back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "db/ledger.h"
#include "db/store_changes.h"
#include "db/store_rows.h"
#include "log/line_events.h"
#include "log/log_datagram.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int TwoDigits(std::string_view text, size_t at) {
  return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// "L MM/DD/YYYY" in digits, a real month and day, one LF at the end, no NUL.
void CheckLine(std::string_view line) {
  Check(line.starts_with("L ") && line.size() > 12 && line.back() == '\n');
  Check(line.find('\n') == line.size() - 1 && line.find('\0') == std::string_view::npos);
  for (size_t at : {2, 3, 5, 6, 8, 9, 10, 11}) Check(IsDigit(line[at]));
  Check(line[4] == '/' && line[7] == '/');
  const int month = TwoDigits(line, 2), day = TwoDigits(line, 5);
  Check(month >= 1 && month <= 12 && day >= 1 && day <= 31);
}

// The secret a listener would have: the datagram's own (from its marker to
// the first "L ", so that signed lines get through) or another.
std::string SecretFor(std::string_view bytes) {
  const size_t marker = varnokel::kDatagramHeader.size() + 1;
  const size_t line = bytes.find("L ", marker);
  return bytes.size() > marker && line != std::string_view::npos
             ? std::string(bytes.substr(marker, line - marker))
             : std::string("geheim");
}

void Datagram(std::string_view bytes) {
  for (const std::optional<std::string>& secret :
       {std::optional<std::string>(), std::optional<std::string>(SecretFor(bytes))}) {
    const varnokel::LogDatagram datagram = varnokel::ParseLogDatagram(bytes, secret);
    if (datagram.verdict != varnokel::DatagramVerdict::kLine) continue;
    CheckLine(datagram.line);
    varnokel::AnalyseLine(datagram.line.substr(0, datagram.line.size() - 1));
  }
}

// Bytes that `read` takes (it throws FileError otherwise) are written back
// by `write` into bytes that read and write again to the same.
template <typename Read, typename Write>
void ReadsBackTheSame(std::string_view bytes, const Read& read, const Write& write) {
  try {
    const std::string text = write(read(bytes));
    Check(write(read(text)) == text);
  } catch (const varnokel::FileError&) {
  }
}

void PackedWeapons(std::string_view bytes) {
  std::vector<varnokel::WeaponEntry> entries;
  if (!varnokel::ParseWeaponEntries(bytes, entries)) return;
  const std::string text = varnokel::FormatWeaponEntries(entries);
  entries.clear();
  Check(varnokel::ParseWeaponEntries(text, entries));
  Check(varnokel::FormatWeaponEntries(entries) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Datagram(bytes);
  ReadsBackTheSame(
      bytes, [](std::string_view b) { return varnokel::Ledger::Parse(b, ".ledger"); },
      [](const varnokel::Ledger& ledger) { return ledger.Format(); });
  ReadsBackTheSame(
      bytes, [](std::string_view b) { return varnokel::StoreRecord::Parse(b, ".commit"); },
      [](const varnokel::StoreRecord& record) { return record.Serialize(); });
  PackedWeapons(bytes);
  return 0;
}
