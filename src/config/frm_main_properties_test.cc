#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/frm_main_fixture.h"

namespace {

using PropertiesTest = FrmMainTest;

TEST_F(PropertiesTest, FreshValues) {
  EXPECT_EQ(form_.MinLength(), 0);
  EXPECT_EQ(form_.MaxLength(), 0);
  EXPECT_EQ(form_.FileLifetime(), 0);
  EXPECT_EQ(form_.EndOfFileTimeInterval(), 1000);  // the timer's design-time interval
  EXPECT_EQ(form_.CommPort(), 1);
}

TEST_F(PropertiesTest, WritesBelowTheLowerBoundChangeNothing) {
  struct Property {
    const char* name;
    std::function<void(int32_t)> write;
    std::function<int32_t()> read;
  };
  const std::vector<Property> properties = {
      {"MinLength", [&](int32_t v) { form_.SetMinLength(v); }, [&] { return form_.MinLength(); }},
      {"MaxLength", [&](int32_t v) { form_.SetMaxLength(v); }, [&] { return form_.MaxLength(); }},
      {"FileLifetime", [&](int32_t v) { form_.SetFileLifetime(v); },
       [&] { return form_.FileLifetime(); }},
      {"CommPort", [&](int32_t v) { form_.SetCommPort(v); }, [&] { return form_.CommPort(); }},
      {"EndOfFileTimeInterval", [&](int32_t v) { form_.SetEndOfFileTimeInterval(v); },
       [&] { return form_.EndOfFileTimeInterval(); }},
  };
  for (const Property& property : properties) {
    property.write(7);
    for (int32_t value : {0, -1, INT32_MIN}) {
      property.write(value);
      EXPECT_EQ(property.read(), 7) << property.name << " = " << value;
    }
  }
  EXPECT_EQ(port_.history(), std::vector<std::string>{"port 7"});
}

TEST_F(PropertiesTest, EndOfFileTimeIntervalReadsTheTimersInterval) {
  form_.SetEndOfFileTimeInterval(2500);
  EXPECT_EQ(form_.EndOfFileTimeInterval(), 2500);
  // Beyond the timer's range the timer runs at its largest interval.
  for (int32_t above : {65536, INT32_MAX}) {
    form_.SetEndOfFileTimeInterval(2500);
    EXPECT_EQ(ErrorOf([&] { form_.SetEndOfFileTimeInterval(above); }), 0);
    EXPECT_EQ(form_.EndOfFileTimeInterval(), 65535) << above;
  }
}

TEST_F(PropertiesTest, WritingTheIntervalWhileGatheringStopsTheCountdownUntilTheNextReceipt) {
  Start();
  port_.Receive("  PROCESS ALARM JOURNAL\r\n");
  loop_.AdvanceMs(1000);
  form_.SetEndOfFileTimeInterval(1000);
  loop_.AdvanceMs(60000);
  EXPECT_TRUE(Reports().empty());
  port_.Receive("  TAG\r\n");
  loop_.AdvanceMs(999);
  EXPECT_TRUE(Reports().empty());
  loop_.AdvanceMs(1);
  EXPECT_EQ(Reports().size(), 1u);
}

TEST_F(PropertiesTest, CommPortOnAClosedPortOnlyChangesTheNumber) {
  form_.SetCommPort(2);
  EXPECT_EQ(form_.CommPort(), 2);
  EXPECT_FALSE(port_.PortOpen());
  EXPECT_EQ(port_.history(), std::vector<std::string>{"port 2"});
}

TEST_F(PropertiesTest, CommPortOnAnOpenPortClosesSetsAndReopens) {
  port_.SetPortOpen(true);
  form_.SetCommPort(3);
  EXPECT_EQ(port_.history(), (std::vector<std::string>{"open", "close", "port 3", "open"}));
}

TEST_F(PropertiesTest, CommPortAbove16BitsOnAnOpenPortLeavesItClosedWithOverflow) {
  port_.SetPortOpen(true);
  EXPECT_EQ(ErrorOf([&] { form_.SetCommPort(40000); }), kErrOverflow);
  EXPECT_FALSE(port_.PortOpen());
  EXPECT_EQ(form_.CommPort(), 1);
  form_.SetCommPort(32767);
  EXPECT_EQ(form_.CommPort(), 32767);
}

TEST_F(PropertiesTest, CommSettingsOnAnOpenPortClosesSetsAndReopens) {
  port_.SetPortOpen(true);
  form_.SetCommSettings("19200,e,7,2");
  EXPECT_EQ(form_.CommSettings(), "19200,e,7,2");
  EXPECT_EQ(port_.history(),
            (std::vector<std::string>{"open", "close", "settings 19200,e,7,2", "open"}));
}

TEST_F(PropertiesTest, CommSettingsOnAClosedPortOnlySetsThem) {
  form_.SetCommSettings("4800,n,8,1");
  EXPECT_EQ(port_.history(), std::vector<std::string>{"settings 4800,n,8,1"});
}

TEST_F(PropertiesTest, RefusedCommSettingsLeaveThePortClosedAndPassTheError) {
  port_.SetPortOpen(true);
  port_.FailSettings(InvalidPropertyValue());
  EXPECT_EQ(ErrorOf([&] { form_.SetCommSettings("fast"); }), kErrInvalidPropertyValue);
  EXPECT_FALSE(port_.PortOpen());
  EXPECT_EQ(form_.CommSettings(), "9600,n,8,1");
}

TEST_F(PropertiesTest, AReopenThatFailsPassesTheErrorAndTheCaptureKeepsItsText) {
  Start();
  port_.Receive("  PROCESS ALARM JOURNAL\r\n");
  port_.FailOpen(NumberedError(kErrPortBusy, "Port cannot be opened"));
  EXPECT_EQ(ErrorOf([&] { form_.SetCommPort(2); }), kErrPortBusy);
  EXPECT_FALSE(port_.PortOpen());
  loop_.AdvanceMs(2500);
  EXPECT_EQ(Reports().size(), 1u);
}

}  // namespace
