// The built executable, run from a temporary program folder, capturing from a
// pseudo-terminal and driven by signals as systemd would drive it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_folder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr auto kPatience = std::chrono::seconds(20);

// A journal as the control system prints it: title line, body, form feed.
std::string Journal(const std::string& title, int number) {
  std::string text = "\r\n  " + title + "        PAGE 1\r\n";
  for (int i = 0; i < 5; ++i) {
    text +=
        " 12:00:0" + std::to_string(i) + "  TAG" + std::to_string(number) + " VALUE < LIMIT\r\n";
  }
  return text + "\f";
}

class ServiceE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(QUELLOR_EXE, exe_);
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    slave_ = ptsname(master_);
    fs::create_directory(reports_);
  }

  void TearDown() override {
    for (pid_t pid : running_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    close(master_);
  }

  void WriteSettings(const std::string& keys) {
    WriteBytes(program_ / "QuellorService.ini",
               "[Quellor Service]\r\nDataFolder=" + reports_ + "\r\n" + keys);
  }
  // Settings for capturing from the pty with a short silence.
  void WritePtySettings(int interval_ms) {
    WriteSettings("EndOfFileTimeInterval=" + std::to_string(interval_ms) +
                  "\r\nCommDevice=" + slave_ + "\r\n");
  }

  // Starts the program with stdin from /dev/null and its output in a file.
  pid_t Start(const Lines& arguments, const Lines& environment = {}) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args = {exe_};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = environment;
    for (char** e = environ; *e != nullptr; ++e) {
      // Never let a test run talk to a service manager.
      if (std::string(*e).starts_with("NOTIFY_SOCKET=")) continue;
      env.push_back(*e);
    }
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, exe_.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    running_.insert(pid);
    return pid;
  }

  // Runs a command-line action to its end: its exit code.
  int RunToEnd(const Lines& arguments, const Lines& environment = {}) {
    return ExitStatus(Start(arguments, environment));
  }

  // The exit code, or 128 + signal; -1 when it did not end in time.
  int ExitStatus(pid_t pid) {
    int status = 0;
    if (!WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; })) return -1;
    running_.erase(pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  bool Running(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

  static bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  // True once the process holds the pty's device open.
  bool HoldsPty(pid_t pid) const {
    std::error_code ignored;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored)) {
      if (fs::read_symlink(fd.path(), ignored) == slave_) return true;
    }
    return false;
  }

  void Print(const std::string& text) {
    ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  // The log's messages without their time stamps.
  Lines LogLines() const {
    Lines lines;
    const std::string log = ReadBytes(program_ / "QuellorService.log");
    constexpr size_t kStampLength = sizeof("24-Jan-2005 19:50:34  ") - 1;
    for (size_t start = 0; start < log.size();) {
      const size_t end = log.find("\r\n", start);
      if (end == std::string::npos) break;
      lines.push_back(log.substr(start + kStampLength, end - start - kStampLength));
      start = end + 2;
    }
    return lines;
  }
  bool Logged(const std::string& message) const {
    const Lines lines = LogLines();
    return std::find(lines.begin(), lines.end(), message) != lines.end();
  }

  // Report files under the data folder with the given extension (dir.xml
  // aside), by file name.
  std::set<std::string> Reports(const std::string& extension) const {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(reports_)) {
      const std::string name = entry.path().filename().string();
      if (entry.path().extension() == extension && name != "dir.xml") names.insert(name);
    }
    return names;
  }

  // The File entries of every month's index.
  std::set<std::string> Indexed() const {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(reports_)) {
      if (entry.path().filename() != "dir.xml") continue;
      pugi::xml_document index;
      EXPECT_TRUE(index.load_file(entry.path().c_str())) << entry.path();
      for (const auto& report : index.document_element().children("Report")) {
        files.insert(report.child_value("File"));
      }
    }
    return files;
  }

  std::string Output() const { return ReadBytes(output_); }

  TempFolder program_;
  const std::string exe_ = program_ / "QuellorService";
  const std::string reports_ = program_ / "reports";
  const std::string output_ = program_ / "output.txt";
  int master_ = -1;
  std::string slave_;
  std::set<pid_t> running_;
};

TEST_F(ServiceE2eTest, SessionFilesEveryReportAndAnswersEveryRequest) {
  WritePtySettings(600);
  const pid_t pid = Start({});
  ASSERT_TRUE(WaitFor([&] { return HoldsPty(pid); }));

  Print(Journal("PROCESS ALARM JOURNAL", 1));
  ASSERT_TRUE(WaitFor([&] { return Reports(".xml").size() == 1; }));

  // Paused, it goes on capturing.
  kill(pid, SIGTSTP);
  ASSERT_TRUE(WaitFor([&] { return Logged("Service paused"); }));
  Print(Journal("SYSTEM ERROR JOURNAL", 2));
  ASSERT_TRUE(WaitFor([&] { return Reports(".xml").size() == 2; }));
  EXPECT_TRUE(Running(pid));

  kill(pid, SIGCONT);
  ASSERT_TRUE(WaitFor([&] { return Logged("Service Continued"); }));
  kill(pid, SIGRTMIN + 5);
  ASSERT_TRUE(WaitFor([&] { return Logged("Control: 133"); }));

  // Stopped while a report is still being gathered: it is filed all the same.
  Print(Journal("OPERATOR MESSAGE JOURNAL", 3));
  kill(pid, SIGTERM);
  EXPECT_EQ(ExitStatus(pid), 0);

  EXPECT_EQ(LogLines(), (Lines{"Quellor Service started", "Service paused", "Service Continued",
                               "Control: 133", "Service stopped"}));
  const std::set<std::string> xml = Reports(".xml");
  ASSERT_EQ(xml.size(), 3u);
  EXPECT_EQ(Reports(".htm").size(), 3u);
  EXPECT_EQ(Indexed(), xml);
  Lines names;
  for (const auto& name : xml) names.push_back(name.substr(0, name.find('_')));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Lines{"OperatorMessageJournal", "ProcessAlarmJournal", "SystemErrorJournal"}));
}

TEST_F(ServiceE2eTest, StopRightAfterStartEndsCleanly) {
  WritePtySettings(600);
  const pid_t pid = Start({"-debug"});
  ASSERT_TRUE(WaitFor([&] { return HoldsPty(pid); }));
  kill(pid, SIGINT);
  EXPECT_EQ(ExitStatus(pid), 0);
  EXPECT_EQ(LogLines(), (Lines{"Quellor Service started", "Service stopped"}));
  EXPECT_TRUE(Reports(".xml").empty());
}

// Readiness and stopping reach systemd through $NOTIFY_SOCKET.
TEST_F(ServiceE2eTest, TellsTheServiceManagerWhenReadyAndStopping) {
  const int manager = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  ASSERT_GE(manager, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  const std::string path = program_ / "notify";
  ASSERT_LT(path.size(), sizeof(address.sun_path));
  path.copy(address.sun_path, path.size());
  ASSERT_EQ(bind(manager, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  std::string received;
  const auto heard = [&](const std::string& state) {
    char message[512];
    for (ssize_t n; (n = recv(manager, message, sizeof message, 0)) > 0;) {
      received.append(message, static_cast<size_t>(n)).append("\n");
    }
    return received.find(state) != std::string::npos;
  };

  WritePtySettings(600);
  const pid_t pid = Start({}, {"NOTIFY_SOCKET=" + path});
  EXPECT_TRUE(WaitFor([&] { return heard("READY=1"); })) << received;
  EXPECT_FALSE(heard("STOPPING=1"));
  // systemd stops a service with SIGTERM and, right after it, SIGCONT: the
  // stop has the last word, and no continue is logged with it.
  kill(pid, SIGTERM);
  kill(pid, SIGCONT);
  EXPECT_EQ(ExitStatus(pid), 0);
  EXPECT_TRUE(heard("STOPPING=1")) << received;
  EXPECT_EQ(LogLines(), (Lines{"Quellor Service started", "Service stopped"}));
  close(manager);
}

TEST_F(ServiceE2eTest, InstallAndUninstallUseTheUnitFolder) {
  const std::string units = program_ / "units";
  fs::create_directory(units);
  const Lines environment = {"QUELLOR_SYSTEMD_DIR=" + units};

  EXPECT_EQ(RunToEnd({"-install"}, environment), 0);
  EXPECT_EQ(Output(), "Quellor Service installed successfully\n");
  const std::string unit = ReadBytes(units + "/quellor.service");
  for (const std::string& line :
       Lines{"Type=notify", "Restart=on-failure", "ExecStart=\"" + exe_ + "\"",
             "WantedBy=multi-user.target"}) {
    EXPECT_NE(unit.find("\n" + line + "\n"), std::string::npos) << line << " in\n" << unit;
  }
  const std::string parameters = ReadBytes(units + "/quellor.service.d/parameters.conf");
  EXPECT_NE(parameters.find("[X-Parameters]\nTimerInterval=10000\n"), std::string::npos)
      << parameters;

  EXPECT_EQ(RunToEnd({"-uninstall"}, environment), 0);
  EXPECT_EQ(Output(), "Quellor Service uninstalled successfully\n");
  EXPECT_FALSE(fs::exists(units + "/quellor.service"));
  EXPECT_FALSE(fs::exists(units + "/quellor.service.d"));

  EXPECT_NE(RunToEnd({"-uninstall"}, environment), 0);
  EXPECT_EQ(Output(), "Quellor Service failed to uninstall\n");
  EXPECT_NE(RunToEnd({"-install"}, {"QUELLOR_SYSTEMD_DIR=" + units + "/missing"}), 0);
  EXPECT_EQ(Output(), "Quellor Service failed to install\n");

  EXPECT_FALSE(fs::exists(program_ / "QuellorService.log"));
}

TEST_F(ServiceE2eTest, OtherOptionsAreRefused) {
  for (const Lines& arguments : {Lines{"-INSTALL"}, Lines{"-install", "now"}, Lines{"debug"}}) {
    EXPECT_EQ(RunToEnd(arguments), 2) << arguments[0];
    EXPECT_EQ(Output(), "Invalid command option\n") << arguments[0];
  }
  EXPECT_FALSE(fs::exists(program_ / "QuellorService.log"));
}

// Before the service was started: the process ends with a failure.
TEST_F(ServiceE2eTest, StartupErrorIsLoggedAndTheProcessEndsWithAFailure) {
  WriteSettings("CommPort=40000\r\n");
  const pid_t pid = Start({});
  EXPECT_EQ(ExitStatus(pid), 1);
  EXPECT_EQ(LogLines(), (Lines{"Quellor Service started", "Initialisation: [6] Overflow"}));
}

TEST_F(ServiceE2eTest, MissingPortLeavesARunningServiceThatStops) {
  WriteSettings("CommDevice=" + (program_ / "no-such-tty") + "\r\n");
  const pid_t pid = Start({});
  ASSERT_TRUE(WaitFor([&] { return LogLines().size() == 2; }));
  const Lines lines = LogLines();
  EXPECT_EQ(lines[0], "Quellor Service started");
  EXPECT_TRUE(lines[1].starts_with("Initialisation: [")) << lines[1];
  EXPECT_TRUE(Running(pid));

  kill(pid, SIGTERM);
  EXPECT_EQ(ExitStatus(pid), 0);
  EXPECT_EQ(LogLines().back(), "Service stopped");
  EXPECT_EQ(LogLines().size(), 3u);
}

}  // namespace
