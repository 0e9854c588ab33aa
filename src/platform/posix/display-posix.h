#ifndef QUELLOR_PLATFORM_POSIX_DISPLAY_POSIX_H_
#define QUELLOR_PLATFORM_POSIX_DISPLAY_POSIX_H_

#include <functional>
#include <string>

#include "platform/display.h"

// The main window without a window system. Message boxes are one line on
// standard output. When made visible while standard output is a terminal, it
// prints a plain view there: each report as it is shown and the
// latest-report message; the clock and the character count are left out, as
// they would flood the terminal. A terminal has no window to close: the user
// stops the program with Ctrl-C (a stop request) instead.
class PosixDisplay : public Display {
 public:
  void SetVisible(bool visible) override;
  bool Visible() const override { return visible_; }
  void ShowReceived(const std::string& text) override;
  void ShowBytesReceived(const std::string&) override {}
  void SetStatusPanel(int panel, const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void SetOnClose(std::function<void()>) override {}

 private:
  // True when the view is shown: visible and standard output a terminal.
  bool Showing() const;

  bool visible_ = false;
};

#endif  // QUELLOR_PLATFORM_POSIX_DISPLAY_POSIX_H_
