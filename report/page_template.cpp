#include "report/page_template.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace varnokel {

namespace {

bool IsSlotChar(char c) {
  return (c >= 'a' && c <= 'z') || c == '_';
}

// The length of the slot name that starts at `at` and is closed by "}", or 0
// when the text there is not a slot.
size_t SlotNameLength(std::string_view text, size_t at) {
  size_t end = at;
  while (end < text.size() && IsSlotChar(text[end])) ++end;
  return end > at && end < text.size() && text[end] == '}' ? end - at : 0;
}

// Copies `text` to `at` and returns the end: the short texts of a row in a
// few moves each, without calling memcpy (whose call costs more than the
// copy of a place number or a name).
[[gnu::always_inline]] inline char* PutText(char* at, std::string_view text) {
  constexpr size_t kBlock = 16;
  constexpr size_t kLongText = 64;
  const size_t n = text.size();
  const char* from = text.data();
  if (n > kLongText) {
    std::memcpy(at, from, n);
  } else if (n >= kBlock) {
    for (size_t k = 0; k + kBlock < n; k += kBlock) std::memcpy(at + k, from + k, kBlock);
    std::memcpy(at + n - kBlock, from + n - kBlock, kBlock);  // the last block may overlap
  } else if (n >= 8) {
    std::memcpy(at, from, 8);
    std::memcpy(at + n - 8, from + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(at, from, 4);
    std::memcpy(at + n - 4, from + n - 4, 4);
  } else if (n > 0) {
    at[0] = from[0];
    at[n / 2] = from[n / 2];
    at[n - 1] = from[n - 1];
  }
  return at + n;
}

}  // namespace

PageTemplate::PageTemplate(std::string_view text, std::span<const std::string_view> slots)
    : value_count_(slots.size()) {
  size_t done = 0;
  for (size_t open = text.find('{'); open != std::string_view::npos;
       open = text.find('{', open + 1)) {
    const size_t length = SlotNameLength(text, open + 1);
    if (length == 0) continue;
    const std::string_view name = text.substr(open + 1, length);
    const auto found = std::find(slots.begin(), slots.end(), name);
    if (found == slots.end())
      throw std::logic_error(
          std::string("Seitenvorlage: kein Wert f\xC3\xBCr {").append(name).append("}"));
    pieces_.push_back(text.substr(done, open - done));
    values_.push_back(static_cast<size_t>(found - slots.begin()));
    done = open + length + 2;
    open = done - 1;
  }
  pieces_.push_back(text.substr(done));
  for (std::string_view piece : pieces_) fixed_bytes_ += piece.size();
}

void PageTemplate::Append(std::string& out, std::span<const std::string_view> values) const {
  if (values.size() != value_count_)
    throw std::logic_error("Seitenvorlage mit der falschen Zahl von Werten gef\xC3\xBCllt");
  // The row's length first, then its pieces copied into place: a table of
  // 100 000 rows spends its time here.
  size_t size = fixed_bytes_;
  for (size_t value : values_) size += values[value].size();
  const size_t start = out.size();
  out.resize(start + size);
  char* at = out.data() + start;
  at = PutText(at, pieces_[0]);
  for (size_t k = 0; k < values_.size(); ++k) {
    at = PutText(at, values[values_[k]]);
    at = PutText(at, pieces_[k + 1]);
  }
}

std::string FillSlot(std::string_view text, std::string_view slot, std::string_view value) {
  std::string marked;  // built piece by piece: GCC 12 misreads "{" + ... as overlapping
  marked.append("{").append(slot).append("}");
  std::string filled;
  size_t done = 0;
  for (size_t at = text.find(marked); at != std::string_view::npos; at = text.find(marked, done)) {
    filled.append(text, done, at - done).append(value);
    done = at + marked.size();
  }
  return filled.append(text, done);
}

}  // namespace varnokel
