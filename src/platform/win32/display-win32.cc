#include "platform/win32/display-win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kCaption[] = "QuellorService";
constexpr int kLabelHeight = 20;

// The environment switch that leaves message boxes out (tests).
bool MessageBoxesOff() {
  const char* value = std::getenv("QUELLOR_NO_MSGBOX");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

bool HasStandardOutput() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  return output != nullptr && output != INVALID_HANDLE_VALUE;
}

HWND MakeChild(HWND parent, const char* window_class, DWORD style) {
  return CreateWindowExA(0, window_class, "", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                         nullptr, GetModuleHandleA(nullptr), nullptr);
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
  label_ = MakeChild(window, "STATIC", SS_LEFT);
  text_box_ = MakeChild(window, "EDIT",
                        WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                            ES_AUTOVSCROLL | ES_AUTOHSCROLL);
  status_bar_ = MakeChild(window, STATUSCLASSNAMEA, SBARS_SIZEGRIP);
  SendMessageA(text_box_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)),
               TRUE);
  // An edit box holds 30000 characters unless told more; reports are cut
  // at 25000, which fits, but the limit costs nothing.
  SendMessageA(text_box_, EM_SETLIMITTEXT, 0, 0);
  RECT client;
  GetClientRect(window, &client);
  Layout(client.right, client.bottom);
  SetWindowTextA(label_, bytes_received_.c_str());
  SetWindowTextA(text_box_, received_.c_str());
  for (int panel = 1; panel <= 2; ++panel) SetStatusPanel(panel, panels_[panel - 1]);
}

void Win32Display::Layout(int width, int height) {
  if (text_box_ == nullptr) return;
  SendMessageA(status_bar_, WM_SIZE, 0, 0);  // the bar sizes itself along the bottom
  RECT bar;
  GetWindowRect(status_bar_, &bar);
  const int bar_height = bar.bottom - bar.top;
  const int parts[2] = {width / 3, -1};
  SendMessageA(status_bar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  MoveWindow(label_, 4, 2, width - 8, kLabelHeight - 4, TRUE);
  MoveWindow(text_box_, 0, kLabelHeight, width, std::max(0, height - kLabelHeight - bar_height),
             TRUE);
}

void Win32Display::ShowReceived(const std::string& text) {
  received_ = text;
  if (text_box_ != nullptr) SetWindowTextA(text_box_, received_.c_str());
}

void Win32Display::ShowBytesReceived(const std::string& text) {
  bytes_received_ = text;
  if (label_ != nullptr) SetWindowTextA(label_, bytes_received_.c_str());
}

void Win32Display::SetStatusPanel(int panel, const std::string& text) {
  if (panel < 1 || panel > 2) return;
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
