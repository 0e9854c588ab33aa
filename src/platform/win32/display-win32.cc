#include "platform/win32/display-win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kCaption[] = "QuellorService";
constexpr int kLabelHeight = 24;
constexpr int kCaptionWidth = 110;
constexpr int kFrameMargin = 8;
constexpr int kFrameCaptionHeight = 18;

// The environment switch that leaves message boxes out (tests).
bool MessageBoxesOff() {
  const char* value = std::getenv("QUELLOR_NO_MSGBOX");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

bool HasStandardOutput() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  return output != nullptr && output != INVALID_HANDLE_VALUE;
}

HWND MakeChild(HWND parent, int id, const char* window_class, const char* text, DWORD style,
               HGDIOBJ font) {
  const HWND child = CreateWindowExA(0, window_class, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0,
                                     0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     GetModuleHandleA(nullptr), nullptr);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return child;
}

}  // namespace

Win32Display::Win32Display(Win32EventLoop& loop) : loop_(loop) {
  loop_.SetMessageHandler([this](UINT message, WPARAM, LPARAM lparam, LRESULT* result) {
    return HandleMessage(message, lparam, result);
  });
}

Win32Display::~Win32Display() { loop_.SetMessageHandler(nullptr); }

bool Win32Display::HandleMessage(UINT message, LPARAM lparam, LRESULT* result) {
  *result = 0;
  if (message == WM_SIZE) {
    Layout(LOWORD(lparam), HIWORD(lparam));
    return true;
  }
  if (message == WM_CLOSE) {
    // A person closed the window: the program decides what follows.
    if (on_close_) on_close_();
    return true;
  }
  return false;
}

void Win32Display::SetVisible(bool visible) {
  visible_ = visible;
  if (!loop_.has_desktop()) return;
  if (visible && text_box_ == nullptr) CreateParts();
  ShowWindow(loop_.window(), visible ? SW_SHOW : SW_HIDE);
}

void Win32Display::CreateParts() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  const HWND window = loop_.window();
  const HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  caption_ = MakeChild(window, kLabel1, "STATIC", "Bytes Received:", SS_LEFT, font);
  count_ = MakeChild(window, kBytesReceived, "STATIC", "", SS_LEFT, font);
  frame_ = MakeChild(window, kFrame, "BUTTON", "Latest File ", BS_GROUPBOX, font);
  text_box_ = MakeChild(window, kReceived, "EDIT", "",
                        WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                            ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                        GetStockObject(ANSI_FIXED_FONT));
  status_bar_ = MakeChild(window, kStatusBar, STATUSCLASSNAMEA, "", SBARS_SIZEGRIP, font);
  // An edit box holds 30000 characters unless told more; reports are cut
  // at 25000, which fits, but the limit costs nothing.
  SendMessageA(text_box_, EM_SETLIMITTEXT, 0, 0);
  RECT client;
  GetClientRect(window, &client);
  Layout(client.right, client.bottom);
  SetWindowTextA(count_, bytes_received_.c_str());
  SetWindowTextA(text_box_, received_.c_str());
  for (int panel : {kClockPanel, kReportPanel}) SetStatusPanel(panel, panels_[panel - 1]);
}

void Win32Display::Layout(int width, int height) {
  if (text_box_ == nullptr) return;
  SendMessageA(status_bar_, WM_SIZE, 0, 0);  // the bar sizes itself along the bottom
  RECT bar;
  GetWindowRect(status_bar_, &bar);
  const int bar_height = bar.bottom - bar.top;
  const int parts[2] = {width / 3, -1};
  SendMessageA(status_bar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  MoveWindow(caption_, 4, 4, kCaptionWidth, kLabelHeight - 6, TRUE);
  MoveWindow(count_, kCaptionWidth + 8, 4, std::max(0, width - kCaptionWidth - 12),
             kLabelHeight - 6, TRUE);
  const int frame_height = std::max(0, height - kLabelHeight - bar_height - 2);
  MoveWindow(frame_, 2, kLabelHeight, std::max(0, width - 4), frame_height, TRUE);
  MoveWindow(text_box_, 2 + kFrameMargin, kLabelHeight + kFrameCaptionHeight,
             std::max(0, width - 4 - 2 * kFrameMargin),
             std::max(0, frame_height - kFrameCaptionHeight - kFrameMargin), TRUE);
}

void Win32Display::ShowReceived(const std::string& text) {
  received_ = text;
  if (text_box_ != nullptr) SetWindowTextA(text_box_, received_.c_str());
}

void Win32Display::ShowBytesReceived(const std::string& text) {
  bytes_received_ = text;
  if (count_ != nullptr) SetWindowTextA(count_, bytes_received_.c_str());
}

void Win32Display::SetStatusPanel(int panel, const std::string& text) {
  if (panel != kClockPanel && panel != kReportPanel) return;
  panels_[panel - 1] = text;
  if (status_bar_ != nullptr) {
    SendMessageA(status_bar_, SB_SETTEXTA, panel - 1, reinterpret_cast<LPARAM>(text.c_str()));
  }
}

void Win32Display::ShowMessage(const std::string& text) {
  if (HasStandardOutput()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  if (MessageBoxesOff()) return;
  MessageBoxA(visible_ && loop_.has_desktop() ? loop_.window() : nullptr, text.c_str(), kCaption,
              MB_OK | MB_SETFOREGROUND);
}
