#include "listen/endpoint.h"

#include <gtest/gtest.h>

#include "listen/day_calendar.h"
#include "listen/day_files.h"
#include "listen/sender_filter.h"
#include "tests/core/test_support.h"

namespace varnokel {
namespace {

std::string Listen(std::string_view text) {
  const std::optional<Endpoint> endpoint = ParseListenAddress(text);
  return endpoint ? FormatEndpoint(*endpoint) : "bad";
}

std::string Allow(std::string_view text) {
  const std::optional<Endpoint> endpoint = ParseAllowEntry(text);
  return endpoint ? FormatEndpoint(*endpoint) : "bad";
}

Endpoint At(std::string_view text) {
  return *ParseListenAddress(text);
}

TEST(Endpoint, AddressesPortsAndSenderFolders) {
  EXPECT_EQ(Listen("27500"), "127.0.0.1:27500");
  EXPECT_EQ(Listen("0.0.0.0:27500"), "0.0.0.0:27500");
  EXPECT_EQ(Listen("[::1]:0"), "[::1]:0");
  EXPECT_EQ(Listen("[::]:27500"), "[::]:27500");
  for (const char* bad : {"", "65536", "x", "127.0.0.1", "127.0.0.1:", ":27500", "::1:27500",
                          "[::1]", "[127.0.0.1]:1", "[::1]27500", "localhost:27500", "1.2.3:4"}) {
    EXPECT_EQ(Listen(bad), "bad") << bad;
  }
  EXPECT_EQ(Allow("192.0.2.7"), "192.0.2.7:0");  // any port
  EXPECT_EQ(Allow("192.0.2.7:27015"), "192.0.2.7:27015");
  EXPECT_EQ(Allow("2001:db8::7"), "[2001:db8::7]:0");
  EXPECT_EQ(Allow("[2001:db8::7]:27015"), "[2001:db8::7]:27015");
  for (const char* bad : {"", "192.0.2.7:0", "192.0.2.7:x", "[2001:db8::7]:", "host"}) {
    EXPECT_EQ(Allow(bad), "bad") << bad;
  }

  EXPECT_EQ(SenderFolderName(At("192.0.2.7:27015")), "192.0.2.7_27015");
  EXPECT_EQ(SenderFolderName(At("[2001:db8::7]:27015")), "2001-db8--7_27015");
  EXPECT_EQ(ParseSenderFolderName("2001-db8--7_27015"), At("[2001:db8::7]:27015"));
  for (const char* other : {"192.0.2.7", "192.0.2.7_0", "192.0.2.07_1", "..", "a_1", "::1_1"}) {
    EXPECT_FALSE(ParseSenderFolderName(other)) << other;
  }

  sockaddr_storage address{};
  SocketAddressFromEndpoint(At("[::ffff:192.0.2.7]:5"), address);  // a dual-stack socket's view
  EXPECT_EQ(EndpointFromSocketAddress(address), At("192.0.2.7:5"));

  EXPECT_EQ(DayFileName("L 03/15/2003 - 20:14:07: x\n"), "L20030315.log");
  EXPECT_TRUE(IsDayFileName("L20030315.log"));
  for (const char* other : {"L2003031.log", "L2003031x.log", "l20030315.log", "L20030315.log.torn"})
    EXPECT_FALSE(IsDayFileName(other)) << other;
}

TEST(DayCalendar, DatesAreDaysAndOnlyTodayAndItsNeighboursAreCurrent) {
  EXPECT_EQ(DayNumberOfDate("01/01/1970"), 0);
  EXPECT_EQ(DayNumberOfDate("03/01/2000"), *DayNumberOfDate("02/29/2000") + 1);  // leap year
  EXPECT_EQ(DayNumberOfDate("03/01/2100"), *DayNumberOfDate("02/28/2100") + 1);  // none
  EXPECT_EQ(DayNumberOfDate("12/31/1969"), -1);
  EXPECT_EQ(DayNumberOfDayFile("L20030315.log"), DayNumberOfDate("03/15/2003"));
  for (const char* not_a_date :
       {"02/29/2001", "13/01/2003", "00/10/2003", "04/31/2003", "1/1/2003"})
    EXPECT_FALSE(DayNumberOfDate(not_a_date)) << not_a_date;

  const int64_t today = *DayNumberOfDate("01/01/2004");
  EXPECT_TRUE(IsCurrentDay(*DayNumberOfDate("12/31/2003"), today));
  EXPECT_TRUE(IsCurrentDay(*DayNumberOfDate("01/02/2004"), today));
  EXPECT_FALSE(IsCurrentDay(*DayNumberOfDate("12/30/2003"), today));
  EXPECT_FALSE(IsCurrentDay(*DayNumberOfDate("01/01/2005"), today));
  const std::time_t noon = 12 * 3600 + 86400 * 12418;      // 01/01/2004, noon UTC
  EXPECT_TRUE(IsCurrentDay(today, LocalDayNumber(noon)));  // in every time zone
}

TEST(DayFileWriter, LinesOfOtherDatesShareOneBoundedFile) {
  const testing::TempDir logs;
  const int64_t today = *DayNumberOfDate("03/15/2003");
  const std::string line = "L 03/15/1999 - 20:14:07: x\n";  // 27 bytes
  DayFileWriter writer(logs.path(), today, 3 * line.size() - 1);
  const Endpoint sender = At("192.0.2.7:27015");
  EXPECT_TRUE(writer.Add(sender, "L 03/14/2003 - 23:59:59: y\n"));
  EXPECT_TRUE(writer.Add(sender, "L 03/16/2003 - 00:00:01: y\n"));
  for (int i = 0; i < 2; ++i) EXPECT_FALSE(writer.Add(sender, line));
  EXPECT_FALSE(writer.Add(sender, "L 02/30/2003 - 20:14:07: not a day\n"));
  DayFileWriter::Outcome outcome = writer.Flush();
  EXPECT_EQ(outcome.written, 4u);
  EXPECT_EQ(outcome.failed, 1u);  // past the bound: no piece of it is written
  EXPECT_NE(outcome.error.find(std::string(kWrongDateFileName)), std::string::npos);
  EXPECT_EQ(ListEntryNames(logs.path() / "192.0.2.7_27015"),
            (std::vector<std::string>{"L20030314.log", "L20030316.log",
                                      std::string(kWrongDateFileName)}));
  EXPECT_EQ(ReadFileBytes(logs.path() / "192.0.2.7_27015" / kWrongDateFileName), line + line);

  writer.SetToday(today + 1);  // a day later, the 14th is past
  EXPECT_FALSE(writer.Add(sender, "L 03/14/2003 - 23:59:59: z\n"));
  EXPECT_EQ(writer.Flush().failed, 1u);
}

TEST(SenderFilter, AllowedHostsAndPorts) {
  const SenderFilter own_host({}, At("127.0.0.1:27500"));
  EXPECT_TRUE(own_host.Allows(At("127.0.0.1:27015")));
  EXPECT_FALSE(own_host.Allows(At("127.0.0.2:27015")));
  EXPECT_FALSE(own_host.Allows(At("[::1]:27015")));

  const SenderFilter any_address({}, At("[::]:27500"));  // this machine's addresses
  EXPECT_TRUE(any_address.Allows(At("127.0.0.1:1")));
  EXPECT_TRUE(any_address.Allows(At("[::1]:1")));
  EXPECT_FALSE(any_address.Allows(At("203.0.113.254:1")));

  const SenderFilter listed(
      {*ParseAllowEntry("192.0.2.7"), *ParseAllowEntry("[2001:db8::7]:27015")},
      At("0.0.0.0:27500"));
  EXPECT_TRUE(listed.Allows(At("192.0.2.7:4")));
  EXPECT_TRUE(listed.Allows(At("[2001:db8::7]:27015")));
  EXPECT_FALSE(listed.Allows(At("[2001:db8::7]:27016")));
  EXPECT_FALSE(listed.Allows(At("127.0.0.1:27015")));  // the list replaces the own host
}

}  // namespace
}  // namespace varnokel
