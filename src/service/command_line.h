#ifndef QUELLOR_SERVICE_COMMAND_LINE_H_
#define QUELLOR_SERVICE_COMMAND_LINE_H_

#include <string>

// What the argument text asks for: "" runs the service, "-debug" runs it
// without a service manager, "-install" / "-uninstall" register / remove it;
// each may name an instance after it ("-install Unit2"), and "-instance NAME"
// runs that instance as a service. An instance name is 1 to 32 letters,
// digits, "-" or "_", so that it fits into file, service and unit names as
// it is.
struct CommandLine {
  enum class Action { kRun, kDebug, kInstall, kUninstall, kInvalid };
  Action action = Action::kInvalid;
  std::string instance;  // "" for the plain instance
};

// The command line in text; kInvalid (instance "") for anything else.
CommandLine ParseCommandLine(const std::string& text);

#endif  // QUELLOR_SERVICE_COMMAND_LINE_H_
