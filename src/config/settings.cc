#include "config/settings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "output/service_log.h"
#include "platform/file_system.h"
#include "util/instance_name.h"
#include "util/numbered_error.h"
#include "util/trim.h"

namespace {

constexpr int kErrPathFileAccess = 75;

// Advances past digits; true when at least one was there.
bool SkipDigits(const std::string& text, size_t& at) {
  const size_t start = at;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
  return at > start;
}

void SkipSign(const std::string& text, size_t& at) {
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
}

// sign? (digits ("." digits?)? | "." digits) (("e"|"E") sign? digits)?
bool IsDecimalNumber(const std::string& text) {
  size_t at = 0;
  SkipSign(text, at);
  bool digits = SkipDigits(text, at);
  if (at < text.size() && text[at] == '.') {
    ++at;
    digits = SkipDigits(text, at) || digits;
  }
  if (!digits) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    SkipSign(text, at);
    if (!SkipDigits(text, at)) return false;
  }
  return at == text.size();
}

double RoundHalfToEven(double value) {
  const double floor = std::floor(value);
  const double fraction = value - floor;
  if (fraction < 0.5) return floor;
  if (fraction > 0.5) return floor + 1;
  return std::fmod(floor, 2) == 0 ? floor : floor + 1;
}

// The whole number of a setting's default text (every numeric one has one).
int32_t DefaultNumber(const Setting& setting) {
  return ToWholeNumber(ParseNumber(setting.default_value).value_or(0));
}

}  // namespace

SettingsFile ChooseSettingsFile(const std::string& folder, const std::string& machine_name,
                                const std::string& instance) {
  const std::string per_machine = JoinPath(folder, ForInstance(machine_name, instance) + ".ini");
  if (FileExists(per_machine)) return {per_machine, true};
  const std::string common = JoinPath(folder, ForInstance(kProgramFileStem, instance) + ".ini");
  return {common, FileExists(common)};
}

std::optional<double> ParseNumber(const std::string& text) {
  const std::string number(Trim(text, " \t"));
  if (!IsDecimalNumber(number)) return std::nullopt;
  // The grammar above is a subset of strtod's in the "C" locale, which the
  // program never leaves; a huge exponent gives an infinity.
  return std::strtod(number.c_str(), nullptr);
}

int32_t ToWholeNumber(double value) {
  const double whole = RoundHalfToEven(value);
  if (!(whole >= std::numeric_limits<int32_t>::min() &&
        whole <= std::numeric_limits<int32_t>::max())) {
    throw OverflowError();
  }
  return static_cast<int32_t>(whole);
}

int32_t ToCount(const std::string& text, int32_t lower, int32_t default_value) {
  const std::optional<double> number = ParseNumber(text);
  if (!number) return default_value;
  const double whole = RoundHalfToEven(*number);
  if (!(whole >= lower && whole <= std::numeric_limits<int32_t>::max())) return default_value;
  return static_cast<int32_t>(whole);
}

int16_t ToPortNumber(int32_t value) {
  if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max()) {
    throw OverflowError();
  }
  return static_cast<int16_t>(value);
}

bool IsVisibleValue(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == "true" || lower == "1" || lower == "yes";
}

std::string ResolveDataFolder(const std::string& configured, const std::string& fallback) {
  if (FolderExists(configured)) return configured;
  if (!FolderExists(fallback) && !CreateFolder(fallback, nullptr)) {
    throw NumberedError(kErrPathFileAccess, "Path/File access error");
  }
  WriteLog("Directory " + configured + " not found. Defaulting to " + fallback,
           LogSeverity::kWarning);
  return fallback;
}

std::string SettingsReader::Text(const Setting& setting) const {
  const std::string default_value =
      setting.default_value ? setting.default_value : default_data_folder_;
  return ini_.GetProfile(kSettingsSection, setting.key, default_value, path_);
}

void SettingsReader::ReadClamped(const Setting& setting, int32_t* value) const {
  *value = DefaultNumber(setting);
  const std::optional<double> number = ParseNumber(Text(setting));
  if (!number) return;
  *value = ToWholeNumber(*number);
  if (setting.lower) *value = std::max(*value, *setting.lower);
  if (setting.upper) *value = std::min(*value, *setting.upper);
}

std::optional<int32_t> SettingsReader::Bounded(const Setting& setting) const {
  const std::optional<double> number = ParseNumber(Text(setting));
  if (!number) return std::nullopt;
  const int32_t whole = ToWholeNumber(*number);
  if ((setting.lower && whole < *setting.lower) || (setting.upper && whole > *setting.upper)) {
    return std::nullopt;
  }
  return whole;
}

int32_t SettingsReader::Count(const Setting& setting) const {
  return ToCount(Text(setting), setting.lower.value_or(std::numeric_limits<int32_t>::min()),
                 DefaultNumber(setting));
}
