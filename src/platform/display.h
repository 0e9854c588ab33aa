#ifndef QUELLOR_PLATFORM_DISPLAY_H_
#define QUELLOR_PLATFORM_DISPLAY_H_

#include <functional>
#include <string>

// The main window's visible parts and the program's message boxes.
class Display {
 public:
  virtual ~Display() = default;

  // Shows or hides the main window; hidden until shown.
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;

  // txtReceived: the latest report (the caller cuts it to 25000 characters).
  virtual void ShowReceived(const std::string& text) = 0;
  // txtBytesReceived: the count of characters gathered, in decimal.
  virtual void ShowBytesReceived(const std::string& text) = 0;
  // StatusBar1's two panels, numbered as the window numbers them.
  static constexpr int kClockPanel = 1;
  static constexpr int kReportPanel = 2;  // the latest-report message
  // Sets the text of kClockPanel or kReportPanel.
  virtual void SetStatusPanel(int panel, const std::string& text) = 0;

  // A message box with only an OK button; returns when it is answered.
  virtual void ShowMessage(const std::string& text) = 0;

  // Raised on the loop thread when a person closes the visible window.
  virtual void SetOnClose(std::function<void()> handler) = 0;
};

#endif  // QUELLOR_PLATFORM_DISPLAY_H_
