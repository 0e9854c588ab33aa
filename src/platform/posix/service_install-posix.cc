// PosixServiceControl's installation as a systemd unit and its store of
// settings.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/file_system.h"
#include "platform/posix/service_control-posix.h"
#include "platform/posix/unit_template.h"
#include "platform/profile.h"

namespace {

constexpr char kDefaultUnitFolder[] = "/etc/systemd/system";
constexpr char kUnitFolderVariable[] = "QUELLOR_SYSTEMD_DIR";
constexpr char kUnitName[] = "quellor.service";
constexpr char kParametersFile[] = "parameters.conf";

// A path as the inside of a quoted word of a unit file: backslash and quote
// escaped, "%" doubled so it is not taken for a specifier.
std::string UnitEscaped(const std::string& path) {
  std::string escaped;
  for (char c : path) {
    if (c == '\\' || c == '"') escaped += '\\';
    if (c == '%') escaped += '%';
    escaped += c;
  }
  return escaped;
}

void Substitute(const std::string& placeholder, const std::string& value, std::string& text) {
  for (size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + value.size())) {
    text.replace(at, placeholder.size(), value);
  }
}

// The unit text is shared with the Debian package, which fills in the same
// placeholders for /usr/sbin/QuellorService and adds a drop-in with its own
// folders and account (packaging/quellor.service.in and debian/). Here the
// settings, the log, the spool and the "Data" fallback live in the program
// folder, and the default data folder under /var/lib/quellor: both stay
// writable.
std::string UnitText(const std::string& executable) {
  std::string text = kUnitTemplate;
  Substitute("@QUELLOR_EXECUTABLE@", UnitEscaped(executable), text);
  Substitute("@QUELLOR_PROGRAM_FOLDER@", UnitEscaped(executable.substr(0, executable.rfind('/'))),
             text);
  return "# Written by QuellorService -install; removed by QuellorService -uninstall.\n" + text;
}

std::string UnitPath() { return JoinPath(PosixServiceControl::UnitFolder(), kUnitName); }
std::string DropInFolder() { return UnitPath() + ".d"; }

// Tells a running systemd; tests redirect the unit folder and so never reach
// the system's service manager.
void Systemctl(const std::string& arguments) {
  if (PosixServiceControl::UnitFolder() != kDefaultUnitFolder) return;
  if (!FolderExists("/run/systemd/system")) return;
  [[maybe_unused]] int ignored =
      std::system(("systemctl " + arguments + " >/dev/null 2>&1").c_str());
}

}  // namespace

std::string PosixServiceControl::UnitFolder() {
  const char* folder = std::getenv(kUnitFolderVariable);
  return folder != nullptr && *folder != '\0' ? folder : kDefaultUnitFolder;
}

bool PosixServiceControl::InstallService() {
  const std::string executable = ExecutablePath();
  // An existing unit is another installation's: it is left as it is.
  if (FileExists(UnitPath())) return false;
  if (executable.empty() || !WriteFileReplacing(UnitPath(), UnitText(executable), nullptr)) {
    return false;
  }
  chmod(UnitPath().c_str(), 0644);
  // Started with the system, as an installed service is on Windows.
  Systemctl("daemon-reload");
  Systemctl(std::string("enable ") + kUnitName);
  return true;
}

bool PosixServiceControl::UninstallService() {
  if (!FileExists(UnitPath())) return false;
  Systemctl(std::string("disable ") + kUnitName);
  if (unlink(UnitPath().c_str()) != 0) return false;
  unlink(JoinPath(DropInFolder(), kParametersFile).c_str());
  rmdir(DropInFolder().c_str());
  Systemctl("daemon-reload");
  return true;
}

void PosixServiceControl::SaveServiceSetting(const std::string& section, const std::string& key,
                                             const std::string& value) {
  if (!FolderExists(DropInFolder()) && !CreateFolder(DropInFolder(), nullptr)) return;
  profile::WriteString("X-" + section, key, value, JoinPath(DropInFolder(), kParametersFile));
}
