#include "platform/serial_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "util/numbered_error.h"

namespace {

using StopBits = SerialSettings::StopBits;

struct Accepted {
  const char* text;
  uint32_t speed;
  char parity;
  int data_bits;
  StopBits stop_bits;
};

TEST(ParseSerialSettings, ReadsEveryField) {
  const Accepted cases[] = {
      {"19200,n,8,1", 19200, 'n', 8, StopBits::kOne},
      {"9600,N,7,2", 9600, 'n', 7, StopBits::kTwo},
      {"1200,e,7,1", 1200, 'e', 7, StopBits::kOne},
      {"110,o,5,1.5", 110, 'o', 5, StopBits::kOneAndHalf},
      {"115200,M,6,1", 115200, 'm', 6, StopBits::kOne},
      {"921600,s,8,2", 921600, 's', 8, StopBits::kTwo},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(c.text);
    const SerialSettings settings = ParseSerialSettings(c.text);
    EXPECT_EQ(settings.speed, c.speed);
    EXPECT_EQ(settings.parity, c.parity);
    EXPECT_EQ(settings.data_bits, c.data_bits);
    EXPECT_EQ(settings.stop_bits, c.stop_bits);
  }
}

TEST(ParseSerialSettings, RefusesWithError380NamingTheText) {
  const char* refused[] = {
      "",
      "19200",
      "19200,n,8",
      "19200,n,8,1,",
      "19200,n,8,1,x",
      ",n,8,1",
      "12345,n,8,1",
      "0,n,8,1",
      "-9600,n,8,1",
      "9600000,n,8,1",
      "19200,x,8,1",
      "19200,,8,1",
      "19200,no,8,1",
      "19200,n,4,1",
      "19200,n,9,1",
      "19200,n,8,3",
      "19200,n,8,0",
      "19200,n,8,",
      "19200, n,8,1",
      " 19200,n,8,1",
      "baud=9600 parity=N data=8 stop=1",
      "COM1:9600,n,8,1",
      "19200;n;8;1",
  };
  for (const char* text : refused) {
    SCOPED_TRACE(text);
    try {
      ParseSerialSettings(text);
      ADD_FAILURE() << "accepted";
    } catch (const NumberedError& error) {
      EXPECT_EQ(error.number(), kErrInvalidPropertyValue);
      EXPECT_NE(error.description().find(std::string("\"") + text + "\""), std::string::npos)
          << error.description();
    }
  }
}

}  // namespace
