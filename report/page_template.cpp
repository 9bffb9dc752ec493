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
      throw std::logic_error("page template slot without a value: {" + std::string(name) + "}");
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
    throw std::logic_error("page template filled with the wrong number of values");
  // The row's length first, then its pieces copied into place: a table of
  // 100 000 rows spends its time here.
  size_t size = fixed_bytes_;
  for (size_t value : values_) size += values[value].size();
  const size_t start = out.size();
  out.resize(start + size);
  char* at = out.data() + start;
  auto put = [&at](std::string_view text) {
    if (text.empty()) return;
    std::memcpy(at, text.data(), text.size());
    at += text.size();
  };
  put(pieces_[0]);
  for (size_t k = 0; k < values_.size(); ++k) {
    put(values[values_[k]]);
    put(pieces_[k + 1]);
  }
}

}  // namespace varnokel
