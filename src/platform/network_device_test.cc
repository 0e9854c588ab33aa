#include "platform/network_device.h"

#include <gtest/gtest.h>

#include <chrono>

#include "support/error_of.h"
#include "util/numbered_error.h"

namespace {

TEST(NetworkDeviceTest, PathsNameListenersAndDeviceServers) {
  struct Case {
    const char* path;
    bool listen;
    const char* host;
    const char* port;
  };
  const Case cases[] = {
      {"tcp-listen:9100", true, "127.0.0.1", "9100"},
      {"tcp-listen:0.0.0.0:9100", true, "0.0.0.0", "9100"},
      {"tcp-listen:[::1]:9100", true, "::1", "9100"},
      {"tcp:moxa-3.plant:4001", false, "moxa-3.plant", "4001"},
  };
  for (const Case& c : cases) {
    const auto device = ParseNetworkDevice(c.path);
    ASSERT_TRUE(device) << c.path;
    EXPECT_EQ(device->listen, c.listen) << c.path;
    EXPECT_EQ(device->host, c.host) << c.path;
    EXPECT_EQ(device->port, c.port) << c.path;
  }
  EXPECT_FALSE(ParseNetworkDevice("/dev/ttyUSB0"));
  for (const char* bad :
       {"tcp:4001", "tcp-listen:", "tcp-listen:0", "tcp:host:65536", "tcp:h:9x"}) {
    EXPECT_EQ(ErrorOf([&] { ParseNetworkDevice(bad); }), kErrInvalidPropertyValue) << bad;
  }
}

TEST(NetworkDeviceTest, OnlyListedPeersOrElseLoopbackMayPrint) {
  const PeerFilter loopback;
  EXPECT_TRUE(loopback.Allows("127.0.0.1"));
  EXPECT_TRUE(loopback.Allows("::1"));
  EXPECT_TRUE(loopback.Allows("::ffff:127.0.0.2"));
  EXPECT_FALSE(loopback.Allows("10.1.2.3"));
  const PeerFilter listed("10.1.2.3, 10.1.2.4 fe80::1");
  EXPECT_TRUE(listed.Allows("::ffff:10.1.2.4"));
  EXPECT_TRUE(listed.Allows("fe80::1"));
  EXPECT_FALSE(listed.Allows("127.0.0.1"));
  EXPECT_FALSE(listed.Allows("10.1.2.30"));
}

TEST(NetworkDeviceTest, RefusalsAreLoggedOnceAMinuteCountingThoseLeftOut) {
  RefusalLog log;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(log.Refuse("10.0.0.9", "tcp-listen:9100", start),
            "Refused a connection from 10.0.0.9 to tcp-listen:9100: not allowed by AllowFrom");
  EXPECT_FALSE(log.Refuse("10.0.0.9", "tcp-listen:9100", start + std::chrono::seconds(30)));
  EXPECT_FALSE(log.Refuse("10.0.0.8", "tcp-listen:9100", start + std::chrono::seconds(59)));
  EXPECT_EQ(log.Refuse("10.0.0.7", "tcp-listen:9100", start + std::chrono::seconds(60)),
            "Refused a connection from 10.0.0.7 to tcp-listen:9100: not allowed by AllowFrom"
            " (and 2 since the last such line)");
}

}  // namespace
