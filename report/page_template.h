// SPDX-License-Identifier: GPL-3.0-or-later
// Filling the page markup of report/templates/: a template is page text in
// which "{slot}" (lower-case letters and "_") stands for a value the page
// writer supplies; every other byte is written as it is.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnokel {

class PageTemplate {
 public:
  // Splits `text` at its slots once. `slots` names the values Append takes,
  // in the order it takes them; a slot may occur in the text more than once
  // or not at all. Throws std::logic_error naming the slot when the text has
  // one that is not in `slots`: the template and its writer do not match.
  // `text` must outlive the template (the embedded texts live as long as the
  // program).
  PageTemplate(std::string_view text, std::span<const std::string_view> slots);
  PageTemplate(std::string_view text, std::initializer_list<std::string_view> slots)
      : PageTemplate(text, std::span<const std::string_view>(slots.begin(), slots.size())) {}

  // Appends the text with every slot replaced by the value at its name's
  // position in `slots`. The values must already be page text (escaped,
  // encoded); they are written unchanged. Throws std::logic_error when the
  // number of values is not the number of slot names.
  void Append(std::string& out, std::span<const std::string_view> values) const;
  void Append(std::string& out, std::initializer_list<std::string_view> values) const {
    Append(out, std::span<const std::string_view>(values.begin(), values.size()));
  }

 private:
  std::vector<std::string_view> pieces_;  // the fixed text before each slot, and after the last
  std::vector<size_t> values_;            // for each slot, the position of its value
  size_t value_count_;
  size_t fixed_bytes_ = 0;  // the pieces' length
};

// `text` with every "{slot}" replaced by `value`: a template with one of its
// slots filled for a whole page.
std::string FillSlot(std::string_view text, std::string_view slot, std::string_view value);

}  // namespace varnokel
