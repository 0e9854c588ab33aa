#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/win32/display-win32.h"

namespace {

class Win32DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override { _putenv_s("QUELLOR_NO_MSGBOX", "1"); }
  void TearDown() override { _putenv_s("QUELLOR_NO_MSGBOX", ""); }
};

TEST_F(Win32DisplayTest, MessageTextIsOneLineOnStandardOutput) {
  Win32EventLoop loop;
  Win32Display display(loop);
  testing::internal::CaptureStdout();
  display.ShowMessage("Quellor Service installed successfully");
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(output == "Quellor Service installed successfully\n" ||
              output == "Quellor Service installed successfully\r\n")
      << output;
}

TEST_F(Win32DisplayTest, ClosingTheWindowRaisesOnClose) {
  Win32EventLoop loop;
  Win32Display display(loop);
  int closes = 0;
  display.SetOnClose([&] { ++closes; });
  display.SetVisible(true);
  EXPECT_TRUE(display.Visible());
  display.ShowReceived("REPORT\r\nLINE\r\n");
  display.ShowBytesReceived("14");
  display.SetStatusPanel(1, "07 Dec 2024  12:00:05");
  display.SetStatusPanel(2, "Report 'X' received");
  SendMessageA(loop.window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(IsWindow(loop.window()));  // the program decides what follows
  display.SetVisible(false);
  EXPECT_FALSE(display.Visible());
}

}  // namespace
