// PosixServiceControl's installation as a systemd unit and its store of
// settings.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/defaults.h"
#include "platform/file_system.h"
#include "platform/posix/service_control-posix.h"
#include "platform/posix/unit_template.h"
#include "platform/profile.h"

namespace {

constexpr char kDefaultUnitFolder[] = "/etc/systemd/system";
constexpr char kUnitFolderVariable[] = "QUELLOR_SYSTEMD_DIR";
constexpr char kUnitName[] = "quellor.service";
constexpr char kTemplateName[] = "quellor@.service";
constexpr char kParametersFile[] = "parameters.conf";
constexpr char kWrittenBy[] =
    "# Written by QuellorService -install; removed by QuellorService -uninstall.\n";

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
// The template of the instances differs only in the instance's name (%i)
// in its title, command line and default data folder.
std::string UnitText(const std::string& executable, bool instance_template) {
  std::string text = kUnitTemplate;
  Substitute("@QUELLOR_EXECUTABLE@", UnitEscaped(executable), text);
  Substitute("@QUELLOR_PROGRAM_FOLDER@", UnitEscaped(executable.substr(0, executable.rfind('/'))),
             text);
  Substitute("@QUELLOR_INSTANCE_TITLE@", instance_template ? " (%i)" : "", text);
  Substitute("@QUELLOR_INSTANCE_OPTION@", instance_template ? " -instance %i" : "", text);
  Substitute("@QUELLOR_INSTANCE_SUFFIX@", instance_template ? "_%i" : "", text);
  return kWrittenBy + text;
}

// The unit systemd knows the instance by; its file is the template's for a
// named instance.
std::string UnitName(const std::string& instance) {
  return instance.empty() ? kUnitName : "quellor@" + instance + ".service";
}
std::string TemplatePath() { return JoinPath(PosixServiceControl::UnitFolder(), kTemplateName); }
std::string UnitPath(const std::string& instance) {
  return instance.empty() ? JoinPath(PosixServiceControl::UnitFolder(), kUnitName) : TemplatePath();
}
std::string DropInFolder(const std::string& instance) {
  return JoinPath(PosixServiceControl::UnitFolder(), UnitName(instance) + ".d");
}

// Tells a running systemd; tests redirect the unit folder and so never reach
// the system's service manager.
void Systemctl(const std::string& arguments) {
  if (PosixServiceControl::UnitFolder() != kDefaultUnitFolder) return;
  if (!FolderExists("/run/systemd/system")) return;
  [[maybe_unused]] int ignored =
      std::system(("systemctl " + arguments + " >/dev/null 2>&1").c_str());
}

// Writes the unit file at path; false when executable is unknown or the
// file cannot be written.
bool WriteUnit(const std::string& path, bool instance_template) {
  const std::string executable = ExecutablePath();
  if (executable.empty() ||
      !WriteFileReplacing(path, UnitText(executable, instance_template), nullptr)) {
    return false;
  }
  chmod(path.c_str(), 0644);
  return true;
}

// True while some instance's drop-in folder remains.
bool AnyInstanceInstalled() {
  std::error_code ignored;
  for (const auto& entry :
       std::filesystem::directory_iterator(PosixServiceControl::UnitFolder(), ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("quellor@") && name.ends_with(".service.d") &&
        name != std::string(kTemplateName) + ".d") {
      return true;
    }
  }
  return false;
}

// The template goes with the last instance, unless someone else wrote it (a
// package).
void RemoveTemplateIfUnused() {
  std::string text;
  if (AnyInstanceInstalled() || !ReadWholeFile(TemplatePath(), &text, nullptr) ||
      !text.starts_with(kWrittenBy)) {
    return;
  }
  unlink(TemplatePath().c_str());
}

}  // namespace

std::string PosixServiceControl::UnitFolder() {
  return FolderFromEnvironment(kUnitFolderVariable, kDefaultUnitFolder);
}

bool PosixServiceControl::InstallService() {
  // An existing unit or instance is another installation's: it is left as
  // it is. The template is shared by the instances.
  const bool named = !instance().empty();
  if (named ? FolderExists(DropInFolder(instance())) : FileExists(UnitPath(""))) return false;
  if (!FileExists(UnitPath(instance())) && !WriteUnit(UnitPath(instance()), named)) return false;
  if (named && !CreateFolder(DropInFolder(instance()), nullptr)) return false;
  // Started with the system, as an installed service is on Windows.
  Systemctl("daemon-reload");
  Systemctl("enable " + UnitName(instance()));
  return true;
}

bool PosixServiceControl::UninstallService() {
  const bool named = !instance().empty();
  if (named ? !FolderExists(DropInFolder(instance())) : !FileExists(UnitPath(""))) return false;
  Systemctl("disable " + UnitName(instance()));
  if (!named && unlink(UnitPath("").c_str()) != 0) return false;
  unlink(JoinPath(DropInFolder(instance()), kParametersFile).c_str());
  rmdir(DropInFolder(instance()).c_str());
  if (named) RemoveTemplateIfUnused();
  Systemctl("daemon-reload");
  return true;
}

void PosixServiceControl::SaveServiceSetting(const std::string& section, const std::string& key,
                                             const std::string& value) {
  const std::string folder = DropInFolder(instance());
  if (!FolderExists(folder) && !CreateFolder(folder, nullptr)) return;
  profile::WriteString("X-" + section, key, value, JoinPath(folder, kParametersFile));
}
