#include "report/page_frame.h"

#include <charconv>

#include "report/page_template.h"
#include "report/page_templates.h"

namespace varnokel {

namespace {

std::string Footer(std::string_view text) {
  std::string footer;
  PageTemplate(text, {"credit"}).Append(footer, {templates::kCreditLine});
  return footer;
}

}  // namespace

std::string_view PageHead(Page page) {
  switch (page) {
    case Page::kSkillTable:
      return templates::kSkillTableHead;
    case Page::kSessionsTable:
      return templates::kSessionsTableHead;
    case Page::kPlayerList:
      return templates::kPlayerListHead;
    case Page::kWeaponPage:
      return templates::kWeaponPageHead;
    case Page::kWeaponSummary:
      return templates::kWeaponSummaryHead;
    case Page::kPlayer:
      return templates::kPlayerPageHead;
  }
  return {};
}

std::string_view CreditLine() {
  return templates::kCreditLine;
}

std::string_view TablePageFooter() {
  static const std::string footer = Footer(templates::kTablePageFooter);
  return footer;
}

std::string_view PlayerPageFooter() {
  static const std::string footer = Footer(templates::kPlayerPageFooter);
  return footer;
}

std::string NumberText(int32_t value) {
  char text[16];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

int32_t SharePercent(int32_t part, int32_t total) {
  if (total == 0) return 0;
  return WrapMul(WrapDiv(100000, total), part) / 1000;
}

}  // namespace varnokel
