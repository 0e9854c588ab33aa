#include "platform/win32/event_loop-win32.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <utility>

namespace {

constexpr char kWindowClass[] = "QuellorServiceWindow";

void RegisterWindowClass(WNDPROC window_proc) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = window_proc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  // Every loop of the process shares the class.
  if (RegisterClassA(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "RegisterClassA");
  }
}

HWND MakeWindow(HWND parent, void* loop) {
  return CreateWindowExA(0, kWindowClass, "Quellor Service", parent ? 0 : WS_OVERLAPPEDWINDOW,
                         CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, parent, nullptr,
                         GetModuleHandleA(nullptr), loop);
}

}  // namespace

Win32EventLoop::Win32EventLoop() {
  posted_event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (posted_event_ == nullptr) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "CreateEventA");
  }
  CreateLoopWindow();
}

Win32EventLoop::~Win32EventLoop() {
  if (window_ != nullptr) DestroyWindow(window_);
  CloseHandle(posted_event_);
}

void Win32EventLoop::CreateLoopWindow() {
  RegisterWindowClass(WindowProc);
  window_ = MakeWindow(nullptr, this);
  has_desktop_ = window_ != nullptr;
  // Without a desktop a message-only window still carries the messages.
  if (window_ == nullptr) window_ = MakeWindow(HWND_MESSAGE, this);
  if (window_ == nullptr) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "CreateWindowExA");
  }
}

LRESULT CALLBACK Win32EventLoop::WindowProc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* loop = reinterpret_cast<Win32EventLoop*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  LRESULT result = 0;
  if (loop != nullptr && loop->message_handler_ &&
      loop->message_handler_(message, wparam, lparam, &result)) {
    return result;
  }
  // Only the loop's destructor ends the window.
  if (message == WM_CLOSE) return 0;
  return DefWindowProcA(window, message, wparam, lparam);
}

void Win32EventLoop::Post(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(posted_mutex_);
    posted_.push_back(std::move(task));
  }
  SetEvent(posted_event_);
}

void Win32EventLoop::WaitAndDispatch(int64_t timeout_ms) {
  const DWORD wait =
      timeout_ms < 0 ? INFINITE : static_cast<DWORD>(std::min<int64_t>(timeout_ms, 0x7FFFFFFF));
  MsgWaitForMultipleObjectsEx(1, &posted_event_, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  RunPostedTasks();
  DispatchMessages();
}

void Win32EventLoop::RunPostedTasks() {
  while (!quitting()) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(posted_mutex_);
      if (posted_.empty()) return;
      task = std::move(posted_.front());
      posted_.pop_front();
    }
    task();
  }
  // Tasks left behind by a Quit wait for the next Run.
  std::lock_guard<std::mutex> lock(posted_mutex_);
  if (!posted_.empty()) SetEvent(posted_event_);
}

void Win32EventLoop::DispatchMessages() {
  MSG message;
  while (!quitting() && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}
