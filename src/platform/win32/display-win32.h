#ifndef QUELLOR_PLATFORM_WIN32_DISPLAY_WIN32_H_
#define QUELLOR_PLATFORM_WIN32_DISPLAY_WIN32_H_

#include <windows.h>

#include <functional>
#include <string>

#include "platform/display.h"
#include "platform/win32/event_loop-win32.h"

// The main window's visible parts on the loop's window: the caption Label1
// "Bytes Received:" and the count beside it ("0" until the first receipt), a
// frame captioned "Latest File " around a read-only multi-line box in a
// fixed-pitch font for the latest report, and a two-panel status bar. They
// are made the first time the window is shown, with the child window ids
// below; without a desktop nothing can be shown and only the texts are kept.
//
// ShowMessage writes the text as one line to standard output when the
// process has one, then shows a message box with an OK button. Setting the
// environment variable QUELLOR_NO_MSGBOX to 1 leaves the box out, so that
// tests read the text without a person to answer it.
class Win32Display : public Display {
 public:
  enum ChildId { kLabel1 = 101, kBytesReceived, kFrame, kReceived, kStatusBar };

  explicit Win32Display(Win32EventLoop& loop);
  ~Win32Display() override;
  Win32Display(const Win32Display&) = delete;
  Win32Display& operator=(const Win32Display&) = delete;

  void SetVisible(bool visible) override;
  bool Visible() const override { return visible_; }
  void ShowReceived(const std::string& text) override;
  void ShowBytesReceived(const std::string& text) override;
  void SetStatusPanel(int panel, const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void SetOnClose(std::function<void()> handler) override { on_close_ = std::move(handler); }

 private:
  bool HandleMessage(UINT message, LPARAM lparam, LRESULT* result);
  void CreateParts();
  void Layout(int width, int height);

  Win32EventLoop& loop_;
  bool visible_ = false;
  std::function<void()> on_close_;

  // The latest texts, also for parts made later.
  std::string received_;
  std::string bytes_received_ = "0";
  std::string panels_[2];

  HWND caption_ = nullptr;
  HWND count_ = nullptr;
  HWND frame_ = nullptr;
  HWND text_box_ = nullptr;
  HWND status_bar_ = nullptr;
};

#endif  // QUELLOR_PLATFORM_WIN32_DISPLAY_WIN32_H_
