#include "log/log_datagram.h"

#include <gtest/gtest.h>

#include <string>

namespace varnokel {
namespace {

const std::string kLine = "L 03/15/2003 - 20:14:07: \"Bob<12><4711><CT>\" entered the game\n";
const std::string kHeader = "\xFF\xFF\xFF\xFF";

// The line a datagram yields, or its verdict's name.
std::string Read(const std::string& datagram, std::optional<std::string> secret = std::nullopt) {
  const LogDatagram parsed = ParseLogDatagram(datagram, secret);
  switch (parsed.verdict) {
    case DatagramVerdict::kLine:
      return std::string(parsed.line);
    case DatagramVerdict::kWrongSecret:
      return "wrong secret";
    case DatagramVerdict::kMalformed:
      return "malformed";
  }
  return {};
}

TEST(LogDatagram, PlainAndSignedLinesAndEverythingElse) {
  EXPECT_EQ(Read(kHeader + "log " + kLine), kLine);
  EXPECT_EQ(Read(kHeader + "log " + kLine + '\0'), kLine);  // the NUL is no part of it
  const std::string crlf = "L 03/15/2003 - 20:14:07: x\r\n";
  EXPECT_EQ(Read(kHeader + "log " + crlf), crlf);
  EXPECT_EQ(Read(kHeader + "Sgeheim" + kLine, "geheim"), kLine);
  EXPECT_EQ(Read(kHeader + "SL" + kLine, "L"), kLine);               // a secret may end in "L"
  const std::string new_years_eve = "L 12/31/2003 - 23:59:59: x\n";  // the last month and day
  EXPECT_EQ(Read(kHeader + "log " + new_years_eve), new_years_eve);

  EXPECT_EQ(Read(kHeader + "Sfalsch" + kLine, "geheim"), "wrong secret");
  EXPECT_EQ(Read(kHeader + "Sgeheim" + kLine), "wrong secret");  // none expected
  EXPECT_EQ(Read(kHeader + "log " + kLine, "geheim"), "wrong secret");
  EXPECT_EQ(Read(kHeader + "Sgeheim2" + kLine, "geheim"), "wrong secret");
  EXPECT_EQ(Read(kHeader + "Sgeh" + kLine, "geheim"), "wrong secret");

  EXPECT_EQ(Read(""), "malformed");
  EXPECT_EQ(Read(kHeader), "malformed");
  EXPECT_EQ(Read("log " + kLine), "malformed");                          // no header
  EXPECT_EQ(Read("\xFF\xFF\xFFlog " + kLine), "malformed");              // three bytes
  EXPECT_EQ(Read(kHeader + "rcon " + kLine), "malformed");               // another packet
  EXPECT_EQ(Read(kHeader + "log " + kLine.substr(0, 40)), "malformed");  // no line end
  EXPECT_EQ(Read(kHeader + "log " + kLine + std::string(2, '\0')), "malformed");
  EXPECT_EQ(Read(kHeader + "log " + kLine + kLine), "malformed");  // two lines
  EXPECT_EQ(Read(kHeader + "log L 03/15/2003 - 20:14:07: a" + '\0' + "b\n"), "malformed");
  EXPECT_EQ(Read(kHeader + "log x" + kLine), "malformed");
  EXPECT_EQ(Read(kHeader + "log L 03/15/2003 - 20:14:07:\n"), "malformed");  // prefix cut
  for (const char* date : {"13/15/2003", "00/15/2003", "03/32/2003", "03/00/2003", "3/15/20033",
                           "03-15-2003", "03/15/20a3", "../../etc/"}) {
    EXPECT_EQ(Read(kHeader + "log L " + date + " - 20:14:07: x\n"), "malformed") << date;
  }
  EXPECT_EQ(Read(kHeader + "log L 03/15/2003 - 2x:14:07: x\n"), "malformed");
}

}  // namespace
}  // namespace varnokel
