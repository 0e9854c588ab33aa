#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/defaults.h"
#include "platform/file_system.h"
#include "support/frm_main_fixture.h"

namespace {

using Lines = std::vector<std::string>;

class FormLoadTest : public FrmMainTest {
 protected:
  // Loads the window with a settings file holding `keys` in its section
  // (DataFolder set to an existing folder unless keys name it).
  void LoadWith(const std::string& keys, const std::string& command_line = "") {
    WriteSettings(keys);
    form_.Form_Load(command_line);
  }

  // A window of its own on fresh fakes (log and folders shared), loaded the
  // same way: for tables of cases.
  struct Window {
    FakeSerialPort port;
    FakeServiceControl service;
    FakeDisplay display;
    std::unique_ptr<frmMain> form;
  };
  std::unique_ptr<Window> LoadFresh(const std::string& keys, const std::string& command_line = "") {
    auto window = std::make_unique<Window>();
    window->form = std::make_unique<frmMain>(
        frmMain::Components{loop_, window->port, window->service, window->display, clock_,
                            program_.path(), program_.path(), "TESTPC"});
    WriteSettings(keys);
    window->form->Form_Load(command_line);
    return window;
  }

  void WriteSettings(const std::string& keys) {
    std::string section = keys;
    if (keys.find("DataFolder=") == std::string::npos) {
      section = "DataFolder=" + data_.path() + "\r\n" + keys;
    }
    WriteBytes(program_ / "QuellorService.ini", "[Quellor Service]\r\n" + section);
  }

  Lines LogLines() const { return ::LogLines(Log()); }

  bool Called(const std::string& call) const {
    const auto& calls = service_.calls();
    return std::find(calls.begin(), calls.end(), call) != calls.end();
  }
};

TEST_F(FormLoadTest, InstallStoresTimerIntervalAndEnds) {
  form_.Form_Load("-install");
  EXPECT_EQ(service_.calls(), (Lines{"Interactive true", "InstallService",
                                     "SaveServiceSetting Parameters TimerInterval 10000"}));
  EXPECT_EQ(display_.messages(), Lines{"Quellor Service installed successfully"});
  EXPECT_TRUE(form_.Ended());
  EXPECT_EQ(form_.ExitCode(), 0);
  EXPECT_EQ(Log(), "");
  EXPECT_TRUE(port_.history().empty());
}

TEST_F(FormLoadTest, FailedInstallStoresNothing) {
  service_.set_install_result(false);
  form_.Form_Load("-install");
  EXPECT_EQ(service_.calls(), (Lines{"Interactive true", "InstallService"}));
  EXPECT_EQ(display_.messages(), Lines{"Quellor Service failed to install"});
  EXPECT_TRUE(form_.Ended());
  EXPECT_NE(form_.ExitCode(), 0);
  EXPECT_EQ(Log(), "");
}

TEST_F(FormLoadTest, UninstallReportsItsOutcome) {
  for (bool result : {true, false}) {
    service_.set_uninstall_result(result);
    FakeDisplay display;
    frmMain form(
        {loop_, port_, service_, display, clock_, program_.path(), program_.path(), "TESTPC"});
    form.Form_Load("-uninstall");
    EXPECT_EQ(display.messages(), Lines{result ? "Quellor Service uninstalled successfully"
                                               : "Quellor Service failed to uninstall"});
    EXPECT_TRUE(form.Ended());
    EXPECT_EQ(form.ExitCode() == 0, result);
  }
  EXPECT_EQ(service_.calls(), (Lines{"UninstallService", "UninstallService"}));
  EXPECT_EQ(Log(), "");
}

TEST_F(FormLoadTest, OtherArgumentsAreRefused) {
  for (const char* argument :
       {"-INSTALL", "install", "-install a b", "-Debug", "-debug x/y", "/uninstall", "-",
        "-instance", "-install a.b", "-install 123456789012345678901234567890123"}) {
    const auto window = LoadFresh("", argument);
    EXPECT_EQ(window->display.messages(), Lines{"Invalid command option"}) << argument;
    EXPECT_TRUE(window->service.calls().empty()) << argument;
    EXPECT_TRUE(window->port.history().empty()) << argument;
    EXPECT_TRUE(window->form->Ended()) << argument;
    EXPECT_NE(window->form->ExitCode(), 0) << argument;
  }
  EXPECT_EQ(Log(), "");
}

TEST_F(FormLoadTest, AnInstanceHasItsOwnServiceAndFiles) {
  const auto installed = LoadFresh("", "-install Unit_2");
  EXPECT_EQ(installed->display.messages(),
            Lines{"Quellor Service (Unit_2) installed successfully"});
  WriteBytes(program_ / "QuellorService_Unit_2.ini", "[Quellor Service]\r\nCommPort=4\r\n");
  const auto running = LoadFresh("CommPort=3\r\n", "-instance Unit_2");
  EXPECT_EQ(running->port.CommPort(), 4);
  EXPECT_EQ(running->form->DataFolder(), program_ / "Data_Unit_2");
}

TEST_F(FormLoadTest, DebugRunsTheWholeStartInDebugMode) {
  LoadWith("", "-debug");
  EXPECT_EQ(service_.calls(), (Lines{"DebugMode true", "AcceptedControls 2", "RunService"}));
  EXPECT_TRUE(port_.PortOpen());
  EXPECT_FALSE(form_.Ended());
}

TEST_F(FormLoadTest, WithoutSettingsFileEveryDefaultApplies) {
  form_.Form_Load("");

  const std::string fallback = JoinPath(program_.path(), "Data");
  EXPECT_EQ(LogLines(),
            (Lines{"INI file not found - defaults will be used", "Quellor Service started",
                   "Directory " + DefaultDataFolder() + " not found. Defaulting to " + fallback}));
  EXPECT_EQ(form_.DataFolder(), fallback);
  EXPECT_EQ(port_.history(), (Lines{"settings 19200,n,8,1", "port 1", "open"}));
  EXPECT_EQ(port_.input_mode(), 0);
  EXPECT_EQ(form_.EndOfFileTimeInterval(), 2500);
  EXPECT_EQ(form_.MinLength(), 12);
  EXPECT_EQ(form_.MaxLength(), 110);
  EXPECT_FALSE(display_.Visible());
  EXPECT_EQ(port_.device_path(), "");
  EXPECT_EQ(service_.calls(), (Lines{"AcceptedControls 2", "RunService"}));
}

TEST_F(FormLoadTest, PerMachineFileIsTheOnlyOneRead) {
  std::filesystem::create_directory(program_ / "machine");
  WriteBytes(program_ / "TESTPC.ini",
             "[Quellor Service]\r\nDataFolder=" + (program_ / "machine") + "\r\n");
  LoadWith("CommPort=5\r\n");
  EXPECT_EQ(form_.DataFolder(), program_ / "machine");
  EXPECT_EQ(port_.CommPort(), 1);
  EXPECT_EQ(LogLines(), Lines{"Quellor Service started"});
}

// A unit may keep the settings and the state apart from the program (the
// Debian package does): each file goes to its own folder.
TEST_F(FormLoadTest, SettingsAndStateFoldersAreTheOnesGiven) {
  const std::string settings = program_ / "etc", state = program_ / "state";
  std::filesystem::create_directory(settings);
  std::filesystem::create_directory(state);
  WriteBytes(JoinPath(settings, "TESTPC.ini"),
             "[Quellor Service]\r\nDataFolder=" + (program_ / "missing") + "\r\nCommPort=3\r\n");
  WriteSettings("CommPort=5\r\n");  // beside the program: not read
  frmMain form({loop_, port_, service_, display_, clock_, settings, state, "TESTPC"});
  form.Form_Load("");
  EXPECT_EQ(port_.CommPort(), 3);
  EXPECT_EQ(form.DataFolder(), JoinPath(state, "Data"));
  EXPECT_TRUE(FolderExists(JoinPath(state, "Data")));
}

TEST_F(FormLoadTest, ConfiguredValuesReachTheirComponents) {
  LoadWith(
      "Settings=9600,e,7,2\r\nEndOfFileTimeInterval=400\r\nCommPort=3\r\n"
      "CommDevice=/dev/pts/7\r\nVisible=Yes\r\n");
  EXPECT_EQ(form_.DataFolder(), data_.path());
  EXPECT_EQ(port_.history(), (Lines{"settings 9600,e,7,2", "port 3", "open"}));
  EXPECT_EQ(port_.device_path(), "/dev/pts/7");
  EXPECT_EQ(form_.EndOfFileTimeInterval(), 400);
  EXPECT_TRUE(display_.Visible());
  EXPECT_EQ(LogLines(), Lines{"Quellor Service started"});
}

TEST_F(FormLoadTest, LineLengthsFollowTheirOwnBounds) {
  struct Case {
    const char* min_text;
    const char* max_text;
    int32_t min;
    int32_t max;
  };
  const Case cases[] = {
      {"0", "200", 1, 160}, {"500", "-5", 500, -5}, {"12.5", "13.5", 12, 14},
      {"abc", "", 12, 110}, {"-40", "160", 1, 160}, {" 7 ", "1e2", 7, 100},
  };
  for (const auto& c : cases) {
    const auto window = LoadFresh("MinimumLineLength=" + std::string(c.min_text) +
                                  "\r\nMaximumLineLength=" + c.max_text + "\r\n");
    EXPECT_EQ(window->form->MinLength(), c.min) << c.min_text;
    EXPECT_EQ(window->form->MaxLength(), c.max) << c.max_text;
  }
}

TEST_F(FormLoadTest, VisibleOnlyForTrueOneOrYes) {
  const std::pair<const char*, bool> cases[] = {{"TRUE", true}, {"Yes", true}, {"1", true},
                                                {"on", false},  {"y", false},  {"2", false},
                                                {"0", false},   {"", false}};
  for (const auto& [text, shown] : cases) {
    const auto window = LoadFresh("Visible=" + std::string(text) + "\r\n");
    EXPECT_EQ(window->display.Visible(), shown) << "'" << text << "'";
  }
}

TEST_F(FormLoadTest, PortNumberAssignedOnlyWhenPositive) {
  const std::pair<const char*, const char*> cases[] = {{"0", nullptr},    {"-3", nullptr},
                                                       {"COM2", nullptr}, {"", nullptr},
                                                       {"2", "port 2"},   {"2.5", "port 2"}};
  for (const auto& [text, entry] : cases) {
    const auto window = LoadFresh("CommPort=" + std::string(text) + "\r\n");
    const auto& history = window->port.history();
    const bool assigned = std::any_of(history.begin(), history.end(),
                                      [](const std::string& e) { return e.starts_with("port"); });
    EXPECT_EQ(assigned, entry != nullptr) << text;
    if (entry) {
      EXPECT_TRUE(std::find(history.begin(), history.end(), entry) != history.end()) << text;
    }
    EXPECT_TRUE(window->port.PortOpen()) << text;
  }
}

TEST_F(FormLoadTest, IntervalBelowOneIsIgnoredByTheProperty) {
  for (const char* text : {"0", "-100", "soon"}) {
    const auto window = LoadFresh("EndOfFileTimeInterval=" + std::string(text) + "\r\n");
    EXPECT_EQ(window->form->EndOfFileTimeInterval(), 1000) << text;
    EXPECT_TRUE(window->port.PortOpen()) << text;
  }
}

// Errors of the start sequence before the service is started: logged with
// the step's error, the steps after it undone, the service manager told (its
// status line is the logged one) and the process ended with its exit code.
struct StartupErrorCase {
  const char* what;
  const char* keys;
  const char* log_line;
};

TEST_F(FormLoadTest, StartupErrorsBeforeTheServiceAreLoggedAndEndTheProcess) {
  const StartupErrorCase cases[] = {
      {"port beyond 16 bits", "CommPort=40000\r\n", "Initialisation: [6] Overflow"},
      {"port beyond 32 bits", "CommPort=3e9\r\n", "Initialisation: [6] Overflow"},
      {"huge minimum", "MinimumLineLength=1e10\r\n", "Initialisation: [6] Overflow"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(program_ / "QuellorService.log");
    const auto window = LoadFresh(c.keys);
    EXPECT_EQ(LogLines(), (Lines{"Quellor Service started", c.log_line})) << c.what;
    EXPECT_EQ(window->service.calls(),
              (Lines{"Status " + std::string(c.log_line), "StartFailure 6 Overflow"}))
        << c.what;
    EXPECT_FALSE(window->port.PortOpen()) << c.what;
    EXPECT_TRUE(window->form->Ended()) << c.what;
    EXPECT_EQ(window->form->ExitCode(), 1) << c.what;  // the fake's answer
  }
}

TEST_F(FormLoadTest, MissingPortFailsAtTheLastStepAndIsOpenedOnceThere) {
  port_.FailOpen(NumberedError(kErrPortOpenFailed, "Invalid port number"));
  LoadWith("CommPort=9\r\n");
  EXPECT_EQ(LogLines(),
            (Lines{"Quellor Service started", "Initialisation: [8002] Invalid port number"}));
  EXPECT_TRUE(Called("RunService"));
  EXPECT_FALSE(Called("StartFailure 8002 Invalid port number"));
  EXPECT_FALSE(port_.PortOpen());
  EXPECT_FALSE(form_.Ended());
  EXPECT_FALSE(service_.calls().back().starts_with("StartFailure"));

  // Tried again every five seconds, quietly, until the port is there.
  loop_.AdvanceMs(12000);
  EXPECT_EQ(std::count(port_.history().begin(), port_.history().end(), "open failed"), 3);
  port_.FailOpen(std::nullopt);
  loop_.AdvanceMs(3000);
  EXPECT_TRUE(port_.PortOpen());
  EXPECT_EQ(LogLines().back(), "Port reopened: COM9");
  EXPECT_EQ(LogLines().size(), 3u);

  service_.RaiseStop();
  EXPECT_EQ(LogLines().back(), "Service stopped");
  EXPECT_TRUE(form_.Ended());
}

TEST_F(FormLoadTest, RefusedSettingsStopTheStartBeforeTheService) {
  port_.FailSettings(InvalidPropertyValue());
  LoadWith("Settings=\r\n");
  EXPECT_EQ(LogLines(),
            (Lines{"Quellor Service started", "Initialisation: [380] Invalid property value"}));
  EXPECT_FALSE(Called("RunService"));
  EXPECT_TRUE(Called("StartFailure 380 Invalid property value"));
  EXPECT_TRUE(form_.Ended());
}

TEST_F(FormLoadTest, FallbackFolderThatCannotBeMadeIsAStartupError) {
  WriteBytes(program_ / "Data", "a file where the folder should be");
  LoadWith("DataFolder=" + (program_ / "missing") + "\r\n");
  const Lines lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Quellor Service started");
  EXPECT_TRUE(lines[1].starts_with("Initialisation: [75] ")) << lines[1];
  EXPECT_FALSE(Called("RunService"));
}

TEST_F(FormLoadTest, InteractiveErrorShowsTheMessageAndEnds) {
  service_.SetInteractive(true);
  LoadWith("CommPort=40000\r\n");
  EXPECT_EQ(display_.messages(), Lines{"[6] Overflow"});
  EXPECT_TRUE(form_.Ended());
  EXPECT_NE(form_.ExitCode(), 0);
  EXPECT_EQ(LogLines(), Lines{"Quellor Service started"});
}

}  // namespace
