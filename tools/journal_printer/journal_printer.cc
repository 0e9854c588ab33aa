// journal_printer: plays journal print-outs into a tty as a control system's
// printer port would, one after another with a silence between them.
//
// Its usage is kUsage below.

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "sample_list.h"

namespace {

constexpr char kUsage[] =
    "usage: journal_printer [--tty PATH] [--pause-ms N] [--cps N] [--delay-ms N]\n"
    "                       [--hold-ms N] [--repeat N] [--list] [--help] [FILE...]\n"
    "\n"
    "Plays journal print-outs (FILEs, else the built-in samples) into a tty as a\n"
    "control system's printer port would, one after another with a silence between.\n"
    "\n"
    "  --tty PATH     the tty to print to; without it a pseudo-terminal pair is opened,\n"
    "                 the slave's path printed, and printing starts when a line\n"
    "                 arrives on standard input (or after --delay-ms)\n"
    "  --pause-ms N   silence between journals (5000)\n"
    "  --cps N        characters per second, 0 = at once (960: 9600 baud, 8N1)\n"
    "  --delay-ms N   wait before the first journal instead of reading a line\n"
    "  --hold-ms N    keep the own pseudo-terminal open after the last one (5000)\n"
    "  --repeat N     play the journals N times (1)\n"
    "  --list         name the built-in samples and end\n"
    "  --help         show this text and end\n";

struct Options {
  std::string tty;
  long pause_ms = 5000;
  long cps = 960;  // 9600 baud, 8N1
  long delay_ms = -1;
  long hold_ms = 5000;
  long repeat = 1;
  bool list = false;
  std::vector<std::string> files;
};

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "journal_printer: " << message << "\n";
  std::exit(2);
}

long Number(const std::string& option, const char* text) {
  char* end = nullptr;
  errno = 0;
  const long value = text ? std::strtol(text, &end, 10) : -1;
  if (!text || *text == '\0' || *end != '\0' || errno != 0 || value < 0) {
    Fail(option + " takes a number of 0 or more");
  }
  return value;
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  const std::map<std::string, long*> numbers = {{"--pause-ms", &options.pause_ms},
                                                {"--cps", &options.cps},
                                                {"--delay-ms", &options.delay_ms},
                                                {"--hold-ms", &options.hold_ms},
                                                {"--repeat", &options.repeat}};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (auto it = numbers.find(arg); it != numbers.end()) {
      *it->second = Number(arg, i + 1 < argc ? argv[++i] : nullptr);
    } else if (arg == "--tty") {
      if (i + 1 >= argc) Fail("--tty takes a path");
      options.tty = argv[++i];
    } else if (arg == "--help") {
      std::cout << kUsage;
      std::exit(0);
    } else if (arg == "--list") {
      options.list = true;
    } else if (arg.starts_with("--")) {
      Fail("unknown option " + arg + " (--help shows the usage)");
    } else {
      options.files.push_back(arg);
    }
  }
  return options;
}

std::vector<Sample> LoadReports(const std::vector<std::string>& files) {
  if (files.empty()) return EmbeddedSamples();
  std::vector<Sample> reports;
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    if (!in) Fail("cannot read " + file);
    reports.push_back({file, std::string(std::istreambuf_iterator<char>(in), {})});
  }
  return reports;
}

// Raw mode, so that the bytes reach the reader as they are in the files.
void MakeRaw(int fd) {
  termios mode;
  if (tcgetattr(fd, &mode) != 0) return;  // not a tty: a plain file or pipe
  cfmakeraw(&mode);
  tcsetattr(fd, TCSANOW, &mode);
}

int OpenPty() {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    Fail(std::string("no pseudo-terminal: ") + std::strerror(errno));
  }
  MakeRaw(master);  // on Linux this sets the slave's mode
  std::cout << ptsname(master) << std::endl;
  return master;
}

void WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) Fail(std::string("write failed: ") + std::strerror(errno));
    data += written;
    size -= static_cast<size_t>(written);
  }
}

// Writes at cps characters per second, in 10 ms slices; 0 writes at once.
void Print(int fd, const std::string& bytes, long cps) {
  if (cps == 0) return WriteAll(fd, bytes.data(), bytes.size());
  const size_t slice = std::max<size_t>(1, static_cast<size_t>(cps) / 100);
  const auto step = std::chrono::microseconds(1000000L * static_cast<long>(slice) / cps);
  auto next = std::chrono::steady_clock::now();
  for (size_t offset = 0; offset < bytes.size(); offset += slice) {
    WriteAll(fd, bytes.data() + offset, std::min(slice, bytes.size() - offset));
    next += step;
    std::this_thread::sleep_until(next);
  }
}

void Sleep(long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  if (options.list) {
    for (const Sample& sample : EmbeddedSamples()) std::cout << sample.name << "\n";
    return 0;
  }
  const std::vector<Sample> reports = LoadReports(options.files);
  const bool own_pty = options.tty.empty();
  const int fd = own_pty ? OpenPty() : open(options.tty.c_str(), O_WRONLY | O_NOCTTY);
  if (fd < 0) Fail("cannot open " + options.tty + ": " + std::strerror(errno));
  if (!own_pty) MakeRaw(fd);
  if (own_pty && options.delay_ms < 0) {
    std::string start;
    std::getline(std::cin, start);
  }
  Sleep(std::max(0L, options.delay_ms));

  for (long round = 0; round < options.repeat; ++round) {
    for (size_t i = 0; i < reports.size(); ++i) {
      if (round > 0 || i > 0) Sleep(options.pause_ms);
      Print(fd, reports[i].bytes, options.cps);
      std::cerr << "printed " << reports[i].name << " (" << reports[i].bytes.size() << " bytes)\n";
    }
  }
  tcdrain(fd);
  // The reader cuts the last report only after a silence with the line open.
  if (own_pty) Sleep(options.hold_ms);
  close(fd);
  return 0;
}
