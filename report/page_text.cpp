#include "report/page_text.h"

#include "report/html_escape.h"

namespace varnokel {

std::string PageText(std::string_view bytes) {
  return HtmlEscape(TextAsUtf8(bytes));
}

}  // namespace varnokel
