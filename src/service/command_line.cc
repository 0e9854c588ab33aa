#include "service/command_line.h"

#include <cctype>
#include <sstream>
#include <utility>
#include <vector>

namespace {

constexpr size_t kMaxInstanceLength = 32;

bool IsInstanceName(const std::string& name) {
  if (name.empty() || name.size() > kMaxInstanceLength) return false;
  for (unsigned char c : name) {
    if (!std::isalnum(c) && c != '-' && c != '_') return false;
  }
  return true;
}

struct Option {
  const char* word;
  CommandLine::Action action;
  bool needs_instance;
};

constexpr Option kOptions[] = {
    {"-debug", CommandLine::Action::kDebug, false},
    {"-install", CommandLine::Action::kInstall, false},
    {"-uninstall", CommandLine::Action::kUninstall, false},
    {"-instance", CommandLine::Action::kRun, true},
};

}  // namespace

CommandLine ParseCommandLine(const std::string& text) {
  std::istringstream stream(text);
  std::vector<std::string> words;
  for (std::string word; stream >> word;) words.push_back(std::move(word));
  if (words.empty()) return {CommandLine::Action::kRun, ""};
  if (words.size() > 2) return {};
  for (const Option& option : kOptions) {
    if (words[0] != option.word) continue;
    if (words.size() == 1) {
      return option.needs_instance ? CommandLine{} : CommandLine{option.action, ""};
    }
    return IsInstanceName(words[1]) ? CommandLine{option.action, words[1]} : CommandLine{};
  }
  return {};
}
