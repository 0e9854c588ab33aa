#include "platform/posix/display-posix.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

void PrintLine(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

void PosixDisplay::SetVisible(bool visible) {
  visible_ = visible;
  if (Showing()) PrintLine("Quellor Service: showing received reports (Ctrl-C stops)");
}

void PosixDisplay::ShowReceived(const std::string& text) {
  if (!Showing()) return;
  PrintLine(std::string(72, '-'));
  // Reports carry CR LF line ends; a terminal wants LF only.
  std::string view;
  view.reserve(text.size());
  for (char c : text) {
    if (c != '\r') view += c;
  }
  PrintLine(view);
}

void PosixDisplay::SetStatusPanel(int panel, const std::string& text) {
  if (panel == kReportPanel && Showing()) PrintLine(text);
}

void PosixDisplay::ShowMessage(const std::string& text) { PrintLine(text); }

bool PosixDisplay::Showing() const { return visible_ && isatty(STDOUT_FILENO); }
