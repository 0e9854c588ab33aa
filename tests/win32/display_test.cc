#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

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
  display.SetStatusPanel(Display::kClockPanel, "07 Dec 2024  12:00:05");
  display.SetStatusPanel(Display::kReportPanel, "Report 'X' received");
  SendMessageA(loop.window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(IsWindow(loop.window()));  // the program decides what follows
  display.SetVisible(false);
  EXPECT_FALSE(display.Visible());
}

// The text of the window's child with the given id.
std::string ChildText(HWND window, int id) {
  char text[256] = {};
  GetDlgItemTextA(window, id, text, sizeof text);
  return text;
}

// Handles the loop's window messages for a while, so that it paints.
void Pump(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// When QUELLOR_TEST_SHOT names a file (window_test.sh under Xvfb), creates it
// once the window is painted and keeps painting until the script has taken
// its screenshot and removed the file again.
void HoldForScreenshot() {
  const char* shot = std::getenv("QUELLOR_TEST_SHOT");
  if (shot == nullptr || *shot == '\0') return;
  Pump(std::chrono::milliseconds(500));
  CloseHandle(CreateFileA(shot, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  for (int i = 0; i < 300 && GetFileAttributesA(shot) != INVALID_FILE_ATTRIBUTES; ++i) {
    Pump(std::chrono::milliseconds(100));
  }
}

TEST_F(Win32DisplayTest, WindowShowsItsCaptionsCountFrameAndPanels) {
  Win32EventLoop loop;
  if (!loop.has_desktop()) GTEST_SKIP() << "no desktop";
  Win32Display display(loop);
  display.SetVisible(true);
  const HWND window = loop.window();
  EXPECT_EQ(ChildText(window, Win32Display::kLabel1), "Bytes Received:");
  EXPECT_EQ(ChildText(window, Win32Display::kBytesReceived), "0");
  EXPECT_EQ(ChildText(window, Win32Display::kFrame), "Latest File ");
  display.ShowReceived("PROCESS ALARM JOURNAL        PAGE 1\r\n  FIC101 HIGH ALARM\r\n");
  display.ShowBytesReceived("59");
  display.SetStatusPanel(Display::kClockPanel, "07 Dec 2024  12:00:05");
  display.SetStatusPanel(Display::kReportPanel,
                         "Report 'ProcessAlarmJournal' received  07 Dec 2024  12:00:05");
  EXPECT_EQ(ChildText(window, Win32Display::kBytesReceived), "59");
  EXPECT_EQ(ChildText(window, Win32Display::kReceived).substr(0, 21), "PROCESS ALARM JOURNAL");
  const HWND bar = GetDlgItem(window, Win32Display::kStatusBar);
  EXPECT_EQ(SendMessageA(bar, SB_GETPARTS, 0, 0), 2);
  char panel[128] = {};
  SendMessageA(bar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(panel));
  EXPECT_STREQ(panel, "07 Dec 2024  12:00:05");
  LOGFONTA font = {};
  GetObjectA(reinterpret_cast<HFONT>(
                 SendDlgItemMessageA(window, Win32Display::kReceived, WM_GETFONT, 0, 0)),
             sizeof font, &font);
  EXPECT_EQ(font.lfPitchAndFamily & 3, FIXED_PITCH);
  HoldForScreenshot();
}

}  // namespace
