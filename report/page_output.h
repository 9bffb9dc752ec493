// SPDX-License-Identifier: GPL-3.0-or-later
// The text a page is built into, handed on to the page's file in pieces. A
// builder of a long page calls Spill between rows: once the text holds a
// piece's worth, it goes to the file and the text starts again, empty, with
// its capacity kept. A page of tens of megabytes so never sits whole in
// memory, and the kernel copies each piece into the file while it is still
// in the processor's cache (copying a whole page from memory costs several
// times as much).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace varnokel {

class PageOutput {
 public:
  using Sink = std::function<void(std::string_view bytes)>;

  // Builds into `text`; without a sink the whole page stays in it.
  explicit PageOutput(std::string& text, Sink sink = {}) : text_(text), sink_(std::move(sink)) {}

  std::string& text() { return text_; }

  void Spill() {
    if (text_.size() >= kPieceBytes && sink_) HandOn();
  }
  // Hands on what is left; the page is complete.
  void Finish() {
    if (!text_.empty() && sink_) HandOn();
  }

 private:
  static constexpr size_t kPieceBytes = 256 * 1024;  // well inside a core's cache

  void HandOn() {
    sink_(text_);
    text_.clear();
  }

  std::string& text_;
  Sink sink_;
};

}  // namespace varnokel
