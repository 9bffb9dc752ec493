#include "log/log_datagram.h"

#include "log/log_line_layout.h"

namespace varnokel {

namespace {

// The line prefix every kept line has; 'd' stands for a digit.
constexpr std::string_view kLinePrefixPattern = "L dd/dd/dddd - dd:dd:dd: ";
constexpr int kMonthsPerYear = 12;
constexpr int kMaxDayOfMonth = 31;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int TwoDigits(std::string_view text) {
  return (text[0] - '0') * 10 + (text[1] - '0');
}

bool HasLinePrefix(std::string_view line) {
  if (line.size() < kLinePrefixPattern.size()) return false;
  for (size_t i = 0; i < kLinePrefixPattern.size(); ++i) {
    const char want = kLinePrefixPattern[i];
    if (want == 'd' ? !IsDigit(line[i]) : line[i] != want) return false;
  }
  const std::string_view date = log_line::Date(line);
  const int month = TwoDigits(date.substr(0, 2)), day = TwoDigits(date.substr(3, 2));
  return month >= 1 && month <= kMonthsPerYear && day >= 1 && day <= kMaxDayOfMonth;
}

// The line of a datagram whose marker is taken off: up to its LF and an
// optional NUL after it, one line with a date, or nothing.
std::optional<std::string_view> CheckedLine(std::string_view rest) {
  if (rest.ends_with('\0')) rest.remove_suffix(1);
  if (!rest.ends_with('\n')) return std::nullopt;
  const std::string_view body = rest.substr(0, rest.size() - 1);
  if (body.find('\n') != std::string_view::npos || body.find('\0') != std::string_view::npos)
    return std::nullopt;
  if (!HasLinePrefix(body)) return std::nullopt;
  return rest;
}

}  // namespace

LogDatagram ParseLogDatagram(std::string_view datagram, const std::optional<std::string>& secret) {
  LogDatagram result;
  if (!datagram.starts_with(kDatagramHeader)) return result;
  std::string_view rest = datagram.substr(kDatagramHeader.size());
  const bool secured = rest.starts_with(kSecretMarker);
  if (!secured && !rest.starts_with(kPlainMarker)) return result;
  if (secured != secret.has_value()) {
    result.verdict = DatagramVerdict::kWrongSecret;
    return result;
  }
  if (secured) {
    rest.remove_prefix(1);
    if (!rest.starts_with(*secret) || !rest.substr(secret->size()).starts_with("L ")) {
      result.verdict = DatagramVerdict::kWrongSecret;
      return result;
    }
    rest.remove_prefix(secret->size());
  } else {
    rest.remove_prefix(kPlainMarker.size());
  }
  if (const std::optional<std::string_view> line = CheckedLine(rest)) {
    result.verdict = DatagramVerdict::kLine;
    result.line = *line;
  }
  return result;
}

}  // namespace varnokel
